#include "sim/serve/LineAssembler.h"

#include <cstring>

namespace korvo::sim {

void LineAssembler::Compact() {
    if (start == 0) return;
    std::memmove(buffer, buffer + start, end - start);
    end -= start;
    start = 0;
}

uint8_t* LineAssembler::Space() {
    Compact();
    return reinterpret_cast<uint8_t*>(buffer + end);
}

size_t LineAssembler::SpaceSize() const {
    return kCapacity - (end - start);
}

void LineAssembler::Commit(size_t count) {
    end += count;
}

void LineAssembler::Reset() {
    start = end = scanned = 0;
    discarding = false;
}

LineAssembler::Event LineAssembler::Next(char*& line, size_t& length) {
    for (;;) {
        const char* from = buffer + start + scanned;
        const void* lf = std::memchr(from, '\n', end - start - scanned);
        if (discarding) {
            if (!lf) {
                start = end = scanned = 0;
                return Event::None;
            }
            start = static_cast<size_t>(static_cast<const char*>(lf) - buffer) + 1;
            scanned = 0;
            discarding = false;
            continue;
        }
        if (!lf) {
            scanned = end - start;
            if (scanned <= kLineLimit) return Event::None;
            // No LF within the limit: report it and drop the rest of the line.
            length = kHeadSize;
            std::memcpy(head, buffer + start, length);
            line = head;
            discarding = true;
            start = end;
            scanned = 0;
            return Event::TooLong;
        }
        size_t at = static_cast<size_t>(static_cast<const char*>(lf) - buffer);
        size_t size = at - start;
        char* begin = buffer + start;
        start = at + 1;
        scanned = 0;
        if (size > kLineLimit) {
            length = kHeadSize;
            std::memcpy(head, begin, length);
            line = head;
            return Event::TooLong;
        }
        line = begin;
        length = size;
        return Event::Line;
    }
}

} // namespace korvo::sim
