#include "platform/socket.h"

#include <cstring>

namespace korvo::os {

bool IsNumericHost(const char* text) {
    if (!text) return false;
    if (text[0] != '[') return SystemIsNumericHost(text, false);

    // "[v6]" or "[v6]:port". Resolvers disagree about the bracketed form (some
    // refuse it, some ignore what follows the bracket), so it is read here,
    // the same way on every system.
    const char* close = std::strchr(text, ']');
    if (!close) return false;
    size_t innerLength = static_cast<size_t>(close - text - 1);
    char inner[80];
    if (innerLength == 0 || innerLength >= sizeof inner) return false;
    std::memcpy(inner, text + 1, innerLength);
    inner[innerLength] = '\0';

    const char* rest = close + 1;
    if (*rest != '\0') {
        if (*rest++ != ':') return false;
        size_t digits = 0;
        uint32_t value = 0;
        for (; rest[digits] != '\0'; ++digits) {
            char c = rest[digits];
            if (c < '0' || c > '9' || digits >= 5) return false;
            value = value * 10 + static_cast<uint32_t>(c - '0');
        }
        if (digits == 0 || value > 65535) return false;
    }
    return SystemIsNumericHost(inner, true);
}

} // namespace korvo::os
