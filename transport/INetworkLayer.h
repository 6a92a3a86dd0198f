// The transport interface: moves bytes between the computer and the printer.
//
// Message boundaries belong to the command session (one request line, one
// response line); whatever framing a transport does on the wire is invisible
// here. Results: 0 is success, a negative number is a code of the error
// catalogue. The slot order of the virtual operations is fixed; every
// implementation keeps it.
#pragma once

#include <cstdint>

namespace korvo {

// The DNS connect mode of TCP connections (values 0 to kMaxDnsConnectMode).
constexpr int32_t OPTION_DNS_CONNECT_MODE = 4;
constexpr int32_t kMaxDnsConnectMode = 2;

class INetworkLayer {
public:
    // Slot 0: releases what the object holds (port, socket, thread, inner link).
    virtual ~INetworkLayer() = default;

    // Slot 1: makes the link usable. 0 or a negative code.
    virtual int32_t Open() = 0;
    // Slot 2: ends the link; safe on a closed or never-opened object.
    virtual int32_t Close() = 0;
    // Slot 3: hands one whole message to the link.
    virtual int32_t Send(const uint8_t* data, uint32_t length) = 0;
    // Slot 4: returns 0 at once when nothing is available; otherwise copies at
    // most capacity bytes and returns their number, or a negative code.
    // Never blocks waiting for data.
    virtual int32_t Receive(uint8_t* buffer, uint32_t capacity) = 0;
    // Slot 5: bytes that Receive can deliver now.
    virtual uint32_t BytesAvailable() = 0;
    // Slot 6: discards everything received so far.
    virtual void PurgeReceive() = 0;
    // Slot 7: the caller has stopped waiting for data.
    virtual void EndReceive() = 0;
    // Slot 8: the link has broken down on its own.
    virtual bool HasFailed() = 0;
    // Slot 9: the (negative) code of the failure behind HasFailed.
    virtual int32_t GetFailureCode() = 0;
    // Slot 10: stores the link transfer time (ms). Returns true.
    virtual bool SetTransferTime(uint32_t milliseconds) = 0;
    // Slot 11: what this transport adds to every response time limit (ms).
    virtual uint32_t GetExtraResponseTime() = 0;
    // Slot 12: true if the option exists here and the value is accepted.
    virtual bool SetOption(int32_t optionId, uint32_t value) = 0;
    // Slot 13: the option's value, or -1 if the option does not exist here.
    virtual int32_t GetOption(int32_t optionId) = 0;
};

} // namespace korvo
