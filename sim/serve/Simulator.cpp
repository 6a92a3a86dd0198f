#include "sim/serve/Simulator.h"

#include <algorithm>
#include <cstdio>

#include "platform/clock.h"
#include "platform/poller.h"
#include "platform/signals.h"
#include "sim/faults/FaultDelivery.h"
#include "sim/model/StateFile.h"
#include "sim/serve/LineFrontEnd.h"
#include "sim/serve/ModelStation.h"
#include "sim/serve/TcpFrontEnd.h"
#include "sim/serve/UsbFrontEnd.h"

namespace korvo::sim {

namespace {

// The longest single wait while answers are scheduled: the clock may be a
// test clock that other threads move on.
constexpr int32_t kScheduledWaitCap = 50;
// A delayed line comes this much later: some answers come after the time
// limit of their command, during the wait of the next one.
constexpr uint32_t kChaosDelayMinMs = 10;
constexpr uint32_t kChaosDelayMaxMs = 1000;

} // namespace

struct Simulator::Station {
    explicit Station(Simulator& s, const Rs232Options& o) : model(s), frontEnd(o, model) {}
    ModelStation model;
    Rs232FrontEnd frontEnd;
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
    if (!options.stateFile.empty() && !LoadState(model, options.stateFile.c_str(), error))
        return false;
    if (!options.paperFile.empty() && !model.Paper().OpenFile(options.paperFile.c_str(), error))
        return false;
    if (!options.journalFile.empty() && !journal.OpenFile(options.journalFile.c_str(), error))
        return false;
    if (!options.replayFile.empty()) {
        replay = std::make_unique<TraceReplay>();
        if (!replay->Load(options.replayFile.c_str(), error)) return false;
    }
    if (!options.faultsFile.empty() && !faults.LoadFile(options.faultsFile.c_str(), error))
        return false;
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
    auto tcp = std::make_unique<TcpFrontEnd>(static_cast<LineService&>(*this));
    if (!tcp->Open(hostPort, options.allowRemote, error)) return false;
    endpoints.push_back(Endpoint{Endpoint::Kind::Tcp, tcp->Address(), tcp->Port(), "", "", ""});
    lines.push_back(std::move(tcp));
    return true;
}

bool Simulator::OpenUsb(const std::string& path, std::string& error) {
    auto usb = std::make_unique<UsbFrontEnd>(static_cast<LineService&>(*this), path,
                                             endpoints.size());
    endpoints.push_back(Endpoint{Endpoint::Kind::Usb, "", 0, path, "", ""});
    UsbFrontEnd& opened = *usb;
    lines.push_back(std::move(usb));
    return opened.Open(error);
}

void Simulator::DeviceChanged(size_t endpoint, const std::string& device) {
    std::lock_guard<std::mutex> lock(mutex);
    endpoints[endpoint].device = device;
}

bool Simulator::OpenRs232(const Rs232Options& options232, std::string& error) {
    Rs232Options rs232 = options232;
    if (!rs232.chaos.Enabled()) rs232.chaos = options.chaos;
    rs232.chaosStream = 1000000 + stations.size();
    auto station = std::make_unique<Station>(*this, rs232);
    if (!station->frontEnd.Start(error)) return false;
    Endpoint e{Endpoint::Kind::Rs232, "", 0, rs232.path, station->frontEnd.Device(),
               station->frontEnd.Details()};
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
    for (auto& line : lines)
        line->Close();
    lines.clear();
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::string reason;
        if (!options.stateFile.empty() && !SaveState(model, options.stateFile.c_str(), reason))
            std::fprintf(stderr, "korvosim: %s\n", reason.c_str());
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
    if (!FaultPlan::ParseRule(rule, parsed, error)) return false;
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
    std::string reason;
    if (!SaveState(model, options.stateFile.c_str(), reason)) journal.Note(0, reason.c_str());
}

uint32_t Simulator::DueTime(const Reply& reply, uint32_t now) const {
    return now + static_cast<uint32_t>(reply.workMs * speed);
}

void Simulator::NewConnection(LinePeer& peer) {
    peer.id = nextConnection++;
    peer.chaos = Chaos(options.chaos, peer.id);
}

void Simulator::Note(uint32_t connection, const char* text) {
    std::lock_guard<std::mutex> lock(mutex);
    journal.Note(connection, text);
}

bool Simulator::HandleNextLine(LinePeer& peer, uint32_t now) {
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

    char name[40];
    PrinterModel::EchoName(line, length, name, sizeof name);
    FaultAction fault = faults.Take(name);
    // Random faults stand in only where no rule of the faults file applies.
    const bool chaos = fault.kind == FaultKind::None && peer.chaos.Enabled();
    uint32_t lineDelay = 0;
    ChaosEvent requestFault = chaos ? RequestChaos(peer, line, length, lineDelay) : ChaosEvent::None;
    if (requestFault == ChaosEvent::Lose) {
        journal.Note(peer.id, "chaos: request line lost");
        return true;
    }
    journal.Request(peer.id, line, length);
    if (requestFault == ChaosEvent::Corrupt) journal.Note(peer.id, "chaos: request line corrupted");
    if (requestFault == ChaosEvent::Delay) {
        char note[64];
        std::snprintf(note, sizeof note, "chaos: request line delayed %u ms", lineDelay);
        journal.Note(peer.id, note);
    }
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
    if (chaos) {
        fault = AnswerChaos(peer, reply.length);
        if (fault.kind != FaultKind::None) {
            char text[80], note[96];
            FaultPlan::Describe(fault, text, sizeof text);
            std::snprintf(note, sizeof note, "chaos: answer %s", text);
            journal.Note(peer.id, note);
        }
    }
    PlanDelivery(reply, fault, DueTime(reply, now) + lineDelay, peer.output);
    // The journal shows what goes out, faults included.
    size_t planned = 0;
    const char* bytes = peer.output.Planned(planned);
    journal.Response(peer.id, bytes, planned);
    return true;
}

// A request line is lost, corrupted in its command name (so that the printer
// cannot take it for another command) or delayed. It is never repeated: a
// repeated request would run twice, which no client could prevent.
ChaosEvent Simulator::RequestChaos(LinePeer& peer, char* line, size_t length, uint32_t& delayMs) {
    ChaosEvent event = peer.chaos.Next();
    if (event == ChaosEvent::Corrupt) {
        size_t name = 0;
        while (name < length && line[name] != '\t')
            ++name;
        if (name == 0) name = length;
        line[peer.chaos.Below(static_cast<uint32_t>(name))] ^= static_cast<char>(0x80);
    } else if (event == ChaosEvent::Delay) {
        delayMs = peer.chaos.Between(kChaosDelayMinMs, kChaosDelayMaxMs);
    } else if (event == ChaosEvent::Repeat) {
        event = ChaosEvent::None;
    }
    return event;
}

// The answer of answerLength bytes is corrupted in one byte, lost, delayed
// or repeated.
FaultAction Simulator::AnswerChaos(LinePeer& peer, size_t answerLength) {
    FaultAction action;
    switch (peer.chaos.Next()) {
    case ChaosEvent::Corrupt:
        action.kind = FaultKind::Corrupt;
        action.value = peer.chaos.Below(static_cast<uint32_t>(answerLength ? answerLength : 1));
        break;
    case ChaosEvent::Lose:
        action.kind = FaultKind::Lose;
        break;
    case ChaosEvent::Delay:
        action.kind = FaultKind::Delay;
        action.value = peer.chaos.Between(kChaosDelayMinMs, kChaosDelayMaxMs);
        break;
    case ChaosEvent::Repeat:
        action.kind = FaultKind::Double;
        break;
    case ChaosEvent::None:
        break;
    }
    return action;
}

void Simulator::Loop() {
    std::vector<os::PollItem> items;
    while (!stopping) {
        if (watchSignals && os::StopRequested()) break;
        uint32_t now = Now();
        items.clear();
        items.push_back({wake->Stream(), true, false, false, false, false});
        int32_t timeout = -1;
        for (auto& line : lines)
            line->Watch(items, now, timeout);
        if (timeout > kScheduledWaitCap) timeout = kScheduledWaitCap;

        if (os::PollStreams(items.data(), static_cast<uint32_t>(items.size()), timeout) < 0) {
            SleepMs(1);
            continue;
        }
        if (items[0].readable) wake->Drain();
        for (auto& line : lines)
            line->Take(items);

        now = Now();
        for (auto& line : lines)
            line->Serve(now);
    }
}

} // namespace korvo::sim
