#include "sim/Simulator.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"
#include "platform/listener.h"
#include "platform/poller.h"
#include "platform/pty.h"
#include "platform/signals.h"
#include "platform/stream.h"
#include "sim/FaultDelivery.h"
#include "sim/LineAssembler.h"
#include "sim/ModelStation.h"
#include "sim/Options.h"
#include "sim/Outgoing.h"
#include "sim/StateFile.h"

namespace korvo::sim {

namespace {

constexpr int kPeersPerListener = 16;
// A pseudo-terminal whose opener has gone is looked at this often for the next one.
constexpr int32_t kProbeMs = 20;
// The longest single wait while answers are scheduled: the clock may be a
// test clock that other threads move on.
constexpr int32_t kScheduledWaitCap = 50;
// A restarting printer's USB device disappears only after the application
// has read the last answer (or after a short while when that cannot be seen,
// and at most after the longer time). Counted on the system's own clock.
constexpr uint32_t kRestartGraceMs = 300;
constexpr uint32_t kRestartLimitMs = 2000;
constexpr int32_t kRetiringPollMs = 5;

} // namespace

struct Simulator::Listener {
    os::ListenerInfo info;
    int peers = 0;
};

struct Simulator::Peer {
    int stream = os::kNoStream;
    uint32_t id = 0;
    Listener* listener = nullptr; // TCP
    Pty* pty = nullptr;           // USB
    bool closed = false;
    bool writeBlocked = false;
    LineAssembler input;
    Outgoing output;

