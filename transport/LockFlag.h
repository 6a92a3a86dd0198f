// A byte flag that guards a buffer shared by the caller's thread and the link
// thread. Taken by one atomic test-and-set; a side that finds it taken keeps
// dispatching its window messages until it is free.
#pragma once

#include <atomic>

#include "platform/clock.h"
#include "platform/thread.h"

namespace korvo {

class LockFlag {
public:
    void Take() {
        while (flag.test_and_set(std::memory_order_acquire)) {
            PumpMessages();
            YieldThread();
        }
    }
    void Release() { flag.clear(std::memory_order_release); }

private:
    std::atomic_flag flag = ATOMIC_FLAG_INIT;
};

} // namespace korvo
