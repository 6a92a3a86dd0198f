#include "sim/faults/Outgoing.h"

#include <cstring>

namespace korvo::sim {

bool Outgoing::Start(const char* data, size_t size, uint32_t when) {
    if (size > kCapacity) return false;
    std::memcpy(bytes, data, size);
    length = size;
    sent = 0;
    chunk = 0;
    gapMs = 0;
    due = when;
    closeAt = kNoClose;
    active = true;
    return true;
}

void Outgoing::SetChunks(size_t size, uint32_t gap) {
    chunk = size;
    gapMs = gap;
}

void Outgoing::SetCloseAt(size_t offset) {
    closeAt = offset < length ? offset : length;
}

int32_t Outgoing::WaitMs(uint32_t now) const {
    if (!active || sent >= Limit()) return -1;
    int32_t wait = static_cast<int32_t>(due - now);
    return wait > 0 ? wait : 0;
}

const uint8_t* Outgoing::Piece(uint32_t now, size_t& size) const {
    if (WaitMs(now) != 0) return nullptr;
    size_t end = Limit();
    if (chunk) {
        size_t chunkEnd = (sent / chunk + 1) * chunk;
        if (chunkEnd < end) end = chunkEnd;
    }
    size = end - sent;
    return reinterpret_cast<const uint8_t*>(bytes + sent);
}

void Outgoing::Sent(size_t count, uint32_t now) {
    sent += count;
    // A finished chunk waits out the gap; the rest of a cut-short write goes at once.
    if (chunk && sent % chunk == 0) due = now + gapMs;
}

} // namespace korvo::sim
