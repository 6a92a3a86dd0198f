// Line speeds that termios has no constant for.
#pragma once

#include <cstdint>

namespace korvo::os {

// Sets input and output speed of the terminal fd to baud through termios2,
// keeping every other setting. 0 or an errno value.
int SetArbitrarySpeed(int fd, uint32_t baud);

} // namespace korvo::os
