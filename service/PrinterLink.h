// One printer connection through the library's public exports. korvod uses
// the library as any application would: a handle per printer, one thread per
// handle, the result code of every call.
#pragma once

#include <cstdint>
#include <string>

#include "Requests.h"

namespace korvod {

// Where a printer is: tcp:HOST:PORT, usb:COMn or rs232:COMn:SPEED:ADDRESS.
struct PrinterEndpoint {
    enum class Kind { Tcp, Usb, Rs232 };
    Kind kind = Kind::Tcp;
    std::string text;    // as written
    std::string address; // host:port for TCP, the port name (COM3) otherwise
    int speed = 0;
    int deviceAddress = 0;
};

bool ParsePrinterEndpoint(const std::string& text, PrinterEndpoint& endpoint, std::string& why);

class PrinterLink {
public:
    // responseTimeMs other than 0 replaces every command's time limit.
    PrinterLink(PrinterEndpoint endpoint, int responseTimeMs);
    ~PrinterLink();
    PrinterLink(const PrinterLink&) = delete;
    PrinterLink& operator=(const PrinterLink&) = delete;

    // 0, or the library's code for why the connection failed.
    int Connect();
    // Ends the connection; harmless when there is none.
    void Disconnect();
    // Ends a connection whose link failed: aborted first, so that the
    // goodbye to a printer that is gone does not wait out a time limit.
    void Abandon();
    bool Connected() const { return handle > 0; }

    // Sends a command and waits for its answer: the result code (0, a printer
    // code, or a negative library code) and, on success, the response values
    // (Windows-1250, TAB-separated).
    int Send(const std::string& command, const std::string& parameters, std::string& values);
    // The time the last Send took, in milliseconds.
    uint32_t LastDurationMs() const { return lastDurationMs; }

private:
    PrinterEndpoint endpoint;
    int responseTimeMs;
    int handle = 0;
    uint32_t lastDurationMs = 0;
};

// The command catalogue, from the library's head exports.
class LibraryHeads : public CommandHeads {
public:
    bool Find(const std::string& name, std::string& requestHead, std::string& responseHead) const override;
};

// A library code that says the link itself failed (time-out, broken or closed
// connection, port errors), after which the connection is started anew.
// The library's own refusals of a command (unknown, too long) are not among
// them: nothing was sent.
inline bool IsLinkFailure(int code) {
    return code < 0 && code != -401 && code != -402 && code != -404 && code != -405;
}

} // namespace korvod
