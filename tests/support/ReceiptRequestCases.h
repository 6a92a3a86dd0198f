// Calls of the receipt and payment exports with the request line each must
// put on the wire. The unit tests read the lines from a scripted transport,
// the integration tests from the simulator's journal; the Windows tests make
// the same calls through korvocomm.dll.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ExportTable.h"

namespace korvo::test {

struct ReceiptRequestCase {
    const char* what;
    std::function<int(const ExportTable& exports, int handle)> send;
    std::string line; // the whole request line, LF included

    // The call through the exports linked into the program.
    int call(int handle) const;
};

const std::vector<ReceiptRequestCase>& ReceiptRequestCases();

// A text of n copies of c, for the length limits.
inline std::string Repeat(size_t n, char c = 'x') {
    return std::string(n, c);
}

} // namespace korvo::test
