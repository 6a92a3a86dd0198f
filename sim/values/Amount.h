// Money and quantities as the printer reads them: decimal texts with up to
// three decimals, kept as signed counts of thousandths.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvo::sim {

// The largest magnitude accepted: 999 999 999.999.
constexpr int64_t kAmountLimit = INT64_C(999999999999);

// "12", "12.5", "-0.250": an optional minus sign, 1 to 9 digits, optionally a
// dot and 1 to 3 digits. Anything else (empty, blanks, comma, "1.", ".5",
// four decimals) is refused.
bool ParseAmount(const char* text, int64_t& thousandths);

// A whole number of hundredths of a unit.
inline bool IsCents(int64_t thousandths) {
    return thousandths % 10 == 0;
}

// "12.50", "-0.20": two decimals (the value is cut, not rounded).
void FormatMoney(int64_t thousandths, char* out, size_t size);

// "2", "0.5", "1.125": trailing zeros of the decimals dropped.
void FormatQuantity(int64_t thousandths, char* out, size_t size);

// Decimal integer within [low, high]; no sign other than a leading minus,
// no blanks.
bool ParseInteger(const char* text, int64_t low, int64_t high, int64_t& value);

// Rounds a / b to the nearest integer, halves away from zero (b > 0).
int64_t DivideRounded(int64_t a, int64_t b);

} // namespace korvo::sim
