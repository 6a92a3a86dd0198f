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

// A connection that broke: the socket error's own code where the table has
// one (a reset is 658), else 653; the table's fallback names a failed connect.
int32_t BrokenConnectionCode(int32_t socketError, int32_t systemError) {
    int32_t code = MapSocketError(socketError, systemError);
    return code == APP_TCP_CONNECT_ERROR ? APP_TCP_CONNECTION_BROKEN : code;
}

constexpr uint32_t kPeekSize = 2048;
constexpr uint32_t kPurgePiece = 1024;
constexpr uint32_t kMaxDnsMode = 2;

} // namespace

CTcpNetwLayer::CTcpNetwLayer(std::unique_ptr<char[]> host, int32_t p)
    : port(p), hostText(std::move(host)) {}

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

    int32_t socketError = 0;
    int32_t systemError = 0;
    for (const os::ResolvedAddress* entry = list.First(); entry; entry = os::NextAddress(entry)) {
        os::SocketHandle s = os::SocketCreate(entry);
        if (s == os::kInvalidSocket)
            return MapSocketError(os::LastSocketError(), os::LastSystemError());
        socketHandle = s;
        if (os::SocketConnect(s, entry)) break;
        socketError = os::LastSocketError();
        systemError = os::LastSystemError();
        Close();
        if (dnsMode != 1) break;
    }
    if (socketHandle == os::kInvalidSocket) return MapSocketError(socketError, systemError);

    // Without non-blocking mode Send and Receive could hang the caller.
    if (!os::SocketSetNonBlocking(socketHandle, true)) {
        socketError = os::LastSocketError();
        systemError = os::LastSystemError();
        Close();
        return MapSocketError(socketError, systemError);
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
    if (failureCode != 0) return -failureCode;
    const uint32_t start = TickCount();
    uint32_t sent = 0;
    do {
        int32_t n = os::SocketSend(socketHandle, data + sent, length - sent);
        if (n > 0) {
            sent += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && os::LastSocketError() != os::kWsaEWouldBlock) return APP_CAN_NOT_SEND_DATA;
        if (TickCount() - start >= kSendTimeLimit) return APP_CAN_NOT_SEND_DATA;
        if (os::SocketWaitWritable(socketHandle, 0) != 1) SleepMs(1);
    } while (sent < length);
    return 0;
}

int32_t CTcpNetwLayer::Receive(uint8_t* buffer, uint32_t capacity) {
    if (BytesAvailable() == 0) return 0;
    // Nothing fits; a recv of 0 bytes would read as a closed connection.
    if (capacity == 0) return 0;
    int32_t n = os::SocketRecv(socketHandle, buffer, capacity);
    if (n < 0) {
        failureCode = -BrokenConnectionCode(os::LastSocketError(), os::LastSystemError());
        return APP_TCP_CONNECTION_BROKEN;
    }
    if (n == 0) {
        failureCode = -APP_TCP_CONNECTION_CLOSED;
        return APP_TCP_CONNECTION_CLOSED;
    }
    return n;
}

uint32_t CTcpNetwLayer::BytesAvailable() {
    if (socketHandle == os::kInvalidSocket) return 0;
    uint8_t scratch[kPeekSize];
    int32_t n = os::SocketPeek(socketHandle, scratch, kPeekSize - 1);
    if (n > 0) return static_cast<uint32_t>(n);
    // A closed connection is no idle one: the session ends its wait at once.
    if (n == 0)
        failureCode = -APP_TCP_CONNECTION_CLOSED;
    else if (os::LastSocketError() != os::kWsaEWouldBlock)
        failureCode = -BrokenConnectionCode(os::LastSocketError(), os::LastSystemError());
    return 0;
}

void CTcpNetwLayer::PurgeReceive() {
    uint8_t scratch[kPurgePiece];
    while (Receive(scratch, sizeof scratch) > 0) {
    }
}

bool CTcpNetwLayer::SetTransferTime(uint32_t milliseconds) {
    transferTime = milliseconds;
    return true;
}

bool CTcpNetwLayer::SetOption(int32_t optionId, uint32_t value) {
    if (optionId != OPTION_DNS_CONNECT_MODE || value > kMaxDnsMode) return false;
    dnsMode = value;
    return true;
}

int32_t CTcpNetwLayer::GetOption(int32_t optionId) {
    return optionId == OPTION_DNS_CONNECT_MODE ? static_cast<int32_t>(dnsMode) : -1;
}

} // namespace korvo
