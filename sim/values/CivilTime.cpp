#include "sim/values/CivilTime.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace korvo::sim {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's method).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

bool Digits(const char*& p, int count, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i, ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
    }
    return true;
}

bool Expect(const char*& p, char c) {
    return *p++ == c;
}

} // namespace

int64_t SecondsFromCivil(const CivilTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime CivilFromSeconds(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t doe = days - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    CivilTime t{};
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

void FormatDateTime(int64_t seconds, char* out, size_t size) {
    CivilTime t = CivilFromSeconds(seconds);
    std::snprintf(out, size, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
}

bool ParseDateTime(const char* text, int64_t& seconds) {
    CivilTime t{};
    const char* p = text;
    if (!Digits(p, 4, t.year) || !Expect(p, '-') || !Digits(p, 2, t.month) || !Expect(p, '-') ||
        !Digits(p, 2, t.day))
        return false;
    if (*p != 'T' && *p != ' ') return false;
    ++p;
    if (!Digits(p, 2, t.hour) || !Expect(p, ':') || !Digits(p, 2, t.minute)) return false;
    if (*p == ':') {
        ++p;
        if (!Digits(p, 2, t.second)) return false;
    }
    if (*p) return false;
    if (t.year < 2000 || t.year > 2099 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59)
        return false;
    seconds = SecondsFromCivil(t);
    return true;
}

void FormatDate(int64_t seconds, char* out, size_t size) {
    CivilTime t = CivilFromSeconds(seconds);
    std::snprintf(out, size, "%04d-%02d-%02d", t.year, t.month, t.day);
}

void FormatTimeOfDay(int64_t seconds, char* out, size_t size) {
    CivilTime t = CivilFromSeconds(seconds);
    std::snprintf(out, size, "%02d:%02d", t.hour, t.minute);
}

int64_t HostLocalMilliseconds() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t whole = system_clock::to_time_t(now);
    int64_t ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    {
        // localtime shares one result buffer; simulators may run side by side.
        static std::mutex guard;
        std::lock_guard<std::mutex> lock(guard);
        if (const std::tm* l = std::localtime(&whole)) local = *l;
    }
    CivilTime t{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour,        local.tm_min,     local.tm_sec};
    return SecondsFromCivil(t) * 1000 + (ms < 0 ? 0 : ms);
}

int64_t HostLocalSeconds() {
    return HostLocalMilliseconds() / 1000;
}

} // namespace korvo::sim
