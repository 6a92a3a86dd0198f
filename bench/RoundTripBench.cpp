// A command's round trip through SendCommand over TCP and USB against
// korvosim at speed 0, beside a raw exchange of the same request line with
// the same simulator over the same kind of channel (a plain socket, a raw
// pseudo-terminal).
//
// Goals: median within 3 times the raw median plus 50 us, p99 within 500 us.
// KORVO_BENCH_ROUND_TRIPS sets the count per channel (default 5000).
#include <cstdio>
#include <string>
#include <vector>

#include "BenchKit.h"
#include "korvocomm.h"

namespace {

using namespace korvo::bench;

const char* const kProgram = "bench_roundtrip";
const std::string kRequestLine = "gVE\tREQ\t1\n"; // what SendCommand(h, "getVatEntry", "1") sends

// Adds the microseconds of count calls of exchange, after a few not counted.
template <typename Exchange>
bool Sample(int count, Exchange exchange, std::vector<double>& samples) {
    for (int i = 0; i < 5; ++i)
        if (!exchange()) return false;
    for (int i = 0; i < count; ++i) {
        Clock::time_point t0 = Clock::now();
        if (!exchange()) return false;
        samples.push_back(Microseconds(Clock::now() - t0));
    }
    return true;
}

// Raw and library exchanges take turns in blocks, so that a change in the
// machine's load between them weighs on both alike; a block has the channel
// to itself, as the pseudo-terminal can have one user only.
bool Measure(const char* name, const Korvosim& sim, int count, std::string& error) {
    const bool tcp = std::string(name) == "TCP";
    const int blocks = 10, perBlock = count / blocks > 0 ? count / blocks : 1;
    std::vector<double> rawSamples, samples;
    for (int b = 0; b < blocks; ++b) {
        RawLine raw;
        if (!(tcp ? raw.OpenTcp(sim.TcpAddress(), error) : raw.OpenTerminal(sim.Port(7), error)))
            return false;
        auto rawExchange = [&] { return raw.Exchange(kRequestLine); };
        if (!Sample(perBlock, rawExchange, rawSamples)) {
            error = std::string("the raw exchange over ") + name + " failed";
            return false;
        }
        raw.Close();

        int h = tcp ? ConnectTCP(sim.TcpAddress().c_str()) : ConnectUSB("COM7");
        if (h <= 0) {
            error = std::string("connect over ") + name + ": " + std::to_string(GetLastComError(0));
            return false;
        }
        int result = 0;
        auto command = [&] { return (result = SendCommand(h, "getVatEntry", "1")) == 0; };
        bool ok = Sample(perBlock, command, samples);
        Disconnect(h);
        if (!ok) {
            error = std::string("getVatEntry over ") + name + " gives " + std::to_string(result);
            return false;
        }
    }
    const Spread base = Percentiles(rawSamples);
    const Spread lib = Percentiles(samples);

    const std::string id = std::string("roundtrip.") + (tcp ? "tcp" : "usb");
    const std::string rawTitle = tcp ? "raw socket" : "raw pty";
    char goal[96];
    const double bound = 3 * base.median + 50;
    std::snprintf(goal, sizeof goal, "<= 3 x raw + 50 = %.0f us", bound);
    Report({id + ".median", std::string("round trip ") + name + ", median", lib.median, "us",
            rawTitle, base.median, "us", goal, lib.median <= bound});
    Report({id + ".p99", std::string("round trip ") + name + ", p99", lib.p99, "us", rawTitle,
            base.p99, "us", "<= 500 us", lib.p99 <= 500});
    return true;
}

} // namespace

int main() {
    const int count = Quick() ? 100 : static_cast<int>(Setting("KORVO_BENCH_ROUND_TRIPS", 5000));
    Korvosim sim;
    std::string error;
    if (!sim.Start({"--tcp", "127.0.0.1:0", "--usb", sim.Port(7)}, error))
        return Fail(kProgram, error);
    for (const char* name : {"TCP", "USB"})
        if (!Measure(name, sim, count, error)) return Fail(kProgram, error);
    return 0;
}
