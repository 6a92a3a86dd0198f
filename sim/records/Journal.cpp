#include "sim/records/Journal.h"

#include <cstdio>
#include <cstring>

#include "sim/values/CivilTime.h"

namespace korvo::sim {

void Journal::Entry(uint32_t connection, char kind, const char* bytes, size_t length, bool escape) {
    int64_t ms = HostLocalMilliseconds();
    CivilTime t = CivilFromSeconds(ms / 1000);
    char head[64];
    std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%03d #%u %c ", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, static_cast<int>(ms % 1000), connection, kind);
    std::string line(head);
    if (escape) {
        AppendEscaped(line, bytes, length);
    } else {
        line.append(bytes, length);
    }
    line += '\n';
    out.Append(line.data(), line.size());
}

void Journal::Request(uint32_t connection, const char* bytes, size_t length) {
    Entry(connection, '>', bytes, length, true);
}

void Journal::Response(uint32_t connection, const char* bytes, size_t length) {
    Entry(connection, '<', bytes, length, true);
}

void Journal::Note(uint32_t connection, const char* text) {
    Entry(connection, '!', text, std::strlen(text), false);
}

} // namespace korvo::sim
