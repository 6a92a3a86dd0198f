#include "tool/ConsoleFormats.h"

#include "tool/ProgramEnvironment.h"

namespace korvo {

namespace {
int64_t FloorMod(int64_t value, int64_t divisor) {
    int64_t r = value % divisor;
    return r < 0 ? r + divisor : r;
}
int64_t FloorDiv(int64_t value, int64_t divisor) {
    return (value - FloorMod(value, divisor)) / divisor;
}
} // namespace

TimeOfDay LocalTimeOfDay(const os::WallClock& clock) {
    int64_t m = FloorDiv(clock.utcSeconds, 60) - clock.offsetMinutesWest;
    TimeOfDay t{};
    t.hours = static_cast<int32_t>(FloorMod(FloorDiv(m, 60) + (clock.daylightSaving ? 1 : 0), 24));
    t.minutes = static_cast<int32_t>(FloorMod(m, 60));
    t.seconds = static_cast<int32_t>(FloorMod(clock.utcSeconds, 60));
    t.milliseconds = clock.milliseconds;
    return t;
}

void PrintTimeStamp(FILE* out, const os::WallClock& clock) {
    TimeOfDay t = LocalTimeOfDay(clock);
    std::fprintf(out, "(%d:%.2d:%.2d,%.3d) ", t.hours, t.minutes, t.seconds, t.milliseconds);
}

void PrintDuration(FILE* out, uint32_t elapsedMs, bool onNewLine) {
    if (onNewLine) std::fprintf(out, "\n");
    std::fprintf(out, " (+ %u'%.2u,%.3u\") ", elapsedMs / 60000u, (elapsedMs / 1000u) % 60u,
                 elapsedMs % 1000u);
}

void FormatResultText(const LibraryCalls& library, int32_t code, bool byName,
                      char (&text)[kResultTextSize]) {
    if (byName) {
        text[0] = '\0';
        int n = library.GetErrorName(code, text, static_cast<int>(kResultTextSize - 1));
        if (n > 0 && n < static_cast<int>(kResultTextSize - 1)) {
            text[n] = '\0';
            return;
        }
    }
    if (code >= -65535 && code <= 65535)
        std::snprintf(text, kResultTextSize, "%ld", static_cast<long>(code));
    else
        std::snprintf(text, kResultTextSize, "0x%x", static_cast<uint32_t>(code));
}

} // namespace korvo
