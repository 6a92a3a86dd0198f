// A clock for fuzz runs: every sleep moves time on by a large step, so an
// input that leaves the code waiting for bytes that never come reaches its
// time limit in a few dozen turns instead of thousands.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace korvo::fuzz {

class FastClock : public ClockSource {
public:
    FastClock() { SetClockSource(this); }
    ~FastClock() override { SetClockSource(nullptr); }
    FastClock(const FastClock&) = delete;
    FastClock& operator=(const FastClock&) = delete;

    uint32_t Now() override { return now; }
    void Sleep(uint32_t ms) override { now += ms < kStep ? kStep : ms; }

private:
    static constexpr uint32_t kStep = 250;
    uint32_t now = 1000;
};

} // namespace korvo::fuzz
