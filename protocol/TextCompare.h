// ASCII-only text comparison, independent of the C locale.
#pragma once

#include <cstddef>

namespace korvo {

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whole-string comparison without regard to ASCII letter case.
inline bool EqualsIgnoreCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (AsciiLower(*a) != AsciiLower(*b)) return false;
        if (!*a) return true;
    }
}

// The first n characters of a and b are equal without regard to ASCII letter case.
inline bool EqualsIgnoreCaseN(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// True when text begins with prefix, ASCII letter case ignored.
inline bool StartsWithIgnoreCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (AsciiLower(*text) != AsciiLower(*prefix)) return false;
    return true;
}

} // namespace korvo
