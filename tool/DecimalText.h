// Numbers typed by people on the command line and in the configuration file.
#pragma once

#include <cstdint>

namespace korvo {

// The decimal number at the start of text, read the way atoi reads it:
// leading blanks and one sign allowed, reading stops at the first non-digit,
// no digits give 0. Values beyond the int32 range are clamped to it.
int32_t ReadDecimal(const char* text);

} // namespace korvo
