#include "TestClock.h"

namespace korvo::test {

TestClock::TestClock(uint32_t start) : now(start) { SetClockSource(this); }

TestClock::~TestClock() { SetClockSource(nullptr); }

void TestClock::Sleep(uint32_t ms) {
    slept.fetch_add(ms);
    now.fetch_add(ms);
}

} // namespace korvo::test
