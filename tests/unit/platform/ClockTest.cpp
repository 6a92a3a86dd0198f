#include <gtest/gtest.h>

#include "TestClock.h"
#include "platform/clock.h"

namespace korvo {
namespace {

TEST(Clock, TestClockReplacesTheSystemClockWhileInstalled) {
    {
        test::TestClock clock(5);
        EXPECT_EQ(TickCount(), 5u);
        SleepMs(85500);
        EXPECT_EQ(TickCount(), 85505u);
        EXPECT_EQ(clock.SleptMs(), 85500u);
    }
    // Back on the system clock: real time moves forward, by little. The
    // Windows tick count may move in steps of about 16 ms (so it does under
    // Wine), so the sleep must be longer than one step.
    uint32_t a = TickCount();
    SleepMs(40);
    uint32_t elapsed = TickCount() - a;
    EXPECT_GE(elapsed, 1u);
    EXPECT_LT(elapsed, 60000u);
}

TEST(Clock, PumpRunsTheInstalledHookOnce) {
    int calls = 0;
    MessagePumpHook hook{[](void* c) { ++*static_cast<int*>(c); }, &calls};
    SetMessagePumpHook(&hook);
    PumpMessages();
    PumpMessages();
    SetMessagePumpHook(nullptr);
    PumpMessages();
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace korvo
