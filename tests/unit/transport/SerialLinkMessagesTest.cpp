// Messages through the link thread to the simulator's secondary station in
// memory, and the link's recovery from the faults the station can make.
// Every request must run exactly once, whatever the line did to it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "korvocomm.h"
#include "protocol/CommandSession.h"
#include "transport/CRS232NetwLayerServ.h"
#include "transport/Crc16.h"

namespace korvo {
namespace {

using test::Bytes;
using test::Exchange;
using test::Outcome;
using test::StationLine;
using test::WaitFor;

// One frame of the log, unescaped.
struct Seen {
    bool fromPrimary;
    std::string body;
    uint8_t control() const { return static_cast<uint8_t>(body[2]); }
    bool information() const { return (control() & 0x11) == 0x10; }
    bool supervisory() const { return (control() & 0x1B) == 0x11; }
    uint8_t nr() const { return control() >> 5; }
    uint8_t ns() const { return (control() >> 1) & 7; }
    std::string data() const { return body.substr(4, static_cast<uint8_t>(body[3]) - 1u); }
};

std::vector<Seen> Parse(const std::vector<std::string>& log) {
    std::vector<Seen> out;
    for (const std::string& e : log) {
        std::string wire = Bytes(e.c_str() + 4);
        std::string body;
        for (size_t i = 1; i < wire.size(); ++i) {
            body.push_back(wire[i]);
            if (static_cast<uint8_t>(wire[i]) == 0xAA) ++i;
        }
        if (body.size() >= 5) out.push_back({e[0] == 'L', body});
    }
    return out;
}

std::vector<Seen> PrimaryFrames(const std::vector<Seen>& all) {
    std::vector<Seen> out;
    for (const Seen& s : all)
        if (s.fromPrimary) out.push_back(s);
    return out;
}

int CountControl(const std::vector<Seen>& frames, uint8_t control) {
    int n = 0;
    for (const Seen& s : frames)
        n += s.control() == control;
    return n;
}

// Index of the first frame of the primary with this control after `from`.
size_t NextPrimary(const std::vector<Seen>& all, size_t from, uint8_t control) {
    for (size_t i = from; i < all.size(); ++i)
        if (all[i].fromPrimary && all[i].control() == control) return i;
    return all.size();
}

std::string Patterned(size_t n) {
    std::string s;
    for (size_t i = 0; i < n - 1; ++i)
        s.push_back(static_cast<char>('!' + (i * 7) % 90));
    return s + "\n";
}

class Messages : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(layer.Open(), 0); }
    void TearDown() override { EXPECT_EQ(layer.Close(), 0); }

    // The exchange runs once and brings the expected answer back.
    void RunsOnce(const std::string& request) {
        Outcome o = Exchange(layer, request);
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.response, "ok " + request);
        EXPECT_EQ(at.printer.Runs(request), 1);
    }
    std::vector<Seen> Log() { return Parse(at.line.Log()); }

    StationLine at;
    CRS232NetwLayerServ layer{"COM1", 115200, 2, at.line.Factory()};
};

// The data of the primary's information frames from `from` on, each checked
// to follow the station's RR that acknowledges the frame before it.
std::vector<size_t> PiecesSent(const std::vector<Seen>& all, size_t from, std::string& sent) {
    std::vector<size_t> pieces;
    int lastNs = -1;
    for (size_t i = from; i < all.size(); ++i) {
        if (!all[i].fromPrimary || !all[i].information()) continue;
        if (lastNs >= 0) {
            EXPECT_FALSE(all[i - 1].fromPrimary);
            EXPECT_EQ(all[i - 1].control() & 0x1F, 0x11);
            EXPECT_EQ(all[i - 1].nr(), (lastNs + 1) & 7);
        }
        lastNs = all[i].ns();
        sent += all[i].data();
        pieces.push_back(all[i].data().size());
    }
    return pieces;
}

TEST_F(Messages, LongMessageGoesInPiecesEachAfterTheAcknowledgementOfTheLast) {
    const std::string request = std::string(599, 'm') + "\n";
    RunsOnce(request);
    std::string sent;
    EXPECT_EQ(PiecesSent(Log(), 0, sent), (std::vector<size_t>{250, 250, 100}));
    EXPECT_EQ(sent, request);
}

