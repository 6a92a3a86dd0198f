#include "transport/Crc16.h"

namespace korvo {

uint16_t Crc16(const uint8_t* bytes, uint32_t length) {
    uint16_t crc = 0;
    for (uint32_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ kCrc16Table[((crc >> 8) ^ bytes[i]) & 0xFF]);
    return crc;
}

} // namespace korvo
