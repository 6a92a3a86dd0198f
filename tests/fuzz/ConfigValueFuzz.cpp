// Configuration keys and values as callers and configuration files give
// them: the decimal parser on its own, and the set/read-back exports with
// every buffer size.
//
// Input: key TAB value TAB, then a buffer size byte and a range byte.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "korvocomm.h"
#include "protocol/ConfigValues.h"

namespace {

using korvo::fuzz::Fail;

struct Range {
    int32_t minimum, maximum;
};
constexpr Range kRanges[] = {{0, INT32_MAX}, {1, 60000}, {0, 2}, {100, 999999999}};

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

void CheckParse(const std::string& value, const Range& range) {
    const int32_t untouched = -7;
    int32_t target = untouched;
    int32_t r = korvo::ParseConfigValue(value.c_str(), range.minimum, range.maximum, target);
    if (r == 0) {
        if (!AllDigits(value)) Fail("value with other characters than digits accepted");
        if (target != 0 && (target < range.minimum || target > range.maximum))
            Fail("accepted value outside its range");
        if (std::strtoll(value.c_str(), nullptr, 10) != target) Fail("value read wrongly");
    } else if (r == APP_WRONG_CFG_VALUE || r == APP_CFG_VALUE_OUT_OF_RANGE) {
        if (target != untouched) Fail("refused value still stored");
    } else {
        Fail("unexpected result");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvo::fuzz::FuzzInput in(data, size);
    const std::string key = in.TakeUntil('\t');
    const std::string value = in.TakeUntil('\t');
    const int32_t bufferSize = in.TakeByte() % 24;
    const Range& range = kRanges[in.TakeByte() % (sizeof kRanges / sizeof kRanges[0])];

    // Texts end at their first NUL, as they do for a C caller.
    const std::string keyText = key.c_str();
    const std::string valueText = value.c_str();
    CheckParse(valueText, range);

    // The exports and the key table agree on which keys exist.
    const bool known = korvo::FindConfigKey(keyText.c_str()) != korvo::CONFIG_NONE;
    int set = ::SetConfigValue(0, keyText.c_str(), valueText.c_str());
    if ((set == APP_UNKNOWN_CFG_VALUE) == known) Fail("setting a key: known and unknown mixed up");
    std::vector<char> buffer(static_cast<size_t>(bufferSize) + 1, '#');
    int r = ::GetConfigValue(0, keyText.c_str(), buffer.data(), bufferSize);
    if ((r == APP_UNKNOWN_CFG_VALUE) == known) Fail("reading a key: known and unknown mixed up");
    if (buffer[static_cast<size_t>(bufferSize)] != '#') Fail("read-back wrote past its buffer");
    if (r >= 0 && r < bufferSize) {
        std::string text(buffer.data());
        if (static_cast<int>(text.size()) != r) Fail("read-back length differs from its text");
        const std::string digits = text[0] == '-' ? text.substr(1) : text;
        if (!AllDigits(digits)) Fail("read-back is not a decimal number");
    }
    return 0;
}
