#include "tool/DecimalText.h"

namespace korvo {

int32_t ReadDecimal(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t value = 0;
    const int64_t limit = negative ? INT64_C(2147483648) : INT64_C(2147483647);
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > limit) value = limit; // stays clamped while the digits go on
    }
    return static_cast<int32_t>(negative ? -value : value);
}

} // namespace korvo