    void Reset() {
        input.Reset();
        output.Clear();
        writeBlocked = false;
    }
};

struct Simulator::Pty {
    std::string path;
    size_t endpoint = 0;
    os::PseudoTerminal terminal;
    os::PseudoTerminal successor; // ready while a restart is under way
    Peer peer;
    bool hungUp = false;
    uint32_t lastProbe = 0;
};

struct Simulator::Station {
    explicit Station(Simulator& s, const Rs232Options& o) : model(s), frontEnd(o, model) {}
    ModelStation model;
    Rs232FrontEnd frontEnd;
};

// The device of a printer that restarted: it stays until the application has
// read the last answer, while a new device already stands behind the path.
struct Simulator::Retiring {
    int master = os::kNoStream;
    int watch = os::kNoStream;
    bool sawUnread = false;
    uint32_t started = 0;
};

std::string Endpoint::Describe() const {
    if (kind == Kind::Usb) return "usb " + path + " -> " + device;
    if (kind == Kind::Rs232) return "rs232 " + path + " -> " + device + " " + details;
    bool v6 = address.find(':') != std::string::npos;
    return "tcp " + (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

Simulator::Simulator(SimulatorOptions o) : options(std::move(o)), speed(options.speed) {}

Simulator::~Simulator() {
    Stop();
}

std::vector<Endpoint> Simulator::Endpoints() {
    std::lock_guard<std::mutex> lock(mutex);
    return endpoints;
}

uint16_t Simulator::TcpPort() {
    std::lock_guard<std::mutex> lock(mutex);
    for (const Endpoint& e : endpoints)
        if (e.kind == Endpoint::Kind::Tcp) return e.port;
    return 0;
}

bool Simulator::Start(std::string& error) {
    if (running) return true;
    char reason[512] = "";
    if (!options.stateFile.empty() &&
        !LoadState(model, options.stateFile.c_str(), reason, sizeof reason)) {
        error = reason;
        return false;
    }
    if (!options.paperFile.empty() &&
        !model.Paper().OpenFile(options.paperFile.c_str(), reason, sizeof reason)) {
        error = reason;
        return false;
    }
    if (!options.journalFile.empty() &&
        !journal.OpenFile(options.journalFile.c_str(), reason, sizeof reason)) {
        error = reason;
        return false;
    }
    if (!options.replayFile.empty()) {
        replay = std::make_unique<TraceReplay>();
        if (!replay->Load(options.replayFile.c_str(), error)) return false;
    }
    if (!options.faultsFile.empty() &&
        !faults.LoadFile(options.faultsFile.c_str(), reason, sizeof reason)) {
        error = reason;
        return false;
    }
    wake = std::make_unique<os::WakeHandle>();
    if (!wake->Open()) {
        error = "cannot create the wake-up pipe";
        return false;
    }
    bool ok = true;
    for (const std::string& hostPort : options.tcp)
        ok = ok && OpenTcp(hostPort, error);
    for (const std::string& path : options.usb)
        ok = ok && OpenUsb(path, error);
    for (const Rs232Options& rs232 : options.rs232)
        ok = ok && OpenRs232(rs232, error);
    running = true; // from here on Stop() undoes what was opened
    if (!ok) {
        Stop();
        return false;
    }
    stopping = false;
    thread = std::thread([this] { Loop(); });
    return true;
}

bool Simulator::OpenTcp(const std::string& hostPort, std::string& error) {
    std::string host;
    uint16_t port = 0;
    if (!ParseHostPort(hostPort, host, port)) {
        error = "bad --tcp address: " + hostPort;
        return false;
    }
    auto listener = std::make_unique<Listener>();
    char reason[256];
    if (!os::ServerListen(host.c_str(), port, options.allowRemote, listener->info, reason,
                          sizeof reason)) {
        error = reason;
        return false;
    }
    Endpoint e{Endpoint::Kind::Tcp, listener->info.address, listener->info.port, "", "", ""};
    endpoints.push_back(e);
    listeners.push_back(std::move(listener));
    return true;
}

bool Simulator::OpenUsb(const std::string& path, std::string& error) {
    auto pty = std::make_unique<Pty>();
    pty->path = path;
    pty->endpoint = endpoints.size();
    endpoints.push_back(Endpoint{Endpoint::Kind::Usb, "", 0, path, "", ""});
    Pty& p = *pty;
    ptys.push_back(std::move(pty));
    return RecreatePty(p, false, error);
}

// A fresh pseudo-terminal behind the symlink, made ready before the last
// answer of the old one goes out: an application that reopens the port as
// soon as it has that answer finds the new device.
bool Simulator::PrepareSuccessor(Pty& pty, std::string& error) {
    if (pty.successor.master != os::kNoStream) return true;
    os::PseudoTerminal fresh;
    char reason[256];
    if (!os::OpenPseudoTerminal(fresh, reason, sizeof reason) ||
        !os::PlaceSymlink(fresh.slavePath, pty.path.c_str(), reason, sizeof reason)) {
        os::StreamClose(fresh.master);
        error = reason;
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    endpoints[pty.endpoint].device = fresh.slavePath;
    pty.successor = fresh;
    return true;
}

// Moves to the successor. Whoever held the old device sees it go away, as
// when a printer on USB restarts; with graceful set that happens only once
// the last answer has been read.
bool Simulator::RecreatePty(Pty& pty, bool graceful, std::string& error) {
    if (!PrepareSuccessor(pty, error)) return false;
    if (pty.terminal.master != os::kNoStream) {
        Retiring old;
        old.master = pty.terminal.master;
        old.watch = graceful ? os::OpenSlaveWatch(pty.terminal.slavePath) : os::kNoStream;
        old.started = os::SystemTickCount() - (graceful ? 0 : kRestartLimitMs);
        retiring.push_back(old);
        RetireDevices();
    }
    pty.terminal = pty.successor;
    pty.successor = os::PseudoTerminal{};
    pty.peer.Reset();
    pty.peer.stream = pty.terminal.master;
    pty.peer.pty = &pty;
    pty.peer.id = nextConnection++;
    pty.hungUp = false;
    return true;
}

bool Simulator::OpenRs232(const Rs232Options& rs232, std::string& error) {
    auto station = std::make_unique<Station>(*this, rs232);
    if (!station->frontEnd.Start(error)) return false;
    Endpoint e{Endpoint::Kind::Rs232, "", 0, rs232.path, station->frontEnd.Device(), ""};
    e.details = "address " + std::to_string(rs232.address) + " at " +
                std::to_string(rs232.baudRate) + " baud" + (rs232.throttle ? " (throttled)" : "");
    {
        std::lock_guard<std::mutex> lock(mutex);
        endpoints.push_back(e);
    }
    stations.push_back(std::move(station));
    return true;
}

Rs232FrontEnd* Simulator::Rs232(size_t index) {
    return index < stations.size() ? &stations[index]->frontEnd : nullptr;
}

// Written bytes reach the slave's queue a moment later, so an empty queue
// tells that they were read only once they have been seen there.
void Simulator::RetireDevices() {
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

void Simulator::Wake() {
    if (wake) wake->Signal();
}

void Simulator::Stop() {
    if (!running) return;
    stopping = true;
    Wake();
    if (thread.joinable()) thread.join();
    // The stations answer through the model: stopped first.
    for (auto& station : stations)
        station->frontEnd.Stop();
    stations.clear();
    for (auto& peer : peers)
        os::StreamClose(peer->stream);
    peers.clear();
    for (auto& listener : listeners)
        os::StreamClose(listener->info.stream);
    listeners.clear();
    for (auto& pty : ptys) {
        os::StreamClose(pty->terminal.master);
        os::RemoveSymlink(pty->path.c_str(), pty->terminal.slavePath);
        os::StreamClose(pty->successor.master);
        os::RemoveSymlink(pty->path.c_str(), pty->successor.slavePath);
    }
    ptys.clear();
    for (Retiring& old : retiring) {
        os::StreamClose(old.watch);
        os::StreamClose(old.master);
    }
    retiring.clear();
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!options.stateFile.empty()) {
            char reason[512];
            if (!SaveState(model, options.stateFile.c_str(), reason, sizeof reason))
                std::fprintf(stderr, "korvosim: %s\n", reason);
        }
    }
    running = false;
}

void Simulator::WatchStopSignals() {
    os::CatchStopSignals(wake.get());
    watchSignals = true;
    Wake();
}

void Simulator::WaitForStopSignal() {
    if (thread.joinable()) thread.join();
    Stop();
}

bool Simulator::AddFault(const char* rule, std::string& error) {
    FaultRule parsed;
    char reason[256];
    if (!FaultPlan::ParseRule(rule, parsed, reason, sizeof reason)) {
        error = reason;
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (!faults.Add(parsed)) {
        error = "too many fault rules";
        return false;
    }
    return true;
}

void Simulator::ClearFaults() {
    std::lock_guard<std::mutex> lock(mutex);
    faults.Clear();
}

void Simulator::SetSpeed(double factor) {
    std::lock_guard<std::mutex> lock(mutex);
    speed = factor < 0 ? 0 : factor;
}

std::string Simulator::PaperText() {
    std::lock_guard<std::mutex> lock(mutex);
    return model.Paper().Text();
}

std::string Simulator::JournalText() {
    std::lock_guard<std::mutex> lock(mutex);
    return journal.Text();
}

uint32_t Simulator::NewConnectionId() {
    return nextConnection++;
}

void Simulator::Exchange(uint32_t connection, char* line, size_t length, Reply& reply) {
    std::lock_guard<std::mutex> lock(mutex);
    journal.Request(connection, line, length);
    Answer(connection, line, length, reply);
    journal.Response(connection, reply.text, reply.length);
    SaveStateIfChanged();
}

void Simulator::Answer(uint32_t connection, char* line, size_t length, Reply& reply) {
    if (!replay) {
        model.Handle(connection, line, length, reply);
        return;
    }
    std::string note;
    replay->Answer(connection, line, length, reply, note);
    if (note.empty()) return;
    journal.Note(connection, note.c_str());
    std::fprintf(stderr, "korvosim: #%u %s\n", static_cast<unsigned>(connection), note.c_str());
}

void Simulator::SaveStateIfChanged() {
    if (!model.TakeChanged() || options.stateFile.empty()) return;
    char reason[512];
    if (!SaveState(model, options.stateFile.c_str(), reason, sizeof reason))
        journal.Note(0, reason);
}

uint32_t Simulator::DueTime(const Reply& reply, uint32_t now) const {
    return now + static_cast<uint32_t>(reply.workMs * speed);
}

void Simulator::AcceptPeers(Listener& listener) {
    for (;;) {
        int stream = os::ServerAccept(listener.info.stream);
        if (stream < 0) return;
        if (listener.peers >= kPeersPerListener) {
            os::StreamClose(stream);
            continue;
        }
        auto peer = std::make_unique<Peer>();
        peer->stream = stream;
        peer->listener = &listener;
        peer->id = nextConnection++;
        ++listener.peers;
        {
            std::lock_guard<std::mutex> lock(mutex);
            journal.Note(peer->id, "connected");
        }
        peers.push_back(std::move(peer));
    }
}

void Simulator::PeerGone(Peer& peer) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        journal.Note(peer.id, "closed by the peer");
    }
    if (peer.pty) {
        // The opener closed the device; the next one is a new connection.
        peer.Reset();
        peer.pty->hungUp = true;
        peer.pty->lastProbe = os::SystemTickCount();
        return;
    }
    os::StreamClose(peer.stream);
    peer.stream = os::kNoStream;
    peer.closed = true;
}

void Simulator::ClosePeer(Peer& peer, const char* why) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        journal.Note(peer.id, why);
    }
    if (peer.pty) {
        std::string error;
        if (!RecreatePty(*peer.pty, !peer.pty->hungUp, error)) {
            std::lock_guard<std::mutex> lock(mutex);
            journal.Note(peer.id, error.c_str());
        }
        return;
    }
    os::StreamClose(peer.stream);
    peer.stream = os::kNoStream;
    peer.closed = true;
}

