// Heap allocations per command: steady-state SendCommand loops over TCP, USB
// and RS-232 against korvosim, counted by the allocation functions of this
// program, which stand in for the C library's in libkorvocomm.so too (and in
// its link thread). The same counter over the connect call, which allocates
// the connection, shows that it reaches into the library.
//
// Goal: 0 allocations per command.
#include <string>

#include "AllocationCounter.h"
#include "BenchKit.h"
#include "Channels.h"

namespace {

using namespace korvo::bench;

bool Measure(const Channel& c, const Korvosim& sim, int commands, std::string& error) {
    unsigned long before = korvo_bench_allocations();
    int h = c.connect(sim);
    const unsigned long connecting = korvo_bench_allocations() - before;
    if (h <= 0) {
        error = std::string("connect ") + c.title + ": " + std::to_string(GetLastComError(0));
        return false;
    }
    if (connecting == 0) {
        Disconnect(h);
        error = "the counter saw no allocation of the connect call: it does not reach into "
                "libkorvocomm";
        return false;
    }
    int result = 0, sent = 0;
    for (int i = 0; i < 20 && result == 0; ++i)
        result = SendCommand(h, "getVatEntry", "1");
    before = korvo_bench_allocations();
    for (; sent < commands && result == 0; ++sent)
        result = SendCommand(h, "getVatEntry", "1");
    const unsigned long counted = korvo_bench_allocations() - before;
    Disconnect(h);
    if (result != 0) {
        error = std::string("getVatEntry over ") + c.title + " gives " + std::to_string(result) +
                " (command " + std::to_string(sent) + " of " + std::to_string(commands) + ")";
        return false;
    }
    Report({std::string("allocations.") + c.id, std::string("allocations per command, ") + c.title,
            static_cast<double>(counted) / commands, "", "same counter, connect call",
            static_cast<double>(connecting), "", "= 0", counted == 0});
    return true;
}

} // namespace

int main() {
    const char* const program = "bench_allocations";
    const int commands = Quick() ? 20 : 1000;
    Korvosim sim;
    std::string error;
    if (!sim.Start(ChannelOptions(sim), error)) return Fail(program, error);
    // A channel that fails leaves its row out; the others still count.
    int status = 0;
    for (const Channel& c : kChannels)
        if (!Measure(c, sim, commands, error)) status = Fail(program, error);
    return status;
}
