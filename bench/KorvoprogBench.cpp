// korvoprog's pace over TCP: a command file of 10 000 getVatEntry lines run
// against korvosim at speed 0, timed as a whole run (start, connect, the
// lines, disconnect, exit), beside the rate of raw exchanges of the same
// request line with the same simulator on a plain socket.
//
// Goal: at least 10 000 commands a second.
#include <cstdio>
#include <fstream>
#include <string>

#include "BenchKit.h"

namespace {

using namespace korvo::bench;

const char* const kProgram = "bench_korvoprog";

} // namespace

int main() {
    const int lines = Quick() ? 100 : 10000;
    Korvosim sim;
    std::string error;
    if (!sim.Start({"--tcp", "127.0.0.1:0"}, error)) return Fail(kProgram, error);

    const std::string commands = sim.Folder() + "/commands.txt";
    {
        std::ofstream out(commands, std::ios::binary);
        for (int i = 0; i < lines; ++i)
            out << "getVatEntry\t1\r\n";
        if (!out) return Fail(kProgram, "cannot write " + commands);
    }
    // Started under its bare name in the scratch folder, so that it finds no
    // configuration file and runs with its defaults.
    Clock::time_point t0 = Clock::now();
    korvo::test::ProgramResult run = korvo::test::RunProgram(
        KORVOPROG_PATH, "korvoprog", {"TCP", sim.TcpAddress(), "commands.txt", "responses.txt"},
        sim.Folder(), {}, 600000);
    const double seconds = Seconds(Clock::now() - t0);
    if (run.exitCode != 0)
        return Fail(kProgram,
                    "korvoprog exits with " + std::to_string(run.exitCode) + ":\n" +
                        run.output.substr(run.output.size() > 400 ? run.output.size() - 400 : 0));

    RawLine raw;
    if (!raw.OpenTcp(sim.TcpAddress(), error)) return Fail(kProgram, error);
    t0 = Clock::now();
    for (int i = 0; i < lines; ++i)
        if (!raw.Exchange("gVE\tREQ\t1\n")) return Fail(kProgram, "the raw exchange failed");
    const double rawSeconds = Seconds(Clock::now() - t0);

    const double rate = lines / seconds;
    Report({"korvoprog.tcp", "korvoprog TCP, " + std::to_string(lines) + " lines", rate,
            "commands/s", "raw socket", lines / rawSeconds, "lines/s", ">= 10000 commands/s",
            rate >= 10000});
    return 0;
}
