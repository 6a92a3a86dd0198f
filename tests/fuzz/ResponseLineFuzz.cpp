// The printer's response lines as the command session reads them: the
// handshake, then commands of the catalogue answered with the input's bytes,
// delivered whole or in pieces.
//
// Input: a control byte (bit 0: connect first; bits 1-7: how many bytes a
// delivery holds, 0 for all), a command index byte, then the answers to the
// requests in order, separated by 0x1E.
#include <cstring>
#include <string>
#include <vector>

#include "FastClock.h"
#include "FuzzTarget.h"
#include "ScriptedTransport.h"
#include "protocol/CommandCatalogue.h"
#include "protocol/CommandSession.h"

namespace {

using korvo::CommandCatalogue;
using korvo::CommandSession;
using korvo::fuzz::Fail;

void CheckValues(const CommandSession& session) {
    const char* values = session.ResponseValues();
    if (!values) return;
    if (::strnlen(values, CommandSession::kTextSize) >= CommandSession::kTextSize)
        Fail("values not terminated inside the response buffer");
    if (std::strchr(values, '\n')) Fail("line end left in the values");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvo::fuzz::FuzzInput in(data, size);
    const uint8_t control = in.TakeByte();
    const uint8_t command = in.TakeByte();
    std::vector<std::string> answers;
    while (answers.size() < 8) {
        std::string answer = in.TakeUntil('\x1e');
        if (answer.empty() && answers.size() > 0) break;
        answers.push_back(answer);
    }

    korvo::fuzz::FastClock clock;
    korvo::test::ScriptedTransport transport;
    size_t next = 0;
    const size_t piece = control >> 1;
    transport.onSend = [&](const std::string&) {
        if (next >= answers.size()) return;
        const std::string& answer = answers[next++];
        for (size_t at = 0; at < answer.size(); at += piece ? piece : answer.size())
            transport.Deliver(answer.substr(at, piece ? piece : answer.size()));
    };

    CommandSession session(&transport);
    if (control & 1) {
        session.Connect();
        CheckValues(session);
    }
    const char* name = CommandCatalogue[command % korvo::kCommandCount].longName;
    if (name[0] == '\t') name = CommandCatalogue[command % korvo::kCommandCount].shortName;
    for (int i = 0; i < 2; ++i) {
        bool drop = false;
        int32_t r = session.Execute(name, "1", drop);
        CheckValues(session);
        if (drop && r != 0) Fail("connection dropped after a failed command");
    }
    return 0;
}
