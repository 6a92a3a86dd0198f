// A pseudo-terminal behind a symlink, as the USB and RS-232 front ends offer
// their port to an application.
#pragma once

#include <cstdint>
#include <string>

#include "platform/pty.h"

namespace korvo::sim {

// How often a terminal that nobody holds open (hung up) is looked at for the
// next opener.
constexpr int32_t kHungUpProbeMs = 20;

// Opens a pseudo-terminal and points path at its slave side; false with a
// reason, and nothing left open.
bool OpenTerminal(os::PseudoTerminal& terminal, const std::string& path, std::string& error);

} // namespace korvo::sim
