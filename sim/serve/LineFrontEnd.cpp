#include "sim/serve/LineFrontEnd.h"

namespace korvo::sim {

void LineFrontEnd::WatchPeer(LinePeer& peer, std::vector<os::PollItem>& items, uint32_t now,
                             int32_t& timeout) {
    bool room = peer.input.SpaceSize() > 0;
    items.push_back({peer.stream, room, peer.writeBlocked, false, false, false});
    int32_t wait = peer.writeBlocked ? -1 : peer.output.WaitMs(now);
    if (wait >= 0 && (timeout < 0 || wait < timeout)) timeout = wait;
}

void LineFrontEnd::TakePeer(LinePeer& peer, const os::PollItem& item) {
    if (item.writable) peer.writeBlocked = false;
    if (item.readable || item.hangUp) ReadPeer(peer);
}

// A printer reads its stream to the end: what arrived whole before the close
// is executed, though its answers have nowhere to go. The close may show
// first on reading or on writing an answer.
void LineFrontEnd::Gone(LinePeer& peer) {
    const uint32_t now = service.Now();
    do
        peer.output.Clear();
    while (service.HandleNextLine(peer, now));
    PeerGone(peer);
}

void LineFrontEnd::ReadPeer(LinePeer& peer) {
    while (!peer.closed && peer.input.SpaceSize() > 0) {
        int32_t n = os::StreamRead(peer.stream, peer.input.Space(),
                                   static_cast<uint32_t>(peer.input.SpaceSize()));
        if (n == 0) return;
        if (n < 0) {
            Gone(peer);
            return;
        }
        peer.input.Commit(static_cast<size_t>(n));
    }
}

void LineFrontEnd::Flush(LinePeer& peer, uint32_t now) {
    while (!peer.closed && peer.output.Active() && !peer.output.Finished()) {
        size_t size = 0;
        const uint8_t* piece = peer.output.Piece(now, size);
        if (!piece) return;
        int32_t n = size ? os::StreamWrite(peer.stream, piece, static_cast<uint32_t>(size)) : 0;
        if (n < 0) {
            Gone(peer);
            return;
        }
        peer.output.Sent(static_cast<size_t>(n), now);
        if (static_cast<size_t>(n) < size) {
            peer.writeBlocked = true;
            return;
        }
    }
}

void LineFrontEnd::ServePeer(LinePeer& peer, uint32_t now) {
    for (;;) {
        if (!Present(peer)) return;
        if (peer.output.Active()) {
            Flush(peer, now);
            if (!Present(peer)) return;
            if (!peer.output.Finished()) return;
            if (peer.output.ShouldClose()) {
                ClosePeer(peer, "connection closed by the printer");
                return;
            }
            peer.output.Clear();
        }
        if (!service.HandleNextLine(peer, now)) return;
        if (peer.output.Active() && peer.output.ClosesConnection()) ClosingAnswerQueued(peer);
    }
}

} // namespace korvo::sim
