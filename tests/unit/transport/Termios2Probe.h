// Reads a terminal's speed the way termios2 reports it (speeds without a
// termios constant are visible only there).
#pragma once

#include <cstdint>

namespace korvo::test {

// The output speed of the terminal fd in baud, or 0 when it cannot be read.
uint32_t TerminalSpeed(int fd);

} // namespace korvo::test
