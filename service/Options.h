// korvod's settings, from the command line and a JSON configuration file
// with the same settings; the command line wins.
#pragma once

#include <string>
#include <vector>

#include "PrinterWorker.h"

namespace korvod {

struct ServiceOptions {
    std::string listenHost = "127.0.0.1";
    int listenPort = 8780;
    std::string db;
    std::string token;
    std::vector<std::string> origins;
    std::vector<PrinterConfig> printers;
    int httpThreads = 16;
    int keepDays = 400;
    bool help = false;
    bool version = false;
};

// false with a message for the user.
bool ParseOptions(int argc, const char* const* argv, ServiceOptions& options, std::string& error);
const char* UsageText();

// 127.0.0.0/8, ::1 and localhost.
bool IsLoopbackHost(const std::string& host);
// HOST:PORT or [IPv6]:PORT; port 0 picks a free one.
bool ParseListen(const std::string& text, std::string& host, int& port);

} // namespace korvod
