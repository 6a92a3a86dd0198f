// A front end of the line protocol (TCP listener, USB pseudo-terminal),
// served by the simulator's one thread: it says what to wait for, takes
// what arrived, and answers. The reading, answering and sending of a peer is
// the same for both; what happens when a peer goes is each one's own.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/poller.h"
#include "sim/serve/LinePeer.h"
#include "sim/serve/LineService.h"

namespace korvo::sim {

class LineFrontEnd {
public:
    explicit LineFrontEnd(LineService& service) : service(service) {}
    virtual ~LineFrontEnd() = default;
    LineFrontEnd(const LineFrontEnd&) = delete;
    LineFrontEnd& operator=(const LineFrontEnd&) = delete;

    // Adds the streams to wait for to items and lowers timeout (-1: none) to
    // when this front end must be looked at again.
    virtual void Watch(std::vector<os::PollItem>& items, uint32_t now, int32_t& timeout) = 0;
    // After the wait, with the items as Watch added them: reads and accepts.
    virtual void Take(const std::vector<os::PollItem>& items) = 0;
    // Answers waiting lines and sends what is due.
    virtual void Serve(uint32_t now) = 0;
    // Closes every stream and removes what it placed in the file system.
    virtual void Close() = 0;

protected:
    void WatchPeer(LinePeer& peer, std::vector<os::PollItem>& items, uint32_t now,
                   int32_t& timeout);
    // Takes the result of the peer's item.
    void TakePeer(LinePeer& peer, const os::PollItem& item);
    void ServePeer(LinePeer& peer, uint32_t now);

    // The peer went away (end of stream, hang-up, failed write).
    virtual void PeerGone(LinePeer& peer) = 0;
    // The printer ends the connection (it restarts).
    virtual void ClosePeer(LinePeer& peer, const char* why) = 0;
    // Whether anyone is there to serve.
    virtual bool Present(const LinePeer& peer) const { return !peer.closed; }
    // The answer just queued ends the connection once it has gone.
    virtual void ClosingAnswerQueued(LinePeer&) {}

    LineService& service;

private:
    // The peer went away: runs what it sent whole, then PeerGone.
    void Gone(LinePeer& peer);
    void ReadPeer(LinePeer& peer);
    void Flush(LinePeer& peer, uint32_t now);
};

} // namespace korvo::sim
