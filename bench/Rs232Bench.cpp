// The RS-232 link against the simulator's station throttled to the real line
// rate (10 bit times a byte, both directions), on a pseudo-terminal: payload
// throughput of a 2400-byte request and a 2400-byte response, beside what the
// line could carry at 9600 and at 115200 baud.
//
// Goals: at least 94 % of the line rate at 9600 baud, 92 % at 115200.
// Usage: bench_rs232 [ROUNDS].
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "BenchKit.h"
#include "sim/Rs232FrontEnd.h"
#include "transport/CRS232NetwLayerServ.h"

namespace {

using Clock = std::chrono::steady_clock;

class EqualSizePrinter : public korvo::sim::StationHandler {
public:
    std::string Execute(const std::string& request) override {
        return std::string(request.size() - 1, 'r') + "\n";
    }
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// One exchange the way the session makes it: send, then poll for the line.
bool Exchange(korvo::CRS232NetwLayerServ& layer, const std::string& request, size_t expected) {
    layer.PurgeReceive();
    if (layer.Send(reinterpret_cast<const uint8_t*>(request.data()),
                   static_cast<uint32_t>(request.size())) != 0)
        return false;
    size_t got = 0;
    uint8_t buffer[2500];
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(60);
    while (got < expected && Clock::now() < limit) {
        if (layer.BytesAvailable()) {
            int32_t n = layer.Receive(buffer, sizeof buffer);
            if (n > 0) got += static_cast<size_t>(n);
        }
        if (layer.HasFailed()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    layer.EndReceive();
    return got == expected;
}

struct Station {
    Station(const std::string& path, uint32_t baud) {
        korvo::sim::Rs232Options options;
        options.path = path;
        options.address = 2;
        options.baudRate = baud;
        options.throttle = true;
        frontEnd = std::make_unique<korvo::sim::Rs232FrontEnd>(options, printer);
    }
    EqualSizePrinter printer;
    std::unique_ptr<korvo::sim::Rs232FrontEnd> frontEnd;
};

bool Throughput(const std::string& dir, uint32_t baud, int rounds) {
    Station station(dir + "/com1", baud);
    std::string error;
    if (!station.frontEnd->Start(error)) {
        std::fprintf(stderr, "bench_rs232: %s\n", error.c_str());
        return false;
    }
    korvo::CRS232NetwLayerServ layer("COM1", static_cast<int32_t>(baud), 2);
    // A write to the pseudo-terminal returns before the throttled station has
    // "received" the frame, so the answer time limit must cover the line time
    // of a whole frame, as the link transfer time setting allows.
    uint32_t frameMs = 262u * 10u * 1000u / baud;
    if (frameMs > 25) layer.SetTransferTime(frameMs / 2 + 10);
    int32_t opened = layer.Open();
    if (opened != 0) {
        std::fprintf(stderr, "bench_rs232: Open gives %d\n", opened);
        return false;
    }
    const std::string request = std::string(2399, 'q') + "\n";
    // The first exchange also sets the link up; it is not counted.
    if (!Exchange(layer, request, 2400)) {
        std::fprintf(stderr, "bench_rs232: the first exchange failed (%d)\n",
                     layer.GetFailureCode());
        return false;
    }
    double best = 0, sum = 0;
    for (int i = 0; i < rounds; ++i) {
        Clock::time_point t0 = Clock::now();
        if (!Exchange(layer, request, 2400)) {
            std::fprintf(stderr, "bench_rs232: exchange failed (%d)\n", layer.GetFailureCode());
            return false;
        }
        double s = Seconds(Clock::now() - t0);
        // Payload bytes per second over what the line carries: baud / 10.
        double fraction = (4800.0 / s) / (baud / 10.0);
        sum += fraction;
        if (fraction > best) best = fraction;
    }
    // Payload bytes per second beside what the line carries: baud / 10.
    const double lineRate = baud / 10.0, payloadRate = lineRate * sum / rounds;
    const double goal = baud == 9600 ? 94 : 92;
    char title[64], goalText[64];
    std::snprintf(title, sizeof title, "RS-232 %u baud, payload (best %.1f %%)", baud,
                  100.0 * best);
    std::snprintf(goalText, sizeof goalText, ">= %.0f %% of line: %.1f %%", goal,
                  100.0 * sum / rounds);
    korvo::bench::Report({"rs232." + std::to_string(baud), title, payloadRate, "B/s", "line rate",
                          lineRate, "B/s", goalText, 100.0 * sum / rounds >= goal});
    layer.Close();
    station.frontEnd->Stop();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    if (rounds < 1) rounds = 1;
    char pattern[] = "/tmp/korvo-bench-rs232-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    std::string dir = pattern;
    setenv("KORVOCOMM_PORTS", dir.c_str(), 1);
    // The quick smoke run spares the five seconds of a round at 9600 baud.
    const bool quick = korvo::bench::Quick();
    bool ok =
        (quick || Throughput(dir, 9600, rounds)) && Throughput(dir, 115200, quick ? 1 : rounds * 3);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return ok ? 0 : 1;
}
