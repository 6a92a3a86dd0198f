// Helpers for the tests that run the link thread: a printer in memory behind
// the simulator's secondary station, a session-like exchange, and waits on
// real conditions (never on the clock under test).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedLine.h"
#include "sim/SecondaryStation.h"
#include "transport/CRS232NetwLayerServ.h"

namespace korvo::test {

// Waits up to limitMs of real time for pred; true when it came true.
inline bool WaitFor(const std::function<bool()>& pred, int limitMs = 20000) {
    for (int i = 0; i < limitMs; ++i) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pred();
}

// Threads of this process where the system shows them (/proc), else -1.
int ThreadCount();
// Open file descriptors of this process where the system shows them, else -1.
int DescriptorCount();

// The thread count once it has stopped changing: a thread that has just been
// joined may still be listed for a moment.
inline int SettledThreadCount() {
    int last = ThreadCount();
    for (int i = 0; i < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        int now = ThreadCount();
        if (now == last) return now;
        last = now;
    }
    return last;
}

// True when the thread count comes back to baseline (or is unknown).
inline bool ThreadsBackTo(int baseline) {
    return baseline < 0 || WaitFor([&] { return ThreadCount() == baseline; });
}

// Answers every request line with "ok <line>" (without its LF) or with a
// set answer; counts how often each request ran.
class MemoryPrinter : public sim::StationHandler {
public:
    std::string Execute(const std::string& request) override;
    void SetAnswer(std::string a);
    // Answers like the printer does to the session: "NAME\tRSP\t0\n".
    void AnswerAsPrinter() { asPrinter = true; }
    int Runs(const std::string& request) const;
    std::vector<std::string> Executed() const;
    // Called (on the link thread) after each request ran; may add faults.
    std::function<void(sim::SecondaryStation&)> afterRun;
    sim::SecondaryStation* station = nullptr;

private:
    mutable std::mutex m;
    std::string answer;
    bool asPrinter = false;
    std::vector<std::string> executed;
};

// A line with the simulator's station at address 2 on its far end.
class StationLine {
public:
    StationLine();
    ScriptedLine line;
    MemoryPrinter printer;
    sim::SecondaryStation station{2, printer};
    // Adds a fault; only while the link thread does not run.
    void AddFault(const char* text);
};

struct Outcome {
    int32_t code = 0;
    std::string response;
};

// What the session does with one request: purge, send, then poll for bytes
// until a line end, a failure, or limitMs of real time.
Outcome Exchange(INetworkLayer& layer, const std::string& request, int limitMs = 20000);

// The primary's frames of a log ("L>P ..." entries) as hex.
std::vector<std::string> PrimaryFrames(const std::vector<std::string>& log);

} // namespace korvo::test
