#include "sim/serve/Rs232FrontEnd.h"

#include <chrono>
#include <utility>

#include "platform/stream.h"
#include "sim/serve/Terminal.h"
#include "transport/LinkFrameFormat.h"

namespace korvo::sim {

namespace {

// A frame that stops in the middle for this long is dropped.
constexpr uint64_t kFrameGapMicros = 200000;
// A delayed frame comes this much later: around the primary's wait for an
// answer, so that some come too late.
constexpr uint32_t kChaosDelayMinMs = 10;
constexpr uint32_t kChaosDelayMaxMs = 150;

} // namespace

Rs232FrontEnd::Rs232FrontEnd(Rs232Options o, StationHandler& handler)
    : options(std::move(o)), station(options.address, handler),
      microsPerByte(10000000ull / (options.baudRate ? options.baudRate : 9600)),
      fromPrimary(options.chaos, 2 * options.chaosStream),
      toPrimary(options.chaos, 2 * options.chaosStream + 1) {}

Rs232FrontEnd::~Rs232FrontEnd() {
    Stop();
}

bool Rs232FrontEnd::Start(std::string& error) {
    for (const std::string& f : options.faults) {
        if (!AddFault(f.c_str())) {
            error = "bad --link-fault: " + f;
            return false;
        }
    }
    if (!wake.Open()) {
        error = "rs232: cannot create a wake-up pipe";
        return false;
    }
    if (!OpenTerminal(terminal, options.path, error)) return false;
    stopping = false;
    thread = std::thread([this] { Run(); });
    return true;
}

void Rs232FrontEnd::Stop() {
    if (thread.joinable()) {
        stopping = true;
        wake.Signal();
        thread.join();
    }
    if (terminal.master != os::kNoStream) {
        os::RemoveSymlink(options.path.c_str(), terminal.slavePath);
        os::StreamClose(terminal.master);
        terminal.master = os::kNoStream;
    }
}

std::string Rs232FrontEnd::Details() const {
    return "address " + std::to_string(options.address) + " at " +
           std::to_string(options.baudRate) + " baud" + (options.throttle ? " (throttled)" : "");
}

uint32_t Rs232FrontEnd::InformationFramesReceived() {
    std::lock_guard<std::mutex> lock(mutex);
    return station.InformationFramesReceived();
}

bool Rs232FrontEnd::AddFault(const char* text) {
    LinkFault f;
    if (!ParseLinkFault(text, f)) return false;
    std::lock_guard<std::mutex> lock(mutex);
    station.Faults().Add(f);
    return true;
}

void Rs232FrontEnd::SetRecorder(Recorder r) {
    std::lock_guard<std::mutex> lock(mutex);
    recorder = std::move(r);
}

uint64_t Rs232FrontEnd::NowMicros() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

void Rs232FrontEnd::Run() {
    bool hungUp = true; // until somebody opens the port
    uint64_t lastByteAt = 0;
    uint8_t buffer[512];
    while (!stopping) {
        os::PollItem items[2] = {{terminal.master, true, false, false, false, false},
                                 {wake.Stream(), true, false, false, false, false}};
        // A terminal nobody holds reports a hang-up at once; it is looked at
        // again after a pause instead of being polled in a busy loop.
        int32_t ready = os::PollStreams(items, 2, hungUp ? kHungUpProbeMs : 100);
        if (items[1].readable) wake.Drain();
        if (stopping) break;
        if (ready < 0) continue;
        if (items[0].hangUp && !items[0].readable) {
            if (!hungUp) {
                std::lock_guard<std::mutex> lock(mutex);
                station.DropPartialFrame();
            }
            hungUp = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(kHungUpProbeMs));
            continue;
        }
        hungUp = false;
        if (!items[0].readable) continue;
        int32_t n = os::StreamRead(terminal.master, buffer, sizeof buffer);
        if (n < 0) {
            hungUp = true;
            continue;
        }
        if (n == 0) continue;
        uint64_t now = NowMicros();
        if (lastByteAt && now - lastByteAt > kFrameGapMicros) {
            std::lock_guard<std::mutex> lock(mutex);
            station.DropPartialFrame();
        }
        lastByteAt = now;
        Serve(buffer, static_cast<size_t>(n));
    }
}