TEST_F(Messages, PieceWhoseCrcHoldsTheStartByteGoesShorter) {
    // The last 100 bytes of this message make a CRC with 0xAA in it.
    const std::string request = Patterned(600);
    RunsOnce(request);
    std::string sent;
    std::vector<size_t> pieces = PiecesSent(Log(), 0, sent);
    EXPECT_EQ(sent, request);
    ASSERT_GT(pieces.size(), 3u);
    EXPECT_EQ(pieces[0], 250u);
    EXPECT_EQ(pieces[1], 250u);
    EXPECT_LT(pieces[2], 100u);
}

TEST_F(Messages, LongResponseArrivesWhole) {
    const std::string answer = Patterned(2400);
    at.printer.SetAnswer(answer);
    Outcome o = Exchange(layer, "big\n");
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.response, answer);
    EXPECT_EQ(at.printer.Runs("big\n"), 1);
}

TEST_F(Messages, PartialReceiveLeavesTheRestInOrder) {
    const std::string answer = Patterned(300);
    at.printer.SetAnswer(answer);
    const std::string request = "three hundred\n";
    ASSERT_EQ(layer.Send(reinterpret_cast<const uint8_t*>(request.data()),
                         static_cast<uint32_t>(request.size())),
              0);
    ASSERT_TRUE(WaitFor([&] { return layer.BytesAvailable() == 300; }));
    uint8_t buffer[500];
    ASSERT_EQ(layer.Receive(buffer, 100), 100);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 100), answer.substr(0, 100));
    EXPECT_EQ(layer.BytesAvailable(), 200u);
    ASSERT_EQ(layer.Receive(buffer, sizeof buffer), 200);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 200), answer.substr(100));
    EXPECT_EQ(layer.Receive(buffer, sizeof buffer), 0);
}

TEST_F(Messages, ResponseThatDoesNotFitTurnsThePollsIntoRnr) {
    const std::string answer = Patterned(2600);
    at.printer.SetAnswer(answer);
    const std::string request = "more than fits\n";
    ASSERT_EQ(layer.Send(reinterpret_cast<const uint8_t*>(request.data()),
                         static_cast<uint32_t>(request.size())),
              0);
    // Keep asking for data without taking any.
    ASSERT_TRUE(WaitFor([&] { return layer.BytesAvailable() == 2500; }));
    ASSERT_TRUE(WaitFor([&] {
        layer.BytesAvailable();
        return CountControl(PrimaryFrames(Log()), 0x15 | (10 & 7) << 5) > 0;
    }));
    EXPECT_EQ(layer.BytesAvailable(), 2500u);
    std::string got;
    uint8_t buffer[2500];
    ASSERT_TRUE(WaitFor([&] {
        if (layer.BytesAvailable()) {
            int32_t n = layer.Receive(buffer, sizeof buffer);
            if (n > 0) got.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
        }
        return got.size() >= answer.size();
    }));
    EXPECT_EQ(got, answer);
}

TEST_F(Messages, LostAndCorruptedFramesAreRepeated) {
    at.AddFault("lose@i1"); // the acknowledgement of the request
    at.AddFault("crc@i2");  // and of the next one
    at.printer.afterRun = [](sim::SecondaryStation& station) {
        static int run = 0;
        sim::LinkFault f;
        // The frames carrying the responses: lost once, corrupted once.
        sim::ParseLinkFault(++run == 1 ? "lose" : "crc", f);
        station.Faults().Add(f);
    };
    RunsOnce("first\n");
    RunsOnce("second\n");
    EXPECT_EQ(at.printer.Executed().size(), 2u);
}

