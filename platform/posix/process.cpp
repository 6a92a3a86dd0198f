#include "platform/process.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace korvo::os {

uint32_t CurrentProcessId() {
    return static_cast<uint32_t>(getpid());
}

bool ReadEnvironment(const char* name, char* buffer, uint32_t size) {
    const char* value = std::getenv(name);
    if (!value || !*value) return false;
    size_t length = std::strlen(value);
    if (length >= size) return false;
    std::memcpy(buffer, value, length + 1);
    return true;
}

} // namespace korvo::os
