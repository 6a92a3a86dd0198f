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

#include "ProcessCounts.h"
#include "ScriptedLine.h"
#include "sim/station/SecondaryStation.h"
#include "transport/CRS232NetwLayerServ.h"

namespace korvo::test {

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
