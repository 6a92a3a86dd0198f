// The simulator's secondary station, fed frames byte for byte. The frames of
// both sides are the documented ones.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ExampleExchange.h"
#include "HexBytes.h"
#include "sim/station/SecondaryStation.h"
#include "transport/Crc16.h"

namespace korvo::sim {
namespace {

using test::Bytes;
using test::Hex;

// A frame of the primary to address 2: body bytes given, CRC added, 0xAA
// doubled.
std::string Frame(const std::string& head) {
    uint16_t crc =
        Crc16(reinterpret_cast<const uint8_t*>(head.data()), static_cast<uint32_t>(head.size()));
    std::string body = head + std::string(1, char(crc & 0xFF)) + std::string(1, char(crc >> 8));
    std::string wire = "\xAA";
    for (char c : body) {
        wire.push_back(c);
        if (static_cast<uint8_t>(c) == 0xAA) wire.push_back(c);
    }
    return wire;
}

std::string IFrame(uint8_t ns, uint8_t nr, const std::string& data) {
    std::string head = Bytes("02 01");
    head.push_back(static_cast<char>(0x10 | ns << 1 | nr << 5));
    head.push_back(static_cast<char>(data.size() + 1));
    return Frame(head + data);
}

std::string Poll(uint8_t nr) {
    return Frame(Bytes("02 01") + std::string(1, char(0x11 | nr << 5)));
}

class Printer : public StationHandler {
public:
    bool IsComplete(const std::string& request) const override {
        return wholeFrames || StationHandler::IsComplete(request);
    }
    std::string Execute(const std::string& request) override {
        executed.push_back(request);
        return answer.empty() ? "ok:" + request : answer;
    }
    bool wholeFrames = false;
    std::string answer;
    std::vector<std::string> executed;
};

class Station : public ::testing::Test {
protected:
    std::string Feed(const std::string& bytes) {
        std::string out;
        station.Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
        return out;
    }
    std::string FeedHex(const char* hex) { return Hex(Feed(Bytes(hex))); }
    void SetUp() override { ASSERT_EQ(Hex(Feed(Frame(Bytes("02 01 93")))), "AA 01 02 73 A6 1F"); }

