#include "sim/serve/UsbFrontEnd.h"

#include "platform/clock.h"
#include "sim/serve/Terminal.h"

namespace korvo::sim {

namespace {

// A restarting printer's USB device disappears only after the application
// has read the last answer (or after a short while when that cannot be seen,
// and at most after the longer time). Counted on the system's own clock.
constexpr uint32_t kRestartGraceMs = 300;
constexpr uint32_t kRestartLimitMs = 2000;
constexpr int32_t kRetiringPollMs = 5;

void LowerTo(int32_t& timeout, int32_t ms) {
    if (timeout < 0 || timeout > ms) timeout = ms;
}

} // namespace

bool UsbFrontEnd::Open(std::string& error) {
    return Recreate(false, error);
}

// A fresh pseudo-terminal behind the symlink, made ready before the last
// answer of the old one goes out: an application that reopens the port as
// soon as it has that answer finds the new device.
bool UsbFrontEnd::PrepareSuccessor(std::string& error) {
    if (successor.master != os::kNoStream) return true;
    if (!OpenTerminal(successor, path, error)) return false;
    service.DeviceChanged(endpoint, successor.slavePath);
    return true;
}

// Moves to the successor. Whoever held the old device sees it go away, as
// when a printer on USB restarts; with graceful set that happens only once
// the last answer has been read.
bool UsbFrontEnd::Recreate(bool graceful, std::string& error) {
    if (!PrepareSuccessor(error)) return false;
    if (terminal.master != os::kNoStream) {
        Retiring old;
        old.master = terminal.master;
        old.watch = graceful ? os::OpenSlaveWatch(terminal.slavePath) : os::kNoStream;
        old.started = os::SystemTickCount() - (graceful ? 0 : kRestartLimitMs);
        retiring.push_back(old);
        RetireDevices();
    }
    terminal = successor;
    successor = os::PseudoTerminal{};
    peer.Reset();
    peer.stream = terminal.master;
    service.NewConnection(peer);
    hungUp = false;
    return true;
}

// Written bytes reach the slave's queue a moment later, so an empty queue
// tells that they were read only once they have been seen there.
void UsbFrontEnd::RetireDevices() {
    for (auto it = retiring.begin(); it != retiring.end();) {
        uint32_t elapsed = os::SystemTickCount() - it->started;
        int unread = it->watch >= 0 ? os::UnreadBytes(it->watch) : -1;
        if (unread > 0) it->sawUnread = true;
        bool read = (it->sawUnread && unread == 0) || elapsed >= kRestartGraceMs;
        if (!read && elapsed < kRestartLimitMs) {
            ++it;
            continue;
        }
        os::StreamClose(it->watch);
        os::StreamClose(it->master);
        it = retiring.erase(it);
    }
}

void UsbFrontEnd::Watch(std::vector<os::PollItem>& items, uint32_t now, int32_t& timeout) {
    watched = !hungUp;
    if (watched) {
        item = items.size();
        WatchPeer(peer, items, now, timeout);
    } else {
        LowerTo(timeout, kHungUpProbeMs);
    }
    if (!retiring.empty()) LowerTo(timeout, kRetiringPollMs);
}

void UsbFrontEnd::Take(const std::vector<os::PollItem>& items) {
    if (watched) TakePeer(peer, items[item]);
}

void UsbFrontEnd::Serve(uint32_t now) {
    RetireDevices();
    if (hungUp) Probe();
    ServePeer(peer, now);
}

// Counted on the system's clock: the opener's coming is no matter of the
// simulated time.
void UsbFrontEnd::Probe() {
    uint32_t now = os::SystemTickCount();
    if (static_cast<uint32_t>(now - lastProbe) < static_cast<uint32_t>(kHungUpProbeMs)) return;
    lastProbe = now;
    os::PollItem probe{terminal.master, true, false, false, false, false};
    if (os::PollStreams(&probe, 1, 0) < 0 || probe.hangUp) return;
    hungUp = false;
    service.NewConnection(peer);
    service.Note(peer.id, "connected");
}

void UsbFrontEnd::PeerGone(LinePeer&) {
    service.Note(peer.id, "closed by the peer");
    // The opener closed the device; the next one is a new connection.
    peer.Reset();
    hungUp = true;
    lastProbe = os::SystemTickCount();
}

void UsbFrontEnd::ClosePeer(LinePeer&, const char* why) {
    service.Note(peer.id, why);
    std::string error;
    if (!Recreate(!hungUp, error)) service.Note(peer.id, error.c_str());
}

void UsbFrontEnd::ClosingAnswerQueued(LinePeer&) {
    std::string error;
    if (!PrepareSuccessor(error)) service.Note(peer.id, error.c_str());
}

void UsbFrontEnd::Close() {
    os::StreamClose(terminal.master);
    os::RemoveSymlink(path.c_str(), terminal.slavePath);
    terminal = os::PseudoTerminal{};
    os::StreamClose(successor.master);
    os::RemoveSymlink(path.c_str(), successor.slavePath);
    successor = os::PseudoTerminal{};
    for (Retiring& old : retiring) {
        os::StreamClose(old.watch);
        os::StreamClose(old.master);
    }
    retiring.clear();
}

} // namespace korvo::sim
