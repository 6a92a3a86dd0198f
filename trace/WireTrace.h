// The wire trace of one connection, for diagnosis in the field: with the
// environment variable KORVOCOMM_TRACE naming a folder, each connection
// writes a file of its own there, named after the time, the process and the
// connection (korvocomm-YYYYMMDD-HHMMSS-pPID-cN.trace). One line per event,
// time-stamped (local time, milliseconds):
//
//   08:15:00.120 ** open: 0
//   08:15:00.121 >> bFR\tREQ\t1\t0\t\n            a request line as sent
//   08:15:00.125 << bFR\tRSP\t0\n                 bytes as they arrived
//   08:15:00.125 == 0 after 4 ms                  the exchange's result
//   08:15:00.122 -> AA 02 01 10 ...  I(0,0) "..."  an RS-232 frame sent
//   08:15:00.123 <- AA 01 02 31 ...  RR(1)         an RS-232 frame received
//   08:15:00.130 .. the 2 frames above 37 times more, the last at 08:15:00.204
//
// Bytes are escaped as TraceLine writes them. Without the variable nothing
// is created and the hooks cost one test of a null pointer. Writing never
// changes a command's outcome: a file that cannot be written means no trace.
// The session's thread and the RS-232 link thread both write; each line is
// written whole, at once, so a trace survives a crash up to its last line.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/file.h"
#include "platform/spin_lock.h"
#include "trace/TraceLine.h"

namespace korvo {

class WireTrace {
public:
    // The environment variable that names the folder.
    static constexpr const char* kFolderVariable = "KORVOCOMM_TRACE";

    // A new trace of the connection with that handle when the variable names
    // a folder that takes a new file; nullptr otherwise. link describes the
    // connection (printf format).
    static std::shared_ptr<WireTrace> Start(int32_t handle, const char* link, ...)
        __attribute__((format(printf, 2, 3)));

    ~WireTrace();
    WireTrace(const WireTrace&) = delete;
    WireTrace& operator=(const WireTrace&) = delete;

    // The session: the transport's Open, a request line, bytes received
    // while waiting for the response, and the exchange's outcome.
    void Opened(int32_t result);
    void Request(const char* line, uint32_t length);
    void Received(const char* bytes, uint32_t length);
    void Result(int32_t code);

    // The RS-232 link thread: a frame body sent (with the send's result, 0
    // when it went out), and the outcome of a receive with what frameBuffer
    // holds then.
    void FrameSent(const uint8_t* body, uint32_t length, uint32_t result);
    void FrameReceived(const uint8_t* body, int32_t result);
    // Raw bytes the link thread let go before it sent: they came after the
    // answer it acted on, so they answer no frame of ours.
    void LetGo(const uint8_t* bytes, uint32_t length);

    // The trace file's path.
    const char* Path() const { return path; }

private:
    static constexpr size_t kPathSize = 600;

    // A moment of local time as the lines show it.
    struct Stamp {
        char text[16];
        int64_t day;
        int year, month, dayOfMonth;
    };

    WireTrace() = default;
    bool Create(const char* folder, int32_t handle, const char* link);
    static Stamp Now();
    // One line: the stamp, a space, the text, LF; a date line first when
    // the day has changed.
    void Write(const Stamp& stamp, const TraceLine& content);
    // Writes what the folding of repeated frame pairs holds back.
    void FlushFolded();
    void FlushRepeats();
    // Before a line that is no frame.
    void EndPair();
    void ReceivedFrameText(const uint8_t* body, int32_t result);

    SpinLock lock;
    os::FileHandle file = os::kNoFile;
    bool failed = false;
    char path[kPathSize] = {};
    int64_t lastDay = 0;
    uint32_t requestTick = 0;
    uint8_t deviceAddress = 0;

    TraceLine text, out, note;
    // Folding: a frame sent that equals the last pair's sent frame is held
    // back; when its answer equals that pair's answer too, only a count is
    // kept. A pair is a frame sent and the outcome of the receive after it.
    TraceLine pairSent, pairAnswer;
    bool lastWasSent = false;
    bool pairComplete = false;
    bool holding = false;
    Stamp heldStamp{};
    uint32_t repeats = 0;
    Stamp lastRepeat{};
};

} // namespace korvo
