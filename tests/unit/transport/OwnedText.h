// A heap copy of a text, the form in which a host text is handed to the TCP
// transport.
#pragma once

#include <cstring>
#include <memory>

namespace korvo::test {

inline std::unique_ptr<char[]> OwnedText(const char* s) {
    std::unique_ptr<char[]> p(new char[std::strlen(s) + 1]);
    std::memcpy(p.get(), s, std::strlen(s) + 1);
    return p;
}

} // namespace korvo::test
