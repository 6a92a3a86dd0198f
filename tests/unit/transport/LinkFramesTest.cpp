// Frames of the RS-232 link, one frame at a time, on the test clock. The
// expected wire bytes are the documented ones, not our encoder's output.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ScriptedLine.h"
#include "TestClock.h"
#include "korvocomm.h"
#include "transport/Crc16.h"
#include "transport/LinkFrames.h"

namespace korvo {
namespace {

using test::Bytes;
using test::Hex;
using test::ScriptedLine;
using test::TestClock;

std::string Body(const std::string& wireFrame) {
    // Drops the start byte and undoes the doubling.
    std::string body;
    for (size_t i = 1; i < wireFrame.size(); ++i) {
        body.push_back(wireFrame[i]);
        if (static_cast<uint8_t>(wireFrame[i]) == 0xAA) ++i;
    }
    return body;
}

uint16_t CrcOf(const std::string& bytes) {
    return Crc16(reinterpret_cast<const uint8_t*>(bytes.data()),
                 static_cast<uint32_t>(bytes.size()));
}

class Frames : public ::testing::Test {
protected:
    Frames() : link(line.NewLink()) { frames.link = link.get(); }

    std::string LastFrame() { return line.Frames().empty() ? "" : Hex(line.Frames().back()); }

