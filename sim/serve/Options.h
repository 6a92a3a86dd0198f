// korvosim's command line.
#pragma once

#include <cstdint>
#include <string>

#include "sim/serve/Simulator.h"

namespace korvo::sim {

// "HOST:PORT" or "[IPv6]:PORT"; an empty host is 127.0.0.1.
bool ParseHostPort(const std::string& hostPort, std::string& host, uint16_t& port);

// Reads argv into options. help is set by --help (and nothing else is
// checked then). false with a reason in error.
bool ParseOptions(int argc, const char* const* argv, SimulatorOptions& options, bool& help,
                  std::string& error);

// The text of --help.
const char* UsageText();

} // namespace korvo::sim
