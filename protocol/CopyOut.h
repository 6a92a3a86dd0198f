// Hands a text to a caller's buffer, the one way every text leaves the kit.
#pragma once

#include <cstdint>

namespace korvo {

// No buffer gives APP_NO_OUTPUT_BUFFER, a negative size APP_INVALID_BUFFER_LEN.
// Otherwise at most size bytes are written as strncpy writes them: a shorter
// text is padded with NUL bytes up to size, a longer one is cut at size bytes
// without a NUL. Returns the full length of the text, so that size 0 asks for
// the length alone and a result of size or more tells the caller of a cut.
// A null text counts as the empty text.
int32_t CopyOut(const char* text, char* buffer, int32_t size);

// The same for the first length bytes of text, which need not end there.
int32_t CopyOut(const char* text, int32_t length, char* buffer, int32_t size);

} // namespace korvo
