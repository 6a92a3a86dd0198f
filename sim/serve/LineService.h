// What the line front ends (TCP, USB) need of the simulator: connection
// numbers, the printer behind the lines, and the journal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvo::sim {

struct LinePeer;

class LineService {
public:
    virtual ~LineService() = default;

    // The simulator's clock for answers.
    virtual uint32_t Now() const = 0;
    // Gives peer a new connection number and its random faults.
    virtual void NewConnection(LinePeer& peer) = 0;
    // Takes the next whole line of peer's input to the printer and queues its
    // answer; false when no line is waiting.
    virtual bool HandleNextLine(LinePeer& peer, uint32_t now) = 0;
    // A note in the journal.
    virtual void Note(uint32_t connection, const char* text) = 0;
    // The device behind an endpoint's path changed (a USB printer restarted).
    virtual void DeviceChanged(size_t endpoint, const std::string& device) = 0;
};

} // namespace korvo::sim
