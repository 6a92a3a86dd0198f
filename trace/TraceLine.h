// One line of the wire trace, built in a fixed buffer: text, numbers, bytes
// in hex and bytes escaped the way the trace writes them. What does not fit
// is cut off; a line never grows beyond its buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvo {

class TraceLine {
public:
    // Room for a whole request line with every byte escaped.
    static constexpr size_t kCapacity = 12288;

    void Clear() { used = 0; }
    void Text(const char* text);
    void Char(char c);
    // Bytes as they are, keeping `reserve` bytes of room free.
    void Append(const char* bytes, size_t length, size_t reserve = 0);
    void Decimal(int64_t value);
    // Two digits, with leading zeros to width.
    void Padded(int64_t value, int width);
    // "AA 01 02 ..." for the bytes, space-separated.
    void Hex(const uint8_t* bytes, size_t length);
    // Bytes as printable text: \t \n \r \0 \\ and \xHH for every other byte
    // below 0x20, 0x7F and from 0x80 on (the printer's text is Windows-1250,
    // which would not read as text here). A cut never splits an escape.
    void Escaped(const uint8_t* bytes, size_t length);

    const char* Data() const { return data; }
    size_t Length() const { return used; }
    bool SameAs(const TraceLine& other) const;

private:
    bool Fits(size_t n) const { return used + n <= kCapacity; }

    char data[kCapacity];
    size_t used = 0;
};

// Reverses TraceLine::Escaped: writes at most capacity bytes to out and
// their number to written. False for a malformed escape or a text that does
// not fit.
bool UnescapeTraceText(const char* text, size_t length, char* out, size_t capacity,
                       size_t& written);

} // namespace korvo
