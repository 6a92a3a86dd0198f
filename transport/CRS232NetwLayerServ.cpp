#include "transport/CRS232NetwLayerServ.h"

#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "korvocomm.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "transport/CCOM_Link.h"

namespace korvo {

namespace {

// Recorded codes that a new message clears: they describe one failed
// exchange, and the link is set up again for the next.
bool ClearedBySend(int32_t code) {
    return code == 0 || code == APP_RESPONSE_TIMEOUT || code == APP_PACKET_RECEIVE_ERROR ||
           (code <= APP_PACKET_TIMEOUT && code >= APP_NETW_LAYER_FAILED);
}

bool RefusesSend(int32_t code) {
    return code == APP_PACKET_SEND_ERROR || code == APP_SEND_BUFFER_OVERFLOW;
}

std::unique_ptr<INetworkLayer> OpenComLink(const char* portName, uint32_t baudRate) {
    return std::unique_ptr<INetworkLayer>(new (std::nothrow) CCOM_Link(portName, baudRate));
}

// The exports build this object with a non-throwing new; a failed allocation
// here leaves it without state, and Open then reports the thread error.
std::shared_ptr<SerialLinkState> NewState(const char* portName, int32_t baudRate,
                                          uint8_t deviceAddress, LinkFactory factory) {
    try {
        return std::make_shared<SerialLinkState>(portName, baudRate, deviceAddress,
                                                 std::move(factory));
    } catch (...) {
        return nullptr;
    }
}

// Wakes an idle thread only when the request is new: the session asks on
// every pass of its wait.
void RequestPolling(SerialLinkState& s) {
    if (!s.pollRequested.exchange(true)) s.WakeThread();
}


} // namespace

CRS232NetwLayerServ::CRS232NetwLayerServ(const char* portName, int32_t baudRate,
                                         uint8_t deviceAddress)
    : CRS232NetwLayerServ(portName, baudRate, deviceAddress, OpenComLink) {}

CRS232NetwLayerServ::CRS232NetwLayerServ(const char* portName, int32_t baudRate,
                                         uint8_t deviceAddress, LinkFactory factory)
    : state(NewState(portName, baudRate, deviceAddress, std::move(factory))) {}

CRS232NetwLayerServ::~CRS232NetwLayerServ() {
    Close();
}

bool CRS232NetwLayerServ::ThreadRuns() const {
    return threadHandle && !ThreadHasEnded(threadHandle);
}

void CRS232NetwLayerServ::WaitForThread() const {
    PumpMessages();
    const Waitable* wake[] = {&input};
    WaitForSignal(wake, 1, 1);
}

void CRS232NetwLayerServ::Joined() {
    JoinThread(threadHandle);
    threadHandle = nullptr;
    input.Show(nullptr);
    state->callerWake.Close();
    state->threadWake.Close();
}

int32_t CRS232NetwLayerServ::Open() {
    if (threadHandle) Close();
    if (!state) return APP_COMM_THREAD_ERROR;
    SerialLinkState& s = *state;
    s.stopRequested.store(false);
    s.failureCode.store(0);
    s.running.store(false);
    s.pollRequested.store(false);
    s.leftOver.store(false);
    s.dropRequested.store(false);
    s.keepPolling.store(0);
    s.ClearTransmit();
    PurgeReceive();

    auto* holder = new (std::nothrow) std::shared_ptr<SerialLinkState>(state);
    if (!holder) return APP_COMM_THREAD_ERROR;
    // Without them every wait lasts its time; the link still works.
    s.callerWake.Open();
    s.threadWake.Open();
    input.Show(&s.callerWake);
    threadHandle = StartThread(RunLinkThread, holder);
    if (!threadHandle) {
        delete holder;
        input.Show(nullptr);
        s.callerWake.Close();
        s.threadWake.Close();
        return APP_COMM_THREAD_ERROR;
    }
    while (!ThreadHasEnded(threadHandle) && !s.running.load() && s.failureCode.load() == 0)
        WaitForThread();
    SleepMs(1);
    if (ThreadHasEnded(threadHandle)) {
        // It could not open the port; nothing is left to wait for.
        Joined();
        int32_t code = s.failureCode.load();
        if (code == 0) s.failureCode.store(code = APP_COMM_THREAD_ERROR);
        return code;
    }
    return s.failureCode.load();
}

int32_t CRS232NetwLayerServ::Close() {
    if (!threadHandle) return 0;
    state->stopRequested.store(true);
    state->WakeThread();
    const uint32_t start = TickCount();
    while (TickCount() - start < closeWait && !ThreadHasEnded(threadHandle))
        WaitForThread();
    SleepMs(1);
    if (ThreadHasEnded(threadHandle)) {
        Joined();
        return 0;
    }
    // Still inside a call that does not watch the stop flag (a blocked
    // write). The thread is never killed: it keeps its share of the state,
    // closes the port and frees everything when it ends. This object goes on
    // with a fresh state of its own.
    DetachThread(threadHandle);
    threadHandle = nullptr;
    // Its signals stay open with it until it ends.
    input.Show(nullptr);
    SerialLinkState& old = *state;
    auto fresh = NewState(old.portName, old.baudRate, old.frames.deviceAddress, old.factory);
    if (fresh) fresh->frames.transferTime.store(old.frames.transferTime.load());
    if (fresh) fresh->frames.trace = old.frames.trace;
    state = std::move(fresh);
    return APP_COMM_THREAD_ERROR;
}

int32_t CRS232NetwLayerServ::Send(const uint8_t* data, uint32_t length) {
    if (!state) return APP_COMM_THREAD_ERROR;
    SerialLinkState& s = *state;
    int32_t code = s.failureCode.load();
    if (!ClearedBySend(code)) {
        // These keep the message from going out; it would only wait.
        if (RefusesSend(code)) s.ClearTransmit();
        return code;
    }
    s.failureCode.store(0);
    // The message of an exchange that is over goes first: the thread drops
    // it within a pass, or finishes what is left of it.
    if (s.leftOver.load()) {
        const uint32_t start = TickCount();
        while ((s.dropRequested.load() || s.txLength.load() != 0) && ThreadRuns() &&
               TickCount() - start < closeWait)
            WaitForThread();
        s.leftOver.store(false);
    }
    {
        std::lock_guard<SpinLock> guard(s.txLock);
        if (s.txLength.load() != 0 || length > SerialLinkState::kBufferSize || (length && !data))
            return APP_SEND_BUFFER_OVERFLOW;
        if (length) std::memcpy(s.txBuffer, data, length);
        s.txAcked.store(0);
        s.txPendingEnd.store(0);
        s.txLength.store(length);
        s.answered.store(false);
    }
    s.WakeThread();
    return 0;
}

int32_t CRS232NetwLayerServ::Receive(uint8_t* buffer, uint32_t capacity) {
    if (!state) return 0;
    SerialLinkState& s = *state;
    RequestPolling(s);
    if (s.rxLength.load() == 0) return 0;
    uint32_t n = 0;
    {
        std::lock_guard<SpinLock> guard(s.rxLock);
        uint32_t waiting = s.rxLength.load();
        n = capacity < waiting ? capacity : waiting;
        if (n && buffer)
            std::memcpy(buffer, s.rxBuffer, n);
        else
            n = 0;
        if (n == waiting) {
            std::memset(s.rxBuffer, 0, waiting);
            s.rxLength.store(0);
        } else {
            std::memmove(s.rxBuffer, s.rxBuffer + n, waiting - n);
            std::memset(s.rxBuffer + waiting - n, 0, n);
            s.rxLength.store(waiting - n);
        }
        s.pollRequested.store(false);
    }
    if (n) s.answered.store(true);
    return static_cast<int32_t>(n);
}

uint32_t CRS232NetwLayerServ::BytesAvailable() {
    if (!state) return 0;
    RequestPolling(*state);
    return state->rxLength.load();
}

void CRS232NetwLayerServ::PurgeReceive() {
    if (!state) return;
    SerialLinkState& s = *state;
    std::lock_guard<SpinLock> guard(s.rxLock);
    std::memset(s.rxBuffer, 0, sizeof s.rxBuffer);
    s.rxLength.store(0);
}

void CRS232NetwLayerServ::EndReceive() {
    if (!state) return;
    state->pollRequested.store(false);
    // A message still queued belongs to an exchange that is over. Without an
    // answer (a time-out, an abort) it must neither reach the printer later
    // nor hold up the next one. With one the printer has it; what is left is
    // a repeat, which the link finishes.
    if (state->txLength.load() == 0) return;
    state->leftOver.store(true);
    if (!state->answered.load()) {
        state->dropRequested.store(true);
        state->WakeThread();
    }
}

bool CRS232NetwLayerServ::HasFailed() {
    return !state || state->failureCode.load() != 0 || !ThreadRuns() || !state->running.load();
}

int32_t CRS232NetwLayerServ::GetFailureCode() {
    int32_t code = state ? state->failureCode.load() : 0;
    // A link whose thread is gone has failed too; a 0 here would let the
    // session take the failure for a success.
    if (code == 0 && HasFailed()) code = APP_NETW_LAYER_FAILED;
    return code;
}

bool CRS232NetwLayerServ::SetTransferTime(uint32_t milliseconds) {
    uint32_t t = milliseconds > UINT32_MAX / 2 ? UINT32_MAX : 2 * milliseconds;
    if (state) state->frames.transferTime.store(t > 25 ? t : 25);
    return true;
}

uint32_t CRS232NetwLayerServ::GetExtraResponseTime() {
    if (!state) return 0;
    return 250 * state->frames.byteTime + 4 * state->frames.transferTime.load();
}

// The physical link belongs to the link thread; it is a COM port, which has
// no options.
bool CRS232NetwLayerServ::SetOption(int32_t, uint32_t) {
    return false;
}

int32_t CRS232NetwLayerServ::GetOption(int32_t) {
    return -1;
}

void CRS232NetwLayerServ::SetTrace(std::shared_ptr<WireTrace> trace) {
    if (state && !threadHandle) state->frames.trace = std::move(trace);
}

} // namespace korvo
