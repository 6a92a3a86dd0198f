#include "SoakCount.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

#include "korvocomm.h"
#include "sim/values/CivilTime.h"

namespace korvo::soak {

namespace {

// How far back, in commands that went out, the command may be whose late
// answer another one took: a late answer arrives during the next wait or
// the one after.
constexpr size_t kLateAnswerWindow = 10;

// How far back, in commands sent, a failed command may be that still runs
// after later ones (a link that delivers a message it had given up on).
constexpr size_t kLateRunWindow = 10;

// Results of commands that never left the computer: they cannot have run.
bool NeverSent(int32_t r) {
    return r == APP_SEND_BUFFER_OVERFLOW || r == APP_UNKNOWN_COMMAND || r == APP_COMMAND_TOO_LONG ||
           r == APP_CMD_DATA_TOO_LONG || r == APP_NO_NETWORK_LAYER || r == APP_DISCONNECTED ||
           r == APP_INVALID_HANDLE;
}

bool IsHandshake(const std::string& request) {
    return request.compare(0, 12, "CONNECT\\tREQ") == 0 ||
           request.compare(0, 15, "DISCONNECT\\tREQ") == 0;
}

std::string ShortName(const std::string& wire) {
    return wire.substr(0, wire.find("\\t"));
}

} // namespace

void Counts::Add(const Counts& o) {
    sent += o.sent;
    returnedZero += o.returnedZero;
    answered += o.answered;
    executedTwice += o.executedTwice;
    lost += o.lost;
    staleAnswer += o.staleAnswer;
    outcomeUnknown += o.outcomeUnknown;
    failedNotRun += o.failedNotRun;
    strayRuns += o.strayRuns;
    reconnects += o.reconnects;
}

std::vector<Execution> ExecutedRequests(const std::string& journalPath, bool& ok) {
    std::vector<Execution> out;
    std::ifstream in(journalPath, std::ios::binary);
    ok = static_cast<bool>(in);
    std::string line;
    bool lastWasRequest = false;
    // "2026-12-09 00:30:31.768 #1 > sHL\tREQ\tS2170\t"
    while (std::getline(in, line)) {
        size_t hash = line.find(" #");
        if (hash != 23 || line[19] != '.') continue;
        size_t kind = line.find(' ', hash + 2);
        if (kind == std::string::npos || kind + 2 >= line.size() || line[kind + 2] != ' ') continue;
        const char mark = line[kind + 1];
        std::string text = line.substr(kind + 3);
        // The printer got that request with its name damaged: not what was sent.
        if (mark == '!' && lastWasRequest && text == "chaos: request line corrupted")
            out.pop_back();
        lastWasRequest = mark == '>' && !IsHandshake(text);
        if (!lastWasRequest) continue;
        int64_t seconds = 0;
        if (!sim::ParseDateTime(line.substr(0, 19).c_str(), seconds)) {
            ok = false;
            continue;
        }
        out.push_back({text, seconds * 1000 + std::atoi(line.c_str() + 20)});
    }
    return out;
}

Counts Reckon(const std::vector<SentCommand>& sent, const std::vector<Execution>& executed,
              std::vector<uint32_t>* runsOut) {
    Counts c;
    std::vector<uint32_t> runs(sent.size(), 0);
    // The commands of each text, in the order sent.
    std::map<std::string, std::vector<size_t>> byText;
    for (size_t i = 0; i < sent.size(); ++i)
        if (!NeverSent(sent[i].result)) byText[sent[i].wire].push_back(i);
    size_t floor = sent.size(); // the command that ran last; none yet
    for (const Execution& e : executed) {
        auto found = byText.find(e.wire);
        if (found == byText.end()) {
            ++c.strayRuns;
            continue;
        }
        const std::vector<size_t>& list = found->second;
        // The last of them sent before the execution...
        auto after = std::upper_bound(list.begin(), list.end(), e.atMs,
                                      [&](int64_t t, size_t i) { return t < sent[i].sentMs; });
        if (after == list.begin()) {
            ++c.strayRuns; // before any such command was sent
            continue;
        }
        const size_t last = *(after - 1);
        // The printer executes in the order of sending, so the execution
        // belongs to one of them sent after the command that ran before it:
        // the first, or, when the first failed, a later one that was answered
        // if every command sent between the two failed as well (they may all
        // have been lost on the way). An answered command between them has
        // yet to run, so the first is the one. Only when none is left is it a
        // command run again, the last sent, or a late run of one that failed
        // just before. (Time stamps alone cannot tell: many commands go out
        // within one millisecond.)
        const bool ranBefore = floor != sent.size();
        size_t chosen = sent.size();
        for (auto it = ranBefore ? std::upper_bound(list.begin(), after, floor) : list.begin();
             it != after; ++it) {
            if (runs[*it] != 0) continue;
            if (chosen == sent.size()) {
                chosen = *it;
                if (sent[chosen].result >= 0) break;
                continue;
            }
            if (sent[*it].result < 0) continue;
            bool allFailed = true;
            for (size_t k = chosen + 1; k < *it && allFailed; ++k)
                allFailed = sent[k].result < 0;
            if (allFailed) chosen = *it;
            break;
        }
        for (auto it = after; chosen == sent.size() && it != list.begin();) {
            const size_t i = *--it;
            if (ranBefore && floor > i + kLateRunWindow) break;
            if (runs[i] == 0 && sent[i].result < 0) chosen = i;
        }
        if (chosen == sent.size()) chosen = last;
        if (!ranBefore || chosen > floor) floor = chosen;
        ++runs[chosen];
    }
    for (size_t i = 0; i < sent.size(); ++i) {
        const int32_t r = sent[i].result;
        ++c.sent;
        if (r == 0) ++c.returnedZero;
        if (runs[i] > 1) ++c.executedTwice;
        if (r < 0) {
            ++(runs[i] > 0 ? c.outcomeUnknown : c.failedNotRun);
            continue;
        }
        ++c.answered;
        if (runs[i] > 0) continue;
        // The nearest earlier command of the same name failed (a time-out,
        // a link failure) after it had run: its answer, arriving late, was
        // taken for this one's.
        bool stale = false;
        const std::string name = ShortName(sent[i].wire);
        for (size_t j = i, looked = 0; j-- > 0 && looked < kLateAnswerWindow;) {
            if (NeverSent(sent[j].result)) continue;
            ++looked;
            if (ShortName(sent[j].wire) != name) continue;
            stale = sent[j].result < 0 && runs[j] > 0;
            break;
        }
        ++(stale ? c.staleAnswer : c.lost);
    }
    if (runsOut) *runsOut = runs;
    return c;
}

} // namespace korvo::soak
