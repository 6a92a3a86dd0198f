// Files the simulator writes as it goes (paper roll, journal): opened for
// appending, so that runs add to what earlier ones wrote.
#pragma once

#include <cstddef>
#include <cstdio>

namespace korvo::sim {

// The open file, or nullptr with a reason in error.
std::FILE* OpenForAppend(const char* path, char* error, size_t errorSize);

} // namespace korvo::sim