    TestClock clock;
    ScriptedLine line;
    std::unique_ptr<INetworkLayer> link;
    LinkFrames frames{2, 9600};
};

TEST(Crc16Check, StandardCheckValueAndTable) {
    const std::string digits = "123456789";
    EXPECT_EQ(CrcOf(digits), 0x31C3);
    EXPECT_EQ(kCrc16Table[0], 0x0000);
    EXPECT_EQ(kCrc16Table[1], 0x1021);
    EXPECT_EQ(CrcOf(""), 0x0000);
}

TEST_F(Frames, SetUpAndPollFramesToAddressTwo) {
    frames.sendSeq = 3;
    frames.recvSeq = 5;
    EXPECT_EQ(frames.SendUnnumbered(kCtrlSNRM), 0);
    EXPECT_EQ(LastFrame(), "AA 02 01 93 8B EE");
    EXPECT_EQ(frames.lastSent, kCtrlSNRM);
    EXPECT_EQ(frames.sendSeq, 0);
    EXPECT_EQ(frames.recvSeq, 0);

    EXPECT_EQ(frames.SendUnnumbered(kCtrlDISC), 0);
    EXPECT_EQ(LastFrame(), "AA 02 01 53 C7 37");

    EXPECT_EQ(frames.SendSupervisory(kCtrlRR), 0);
    EXPECT_EQ(LastFrame(), "AA 02 01 11 41 5F");
    EXPECT_EQ(frames.lastSent, kCtrlRR);

    frames.recvSeq = 1;
    EXPECT_EQ(frames.SendSupervisory(kCtrlRR), 0);
    EXPECT_EQ(LastFrame(), "AA 02 01 31 23 7B");
    EXPECT_EQ(frames.SendSupervisory(kCtrlRNR), 0);
    EXPECT_EQ(frames.lastSent, kCtrlRNR);
    EXPECT_EQ(static_cast<uint8_t>(line.Frames().back()[3]), 0x35);
}

TEST_F(Frames, InformationFrameOfTheExampleExchange) {
    const uint8_t data[] = {0x41, 0x42};
    uint32_t piece = 0;
    EXPECT_EQ(frames.SendInformation(data, 2, piece), 0);
    EXPECT_EQ(LastFrame(), "AA 02 01 10 03 41 42 9D 35");
    EXPECT_EQ(piece, 2u);
    EXPECT_EQ(frames.lastSent, kCtrlI);
}

TEST_F(Frames, AddressAaIsDoubledOnTheWireAndReadBackAsOneByte) {
    LinkFrames aa(0xAA, 9600);
    aa.link = link.get();
    EXPECT_EQ(aa.SendUnnumbered(kCtrlDISC), 0);
    std::string wire = line.Frames().back();
    EXPECT_EQ(Hex(wire.substr(0, 4)), "AA AA AA 01");
    EXPECT_EQ(Body(wire).size(), 5u);
    EXPECT_EQ(static_cast<uint8_t>(Body(wire)[0]), 0xAA);

    std::string head = Bytes("01 AA 31");
    uint16_t crc = CrcOf(head);
    std::string body = head + std::string(1, char(crc & 0xFF)) + std::string(1, char(crc >> 8));
    std::string escaped = "\xAA";
    for (char c : body) {
        escaped.push_back(c);
        if (static_cast<uint8_t>(c) == 0xAA) escaped.push_back(c);
    }
    line.Put(escaped);
    EXPECT_EQ(aa.ReceiveFrame(), 0);
    EXPECT_EQ(aa.linkState, kCtrlRR);
    EXPECT_EQ(aa.peerAckSeq, 1);
    EXPECT_EQ(aa.frameBuffer[1], 0xAA);
    EXPECT_EQ(aa.frameBuffer[2], 0x31);
}

TEST_F(Frames, FullPieceHas250DataBytesAndLength251) {
    std::string data(300, 'x');
    // The full 250-byte piece must not need shortening for this case.
    std::string head = Bytes("02 01 10 FB");
    ASSERT_NE(CrcOf(head + data.substr(0, 250)) & 0xFF, 0xAA);
    ASSERT_NE(CrcOf(head + data.substr(0, 250)) >> 8, 0xAA);
    uint32_t piece = 0;
    EXPECT_EQ(frames.SendInformation(reinterpret_cast<const uint8_t*>(data.data()), 300, piece),
              0);
    EXPECT_EQ(piece, 250u);
    std::string body = Body(line.Frames().back());
    EXPECT_EQ(body.size(), 256u);
    EXPECT_EQ(static_cast<uint8_t>(body[3]), 251);
    EXPECT_EQ(CrcOf(body.substr(0, 254)),
              static_cast<uint8_t>(body[254]) | static_cast<uint8_t>(body[255]) << 8);
}

TEST_F(Frames, PieceWhoseCrcHoldsTheStartByteIsShortened) {
    // Find 250 data bytes whose full frame would carry 0xAA in its CRC.
    std::string data(250, 'p');
    const std::string head = Bytes("02 01 10 FB");
    auto holdsAa = [](uint16_t c) { return (c & 0xFF) == 0xAA || (c >> 8) == 0xAA; };
    int v = 0;
    for (; v < 65536 && !holdsAa(CrcOf(head + data)); ++v) {
        data[248] = static_cast<char>(v & 0xFF);
        data[249] = static_cast<char>(v >> 8);
    }
    ASSERT_TRUE(holdsAa(CrcOf(head + data)));
    uint32_t expected = 0;
    for (uint32_t k = 1; k <= 250 && !expected; ++k) {
        std::string h = head;
        h[3] = static_cast<char>(k + 1);
        if (!holdsAa(CrcOf(h + data.substr(0, k)))) expected = k;
    }
    ASSERT_GT(expected, 0u);

    uint32_t piece = 0;
    EXPECT_EQ(frames.SendInformation(reinterpret_cast<const uint8_t*>(data.data()), 250, piece),
              0);
    EXPECT_EQ(piece, expected);
    std::string wire = line.Frames().back();
    std::string body = Body(wire);
    ASSERT_EQ(body.size(), expected + 6);
    EXPECT_EQ(static_cast<uint8_t>(body[3]), expected + 1);
    uint16_t crc = CrcOf(body.substr(0, expected + 4));
    EXPECT_FALSE(holdsAa(crc));
    EXPECT_EQ(static_cast<uint8_t>(body[expected + 4]), crc & 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(body[expected + 5]), crc >> 8);
}

TEST_F(Frames, ReceivesDocumentedFramesAndSkipsGarbage) {
    line.Put(Bytes("55 AA 01 02 11 42 53"));
    EXPECT_EQ(frames.ReceiveFrame(), 0);
    EXPECT_EQ(frames.linkState, kCtrlRR);
    EXPECT_EQ(frames.peerAckSeq, 0);
    EXPECT_TRUE(frames.peerReady);

    line.Put(Bytes("AA 01 02 31 20 77"));
    EXPECT_EQ(frames.ReceiveFrame(), 0);
    EXPECT_EQ(frames.linkState, kCtrlRR);
    EXPECT_EQ(frames.peerAckSeq, 1);

    // The first AA is only a start candidate; the second starts the frame.
    line.Put(Bytes("AA AA 01 02 73 A6 1F"));
    EXPECT_EQ(frames.ReceiveFrame(), 0);
    EXPECT_EQ(frames.linkState, kCtrlUA);

    line.Put(Bytes("AA 01 02 30 03 43 0A 4F 8D"));
    EXPECT_EQ(frames.ReceiveFrame(), 0);
    EXPECT_EQ(frames.linkState, kCtrlI);
    EXPECT_EQ(frames.peerSendSeq, 0);
    EXPECT_EQ(frames.peerAckSeq, 1);
    EXPECT_EQ(frames.frameBuffer[3], 3);
    EXPECT_EQ(frames.frameBuffer[4], 0x43);
    EXPECT_EQ(frames.frameBuffer[5], 0x0A);
    EXPECT_EQ(line.Queued(), 0u);
}

TEST_F(Frames, RnrIsNotReadyAndBytesOfTheNextFrameStayQueued) {
    const std::string rnr = Bytes("01 02 35");
    uint16_t crc = CrcOf(rnr);
    line.Put("\xAA" + rnr + std::string(1, char(crc & 0xFF)) + std::string(1, char(crc >> 8)) +
             Bytes("AA 01 02 31 20 77"));
    EXPECT_EQ(frames.ReceiveFrame(), 0);
    EXPECT_EQ(frames.linkState, kCtrlRNR);
    EXPECT_EQ(frames.peerAckSeq, 1);
    EXPECT_FALSE(frames.peerReady);
    EXPECT_EQ(line.Queued(), 6u);
}

TEST_F(Frames, BadLengthIsRejectedBeforeMoreBytesAreRead) {
    for (const char* head : {"AA 01 02 10 01", "AA 01 02 10 FC"}) {
        // The fifth byte of the head is the first data byte.
        line.Put(Bytes(head) + std::string(40, 'z'));
        EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_CORRUPTED) << head;
        EXPECT_EQ(frames.linkState, kLinkBadFrame);
        EXPECT_EQ(line.Queued(), 39u);
        frames.link->PurgeReceive();
    }
}

TEST_F(Frames, WrongAddressUnknownControlAndBadCrc) {
    line.Put(Bytes("AA 01 03 11 42 53"));
    EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_WRONG_DATA);
    EXPECT_EQ(frames.linkState, kLinkBadFrame);

