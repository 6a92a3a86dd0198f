// A timer whose callback runs on the thread that set it, when that thread's
// window messages are dispatched (SetTimer without a window on Windows). It
// lets a test act the way an application's timer procedure would, from
// inside a wait of the library. Windows only.
#pragma once

#include <cstdint>

namespace korvo::os {

using TimerCallback = void (*)(void* context);

// Starts a repeating timer of about ms milliseconds; 0 when it cannot be set.
// One timer at a time.
uintptr_t StartMessageTimer(uint32_t ms, TimerCallback callback, void* context);

void StopMessageTimer(uintptr_t timer);

} // namespace korvo::os
