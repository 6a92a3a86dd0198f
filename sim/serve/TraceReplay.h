// korvosim --replay TRACE: the printer's side of a recorded wire trace (see
// trace/WireTrace.h). Every request line is answered with the bytes that the
// trace shows arriving after the same request, in the trace's order, so that
// an exchange recorded in a shop runs again against the application.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/model/Reply.h"

namespace korvo::sim {

class TraceReplay {
public:
    // Reads the trace's request lines and the bytes received after each.
    // false with a reason (the file, or the line that is not a trace line).
    bool Load(const char* path, std::string& error);
    // The same from the text of a trace; origin names it in errors.
    bool Parse(const std::string& text, const std::string& origin, std::string& error);

    // Answers a request line (without its LF) of a connection with the
    // recorded bytes: those of the next exchange of this connection whose
    // request is the same, searched from where the last one left off and
    // then from the start. A length of 0 is a printer that said nothing.
    // note is set when that was not simply the next exchange.
    void Answer(uint32_t connection, const char* line, size_t length, Reply& reply,
                std::string& note);

    size_t Exchanges() const { return exchanges.size(); }

private:
    struct Exchange {
        std::string request; // without its LF
        std::string response;
    };
    std::vector<Exchange> exchanges;
    std::map<uint32_t, size_t> next;
};

} // namespace korvo::sim
