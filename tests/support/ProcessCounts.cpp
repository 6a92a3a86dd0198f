// Counted from /proc; where that does not describe this process (Windows
// builds under Wine) the counts are unknown (-1) and the checks skip them.
#include "ProcessCounts.h"

#include <filesystem>

namespace korvo::test {

namespace {
int Entries(const char* directory) {
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec), end;
    if (ec) return -1;
    int n = 0;
    for (; it != end; it.increment(ec)) ++n;
    return ec ? -1 : n;
}
} // namespace

int ThreadCount() { return Entries("/proc/self/task"); }
int DescriptorCount() { return Entries("/proc/self/fd"); }

} // namespace korvo::test
