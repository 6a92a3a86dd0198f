// CPU of an open connection that has nothing to do, per transport: the
// process's CPU time over an interval after one command, as a share of one
// core, beside what korvosim at the other end spends over the same interval.
//
// Goal: an idle RS-232 link under 1 % of a core. KORVO_BENCH_IDLE_SECONDS sets
// the interval per connection (default 3).
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

#include "BenchKit.h"
#include "Channels.h"

namespace {

using namespace korvo::bench;

bool Measure(const Channel& c, const Korvosim& sim, double interval, std::string& error) {
    // Time for the link to settle after the command, before the interval.
    const auto settle = std::chrono::milliseconds(Quick() ? 50 : 2000);
    int h = c.connect(sim);
    if (h <= 0) {
        error = std::string("connect ") + c.title + ": " + std::to_string(GetLastComError(0));
        return false;
    }
    int result = SendCommand(h, "getVatEntry", "1");
    if (result != 0) {
        Disconnect(h);
        error = std::string("getVatEntry over ") + c.title + " gives " + std::to_string(result);
        return false;
    }
    std::this_thread::sleep_for(settle);
    const double self0 = CpuSeconds(getpid()), sim0 = CpuSeconds(sim.Pid());
    const Clock::time_point t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(interval));
    const double wall = Seconds(Clock::now() - t0);
    const double self = 100 * (CpuSeconds(getpid()) - self0) / wall;
    const double other = 100 * (CpuSeconds(sim.Pid()) - sim0) / wall;
    Disconnect(h);
    char title[64];
    std::snprintf(title, sizeof title, "idle %s, CPU over %.1f s", c.title, wall);
    Report({std::string("idle_cpu.") + c.id, title, self, "% core", "korvosim", other, "% core",
            c.rs232 ? "< 1 % core" : "", self < 1});
    return true;
}

} // namespace

int main() {
    const char* const program = "bench_idle_cpu";
    const double interval = Quick() ? 0.1 : Setting("KORVO_BENCH_IDLE_SECONDS", 3);
    Korvosim sim;
    std::string error;
    if (!sim.Start(ChannelOptions(sim), error)) return Fail(program, error);
    int status = 0;
    for (const Channel& c : kChannels)
        if (!Measure(c, sim, interval, error)) status = Fail(program, error);
    return status;
}
