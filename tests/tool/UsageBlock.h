// korvoprog's closing message with its usage block, as the program prints it,
// for the tests of the main flow and of the program itself.
#pragma once

#include <string>

namespace korvo::test {

inline std::string WithUsage(const std::string& message, const std::string& name) {
    std::string usage =
        "Usage: NAME USB PortName <InputFile> <OutputFile>\n"
        "       or\n"
        "       NAME RS232 PortName CommunicationSpeed DeviceAddress <InputFile> <OutputFile>\n"
        "       or\n"
        "       NAME TCP HostAddress <InputFile> <OutputFile>\n"
        "\n"
        "Example for USB connection - virtual COM6 port\n"
        "       NAME USB COM6 \"CommandFile.csv\" \"ResponseFile.csv\"\n"
        "Example for connection via standard RS-232 COM1 port\n"
        "       NAME RS232 COM1 38400 2 \"CommandFile.csv\" \"ResponseFile.csv\"\n"
        "Example for connection via TCP port to IP address 192.168.1.104 on port 49999\n"
        "       NAME TCP 192.168.1.104:49999 \"CommandFile.csv\" \"ResponseFile.csv\"\n";
    for (size_t at = 0; (at = usage.find("NAME", at)) != std::string::npos; at += name.size())
        usage.replace(at, 4, name);
    return message + "\n" + usage + "\n\n";
}

} // namespace korvo::test
