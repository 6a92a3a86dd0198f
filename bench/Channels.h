// The connections that the benchmarks open through the library's exports, on
// a korvosim started with ChannelOptions: TCP, USB on COM7, and RS-232 at 9600
// baud on COM8 and at 115200 baud on COM9.
#pragma once

#include <string>
#include <vector>

#include "BenchKit.h"
#include "korvocomm.h"

namespace korvo::bench {

struct Channel {
    const char* id;    // part of the row ids: "tcp", "rs232.9600"
    const char* title; // "RS-232 9600 baud"
    int (*connect)(const Korvosim& sim);
    bool rs232;
};

inline const Channel kChannels[] = {
    {"tcp", "TCP", [](const Korvosim& sim) { return ConnectTCP(sim.TcpAddress().c_str()); }, false},
    {"usb", "USB", [](const Korvosim&) { return ConnectUSB("COM7"); }, false},
    {"rs232.9600", "RS-232 9600 baud",
     [](const Korvosim&) { return ConnectRS232("COM8", 9600, 2); }, true},
    {"rs232.115200", "RS-232 115200 baud",
     [](const Korvosim&) { return ConnectRS232("COM9", 115200, 2); }, true},
};

inline std::vector<std::string> ChannelOptions(const Korvosim& sim) {
    return {"--tcp",  "127.0.0.1:0", "--usb",   sim.Port(7), "--rs232", sim.Port(8),
            "--baud", "9600",        "--rs232", sim.Port(9), "--baud",  "115200"};
}

} // namespace korvo::bench
