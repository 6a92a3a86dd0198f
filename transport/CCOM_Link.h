// A COM port used as a plain byte pipe: what Send gets is written to the port
// unchanged, and Receive hands over the bytes in the driver's input queue.
// It serves USB connections (the printer shows up as a virtual COM port) and
// is the physical layer under the RS-232 link.
#pragma once

#include <cstdint>

#include "platform/serial.h"
#include "platform/wait.h"
#include "transport/CBytePipeLayer.h"

namespace korvo {

class CCOM_Link : public CBytePipeLayer {
public:
    static constexpr uint32_t kDefaultBaudRate = 38400;
    static constexpr uint32_t kQueueSize = 2500;
    static constexpr uint32_t kReadIntervalTimeout = 5000;
    static constexpr uint32_t kWriteTimeout = 5000;

    // portName: "COM3" and the like, cut to os::kSerialPortNameSize bytes
    // with its NUL; none is the empty name. A baudRate of 0 means 38400.
    CCOM_Link(const char* portName, uint32_t baudRate);
    ~CCOM_Link() override;

    CCOM_Link(const CCOM_Link&) = delete;
    CCOM_Link& operator=(const CCOM_Link&) = delete;

    // Opens the port exclusively and sets 8N1 at the link's speed, no flow
    // control, DTR and RTS inactive, 2500-byte queues and a 5000 ms write
    // time limit. 0 or a code from -621 to -629; a failed Open holds nothing.
    int32_t Open() override;
    int32_t Close() override;
    // Writes all bytes; -625 when the write fails or runs out of time.
    int32_t Send(const uint8_t* data, uint32_t length) override;
    // Reads no more than the driver already holds, so it never waits.
    int32_t Receive(uint8_t* buffer, uint32_t capacity) override;
    // Bytes in the driver's input queue; 0 when the port cannot tell (for
    // example a USB device that has been unplugged).
    uint32_t BytesAvailable() override;

    const char* PortName() const { return portName; }
    uint32_t BaudRate() const { return baudRate; }
    bool IsOpen() const { return os::IsSerialOpen(portHandle); }
    // Ready while the port has bytes to read, where the system can tell.
    const Waitable* Input() const { return &input; }

private:
    char portName[os::kSerialPortNameSize];
    uint32_t baudRate;
    os::SerialHandle portHandle;
    InputWatch input;
};

} // namespace korvo
