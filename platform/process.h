// The calling process: its number and its environment variables.
#pragma once

#include <cstdint>

namespace korvo::os {

// The process id, as the system's tools show it.
uint32_t CurrentProcessId();

// Copies the value of an environment variable with its NUL. False when the
// variable is not set, is empty, or does not fit size bytes.
bool ReadEnvironment(const char* name, char* buffer, uint32_t size);

} // namespace korvo::os
