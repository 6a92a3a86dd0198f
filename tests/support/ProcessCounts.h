// Threads and open descriptors of this test process, for checks that nothing
// is left behind, and a wait on real conditions (never on a clock under test).
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace korvo::test {

// Waits up to limitMs of real time for pred; true when it came true.
inline bool WaitFor(const std::function<bool()>& pred, int limitMs = 20000) {
    for (int i = 0; i < limitMs; ++i) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pred();
}

// Threads of this process where the system shows them (/proc), else -1.
int ThreadCount();
// Open file descriptors of this process where the system shows them, else -1.
int DescriptorCount();

// A count once it has stopped changing for a while: a thread that has just
// been joined may still be listed for a moment, and a server thread in the
// same process may still be closing its end of a finished connection.
inline int Settled(int (*count)(), int quietMs = 5) {
    int last = count();
    for (int i = 0; i < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(quietMs));
        int now = count();
        if (now == last) return now;
        last = now;
    }
    return last;
}
inline int SettledThreadCount() { return Settled(ThreadCount); }

// True when the thread count comes back to baseline (or is unknown).
inline bool ThreadsBackTo(int baseline) {
    return baseline < 0 || WaitFor([&] { return ThreadCount() == baseline; });
}

} // namespace korvo::test
