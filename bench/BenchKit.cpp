#include "BenchKit.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netdb.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace korvo::bench {

double Microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Setting(const char* name, double fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    return (*end == '\0' && value > 0) ? value : fallback;
}

bool Quick() {
    const char* text = std::getenv("KORVO_BENCH_QUICK");
    return text && std::string(text) == "1";
}

namespace {

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

Korvosim::Korvosim() {
    char pattern[] = "/tmp/korvo-bench-XXXXXX";
    if (mkdtemp(pattern)) folder = pattern;
    setenv("KORVOCOMM_PORTS", folder.c_str(), 1);
}

Korvosim::~Korvosim() {
    process.reset();
    unsetenv("KORVOCOMM_PORTS");
    std::error_code ec;
    if (!folder.empty()) std::filesystem::remove_all(folder, ec);
}

bool Korvosim::Start(const std::vector<std::string>& options, std::string& error) {
    if (folder.empty()) {
        error = "no scratch folder under /tmp";
        return false;
    }
    const std::string log = folder + "/korvosim.log";
    process = std::make_unique<test::Simulator>(KORVOSIM_PATH, options, log);
    if (process->WaitForLog("korvosim: ready").empty()) {
        error = "korvosim did not start: " + ReadAll(log + ".err");
        process.reset();
        return false;
    }
    tcpAddress = process->WaitForLog("korvosim: tcp (127\\.0\\.0\\.1:[0-9]+)", 1000);
    return true;
}

std::string Korvosim::Port(int n) const {
    return folder + "/com" + std::to_string(n);
}

pid_t Korvosim::Pid() const {
    return process ? process->Pid() : -1;
}

RawLine::~RawLine() {
    Close();
}

void RawLine::Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool RawLine::OpenTcp(const std::string& hostPort, std::string& error) {
    Close();
    size_t colon = hostPort.rfind(':');
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (colon == std::string::npos ||
        getaddrinfo(hostPort.substr(0, colon).c_str(), hostPort.c_str() + colon + 1, &hints,
                    &found) != 0) {
        error = "no numeric host:port: " + hostPort;
        return false;
    }
    fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    if (fd < 0 || ::connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        error = "connect to " + hostPort + ": " + std::strerror(errno);
        Close();
    }
    freeaddrinfo(found);
    return fd >= 0;
}

bool RawLine::OpenTerminal(const std::string& path, std::string& error) {
    Close();
    fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (fd < 0 || tcgetattr(fd, &t) != 0) {
        error = "open " + path + ": " + std::strerror(errno);
        Close();
        return false;
    }
    cfmakeraw(&t);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &t);
    tcflush(fd, TCIOFLUSH);
    return true;
}

bool RawLine::Exchange(const std::string& request) {
    if (fd < 0 ||
        ::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
        return false;
    char buffer[2500];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (std::find(buffer, buffer + n, '\n') != buffer + n) return true;
    }
}

Spread Percentiles(std::vector<double> samples) {
    Spread s;
    if (samples.empty()) return s;
    std::sort(samples.begin(), samples.end());
    auto rank = [&](double q) {
        size_t k = static_cast<size_t>(std::ceil(q * static_cast<double>(samples.size())));
        return samples[std::min(samples.size(), std::max<size_t>(k, 1)) - 1];
    };
    s.median = rank(0.5);
    s.p99 = rank(0.99);
    return s;
}

double CpuSeconds(pid_t pid) {
    // The kernel's CPU clock of the process, all its threads: nanoseconds,
    // where the clock ticks of /proc/PID/stat would hide a quiet process.
    clockid_t clock;
    timespec t{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void Report(const Row& row) {
    const char* verdict = row.goal.empty() ? "" : (row.met ? "met" : "not met");
    std::printf("row\t%s\t%s\t%.6g\t%s\t%s\t%.6g\t%s\t%s\t%s\n", row.id.c_str(), row.title.c_str(),
                row.value, row.unit.c_str(), row.baselineTitle.c_str(), row.baseline,
                row.baselineUnit.c_str(), row.goal.c_str(), verdict);
    std::fflush(stdout);
}

int Fail(const char* program, const std::string& reason) {
    std::fprintf(stderr, "%s: %s\n", program, reason.c_str());
    return 1;
}

} // namespace korvo::bench
