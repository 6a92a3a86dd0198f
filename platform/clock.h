// Clock, sleep and the message-pump step shared by every wait of the kit.
//
// Time is the 32-bit millisecond tick count; callers compare ticks as unsigned
// differences so that the wrap after 49.7 days does no harm. The clock can be
// replaced by a test clock so that long time limits are exercised in
// milliseconds; production code never knows which clock it runs on.
#pragma once

#include <cstdint>

namespace korvo {

// Milliseconds since an arbitrary start; wraps at 2^32.
uint32_t TickCount();

// Suspends the calling thread for about ms milliseconds.
void SleepMs(uint32_t ms);

// Dispatches the calling thread's pending window messages, for at most about
// 500 ms. On Windows this is the PeekMessageW/TranslateMessage/DispatchMessageW
// loop; elsewhere there are no window messages. On both systems an installed
// hook runs once per call, after the system's own messages.
void PumpMessages();

// A hook for PumpMessages, for example a test that aborts a wait the way a
// window procedure would. The caller keeps the hook alive while it is
// installed; nullptr removes it.
struct MessagePumpHook {
    void (*run)(void* context);
    void* context;
};
void SetMessagePumpHook(const MessagePumpHook* hook);

// A source of ticks and sleeps. The system clock is used while none is set.
class ClockSource {
public:
    virtual ~ClockSource() = default;
    virtual uint32_t Now() = 0;
    virtual void Sleep(uint32_t ms) = 0;
};

// Replaces the clock for the whole process; nullptr restores the system clock.
// Meant for tests: set it before the code under test runs.
void SetClockSource(ClockSource* source);

namespace os {
// The system's own clock, behind TickCount and SleepMs (one per OS).
uint32_t SystemTickCount();
void SystemSleep(uint32_t ms);
// The system's own message loop (one per OS); no-op where there is none.
void SystemPumpMessages();
// The clock that SetClockSource installed, or nullptr for the system clock:
// the OS layer's waits must not block under a test clock.
ClockSource* InstalledClock();
} // namespace os

} // namespace korvo
