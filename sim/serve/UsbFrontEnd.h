// The USB front end: a pseudo-terminal behind a symlink, which an
// application opens as the printer's virtual COM port. Whoever opens it is
// one connection; when the printer restarts, the device goes away (once the
// last answer has been read) and a new one stands behind the path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pty.h"
#include "sim/serve/LineFrontEnd.h"

namespace korvo::sim {

class UsbFrontEnd : public LineFrontEnd {
public:
    // endpoint: the simulator's number for this front end, for DeviceChanged.
    UsbFrontEnd(LineService& service, std::string path, size_t endpoint)
        : LineFrontEnd(service), path(std::move(path)), endpoint(endpoint) {}
    ~UsbFrontEnd() override { Close(); }

    // Creates the first device. false with a reason.
    bool Open(std::string& error);

    void Watch(std::vector<os::PollItem>& items, uint32_t now, int32_t& timeout) override;
    void Take(const std::vector<os::PollItem>& items) override;
    void Serve(uint32_t now) override;
    void Close() override;

private:
    // The device of a printer that restarted: it stays until the application
    // has read the last answer, while a new device already stands behind the
    // path.
    struct Retiring {
        int master = os::kNoStream;
        int watch = os::kNoStream;
        bool sawUnread = false;
        uint32_t started = 0;
    };

    bool PrepareSuccessor(std::string& error);
    bool Recreate(bool graceful, std::string& error);
    void RetireDevices();
    void Probe();
    void PeerGone(LinePeer& peer) override;
    void ClosePeer(LinePeer& peer, const char* why) override;
    bool Present(const LinePeer& peer) const override { return !hungUp && !peer.closed; }
    void ClosingAnswerQueued(LinePeer& peer) override;

    std::string path;
    size_t endpoint;
    os::PseudoTerminal terminal;
    os::PseudoTerminal successor; // ready while a restart is under way
    LinePeer peer;
    bool hungUp = false;
    uint32_t lastProbe = 0;
    std::vector<Retiring> retiring;
    size_t item = 0; // where Watch put the peer's item; none while hung up
    bool watched = false;
};

} // namespace korvo::sim