    line.Put(Bytes("AA 02 02 11 42 53"));
    EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_WRONG_DATA);

    line.Put(Bytes("AA 01 02 11 42 54"));
    EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_CORRUPTED);
    EXPECT_EQ(frames.linkState, kLinkBadFrame);

    std::string odd = Bytes("01 02 03");
    uint16_t crc = CrcOf(odd);
    line.Put("\xAA" + odd + std::string(1, char(crc & 0xFF)) + std::string(1, char(crc >> 8)));
    EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_WRONG_DATA);

    line.Put(Bytes("AA 01 02 30 03 43 0A 4F 8E"));
    EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_CORRUPTED);
    EXPECT_EQ(frames.linkState, kLinkBadFrame);
}

TEST_F(Frames, HeadTimeLimitAndSilence) {
    EXPECT_EQ(frames.HeadTimeLimit(), 65u);
    uint32_t t0 = clock.Now();
    EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_TIMEOUT);
    EXPECT_EQ(frames.linkState, kLinkNothingReceived);
    EXPECT_GT(clock.Now() - t0, 65u);
    EXPECT_LT(clock.Now() - t0, 70u);

    // Just inside the limit, and just after it.
    line.PutAt(clock.Now() + 64, Bytes("AA 01 02 11 42 53"));
    EXPECT_EQ(frames.ReceiveFrame(), 0);
    line.PutAt(clock.Now() + 67, Bytes("AA 01 02 11 42 53"));
    EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_TIMEOUT);
    frames.link->PurgeReceive();
    clock.Advance(100);
    frames.link->PurgeReceive();

    line.Put(Bytes("AA 01 02"));
    EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_INCOMPLETE);
    EXPECT_EQ(frames.linkState, kLinkNothingReceived);
}

TEST_F(Frames, RestOfAnInformationFrameIsTimedPerPiece) {
    // 20 data bytes: after the head, a piece of 15 (60 ms) and one of 6.
    std::string body = Bytes("01 02 10 15") + std::string(20, 'd');
    uint16_t crc = CrcOf(body);
    body += std::string(1, char(crc & 0xFF)) + std::string(1, char(crc >> 8));
    std::string wire = "\xAA" + body;

    line.Put(wire.substr(0, 6));
    line.PutAt(clock.Now() + 50, wire.substr(6));
    EXPECT_EQ(frames.ReceiveFrame(), 0);
    EXPECT_EQ(frames.linkState, kCtrlI);

    uint32_t t0 = clock.Now();
    line.Put(wire.substr(0, 6));
    line.PutAt(t0 + 80, wire.substr(6));
    EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_TIMEOUT);
    EXPECT_EQ(frames.linkState, kLinkBadFrame);
    EXPECT_LE(clock.Now() - t0, 80u);
}

