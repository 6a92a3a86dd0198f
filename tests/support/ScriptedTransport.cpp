#include "ScriptedTransport.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"

namespace korvo::test {

void ScriptedTransport::Deliver(const std::string& bytes) { chunks.push_back({TickCount(), bytes}); }

void ScriptedTransport::DeliverAt(uint32_t at, const std::string& bytes) { chunks.push_back({at, bytes}); }

void ScriptedTransport::AnswerEach(std::function<std::vector<std::string>(const std::string&)> answer) {
    onSend = [this, answer](const std::string& request) {
        for (const std::string& c : answer(request)) Deliver(c);
    };
}

int32_t ScriptedTransport::Open() {
    ++opens;
    return openResult;
}

int32_t ScriptedTransport::Close() {
    ++closes;
    return 0;
}

int32_t ScriptedTransport::Send(const uint8_t* data, uint32_t length) {
    std::string request(reinterpret_cast<const char*>(data), length);
    sent.push_back(request);
    if (sendResult != 0) return sendResult;
    if (onSend) onSend(request);
    return 0;
}

int32_t ScriptedTransport::Receive(uint8_t* buffer, uint32_t capacity) {
    ++receives;
    if (BytesAvailable() == 0) return 0;
    if (receiveResult != 0) return receiveResult;
    Chunk& c = chunks.front();
    uint32_t n = std::min<uint32_t>(capacity, static_cast<uint32_t>(c.bytes.size()));
    std::memcpy(buffer, c.bytes.data(), n);
    c.bytes.erase(0, n);
    if (c.bytes.empty()) chunks.pop_front();
    return static_cast<int32_t>(n);
}

uint32_t ScriptedTransport::BytesAvailable() {
    if (chunks.empty()) return 0;
    const Chunk& c = chunks.front();
    if (static_cast<int32_t>(TickCount() - c.at) < 0) return 0;
    return static_cast<uint32_t>(c.bytes.size());
}

void ScriptedTransport::PurgeReceive() {
    ++purges;
    while (!chunks.empty() && static_cast<int32_t>(TickCount() - chunks.front().at) >= 0) chunks.pop_front();
}

bool ScriptedTransport::SetTransferTime(uint32_t ms) {
    transferTimes.push_back(ms);
    return true;
}

bool ScriptedTransport::SetOption(int32_t id, uint32_t value) {
    options.emplace_back(id, value);
    if (id != OPTION_DNS_CONNECT_MODE || dnsOption < 0) return false;
    dnsOption = static_cast<int32_t>(value);
    return true;
}

int32_t ScriptedTransport::GetOption(int32_t id) { return id == OPTION_DNS_CONNECT_MODE ? dnsOption : -1; }

std::string ResponseTo(const std::string& request, int32_t code, const char* values) {
    std::string name = request.substr(0, request.find('\t'));
    std::string line = name + "\tRSP\t" + std::to_string(code);
    if (values) line += std::string("\t") + values;
    return line + "\n";
}

} // namespace korvo::test
