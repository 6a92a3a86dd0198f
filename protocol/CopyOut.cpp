#include "protocol/CopyOut.h"

#include <cstring>

#include "protocol/ResultCodes.h"

namespace korvo {

int32_t CopyOut(const char* text, char* buffer, int32_t size) {
    const int32_t length = text ? static_cast<int32_t>(std::strlen(text)) : 0;
    return CopyOut(text, length, buffer, size);
}

int32_t CopyOut(const char* text, int32_t length, char* buffer, int32_t size) {
    if (buffer == nullptr) return APP_NO_OUTPUT_BUFFER;
    if (size < 0) return APP_INVALID_BUFFER_LEN;
    if (text == nullptr || length < 0) length = 0;
    const int32_t copied = length < size ? length : size;
    if (copied > 0) std::memcpy(buffer, text, static_cast<size_t>(copied));
    if (size > copied) std::memset(buffer + copied, 0, static_cast<size_t>(size - copied));
    return length;
}

} // namespace korvo
