#include "sim/faults/FaultDelivery.h"

#include <cstring>

namespace korvo::sim {

void PlanDelivery(const Reply& reply, const FaultAction& fault, uint32_t due, Outgoing& out) {
    char bytes[Outgoing::kCapacity];
    size_t length = reply.length;
    std::memcpy(bytes, reply.text, length);

    switch (fault.kind) {
    case FaultKind::Delay:
        due += static_cast<uint32_t>(fault.value);
        break;
    case FaultKind::Malformed: {
        // "NAME\tRSP\tX0": the result code is no number any more.
        const char* marker = std::strstr(bytes, "\tRSP\t");
        if (marker) {
            size_t at = static_cast<size_t>(marker - bytes) + 5;
            std::memmove(bytes + at + 1, bytes + at, length - at);
            bytes[at] = 'X';
            ++length;
        }
        break;
    }
    case FaultKind::Raw:
        std::memcpy(bytes, fault.text, fault.textLength);
        length = fault.textLength;
        break;
    case FaultKind::Double:
        std::memcpy(bytes + length, reply.text, reply.length);
        length += reply.length;
        break;
    case FaultKind::Nul: {
        size_t at = length / 2;
        std::memmove(bytes + at + 1, bytes + at, length - at);
        bytes[at] = 0;
        ++length;
        break;
    }
    case FaultKind::Lose:
        length = 0;
        break;
    case FaultKind::Corrupt:
        if (length) {
            size_t at = fault.value < 0 || static_cast<size_t>(fault.value) >= length
                            ? length / 2
                            : static_cast<size_t>(fault.value);
            bytes[at] = static_cast<char>(bytes[at] ^ 0x80);
        }
        break;
    default:
        break;
    }

    out.Start(bytes, length, due);
    if (fault.kind == FaultKind::Chunks)
        out.SetChunks(static_cast<size_t>(fault.value), fault.gapMs);
    if (fault.kind == FaultKind::Drop) {
        out.SetCloseAt(fault.value < 0 ? length / 2 : static_cast<size_t>(fault.value));
    } else if (reply.dropAfter) {
        out.SetCloseAt(length);
    }
}

} // namespace korvo::sim
