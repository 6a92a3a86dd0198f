// The link thread of the serial network layer: sets the link to the printer
// up, polls it, sends the queued message in information frames and collects
// the printer's information frames. Each busy pass sends one frame and
// receives one; the primary never reads at any other time.
#include <cstring>
#include <memory>
#include <mutex>

#include "korvocomm.h"
#include "platform/clock.h"
#include "platform/wait.h"
#include "trace/WireTrace.h"
#include "transport/SerialLinkState.h"

namespace korvo {

namespace {

constexpr uint32_t kTimeoutsBeforeReset = 5;
constexpr uint32_t kFailedPassesAllowed = 5;
constexpr uint32_t kRnrAnswersBeforeResend = 6;
constexpr uint8_t kPollsAfterData = 10;
constexpr uint8_t kPollsAfterInformation = 255;
// The closing DISC waits this long at most for its UA, whatever the
// transfer time, so that Close stays well within its wait.
constexpr uint32_t kClosingWait = 250;
// The first idle passes after activity keep the millisecond of a busy pass:
// the time-outs they count may still set the link up again. Later ones wait
// longer; whatever gives the thread work ends their wait at once.
constexpr uint32_t kQuickIdlePasses = 10;
constexpr uint32_t kIdleWait = 20;

class LinkLoop {
public:
    explicit LinkLoop(SerialLinkState& state) : s(state), f(state.frames) {}
    int32_t Run();

private:
    int32_t NextStep();
    bool ExpectedAnswer() const;
    int32_t Poll();
    int32_t PollOrRepeat();
    int32_t SendNextPiece();
    int32_t OnInformation();
    int32_t OnSupervisory();
    void Bookkeeping(int32_t result);

    SerialLinkState& s;
    LinkFrames& f;

