#include "transport/CCOM_Link.h"

#include <cstring>

#include "korvocomm.h"
#include "platform/system_errors.h"

namespace korvo {

namespace {

int32_t OpenError(uint32_t error) {
    switch (error) {
    case os::kErrorFileNotFound:
    case os::kErrorPathNotFound:
        return APP_PORT_DO_NOT_EXIST;
    case os::kErrorTooManyOpenFiles:
    case os::kErrorAccessDenied:
    case os::kErrorSharingViolation:
    case os::kErrorLockViolation:
        return APP_PORT_IS_BUSY;
    case os::kErrorGenFailure:
        return APP_COM_OPEN_GENERAL_FAIL;
    default:
        return APP_CAN_NOT_OPEN_PORT;
    }
}

} // namespace

CCOM_Link::CCOM_Link(const char* name, uint32_t rate)
    : CBytePipeLayer(0), baudRate(rate != 0 ? rate : kDefaultBaudRate),
      portHandle(os::NoSerialHandle()) {
    std::memset(portName, 0, sizeof portName);
    if (name) {
        size_t n = 0;
        while (n < sizeof portName - 1 && name[n])
            ++n;
        std::memcpy(portName, name, n);
    }
}

CCOM_Link::~CCOM_Link() {
    Close();
}

int32_t CCOM_Link::Open() {
    // Opening again must not leave the first handle behind (it would also
    // hold the port against ourselves).
    Close();
    uint32_t error = os::SerialOpen(portName, portHandle);
    if (error != 0 || !os::IsSerialOpen(portHandle)) {
        portHandle = os::NoSerialHandle();
        return OpenError(error);
    }
    error = os::SerialSetLine(portHandle, baudRate);
    if (error != 0) {
        Close();
        return error == os::kErrorGenFailure ? APP_COM_STATE_GENERAL_FAIL : APP_PORT_CONFIG_ERROR;
    }
    error = os::SerialSetQueues(portHandle, kQueueSize, kQueueSize);
    if (error != 0) {
        Close();
        return error == os::kErrorGenFailure ? APP_COM_SETUP_GENERAL_FAIL : APP_PORT_CONFIG_ERROR;
    }
    // Reads never wait (Receive asks only for what is queued); a write may
    // take up to kWriteTimeout. A port that refuses time-outs still works.
    os::SerialTimeouts timeouts{};
    timeouts.readInterval = kReadIntervalTimeout;
    timeouts.writeTotalConstant = kWriteTimeout;
    os::SerialSetTimeouts(portHandle, timeouts);
    input.WatchSerial(portHandle);
    return 0;
}

int32_t CCOM_Link::Close() {
    input.Stop();
    os::SerialClose(portHandle);
    return 0;
}

int32_t CCOM_Link::Send(const uint8_t* data, uint32_t length) {
    uint32_t written = 0;
    uint32_t error = os::SerialWrite(portHandle, data, length, written);
    return error == 0 && written == length ? 0 : APP_CAN_NOT_SEND_DATA;
}

int32_t CCOM_Link::Receive(uint8_t* buffer, uint32_t capacity) {
    uint32_t queued = BytesAvailable();
    if (queued == 0) return 0;
    uint32_t want = capacity < queued ? capacity : queued;
    if (want > 0x7FFFFFFFu) want = 0x7FFFFFFFu;
    if (want == 0) return 0;
    uint32_t got = 0;
    if (os::SerialRead(portHandle, buffer, want, got) != 0) return APP_READING_DATA_ERROR;
    return static_cast<int32_t>(got);
}

uint32_t CCOM_Link::BytesAvailable() {
    uint32_t queued = 0;
    if (os::SerialQueued(portHandle, queued) != 0) return 0;
    return queued;
}

} // namespace korvo
