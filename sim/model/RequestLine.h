// One request line split into its fields: "NAME\tREQ[\tfield...]".
#pragma once

#include <cstddef>

namespace korvo::sim {

struct RequestLine {
    static constexpr int kMaxFields = 12;

    const char* name = "";
    const char* marker = nullptr; // none when the line has no TAB
    int fieldCount = 0;           // fields after the marker, up to kMaxFields
    const char* fields[kMaxFields] = {};
    bool tooManyFields = false;
    bool hasNul = false; // a NUL byte inside the line

    // The i-th field, or "" past the last one.
    const char* Field(int i) const { return i < fieldCount ? fields[i] : ""; }
};

// Splits line[0..length) in place (TABs become NUL; line[length] must be
// writable and becomes NUL). "NAME\tREQ\t" carries one empty field.
void SplitRequestLine(char* line, size_t length, RequestLine& out);

} // namespace korvo::sim
