// A file the simulator writes as it goes (paper roll, journal): opened for
// appending, so that runs add to what earlier ones wrote, each piece flushed
// at once, and everything also kept in memory for tests to read back.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace korvo::sim {

class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Appends to path from now on (memory alone before); false with a reason.
    bool Open(const char* path, std::string& error);

    void Append(const char* bytes, size_t length);

    // Everything appended since the start, bounded: the older half goes once
    // it passes kMemoryLimit.
    const std::string& Text() const { return memory; }

private:
    static constexpr size_t kMemoryLimit = 4u << 20;

    std::FILE* file = nullptr;
    std::string memory;
};

} // namespace korvo::sim
