// POSIX threads. The handle is shared by the starter and the thread itself,
// so that a detached thread can still mark its end safely.
#include "platform/thread.h"

#include <atomic>
#include <cerrno>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace korvo {

struct ThreadHandle {
    pthread_t id{};
    ThreadMain main = nullptr;
    void* argument = nullptr;
    std::atomic<bool> ended{false};
    std::atomic<int> owners{2}; // the starter and the thread
};

namespace {

void Release(ThreadHandle* h) {
    if (h->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete h;
}

void* Trampoline(void* p) {
    ThreadHandle* h = static_cast<ThreadHandle*>(p);
#ifdef __linux__
    // One step above the process's priority where limits allow; raising a
    // priority needs privileges on most systems, so a refusal is ignored.
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno == 0) (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice - 1);
#endif
    h->main(h->argument);
    h->ended.store(true, std::memory_order_release);
    Release(h);
    return nullptr;
}

} // namespace

ThreadHandle* StartThread(ThreadMain main, void* argument) {
    ThreadHandle* h = new (std::nothrow) ThreadHandle;
    if (!h) return nullptr;
    h->main = main;
    h->argument = argument;
    if (pthread_create(&h->id, nullptr, Trampoline, h) != 0) {
        delete h;
        return nullptr;
    }
    return h;
}

bool ThreadHasEnded(const ThreadHandle* thread) {
    return thread->ended.load(std::memory_order_acquire);
}

void JoinThread(ThreadHandle* thread) {
    pthread_join(thread->id, nullptr);
    Release(thread);
}

void DetachThread(ThreadHandle* thread) {
    pthread_detach(thread->id);
    Release(thread);
}

void YieldThread() {
    sched_yield();
}

} // namespace korvo
