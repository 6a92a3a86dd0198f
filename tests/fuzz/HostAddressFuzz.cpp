// Host addresses as callers give them to a TCP connection, and the port
// suffix on its own.
//
// Input: the output capacity byte, then the address text (up to a NUL).
#include <cstring>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "transport/HostAddress.h"

namespace {

using korvo::fuzz::Fail;

void CheckPort(const std::string& text) {
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    const bool hasColon = std::strchr(copy.data(), ':') != nullptr;
    int32_t port = korvo::ParsePort(copy.data());
    if (port != -1 && (port < 1 || port > 65535)) Fail("ParsePort outside 1..65535");
    if (!hasColon && !text.empty() && port != korvo::kDefaultTcpPort) Fail("default port not given");
    if (hasColon && port > 0 && std::strlen(copy.data()) != text.rfind(':')) Fail("port not cut off");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvo::fuzz::FuzzInput in(data, size);
    const uint32_t capacity = 1 + in.TakeByte();
    const std::string text = in.TakeUntil('\0');

    // The output buffer is exactly as large as declared, so that a write
    // beyond it shows.
    std::vector<char> output(capacity, 'x');
    int32_t port = 12345;
    bool ok = korvo::ParseHostAddress(text.c_str(), output.data(), capacity, port);
    if (ok) {
        const size_t length = ::strnlen(output.data(), capacity);
        if (length == 0 || length >= capacity) Fail("accepted host empty or not terminated");
        if (port < 1 || port > 65535) Fail("accepted address without a usable port");
        if (text.find(output.data()) == std::string::npos) Fail("host is not a part of the address");
    } else if (port > 0) {
        Fail("refused address with a port");
    }
    CheckPort(text);
    return 0;
}
