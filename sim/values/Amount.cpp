#include "sim/values/Amount.h"

#include <cinttypes>
#include <cstdio>

namespace korvo::sim {

bool ParseAmount(const char* text, int64_t& thousandths) {
    const char* p = text;
    bool negative = *p == '-';
    if (negative) ++p;
    int64_t whole = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (digits == 9) return false;
        whole = whole * 10 + (*p - '0');
    }
    if (digits == 0) return false;
    int64_t fraction = 0;
    if (*p == '.') {
        ++p;
        int decimals = 0;
        for (; *p >= '0' && *p <= '9'; ++p, ++decimals) {
            if (decimals == 3) return false;
            fraction = fraction * 10 + (*p - '0');
        }
        if (decimals == 0) return false;
        for (; decimals < 3; ++decimals)
            fraction *= 10;
    }
    if (*p) return false;
    int64_t value = whole * 1000 + fraction;
    thousandths = negative ? -value : value;
    return true;
}

void FormatMoney(int64_t thousandths, char* out, size_t size) {
    int64_t magnitude = thousandths < 0 ? -thousandths : thousandths;
    std::snprintf(out, size, "%s%" PRId64 ".%02" PRId64, thousandths < 0 ? "-" : "",
                  magnitude / 1000, (magnitude % 1000) / 10);
}

void FormatQuantity(int64_t thousandths, char* out, size_t size) {
    int64_t magnitude = thousandths < 0 ? -thousandths : thousandths;
    int64_t fraction = magnitude % 1000;
    const char* sign = thousandths < 0 ? "-" : "";
    if (fraction == 0) {
        std::snprintf(out, size, "%s%" PRId64, sign, magnitude / 1000);
        return;
    }
    int decimals = 3;
    while (fraction % 10 == 0) {
        fraction /= 10;
        --decimals;
    }
    std::snprintf(out, size, "%s%" PRId64 ".%0*" PRId64, sign, magnitude / 1000, decimals,
                  fraction);
}

bool ParseInteger(const char* text, int64_t low, int64_t high, int64_t& value) {
    const char* p = text;
    bool negative = *p == '-';
    if (negative) ++p;
    if (!*p) return false;
    int64_t v = 0;
    for (int digits = 0; *p; ++p, ++digits) {
        if (*p < '0' || *p > '9' || digits == 15) return false;
        v = v * 10 + (*p - '0');
    }
    if (negative) v = -v;
    if (v < low || v > high) return false;
    value = v;
    return true;
}

int64_t DivideRounded(int64_t a, int64_t b) {
    int64_t q = a / b;
    int64_t r = a % b;
    if (2 * (r < 0 ? -r : r) >= b) q += a < 0 ? -1 : 1;
    return q;
}

} // namespace korvo::sim
