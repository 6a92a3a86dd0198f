// korvosim's side of the line protocol: received bytes cut into request
// lines and answered by the printer model, from one or two clients.
//
// Input: a control byte (bit 0: connect first; bit 1: lines alternate between
// two clients; bits 2-7: how many bytes arrive at a time, 0 for all), then the
// bytes the clients send.
#include <algorithm>
#include <cstring>
#include <string>

#include "FuzzTarget.h"
#include "sim/model/PrinterModel.h"
#include "sim/serve/LineAssembler.h"

namespace {

using namespace korvo::sim;
using korvo::fuzz::Fail;

int64_t FixedClock() {
    return 1741944413; // 2025-03-14 09:26:53
}

void CheckReply(const Reply& reply) {
    if (reply.length == 0 || reply.length > Reply::kCapacity) Fail("reply length");
    if (reply.text[reply.length - 1] != '\n') Fail("reply without its line end");
    if (std::memchr(reply.text, '\n', reply.length - 1)) Fail("more than one line in a reply");
    if (std::memchr(reply.text, '\0', reply.length)) Fail("NUL byte in a reply");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvo::fuzz::FuzzInput in(data, size);
    const uint8_t control = in.TakeByte();
    std::string bytes = in.Rest();
    if (control & 1) bytes.insert(0, "CONNECT\tREQ\n");
    const size_t piece = control >> 2;

    PrinterModel model;
    model.SetHostClock(&FixedClock);
    LineAssembler input;
    Reply reply;
    uint32_t lines = 0;
    for (size_t at = 0; at < bytes.size();) {
        size_t n = std::min({piece ? piece : bytes.size(), bytes.size() - at, input.SpaceSize()});
        if (n == 0) Fail("line assembler has no room");
        std::memcpy(input.Space(), bytes.data() + at, n);
        input.Commit(n);
        at += n;
        char* line = nullptr;
        size_t length = 0;
        for (;;) {
            LineAssembler::Event event = input.Next(line, length);
            if (event == LineAssembler::Event::None) break;
            if (event == LineAssembler::Event::TooLong) {
                PrinterModel::AnswerTooLong(line, length, reply);
            } else {
                if (length > LineAssembler::kLineLimit) Fail("line over the limit handed on");
                if (length == 0) continue;
                const uint32_t client = (control & 2) ? 1 + (lines & 1) : 1;
                ++lines;
                model.Handle(client, line, length, reply);
            }
            CheckReply(reply);
        }
    }
    return 0;
}
