// korvoprog's own configuration file: it sits next to the program under the
// program's name with the extension "cfg", switches the display options of
// the run and sets process-wide configuration values of the library.
#pragma once

#include <cstddef>

#include "tool/ProgramEnvironment.h"
#include "tool/RunOptions.h"

namespace korvo {

constexpr size_t kConfigFileNameSize = 512;

// The configuration file name for a program path: the extension (a "." among
// the last six characters with no slash or backslash after it) replaced by
// "cfg", or ".cfg" appended when there is none. False when there is no
// name: an empty path, a path that begins with its extension's dot, or a
// name that would not fit kConfigFileNameSize bytes with its NUL.
bool ConfigFileName(const char* programPath, char (&name)[kConfigFileNameSize]);

// Reads the configuration file of programPath when there is one. Directives
// set options; other lines "key=value" go to the library's process-wide
// values, reported on the console when the file asks for it. True when a
// file was found and read.
bool ReadProgramConfiguration(RunOptions& options, const char* programPath,
                              const ProgramEnvironment& env);

} // namespace korvo
