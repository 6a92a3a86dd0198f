// Calls of the receipt and payment exports with the request line each must
// put on the wire. The unit tests read the lines from a scripted transport,
// the integration tests from the simulator's journal.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korvo::test {

struct ReceiptRequestCase {
    const char* what;
    std::function<int(int handle)> call;
    std::string line; // the whole request line, LF included
};

const std::vector<ReceiptRequestCase>& ReceiptRequestCases();

// A text of n copies of c, for the length limits.
inline std::string Repeat(size_t n, char c = 'x') {
    return std::string(n, c);
}

} // namespace korvo::test
