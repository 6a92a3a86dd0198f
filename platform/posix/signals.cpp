#include "platform/signals.h"

#include <atomic>
#include <csignal>

#include "platform/poller.h"

namespace korvo::os {

namespace {

// Lock-free atomics: safe in a signal handler and seen by the serving thread.
std::atomic<bool> stopFlag{false};
std::atomic<const WakeHandle*> stopWake{nullptr};

extern "C" void OnStopSignal(int) {
    stopFlag.store(true);
    if (const WakeHandle* wake = stopWake.load()) wake->Signal();
}

} // namespace

void CatchStopSignals(const WakeHandle* wake) {
    stopWake.store(wake);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A peer that goes away must not end the process.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

bool StopRequested() {
    return stopFlag.load();
}

} // namespace korvo::os
