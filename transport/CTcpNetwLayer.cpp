#include "transport/CTcpNetwLayer.h"

#include <cstdio>
#include <utility>

#include "korvocomm.h"
#include "platform/clock.h"
#include "platform/system_errors.h"
#include "transport/SocketErrorMap.h"
#include "transport/SocketsStarted.h"

namespace korvo {

namespace {

// Frees the resolver's list on every way out of Open.
class AddressList {
public:
    explicit AddressList(os::ResolvedAddress* l) : list(l) {}
    ~AddressList() { os::FreeAddressList(list); }
    AddressList(const AddressList&) = delete;
    AddressList& operator=(const AddressList&) = delete;
    const os::ResolvedAddress* First() const { return list; }

private:
    os::ResolvedAddress* list;
};

// The OS layer's one error number is both the socket and the system error.
int32_t ConnectError(int32_t error) {
    return MapSocketError(error, error);
}

// A connection that broke: the socket error's own code where the table has
// one (a reset is -658), else -653; the table's fallback names a failed connect.
int32_t BrokenConnectionCode(int32_t error) {
    int32_t code = ConnectError(error);
    return code == APP_TCP_CONNECT_ERROR ? APP_TCP_CONNECTION_BROKEN : code;
}

constexpr uint32_t kPeekSize = 2048;
constexpr uint32_t kTransferTime = 1500;

} // namespace

CTcpNetwLayer::CTcpNetwLayer(std::unique_ptr<char[]> host, int32_t p)
    : CBytePipeLayer(kTransferTime), port(p), hostText(std::move(host)) {}

CTcpNetwLayer::~CTcpNetwLayer() {
    Close();
}

int32_t CTcpNetwLayer::Open() {
    // Opening again replaces the connection instead of leaking it.
    Close();
    if (!socketsStarted.load(std::memory_order_acquire)) return APP_TCP_SOCKET_INIT_ERROR;
    if (!hostText || !hostText[0]) return APP_TCP_HOST_NOT_FOUND;

    char service[16];
    std::snprintf(service, sizeof service, "%d", static_cast<int>(port));
    os::ResolvedAddress* first = nullptr;
    if (os::ResolveAddress(hostText.get(), service, &first) != 0) return APP_TCP_HOST_NOT_FOUND;
    AddressList list(first);

    if (dnsMode == 0 && os::NextAddress(list.First()) != nullptr) return APP_TCP_MULTIPLE_HOSTS;

    int32_t error = 0;
    for (const os::ResolvedAddress* entry = list.First(); entry; entry = os::NextAddress(entry)) {
        os::SocketHandle s = os::kInvalidSocket;
        if (int32_t created = os::SocketCreate(entry, s)) return ConnectError(created);
        socketHandle = s;
        error = os::SocketConnect(s, entry);
        if (error == 0) break;
        Close();
        if (dnsMode != 1) break;
    }
    if (socketHandle == os::kInvalidSocket) return ConnectError(error);

    // Without non-blocking mode Send and Receive could hang the caller.
    error = os::SocketSetNonBlocking(socketHandle, true);
    if (error != 0) {
        Close();
        return ConnectError(error);
    }
    input.WatchSocket(socketHandle);
    return 0;
}

int32_t CTcpNetwLayer::Close() {
    if (socketHandle != os::kInvalidSocket) {
        input.Stop();
        os::SocketShutdown(socketHandle);
        os::SocketClose(socketHandle);
        socketHandle = os::kInvalidSocket;
    }
    failureCode = 0;
    return 0;
}

int32_t CTcpNetwLayer::Send(const uint8_t* data, uint32_t length) {
    // A request is at most a few kilobytes, but a non-blocking send takes
    // only what fits in the socket's buffer: keep going until all of it is
    // out, waiting while a slow peer makes room.
    // The printer is gone: nothing would arrive, and it must not wait.
    if (failureCode != 0) return failureCode;
    const uint32_t start = TickCount();
    uint32_t sent = 0;
    do {
        uint32_t n = 0;
        int32_t error = os::SocketSend(socketHandle, data + sent, length - sent, n);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (error != 0 && error != os::kWsaEWouldBlock) return APP_CAN_NOT_SEND_DATA;
        if (TickCount() - start >= kSendTimeLimit) return APP_CAN_NOT_SEND_DATA;
        bool writable = false;
        if (os::SocketWaitWritable(socketHandle, 0, writable) != 0 || !writable) SleepMs(1);
    } while (sent < length);
    return 0;
}

int32_t CTcpNetwLayer::Receive(uint8_t* buffer, uint32_t capacity) {
    if (BytesAvailable() == 0) return 0;
    // Nothing fits; a recv of 0 bytes would read as a closed connection.
    if (capacity == 0) return 0;
    uint32_t n = 0;
    if (int32_t error = os::SocketRecv(socketHandle, buffer, capacity, n)) {
        failureCode = BrokenConnectionCode(error);
        return APP_TCP_CONNECTION_BROKEN;
    }
    if (n == 0) {
        failureCode = APP_TCP_CONNECTION_CLOSED;
        return APP_TCP_CONNECTION_CLOSED;
    }
    return static_cast<int32_t>(n);
}

uint32_t CTcpNetwLayer::BytesAvailable() {
    if (socketHandle == os::kInvalidSocket) return 0;
    uint8_t scratch[kPeekSize];
    uint32_t n = 0;
    int32_t error = os::SocketPeek(socketHandle, scratch, kPeekSize - 1, n);
    if (n > 0) return n;
    // A closed connection is no idle one: the session ends its wait at once.
    if (error == 0)
        failureCode = APP_TCP_CONNECTION_CLOSED;
    else if (error != os::kWsaEWouldBlock)
        failureCode = BrokenConnectionCode(error);
    return 0;
}

bool CTcpNetwLayer::SetOption(int32_t optionId, uint32_t value) {
    if (optionId != OPTION_DNS_CONNECT_MODE || value > static_cast<uint32_t>(kMaxDnsConnectMode))
        return false;
    dnsMode = value;
    return true;
}

int32_t CTcpNetwLayer::GetOption(int32_t optionId) {
    return optionId == OPTION_DNS_CONNECT_MODE ? static_cast<int32_t>(dnsMode) : -1;
}

} // namespace korvo
