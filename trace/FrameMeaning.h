// What a frame of the RS-232 link says, in the words of the link protocol,
// for the wire trace: SNRM, UA, DISC, DM, FRMR, I(ns,nr) with its data,
// RR(nr), RNR(nr), REJ(nr).
#pragma once

#include <cstddef>
#include <cstdint>

#include "trace/TraceLine.h"

namespace korvo {

// body: destination, source, control, [length L, L - 1 data bytes,] CRC,
// without the start byte and the doubling; length its size.
void AppendFrameMeaning(TraceLine& line, const uint8_t* body, size_t length);

// The bytes of body as they go on the wire: the start byte, then every
// 0xAA doubled.
void AppendFrameWire(TraceLine& line, const uint8_t* body, size_t length);

} // namespace korvo
