// How the journal writes bytes: control bytes escaped (\t, \n, \r, \0, \\,
// \xHH), everything else as it is. Header only, so that tests built without
// the simulator (the Windows ones) read the journal the same way.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace korvo::sim {

// Appends bytes to out with control bytes escaped as the journal writes them.
inline void AppendEscaped(std::string& out, const char* bytes, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case 0:
            out += "\\0";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
}

} // namespace korvo::sim
