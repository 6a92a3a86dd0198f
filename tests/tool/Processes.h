// Child processes for the end-to-end tests: korvoprog run to its end with its
// standard output captured, and korvosim kept running for the length of a
// test and stopped afterwards.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace korvo::test {

struct ProgramResult {
    int exitCode = -1;  // -1: did not exit normally
    std::string output; // standard output
    std::string errors; // standard error
};

// Runs program with argv[0] = argv0 and the given arguments in folder
// workDir, with extra environment entries ("NAME=value"); waits at most
// timeoutMs and kills it after that.
ProgramResult RunProgram(const std::string& program, const std::string& argv0,
                         const std::vector<std::string>& arguments, const std::string& workDir,
                         const std::vector<std::string>& environment = {}, int timeoutMs = 20000);

// korvosim with the given arguments; its standard output and error go to
// logFile. Stopped (SIGTERM, then SIGKILL) by the destructor at the latest.
class Simulator {
public:
    Simulator(const std::string& program, const std::vector<std::string>& arguments,
              const std::string& logFile);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool Running() const { return pid > 0; }
    pid_t Pid() const { return pid; }
    // Waits until the log holds text matching the ECMAScript pattern and
    // returns its first group (or the whole match); "" after timeoutMs.
    std::string WaitForLog(const std::string& pattern, int timeoutMs = 10000);
    // SIGTERM, and the exit code; -1 when it did not end by itself.
    int Stop();

private:
    pid_t pid = -1;
    std::string log;
};

} // namespace korvo::test
