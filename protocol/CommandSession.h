// The protocol engine of one printer connection: the CONNECT handshake, one
// request line out, one response line back under a time limit that depends on
// the command, and the values of the last response kept for the caller.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/wait.h"

namespace korvo {

class INetworkLayer;
class WireTrace;

class CommandSession {
public:
    static constexpr uint32_t kTextSize = 2500;

    // Copies the process-wide link_transfer_time and extend_response_time,
    // hands a non-zero transfer time and a set DNS connect mode to the
    // transport. The transport is not owned. input, when given, is what
    // becomes ready when the transport has bytes for the wait (it lives as
    // long as the transport); without it each wait pass lasts its
    // millisecond unless an abort ends it.
    explicit CommandSession(INetworkLayer* transport, const Waitable* input = nullptr);

    CommandSession(const CommandSession&) = delete;
    CommandSession& operator=(const CommandSession&) = delete;

    // Opens the transport and performs the handshake. 0 when the printer
    // accepted the connection; otherwise the failure's code.
    int32_t Connect();

    // Sends one command (long or short name, any letter case) with its
    // TAB-separated parameters (nullptr for none) and waits for the response.
    // Returns the printer's result code or a negative library code.
    // dropConnection becomes true after a successful updateFirmware: the
    // printer restarts and the caller must discard the connection.
    int32_t Execute(const char* name, const char* parameters, bool& dropConnection);

    // Ends the running wait with -106; never cleared: every later exchange
    // ends with -106 at once, without sending its request. May be called
    // from another thread or from a dispatched window message.
    void RequestAbort() {
        abortRequested.store(true, std::memory_order_relaxed);
        abortWake.Raise();
    }

    INetworkLayer* Transport() const { return transport; }
    // The connection's wire trace (nullptr: none); set before Connect.
    void SetTrace(std::shared_ptr<WireTrace> t) { trace = std::move(t); }
    // The owner of the connection clears this before destroying the transport.
    void DetachTransport() {
        transport = nullptr;
        waitItems[0] = nullptr;
    }

    int32_t LastStatus() const { return lastStatus; }
    void SetLastStatus(int32_t status) { lastStatus = status; }
    // The command name as the caller spelled it, of the last exchange whose
    // name the catalogue knew.
    const char* LastCommandName() const { return lastCommandName; }
    // The values of the last well-formed response, or nullptr.
    const char* ResponseValues() const { return responseValues; }

    int32_t NextCommandTime() const { return nextCommandTime; }
    void SetNextCommandTime(int32_t ms) { nextCommandTime = ms; }
    uint32_t LinkTransferTime() const { return linkTransferTime; }
    void SetLinkTransferTime(uint32_t ms) { linkTransferTime = ms; }
    int32_t ExtendResponseTime() const { return extendResponseTime; }
    void SetExtendResponseTime(int32_t ms) { extendResponseTime = ms; }

private:
    int32_t WaitResponse(uint32_t timeLimit);
    // Takes what the transport has into responseBuffer after the received
    // bytes. 0 while the line goes on (complete false) and when it is there
    // (complete true); a negative code when it can never be a good line.
    int32_t TakeAvailable(uint32_t& received, bool& complete);
    int32_t ParseResponse();
    // The complete line at the start of responseBuffer begins with the short
    // name of another catalogue command: the answer of an earlier exchange
    // that came after its time-out or abort.
    bool IsStaleAnswer(uint32_t lineLength) const;

    INetworkLayer* transport;
    std::shared_ptr<WireTrace> trace;
    int32_t lastStatus = 0;
    std::atomic<bool> abortRequested{false};
    WakeSignal abortWake;
    // What ends a pass of the wait early: the transport's input, the abort.
    const Waitable* waitItems[2];
    char lastCommandName[kTextSize];
    char responseBuffer[kTextSize];
    const char* currentWireName = nullptr;
    const char* responseValues = nullptr;
    int32_t nextCommandTime = 0;
    uint32_t linkTransferTime = 0;
    int32_t extendResponseTime = 0;
};

} // namespace korvo
