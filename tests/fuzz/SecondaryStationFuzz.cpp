// korvosim's RS-232 secondary station fed by whatever comes down the line,
// answering through the printer model. Every frame it puts on the line must
// be one the library's primary station takes without complaint.
//
// Input: the station's address byte, a delivery size byte (0: all at once),
// then the line's bytes.
#include <algorithm>
#include <string>
#include <vector>

#include "FastClock.h"
#include "FuzzTarget.h"
#include "ScriptedTransport.h"
#include "sim/model/PrinterModel.h"
#include "sim/station/SecondaryStation.h"
#include "transport/LinkFrames.h"

namespace {

using namespace korvo;
using korvo::fuzz::Fail;

int64_t FixedClock() {
    return 1741944413;
}

class ModelHandler : public sim::StationHandler {
public:
    ModelHandler() { model.SetHostClock(&FixedClock); }
    std::string Execute(const std::string& request) override {
        std::vector<char> line(request.begin(), request.end());
        size_t length = line.size() && line.back() == '\n' ? line.size() - 1 : line.size();
        line.resize(length + 1);
        model.Handle(1, line.data(), length, reply);
        return std::string(reply.text, reply.length);
    }

private:
    sim::PrinterModel model;
    sim::Reply reply;
};

// Reads the station's answer bytes as the library's primary station does.
void CheckAnswers(const std::string& wire, uint8_t address) {
    if (wire.empty()) return;
    korvo::fuzz::FastClock clock;
    test::ScriptedTransport line;
    line.Deliver(wire);
    LinkFrames primary(address, 115200);
    primary.link = &line;
    while (line.Pending() > 0)
        if (primary.ReceiveFrame() != 0) Fail("the primary station refuses a frame of the secondary");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvo::fuzz::FuzzInput in(data, size);
    const uint8_t address = static_cast<uint8_t>(2 + in.TakeByte() % 254);
    const size_t piece = in.TakeByte();
    const std::string bytes = in.Rest();

    ModelHandler handler;
    sim::SecondaryStation station(address, handler);
    for (size_t at = 0; at < bytes.size();) {
        size_t n = std::min(piece ? piece : bytes.size(), bytes.size() - at);
        std::string out;
        station.Feed(reinterpret_cast<const uint8_t*>(bytes.data() + at), n, out);
        at += n;
        CheckAnswers(out, address);
    }
    return 0;
}
