// Windows threads: created suspended so that the priority is in place before
// the first instruction runs, then resumed.
#include "platform/thread.h"

#include <atomic>
#include <new>
#include <windows.h>

namespace korvo {

struct ThreadHandle {
    HANDLE handle = nullptr;
    ThreadMain main = nullptr;
    void* argument = nullptr;
    std::atomic<int> owners{2}; // the starter and the thread
};

namespace {

void Release(ThreadHandle* h) {
    if (h->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete h;
}

DWORD WINAPI Trampoline(LPVOID p) {
    ThreadHandle* h = static_cast<ThreadHandle*>(p);
    ThreadMain main = h->main;
    void* argument = h->argument;
    Release(h);
    main(argument);
    return 0;
}

} // namespace

ThreadHandle* StartThread(ThreadMain main, void* argument) {
    ThreadHandle* h = new (std::nothrow) ThreadHandle;
    if (!h) return nullptr;
    h->main = main;
    h->argument = argument;
    DWORD id = 0;
    h->handle = CreateThread(nullptr, 0, Trampoline, h, CREATE_SUSPENDED, &id);
    if (!h->handle) {
        delete h;
        return nullptr;
    }
    SetThreadPriority(h->handle, THREAD_PRIORITY_ABOVE_NORMAL);
    ResumeThread(h->handle);
    return h;
}

bool ThreadHasEnded(const ThreadHandle* thread) {
    return WaitForSingleObject(thread->handle, 0) == WAIT_OBJECT_0;
}

void JoinThread(ThreadHandle* thread) {
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
    Release(thread);
}

void DetachThread(ThreadHandle* thread) {
    CloseHandle(thread->handle);
    Release(thread);
}

void YieldThread() {
    SwitchToThread();
}

} // namespace korvo