TEST_F(Messages, WrongAddressIsTreatedAsABadFrame) {
    at.AddFault("addr@i1");
    RunsOnce("addressed\n");
    // The answer to the first information frame comes from station 3: the
    // primary takes it for none and sends the same frame again.
    std::vector<Seen> all = Log();
    size_t first = NextPrimary(all, 0, 0x10); // I frame, N(S) 0, N(R) 0
    ASSERT_LT(first + 1, all.size());
    EXPECT_FALSE(all[first + 1].fromPrimary);
    EXPECT_EQ(static_cast<uint8_t>(all[first + 1].body[1]), 3);
    size_t again = NextPrimary(all, first + 2, all[first].control());
    ASSERT_LT(again, all.size());
    EXPECT_EQ(all[again].data(), "addressed\n");
}

TEST_F(Messages, FiveTimeOutsSetTheLinkUpAgain) {
    at.printer.afterRun = [](sim::SecondaryStation& station) {
        sim::LinkFault f;
        sim::ParseLinkFault("silence:5", f);
        station.Faults().Add(f);
    };
    RunsOnce("slow\n");
    std::vector<Seen> sent = PrimaryFrames(Log());
    EXPECT_EQ(CountControl(sent, 0x53), 2); // the first set-up and the new one
    EXPECT_EQ(CountControl(sent, 0x93), 2);
    EXPECT_FALSE(layer.HasFailed());
}

TEST_F(Messages, SixRnrAnswersSendTheWholeMessageAgain) {
    const std::string request = Patterned(600);
    at.AddFault("rnr:6@i2");
    RunsOnce(request);
    std::vector<Seen> all = Log();
    size_t firstPiece = NextPrimary(all, 0, 0x10);
    ASSERT_LT(firstPiece, all.size());
    size_t reset = NextPrimary(all, firstPiece, 0x53);
    ASSERT_LT(reset, all.size());
    // After the new set-up, the message starts over from its first byte.
    size_t again = reset;
    while (again < all.size() && !(all[again].fromPrimary && all[again].information()))
        ++again;
    ASSERT_LT(again, all.size());
    EXPECT_EQ(all[again].ns(), 0);
    EXPECT_EQ(all[again].data(), request.substr(0, all[again].data().size()));
    int rnr = 0;
    for (size_t i = firstPiece; i < reset; ++i)
        rnr += !all[i].fromPrimary && (all[i].control() & 0x1F) == 0x15;
    EXPECT_EQ(rnr, 6);
}

TEST_F(Messages, MessageTheBusyPrinterAcknowledgedIsNotSentAgain) {
    // This printer takes the message, then answers RNR while it works on it:
    // six RNR, the first acknowledging the message. The count lives beyond
    // this function, as the link thread answers until the layer closes.
    auto left = std::make_shared<int>(-1);
    at.line.Answer([this, left](const std::string& frame) {
        int& busy = *left;
        std::string out;
        at.station.Feed(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), out);
        if (busy < 0 && (static_cast<uint8_t>(frame[3]) & 0x11) == 0x10) busy = 6;
        uint8_t control = out.size() > 3 ? static_cast<uint8_t>(out[3]) : 0;
        if (busy > 0 && ((control & 0x11) == 0x10 || (control & 0x1F) == 0x11)) {
            // Its answer, data or RR, becomes RNR with the same N(R).
            --busy;
            std::string body = out.substr(1, 3);
            body[2] = static_cast<char>(0x15 | (control & 0xE0));
            uint16_t crc = Crc16(reinterpret_cast<const uint8_t*>(body.data()), 3);
            out = "\xAA" + body + static_cast<char>(crc & 0xFF) + static_cast<char>(crc >> 8);
        }
        return out;
    });
    RunsOnce("taken once\n");
    std::vector<Seen> sent = PrimaryFrames(Log());
    EXPECT_EQ(CountControl(sent, 0x93), 2); // the link was set up again
}

