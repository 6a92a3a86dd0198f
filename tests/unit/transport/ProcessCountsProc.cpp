// Threads and descriptors of this process, from /proc.
#include <filesystem>

#include "LinkTestSupport.h"

namespace korvo::test {

namespace {
int Entries(const char* directory) {
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec), end;
    if (ec) return -1;
    int n = 0;
    for (; it != end; it.increment(ec))
        ++n;
    return n;
}
} // namespace

int ThreadCount() {
    return Entries("/proc/self/task");
}
int DescriptorCount() {
    return Entries("/proc/self/fd");
}

} // namespace korvo::test
