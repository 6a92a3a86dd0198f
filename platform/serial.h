// Serial ports, the way the Windows communications API offers them, on both
// systems. Every call returns 0 or a Windows system error number (2 not found,
// 5 access denied, 31 general failure, 32 sharing violation, ...; see
// system_errors.h).
//
// Ports are named the Windows way: COMn. On Windows the device opened is
// "\\.\COMn". On POSIX, COMn (any letter case, n from 1 to 256) opens
// $KORVOCOMM_PORTS/comn when KORVOCOMM_PORTS names a directory (links to
// /dev/ttyUSB0, a pseudo-terminal, ...), else /dev/ttyS<n-1>; other names
// name no port.
#pragma once

#include <cstdint>

namespace korvo::os {

// Room for a port name with its NUL: with the "\\.\" that Windows puts
// before it, the device path fits 200 bytes.
constexpr uint32_t kSerialPortNameSize = 196;

// An open port; nullptr and the value -1 (INVALID_HANDLE_VALUE) mean none.
using SerialHandle = void*;
inline SerialHandle NoSerialHandle() {
    return nullptr;
}
inline bool IsSerialOpen(SerialHandle h) {
    return h != nullptr && h != reinterpret_cast<SerialHandle>(static_cast<intptr_t>(-1));
}

// The path the system opens for portName (the naming above). False when it
// does not fit capacity or names no port this system can have.
bool SerialSystemPath(const char* portName, char* out, uint32_t capacity);

// Opens the port for reading and writing, exclusively: while it is open every
// other opener gets 32 (sharing violation) or 5 (access denied), on POSIX even
// a process running as root. On failure handle is none.
uint32_t SerialOpen(const char* portName, SerialHandle& handle);

// Line settings: the speed in baud, 8 data bits, no parity, one stop bit, no
// flow control of any kind, DTR and RTS held inactive, binary (raw) data.
// On POSIX a speed without a termios constant is set through termios2, and
// the modem lines are held inactive where the device supports it (a
// pseudo-terminal has none).
uint32_t SerialSetLine(SerialHandle handle, uint32_t baudRate);

// Sizes of the driver's input and output queues (SetupComm). The POSIX
// drivers have fixed queues; there the call only checks the handle.
uint32_t SerialSetQueues(SerialHandle handle, uint32_t inputBytes, uint32_t outputBytes);

// Time limits of reads and writes (COMMTIMEOUTS), in milliseconds.
struct SerialTimeouts {
    uint32_t readInterval;
    uint32_t readTotalMultiplier;
    uint32_t readTotalConstant;
    uint32_t writeTotalMultiplier;
    uint32_t writeTotalConstant;
};
uint32_t SerialSetTimeouts(SerialHandle handle, const SerialTimeouts& timeouts);

// Bytes waiting in the driver's input queue (ClearCommError, which also clears
// the port's error state).
uint32_t SerialQueued(SerialHandle handle, uint32_t& bytes);

// Reads up to length bytes. Asked for no more than SerialQueued reported, it
// returns at once on both systems. On POSIX it never waits: with nothing
// queued it reads 0 bytes.
uint32_t SerialRead(SerialHandle handle, void* buffer, uint32_t length, uint32_t& bytesRead);

// Writes length bytes, waiting at most as long as the write time limits
// allow. A write that runs out of time succeeds with fewer bytes written.
uint32_t SerialWrite(SerialHandle handle, const void* data, uint32_t length,
                     uint32_t& bytesWritten);

// Closes the port; handle becomes none. Nothing happens when it is none.
void SerialClose(SerialHandle& handle);

// What a wait can watch for the port's incoming bytes: its descriptor on
// POSIX; -1 on Windows, where a port opened without overlapped I/O offers no
// readiness, and for a port that is not open.
intptr_t SerialWaitHandle(SerialHandle handle);

} // namespace korvo::os
