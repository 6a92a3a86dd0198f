// Waits that end early. A wait pass of the kit used to sleep its millisecond
// whatever happened; these waits last at most that long but end as soon as
// something they watch is ready: a signal another thread raised, bytes to
// read on a socket or a serial port, and on Windows a window message for the
// calling thread (MsgWaitForMultipleObjects), so that the caller's pump runs
// at once. Where a handle offers no cheap readiness (a COM port opened
// without overlapped I/O) the wait simply lasts its time.
//
// Under a test clock (SetClockSource) no wait blocks: it looks once, and when
// nothing is ready WaitForInput lets the clock's sleep move time on, while
// WaitForSignal only yields, so that time stands still while another thread
// works.
#pragma once

#include <cstdint>

#include "platform/serial.h"
#include "platform/socket.h"

namespace korvo {

// Something a wait can watch: a system handle (a descriptor on POSIX, an
// event on Windows), or none.
class Waitable {
public:
    static constexpr intptr_t kNone = -1;

    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;

    intptr_t Handle() const { return handle; }
    // A raised signal is lowered by the wait that sees it; a stream stays
    // ready until its bytes are read.
    bool IsSignal() const { return signal; }

protected:
    explicit Waitable(bool isSignal) : signal(isSignal) {}
    ~Waitable() = default;

    intptr_t handle = kNone;
    bool signal;
};

// Raised by one thread, or from a window procedure, to end a wait of another
// at once; it stays raised until a wait has seen it. While it is not open
// (or could not be opened) raising does nothing and waits last their time.
// Open and Close while no other thread can raise it.
class WakeSignal : public Waitable {
public:
    WakeSignal() : Waitable(true) {}
    ~WakeSignal() { Close(); }
    bool Open();
    void Close();
    void Raise() const;
};

// Stands for a waitable that its owner replaces or closes while waits keep
// looking here (the RS-232 layer's signal, which lives with its link thread).
// Shows nothing until told.
class WaitableView : public Waitable {
public:
    WaitableView() : Waitable(true) {}
    void Show(const Waitable* shown) {
        handle = shown ? shown->Handle() : kNone;
        signal = shown ? shown->IsSignal() : true;
    }
};

// Incoming bytes on a socket or a serial port.
class InputWatch : public Waitable {
public:
    InputWatch() : Waitable(false) {}
    ~InputWatch();
    // Bytes to read, and the peer's close.
    void WatchSocket(os::SocketHandle socket);
    // Bytes to read. A port without readiness is not watched.
    void WatchSerial(os::SerialHandle port);
    // Before the socket or port is closed.
    void Stop();

private:
    // Windows: what the socket signals, kept for the next one (unused on POSIX).
    [[maybe_unused]] intptr_t socketEvent = kNone;
};

// Waits at most ms until one of the items (nullptr entries are skipped) is
// ready. True when one is.
bool WaitForInput(const Waitable* const* items, uint32_t count, uint32_t ms);

// The same for a wait on a condition that another thread changes and then
// signals (a thread's start and end); only the test clock tells them apart.
bool WaitForSignal(const Waitable* const* items, uint32_t count, uint32_t ms);

namespace os {
// The system's wait behind both (one per OS); 0 ms only looks.
bool SystemWait(const Waitable* const* items, uint32_t count, uint32_t ms);
} // namespace os

} // namespace korvo