// Counted on the system's clock: the opener's coming is no matter of the
// simulated time.
void Simulator::ProbePty(Pty& pty) {
    uint32_t now = os::SystemTickCount();
    if (static_cast<uint32_t>(now - pty.lastProbe) < static_cast<uint32_t>(kProbeMs)) return;
    pty.lastProbe = now;
    os::PollItem item{pty.terminal.master, true, false, false, false, false};
    if (os::PollStreams(&item, 1, 0) < 0 || item.hangUp) return;
    pty.hungUp = false;
    pty.peer.id = nextConnection++;
    std::lock_guard<std::mutex> lock(mutex);
    journal.Note(pty.peer.id, "connected");
}

void Simulator::ReadPeer(Peer& peer) {
    while (!peer.closed && peer.input.SpaceSize() > 0) {
        int32_t n = os::StreamRead(peer.stream, peer.input.Space(),
                                   static_cast<uint32_t>(peer.input.SpaceSize()));
        if (n == 0) return;
        if (n < 0) {
            PeerGone(peer);
            return;
        }
        peer.input.Commit(static_cast<size_t>(n));
    }
}

bool Simulator::HandleNextLine(Peer& peer, uint32_t now) {
    char* line = nullptr;
    size_t length = 0;
    LineAssembler::Event event = peer.input.Next(line, length);
    if (event == LineAssembler::Event::None) return false;

    std::lock_guard<std::mutex> lock(mutex);
    Reply reply;
    if (event == LineAssembler::Event::TooLong) {
        journal.Request(peer.id, line, length);
        journal.Note(peer.id, "request line too long, rest dropped");
        PrinterModel::AnswerTooLong(line, length, reply);
        PlanDelivery(reply, FaultAction{}, DueTime(reply, now), peer.output);
        journal.Response(peer.id, reply.text, reply.length);
        return true;
    }
    if (length == 0) return true; // an empty line is no request

    journal.Request(peer.id, line, length);
    char name[40];
    PrinterModel::EchoName(line, length, name, sizeof name);
    FaultAction fault = faults.Take(name);
    if (fault.kind != FaultKind::None) {
        char text[80], note[96];
        FaultPlan::Describe(fault, text, sizeof text);
        std::snprintf(note, sizeof note, "fault %s", text);
        journal.Note(peer.id, note);
    }
    if (fault.kind == FaultKind::Silent) return true;
    if (fault.kind == FaultKind::Code) {
        PrinterModel::AnswerCode(name, static_cast<int32_t>(fault.value), reply);
    } else {
        Answer(peer.id, line, length, reply);
        SaveStateIfChanged();
        // A replayed printer that said nothing.
        if (reply.length == 0) return true;
    }
    PlanDelivery(reply, fault, DueTime(reply, now), peer.output);
    // The journal shows what goes out, faults included.
    size_t planned = 0;
    const char* bytes = peer.output.Planned(planned);
    journal.Response(peer.id, bytes, planned);
    return true;
}

