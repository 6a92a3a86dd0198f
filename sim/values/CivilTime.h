// Calendar time of the printer's clock: a local civil date and time counted
// as seconds since 1970-01-01 00:00:00, without a time zone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvo::sim {

struct CivilTime {
    int year, month, day, hour, minute, second;
};

int64_t SecondsFromCivil(const CivilTime& t);
CivilTime CivilFromSeconds(int64_t seconds);

// "2025-03-14T09:26:53", the form of every date the printer reads or reports.
void FormatDateTime(int64_t seconds, char* out, size_t size);
// Accepts that form, also with a blank instead of the T and without the
// seconds; refuses impossible dates and anything before 2000 or after 2099.
bool ParseDateTime(const char* text, int64_t& seconds);

// "2025-03-14", "09:26".
void FormatDate(int64_t seconds, char* out, size_t size);
void FormatTimeOfDay(int64_t seconds, char* out, size_t size);

// The host's local time, in whole seconds and in milliseconds.
int64_t HostLocalSeconds();
int64_t HostLocalMilliseconds();

} // namespace korvo::sim
