#include "sim/serve/TcpFrontEnd.h"

#include "platform/system_errors.h"
#include "sim/serve/ErrorText.h"
#include "sim/serve/Options.h"

namespace korvo::sim {

bool TcpFrontEnd::Open(const std::string& hostPort, bool allowRemote, std::string& error) {
    std::string host;
    uint16_t port = 0;
    if (!ParseHostPort(hostPort, host, port)) {
        error = "bad --tcp address: " + hostPort;
        return false;
    }
    if (int32_t e = os::ServerListen(host.c_str(), port, allowRemote, listener)) {
        error = host + ": " + ErrorText(e);
        if (e == os::kWsaEAddrNotAvail && !allowRemote)
            error += ", or not a loopback address (see --allow-remote)";
        return false;
    }
    return true;
}

void TcpFrontEnd::Watch(std::vector<os::PollItem>& items, uint32_t now, int32_t& timeout) {
    firstItem = items.size();
    items.push_back({listener.stream, true, false, false, false, false});
    watched.clear();
    for (auto& peer : peers) {
        WatchPeer(*peer, items, now, timeout);
        watched.push_back(peer.get());
    }
}

void TcpFrontEnd::Take(const std::vector<os::PollItem>& items) {
    if (items[firstItem].readable) Accept();
    for (size_t i = 0; i < watched.size(); ++i)
        TakePeer(*watched[i], items[firstItem + 1 + i]);
}

void TcpFrontEnd::Accept() {
    for (;;) {
        int stream = os::ServerAccept(listener.stream);
        if (stream < 0) return;
        if (peers.size() >= kMaxPeers) {
            os::StreamClose(stream);
            continue;
        }
        auto peer = std::make_unique<LinePeer>();
        peer->stream = stream;
        service.NewConnection(*peer);
        service.Note(peer->id, "connected");
        peers.push_back(std::move(peer));
    }
}

void TcpFrontEnd::Serve(uint32_t now) {
    for (auto& peer : peers)
        ServePeer(*peer, now);
    for (auto it = peers.begin(); it != peers.end();)
        it = (*it)->closed ? peers.erase(it) : it + 1;
}

void TcpFrontEnd::PeerGone(LinePeer& peer) {
    service.Note(peer.id, "closed by the peer");
    os::StreamClose(peer.stream);
    peer.stream = os::kNoStream;
    peer.closed = true;
}

void TcpFrontEnd::ClosePeer(LinePeer& peer, const char* why) {
    service.Note(peer.id, why);
    os::StreamClose(peer.stream);
    peer.stream = os::kNoStream;
    peer.closed = true;
}

void TcpFrontEnd::Close() {
    for (auto& peer : peers)
        os::StreamClose(peer->stream);
    peers.clear();
    watched.clear();
    os::StreamClose(listener.stream);
    listener.stream = os::kNoStream;
}

} // namespace korvo::sim
