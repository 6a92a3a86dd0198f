// korvosim --replay's reading of a wire trace, which comes from a shop: the
// exchanges parsed from the text, then answered to a few request lines.
//
// Input: the text of a trace.
#include <cstring>
#include <string>

#include "FuzzTarget.h"
#include "sim/serve/TraceReplay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace korvo::sim;
    using korvo::fuzz::Fail;

    const std::string text(reinterpret_cast<const char*>(data), size);
    TraceReplay replay;
    std::string error;
    if (!replay.Parse(text, "trace", error)) {
        if (error.empty()) Fail("refused without a reason");
        return 0;
    }
    if (replay.Exchanges() == 0) Fail("accepted without an exchange");
    static const char* const kRequests[] = {"CONNECT\tREQ", "bFR\tREQ\t1\t0\t", "", "sI\tREQ"};
    Reply reply;
    std::string note;
    for (int i = 0; i < 12; ++i) {
        const char* request = kRequests[i % 4];
        replay.Answer(static_cast<uint32_t>(i % 3), request, std::strlen(request), reply, note);
        if (reply.length > Reply::kCapacity || reply.text[reply.length] != '\0')
            Fail("answer beyond the reply");
    }
    return 0;
}
