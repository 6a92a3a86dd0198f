#include "trace/TraceLine.h"

#include <cstring>

namespace korvo {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

void TraceLine::Text(const char* text) {
    Append(text, std::strlen(text));
}

void TraceLine::Append(const char* bytes, size_t length, size_t reserve) {
    size_t room = kCapacity - used > reserve ? kCapacity - used - reserve : 0;
    size_t n = length < room ? length : room;
    std::memcpy(data + used, bytes, n);
    used += n;
}

void TraceLine::Char(char c) {
    if (Fits(1)) data[used++] = c;
}

void TraceLine::Decimal(int64_t value) {
    char digits[24];
    int n = 0;
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[n++] = kDigits[magnitude % 10];
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[n++] = '-';
    if (!Fits(static_cast<size_t>(n))) return;
    while (n > 0)
        data[used++] = digits[--n];
}

void TraceLine::Padded(int64_t value, int width) {
    int64_t limit = 1;
    for (int i = 1; i < width; ++i) {
        limit *= 10;
        if (value < limit) Char('0');
    }
    Decimal(value);
}

void TraceLine::Hex(const uint8_t* bytes, size_t length) {
    for (size_t i = 0; i < length && Fits(3); ++i) {
        if (i) data[used++] = ' ';
        data[used++] = kDigits[bytes[i] >> 4];
        data[used++] = kDigits[bytes[i] & 15];
    }
}

void TraceLine::Escaped(const uint8_t* bytes, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        uint8_t c = bytes[i];
        char named = c == '\t'   ? 't'
                     : c == '\n' ? 'n'
                     : c == '\r' ? 'r'
                     : c == 0    ? '0'
                     : c == '\\' ? '\\'
                                 : 0;
        if (named) {
            if (!Fits(2)) return;
            data[used++] = '\\';
            data[used++] = named;
        } else if (c < 0x20 || c >= 0x7F) {
            if (!Fits(4)) return;
            data[used++] = '\\';
            data[used++] = 'x';
            data[used++] = kDigits[c >> 4];
            data[used++] = kDigits[c & 15];
        } else {
            if (!Fits(1)) return;
            data[used++] = static_cast<char>(c);
        }
    }
}

bool TraceLine::SameAs(const TraceLine& other) const {
    return used == other.used && std::memcmp(data, other.data, used) == 0;
}

bool UnescapeTraceText(const char* text, size_t length, char* out, size_t capacity,
                       size_t& written) {
    written = 0;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '\\') {
            if (++i >= length) return false;
            switch (text[i]) {
            case 't':
                c = '\t';
                break;
            case 'n':
                c = '\n';
                break;
            case 'r':
                c = '\r';
                break;
            case '0':
                c = '\0';
                break;
            case '\\':
                c = '\\';
                break;
            case 'x': {
                if (i + 2 >= length) return false;
                int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
                if (high < 0 || low < 0) return false;
                c = static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return false;
            }
        }
        if (written >= capacity) return false;
        out[written++] = c;
    }
    return true;
}

} // namespace korvo
