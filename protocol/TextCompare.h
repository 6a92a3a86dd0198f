// ASCII-only text comparison, independent of the C locale.
#pragma once

namespace korvo {

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whole-string comparison without regard to ASCII letter case.
inline bool EqualsIgnoreCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (AsciiLower(*a) != AsciiLower(*b)) return false;
        if (!*a) return true;
    }
}

// True when text begins with prefix, ASCII letter case ignored.
inline bool StartsWithIgnoreCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (AsciiLower(*text) != AsciiLower(*prefix)) return false;
    return true;
}

} // namespace korvo
