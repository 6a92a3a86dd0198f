// The fixed table of every command the kit can send to the printer: the short
// name that travels on the wire, the long name applications know it by, the
// response time limit, and the names of its request parameters and response
// values.
#pragma once

#include <cstdint>

namespace korvo {

struct CommandEntry {
    const char* shortName;
    // Long names that begin with TAB ("\tCONNECT", "\tDISCONNECT") belong to
    // the session's own handshake and are never reachable by the short name.
    const char* longName;
    int32_t responseTime;       // ms, the base of the session's time limit
    int32_t secondResponseTime; // ms, carried along but not used
    const char* requestHead;    // TAB-separated parameter names, or nullptr
    const char* responseHead;   // TAB-separated value names, or nullptr
    // A success restarts the printer (a firmware update): the connection is
    // dropped after it.
    bool restartsPrinter = false;
};

constexpr int32_t kCommandCount = 75;

// kCommandCount entries followed by one terminating entry whose names are nullptr.
extern const CommandEntry CommandCatalogue[kCommandCount + 1];

// Index (0 to 74) of the entry whose long name, or short name when the long
// name does not begin with TAB, equals name without regard to ASCII letter
// case; -1 for none, nullptr or an empty name.
int32_t FindCommand(const char* name);

} // namespace korvo
