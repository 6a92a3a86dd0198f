// The TCP front end: a listening socket and the peers it accepted, each a
// connection of its own to the printer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/listener.h"
#include "sim/serve/LineFrontEnd.h"

namespace korvo::sim {

class TcpFrontEnd : public LineFrontEnd {
public:
    // More peers than this at once are closed as they come.
    static constexpr size_t kMaxPeers = 16;

    explicit TcpFrontEnd(LineService& service) : LineFrontEnd(service) {}
    ~TcpFrontEnd() override { Close(); }

    // Listens on "HOST:PORT" (port 0 picks a free one); loopback addresses
    // only unless allowRemote. false with a reason.
    bool Open(const std::string& hostPort, bool allowRemote, std::string& error);
    // The bound numeric address and port.
    const char* Address() const { return listener.address; }
    uint16_t Port() const { return listener.port; }

    void Watch(std::vector<os::PollItem>& items, uint32_t now, int32_t& timeout) override;
    void Take(const std::vector<os::PollItem>& items) override;
    void Serve(uint32_t now) override;
    void Close() override;

private:
    void Accept();
    void PeerGone(LinePeer& peer) override;
    void ClosePeer(LinePeer& peer, const char* why) override;

    os::ListenerInfo listener;
    std::vector<std::unique_ptr<LinePeer>> peers;
    // Where Watch put the listener's item, and the peers it watched.
    size_t firstItem = 0;
    std::vector<LinePeer*> watched;
};

} // namespace korvo::sim
