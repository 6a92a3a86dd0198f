// Cuts the bytes a front end receives into request lines. A line longer than
// the printer takes is reported once, with its first bytes, and the rest of
// it up to its LF is thrown away, so no input can fill the buffer for good.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvo::sim {

class LineAssembler {
public:
    // A request line without its LF has at most 2499 bytes.
    static constexpr size_t kLineLimit = 2499;
    static constexpr size_t kHeadSize = 64;

    enum class Event { None, Line, TooLong };

    // Where the next received bytes go, and how many fit.
    uint8_t* Space();
    size_t SpaceSize() const;
    void Commit(size_t count);

    // The next event. For Line, line/length is the line without its LF
    // (line[length] is writable); for TooLong, the line's first bytes.
    // Both stay valid until the next call.
    Event Next(char*& line, size_t& length);

    bool Empty() const { return start == end && !discarding; }
    void Reset();

private:
    static constexpr size_t kCapacity = 8192;
    void Compact();

    char buffer[kCapacity + 1];
    size_t start = 0;
    size_t end = 0;
    size_t scanned = 0; // bytes from start already known to hold no LF
    bool discarding = false;
    char head[kHeadSize];
};

} // namespace korvo::sim
