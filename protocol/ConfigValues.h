// The four named configuration values: their keys, and the decimal texts in
// which values travel in both directions.
#pragma once

#include <cstdint>

namespace korvo {

enum ConfigKey : int32_t {
    CONFIG_NONE = 0,
    CONFIG_NEXT_CMD_TIME = 1,        // per connection only
    CONFIG_LINK_TRANSFER_TIME = 2,   // process-wide default and per connection
    CONFIG_EXTEND_RESPONSE_TIME = 3, // process-wide default and per connection
    CONFIG_DNS_CONNECT_MODE = 4,     // set process-wide only
};

// The key that equals name without regard to letter case, or CONFIG_NONE.
ConfigKey FindConfigKey(const char* name);

// A decimal number without sign, blanks or any other character. Leading zeros
// do not count against the nine significant digits; zero alone is accepted
// for every key, outside the range as well. 0 and the value stored in target,
// or -109 (malformed) / -113 (out of range) with target unchanged.
int32_t ParseConfigValue(const char* text, int32_t minimum, int32_t maximum, int32_t& target);

// The value as signed decimal into the caller's buffer by the copy-out rule.
int32_t FormatConfigValue(int32_t value, char* buffer, int32_t bufferSize);

} // namespace korvo
