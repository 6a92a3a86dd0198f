#include "Amount.h"

#include <cstdio>
#include <cstdlib>

namespace korvod {

bool ParseThousandths(const std::string& text, int64_t& value, std::string& why) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    std::string digits; // integer and fraction digits together
    int scale = 0;      // digits after the decimal point
    size_t integerDigits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        digits += text[i++];
        ++integerDigits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            digits += text[i++];
            ++scale;
        }
        if (i == start) {
            why = "is not a decimal number";
            return false;
        }
    }
    if (integerDigits == 0) {
        why = "is not a decimal number";
        return false;
    }
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool minus = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) minus = text[i++] == '-';
        size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (i == start) {
            why = "is not a decimal number";
            return false;
        }
        if (minus) exponent = -exponent;
    }
    if (i != text.size()) {
        why = "is not a decimal number";
        return false;
    }

    // value = digits * 10^(exponent - scale), wanted in thousandths.
    long shift = exponent - scale + 3;
    size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        value = 0;
        return true;
    }
    digits.erase(0, first);
    while (shift < 0) {
        if (digits.back() != '0') {
            why = "has more than three decimals";
            return false;
        }
        digits.pop_back();
        ++shift;
    }
    if (static_cast<long>(digits.size()) + shift > 12) {
        why = "is too large";
        return false;
    }
    digits.append(static_cast<size_t>(shift), '0');
    int64_t magnitude = std::strtoll(digits.c_str(), nullptr, 10);
    if (magnitude > kAmountLimit) {
        why = "is too large";
        return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

bool ParseWholeNumber(const std::string& text, long minimum, long maximum, int& value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < minimum || v > maximum) return false;
    value = static_cast<int>(v);
    return true;
}

std::string FormatThousandths(int64_t value) {
    char text[32];
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::snprintf(text, sizeof text, "%s%llu.%03llu", value < 0 ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 1000),
                  static_cast<unsigned long long>(magnitude % 1000));
    return text;
}

} // namespace korvod
