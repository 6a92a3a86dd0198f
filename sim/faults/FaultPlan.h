// Faults of line delivery, injected between the printer model and a front
// end: rules that say what goes wrong with the answer to which command.
//
// One rule a line (in a faults file, and for ParseRule):
//
//   COMMAND ACTION [ARGUMENT...] [skip=N] [count=N]
//
// COMMAND is a short name as on the wire (bFR, CONNECT), a long name
// (beginFiscalReceipt), or * for every command. skip=N lets the first N
// matching requests through untouched; count=N applies the rule to the next
// N after that (default: all of them). The first rule that applies wins.
// Actions:
//
//   delay MS            answer MS milliseconds later than usual
//   silent              swallow the request: not executed, never answered
//   code N              answer code N without executing the command
//   malformed           answer with a result code that is not a number
//   raw TEXT            answer TEXT instead (\t \n \r \0 \\ \xHH escapes,
//                       no blanks: write \x20); the command is executed
//   chunks SIZE [GAP]   answer in pieces of SIZE bytes, GAP ms apart (2)
//   double              answer the line twice in one write
//   nul                 put a NUL byte into the middle of the answer
//   drop [BYTES]        send the first BYTES bytes of the answer (half of
//                       it by default, 0 for none), then close the connection
//   lose                the answer is lost: executed, nothing is sent
//   corrupt [OFFSET]    flip the top bit of the answer's byte at OFFSET (the
//                       middle one by default)
//
// Apart from silent and code, the command is executed as usual and only its
// answer suffers. Blank lines and lines starting with # are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvo::sim {

enum class FaultKind {
    None,
    Delay,
    Silent,
    Code,
    Malformed,
    Raw,
    Chunks,
    Double,
    Nul,
    Drop,
    Lose,
    Corrupt
};

struct FaultAction {
    FaultKind kind = FaultKind::None;
    int64_t value = 0;   // delay ms, code, chunk size, drop bytes or corrupt offset (-1: half)
    uint32_t gapMs = 0;  // chunks
    char text[256] = {}; // raw bytes (may hold NUL)
    size_t textLength = 0;
};

struct FaultRule {
    char command[16] = {}; // short name; empty for every command
    FaultAction action;
    int32_t skip = 0;
    int32_t count = -1; // -1: no limit
};

class FaultPlan {
public:
    // Enough for the faults of a long soak run; with the file size this bounds
    // the memory a faults file takes (about 31 MB at most).
    static constexpr int kMaxRules = 100000;
    static constexpr size_t kMaxFileBytes = 1u << 20;

    // Parses one rule; false with a reason in error.
    static bool ParseRule(const char* text, FaultRule& rule, std::string& error);

    bool Add(const FaultRule& rule);
    // Adds the rules of a text of lines; false at the first bad one, with
    // its line number in error (rules before it stay added).
    bool AddText(const char* text, std::string& error);
    bool LoadFile(const char* path, std::string& error);
    void Clear() { rules.clear(); }
    int Count() const { return static_cast<int>(rules.size()); }

    // The fault for the next request of command shortName; counts the rule down.
    FaultAction Take(const char* shortName);

    // "chunks 4 2", for the journal.
    static void Describe(const FaultAction& action, char* out, size_t size);

private:
    std::vector<FaultRule> rules;
};

} // namespace korvo::sim
