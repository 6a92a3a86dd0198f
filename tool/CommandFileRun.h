// One run of a command file against one printer: load and check the file,
// create the response file, connect, execute line after line, disconnect.
#pragma once

#include <cstdint>

#include "tool/ProgramEnvironment.h"
#include "tool/RunOptions.h"

namespace korvo {

// Largest command file, in bytes.
constexpr uint32_t kMaxCommandFileSize = 1048576;

// Cuts the command file text in place: every CR and LF becomes NUL. False
// when a line is too long: the first line may hold 2048 characters, every
// later one 2047 (its distance from the previous line end may be 2048). The
// text after the last line end is not measured.
bool CutCommandLines(char* text, uint32_t length);

// Returns the exit code: 0, or 3 to 10. kind is a ConnectionKind; speed and
// deviceAddress count for RS-232 only, portOrHost is the port name for USB
// and RS-232 and the host address for TCP.
int RunCommandFile(const RunOptions& options, int kind, const char* portOrHost, int32_t speed,
                   uint8_t deviceAddress, const char* inputFile, const char* outputFile,
                   const ProgramEnvironment& env);

} // namespace korvo
