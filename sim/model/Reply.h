// One response line of the printer, as the model produced it, and what the
// front end must do around it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvo::sim {

struct Reply {
    // A response line, LF included, never exceeds the client's 2500 bytes.
    static constexpr size_t kCapacity = 2500;

    char text[kCapacity + 1];
    size_t length;
    int32_t code;
    bool dropAfter;  // the printer restarts: close the connection after the line
    uint32_t workMs; // how long the printer takes over it at normal speed
};

} // namespace korvo::sim
