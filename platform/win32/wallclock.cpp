#include "platform/wallclock.h"

#include <windows.h>

namespace korvo::os {

WallClock ReadWallClock() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    // 100-ns intervals since 1601-01-01; 11644473600 s lie between 1601 and 1970.
    uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    uint64_t ms = t / 10000u;
    WallClock w{};
    w.utcSeconds = static_cast<int64_t>(ms / 1000u) - INT64_C(11644473600);
    w.milliseconds = static_cast<int32_t>(ms % 1000u);
    TIME_ZONE_INFORMATION tz;
    DWORD id = GetTimeZoneInformation(&tz);
    if (id != TIME_ZONE_ID_INVALID) {
        w.offsetMinutesWest = static_cast<int32_t>(tz.Bias + tz.StandardBias);
        w.daylightSaving = id == TIME_ZONE_ID_DAYLIGHT;
    }
    return w;
}

} // namespace korvo::os