void Simulator::Flush(Peer& peer, uint32_t now) {
    while (!peer.closed && peer.output.Active() && !peer.output.Finished()) {
        size_t size = 0;
        const uint8_t* piece = peer.output.Piece(now, size);
        if (!piece) return;
        int32_t n = size ? os::StreamWrite(peer.stream, piece, static_cast<uint32_t>(size)) : 0;
        if (n < 0) {
            PeerGone(peer);
            return;
        }
        peer.output.Sent(static_cast<size_t>(n), now);
        if (static_cast<size_t>(n) < size) {
            peer.writeBlocked = true;
            return;
        }
    }
}

void Simulator::ServicePeer(Peer& peer, uint32_t now) {
    for (;;) {
        if (peer.closed || (peer.pty && peer.pty->hungUp)) return;
        if (peer.output.Active()) {
            Flush(peer, now);
            if (peer.closed || (peer.pty && peer.pty->hungUp)) return;
            if (!peer.output.Finished()) return;
            if (peer.output.ShouldClose()) {
                ClosePeer(peer, "connection closed by the printer");
                return;
            }
            peer.output.Clear();
        }
        if (!HandleNextLine(peer, now)) return;
        if (peer.pty && peer.output.Active() && peer.output.ClosesConnection()) {
            std::string error;
            if (!PrepareSuccessor(*peer.pty, error)) {
                std::lock_guard<std::mutex> lock(mutex);
                journal.Note(peer.id, error.c_str());
            }
        }
    }
}

