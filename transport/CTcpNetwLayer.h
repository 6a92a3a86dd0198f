// The transport over one TCP connection to the printer: the session's lines
// go into the socket as they are, and what arrives is handed over as it is.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/socket.h"
#include "platform/wait.h"
#include "transport/CBytePipeLayer.h"

namespace korvo {

class CTcpNetwLayer : public CBytePipeLayer {
public:
    // The most a Send waits for a peer that does not take the data.
    static constexpr uint32_t kSendTimeLimit = 5000;

    // hostText: a host name or numeric address without brackets and port, as
    // ParseHostAddress leaves it; port 1 to 65535.
    CTcpNetwLayer(std::unique_ptr<char[]> hostText, int32_t port);
    ~CTcpNetwLayer() override;

    CTcpNetwLayer(const CTcpNetwLayer&) = delete;
    CTcpNetwLayer& operator=(const CTcpNetwLayer&) = delete;

    // Resolves the host and connects (blocking), then makes the socket
    // non-blocking. The DNS connect mode decides what happens when the name
    // has several addresses: 0 refuses (-660), 1 tries them in turn, 2 tries
    // the first only.
    int32_t Open() override;
    int32_t Close() override;
    // Writes the whole message; waits for room in the socket's buffer for at
    // most kSendTimeLimit in all. On a connection that has failed, sends
    // nothing and returns the failure's code.
    int32_t Send(const uint8_t* data, uint32_t length) override;
    int32_t Receive(uint8_t* buffer, uint32_t capacity) override;
    // Peeks. A connection that the printer closed (-654) or that broke (the
    // socket error's code: -658 for a reset, else -653) is recorded as failed.
    uint32_t BytesAvailable() override;
    bool HasFailed() override { return failureCode != 0; }
    int32_t GetFailureCode() override { return failureCode; }
    bool SetOption(int32_t optionId, uint32_t value) override;
    int32_t GetOption(int32_t optionId) override;

    const char* HostText() const { return hostText.get(); }
    int32_t Port() const { return port; }
    bool IsOpen() const { return socketHandle != os::kInvalidSocket; }
    // Ready while the socket has bytes to read or the printer has closed it.
    const Waitable* Input() const { return &input; }

private:
    int32_t port;
    uint32_t dnsMode = 0;
    std::unique_ptr<char[]> hostText;
    os::SocketHandle socketHandle = os::kInvalidSocket;
    InputWatch input;
    // Code of a closed or broken connection; 0 while it is fine.
    int32_t failureCode = 0;
};

} // namespace korvo
