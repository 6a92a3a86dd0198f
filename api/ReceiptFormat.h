// How a receipt export turns its typed arguments into one printer command:
// the fields of the parameter string, the amount format, and the one order of
// work (text limits, ranges, type, parameter string, SendCommand) that every
// receipt and payment export follows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvo {

// Every text argument of a receipt export is at most this many bytes.
constexpr size_t kReceiptTextLimit = 80;
// The parameter string buffer; the text limit keeps every command far below it.
constexpr size_t kReceiptParamsSize = 1280;
// Room for the longest amount, "-2147483.648", or number, "-2147483648".
constexpr size_t kNumberTextSize = 16;

// An int32 count of thousandths as "1.250", "0.007", "-1.500": no rounding,
// no grouping, always "." and three decimals. Every int32 has a text.
void FormatThousandths(int32_t value, char (&text)[kNumberTextSize]);

// An amount formatted for a Num export, to be handed on as a text.
struct Thousandths {
    explicit Thousandths(int32_t value) { FormatThousandths(value, text); }
    // Positive amounts only; 0 and negative ones leave their field empty.
    static Thousandths PositiveOrEmpty(int32_t value);

    char text[kNumberTextSize];

private:
    Thousandths() : text{} {}
};

// The number of VAT rates of the printer, and of amounts in a package adjustment.
constexpr int kVatRates = 7;

// One field of a parameter string.
class Field {
public:
    // A caller's text, checked against the text limit; none is the empty text.
    static Field Text(const char* text);
    // Signed decimal, not checked.
    static Field Number(int32_t value);
    static Field Empty() { return Field(Kind::Digits); }
    // "i,amount" for each non-empty amount i = 1..7, joined by ";". Every
    // amount is checked against the text limit; the list itself is not.
    static Field VatList(const char* const (&amounts)[kVatRates]);

private:
    enum class Kind { Text, Digits, VatList };
    explicit Field(Kind kind) : kind(kind) {}

    friend class ReceiptRequest;
    Kind kind;
    const char* text = "";
    const char* const* amounts = nullptr;
    char digits[kNumberTextSize] = {};
};

// The order of work of a receipt export:
//   1. every text over the limit: -405,
//   2. a numeric argument out of its range: -405,
//   3. a type argument that chose no command (command none): -401,
//   4. the fields joined by TAB, then SendCommand.
// A local failure is stored in lastComError and sends nothing, so the
// connection keeps its last command, response and status. The handle is
// examined only by SendCommand, after all local checks.
class ReceiptRequest {
public:
    template <size_t N>
    static int32_t Send(int32_t handle, const char* command, bool inRange,
                        const Field (&fields)[N]) {
        return Send(handle, command, inRange, fields, N);
    }

private:
    static int32_t Send(int32_t handle, const char* command, bool inRange, const Field* fields,
                        size_t count);
};

} // namespace korvo
