// The RS-232 transport: a framed, acknowledged, polled link to a printer that
// is a secondary station with an address of 2 to 255. A link thread of its
// own owns the COM port; the caller's side only queues a message (Send) and
// takes bytes that the thread has collected (Receive).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/wait.h"
#include "transport/INetworkLayer.h"
#include "transport/SerialLinkState.h"

namespace korvo {

struct ThreadHandle;
class WireTrace;

class CRS232NetwLayerServ : public INetworkLayer {
public:
    static constexpr uint32_t kCloseWait = 1500;

    // The link thread opens a COM port of the given name and speed.
    CRS232NetwLayerServ(const char* portName, int32_t baudRate, uint8_t deviceAddress);
    // The link thread gets its physical link from factory instead.
    CRS232NetwLayerServ(const char* portName, int32_t baudRate, uint8_t deviceAddress,
                        LinkFactory factory);
    ~CRS232NetwLayerServ() override;

    CRS232NetwLayerServ(const CRS232NetwLayerServ&) = delete;
    CRS232NetwLayerServ& operator=(const CRS232NetwLayerServ&) = delete;

    // Starts the link thread and waits until it runs or has failed to open
    // the port. 0, -601, or the port's negative code.
    int32_t Open() override;
    // Asks the thread to stop and waits up to closeWait for it. 0 when it
    // ended; -601 when it is still busy (it then ends on its own and frees
    // the port and everything it shares).
    int32_t Close() override;
    int32_t Send(const uint8_t* data, uint32_t length) override;
    int32_t Receive(uint8_t* buffer, uint32_t capacity) override;
    uint32_t BytesAvailable() override;
    void PurgeReceive() override;
    void EndReceive() override;
    bool HasFailed() override;
    int32_t GetFailureCode() override;
    bool SetTransferTime(uint32_t milliseconds) override;
    uint32_t GetExtraResponseTime() override;
    bool SetOption(int32_t optionId, uint32_t value) override;
    int32_t GetOption(int32_t optionId) override;

    // The link thread writes its frames into the connection's wire trace.
    void SetTrace(std::shared_ptr<WireTrace> trace);
    // Ready when the link thread has handed data over, recorded a failure or
    // ended.
    const Waitable* Input() const { return &input; }

private:
    bool ThreadRuns() const;
    // Dispatches window messages and waits at most a millisecond for the
    // link thread to signal.
    void WaitForThread() const;
    // The thread has ended and was joined: its signals are closed.
    void Joined();

    // The current state's signal to the caller.
    WaitableView input;
    std::shared_ptr<SerialLinkState> state;
    ThreadHandle* threadHandle = nullptr;
    uint32_t closeWait = kCloseWait;
};

} // namespace korvo
