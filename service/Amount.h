// Amounts and quantities as the printer takes them: decimal text with three
// decimals ("13.280"). They come from JSON strings or number literals and are
// converted digit by digit, never through binary floating point, so "0.1"
// stays exactly 0.100.
#pragma once

#include <cstdint>
#include <string>

namespace korvod {

// The largest magnitude accepted, in thousandths: far beyond any receipt, and
// well inside the printer's int32 thousandths where they matter.
constexpr int64_t kAmountLimit = 999999999999;

// Reads "-12.5", "3", "1.580", "2e1" (the forms of a JSON number; strings take
// the same forms). false with a reason when the text is no such number, has
// more than three decimals or is too large.
bool ParseThousandths(const std::string& text, int64_t& value, std::string& why);

// A whole number of at most nine digits, no sign or blank, within the range.
bool ParseWholeNumber(const std::string& text, long minimum, long maximum, int& value);

// 13280 -> "13.280", -5 -> "-0.005".
std::string FormatThousandths(int64_t value);

} // namespace korvod
