#include <gtest/gtest.h>

#include "TestClock.h"
#include "platform/wait.h"

namespace korvo {
namespace {

// A wait that missed its signal would last the full minute.
TEST(Wait, RaisedSignalEndsTheWaitAtOnceAndIsLowered) {
    WakeSignal signal;
    ASSERT_TRUE(signal.Open());
    const Waitable* items[] = {nullptr, &signal};
    signal.Raise();
    signal.Raise();
    EXPECT_TRUE(WaitForInput(items, 2, 60000));
    EXPECT_FALSE(WaitForInput(items, 2, 0));
    signal.Close();
    signal.Raise(); // closed: nothing to raise, nothing breaks
    EXPECT_FALSE(WaitForInput(items, 2, 0));
}

TEST(Wait, UnderTheTestClockNoWaitBlocks) {
    test::TestClock clock;
    WakeSignal signal;
    ASSERT_TRUE(signal.Open());
    const Waitable* items[] = {&signal};
    // Nothing ready: a pass's wait moves time on, a wait for another thread
    // leaves it where it is.
    EXPECT_FALSE(WaitForInput(items, 1, 60000));
    EXPECT_EQ(clock.SleptMs(), 60000u);
    EXPECT_FALSE(WaitForSignal(items, 1, 60000));
    EXPECT_EQ(clock.SleptMs(), 60000u);
    // Ready: no time passes.
    signal.Raise();
    EXPECT_TRUE(WaitForInput(items, 1, 1));
    signal.Raise();
    EXPECT_TRUE(WaitForSignal(items, 1, 1));
    EXPECT_EQ(clock.SleptMs(), 60000u);
}

TEST(Wait, ViewFollowsWhatItShows) {
    WakeSignal signal;
    ASSERT_TRUE(signal.Open());
    WaitableView view;
    const Waitable* items[] = {&view};
    signal.Raise();
    EXPECT_FALSE(WaitForInput(items, 1, 0));
    view.Show(&signal);
    EXPECT_TRUE(WaitForInput(items, 1, 60000));
    view.Show(nullptr);
    EXPECT_EQ(view.Handle(), Waitable::kNone);
}

} // namespace
} // namespace korvo
