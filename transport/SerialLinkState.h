// What the caller's side of the serial network layer and its link thread
// share. Both hold it through a shared pointer: if the thread has not ended
// when Close gives up waiting, the thread keeps the state (and the port it
// owns) alive until it ends on its own, and frees them then.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/spin_lock.h"
#include "platform/wait.h"
#include "transport/INetworkLayer.h"
#include "transport/LinkFrames.h"

namespace korvo {

// Creates the physical link of the RS-232 layer (a COM port); replaceable
// so that the link thread can be run against a station in memory.
using LinkFactory =
    std::function<std::unique_ptr<INetworkLayer>(const char* portName, uint32_t baudRate)>;

struct SerialLinkState {
    static constexpr uint32_t kBufferSize = 2500;
    static constexpr uint32_t kPortNameSize = 200;

    SerialLinkState(const char* portName, int32_t baudRate, uint8_t deviceAddress,
                    LinkFactory factory);

    // Drops the queued message; takes txLock.
    void ClearTransmit();

    // Ends a wait of the caller's side (after data came in, a failure, the
    // thread's start and end, a message finished or dropped) and of the link
    // thread (after a message was queued, a poll asked for, a drop or the stop
    // requested), so that neither has to look again a millisecond later.
    // Both are open while a thread runs on this state.
    void WakeCaller() const { callerWake.Raise(); }
    void WakeThread() const { threadWake.Raise(); }

    char portName[kPortNameSize];
    int32_t baudRate;
    LinkFactory factory;

    // Created, used and destroyed by the link thread only.
    std::unique_ptr<INetworkLayer> link;
    LinkFrames frames;

    // The message being sent, guarded by txLock. The positions are atomic
    // because the thread tests them outside the lock.
    uint8_t txBuffer[kBufferSize];
    std::atomic<uint32_t> txAcked{0};
    std::atomic<uint32_t> txPendingEnd{0};
    std::atomic<uint32_t> txLength{0};
    SpinLock txLock;

    // Received data not yet taken by Receive, guarded by rxLock.
    uint8_t rxBuffer[kBufferSize];
    std::atomic<uint32_t> rxLength{0};
    SpinLock rxLock;

    std::atomic<bool> pollRequested{false};
    // Receive has handed out bytes since the last Send: the printer answered.
    std::atomic<bool> answered{false};
    // The caller stopped waiting while its message was still queued; the
    // next Send waits until the thread has finished or dropped it.
    std::atomic<bool> leftOver{false};
    // ... without an answer: the thread drops the message and sets the link
    // up again before the next.
    std::atomic<bool> dropRequested{false};
    std::atomic<uint8_t> keepPolling{0};
    // Negative code of a recorded failure, 0 for none.
    std::atomic<int32_t> failureCode{0};
    std::atomic<bool> running{false};
    std::atomic<bool> stopRequested{false};

    WakeSignal callerWake;
    WakeSignal threadWake;
};

// The link thread's entry: argument is a heap-allocated
// std::shared_ptr<SerialLinkState>, which the thread deletes when it ends.
void RunLinkThread(void* argument);

} // namespace korvo
