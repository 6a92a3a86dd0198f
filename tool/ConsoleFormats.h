// The pieces korvoprog prints on its console lines and writes into its
// response file: time stamps, durations and result texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/wallclock.h"

namespace korvo {

struct LibraryCalls;

struct TimeOfDay {
    int32_t hours;
    int32_t minutes;
    int32_t seconds;
    int32_t milliseconds;
};

// The local time of day of a wall-clock reading: the standard-time offset is
// taken off and an hour added while daylight saving time is in effect.
TimeOfDay LocalTimeOfDay(const os::WallClock& clock);

// "(H:MM:SS,mmm) " with the hours not padded.
void PrintTimeStamp(FILE* out, const os::WallClock& clock);

// " (+ M'SS,mmm\") " for elapsed milliseconds, minutes not reduced; on a line
// of its own when asked.
void PrintDuration(FILE* out, uint32_t elapsedMs, bool onNewLine);

constexpr size_t kResultTextSize = 128;

// A result code as text: its catalogue name when a name is asked for and the
// catalogue has a non-empty one; otherwise decimal for -65535 to 65535 and
// lowercase hexadecimal of the 32-bit value ("0x10000") beyond.
void FormatResultText(const LibraryCalls& library, int32_t code, bool byName,
                      char (&text)[kResultTextSize]);

} // namespace korvo