TEST_F(Messages, LateFrameInAnswerToAPieceDoesNotMakeThePrimaryPoll) {
    // A frame of the printer that comes late (a busy line) is read as the
    // answer to the request's piece: here its earlier data frame. A poll now
    // would tell the printer that its acknowledgement of the piece arrived;
    // the piece goes again instead. Then a wrong N(R) sets the link up again
    // and the piece is sent once more: the printer must know it for a repeat.
    // The line answers from the link thread, also while the test ends: its
    // state outlives this function.
    struct Script {
        std::string lastData;
        bool done = false;
    };
    auto script = std::make_shared<Script>();
    at.line.Answer([this, script](const std::string& frame) {
        std::string& lastData = script->lastData;
        std::string out;
        at.station.Feed(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), out);
        if (out.size() > 4 && (static_cast<uint8_t>(out[3]) & 0x11) == 0x10) lastData = out;
        if (!script->done && frame.find("late\n") != std::string::npos) {
            script->done = true;
            sim::LinkFault f;
            sim::ParseLinkFault("seq", f);
            at.station.Faults().Add(f);
            return lastData;
        }
        return out;
    });
    RunsOnce("first\n");
    RunsOnce("late\n");
    std::vector<Seen> sent = PrimaryFrames(Log());
    EXPECT_EQ(CountControl(sent, 0x93), 2);
}

TEST_F(Messages, CopiesOfTheAnswersAreLetGo) {
    // A line that repeats every frame of the printer: each copy comes after
    // the answer the primary acted on, and is no answer to its next frame.
    at.line.Answer([this](const std::string& frame) {
        std::string out;
        at.station.Feed(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), out);
        return out + out;
    });
    RunsOnce("first\n");
    RunsOnce("second\n");
    // As on a clean line: DISC, SNRM, a poll, then for each request its
    // frame, a poll for the answer and the acknowledgement of the answer.
    // Taken for answers, the copies would make every frame go again and
    // again, each time more often.
    EXPECT_EQ(PrimaryFrames(Log()).size(), 9u);
}

TEST_F(Messages, FrameRejectIsAnsweredWithSetUp) {
    at.AddFault("frmr@i1");
    RunsOnce("rejected once\n");
    std::vector<Seen> all = Log();
    size_t i = 0;
    while (i < all.size() && all[i].control() != 0x97)
        ++i;
    ASSERT_LT(i + 1, all.size());
    EXPECT_TRUE(all[i + 1].fromPrimary);
    EXPECT_EQ(all[i + 1].control(), 0x93);
}

TEST_F(Messages, WrongSequenceNumberLeadsToDisconnect) {
    at.printer.afterRun = [](sim::SecondaryStation& station) {
        sim::LinkFault f;
        sim::ParseLinkFault("seq", f);
        station.Faults().Add(f);
    };
    RunsOnce("numbered\n");
    std::vector<Seen> all = Log();
    size_t i = 0;
    // The response frame with the wrong N(S) (the station's first I frame).
    while (i < all.size() && !(!all[i].fromPrimary && all[i].information()))
        ++i;
    ASSERT_LT(i + 1, all.size());
    EXPECT_NE(all[i].ns(), 0);
    EXPECT_EQ(all[i + 1].control(), 0x53);
}

TEST_F(Messages, WrongSequenceNumberInTheAcknowledgementOfTheRequest) {
    // The link is set up again before the primary knows its message arrived;
    // it sends it again, and the station must not run it twice.
    at.AddFault("seq@i1");
    RunsOnce("acknowledged wrongly\n");
    RunsOnce("next\n");
    std::vector<Seen> sent = PrimaryFrames(Log());
    EXPECT_EQ(CountControl(sent, 0x53), 2);
}

std::string Describe(const Seen& s) {
    std::string who = s.fromPrimary ? "L " : "P ";
    char text[32];
    if (s.information())
        std::snprintf(text, sizeof text, "I %d %d %zu", s.ns(), s.nr(), s.data().size());
    else if (s.supervisory())
        std::snprintf(text, sizeof text, "%s %d", (s.control() & 0x1F) == 0x11 ? "RR" : "RNR",
                      s.nr());
    else
        std::snprintf(text, sizeof text, "%02X", s.control());
    return who + text;
}