void Simulator::Loop() {
    std::vector<os::PollItem> items;
    std::vector<Peer*> itemPeers;
    while (!stopping) {
        if (watchSignals && os::StopRequested()) break;
        uint32_t now = Now();
        items.clear();
        itemPeers.clear();
        items.push_back({wake->Stream(), true, false, false, false, false});
        itemPeers.push_back(nullptr);
        for (auto& listener : listeners) {
            items.push_back({listener->info.stream, true, false, false, false, false});
            itemPeers.push_back(nullptr);
        }
        int32_t timeout = -1;
        auto consider = [&](Peer& peer) {
            bool room = peer.input.SpaceSize() > 0;
            items.push_back({peer.stream, room, peer.writeBlocked, false, false, false});
            itemPeers.push_back(&peer);
            int32_t wait = peer.writeBlocked ? -1 : peer.output.WaitMs(now);
            if (wait >= 0 && (timeout < 0 || wait < timeout)) timeout = wait;
        };
        for (auto& peer : peers)
            consider(*peer);
        bool probing = false;
        for (auto& pty : ptys) {
            if (pty->hungUp) {
                probing = true;
            } else {
                consider(pty->peer);
            }
        }
        if (probing && (timeout < 0 || timeout > kProbeMs)) timeout = kProbeMs;
        if (!retiring.empty() && (timeout < 0 || timeout > kRetiringPollMs))
            timeout = kRetiringPollMs;
        if (timeout > kScheduledWaitCap) timeout = kScheduledWaitCap;

        if (os::PollStreams(items.data(), static_cast<uint32_t>(items.size()), timeout) < 0) {
            SleepMs(1);
            continue;
        }
        if (items[0].readable) wake->Drain();
        for (size_t i = 0; i < listeners.size(); ++i)
            if (items[1 + i].readable) AcceptPeers(*listeners[i]);
        for (size_t i = 0; i < items.size(); ++i) {
            Peer* peer = itemPeers[i];
            if (!peer) continue;
            if (items[i].writable) peer->writeBlocked = false;
            if (items[i].readable || items[i].hangUp) ReadPeer(*peer);
        }

        now = Now();
        RetireDevices();
        for (auto& pty : ptys)
            if (pty->hungUp) ProbePty(*pty);
        for (auto& peer : peers)
            ServicePeer(*peer, now);
        for (auto& pty : ptys)
            ServicePeer(pty->peer, now);

        for (auto it = peers.begin(); it != peers.end();) {
            if ((*it)->closed) {
                --(*it)->listener->peers;
                it = peers.erase(it);
            } else {
                ++it;
            }
        }
    }
}

} // namespace korvo::sim
