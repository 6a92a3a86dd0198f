// korvosim: a stand-in for the fiscal printer on TCP and pseudo-terminals.
#include <cstdio>
#include <cstring>
#include <string>

#include "korvo_version.h"

#include "sim/serve/Options.h"
#include "sim/serve/Simulator.h"

int main(int argc, char** argv) {
    using namespace korvo::sim;
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("korvosim %s\n", KORVO_VERSION);
        return 0;
    }
    SimulatorOptions options;
    bool help = false;
    std::string error;
    if (!ParseOptions(argc, argv, options, help, error)) {
        std::fprintf(stderr, "korvosim: %s\n", error.c_str());
        return 2;
    }
    if (help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    Simulator simulator(options);
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "korvosim: %s\n", error.c_str());
        return 1;
    }
    simulator.WatchStopSignals();
    for (const Endpoint& e : simulator.Endpoints())
        std::printf("korvosim: %s\n", e.Describe().c_str());
    if (options.chaos.Enabled())
        std::printf("korvosim: chaos %s\n", DescribeChaos(options.chaos).c_str());
    std::printf("korvosim: ready\n");
    std::fflush(stdout);
    simulator.WaitForStopSignal();
    std::printf("korvosim: stopped\n");
    return 0;
}
