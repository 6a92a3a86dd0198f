// The frames of the RS-232 link: start byte 0xAA, then the body with every
// 0xAA doubled. Body: destination, source, control, [length L, L - 1 data
// bytes,] CRC low byte first. The primary station (this library) has address
// 0x01; the printer is a secondary station with an address of 2 to 255.
#pragma once

#include <cstdint>

namespace korvo {

constexpr uint8_t kFrameStart = 0xAA;
constexpr uint8_t kPrimaryAddress = 0x01;

// Control bytes; N(S) and N(R) are modulo-8 sequence numbers and the
// poll/final bit is always set.
constexpr uint8_t kCtrlI = 0x10;    // + N(S) * 2 + N(R) * 32
constexpr uint8_t kCtrlRR = 0x11;   // + N(R) * 32
constexpr uint8_t kCtrlRNR = 0x15;  // + N(R) * 32
constexpr uint8_t kCtrlSNRM = 0x93; // set the link up
constexpr uint8_t kCtrlDISC = 0x53; // take the link down
constexpr uint8_t kCtrlUA = 0x73;   // the secondary confirms SNRM or DISC
constexpr uint8_t kCtrlFRMR = 0x97; // the secondary rejected a frame

constexpr uint32_t kFrameHead = 5; // an S or U frame body; the head of an I frame
constexpr uint32_t kFrameBodyMax = 256;
constexpr uint32_t kFrameDataMax = 250;
constexpr uint32_t kFrameWireMax = 1 + 2 * kFrameBodyMax;

constexpr bool IsInformationControl(uint8_t control) {
    return (control & 0x11) == 0x10;
}
constexpr bool IsSupervisoryControl(uint8_t control) {
    return (control & 0x1B) == 0x11;
}
constexpr uint8_t InformationControl(uint8_t ns, uint8_t nr) {
    return static_cast<uint8_t>(kCtrlI | ((ns & 7) << 1) | ((nr & 7) << 5));
}
constexpr uint8_t SupervisoryControl(uint8_t base, uint8_t nr) {
    return static_cast<uint8_t>(base | ((nr & 7) << 5));
}
constexpr uint8_t ReceiveSequence(uint8_t control) {
    return static_cast<uint8_t>(control >> 5);
}
constexpr uint8_t SendSequence(uint8_t control) {
    return static_cast<uint8_t>((control >> 1) & 7);
}
// The sequence number after n and the one before it, modulo 8.
constexpr uint8_t NextSequence(uint8_t n) {
    return static_cast<uint8_t>((n + 1) & 7);
}
constexpr uint8_t PreviousSequence(uint8_t n) {
    return static_cast<uint8_t>((n + 7) & 7);
}

} // namespace korvo
