#include "transport/LinkFrames.h"

#include <cstring>

#include "korvocomm.h"
#include "platform/clock.h"
#include "trace/WireTrace.h"
#include "transport/Crc16.h"
#include "transport/INetworkLayer.h"

namespace korvo {

namespace {

// A whole byte takes 10 bit times; the 24000 allows more than twice that,
// the 2 covers the tick granularity.
uint32_t ByteTimeFor(int32_t baudRate) {
    uint32_t baud = baudRate > 0 ? static_cast<uint32_t>(baudRate) : 38400u;
    return 24000u / baud + 2u;
}

uint32_t QuietTimeFor(int32_t baudRate) {
    uint32_t baud = baudRate > 0 ? static_cast<uint32_t>(baudRate) : 38400u;
    return 20000u / baud + 1u;
}

void PutCrc(uint8_t* at, uint16_t crc) {
    at[0] = static_cast<uint8_t>(crc & 0xFF);
    at[1] = static_cast<uint8_t>(crc >> 8);
}

bool CrcHoldsStart(uint16_t crc) {
    return (crc & 0xFF) == kFrameStart || (crc >> 8) == kFrameStart;
}

} // namespace

LinkFrames::LinkFrames(uint8_t address, int32_t baudRate)
    : deviceAddress(address), byteTime(ByteTimeFor(baudRate)), quietTime(QuietTimeFor(baudRate)) {
    std::memset(frameBuffer, 0, sizeof frameBuffer);
}

void LinkFrames::ResetLink() {
    std::memset(frameBuffer, 0, sizeof frameBuffer);
    linkState = kLinkNotSetUp;
    lastSent = 0;
    sendSeq = recvSeq = peerSendSeq = peerAckSeq = 0;
    peerReady = false;
}

int32_t LinkFrames::WriteFrame(const uint8_t* body, uint32_t length) {
    if (length > kFrameBodyMax) return APP_PACKET_SEND_ERROR;
    uint8_t wire[kFrameWireMax];
    uint32_t n = 0;
    wire[n++] = kFrameStart;
    for (uint32_t i = 0; i < length; ++i) {
        wire[n++] = body[i];
        if (body[i] == kFrameStart) wire[n++] = kFrameStart;
    }
    int32_t r = link->Send(wire, n);
    if (trace) trace->FrameSent(body, length, r < 0 ? static_cast<uint32_t>(-r) : 0u);
    return r < 0 ? r : 0;
}

int32_t LinkFrames::SendUnnumbered(uint8_t control) {
    recvSeq = 0;
    sendSeq = 0;
    uint8_t body[kFrameHead] = {deviceAddress, kPrimaryAddress, control};
    PutCrc(body + 3, Crc16(body, 3));
    int32_t r = WriteFrame(body, kFrameHead);
    lastSent = r ? kLastSendFailed : control;
    return r;
}

int32_t LinkFrames::SendSupervisory(uint8_t control) {
    uint8_t body[kFrameHead] = {deviceAddress, kPrimaryAddress,
                                SupervisoryControl(control, recvSeq)};
    PutCrc(body + 3, Crc16(body, 3));
    int32_t r = WriteFrame(body, kFrameHead);
    lastSent = r ? kLastSendFailed : control;
    return r;
}

int32_t LinkFrames::SendInformation(const uint8_t* data, uint32_t available, uint32_t& piece) {
    uint32_t n = available < kFrameDataMax ? available : kFrameDataMax;
    uint8_t body[kFrameBodyMax];
    body[0] = deviceAddress;
    body[1] = kPrimaryAddress;
    body[2] = InformationControl(sendSeq, recvSeq);
    body[3] = static_cast<uint8_t>(n + 1);
    std::memcpy(body + 4, data, n);
    uint16_t crc = Crc16(body, n + 4);
    if (CrcHoldsStart(crc)) {
        for (uint32_t k = 1; k <= n; ++k) {
            body[3] = static_cast<uint8_t>(k + 1);
            uint16_t shorter = Crc16(body, k + 4);
            if (!CrcHoldsStart(shorter)) {
                n = k;
                crc = shorter;
                break;
            }
        }
        // Every length gave a CRC with a start byte: the full piece goes,
        // and the doubling takes care of it.
        body[3] = static_cast<uint8_t>(n + 1);
    }
    PutCrc(body + n + 4, crc);
    int32_t r = WriteFrame(body, n + 6);
    if (r) {
        lastSent = kLastSendFailed;
        return r;
    }
    piece = n;
    lastSent = kCtrlI;
    return 0;
}

void LinkFrames::LetGoUnasked(bool settle) {
    const uint32_t t0 = TickCount();
    const uint32_t limit = HeadTimeLimit();
    uint8_t raw[64];
    for (;;) {
        uint32_t waiting = link->BytesAvailable();
        uint32_t now = TickCount();
        if (waiting > 0) {
            int32_t got = link->Receive(raw, waiting < sizeof raw ? waiting : sizeof raw);
            if (got > 0) {
                if (trace) trace->LetGo(raw, static_cast<uint32_t>(got));
                lastArrival = now;
                settle = true;
            }
        } else if (!settle || now - lastArrival >= quietTime) {
            return;
        }
        if (now - t0 > limit) return;
        if (waiting == 0) SleepMs(1);
    }
}

int32_t LinkFrames::ReceiveBytes(uint32_t start, uint32_t count, uint32_t timeLimit,
                                  uint32_t& stored) {
    stored = 0;
    if (start + count > kFrameBodyMax) return APP_PACKET_RECEIVE_ERROR;
    const uint32_t t0 = TickCount();
    // Never ask the driver for more raw bytes than the rest of this frame can
    // hold, so that bytes of a following frame stay where they are.
    // At the start of a frame the start byte must arrive too.
    uint32_t initialBudget = start == 0 ? count + 1 : count;
    if (initialBudget > 20) initialBudget = 20;
    uint32_t budget = initialBudget;
    uint32_t pos = start;
    uint8_t prev = 0;
    uint8_t raw[20];
    // Takes raw bytes in; false when a new frame starts inside the rest of
    // one (only possible after its head).
    auto consume = [&](uint32_t got) {
        for (uint32_t i = 0; i < got; ++i) {
            uint8_t c = raw[i];
            if (pos == 0) {
                if (prev == kFrameStart && c != kFrameStart) {
                    frameBuffer[0] = c;
                    pos = 1;
                    stored = 1;
                    budget -= 1;
                }
                prev = c;
            } else if (prev == kFrameStart) {
                if (c == kFrameStart) {
                    // The second byte of a doubled pair.
                    frameBuffer[pos++] = kFrameStart;
                    ++stored;
                    prev = 0;
                } else {
                    if (start > 0) return false;
                    pos = 0;
                    stored = 0;
                    budget = initialBudget;
                    prev = 0;
                }
            } else if (c == kFrameStart) {
                prev = c;
            } else {
                frameBuffer[pos++] = c;
                ++stored;
                prev = c;
            }
        }
        return true;
    };
    auto read = [&](uint32_t wanted) -> uint32_t {
        int32_t got = link->Receive(raw, wanted);
        if (got <= 0) return 0;
        lastArrival = TickCount();
        return static_cast<uint32_t>(got) > wanted ? wanted : static_cast<uint32_t>(got);
    };
    // When the time is up, what did arrive is still taken in, so that a
    // partial head can be told from silence.
    auto timedOut = [&]() {
        uint32_t waiting = link->BytesAvailable();
        uint32_t wanted = budget - stored;
        if (waiting > 0) consume(read(waiting < wanted ? waiting : wanted));
        return APP_PACKET_TIMEOUT;
    };
    auto waitStep = [&]() {
        if (TickCount() - t0 > timeLimit) return false;
        if (cancel && cancel->load(std::memory_order_relaxed)) return false;
        PumpMessages();
        SleepMs(1);
        return true;
    };
    while (pos < start + count) {
        while (link->BytesAvailable() < budget - stored)
            if (!waitStep()) return timedOut();
        uint32_t got = read(budget - stored);
        if (got == 0) {
            // A failed read is waited out like missing bytes.
            if (!waitStep()) return timedOut();
            continue;
        }
        if (!consume(got)) return APP_PACKET_RECEIVE_ERROR;
    }
    return 0;
}

int32_t LinkFrames::ReceiveFrame(uint32_t maxWait) {
    std::memset(frameBuffer, 0, sizeof frameBuffer);
    uint32_t limit = HeadTimeLimit();
    if (limit > maxWait) limit = maxWait;
    uint32_t stored = 0;
    int32_t r = ReceiveBytes(0, kFrameHead, limit, stored);
    if (r != 0 || stored < kFrameHead) {
        linkState = kLinkNothingReceived;
        return stored == 0 ? APP_PACKET_TIMEOUT : APP_PACKET_INCOMPLETE;
    }
    if (frameBuffer[0] != kPrimaryAddress || frameBuffer[1] != deviceAddress) {
        linkState = kLinkBadFrame;
        return APP_PACKET_WRONG_DATA;
    }
    uint8_t control = frameBuffer[2];
    if (IsInformationControl(control)) return ReceiveInformation(kFrameHead);
    if (Crc16(frameBuffer, 3) != (frameBuffer[3] | (frameBuffer[4] << 8))) {
        linkState = kLinkBadFrame;
        return APP_PACKET_CORRUPTED;
    }
    if (control == kCtrlUA || control == kCtrlFRMR) {
        linkState = control;
        return 0;
    }
    if (!IsSupervisoryControl(control)) {
        linkState = kLinkBadFrame;
        return APP_PACKET_WRONG_DATA;
    }
    linkState = control & 0x1F;
    peerAckSeq = ReceiveSequence(control);
    peerReady = linkState == kCtrlRR;
    return 0;
}

int32_t LinkFrames::ReceiveInformation(uint32_t have) {
    uint32_t length = frameBuffer[3];
    if (length < 2 || length > kFrameDataMax + 1) {
        linkState = kLinkBadFrame;
        return APP_PACKET_CORRUPTED;
    }
    const uint32_t total = length + kFrameHead;
    while (have < total) {
        uint32_t piece = total - have < 15 ? total - have : 15;
        uint32_t stored = 0;
        int32_t r = ReceiveBytes(have, piece, piece * byteTime, stored);
        if (r != 0) {
            linkState = kLinkBadFrame;
            return r;
        }
        have += stored;
    }
    if (Crc16(frameBuffer, length + 3) !=
        (frameBuffer[length + 3] | (frameBuffer[length + 4] << 8))) {
        linkState = kLinkBadFrame;
        return APP_PACKET_CORRUPTED;
    }
    linkState = kCtrlI;
    peerAckSeq = ReceiveSequence(frameBuffer[2]);
    peerSendSeq = SendSequence(frameBuffer[2]);
    return 0;
}

} // namespace korvo
