// Turns the printer's answer into what goes on the wire under a fault.
#pragma once

#include <cstdint>

#include "sim/faults/FaultPlan.h"
#include "sim/faults/Outgoing.h"
#include "sim/model/Reply.h"

namespace korvo::sim {

// Queues reply on out from tick due on, as fault bends it. A reply that
// ends the connection (a restarting printer) closes it after the line.
void PlanDelivery(const Reply& reply, const FaultAction& fault, uint32_t due, Outgoing& out);

} // namespace korvo::sim
