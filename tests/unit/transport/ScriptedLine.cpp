#include "ScriptedLine.h"

#include <cstring>

#include "platform/clock.h"

namespace korvo::test {

class LineLink : public INetworkLayer {
public:
    explicit LineLink(ScriptedLine& l) : line(l) {
        std::lock_guard<std::mutex> lock(line.m);
        ++line.liveLinks;
    }
    ~LineLink() override {
        std::lock_guard<std::mutex> lock(line.m);
        --line.liveLinks;
    }
    int32_t Open() override { return line.LinkOpen(); }
    int32_t Close() override {
        line.LinkClose();
        return 0;
    }
    int32_t Send(const uint8_t* data, uint32_t length) override {
        return line.LinkSend(data, length);
    }
    int32_t Receive(uint8_t* buffer, uint32_t capacity) override {
        return line.LinkReceive(buffer, capacity);
    }
    uint32_t BytesAvailable() override { return line.LinkAvailable(); }
    void PurgeReceive() override { line.LinkPurge(); }
    void EndReceive() override {}
    bool HasFailed() override { return false; }
    int32_t GetFailureCode() override { return 0; }
    bool SetTransferTime(uint32_t) override { return true; }
    uint32_t GetExtraResponseTime() override { return 0; }
    bool SetOption(int32_t, uint32_t) override { return false; }
    int32_t GetOption(int32_t) override { return -1; }

private:
    ScriptedLine& line;
};

void ScriptedLine::Answer(Answerer a) {
    std::lock_guard<std::mutex> lock(m);
    answerer = std::move(a);
}

void ScriptedLine::Put(const std::string& bytes) {
    PutAt(TickCount(), bytes);
}

void ScriptedLine::PutAt(uint32_t at, const std::string& bytes) {
    std::lock_guard<std::mutex> lock(m);
    chunks.push_back({at, bytes});
    log.push_back("P>L " + Hex(bytes));
}

std::vector<std::string> ScriptedLine::Frames() const {
    std::lock_guard<std::mutex> lock(m);
    return frames;
}

std::vector<std::string> ScriptedLine::Log() const {
    std::lock_guard<std::mutex> lock(m);
    return log;
}

size_t ScriptedLine::Queued() const {
    std::lock_guard<std::mutex> lock(m);
    size_t n = 0;
    for (const Chunk& c : chunks)
        n += c.bytes.size();
    return n;
}

int ScriptedLine::Receives() const {
    std::lock_guard<std::mutex> lock(m);
    return receives;
}

void ScriptedLine::SetOpenResult(int32_t code) {
    std::lock_guard<std::mutex> lock(m);
    openResult = code;
}

void ScriptedLine::FailSends(int n, int32_t code) {
    std::lock_guard<std::mutex> lock(m);
    failSends = n;
    failCode = code;
}

void ScriptedLine::BlockSends(bool on) {
    std::lock_guard<std::mutex> lock(m);
    blockSends = on;
    if (!on) unblocked.notify_all();
}

bool ScriptedLine::SendIsBlocked() const {
    std::lock_guard<std::mutex> lock(m);
    return sendBlocked;
}

int ScriptedLine::LiveLinks() const {
    std::lock_guard<std::mutex> lock(m);
    return liveLinks;
}

int ScriptedLine::Opens() const {
    std::lock_guard<std::mutex> lock(m);
    return opens;
}

int ScriptedLine::Closes() const {
    std::lock_guard<std::mutex> lock(m);
    return closes;
}

std::unique_ptr<INetworkLayer> ScriptedLine::NewLink() {
    return std::make_unique<LineLink>(*this);
}

LinkFactory ScriptedLine::Factory() {
    return [this](const char*, uint32_t) { return NewLink(); };
}

int32_t ScriptedLine::LinkOpen() {
    std::lock_guard<std::mutex> lock(m);
    ++opens;
    return openResult;
}

void ScriptedLine::LinkClose() {
    std::lock_guard<std::mutex> lock(m);
    ++closes;
}

int32_t ScriptedLine::LinkSend(const uint8_t* data, uint32_t length) {
    std::string frame(reinterpret_cast<const char*>(data), length);
    Answerer answer;
    {
        std::unique_lock<std::mutex> lock(m);
        if (blockSends) {
            sendBlocked = true;
            unblocked.wait(lock, [this] { return !blockSends; });
            sendBlocked = false;
        }
        frames.push_back(frame);
        log.push_back("L>P " + Hex(frame));
        if (failSends > 0) {
            --failSends;
            return failCode;
        }
        answer = answerer;
    }
    // The answerer may keep state of its own; it runs outside the line's lock.
    if (answer) {
        std::string reply = answer(frame);
        if (!reply.empty()) Put(reply);
    }
    return 0;
}

uint32_t ScriptedLine::ArrivedLocked() const {
    uint32_t n = 0;
    const uint32_t now = TickCount();
    for (const Chunk& c : chunks) {
        if (static_cast<int32_t>(now - c.at) < 0) break;
        n += static_cast<uint32_t>(c.bytes.size());
    }
    return n;
}

int32_t ScriptedLine::LinkReceive(uint8_t* buffer, uint32_t capacity) {
    std::lock_guard<std::mutex> lock(m);
    ++receives;
    uint32_t n = ArrivedLocked();
    if (n > capacity) n = capacity;
    uint32_t done = 0;
    while (done < n) {
        Chunk& c = chunks.front();
        uint32_t take = static_cast<uint32_t>(c.bytes.size());
        if (take > n - done) take = n - done;
        std::memcpy(buffer + done, c.bytes.data(), take);
        c.bytes.erase(0, take);
        if (c.bytes.empty()) chunks.erase(chunks.begin());
        done += take;
    }
    return static_cast<int32_t>(n);
}

uint32_t ScriptedLine::LinkAvailable() {
    std::lock_guard<std::mutex> lock(m);
    return ArrivedLocked();
}

void ScriptedLine::LinkPurge() {
    std::lock_guard<std::mutex> lock(m);
    const uint32_t now = TickCount();
    while (!chunks.empty() && static_cast<int32_t>(now - chunks.front().at) >= 0)
        chunks.erase(chunks.begin());
}

} // namespace korvo::test
