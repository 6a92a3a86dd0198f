#include "platform/process.h"

#include <windows.h>

namespace korvo::os {

uint32_t CurrentProcessId() {
    return static_cast<uint32_t>(GetCurrentProcessId());
}

// The process's own environment block, not a C runtime's copy of it: a DLL
// may have a runtime of its own.
bool ReadEnvironment(const char* name, char* buffer, uint32_t size) {
    DWORD n = GetEnvironmentVariableA(name, buffer, size);
    return n > 0 && n < size;
}

} // namespace korvo::os
