// Windows waits: MsgWaitForMultipleObjectsEx on the watched events, which
// also ends when a window message for the calling thread arrives. A signal
// and the event of a socket are auto-reset events: the wait that sees one
// lowers it.
#include "platform/wait.h"

#include <winsock2.h>
#include <windows.h>

namespace korvo {

namespace {

HANDLE ToHandle(intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

intptr_t NewEvent() {
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return e ? reinterpret_cast<intptr_t>(e) : Waitable::kNone;
}

} // namespace

bool WakeSignal::Open() {
    if (handle == kNone) handle = NewEvent();
    return handle != kNone;
}

void WakeSignal::Close() {
    if (handle != kNone) CloseHandle(ToHandle(handle));
    handle = kNone;
}

void WakeSignal::Raise() const {
    if (handle != kNone) SetEvent(ToHandle(handle));
}

InputWatch::~InputWatch() {
    if (socketEvent != kNone) CloseHandle(ToHandle(socketEvent));
}

void InputWatch::WatchSocket(os::SocketHandle socket) {
    handle = kNone;
    if (socket == os::kInvalidSocket) return;
    if (socketEvent == kNone) socketEvent = NewEvent();
    if (socketEvent == kNone) return;
    ResetEvent(ToHandle(socketEvent));
    // Closing the socket ends the association.
    if (WSAEventSelect(static_cast<SOCKET>(socket), ToHandle(socketEvent), FD_READ | FD_CLOSE) == 0)
        handle = socketEvent;
}

// A COM port opened without overlapped I/O has no readiness to wait on.
void InputWatch::WatchSerial(os::SerialHandle) {
    handle = kNone;
}

void InputWatch::Stop() {
    handle = kNone;
}

namespace os {

intptr_t SerialWaitHandle(SerialHandle) {
    return Waitable::kNone;
}

bool SystemWait(const Waitable* const* items, uint32_t count, uint32_t ms) {
    constexpr DWORD kMax = 4;
    HANDLE handles[kMax];
    DWORD n = 0;
    for (uint32_t i = 0; i < count && n < kMax; ++i)
        if (items[i] && items[i]->Handle() != Waitable::kNone) handles[n++] = ToHandle(items[i]->Handle());
    DWORD r = MsgWaitForMultipleObjectsEx(n, n ? handles : nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    return r <= WAIT_OBJECT_0 + n;
}

} // namespace os

} // namespace korvo
