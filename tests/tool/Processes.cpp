#include "Processes.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace korvo::test {

namespace {

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> p;
    for (std::string& t : texts)
        p.push_back(&t[0]);
    p.push_back(nullptr);
    return p;
}

// Waits for pid; true with its exit code when it ended within timeoutMs.
bool WaitFor(pid_t pid, int timeoutMs, int& exitCode) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        }
        if (r < 0 && errno != EINTR) {
            exitCode = -1;
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

pid_t Spawn(const std::string& program, std::vector<std::string> argv, std::vector<std::string> env,
            const std::string& outFile, const std::string& errFile, const std::string& workDir) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    for (char** e = environ; *e; ++e)
        env.insert(env.begin(), *e);
    std::vector<char*> a = Pointers(argv), v = Pointers(env);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, a.data(), v.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

} // namespace

ProgramResult RunProgram(const std::string& program, const std::string& argv0,
                         const std::vector<std::string>& arguments, const std::string& workDir,
                         const std::vector<std::string>& environment, int timeoutMs) {
    ProgramResult result;
    static int counter = 0;
    std::string base = (std::filesystem::temp_directory_path() /
                        ("korvo-run-" + std::to_string(getpid()) + "-" + std::to_string(counter++)))
                           .string();
    std::vector<std::string> argv{argv0};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    pid_t pid = Spawn(program, argv, environment, base + ".out", base + ".err", workDir);
    if (pid > 0 && !WaitFor(pid, timeoutMs, result.exitCode)) {
        kill(pid, SIGKILL);
        WaitFor(pid, 5000, result.exitCode);
        result.exitCode = -1;
    }
    result.output = ReadAll(base + ".out");
    result.errors = ReadAll(base + ".err");
    unlink((base + ".out").c_str());
    unlink((base + ".err").c_str());
    return result;
}

Simulator::Simulator(const std::string& program, const std::vector<std::string>& arguments,
                     const std::string& logFile)
    : log(logFile) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    pid = Spawn(program, argv, {}, logFile, logFile + ".err", "");
}

Simulator::~Simulator() {
    Stop();
}

std::string Simulator::WaitForLog(const std::string& pattern, int timeoutMs) {
    std::regex re(pattern);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string text = ReadAll(log);
        std::smatch m;
        if (std::regex_search(text, m, re)) return m.size() > 1 ? m[1].str() : m[0].str();
        int code;
        if (pid > 0 && WaitFor(pid, 0, code)) {
            pid = -1; // ended early
            return "";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
}

int Simulator::Stop() {
    if (pid <= 0) return -1;
    int code = -1;
    kill(pid, SIGTERM);
    if (!WaitFor(pid, 5000, code)) {
        kill(pid, SIGKILL);
        WaitFor(pid, 5000, code);
        code = -1;
    }
    pid = -1;
    return code;
}

} // namespace korvo::test
