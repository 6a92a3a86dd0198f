#include "transport/HostAddress.h"

#include <cstring>

#include "platform/socket.h"

namespace korvo {

namespace {

constexpr char kSchemePrefix[] = "TCP://";

bool StartsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        char a = *text, b = *prefix;
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A letter first, a letter or digit last, and letters, digits, '-', '.' and
// '_' between them.
bool IsWellFormedName(const char* name) {
    size_t n = std::strlen(name);
    if (n == 0 || !IsLetter(name[0])) return false;
    char last = name[n - 1];
    if (!IsLetter(last) && !IsDigit(last)) return false;
    for (size_t i = 1; i + 1 < n; ++i) {
        char c = name[i];
        if (!IsLetter(c) && !IsDigit(c) && c != '-' && c != '.' && c != '_') return false;
    }
    return true;
}

} // namespace

int32_t ParsePort(char* text) {
    if (!text || !*text) return -1;
    char* colon = std::strrchr(text, ':');
    if (!colon) return kDefaultTcpPort;
    *colon = '\0';
    const char* digits = colon + 1;
    size_t n = std::strlen(digits);
    if (n == 0 || n > 5) return -1;
    int32_t value = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!IsDigit(digits[i])) return -1;
        value = value * 10 + (digits[i] - '0');
    }
    return value >= 1 && value <= 65535 ? value : -1;
}

bool ParseHostAddress(const char* input, char* output, uint32_t capacity, int32_t& port) {
    port = 0;
    if (!input || !output) return false;
    if (StartsWithNoCase(input, kSchemePrefix)) input += sizeof kSchemePrefix - 1;
    size_t n = std::strlen(input);
    if (n < 1 || n >= capacity) return false;
    std::memcpy(output, input, n + 1);

    uint16_t parsedPort = 0;
    if (os::ParseIPv4WithPort(output, parsedPort)) {
        char* colon = std::strrchr(output, ':');
        if (parsedPort != 0 && colon) {
            *colon = '\0';
            port = parsedPort;
            return true;
        }
        // An explicit port 0 names no port that could be connected; keeping
        // ":0" in the host text would only fail later, as an unknown host.
        if (colon) return false;
        port = kDefaultTcpPort;
        return true;
    }

    if (os::IsNumericHost(output)) {
        char* close = std::strrchr(output, ']');
        if (output[0] == '[' && close) {
            port = close[1] == ':' ? ParsePort(output) : kDefaultTcpPort;
            *std::strrchr(output, ']') = '\0';
            std::memmove(output, output + 1, std::strlen(output));
            return port > 0;
        }
        port = kDefaultTcpPort;
        return true;
    }

    port = ParsePort(output);
    if (port < 1) return false;
    if (IsWellFormedName(output)) return true;
    port = 0;
    return false;
}

} // namespace korvo
