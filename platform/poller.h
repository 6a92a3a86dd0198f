// Waiting on several streams at once, and a wake-up handle that lets another
// thread or a signal handler end a wait. POSIX only.
#pragma once

#include <cstdint>

namespace korvo::os {

struct PollItem {
    int stream;
    bool wantRead;
    bool wantWrite;
    // Results.
    bool readable;
    bool writable;
    bool hangUp; // the peer is gone or the handle failed
};

// Waits until an item is ready or timeoutMs passes (-1: no limit). Returns the
// number of ready items, 0 on time-out or interruption, -1 on failure.
int32_t PollStreams(PollItem* items, uint32_t count, int32_t timeoutMs);

// A self-pipe: Signal() is safe from any thread and from a signal handler.
class WakeHandle {
public:
    WakeHandle() = default;
    ~WakeHandle();
    WakeHandle(const WakeHandle&) = delete;
    WakeHandle& operator=(const WakeHandle&) = delete;

    bool Open();
    // The stream to poll for reading.
    int Stream() const { return readEnd; }
    void Signal() const;
    void Drain() const;

private:
    int readEnd = -1;
    int writeEnd = -1;
};

} // namespace korvo::os