TEST_F(Messages, MessageSentAgainInOtherPiecesAfterANewSetUpRunsOnce) {
    // Whole at N(S) 1, N(R) 1; at N(S) 0, N(R) 0 its CRC holds 0xAA, so
    // after the new set-up its first piece is the single byte "p".
    const std::string request = "pRI\tREQ\tItem 2171\t1.00\t1.000\t1\t\t\t\t\t\t\n";
    at.AddFault("seq@i2"); // the acknowledgement of the request: a wrong N(R)
    RunsOnce("first\n");
    RunsOnce(request);
    std::vector<Seen> all = Log();
    size_t i = NextPrimary(all, 0, 0x10 | 1 << 1 | 1 << 5);
    ASSERT_LT(i + 12, all.size());
    std::vector<std::string> seen;
    for (size_t k = i; k < i + 12; ++k)
        seen.push_back(Describe(all[k]));
    EXPECT_EQ(seen, (std::vector<std::string>{"L I 1 1 37", "P RR 5", "L 53", "P 73", "L 93",
                                              "P 73", "L RR 0", "P RR 0", "L I 0 0 1", "P RR 1",
                                              "L I 1 0 36", "P RR 2"}));
}

TEST_F(Messages, MessageOfAnExchangeThatEndedIsDroppedNotSentLater) {
    // The printer stays busy: the exchange ends by its limit, the message
    // still queued.
    at.AddFault("rnr:100");
    EXPECT_EQ(Exchange(layer, "given up\n", 20).code, APP_RESPONSE_TIMEOUT);
    RunsOnce("next\n");
    EXPECT_EQ(at.printer.Runs("given up\n"), 0);
}

TEST_F(Messages, AnswerBeforeTheAcknowledgementLetsTheRepeatFinish) {
    // The request is taken, its acknowledgement and the four repeats lost;
    // after the new set-up the answer to the first poll is lost, so the
    // second poll brings the answer while the request is still queued.
    at.AddFault("lose@i1");
    at.AddFault("silence:4@i2");
    at.AddFault("lose@11");
    const std::string request = "same\n";
    RunsOnce(request);
    // The same request again is a new one, and runs.
    Outcome o = Exchange(layer, request);
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(at.printer.Runs(request), 2);
    std::vector<Seen> sent = PrimaryFrames(Log());
    EXPECT_EQ(CountControl(sent, 0x93), 2);
}

TEST_F(Messages, SixFailedPassesRecordTheFailureUntilTheNextMessage) {
    // Only the queued message keeps the thread busy here (nobody asks for
    // data), so nothing follows the recorded failure and the frames can be
    // counted exactly.
    at.AddFault("silence:6");
    const std::string request = "unheard\n";
    ASSERT_EQ(layer.Send(reinterpret_cast<const uint8_t*>(request.data()),
                         static_cast<uint32_t>(request.size())),
              0);
    ASSERT_TRUE(WaitFor([&] { return layer.HasFailed(); }));
    EXPECT_EQ(layer.GetFailureCode(), APP_PACKET_TIMEOUT);
    EXPECT_EQ(at.printer.Runs(request), 0);
    std::vector<Seen> sent = PrimaryFrames(Log());
    EXPECT_EQ(sent.size(), 6u);
    EXPECT_EQ(CountControl(sent, 0x53), 6);

    // The next message clears the failure and sets the link up again.
    RunsOnce(request);
    EXPECT_FALSE(layer.HasFailed());
    sent = PrimaryFrames(Log());
    ASSERT_GE(sent.size(), 8u);
    EXPECT_EQ(sent[6].control(), 0x53);
    EXPECT_EQ(sent[7].control(), 0x93);
}

TEST(MessagesSession, SessionEndsItsExchangeWithTheLinkFailure) {
    StationLine at;
    at.printer.AnswerAsPrinter();
    at.AddFault("silence:6");
    CRS232NetwLayerServ layer("COM1", 115200, 2, at.line.Factory());
    CommandSession session(&layer);
    EXPECT_EQ(session.Connect(), APP_PACKET_TIMEOUT);
    bool drop = false;
    EXPECT_EQ(session.Execute("\tCONNECT", nullptr, drop), 0);
    EXPECT_EQ(session.Execute("cutPaper", nullptr, drop), 0);
    EXPECT_EQ(at.printer.Runs("CONNECT\tREQ\n"), 1);
    EXPECT_EQ(at.printer.Runs("cP\tREQ\n"), 1);
    EXPECT_EQ(layer.Close(), 0);
}

} // namespace
} // namespace korvo
