// The RS-232 front end's way to the printer model: each whole request line
// the station receives is answered by the simulator under its lock, and
// journalled like the lines of the other front ends.
#pragma once

#include <cstdint>
#include <string>

#include "sim/model/Reply.h"
#include "sim/station/SecondaryStation.h"

namespace korvo::sim {

class Simulator;

class ModelStation : public StationHandler {
public:
    explicit ModelStation(Simulator& simulator);
    std::string Execute(const std::string& request) override;

private:
    Simulator& simulator;
    uint32_t connection;
    char line[Reply::kCapacity + 1];
    Reply reply;
};

} // namespace korvo::sim
