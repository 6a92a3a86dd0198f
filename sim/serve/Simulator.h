// korvosim in a process: the printer model behind its line front ends (TCP
// listeners and pseudo-terminals), with fault injection, the paper roll, the
// journal and the state file. One thread serves every front end; the model is
// guarded by one lock, so tests and other front ends (the RS-232 secondary
// station) may reach it from their own threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "sim/faults/Chaos.h"
#include "sim/faults/FaultPlan.h"
#include "sim/model/PrinterModel.h"
#include "sim/model/Reply.h"
#include "sim/records/Journal.h"
#include "sim/serve/LineService.h"
#include "sim/serve/Rs232FrontEnd.h"
#include "sim/serve/TraceReplay.h"

namespace korvo::os {
class WakeHandle;
}

namespace korvo::sim {

struct SimulatorOptions {
    std::vector<std::string> tcp; // "HOST:PORT" each; port 0 picks a free one
    std::vector<std::string> usb; // symlink paths, one pseudo-terminal each
    std::vector<Rs232Options> rs232; // the framed link, one pseudo-terminal each
    bool allowRemote = false;     // listen on addresses other than loopback
    std::string paperFile;
    std::string journalFile;
    std::string faultsFile;
    std::string stateFile;
    std::string replayFile; // answers from a wire trace instead of the model
    double speed = 0; // response times: 0 at once, 1 like the printer
    // Random faults of every front end: lines (TCP, USB) and frames (RS-232).
    ChaosSettings chaos;
    // The clock that times answers; nullptr is the process's clock
    // (TickCount), which a test clock may stand in for.
    ClockSource* clock = nullptr;
};

struct Endpoint {
    enum class Kind { Tcp, Usb, Rs232 } kind;
    std::string address; // TCP: the bound numeric address
    uint16_t port = 0;   // TCP: the bound port
    std::string path;    // USB, RS-232: the symlink
    std::string device;  // USB, RS-232: the pseudo-terminal it points at
    std::string details; // RS-232: "address 2 at 9600 baud"
    // "tcp 127.0.0.1:40123", "usb /tmp/com1 -> /dev/pts/4",
    // "rs232 /tmp/com2 -> /dev/pts/5 address 2 at 9600 baud"
    std::string Describe() const;
};

class LineFrontEnd;

class Simulator : private LineService {
public:
    explicit Simulator(SimulatorOptions options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens files and front ends and starts serving. false with a reason.
    bool Start(std::string& error);
    // Stops serving, closes every connection, removes the symlinks and saves
    // the state. Safe to call twice.
    void Stop();
    // Turns SIGINT and SIGTERM into a request to stop (korvosim's main);
    // installed before the endpoints are announced, so no signal is lost.
    void WatchStopSignals();
    // Serves until such a signal arrives, then stops.
    void WaitForStopSignal();

    std::vector<Endpoint> Endpoints();
    // The bound port of the first TCP front end (0 when there is none).
    uint16_t TcpPort();

    // Runs f(model) under the simulator's lock and returns its result.
    template <typename F> auto WithModel(F&& f) {
        std::lock_guard<std::mutex> lock(mutex);
        return f(model);
    }

    // Fault rules for the line front ends (see FaultPlan.h).
    bool AddFault(const char* rule, std::string& error);
    void ClearFaults();
    void SetSpeed(double factor);

    // Everything printed, and everything journalled, so far.
    std::string PaperText();
    std::string JournalText();

    // The model's side for other front ends: a number for a new connection,
    // and one request line (without LF; line[length] writable) answered and
    // journalled under the lock. Line faults do not apply here.
    uint32_t NewConnectionId();
    void Exchange(uint32_t connection, char* line, size_t length, Reply& reply);

    // The RS-232 front ends, in the order of the options (faults may be
    // added to them while serving).
    Rs232FrontEnd* Rs232(size_t index);

private:
    void Loop();
    void Wake();
    bool OpenTcp(const std::string& hostPort, std::string& error);
    bool OpenUsb(const std::string& path, std::string& error);
    bool OpenRs232(const Rs232Options& rs232, std::string& error);
    // The random faults of a request line and of its answer (under the lock).
    ChaosEvent RequestChaos(LinePeer& peer, char* line, size_t length, uint32_t& delayMs);
    FaultAction AnswerChaos(LinePeer& peer, size_t answerLength);
    void SaveStateIfChanged();
    uint32_t DueTime(const Reply& reply, uint32_t now) const;

    // What the line front ends need (LineService).
    uint32_t Now() const override { return options.clock ? options.clock->Now() : TickCount(); }
    void NewConnection(LinePeer& peer) override;
    bool HandleNextLine(LinePeer& peer, uint32_t now) override;
    void Note(uint32_t connection, const char* text) override;
    void DeviceChanged(size_t endpoint, const std::string& device) override;
    // The model's answer, or the trace's under --replay; under the lock.
    void Answer(uint32_t connection, char* line, size_t length, Reply& reply);

    SimulatorOptions options;
    std::mutex mutex; // guards model, faults, journal, speed
    PrinterModel model;
    std::unique_ptr<TraceReplay> replay;
    FaultPlan faults;
    Journal journal;
    std::vector<Endpoint> endpoints; // guarded by mutex once serving
    // TCP front ends first, then USB ones, in the order of the options.
    std::vector<std::unique_ptr<LineFrontEnd>> lines;
    struct Station;
    std::vector<std::unique_ptr<Station>> stations;
    std::unique_ptr<os::WakeHandle> wake;
    std::thread thread;
    double speed = 0;
    bool running = false;
    std::atomic<bool> stopping{false};
    std::atomic<bool> watchSignals{false};
    std::atomic<uint32_t> nextConnection{1};
};

} // namespace korvo::sim
