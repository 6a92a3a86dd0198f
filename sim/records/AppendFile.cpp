#include "sim/records/AppendFile.h"

#include <cerrno>
#include <cstring>

namespace korvo::sim {

AppendFile::~AppendFile() {
    if (file) std::fclose(file);
}

bool AppendFile::Open(const char* path, std::string& error) {
    std::FILE* f = std::fopen(path, "ab");
    if (!f) {
        const char* reason = std::strerror(errno);
        error = std::string(path) + ": " + reason;
        return false;
    }
    if (file) std::fclose(file);
    file = f;
    return true;
}

void AppendFile::Append(const char* bytes, size_t length) {
    if (file) {
        std::fwrite(bytes, 1, length, file);
        std::fflush(file);
    }
    if (memory.size() > kMemoryLimit) memory.erase(0, memory.size() / 2);
    memory.append(bytes, length);
}

} // namespace korvo::sim
