// Windows clock and message pump.
#include "platform/clock.h"

#include <windows.h>

namespace korvo::os {

uint32_t SystemTickCount() { return GetTickCount(); }

void SystemSleep(uint32_t ms) { Sleep(ms); }

// Dispatches the calling thread's messages so that a user interface that waits
// on the printer stays responsive; gives up after 500 ms so that a flood of
// messages cannot stall the wait that calls it.
void SystemPumpMessages() {
    DWORD start = GetTickCount();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (GetTickCount() - start > 500) break;
    }
}

} // namespace korvo::os