TEST_F(Frames, StartByteInsideTheRestOfAnInformationFrame) {
    line.Put(Bytes("AA 01 02 10 05 41 AA 01 02 11 42 53"));
    EXPECT_EQ(frames.ReceiveFrame(), APP_PACKET_RECEIVE_ERROR);
    EXPECT_EQ(frames.linkState, kLinkBadFrame);
}

TEST_F(Frames, DoubledStartByteInsideDataIsOneDataByte) {
    std::string body = Bytes("01 02 10 03 AA 41");
    uint16_t crc = CrcOf(body);
    body += std::string(1, char(crc & 0xFF)) + std::string(1, char(crc >> 8));
    std::string wire = "\xAA";
    for (char c : body) {
        wire.push_back(c);
        if (static_cast<uint8_t>(c) == 0xAA) wire.push_back(c);
    }
    line.Put(wire);
    EXPECT_EQ(frames.ReceiveFrame(), 0);
    EXPECT_EQ(frames.frameBuffer[4], 0xAA);
    EXPECT_EQ(frames.frameBuffer[5], 0x41);
}

TEST_F(Frames, SendFailures) {
    line.FailSends(1, -625);
    EXPECT_EQ(frames.SendUnnumbered(kCtrlDISC), APP_CAN_NOT_SEND_DATA);
    EXPECT_EQ(frames.lastSent, kLastSendFailed);
    uint8_t big[300] = {};
    EXPECT_EQ(frames.WriteFrame(big, 257), APP_PACKET_SEND_ERROR);
    EXPECT_EQ(frames.WriteFrame(big, 256), 0);
}

// Line noise made of the bytes that matter to the framing: whatever arrives,
// a frame is only accepted whole, from the printer and with a matching CRC.
TEST_F(Frames, LineNoiseIsNeverTakenForAFrame) {
    std::mt19937 random(20241);
    const uint8_t alphabet[] = {0xAA, 0xAA, 0x01, 0x02, 0x10, 0x11, 0x15, 0x31, 0x73, 0x97, 0x03};
    const std::string valid[] = {Bytes("AA 01 02 11 42 53"), Bytes("AA 01 02 31 20 77"),
                                 Bytes("AA 01 02 73 A6 1F"), Bytes("AA 01 02 30 03 43 0A 4F 8D")};
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string noise;
        size_t n = random() % 40;
        for (size_t i = 0; i < n; ++i)
            noise.push_back(static_cast<char>(random() % 3 ? alphabet[random() % sizeof alphabet]
                                                           : random() % 256));
        // Now and then a real frame, whole or with one byte damaged.
        if (random() % 2) {
            std::string frame = valid[random() % 4];
            if (random() % 2) frame[1 + random() % (frame.size() - 1)] ^= 1 << (random() % 8);
            noise.insert(random() % (noise.size() + 1), frame);
        }
        line.Put(noise);
        int32_t r = frames.ReceiveFrame();
        if (r != 0) {
            EXPECT_TRUE(r == APP_PACKET_RECEIVE_ERROR ||
                        (r <= APP_PACKET_TIMEOUT && r >= APP_PACKET_CORRUPTED))
                << r;
        } else {
            ++accepted;
            EXPECT_EQ(frames.frameBuffer[0], 0x01);
            EXPECT_EQ(frames.frameBuffer[1], 0x02);
            uint32_t end = frames.linkState == kCtrlI ? frames.frameBuffer[3] + 3u : 3u;
            uint16_t crc = Crc16(frames.frameBuffer, end);
            EXPECT_EQ(frames.frameBuffer[end], crc & 0xFF);
            EXPECT_EQ(frames.frameBuffer[end + 1], crc >> 8);
        }
        frames.link->PurgeReceive();
    }
    EXPECT_GT(accepted, 100);
}

TEST_F(Frames, ByteTimeFollowsTheSpeed) {
    EXPECT_EQ(frames.byteTime, 4u);
    EXPECT_EQ(LinkFrames(2, 19200).byteTime, 3u);
    EXPECT_EQ(LinkFrames(2, 38400).byteTime, 2u);
    EXPECT_EQ(LinkFrames(2, 115200).byteTime, 2u);
}

} // namespace
} // namespace korvo
