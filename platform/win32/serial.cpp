// Windows communications API behind platform/serial.h.
#include "platform/serial.h"

#include <windows.h>

#include <cstring>

#include "platform/system_errors.h"

namespace korvo::os {

namespace {

HANDLE ToHandle(SerialHandle h) {
    return static_cast<HANDLE>(h);
}

// Every port by its device name, COM10 and above included.
constexpr char kDevicePrefix[] = "\\\\.\\";

} // namespace

bool SerialSystemPath(const char* portName, char* out, uint32_t capacity) {
    if (!portName || !out || capacity == 0) return false;
    size_t prefix = sizeof kDevicePrefix - 1;
    size_t length = std::strlen(portName);
    if (prefix + length >= capacity) return false;
    std::memcpy(out, kDevicePrefix, prefix);
    std::memcpy(out + prefix, portName, length + 1);
    return true;
}

uint32_t SerialOpen(const char* portName, SerialHandle& handle) {
    handle = NoSerialHandle();
    char path[sizeof kDevicePrefix - 1 + kSerialPortNameSize];
    if (!SerialSystemPath(portName, path, sizeof path)) return kErrorFileNotFound;
    // Share mode 0: nobody else may open the port while we hold it.
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    DWORD error = GetLastError();
    if (h == INVALID_HANDLE_VALUE || h == nullptr) {
        handle = NoSerialHandle();
        return error != 0 ? error : kErrorGenFailure;
    }
    handle = h;
    return 0;
}

uint32_t SerialSetLine(SerialHandle handle, uint32_t baudRate) {
    if (!IsSerialOpen(handle)) return kErrorInvalidHandle;
    // Everything not set here stays 0: no parity checking, no CTS/DSR flow
    // control, DTR and RTS disabled, no XON/XOFF, no character replacement.
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = baudRate;
    dcb.fBinary = 1;
    dcb.fAbortOnError = 1;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!SetCommState(ToHandle(handle), &dcb)) return GetLastError();
    return 0;
}

uint32_t SerialSetQueues(SerialHandle handle, uint32_t inputBytes, uint32_t outputBytes) {
    if (!IsSerialOpen(handle)) return kErrorInvalidHandle;
    if (!SetupComm(ToHandle(handle), inputBytes, outputBytes)) return GetLastError();
    return 0;
}

uint32_t SerialSetTimeouts(SerialHandle handle, const SerialTimeouts& timeouts) {
    if (!IsSerialOpen(handle)) return kErrorInvalidHandle;
    COMMTIMEOUTS t;
    t.ReadIntervalTimeout = timeouts.readInterval;
    t.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
    t.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
    t.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
    t.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
    if (!SetCommTimeouts(ToHandle(handle), &t)) return GetLastError();
    return 0;
}

uint32_t SerialQueued(SerialHandle handle, uint32_t& bytes) {
    bytes = 0;
    if (!IsSerialOpen(handle)) return kErrorInvalidHandle;
    DWORD errors = 0;
    COMSTAT status;
    std::memset(&status, 0, sizeof status);
    if (!ClearCommError(ToHandle(handle), &errors, &status)) return GetLastError();
    bytes = status.cbInQue;
    return 0;
}

uint32_t SerialRead(SerialHandle handle, void* buffer, uint32_t length, uint32_t& bytesRead) {
    bytesRead = 0;
    if (!IsSerialOpen(handle)) return kErrorInvalidHandle;
    DWORD n = 0;
    if (!ReadFile(ToHandle(handle), buffer, length, &n, nullptr)) return GetLastError();
    bytesRead = n;
    return 0;
}

uint32_t SerialWrite(SerialHandle handle, const void* data, uint32_t length,
                     uint32_t& bytesWritten) {
    bytesWritten = 0;
    if (!IsSerialOpen(handle)) return kErrorInvalidHandle;
    DWORD n = 0;
    if (!WriteFile(ToHandle(handle), data, length, &n, nullptr)) return GetLastError();
    bytesWritten = n;
    return 0;
}

void SerialClose(SerialHandle& handle) {
    if (IsSerialOpen(handle)) CloseHandle(ToHandle(handle));
    handle = NoSerialHandle();
}

} // namespace korvo::os
