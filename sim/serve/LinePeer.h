// One connection of a line front end: an accepted TCP peer, or whoever has
// a USB pseudo-terminal open.
#pragma once

#include <cstdint>

#include "platform/stream.h"
#include "sim/faults/Chaos.h"
#include "sim/faults/Outgoing.h"
#include "sim/serve/LineAssembler.h"

namespace korvo::sim {

struct LinePeer {
    int stream = os::kNoStream;
    uint32_t id = 0;
    bool closed = false;
    bool writeBlocked = false;
    LineAssembler input;
    Outgoing output;
    Chaos chaos;

    void Reset() {
        input.Reset();
        output.Clear();
        writeBlocked = false;
    }
};

} // namespace korvo::sim
