#include "PrinterLink.h"

#include <chrono>
#include <cstdlib>
#include <mutex>

#include "Amount.h"
#include "korvocomm.h"

namespace korvod {

namespace {

// The library's header promises nothing about two threads connecting or
// disconnecting at the same moment, so korvod's workers take turns there.
std::mutex& HandleTableMutex() {
    static std::mutex mutex;
    return mutex;
}

bool ComPort(const std::string& text) {
    int n = 0;
    return text.size() > 3 && (text[0] == 'C' || text[0] == 'c') && (text[1] == 'O' || text[1] == 'o') &&
           (text[2] == 'M' || text[2] == 'm') && ParseWholeNumber(text.substr(3), 1, 256, n);
}

} // namespace

bool ParsePrinterEndpoint(const std::string& text, PrinterEndpoint& endpoint, std::string& why) {
    endpoint = PrinterEndpoint();
    endpoint.text = text;
    size_t colon = text.find(':');
    std::string kind = text.substr(0, colon);
    std::string rest = colon == std::string::npos ? "" : text.substr(colon + 1);
    if (kind == "tcp") {
        endpoint.kind = PrinterEndpoint::Kind::Tcp;
        size_t port = rest.rfind(':');
        int number = 0;
        bool bracketed = !rest.empty() && rest[0] == '[';
        if (port == std::string::npos || port == 0 || !ParseWholeNumber(rest.substr(port + 1), 1, 65535, number) ||
            (bracketed && rest[port - 1] != ']') ||
            (!bracketed && rest.substr(0, port).find(':') != std::string::npos)) {
            why = "tcp wants HOST:PORT (IPv6 as [ADDRESS]:PORT), not " + rest;
            return false;
        }
        endpoint.address = rest;
        return true;
    }
    if (kind == "usb") {
        endpoint.kind = PrinterEndpoint::Kind::Usb;
        if (!ComPort(rest)) {
            why = "usb wants a port COM1 to COM256, not " + rest;
            return false;
        }
        endpoint.address = rest;
        return true;
    }
    if (kind == "rs232") {
        endpoint.kind = PrinterEndpoint::Kind::Rs232;
        size_t a = rest.find(':');
        size_t b = a == std::string::npos ? a : rest.find(':', a + 1);
        if (b == std::string::npos || !ComPort(rest.substr(0, a)) ||
            !ParseWholeNumber(rest.substr(a + 1, b - a - 1), 9600, 4000000, endpoint.speed) ||
            !ParseWholeNumber(rest.substr(b + 1), 2, 255, endpoint.deviceAddress)) {
            why = "rs232 wants COMn:SPEED:ADDRESS (speed 9600 or more, address 2 to 255), not " + rest;
            return false;
        }
        endpoint.address = rest.substr(0, a);
        return true;
    }
    why = "a printer is tcp:HOST:PORT, usb:COMn or rs232:COMn:SPEED:ADDRESS, not " + text;
    return false;
}

PrinterLink::PrinterLink(PrinterEndpoint endpoint, int responseTimeMs)
    : endpoint(std::move(endpoint)), responseTimeMs(responseTimeMs) {}

PrinterLink::~PrinterLink() { Disconnect(); }

int PrinterLink::Connect() {
    Disconnect();
    std::lock_guard<std::mutex> lock(HandleTableMutex());
    switch (endpoint.kind) {
    case PrinterEndpoint::Kind::Tcp:
        handle = ConnectTCP(endpoint.address.c_str());
        break;
    case PrinterEndpoint::Kind::Usb:
        handle = ConnectUSB(endpoint.address.c_str());
        break;
    case PrinterEndpoint::Kind::Rs232:
        handle = ConnectRS232(endpoint.address.c_str(), endpoint.speed, endpoint.deviceAddress);
        break;
    }
    if (handle > 0) return 0;
    handle = 0;
    // The reason is process-wide and another printer's call may have written
    // it since; then only the generic code is left.
    int reason = GetLastComError(0);
    return reason != 0 ? reason : APP_CONNECTION_ERROR;
}

void PrinterLink::Disconnect() {
    if (handle <= 0) return;
    std::lock_guard<std::mutex> lock(HandleTableMutex());
    ::Disconnect(handle);
    handle = 0;
}

void PrinterLink::Abandon() {
    if (handle > 0) Abort(handle);
    Disconnect();
}

int PrinterLink::Send(const std::string& command, const std::string& parameters, std::string& values) {
    values.clear();
    lastDurationMs = 0;
    if (handle <= 0) return APP_DISCONNECTED;
    if (responseTimeMs > 0) {
        std::string limit = std::to_string(responseTimeMs);
        SetConfigValue(handle, CFG_NEXT_CMD_TIME, limit.c_str());
    }
    auto start = std::chrono::steady_clock::now();
    int code = SendCommand(handle, command.c_str(), parameters.c_str());
    lastDurationMs = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    if (code == 0) {
        char buffer[2500];
        int length = GetLastCommandResponse(handle, buffer, sizeof buffer);
        if (length > 0) values.assign(buffer, static_cast<size_t>(length < 2500 ? length : 2499));
    }
    // A successful updateFirmware ends the connection (the printer restarts):
    // the handle is then only good for Disconnect.
    if (GetLastComError(handle) == APP_DISCONNECTED) Disconnect();
    return code;
}

bool LibraryHeads::Find(const std::string& name, std::string& requestHead, std::string& responseHead) const {
    char buffer[2500];
    // Names beginning with TAB are the library's own handshake commands.
    if (name.empty() || name[0] == '\t') return false;
    int n = GetCommandReqestHead(name.c_str(), buffer, sizeof buffer);
    if (n < 0) return false;
    requestHead.assign(buffer, static_cast<size_t>(n < 2500 ? n : 2499));
    n = GetCommandResponseHead(name.c_str(), buffer, sizeof buffer);
    responseHead.assign(buffer, static_cast<size_t>(n > 0 ? (n < 2500 ? n : 2499) : 0));
    return true;
}

} // namespace korvod
