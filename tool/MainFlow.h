// korvoprog's entry point: the command line, the run, the closing report.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tool/ProgramEnvironment.h"

namespace korvo {

struct CommandLine {
    int kind = 0; // a ConnectionKind; kConnectionInvalid when the line is invalid
    const char* portOrHost = nullptr;
    int32_t speed = 0;         // RS-232 only
    uint8_t deviceAddress = 0; // RS-232 only
    const char* inputFile = nullptr;
    const char* outputFile = nullptr;
};

// The connection kind word is matched in any letter case:
//   USB PortName In Out | RS232 PortName Speed Address In Out | TCP HostAddress In Out
CommandLine ParseCommandLine(int argc, const char* const* argv, const LibraryCalls& library);

// The text after the last slash or backslash; the whole text without either.
const char* ProgramBaseName(const char* path);

// The closing message of an exit code, with the usage block where it belongs.
void PrintReport(FILE* out, int exitCode, const char* programName);

// The whole program; returns the exit code.
int ProgramMain(int argc, const char* const* argv, const ProgramEnvironment& env);

} // namespace korvo
