// What the benchmarks share: korvosim as a program of their own, a raw line
// exchange as the baseline of a round trip, statistics, CPU time, and the
// rows of the table that run_benchmarks.py collects from their output.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

#include "Processes.h"

namespace korvo::bench {

using Clock = std::chrono::steady_clock;

double Microseconds(Clock::duration d);
double Seconds(Clock::duration d);

// A positive number from the environment variable name, else fallback.
double Setting(const char* name, double fallback);
// KORVO_BENCH_QUICK=1: small counts, for the smoke run of the tests.
bool Quick();

// korvosim in a scratch folder that also holds its port links, named to the
// library by KORVOCOMM_PORTS; stopped, and the folder removed, at the end.
class Korvosim {
public:
    Korvosim();
    ~Korvosim();
    Korvosim(const Korvosim&) = delete;
    Korvosim& operator=(const Korvosim&) = delete;

    // Starts it with these options and waits until it serves; false with the
    // reason otherwise.
    bool Start(const std::vector<std::string>& options, std::string& error);
    // The port link COMn in the scratch folder.
    std::string Port(int n) const;
    const std::string& Folder() const { return folder; }
    // "127.0.0.1:PORT" of its --tcp front end.
    const std::string& TcpAddress() const { return tcpAddress; }
    pid_t Pid() const;

private:
    std::string folder;
    std::string tcpAddress;
    std::unique_ptr<test::Simulator> process;
};

// A request line out and its answer line back on a plain socket or a raw
// pseudo-terminal, nothing in between: what the channel itself costs.
class RawLine {
public:
    RawLine() = default;
    ~RawLine();
    RawLine(const RawLine&) = delete;
    RawLine& operator=(const RawLine&) = delete;

    bool OpenTcp(const std::string& hostPort, std::string& error);
    bool OpenTerminal(const std::string& path, std::string& error);
    void Close();
    // Writes request, reads up to the answer's LF; false on an error or EOF.
    bool Exchange(const std::string& request);

private:
    int fd = -1;
};

struct Spread {
    double median = 0;
    double p99 = 0;
};
Spread Percentiles(std::vector<double> samples);

// CPU time of a process, all its threads, in seconds; 0 when it cannot be read.
double CpuSeconds(pid_t pid);

// One row of the table. Printed as a line of TAB-separated fields:
// "row", id, title, value, unit, baseline title, baseline, baseline unit, goal,
// verdict ("met", "not met", or "" without a goal).
struct Row {
    std::string id;    // stable key in the JSON, e.g. "roundtrip.tcp.median"
    std::string title; // e.g. "round trip TCP, median"
    double value;
    std::string unit;
    std::string baselineTitle; // what the figure stands beside, measured in the same run
    double baseline;
    std::string baselineUnit;
    std::string goal; // "" when the figure has none
    bool met;
};
void Report(const Row& row);

// Prints "program: reason" to standard error; returns the exit code 1.
int Fail(const char* program, const std::string& reason);

} // namespace korvo::bench
