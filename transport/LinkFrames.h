// The primary station's frame operations: build, escape and send one frame;
// receive, unescape and check one frame from the printer under its time
// limits. They run on the link thread only; when to send which frame is the
// business of the link loop.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "transport/LinkFrameFormat.h"

namespace korvo {

class INetworkLayer;
class WireTrace;

// Outcomes of the last receive (linkState). The states of the frames
// received carry their control value: 0x10 I, 0x11 RR, 0x15 RNR, 0x73 UA,
// 0x97 FRMR.
constexpr uint8_t kLinkNotSetUp = 0;
constexpr uint8_t kLinkNothingReceived = 1;
constexpr uint8_t kLinkBadFrame = 2;
constexpr uint8_t kLinkSetUpRequested = 3;

// lastSent after a failed send.
constexpr uint8_t kLastSendFailed = 1;

// The frame operations return 0 or a negative library code: -305 to -310
// for the frame itself, or what the physical link's Send returned (-625).
struct LinkFrames {
    LinkFrames(uint8_t deviceAddress, int32_t baudRate);

    // Back to the state of a link that was never set up.
    void ResetLink();

    // Escapes and sends one frame body of at most 256 bytes.
    int32_t WriteFrame(const uint8_t* body, uint32_t length);
    // SNRM or DISC; both sides count from 0 again.
    int32_t SendUnnumbered(uint8_t control);
    // RR or RNR with the current V(R).
    int32_t SendSupervisory(uint8_t control);
    // The next piece of a message: data is its first byte not yet
    // acknowledged, available the bytes from there to the end. piece is set
    // to the number of data bytes that went out. A piece whose CRC would hold
    // the start byte is shortened to the first length whose CRC does not, so
    // that no doubling is needed.
    int32_t SendInformation(const uint8_t* data, uint32_t available, uint32_t& piece);

    // Lets go what arrived since the last frame received: a frame that came
    // before the primary sends is no answer to what it sends. With settle, or
    // when there was something to let go, it also waits until the line has
    // been quiet for two byte times (at most a head's wait), so that the rest
    // of a burst of copies goes too.
    void LetGoUnasked(bool settle);

    // Reads body bytes into frameBuffer at start .. start + count - 1.
    int32_t ReceiveBytes(uint32_t start, uint32_t count, uint32_t timeLimit, uint32_t& stored);
    // Receives and checks one frame; sets linkState and the sequence fields.
    // maxWait caps the wait for the head (the closing exchange uses it).
    int32_t ReceiveFrame(uint32_t maxWait = UINT32_MAX);
    // The rest of an I frame whose first `have` body bytes are in frameBuffer.
    int32_t ReceiveInformation(uint32_t have);

    // The wait for the 5-byte head of a frame.
    uint32_t HeadTimeLimit() const {
        return transferTime.load(std::memory_order_relaxed) + 10 * byteTime;
    }

    uint8_t deviceAddress;
    INetworkLayer* link = nullptr;
    // The connection's wire trace, or nullptr.
    std::shared_ptr<WireTrace> trace;
    // Written by the caller's thread (SetTransferTime), read here.
    std::atomic<uint32_t> transferTime{25};
    uint32_t byteTime;
    // Two bytes' time on the line, rounded up to a whole tick.
    uint32_t quietTime;
    // When bytes last came from the line.
    uint32_t lastArrival = 0;
    // When set, the waits for bytes end at once with a time-out.
    const std::atomic<bool>* cancel = nullptr;

    uint8_t frameBuffer[kFrameBodyMax];
    uint8_t linkState = kLinkNotSetUp;
    uint8_t lastSent = 0;
    uint8_t sendSeq = 0;     // V(S)
    uint8_t recvSeq = 0;     // V(R)
    uint8_t peerSendSeq = 0; // N(S) of the last valid I frame received
    uint8_t peerAckSeq = 0;  // N(R) of the last valid frame received
    bool peerReady = false;
};

} // namespace korvo
