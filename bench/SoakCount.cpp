#include "SoakCount.h"

#include <fstream>

#include "korvocomm.h"

namespace korvo::soak {

namespace {

// How far apart an execution and its command may be, counted in commands
// that went out: the client has one command out at a time, so a request runs
// at most a few commands late (after link retries), and a late answer
// arrives within a few commands.
constexpr size_t kWindow = 40;

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

std::vector<std::string> ExecutedRequests(const std::string& journalPath, bool& ok) {
    std::vector<std::string> out;
    std::ifstream in(journalPath, std::ios::binary);
    ok = static_cast<bool>(in);
    std::string line;
    bool lastWasRequest = false;
    // "2026-12-09 00:30:31.768 #1 > sHL\tREQ\tS2170\t"
    while (std::getline(in, line)) {
        size_t hash = line.find(" #");
        if (hash == std::string::npos) continue;
        size_t kind = line.find(' ', hash + 2);
        if (kind == std::string::npos || kind + 2 >= line.size() || line[kind + 2] != ' ') continue;
        const char mark = line[kind + 1];
        std::string text = line.substr(kind + 3);
        // The printer got that request with its name damaged: not what was sent.
        if (mark == '!' && lastWasRequest && text == "chaos: request line corrupted")
            out.pop_back();
        lastWasRequest = mark == '>' && !IsHandshake(text);
        if (lastWasRequest) out.push_back(text);
    }
    return out;
}

Counts Reckon(const std::vector<SentCommand>& sent, const std::vector<std::string>& executed,
              std::vector<uint32_t>* runsOut) {
    Counts c;
    std::vector<uint32_t> runs(sent.size(), 0);
    size_t last = sent.size(); // the command matched last; none yet
    for (const std::string& request : executed) {
        const bool again = last < sent.size() && sent[last].wire == request;
        size_t next = sent.size();
        size_t answeredSkipped = 0;
        size_t looked = 0;
        for (size_t i = last < sent.size() ? last + 1 : 0; i < sent.size() && looked < kWindow;
             ++i) {
            if (NeverSent(sent[i].result)) continue;
            if (sent[i].wire == request) {
                next = i;
                break;
            }
            ++looked;
            if (sent[i].result >= 0) ++answeredSkipped;
        }
        if (again && (next == sent.size() || answeredSkipped > 0)) {
            ++runs[last];
        } else if (next < sent.size()) {
            ++runs[next];
            last = next;
        } else {
            ++c.strayRuns;
        }
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
        // The nearest earlier command of the same name timed out after it
        // had run: its answer, arriving late, was taken for this one's.
        bool stale = false;
        const std::string name = ShortName(sent[i].wire);
        for (size_t j = i, looked = 0; j-- > 0 && looked < kWindow;) {
            if (NeverSent(sent[j].result)) continue;
            ++looked;
            if (ShortName(sent[j].wire) != name) continue;
            stale = sent[j].result == APP_RESPONSE_TIMEOUT && runs[j] > 0;
            break;
        }
        ++(stale ? c.staleAnswer : c.lost);
    }
    if (runsOut) *runsOut = runs;
    return c;
}

} // namespace korvo::soak
