#include "protocol/errors/Cp1250.h"

#include <cstdint>
#include <cstdio>

namespace korvo {
namespace {

// The character of each byte 0x80 to 0xFF; 0 where the code page has none.
const uint16_t kUpperHalf[128] = {
    0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021, // 80
    0,      0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, // 88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0,      0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, // F8
};

// The byte for a character above ASCII, or 0 when there is none.
unsigned char ByteFor(uint32_t character) {
    for (int i = 0; i < 128; ++i)
        if (kUpperHalf[i] == character) return static_cast<unsigned char>(0x80 + i);
    return 0;
}

std::string Describe(const char* what, size_t offset, uint32_t character = 0) {
    char text[96];
    if (character != 0)
        std::snprintf(text, sizeof text, "%s U+%04X at byte %zu", what,
                      static_cast<unsigned>(character), offset);
    else
        std::snprintf(text, sizeof text, "%s at byte %zu", what, offset);
    return text;
}

} // namespace

bool Utf8ToCp1250(const std::string& utf8, std::string& out, std::string& error) {
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        // Sequence length and the smallest character it may carry, so that
        // overlong forms are refused.
        size_t length;
        uint32_t character;
        uint32_t smallest;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, character = lead & 0x1Fu, smallest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, character = lead & 0x0Fu, smallest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, character = lead & 0x07u, smallest = 0x10000;
        } else {
            error = Describe("malformed UTF-8", i);
            return false;
        }
        if (utf8.size() - i < length) {
            error = Describe("truncated UTF-8 sequence", i);
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0u) != 0x80u) {
                error = Describe("malformed UTF-8", i);
                return false;
            }
            character = (character << 6) | (next & 0x3Fu);
        }
        if (character < smallest || character > 0x10FFFF ||
            (character >= 0xD800 && character <= 0xDFFF)) {
            error = Describe("malformed UTF-8", i);
            return false;
        }
        const unsigned char byte = ByteFor(character);
        if (byte == 0) {
            error = Describe("no Windows-1250 byte for", i, character);
            return false;
        }
        out += static_cast<char>(byte);
        i += length;
    }
    return true;
}

bool Cp1250ToUtf8(const std::string& cp1250, std::string& out) {
    for (char c : cp1250) {
        const unsigned char byte = static_cast<unsigned char>(c);
        const uint32_t character = byte < 0x80 ? byte : kUpperHalf[byte - 0x80];
        if (byte >= 0x80 && character == 0) return false;
        if (character < 0x80) {
            out += static_cast<char>(character);
        } else if (character < 0x800) {
            out += static_cast<char>(0xC0 | (character >> 6));
            out += static_cast<char>(0x80 | (character & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (character >> 12));
            out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (character & 0x3F));
        }
    }
    return true;
}

} // namespace korvo
