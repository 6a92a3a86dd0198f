#include "protocol/ConfigValues.h"

#include <cstdio>

#include "protocol/CopyOut.h"
#include "protocol/ResultCodes.h"
#include "protocol/TextCompare.h"

namespace korvo {

ConfigKey FindConfigKey(const char* name) {
    static const char* const kKeys[] = {"next_cmd_time", "link_transfer_time", "extend_response_time",
                                        "dns_connect_mode"};
    for (int32_t i = 0; i < 4; ++i)
        if (EqualsIgnoreCase(kKeys[i], name)) return static_cast<ConfigKey>(i + 1);
    return CONFIG_NONE;
}

int32_t ParseConfigValue(const char* text, int32_t minimum, int32_t maximum, int32_t& target) {
    if (!*text || *text == '-') return APP_WRONG_CFG_VALUE;
    while (*text == '0') ++text;
    int32_t value = 0;
    int digits = 0;
    for (const char* p = text; *p; ++p, ++digits) {
        if (digits >= 9 || *p < '0' || *p > '9') return APP_WRONG_CFG_VALUE;
        value = value * 10 + (*p - '0');
    }
    if (digits == 0) {
        target = 0;
        return 0;
    }
    if (value < minimum || value > maximum) return APP_CFG_VALUE_OUT_OF_RANGE;
    target = value;
    return 0;
}

int32_t FormatConfigValue(int32_t value, char* buffer, int32_t bufferSize) {
    char text[40];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
    return CopyOut(text, buffer, bufferSize);
}

} // namespace korvo
