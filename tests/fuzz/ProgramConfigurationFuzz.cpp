// korvoprog's configuration file: directives and "key=value" lines that go to
// the library's process-wide values, with their reports on the console.
//
// Input: the file.
#include <cstdio>
#include <string>

#include "FuzzTarget.h"
#include "TempDir.h"
#include "tool/ProgramConfiguration.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static korvo::test::TempDir dir;
    static std::FILE* console = std::fopen("/dev/null", "w");
    static const std::string program = dir.File("korvoprog.exe");

    dir.Write("korvoprog.cfg", std::string(reinterpret_cast<const char*>(data), size));
    korvo::ProgramEnvironment env = korvo::RealEnvironment();
    env.console = console;
    korvo::RunOptions options;
    bool read = korvo::ReadProgramConfiguration(options, program.c_str(), env);
    if (read != (size > 0)) korvo::fuzz::Fail("a configuration file with text not read");
    if (options.CommandTimeOnNewLine && !options.DisplayCommandTime)
        korvo::fuzz::Fail("command time on a line of its own without command time");
    return 0;
}
