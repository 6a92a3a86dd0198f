// Threads of the kit: start, ask to stop (through the thread's own flags),
// wait for the end. A thread is never killed; one that does not end in time
// is detached and finishes on its own.
#pragma once

namespace korvo {

// An opaque handle of a started thread.
struct ThreadHandle;

using ThreadMain = void (*)(void* argument);

// Starts main(argument) on a new thread, at above-normal priority where the
// system allows it. nullptr when the thread cannot be created.
ThreadHandle* StartThread(ThreadMain main, void* argument);

// True once main has returned. Never blocks.
bool ThreadHasEnded(const ThreadHandle* thread);

// Waits until main has returned, then releases the handle.
void JoinThread(ThreadHandle* thread);

// Releases the handle without waiting; the thread runs to its end and
// frees what it holds itself.
void DetachThread(ThreadHandle* thread);

// Gives the rest of the calling thread's time slice to others.
void YieldThread();

} // namespace korvo
