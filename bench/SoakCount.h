// The soak run's reckoning: what the client sent and what it was told,
// matched against what the printer executed by korvosim's journal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvo::soak {

struct SentCommand {
    std::string wire; // the request line as the journal shows it (escaped, no LF)
    int32_t result = 0;
    int64_t sentMs = 0; // when it was handed to the library, in the journal's clock
};

// A request that the printer executed, by the journal.
struct Execution {
    std::string wire;
    int64_t atMs = 0; // the journal's time stamp (HostLocalMilliseconds)
};

struct Counts {
    uint64_t sent = 0;
    uint64_t returnedZero = 0;
    uint64_t answered = 0;       // 0 or a printer's code: the client was told it ran
    uint64_t executedTwice = 0;  // executed more than once
    uint64_t lost = 0;           // answered, but never executed
    uint64_t staleAnswer = 0;    // the same, answered by the late answer of a command
                                 // of the same name that failed after it had run
                                 // (no line tells the two apart)
    uint64_t outcomeUnknown = 0; // failed with a library code, but executed
    uint64_t failedNotRun = 0;   // failed with a library code, not executed
    uint64_t strayRuns = 0;      // executed requests that match no command sent
    uint64_t reconnects = 0;
    void Add(const Counts& other);
};

// The journal's '>' entries in order, without the handshakes and without the
// lines that a fault corrupted on the way in. Empty with ok false when the
// journal cannot be read.
std::vector<Execution> ExecutedRequests(const std::string& journalPath, bool& ok);

// Matches the executions to the commands sent. Most texts are sent once; for
// those that recur (the end of a receipt), an execution belongs to a command
// of its text sent before it and after the command that ran before it, since
// the printer executes in the order of sending. runs, when given, gets each
// command's number of executions.
Counts Reckon(const std::vector<SentCommand>& sent, const std::vector<Execution>& executed,
              std::vector<uint32_t>* runs = nullptr);

} // namespace korvo::soak
