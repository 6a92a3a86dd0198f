// Thread timers without a window: SetTimer posts WM_TIMER to the thread's
// queue, and DispatchMessageW calls the timer procedure.
#include "platform/message_timer.h"

#include <windows.h>

namespace korvo::os {

namespace {

// The timer procedure gets no context of its own; one timer at a time keeps
// it here.
TimerCallback g_callback = nullptr;
void* g_context = nullptr;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_callback) g_callback(g_context);
}

} // namespace

uintptr_t StartMessageTimer(uint32_t ms, TimerCallback callback, void* context) {
    if (g_callback || !callback) return 0;
    g_callback = callback;
    g_context = context;
    UINT_PTR id = SetTimer(nullptr, 0, ms, OnTimer);
    if (id == 0) g_callback = nullptr;
    return id;
}

void StopMessageTimer(uintptr_t timer) {
    if (timer == 0) return;
    KillTimer(nullptr, timer);
    // A WM_TIMER already queued must not call a callback that is gone.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
    g_callback = nullptr;
    g_context = nullptr;
}

} // namespace korvo::os
