#include "platform/clock.h"

#include <atomic>

namespace korvo {

namespace {
std::atomic<ClockSource*> g_clock{nullptr};

std::atomic<const MessagePumpHook*> g_pumpHook{nullptr};
} // namespace

uint32_t TickCount() {
    ClockSource* c = os::InstalledClock();
    return c ? c->Now() : os::SystemTickCount();
}

void SleepMs(uint32_t ms) {
    ClockSource* c = os::InstalledClock();
    if (c)
        c->Sleep(ms);
    else
        os::SystemSleep(ms);
}

void PumpMessages() {
    os::SystemPumpMessages();
    const MessagePumpHook* h = g_pumpHook.load(std::memory_order_acquire);
    if (h && h->run) h->run(h->context);
}

void SetMessagePumpHook(const MessagePumpHook* hook) {
    g_pumpHook.store(hook, std::memory_order_release);
}

void SetClockSource(ClockSource* source) { g_clock.store(source, std::memory_order_release); }

ClockSource* os::InstalledClock() { return g_clock.load(std::memory_order_acquire); }

} // namespace korvo
