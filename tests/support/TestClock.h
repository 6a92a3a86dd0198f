// A virtual clock for tests: sleeping advances time at once, so an 85-second
// limit runs in milliseconds. Installed for the lifetime of the object.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace korvo::test {

class TestClock : public ClockSource {
public:
    explicit TestClock(uint32_t start = 1000);
    ~TestClock() override;
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;

    uint32_t Now() override { return now.load(); }
    void Sleep(uint32_t ms) override;
    void Advance(uint32_t ms) { now.fetch_add(ms); }
    uint32_t SleptMs() const { return slept.load(); }

private:
    std::atomic<uint32_t> now;
    std::atomic<uint32_t> slept{0};
};

} // namespace korvo::test
