#include "platform/wallclock.h"

#include <ctime>

namespace korvo::os {

WallClock ReadWallClock() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    WallClock w{};
    w.utcSeconds = static_cast<int64_t>(ts.tv_sec);
    w.milliseconds = static_cast<int32_t>(ts.tv_nsec / 1000000);
    tm local{};
    time_t t = ts.tv_sec;
    if (localtime_r(&t, &local)) {
        w.daylightSaving = local.tm_isdst > 0;
        // tm_gmtoff already holds the daylight saving hour; the offset asked
        // for is that of standard time.
        w.offsetMinutesWest =
            static_cast<int32_t>(-local.tm_gmtoff / 60) + (w.daylightSaving ? 60 : 0);
    }
    return w;
}

} // namespace korvo::os
