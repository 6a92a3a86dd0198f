// Non-blocking byte streams of the simulator's front ends (accepted sockets,
// pseudo-terminal masters), identified by the system's handle number.
// POSIX only: the simulator is not built for Windows.
#pragma once

#include <cstdint>

namespace korvo::os {

constexpr int kNoStream = -1;

// Bytes read (> 0), 0 when nothing is there now, -1 when the peer has gone
// (end of stream, hang-up, reset) or the handle failed.
int32_t StreamRead(int stream, uint8_t* buffer, uint32_t capacity);

// Bytes written (>= 0; 0 when the stream cannot take more now), or -1 when
// the peer has gone. Never raises SIGPIPE.
int32_t StreamWrite(int stream, const uint8_t* data, uint32_t length);

void StreamClose(int stream);

} // namespace korvo::os