void Rs232FrontEnd::Pause(uint32_t ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

namespace {

// The frames in bytes: each begins at a start byte that is not one of a
// doubled pair; bytes before the first start end a frame begun earlier.
std::vector<std::string> SplitFrames(const std::string& bytes) {
    std::vector<std::string> frames;
    size_t begin = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (static_cast<uint8_t>(bytes[i]) != kFrameStart) continue;
        if (i + 1 < bytes.size() && static_cast<uint8_t>(bytes[i + 1]) == kFrameStart) {
            ++i; // a doubled data byte
            continue;
        }
        if (i > begin) frames.push_back(bytes.substr(begin, i - begin));
        begin = i;
    }
    if (begin < bytes.size()) frames.push_back(bytes.substr(begin));
    return frames;
}

} // namespace

int Rs232FrontEnd::Bend(Chaos& chaos, std::string& frame) {
    switch (chaos.Next()) {
    case ChaosEvent::Corrupt:
        frame[chaos.Below(static_cast<uint32_t>(frame.size()))] ^=
            static_cast<char>(chaos.Between(1, 255));
        return 1;
    case ChaosEvent::Lose:
        return 0;
    case ChaosEvent::Delay:
        Pause(chaos.Between(kChaosDelayMinMs, kChaosDelayMaxMs));
        return 1;
    case ChaosEvent::Repeat:
        return 2;
    case ChaosEvent::None:
        break;
    }
    return 1;
}

void Rs232FrontEnd::Serve(const uint8_t* data, size_t length) {
    std::string answer;
    const std::string received(reinterpret_cast<const char*>(data), length);
    if (!fromPrimary.Enabled()) {
        std::lock_guard<std::mutex> lock(mutex);
        if (recorder) recorder(true, received);
        station.Feed(data, length, answer);
    } else {
        // Each frame on its own: corrupted, lost, delayed or repeated.
        for (std::string& frame : SplitFrames(received)) {
            for (int copies = Bend(fromPrimary, frame); copies > 0; --copies) {
                std::lock_guard<std::mutex> lock(mutex);
                if (recorder) recorder(true, frame);
                station.Feed(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), answer);
            }
        }
    }
    if (!answer.empty() && toPrimary.Enabled()) {
        std::string bent;
        for (std::string& frame : SplitFrames(answer))
            for (int copies = Bend(toPrimary, frame); copies > 0; --copies)
                bent += frame;
        answer = std::move(bent);
    }
    if (recorder && !answer.empty()) {
        std::lock_guard<std::mutex> lock(mutex);
        recorder(false, answer);
    }
    if (options.throttle) {
        // The bytes just read were on the line for their own time; the answer
        // can start only when the last of them has arrived.
        uint64_t now = NowMicros();
        if (lineFreeAt < now) lineFreeAt = now;
        lineFreeAt += length * microsPerByte;
    }
    if (!answer.empty()) WritePaced(answer);
}

void Rs232FrontEnd::WritePaced(const std::string& bytes) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t done = 0;
    uint64_t start = 0;
    if (options.throttle) {
        uint64_t now = NowMicros();
        start = lineFreeAt > now ? lineFreeAt : now;
    }
    while (done < bytes.size() && !stopping) {
        size_t chunk = bytes.size() - done;
        if (options.throttle) {
            // Each byte goes when the line would have carried the ones before.
            uint64_t now = NowMicros();
            if (now < start + done * microsPerByte) {
                std::this_thread::sleep_for(
                    std::chrono::microseconds(start + done * microsPerByte - now));
                now = NowMicros();
            }
            size_t due = static_cast<size_t>((now - start) / microsPerByte) + 1;
            chunk = due > done ? due - done : 1;
            if (chunk > bytes.size() - done) chunk = bytes.size() - done;
        }
        int32_t n = os::StreamWrite(terminal.master, p + done, static_cast<uint32_t>(chunk));
        if (n < 0) return; // nobody on the line any more
        if (n == 0) {
            os::PollItem item{terminal.master, false, true, false, false, false};
            os::PollStreams(&item, 1, 10);
            continue;
        }
        done += static_cast<size_t>(n);
    }
    if (options.throttle) lineFreeAt = start + bytes.size() * microsPerByte;
}

} // namespace korvo::sim
