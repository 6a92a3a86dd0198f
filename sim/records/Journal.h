// The journal: every request and response line with a time stamp, one entry
// a line, for people and for tests to read back.
//
//   2025-03-14 09:26:53.120 #3 > bFR\tREQ\t1\t0\t
//   2025-03-14 09:26:53.121 #3 < bFR\tRSP\t0\n
//   2025-03-14 09:26:53.121 #3 ! fault chunks 4
//
// '>' is a request line (without its LF), '<' the bytes answered, '!' a note; #n names the
// connection. Control bytes are escaped (\t, \n, \r, \0, \\, \xHH).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/records/AppendFile.h"
#include "sim/records/JournalEscape.h"

namespace korvo::sim {

class Journal {
public:
    // Appends to path from now on; false with a reason.
    bool OpenFile(const char* path, std::string& error) { return out.Open(path, error); }

    void Request(uint32_t connection, const char* bytes, size_t length);
    void Response(uint32_t connection, const char* bytes, size_t length);
    void Note(uint32_t connection, const char* text);

    // Everything journalled since the start (bounded like the paper roll).
    const std::string& Text() const { return out.Text(); }

private:
    void Entry(uint32_t connection, char kind, const char* bytes, size_t length, bool escape);

    AppendFile out;
};

} // namespace korvo::sim
