#include "platform/signals.h"

#include <csignal>

#include "platform/poller.h"

namespace korvo::os {

namespace {

volatile std::sig_atomic_t stopFlag = 0;
const WakeHandle* stopWake = nullptr;

extern "C" void OnStopSignal(int) {
    stopFlag = 1;
    if (stopWake) stopWake->Signal();
}

} // namespace

void CatchStopSignals(const WakeHandle* wake) {
    stopWake = wake;
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

bool StopRequested() { return stopFlag != 0; }

} // namespace korvo::os
