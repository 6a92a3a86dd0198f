// ConnectUSB, ConnectRS232 and ConnectTCP. Every path stores its outcome in
// lastComError; a failed connect leaves nothing behind but that code. Memory
// is taken without exceptions: a failed allocation is -102.
#include "api/ConnectionSetup.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "api/ConnectionTable.h"
#include "korvocomm.h"
#include "platform/socket.h"
#include "platform/spin_lock.h"
#include "protocol/CommandSession.h"
#include "protocol/TextCompare.h"
#include "transport/CCOM_Link.h"
#include "transport/CRS232NetwLayerServ.h"
#include "transport/CTcpNetwLayer.h"
#include "transport/HostAddress.h"
#include "transport/SocketsStarted.h"
#include "trace/WireTrace.h"

namespace korvo {

namespace {


SpinLock g_socketStartLock;

int32_t Fail(int32_t code) {
    lastComError.store(code);
    return 0;
}

// Builds the session on a transport the caller has just created under the
// claimed handle, attaches it and runs the handshake. input is what tells the
// session's waits that the transport has bytes; trace, when there is one,
// records the connection.
int32_t Finish(int32_t handle, INetworkLayer* transport, const Waitable* input,
               std::shared_ptr<WireTrace> trace) {
    ConnectionTable& table = Connections();
    if (!transport) {
        table.ReleaseHandle(handle);
        return Fail(APP_CONNECTION_ERROR);
    }
    CommandSession* session = new (std::nothrow) CommandSession(transport, input);
    if (!session) {
        delete transport;
        table.ReleaseHandle(handle);
        return Fail(APP_CONNECTION_ERROR);
    }
    session->SetTrace(std::move(trace));
    table.AttachSession(handle, session);
    int32_t r = session->Connect();
    lastComError.store(r);
    if (r == 0) return handle;
    table.ReleaseHandle(handle);
    return 0;
}

// The address checked into a fresh text of the address's length plus one.
std::unique_ptr<char[]> ParsedHost(const char* address, int32_t& port, bool& allocated) {
    size_t capacity = std::strlen(address) + 1;
    std::unique_ptr<char[]> text(new (std::nothrow) char[capacity]);
    allocated = text != nullptr;
    if (!text || !ParseHostAddress(address, text.get(), static_cast<uint32_t>(capacity), port)) return nullptr;
    return text;
}

} // namespace

bool IsValidComPortName(const char* name) {
    if (!name || !StartsWithIgnoreCase(name, "COM")) return false;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (name[3] < '1' || name[3] > '9') return false;
    if (!name[4]) return true;
    if (!digit(name[4])) return false;
    if (!name[5]) return true;
    if (!digit(name[5])) return false;
    int number = (name[3] - '0') * 100 + (name[4] - '0') * 10 + (name[5] - '0');
    return number <= 256;
}

int32_t StartSocketLibrary() {
    std::lock_guard<SpinLock> guard(g_socketStartLock);
    int32_t result = 0;
    if (!socketsStarted.load()) {
        uint16_t version = 0;
        if (os::SocketsStartup(version) != 0) {
            result = APP_TCP_SOCKET_INIT_ERROR;
        } else if (version != 0x0202) {
            os::SocketsCleanup(); // the start that did succeed is not kept
            result = APP_TCP_SOCKET_VERSION_ERR;
        } else {
            socketsStarted.store(true);
        }
    }
    return result;
}

void StopSocketLibrary() {
    if (socketsStarted.exchange(false)) os::SocketsCleanup();
}

} // namespace korvo

using namespace korvo;

extern "C" {

KORVO_API int KORVO_CALL ConnectUSB(const char* portName) {
    // The whole name must reach the port; the link would cut a longer one.
    if (!IsValidComPortName(portName) || std::strlen(portName) >= os::kSerialPortNameSize)
        return Fail(APP_INVALID_PORT);
    int32_t handle = Connections().AllocateHandle();
    if (handle == 0) return Fail(APP_MAX_CONNECTION_COUNT);
    CCOM_Link* link = new (std::nothrow) CCOM_Link(portName, CCOM_Link::kDefaultBaudRate);
    return Finish(handle, link, link ? link->Input() : nullptr,
                  WireTrace::Start(handle, "USB %s", portName));
}

KORVO_API int KORVO_CALL ConnectRS232(const char* portName, int speed, int deviceAddress) {
    if (!IsValidComPortName(portName)) return Fail(APP_INVALID_PORT);
    if (speed < kMinimumRs232Speed) return Fail(APP_INVALID_COM_SPEED);
    uint8_t address = static_cast<uint8_t>(deviceAddress & 0xFF);
    if (address < kFirstDeviceAddress) return Fail(APP_INVALID_LINK_ADDRESS);
    int32_t handle = Connections().AllocateHandle();
    if (handle == 0) return Fail(APP_MAX_CONNECTION_COUNT);
    CRS232NetwLayerServ* link = new (std::nothrow) CRS232NetwLayerServ(portName, speed, address);
    std::shared_ptr<WireTrace> trace =
        WireTrace::Start(handle, "RS-232 %s at %d baud, printer address %d", portName, speed, address);
    if (link) link->SetTrace(trace);
    return Finish(handle, link, link ? link->Input() : nullptr, std::move(trace));
}

KORVO_API int KORVO_CALL ConnectTCP(const char* hostAddress) {
    int32_t started = StartSocketLibrary();
    if (started != 0) return Fail(started);
    lastComError.store(0);
    if (!hostAddress || !*hostAddress) return Fail(APP_INVALID_HOST_ADDRESS);

    int32_t port = 0;
    bool allocated = false;
    // Checked before a handle is taken, so a bad address costs no slot.
    if (!ParsedHost(hostAddress, port, allocated)) return Fail(allocated ? APP_INVALID_HOST_ADDRESS : APP_CONNECTION_ERROR);

    int32_t handle = Connections().AllocateHandle();
    if (handle == 0) return Fail(APP_MAX_CONNECTION_COUNT);
    std::unique_ptr<char[]> host = ParsedHost(hostAddress, port, allocated);
    if (!host) {
        Connections().ReleaseHandle(handle);
        return Fail(allocated ? APP_INVALID_HOST_ADDRESS : APP_CONNECTION_ERROR);
    }
    CTcpNetwLayer* link = new (std::nothrow) CTcpNetwLayer(std::move(host), port);
    return Finish(handle, link, link ? link->Input() : nullptr,
                  WireTrace::Start(handle, "TCP %s", hostAddress));
}

} // extern "C"
