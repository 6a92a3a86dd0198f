// One answer on its way to a front end's peer: its bytes, from when they may
// go, in what pieces, and whether the connection ends after them or part way
// through.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/model/Reply.h"

namespace korvo::sim {

class Outgoing {
public:
    // Room for two response lines sent as one chunk.
    static constexpr size_t kCapacity = 2 * Reply::kCapacity + 16;

    bool Active() const { return active; }
    void Clear() { active = false; }

    // Queues bytes that may go from tick due on; false if they do not fit.
    bool Start(const char* bytes, size_t length, uint32_t due);
    // Sends them in pieces of chunk bytes, gapMs apart.
    void SetChunks(size_t chunk, uint32_t gapMs);
    // Ends the connection once offset bytes (at most all) have gone.
    void SetCloseAt(size_t offset);

    // Milliseconds until the next piece may go (0: now), or -1 when nothing waits.
    int32_t WaitMs(uint32_t now) const;
    // The bytes that may be written now, or nullptr.
    const uint8_t* Piece(uint32_t now, size_t& size) const;
    void Sent(size_t count, uint32_t now);

    // The bytes that will go in all (up to a closing point).
    const char* Planned(size_t& size) const {
        size = Limit();
        return bytes;
    }

    // Everything due has gone; ShouldClose tells whether the connection ends now.
    bool Finished() const { return active && sent >= Limit(); }
    bool ShouldClose() const { return Finished() && closeAt != kNoClose; }
    bool ClosesConnection() const { return active && closeAt != kNoClose; }

private:
    static constexpr size_t kNoClose = static_cast<size_t>(-1);
    size_t Limit() const { return closeAt == kNoClose ? length : closeAt; }

    char bytes[kCapacity];
    size_t length = 0;
    size_t sent = 0;
    size_t chunk = 0;
    uint32_t gapMs = 0;
    uint32_t due = 0;
    size_t closeAt = kNoClose;
    bool active = false;
};

} // namespace korvo::sim