    Printer printer;
    SecondaryStation station{2, printer};
};

TEST(StationGolden, ExampleExchangeFromThePrintersSide) {
    Printer printer;
    printer.wholeFrames = true;
    printer.answer = Bytes("43 0A");
    SecondaryStation station(2, printer);
    // Each frame of the library in the example, fed alone, gets exactly the
    // printer's frame that follows it there.
    for (int step = 0; step < test::kExampleSteps - 1; step += 2) {
        std::string in = Bytes(test::kExampleExchange[step] + 4), out;
        station.Feed(reinterpret_cast<const uint8_t*>(in.data()), in.size(), out);
        EXPECT_EQ("P>L " + Hex(out), test::kExampleExchange[step + 1]) << "step " << step + 1;
    }
    std::string in = Bytes(test::kExampleExchange[test::kExampleSteps - 1] + 4), out;
    station.Feed(reinterpret_cast<const uint8_t*>(in.data()), in.size(), out);
    EXPECT_EQ(Hex(out), "AA 01 02 31 20 77");
    ASSERT_EQ(printer.executed.size(), 1u);
    EXPECT_EQ(printer.executed[0], "AB");
}

TEST_F(Station, BytesArriveInAnyPiecesAndGarbageIsSkipped) {
    std::string frame = "\x55\x01" + IFrame(0, 0, "x\n");
    std::string out;
    for (char c : frame)
        out += Feed(std::string(1, c));
    EXPECT_EQ(Hex(out), Hex(Frame(Bytes("01 02 31"))));
    ASSERT_EQ(printer.executed.size(), 1u);
    EXPECT_EQ(printer.executed[0], "x\n");
}

TEST(StationAddress, AaIsDoubledBothWays) {
    Printer printer;
    SecondaryStation station(0xAA, printer);
    std::string out;
    // SNRM to 0xAA as the library sends it, after a stray start byte.
    std::string snrm = Bytes("AA") + Frame(Bytes("AA 01 93"));
    ASSERT_EQ(Hex(snrm.substr(0, 5)), "AA AA AA AA 01");
    station.Feed(reinterpret_cast<const uint8_t*>(snrm.data()), snrm.size(), out);
    EXPECT_EQ(Hex(out), Hex(Frame(Bytes("01 AA 73"))));
    EXPECT_TRUE(station.LinkUp());
}

TEST_F(Station, FramesForOthersOrDamagedGetNoAnswer) {
    EXPECT_EQ(FeedHex("AA 03 01 11 41 5F"), "");
    EXPECT_EQ(FeedHex("AA 02 01 11 41 5E"), "");
    // A frame cut off by a new start: only the second is answered.
    EXPECT_EQ(Hex(Feed(Bytes("AA 02 01") + Poll(0))), Hex(Frame(Bytes("01 02 11"))));
    EXPECT_EQ(station.FramesReceived(), 2u); // the SNRM and the poll
}

TEST_F(Station, RepeatedInformationFrameIsAcknowledgedButNotTakenTwice) {
    EXPECT_EQ(Hex(Feed(IFrame(0, 0, "one\n"))), Hex(Frame(Bytes("01 02 31"))));
    EXPECT_EQ(Hex(Feed(IFrame(0, 0, "one\n"))), Hex(Frame(Bytes("01 02 31"))));
    EXPECT_EQ(printer.executed.size(), 1u);
    // A wrong N(S) is neither taken nor acknowledged.
    EXPECT_EQ(Hex(Feed(IFrame(5, 0, "two\n"))), Hex(Frame(Bytes("01 02 31"))));
    EXPECT_EQ(printer.executed.size(), 1u);
}

TEST_F(Station, ResponseGoesInPiecesOfAtMost250WithAWindowOfOne) {
    printer.answer = std::string(600, 'r') + "\n";
    Feed(IFrame(0, 0, "q\n"));
    std::string got;
    uint8_t nr = 0;
    for (int i = 0; i < 3; ++i) {
        std::string f = Feed(Poll(nr));
        ASSERT_GE(f.size(), 7u);
        uint8_t control = static_cast<uint8_t>(f[3]);
        ASSERT_EQ(control & 0x11, 0x10);
        EXPECT_EQ((control >> 1) & 7, nr);
        // Not acknowledged: the same frame again.
        if (i == 1) {
            EXPECT_EQ(Feed(Poll(nr)), f);
        }
        uint8_t length = static_cast<uint8_t>(f[4]);
        got += f.substr(5, length - 1u);
        nr = (nr + 1) & 7;
    }
    EXPECT_EQ(got, std::string(600, 'r') + "\n");
    // All acknowledged; the station has taken one frame, so its N(R) is 1.
    EXPECT_EQ(Hex(Feed(Poll(nr))), Hex(Frame(Bytes("01 02 31"))));
}

TEST_F(Station, NewResponseNeverTakesTheNumberOfTheFrameInFlight) {
    // The answer to "a" is in flight when "b" comes with N(R) 0: the
    // primary may have it, its acknowledgement still on the way.
    Feed(IFrame(0, 0, "a\n"));
    std::string first = Feed(Poll(0));
    ASSERT_GE(first.size(), 4u);
    EXPECT_EQ(static_cast<uint8_t>(first[3]), 0x10 | 1 << 5); // N(S) 0
    Feed(IFrame(1, 0, "b\n"));
    // N(R) 1 acknowledges it; the answer to "b" goes as N(S) 1.
    std::string second = Feed(Poll(1));
    EXPECT_EQ(second, Frame(Bytes("01 02 52 06") + "ok:b\n"));
}

TEST_F(Station, MessageInSeveralFramesRunsOnceWhenWhole) {
    Feed(IFrame(0, 0, std::string(250, 'a')));
    EXPECT_TRUE(printer.executed.empty());
    Feed(IFrame(1, 0, "b\n"));
    ASSERT_EQ(printer.executed.size(), 1u);
    EXPECT_EQ(printer.executed[0], std::string(250, 'a') + "b\n");
}

TEST_F(Station, PieceRepeatedAfterANewSetUpIsNotTakenAgain) {
    // The acknowledgement of "c\n" never reached the primary, which set the
    // link up again and sends the piece again with N(S) 0.
    Feed(IFrame(0, 0, "c\n"));
    Feed(Frame(Bytes("02 01 53")));
    Feed(Frame(Bytes("02 01 93")));
    Feed(Poll(0));
    EXPECT_EQ(Hex(Feed(IFrame(0, 0, "c\n"))), Hex(Frame(Bytes("01 02 31"))));
    EXPECT_EQ(printer.executed.size(), 1u);
    // Once the primary has polled, the same line is a new request.
    Feed(Poll(0));
    Feed(Poll(0));
    Feed(IFrame(1, 0, "c\n"));
    EXPECT_EQ(printer.executed.size(), 2u);
}

// The primary cuts its pieces by the CRC rule, which depends on N(S) and
// N(R): after a new set-up the same bytes may come cut otherwise.
TEST_F(Station, RepeatCutAnewAfterANewSetUpIsNotTakenAgain) {
    const std::string line = "pRI\tREQ\tItem\n";
    auto setUpAgain = [&] {
        Feed(Frame(Bytes("02 01 53")));
        Feed(Frame(Bytes("02 01 93")));
        Feed(Poll(0));
    };
    // Taken whole, then sent again as "p" and the rest.
    Feed(IFrame(0, 0, line));
    setUpAgain();
    EXPECT_EQ(Hex(Feed(IFrame(0, 0, "p"))), Hex(Frame(Bytes("01 02 31"))));
    EXPECT_EQ(Hex(Feed(IFrame(1, 0, line.substr(1)))), Hex(Frame(Bytes("01 02 51"))));
    ASSERT_EQ(printer.executed.size(), 1u);
    // Taken as "p", then sent again whole.
    Feed(Poll(0));
    Feed(IFrame(2, 0, "p"));
    setUpAgain();
    Feed(IFrame(0, 0, line));
    ASSERT_EQ(printer.executed.size(), 2u);
    EXPECT_EQ(printer.executed[1], line);
}

TEST_F(Station, AfterANewSetUpTheFirstPollIsOfferedTheLine) {
    // The primary may still hold its message (its acknowledgement was lost)
    // and sends it only after RR: the response waits one poll.
    Feed(IFrame(0, 0, "r\n"));
    Feed(Frame(Bytes("02 01 53")));
    Feed(Frame(Bytes("02 01 93")));
    EXPECT_EQ(Hex(Feed(Poll(0))), Hex(Frame(Bytes("01 02 11"))));
    std::string data = Feed(Poll(0));
    ASSERT_GE(data.size(), 4u);
    EXPECT_EQ(static_cast<uint8_t>(data[3]), 0x10);
    EXPECT_EQ(printer.executed.size(), 1u);
}

TEST_F(Station, MessageSentAgainFromItsFirstByteReplacesThePartOne) {
    Feed(IFrame(0, 0, std::string(250, 'm')));
    Feed(IFrame(1, 0, std::string(250, 'n')));
    Feed(Frame(Bytes("02 01 53")));
    Feed(Frame(Bytes("02 01 93")));
    Feed(Poll(0));
    Feed(IFrame(0, 0, std::string(250, 'm')));
    Feed(IFrame(1, 0, std::string(250, 'n')));
    Feed(IFrame(2, 0, "\n"));
    ASSERT_EQ(printer.executed.size(), 1u);
    EXPECT_EQ(printer.executed[0], std::string(250, 'm') + std::string(250, 'n') + "\n");
}

// The primary gave a request up after its first piece ("s", cut short by the
// CRC rule) was taken, set the link up again and sent the next request: the
// part left over is not joined to it.
TEST_F(Station, PartOfARequestGivenUpIsNotJoinedToTheNextRequest) {
    Feed(IFrame(0, 0, "s"));
    Feed(Frame(Bytes("02 01 53")));
    Feed(Frame(Bytes("02 01 93")));
    Feed(Poll(0));
    Feed(IFrame(0, 0, "g"));
    Feed(IFrame(1, 0, "HL\tREQ\t8\n"));
    ASSERT_EQ(printer.executed.size(), 1u);
    EXPECT_EQ(printer.executed[0], "gHL\tREQ\t8\n");
}

TEST_F(Station, NotSetUpOrUnknownFramesAreRejected) {
    Feed(Frame(Bytes("02 01 53")));
    EXPECT_EQ(Hex(Feed(Poll(0))), Hex(Frame(Bytes("01 02 97"))));
    Feed(Frame(Bytes("02 01 93")));
    EXPECT_EQ(Hex(Feed(Frame(Bytes("02 01 03")))), Hex(Frame(Bytes("01 02 97"))));
}

TEST_F(Station, Faults) {
    LinkFault f;
    ASSERT_TRUE(ParseLinkFault("rnr:2", f));
    station.Faults().Add(f);
    EXPECT_EQ(Hex(Feed(IFrame(0, 0, "x\n"))), Hex(Frame(Bytes("01 02 15"))));
    EXPECT_EQ(Hex(Feed(Poll(0))), Hex(Frame(Bytes("01 02 15"))));
    EXPECT_EQ(Hex(Feed(Poll(0))), Hex(Frame(Bytes("01 02 11"))));
    EXPECT_TRUE(printer.executed.empty());

    ASSERT_TRUE(ParseLinkFault("silence:1", f));
    station.Faults().Add(f);
    EXPECT_EQ(Feed(IFrame(0, 0, "x\n")), "");
    EXPECT_TRUE(printer.executed.empty());

    ASSERT_TRUE(ParseLinkFault("lose", f));
    station.Faults().Add(f);
    EXPECT_EQ(Feed(IFrame(0, 0, "x\n")), "");
    EXPECT_EQ(printer.executed.size(), 1u);

    ASSERT_TRUE(ParseLinkFault("crc", f));
    station.Faults().Add(f);
    // The response "ok:x\n" with a CRC that does not match.
    std::string bad = Feed(Poll(0));
    std::string good = Frame(Bytes("01 02 30 06") + "ok:x\n");
    ASSERT_EQ(bad.size(), good.size());
    EXPECT_EQ(bad.substr(0, bad.size() - 2), good.substr(0, good.size() - 2));
    EXPECT_NE(bad, good);
    EXPECT_EQ(Feed(Poll(0)), good);

    ASSERT_TRUE(ParseLinkFault("addr", f));
    station.Faults().Add(f);
    EXPECT_EQ(Hex(Feed(Poll(1))), Hex(Frame(Bytes("01 03 31"))));

    ASSERT_TRUE(ParseLinkFault("seq", f));
    station.Faults().Add(f);
    EXPECT_EQ(Hex(Feed(Poll(1))), Hex(Frame(Bytes("01 02 91"))));

    ASSERT_TRUE(ParseLinkFault("frmr", f));
    station.Faults().Add(f);
    EXPECT_EQ(Hex(Feed(Poll(1))), Hex(Frame(Bytes("01 02 97"))));
    EXPECT_FALSE(station.LinkUp());
}

// Whatever the line carries, the station answers only with whole frames of
// its own, and its requests never outgrow what a request may hold.
TEST_F(Station, LineNoiseGetsOnlyWellFormedAnswers) {
    std::mt19937 random(7);
    const uint8_t alphabet[] = {0xAA, 0xAA, 0x02, 0x01, 0x10, 0x11, 0x93, 0x53, 0x0A, 0xFB};
    const std::string frames[] = {Frame(Bytes("02 01 93")),
                                  Frame(Bytes("02 01 53")),
                                  Poll(0),
                                  Poll(1),
                                  IFrame(0, 0, "a\n"),
                                  IFrame(1, 0, std::string(250, 'z')),
                                  IFrame(0, 1, "\xAA\xAA\n")};
    size_t answers = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string noise;
        size_t n = random() % 60;
        for (size_t i = 0; i < n; ++i)
            noise.push_back(static_cast<char>(random() % 3 ? alphabet[random() % sizeof alphabet]
                                                           : random() % 256));
        if (random() % 2) {
            std::string frame = frames[random() % 7];
            if (random() % 3 == 0) frame[1 + random() % (frame.size() - 1)] ^= 1 << (random() % 8);
            noise.insert(random() % (noise.size() + 1), frame);
        }
        std::string out = Feed(noise);
        // Unescape the answers one by one and check each.
        size_t i = 0;
        while (i < out.size()) {
            ASSERT_EQ(static_cast<uint8_t>(out[i]), 0xAA);
            std::string body;
            for (++i; i < out.size(); ++i) {
                if (static_cast<uint8_t>(out[i]) == 0xAA) {
                    if (i + 1 < out.size() && static_cast<uint8_t>(out[i + 1]) == 0xAA) {
                        body.push_back(out[i++]);
                        continue;
                    }
                    break;
                }
                body.push_back(out[i]);
            }
            ASSERT_GE(body.size(), 5u);
            EXPECT_EQ(static_cast<uint8_t>(body[0]), 0x01);
            EXPECT_EQ(static_cast<uint8_t>(body[1]), 0x02);
            uint16_t crc = Crc16(reinterpret_cast<const uint8_t*>(body.data()),
                                 static_cast<uint32_t>(body.size() - 2));
            EXPECT_EQ(static_cast<uint8_t>(body[body.size() - 2]), crc & 0xFF);
            EXPECT_EQ(static_cast<uint8_t>(body[body.size() - 1]), crc >> 8);
            ++answers;
        }
    }
    for (const std::string& r : printer.executed)
        EXPECT_LE(r.size(), SecondaryStation::kRequestMax);
    EXPECT_GT(answers, 300u);
}

TEST(StationFaultText, Parsing) {
    LinkFault f;
    ASSERT_TRUE(ParseLinkFault("lose:2@i3", f));
    EXPECT_EQ(f.kind, LinkFaultKind::Lose);
    EXPECT_EQ(f.count, 2u);
    EXPECT_TRUE(f.onInformation);
    EXPECT_EQ(f.trigger, 3u);
    ASSERT_TRUE(ParseLinkFault("silence:6@4", f));
    EXPECT_FALSE(f.onInformation);
    EXPECT_EQ(f.trigger, 4u);
    ASSERT_TRUE(ParseLinkFault("frmr", f));
    EXPECT_EQ(f.count, 1u);
    EXPECT_EQ(f.trigger, 0u);
    for (const char* bad : {"", "quiet", "lose:", "lose:0", "lose:x", "lose@", "lose@i", "lose@0",
                            "crc:1@i0", "lose:99999999999"})
        EXPECT_FALSE(ParseLinkFault(bad, f)) << bad;
}

TEST(StationFaultTrigger, StartsAtTheNthInformationFrame) {
    Printer printer;
    SecondaryStation station(2, printer);
    LinkFault f;
    ASSERT_TRUE(ParseLinkFault("lose@i2", f));
    station.Faults().Add(f);
    std::string out;
    auto feed = [&](const std::string& s) {
        out.clear();
        station.Feed(reinterpret_cast<const uint8_t*>(s.data()), s.size(), out);
        return out;
    };
    feed(Frame(Bytes("02 01 93")));
    EXPECT_NE(feed(IFrame(0, 0, "a\n")), "");
    EXPECT_NE(feed(Poll(0)), "");
    EXPECT_EQ(feed(IFrame(1, 1, "b\n")), "");
    EXPECT_NE(feed(IFrame(1, 1, "b\n")), "");
    EXPECT_EQ(printer.executed.size(), 2u);
}

} // namespace
} // namespace korvo::sim
