#include "api/ReceiptFormat.h"

#include <cstdio>
#include <cstring>

#include "api/ConnectionTable.h"
#include "korvocomm.h"

namespace korvo {

void FormatThousandths(int32_t value, char (&text)[kNumberTextSize]) {
    // The magnitude is taken in unsigned arithmetic: the most negative int32
    // has no positive counterpart, and negating it would overflow.
    uint32_t magnitude =
        value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    std::snprintf(text, sizeof text, "%s%u.%03u", value < 0 ? "-" : "",
                  static_cast<unsigned>(magnitude / 1000u),
                  static_cast<unsigned>(magnitude % 1000u));
}

Thousandths Thousandths::PositiveOrEmpty(int32_t value) {
    return value > 0 ? Thousandths(value) : Thousandths();
}

Field Field::Text(const char* text) {
    Field f(Kind::Text);
    if (text) f.text = text;
    return f;
}

Field Field::Number(int32_t value) {
    Field f(Kind::Digits);
    std::snprintf(f.digits, sizeof f.digits, "%d", static_cast<int>(value));
    return f;
}

Field Field::VatList(const char* const (&amounts)[kVatRates]) {
    Field f(Kind::VatList);
    f.amounts = amounts;
    return f;
}

namespace {

bool WithinLimit(const char* text) {
    return !text || std::strlen(text) <= kReceiptTextLimit;
}

// Appends to the zero-filled parameter buffer. The text limit keeps every
// command far from the end; should it ever be reached, the string is cut
// rather than the buffer overrun.
class ParamWriter {
public:
    void Put(const char* s) {
        while (*s && used + 1 < kReceiptParamsSize)
            buffer[used++] = *s++;
    }
    void Put(char c) {
        if (used + 1 < kReceiptParamsSize) buffer[used++] = c;
    }
    const char* Text() const { return buffer; }

private:
    char buffer[kReceiptParamsSize] = {};
    size_t used = 0;
};

int32_t Fail(int32_t code) {
    lastComError.store(code);
    return code;
}

} // namespace

int32_t ReceiptRequest::Send(int32_t handle, const char* command, bool inRange, const Field* fields,
                             size_t count) {
    // Texts are checked in field order. Every text failure has the same code,
    // so a caller cannot tell it from argument order where the two differ.
    for (size_t i = 0; i < count; ++i) {
        const Field& f = fields[i];
        if (f.kind == Field::Kind::Text && !WithinLimit(f.text))
            return Fail(APP_CMD_PARAM_TOO_LONG);
        if (f.kind == Field::Kind::VatList)
            for (int rate = 0; rate < kVatRates; ++rate)
                if (!WithinLimit(f.amounts[rate])) return Fail(APP_CMD_PARAM_TOO_LONG);
    }
    if (!inRange) return Fail(APP_CMD_PARAM_TOO_LONG);
    if (!command) return Fail(APP_UNKNOWN_COMMAND);

    ParamWriter params;
    for (size_t i = 0; i < count; ++i) {
        const Field& f = fields[i];
        if (i > 0) params.Put('\t');
        switch (f.kind) {
        case Field::Kind::Text:
            params.Put(f.text);
            break;
        case Field::Kind::Digits:
            params.Put(f.digits);
            break;
        case Field::Kind::VatList: {
            bool first = true;
            for (int rate = 0; rate < kVatRates; ++rate) {
                const char* amount = f.amounts[rate];
                if (!amount || !*amount) continue;
                if (!first) params.Put(';');
                params.Put(static_cast<char>('1' + rate));
                params.Put(',');
                params.Put(amount);
                first = false;
            }
            break;
        }
        }
    }
    return ::SendCommand(handle, command, params.Text());
}

} // namespace korvo
