// The kit's one lock, for short sections that two threads may enter at once
// (the connection table, the start of the socket library, the buffers that
// the RS-232 caller shares with its link thread). Use it through
// std::lock_guard or std::unique_lock; it is never held across a wait.
//
// One atomic test-and-set takes it. A thread that finds it taken keeps
// dispatching its window messages and gives up its time slice until it is
// free: the holder needs microseconds, and unlike a mutex it can neither
// throw out of an exported function nor leave a user interface frozen.
#pragma once

#include <atomic>

#include "platform/clock.h"
#include "platform/thread.h"

namespace korvo {

class SpinLock {
public:
    SpinLock() = default;
    SpinLock(const SpinLock&) = delete;
    SpinLock& operator=(const SpinLock&) = delete;

    void lock() {
        while (!try_lock()) {
            PumpMessages();
            YieldThread();
        }
    }
    bool try_lock() { return !flag.test_and_set(std::memory_order_acquire); }
    void unlock() { flag.clear(std::memory_order_release); }

private:
    std::atomic_flag flag = ATOMIC_FLAG_INIT;
};

} // namespace korvo
