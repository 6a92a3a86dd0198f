#include "transport/CBytePipeLayer.h"

namespace korvo {

namespace {
constexpr uint32_t kPurgePiece = 1024;
} // namespace

void CBytePipeLayer::PurgeReceive() {
    uint8_t scratch[kPurgePiece];
    while (Receive(scratch, sizeof scratch) > 0) {
    }
}

bool CBytePipeLayer::SetTransferTime(uint32_t milliseconds) {
    transferTime = milliseconds;
    return true;
}

} // namespace korvo
