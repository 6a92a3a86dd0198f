// korvod's log: one line a event on standard error, which systemd's journal
// keeps with a time stamp.
#pragma once

#include <cstdio>
#include <string>

namespace korvod {

inline void Log(const std::string& text) {
    std::fprintf(stderr, "korvod: %s\n", text.c_str());
    std::fflush(stderr);
}

} // namespace korvod
