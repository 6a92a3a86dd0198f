#include "sim/model/RequestLine.h"

namespace korvo::sim {

void SplitRequestLine(char* line, size_t length, RequestLine& out) {
    out = RequestLine{};
    line[length] = 0;
    out.name = line;
    int position = -1; // -1: name, 0: marker, 1..: fields
    for (size_t i = 0; i < length; ++i) {
        if (line[i] == 0) out.hasNul = true;
        if (line[i] != '\t') continue;
        line[i] = 0;
        const char* next = line + i + 1;
        if (position < 0) {
            out.marker = next;
        } else if (out.fieldCount < RequestLine::kMaxFields) {
            out.fields[out.fieldCount++] = next;
        } else {
            out.tooManyFields = true;
        }
        ++position;
    }
}

} // namespace korvo::sim
