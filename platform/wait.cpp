#include "platform/wait.h"

#include "platform/clock.h"
#include "platform/thread.h"

namespace korvo {

bool WaitForInput(const Waitable* const* items, uint32_t count, uint32_t ms) {
    ClockSource* clock = os::InstalledClock();
    if (!clock) return os::SystemWait(items, count, ms);
    if (os::SystemWait(items, count, 0)) return true;
    clock->Sleep(ms);
    return false;
}

bool WaitForSignal(const Waitable* const* items, uint32_t count, uint32_t ms) {
    if (!os::InstalledClock()) return os::SystemWait(items, count, ms);
    if (os::SystemWait(items, count, 0)) return true;
    YieldThread();
    return false;
}

} // namespace korvo
