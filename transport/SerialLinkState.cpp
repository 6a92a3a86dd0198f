#include "transport/SerialLinkState.h"

#include <cstring>
#include <mutex>
#include <utility>

namespace korvo {

SerialLinkState::SerialLinkState(const char* name, int32_t baud, uint8_t deviceAddress,
                                 LinkFactory linkFactory)
    : baudRate(baud), factory(std::move(linkFactory)), frames(deviceAddress, baud) {
    std::memset(portName, 0, sizeof portName);
    if (name) std::strncpy(portName, name, kPortNameSize - 1);
    std::memset(txBuffer, 0, sizeof txBuffer);
    std::memset(rxBuffer, 0, sizeof rxBuffer);
}

void SerialLinkState::ClearTransmit() {
    std::lock_guard<SpinLock> guard(txLock);
    txAcked.store(0);
    txPendingEnd.store(0);
    txLength.store(0);
    std::memset(txBuffer, 0, sizeof txBuffer);
}

} // namespace korvo