    uint32_t failedPasses = 0;
    uint32_t timeouts = 0;
    bool resetDone = false;
    uint32_t idlePasses = 0;
    uint32_t rnrCount = 0;
    // An information frame went out in answer to RR, and the answers since
    // have been RNR.
    bool afterInformation = false;
};

int32_t LinkLoop::Poll() {
    // Fewer than one frame's data free: ask the printer to hold back.
    uint32_t waiting = s.rxLength.load();
    return f.SendSupervisory(waiting + kFrameDataMax > SerialLinkState::kBufferSize ? kCtrlRNR
                                                                                    : kCtrlRR);
}

// A piece in flight that the printer has not acknowledged goes again where a
// poll would go (after a late frame, an RNR, a stray UA): the printer takes a
// poll for the sign that its acknowledgement of the piece arrived, and would
// take the piece sent again after a new set-up for a new request. The piece
// carries N(R) as the poll would.
int32_t LinkLoop::PollOrRepeat() {
    if (s.txLength.load() != 0 && s.txAcked.load() != s.txPendingEnd.load()) return SendNextPiece();
    return Poll();
}

int32_t LinkLoop::SendNextPiece() {
    uint32_t acked = s.txAcked.load();
    uint32_t length = s.txLength.load();
    if (length <= acked) return Poll();
    uint32_t piece = 0;
    int32_t r = f.SendInformation(s.txBuffer + acked, length - acked, piece);
    if (r == 0) {
        s.txPendingEnd.store(acked + piece);
        s.keepPolling.store(kPollsAfterInformation);
    }
    return r;
}

int32_t LinkLoop::OnInformation() {
    f.peerReady = false;
    if (f.peerSendSeq == f.recvSeq) {
        uint32_t length = f.frameBuffer[3];
        if (length >= 2 && length <= kFrameDataMax + 1) {
            uint32_t data = length - 1;
            bool stored = false;
            {
                std::lock_guard<SpinLock> guard(s.rxLock);
                uint32_t waiting = s.rxLength.load();
                if (waiting + data <= SerialLinkState::kBufferSize) {
                    std::memcpy(s.rxBuffer + waiting, f.frameBuffer + 4, data);
                    s.rxLength.store(waiting + data);
                    stored = true;
                }
            }
            // A frame that does not fit stays unacknowledged; the printer
            // sends it again once there is room.
            if (stored) {
                f.recvSeq = NextSequence(f.recvSeq);
                s.keepPolling.store(kPollsAfterData);
                s.WakeCaller();
            }
        }
        return PollOrRepeat();
    }
    // The printer repeated the frame already taken: acknowledge it again.
    if (f.peerSendSeq == PreviousSequence(f.recvSeq)) return PollOrRepeat();
    return f.SendUnnumbered(kCtrlDISC);
}

int32_t LinkLoop::OnSupervisory() {
    f.peerReady = f.linkState == kCtrlRR;
    bool advanced = false;
    if (f.peerAckSeq != f.sendSeq) {
        f.sendSeq = NextSequence(f.sendSeq);
        if (f.peerAckSeq != f.sendSeq) return f.SendUnnumbered(kCtrlDISC);
        advanced = true;
    }
    // Only an N(R) that moved acknowledges the frame in flight; one that
    // stayed says it was not taken, and it goes again.
    if (advanced && s.txLength.load() != 0 && s.txAcked.load() != s.txPendingEnd.load()) {
        {
            std::lock_guard<SpinLock> guard(s.txLock);
            uint32_t end = s.txPendingEnd.load();
            s.txAcked.store(end);
            if (end == s.txLength.load()) {
                s.txAcked.store(0);
                s.txPendingEnd.store(0);
                s.txLength.store(0);
                std::memset(s.txBuffer, 0, sizeof s.txBuffer);
            }
        }
        s.keepPolling.store(kPollsAfterData);
        s.WakeCaller();
    }
    if (f.peerReady && s.txLength.load() != 0) return SendNextPiece();
    return PollOrRepeat();
}

int32_t LinkLoop::NextStep() {
    switch (f.linkState) {
    case kLinkNotSetUp:
    case kLinkSetUpRequested:
        f.peerReady = false;
        return f.SendUnnumbered(kCtrlDISC);
    case kLinkNothingReceived:
    case kLinkBadFrame:
        f.peerReady = false;
        switch (f.lastSent) {
        case kCtrlI:
            return SendNextPiece();
        case kCtrlRR:
        case kCtrlRNR:
            return f.SendSupervisory(f.lastSent);
        case kCtrlDISC:
        case kCtrlSNRM:
            return f.SendUnnumbered(f.lastSent);
        default:
            return PollOrRepeat();
        }
    case kCtrlI:
        return OnInformation();
    case kCtrlRR:
    case kCtrlRNR:
        return OnSupervisory();
    case kCtrlUA:
        f.peerReady = false;
        if (f.lastSent == kCtrlDISC) return f.SendUnnumbered(kCtrlSNRM);
        // After SNRM the polls go on until the printer is ready.
        return f.lastSent == kCtrlSNRM ? Poll() : PollOrRepeat();
    case kCtrlFRMR:
        f.peerReady = false;
        return f.SendUnnumbered(kCtrlSNRM);
    default:
        f.peerReady = false;
        return PollOrRepeat();
    }
}

// Whether the frame received last is what the frame sent last asked for:
// UA to DISC or SNRM, an acknowledgement that moves N(R) to an information
// frame, RR, RNR or the next data frame to a poll.
bool LinkLoop::ExpectedAnswer() const {
    const bool setUp = f.lastSent == kCtrlDISC || f.lastSent == kCtrlSNRM;
    switch (f.linkState) {
    case kCtrlUA:
        return setUp;
    case kCtrlRR:
    case kCtrlRNR:
        return !setUp && (f.lastSent != kCtrlI || f.peerAckSeq != f.sendSeq);
    case kCtrlI:
        return (f.lastSent == kCtrlRR || f.lastSent == kCtrlRNR) && f.peerSendSeq == f.recvSeq;
    default:
        return false; // nothing, a bad frame, FRMR, a frame not known
    }
}

void LinkLoop::Bookkeeping(int32_t result) {
    if (result == 0) {
        resetDone = false;
        failedPasses = 0;
        timeouts = 0;
        return;
    }
    bool setUpFrame = f.lastSent == kCtrlDISC || f.lastSent == kCtrlSNRM;
    if (result == APP_PACKET_TIMEOUT && !setUpFrame) {
        if (++timeouts >= kTimeoutsBeforeReset && !resetDone) {
            resetDone = true;
            failedPasses = 0;
            f.linkState = kLinkNotSetUp;
            timeouts = 0;
        }
    } else {
        timeouts = 0;
    }
    if (++failedPasses > kFailedPassesAllowed) {
        s.link->PurgeReceive();
        s.pollRequested.store(false);
        s.failureCode.store(result);
        f.linkState = kLinkSetUpRequested;
        s.ClearTransmit();
        s.WakeCaller();
        afterInformation = false;
        rnrCount = 0;
        failedPasses = 0;
    }
}

int32_t LinkLoop::Run() {
    s.link = s.factory ? s.factory(s.portName, static_cast<uint32_t>(s.baudRate)) : nullptr;
    if (!s.link) return APP_COMM_THREAD_ERROR;
    int32_t opened = s.link->Open();
    if (opened != 0) return opened;
    f.link = s.link.get();
    f.cancel = &s.stopRequested;
    f.ResetLink();
    s.running.store(true);
    s.WakeCaller();

    int32_t result = 0;
    for (;;) {
        if (s.dropRequested.load()) {
            if (s.txLength.load() != 0) {
                s.ClearTransmit();
                afterInformation = false;
                rnrCount = 0;
                // The numbering starts again, so that the printer cannot take
                // the next message for a repeat of this one.
                f.linkState = kLinkSetUpRequested;
            }
            s.dropRequested.store(false);
            s.WakeCaller();
        }
        bool busy = s.pollRequested.load() || s.txLength.load() != 0 || s.keepPolling.load() != 0;
        if (busy) {
            idlePasses = 0;
            // Each frame of the printer answers one frame of ours: what came
            // since the answer acted on (a copy of it, an answer after its
            // time) would otherwise be taken for the answer to the next frame,
            // and every later answer for that of the frame after it. After an
            // answer that was not the one asked for, more of its kind may be
            // on the way: the line must be quiet first. A clean exchange goes
            // on at once.
            f.LetGoUnasked(!ExpectedAnswer());
            result = NextStep();
            if (f.lastSent == kCtrlI && f.linkState == kCtrlRR) afterInformation = true;
            PumpMessages();
            SleepMs(1);
            if (result == 0) {
                result = f.ReceiveFrame();
                if (f.trace) f.trace->FrameReceived(f.frameBuffer, result);
                if (result == 0 && f.linkState == kCtrlI)
                    s.keepPolling.store(kPollsAfterInformation);
            }
            if (afterInformation && f.linkState == kCtrlRNR) {
                if (++rnrCount >= kRnrAnswersBeforeResend) {
                    // The printer stays busy after the message: set the link
                    // up again, and send a message it has not acknowledged
                    // from its first byte. One it has acknowledged never goes
                    // again: the printer has it, and would run it twice.
                    {
                        std::lock_guard<SpinLock> guard(s.txLock);
                        s.txAcked.store(0);
                        s.txPendingEnd.store(0);
                        f.peerReady = false;
                    }
                    f.linkState = kLinkSetUpRequested;
                    rnrCount = 0;
                    afterInformation = false;
                }
            } else {
                // A time-out inside the rest of an I frame.
                if (f.linkState == kLinkBadFrame && result == APP_PACKET_TIMEOUT)
                    result = APP_PACKET_INCOMPLETE;
                rnrCount = 0;
                afterInformation = false;
            }
        } else {
            // An idle pass keeps the last busy pass's result; a time-out
            // there goes on counting until the link is set up again.
            PumpMessages();
            const Waitable* wake[] = {&s.threadWake};
            WaitForInput(wake, 1, idlePasses < kQuickIdlePasses ? 1 : kIdleWait);
            if (idlePasses < kQuickIdlePasses) ++idlePasses;
            rnrCount = 0;
            afterInformation = false;
            f.peerReady = false;
            failedPasses = 0;
        }
        Bookkeeping(result);
        if (s.stopRequested.load()) break;
        uint8_t polls = s.keepPolling.load();
        if (polls != 0) s.keepPolling.store(static_cast<uint8_t>(polls - 1));
        if (!s.running.load()) break;
    }

    f.cancel = nullptr;
    if (f.SendUnnumbered(kCtrlDISC) == 0) {
        int32_t closing = f.ReceiveFrame(kClosingWait);
        if (f.trace) f.trace->FrameReceived(f.frameBuffer, closing);
    }
    return result;
}

} // namespace

void RunLinkThread(void* argument) {
    std::unique_ptr<std::shared_ptr<SerialLinkState>> holder(
        static_cast<std::shared_ptr<SerialLinkState>*>(argument));
    SerialLinkState& s = **holder;
    int32_t result = 0;
    try {
        LinkLoop loop(s);
        result = loop.Run();
    } catch (...) {
        result = APP_TERMINATED;
    }
    try {
        if (s.link) {
            s.frames.link = nullptr;
            s.link->Close();
            s.link.reset();
        }
    } catch (...) {
    }
    s.failureCode.store(result);
    s.running.store(false);
    s.WakeCaller();
}

} // namespace korvo
