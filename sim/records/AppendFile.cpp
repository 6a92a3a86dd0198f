#include "sim/records/AppendFile.h"

#include <cerrno>
#include <cstring>

namespace korvo::sim {

std::FILE* OpenForAppend(const char* path, char* error, size_t errorSize) {
    std::FILE* f = std::fopen(path, "ab");
    if (!f) std::snprintf(error, errorSize, "%s: %s", path, std::strerror(errno));
    return f;
}

} // namespace korvo::sim
