// The RS-232 front end of the simulator: a pseudo-terminal behind a symlink
// (which an application opens as its COM port) with the secondary station on
// the master side. A thread of its own reads the primary's frames and writes
// the station's answers, optionally throttled to the real line rate: every
// byte takes 10 bit times, in both directions.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/poller.h"
#include "platform/pty.h"
#include "sim/faults/Chaos.h"
#include "sim/station/SecondaryStation.h"

namespace korvo::sim {

struct Rs232Options {
    std::string path;    // the symlink to create
    uint8_t address = 2; // the station's link address, 2 to 255
    uint32_t baudRate = 9600;
    bool throttle = false;           // take as long as the line would
    std::vector<std::string> faults; // see ParseLinkFault
    ChaosSettings chaos;             // random faults of frames in both directions
    uint64_t chaosStream = 0;        // tells this front end's generators apart
};

class Rs232FrontEnd {
public:
    // Called with the bytes as they pass the line: fromPrimary, bytes.
    using Recorder = std::function<void(bool fromPrimary, const std::string& bytes)>;

    Rs232FrontEnd(Rs232Options options, StationHandler& handler);
    ~Rs232FrontEnd();
    Rs232FrontEnd(const Rs232FrontEnd&) = delete;
    Rs232FrontEnd& operator=(const Rs232FrontEnd&) = delete;

    // Creates the pseudo-terminal and the symlink and starts serving.
    bool Start(std::string& error);
    // Stops the thread, removes the symlink, closes the terminal.
    void Stop();

    std::string Device() const { return terminal.slavePath; }
    // "address 2 at 9600 baud", "(throttled)" added when it is.
    std::string Details() const;

    // Both may be called while serving.
    bool AddFault(const char* text);
    // The information frames the station has taken in so far: a fault at
    // "@i" this plus one meets the next request.
    uint32_t InformationFramesReceived();
    void SetRecorder(Recorder recorder);

private:
    void Run();
    void Serve(const uint8_t* data, size_t length);
    void WritePaced(const std::string& bytes);
    // Bends one frame as the random faults say: corrupted or delayed (1),
    // lost (0) or repeated (2); returns how many times it passes.
    int Bend(Chaos& chaos, std::string& frame);
    void Pause(uint32_t ms);
    uint64_t NowMicros() const;

    Rs232Options options;
    SecondaryStation station;
    os::PseudoTerminal terminal;
    os::WakeHandle wake;
    std::thread thread;
    std::atomic<bool> stopping{false};
    std::mutex mutex; // guards station and recorder
    Recorder recorder;
    // Throttling: the time at which the line is free again, in microseconds.
    uint64_t lineFreeAt = 0;
    uint64_t microsPerByte;
    Chaos fromPrimary; // frames the primary sends
    Chaos toPrimary;   // frames the station answers
};

} // namespace korvo::sim
