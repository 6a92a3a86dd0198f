#include "trace/WireTrace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "korvo_version.h"
#include "korvocomm.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/system_errors.h"
#include "platform/wallclock.h"
#include "trace/FrameMeaning.h"
#include "transport/LinkFrames.h"

namespace korvo {

namespace {

// Numbers the traced connections of the process: with the process id and
// the time, no two connections ever share a file.
std::atomic<uint32_t> g_connectionNumber{0};

constexpr int kNameAttempts = 100;

int64_t FloorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

WireTrace::Stamp WireTrace::Now() {
    os::WallClock w = os::ReadWallClock();
    int64_t local =
        w.utcSeconds - int64_t{w.offsetMinutesWest} * 60 + (w.daylightSaving ? 3600 : 0);
    Stamp s{};
    s.day = FloorDiv(local, 86400);
    int64_t second = local - s.day * 86400;
    // Days since 1970-01-01 to the civil date, in 400-year eras from March.
    int64_t z = s.day + 719468;
    int64_t era = FloorDiv(z, 146097);
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    s.dayOfMonth = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    s.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    s.year = static_cast<int>(yoe + era * 400 + (s.month <= 2 ? 1 : 0));
    std::snprintf(s.text, sizeof s.text, "%02d:%02d:%02d.%03d", static_cast<int>(second / 3600),
                  static_cast<int>(second / 60 % 60), static_cast<int>(second % 60),
                  static_cast<int>(w.milliseconds));
    return s;
}

std::shared_ptr<WireTrace> WireTrace::Start(int32_t handle, const char* format, ...) {
    char folder[kPathSize];
    if (!os::ReadEnvironment(kFolderVariable, folder, sizeof folder)) return nullptr;
    char link[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(link, sizeof link, format, args);
    va_end(args);
    std::shared_ptr<WireTrace> trace;
    try {
        trace.reset(new WireTrace());
    } catch (...) {
        return nullptr;
    }
    if (!trace->Create(folder, handle, link)) return nullptr;
    return trace;
}

bool WireTrace::Create(const char* folder, int32_t handle, const char* link) {
    Stamp now = Now();
    lastDay = now.day;
    size_t folderLength = std::strlen(folder);
    const char last = folder[folderLength - 1];
    // A Windows folder keeps its own separator; '/' works there too.
    const char* separator = last == '/' || last == '\\'                              ? ""
                            : std::strchr(folder, '\\') && !std::strchr(folder, '/') ? "\\"
                                                                                     : "/";
    const unsigned pid = os::CurrentProcessId();
    unsigned number = 0;
    for (int attempt = 0; attempt < kNameAttempts && file == os::kNoFile; ++attempt) {
        number = ++g_connectionNumber;
        int n = std::snprintf(path, sizeof path,
                              "%s%skorvocomm-%04d%02d%02d-%.2s%.2s%.2s-p%u-c%u.trace", folder,
                              separator, now.year, now.month, now.dayOfMonth, now.text,
                              now.text + 3, now.text + 6, pid, number);
        if (n < 0 || static_cast<size_t>(n) >= sizeof path) return false;
        os::FileHandle f = os::kNoFile;
        const uint32_t error = os::CreateNewFile(path, f);
        // Another connection's file: never written into.
        if (error == os::kErrorFileExists || error == os::kErrorAlreadyExists) continue;
        if (error != 0) return false;
        file = f;
    }
    if (file == os::kNoFile) return false;

    char header[512];
    os::WallClock w = os::ReadWallClock();
    int east = -w.offsetMinutesWest + (w.daylightSaving ? 60 : 0);
    int eastAbs = east < 0 ? -east : east;
    std::snprintf(header, sizeof header,
                  "# korvocomm %s wire trace of connection %u (handle %d) in process %u\n"
                  "# link: %s\n"
                  "# started %04d-%02d-%02d %s local time (UTC%c%02d:%02d)\n",
                  KORVO_VERSION, number, static_cast<int>(handle), pid, link, now.year, now.month,
                  now.dayOfMonth, now.text, east < 0 ? '-' : '+', eastAbs / 60, eastAbs % 60);
    uint32_t done = 0;
    uint32_t length = static_cast<uint32_t>(std::strlen(header));
    if (os::WriteToFile(file, header, length, done) != 0 || done != length) failed = true;
    return true;
}

WireTrace::~WireTrace() {
    if (file == os::kNoFile) return;
    {
        std::lock_guard<SpinLock> locked(lock);
        EndPair();
        text.Clear();
        text.Text("** closed");
        Write(Now(), text);
    }
    os::CloseFile(file);
}

void WireTrace::Write(const Stamp& stamp, const TraceLine& content) {
    if (failed) return;
    out.Clear();
    if (stamp.day != lastDay) {
        lastDay = stamp.day;
        out.Text("# ");
        out.Padded(stamp.year, 4);
        out.Char('-');
        out.Padded(stamp.month, 2);
        out.Char('-');
        out.Padded(stamp.dayOfMonth, 2);
        out.Char('\n');
    }
    out.Text(stamp.text);
    out.Char(' ');
    // A line cut at the buffer's end still ends with its LF.
    out.Append(content.Data(), content.Length(), 1);
    out.Char('\n');
    uint32_t done = 0;
    uint32_t length = static_cast<uint32_t>(out.Length());
    // A trace that cannot be written stops; the connection goes on.
    if (os::WriteToFile(file, out.Data(), length, done) != 0 || done != length) failed = true;
}

void WireTrace::FlushRepeats() {
    if (repeats == 0) return;
    note.Clear();
    note.Text(".. the 2 frames above ");
    note.Decimal(repeats);
    note.Text(repeats == 1 ? " more time" : " more times");
    repeats = 0;
    Write(lastRepeat, note);
}

void WireTrace::FlushFolded() {
    FlushRepeats();
    if (!holding) return;
    holding = false;
    Write(heldStamp, pairSent);
    lastWasSent = true;
    pairComplete = false;
}

void WireTrace::EndPair() {
    FlushFolded();
    // The frames above are no longer the pair that a repeat would fold into.
    lastWasSent = false;
    pairComplete = false;
}

void WireTrace::Opened(int32_t result) {
    std::lock_guard<SpinLock> locked(lock);
    EndPair();
    text.Clear();
    text.Text("** open: ");
    text.Decimal(result);
    Write(Now(), text);
}

void WireTrace::Request(const char* line, uint32_t length) {
    std::lock_guard<SpinLock> locked(lock);
    EndPair();
    requestTick = TickCount();
    text.Clear();
    text.Text(">> ");
    text.Escaped(reinterpret_cast<const uint8_t*>(line), length);
    Write(Now(), text);
}

void WireTrace::Received(const char* bytes, uint32_t length) {
    if (length == 0) return;
    std::lock_guard<SpinLock> locked(lock);
    EndPair();
    text.Clear();
    text.Text("<< ");
    text.Escaped(reinterpret_cast<const uint8_t*>(bytes), length);
    Write(Now(), text);
}

void WireTrace::LetGo(const uint8_t* bytes, uint32_t length) {
    if (length == 0) return;
    std::lock_guard<SpinLock> locked(lock);
    EndPair();
    text.Clear();
    text.Text("<- ");
    text.Hex(bytes, length);
    text.Text("  let go: came after the answer, before our next frame");
    Write(Now(), text);
}

void WireTrace::Result(int32_t code) {
    std::lock_guard<SpinLock> locked(lock);
    EndPair();
    text.Clear();
    text.Text("== ");
    text.Decimal(code);
    text.Text(" after ");
    text.Decimal(TickCount() - requestTick);
    text.Text(" ms");
    Write(Now(), text);
}

void WireTrace::FrameSent(const uint8_t* body, uint32_t length, uint32_t result) {
    std::lock_guard<SpinLock> locked(lock);
    if (length > 0) deviceAddress = body[0];
    text.Clear();
    text.Text("-> ");
    AppendFrameWire(text, body, length);
    text.Text("  ");
    AppendFrameMeaning(text, body, length);
    if (result != 0) {
        text.Text(", not sent: ");
        text.Decimal(result);
    }
    if (result == 0 && pairComplete && !holding && repeats < UINT32_MAX && text.SameAs(pairSent)) {
        holding = true;
        heldStamp = Now();
        return;
    }
    FlushFolded();
    Write(Now(), text);
    pairSent = text;
    lastWasSent = true;
    pairComplete = false;
}

void WireTrace::ReceivedFrameText(const uint8_t* body, int32_t result) {
    text.Clear();
    text.Text("<- ");
    const uint8_t control = body[2];
    const bool information = (control & 0x01) == 0;
    const bool lengthValid = body[3] >= 2 && body[3] <= kFrameDataMax + 1;
    const size_t whole = information && lengthValid ? body[3] + 5u : kFrameHead;
    switch (result) {
    case 0:
    case APP_PACKET_CORRUPTED:
    case APP_PACKET_WRONG_DATA:
        AppendFrameWire(text, body, whole);
        text.Text("  ");
        if (information && !lengthValid) {
            text.Text("I frame of a bad length");
            return;
        }
        AppendFrameMeaning(text, body, whole);
        if (result == APP_PACKET_CORRUPTED) text.Text(", CRC bad");
        if (result == APP_PACKET_WRONG_DATA)
            text.Text(body[0] != kPrimaryAddress || body[1] != deviceAddress ? ", wrong address"
                                                                             : ", not expected");
        return;
    case APP_PACKET_TIMEOUT:
        if (body[0] == 0 && body[1] == 0 && body[2] == 0) {
            text.Text("nothing (time-out)");
            return;
        }
        AppendFrameWire(text, body, kFrameHead);
        text.Text("  incomplete frame (time-out)");
        return;
    case APP_PACKET_INCOMPLETE:
        text.Text("incomplete frame (time-out)");
        return;
    case APP_PACKET_RECEIVE_ERROR:
        text.Text("broken frame: a new one started inside it");
        return;
    default:
        text.Text("receive error ");
        text.Decimal(-static_cast<int64_t>(result));
    }
}

void WireTrace::FrameReceived(const uint8_t* body, int32_t result) {
    std::lock_guard<SpinLock> locked(lock);
    ReceivedFrameText(body, result);
    if (holding) {
        holding = false;
        if (text.SameAs(pairAnswer)) {
            ++repeats;
            lastRepeat = heldStamp;
            return;
        }
        FlushRepeats();
        Write(heldStamp, pairSent);
        Write(Now(), text);
        pairAnswer = text;
        pairComplete = true;
        lastWasSent = false;
        return;
    }
    FlushFolded();
    Write(Now(), text);
    pairComplete = lastWasSent;
    if (lastWasSent) pairAnswer = text;
    lastWasSent = false;
}

} // namespace korvo
