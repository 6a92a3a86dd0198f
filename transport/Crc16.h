// The checksum of the RS-232 link frames: CRC-16 with polynomial 0x1021,
// initial value 0, neither input nor output reflected, no final XOR.
#pragma once

#include <array>
#include <cstdint>

namespace korvo {

namespace detail {
constexpr std::array<uint16_t, 256> MakeCrc16Table() {
    std::array<uint16_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
        table[i] = static_cast<uint16_t>(crc);
    }
    return table;
}
} // namespace detail

// The 256-entry table, most significant bit first; built by the compiler.
inline constexpr std::array<uint16_t, 256> kCrc16Table = detail::MakeCrc16Table();

uint16_t Crc16(const uint8_t* bytes, uint32_t length);

} // namespace korvo
