// The wall clock for time stamps meant for people: the current UTC time with
// its milliseconds and the local time zone as it stands now.
#pragma once

#include <cstdint>

namespace korvo::os {

struct WallClock {
    int64_t utcSeconds;        // since 1970-01-01 00:00:00 UTC
    int32_t milliseconds;      // 0 to 999
    int32_t offsetMinutesWest; // standard time offset: UTC minus local standard time
    bool daylightSaving;       // daylight saving time is in effect now
};

WallClock ReadWallClock();

} // namespace korvo::os
