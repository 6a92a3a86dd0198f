// The serial network layer with its link thread against scripted lines: the
// documented example exchange byte for byte, and the life cycle of the
// thread (open, failure to open, stop, a thread that cannot stop in time).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ExampleExchange.h"
#include "LinkTestSupport.h"
#include "ScriptedLine.h"
#include "TestClock.h"
#include "korvocomm.h"
#include "transport/CRS232NetwLayerServ.h"

namespace korvo {
namespace {

using test::Bytes;
using test::Hex;
using test::ScriptedLine;
using test::TestClock;
using test::WaitFor;

const char kDisc[] = "AA 02 01 53 C7 37";
const char kUa[] = "AA 01 02 73 A6 1F";

TEST(SerialLinkGolden, ExampleExchangeInBothDirections) {
    // The far end plays the printer's frames of the example, in turn, to the
    // library's frames of the example; then it answers polls with RR N(R) 1.
    ScriptedLine line;
    int step = 0;
    line.Answer([&](const std::string& frame) {
        std::string sent = "L>P " + Hex(frame);
        if (step + 1 < test::kExampleSteps && sent == test::kExampleExchange[step]) {
            step += 2;
            return Bytes(test::kExampleExchange[step - 1] + 4);
        }
        if (Hex(frame) == kDisc) return Bytes(kUa);
        return Bytes("AA 01 02 31 20 77");
    });
    CRS232NetwLayerServ layer("COM1", 9600, 2, line.Factory());
    ASSERT_EQ(layer.Open(), 0);
    const uint8_t message[] = {0x41, 0x42};
    ASSERT_EQ(layer.Send(message, 2), 0);
    ASSERT_TRUE(WaitFor([&] { return layer.BytesAvailable() == 2; }));
    uint8_t got[8] = {};
    EXPECT_EQ(layer.Receive(got, sizeof got), 2);
    EXPECT_EQ(got[0], 0x43);
    EXPECT_EQ(got[1], 0x0A);
    EXPECT_EQ(layer.Close(), 0);

    std::vector<std::string> log = line.Log();
    ASSERT_GE(log.size(), static_cast<size_t>(test::kExampleSteps));
    for (int i = 0; i < test::kExampleSteps; ++i)
        EXPECT_EQ(log[i], test::kExampleExchange[i]) << "step " << i + 1;
    // The polls that follow, and DISC as the very last frame.
    std::vector<std::string> sent = test::PrimaryFrames(log);
    EXPECT_EQ(sent.back(), kDisc);
}

// A line whose far end answers DISC and SNRM with UA, and polls with RR.
void AnswerSetUpAndPolls(ScriptedLine& line) {
    line.Answer([](const std::string& frame) {
        std::string hex = Hex(frame);
        if (hex == kDisc || hex == "AA 02 01 93 8B EE") return Bytes(kUa);
        return Bytes("AA 01 02 11 42 53");
    });
}

TEST(SerialLinkLife, OpenOnAMissingPortFailsAndLeavesNoThread) {
    ScriptedLine line;
    line.SetOpenResult(APP_PORT_DO_NOT_EXIST);
    int threads = test::SettledThreadCount();
    CRS232NetwLayerServ layer("COM9", 9600, 2, line.Factory());
    EXPECT_EQ(layer.Open(), APP_PORT_DO_NOT_EXIST);
    EXPECT_TRUE(layer.HasFailed());
    EXPECT_EQ(layer.GetFailureCode(), APP_PORT_DO_NOT_EXIST);
    EXPECT_EQ(line.LiveLinks(), 0);
    EXPECT_TRUE(test::ThreadsBackTo(threads));
    // The open failure is no exchange failure: a message cannot clear it.
    const uint8_t x = 'x';
    EXPECT_EQ(layer.Send(&x, 1), APP_PORT_DO_NOT_EXIST);
    EXPECT_EQ(layer.Close(), 0);
}

TEST(SerialLinkLife, CloseIsSafeWhenNeverOpenedAndTwice) {
    ScriptedLine line;
    CRS232NetwLayerServ layer("COM1", 9600, 2, line.Factory());
    EXPECT_EQ(layer.Close(), 0);
    EXPECT_EQ(layer.Close(), 0);
    EXPECT_TRUE(layer.HasFailed());
    // A layer without a thread must not report its failure as success.
    EXPECT_EQ(layer.GetFailureCode(), APP_NETW_LAYER_FAILED);
    EXPECT_EQ(line.Opens(), 0);
}

TEST(SerialLinkLife, IdleLinkClosesWithDiscLastAndLeavesNothing) {
    ScriptedLine line;
    AnswerSetUpAndPolls(line);
    int threads = test::SettledThreadCount();
    auto layer = std::make_unique<CRS232NetwLayerServ>("COM1", 9600, 2, line.Factory());
    ASSERT_EQ(layer->Open(), 0);
    EXPECT_FALSE(layer->HasFailed());
    if (threads > 0) {
        EXPECT_EQ(test::ThreadCount(), threads + 1);
    }
    EXPECT_EQ(layer->Close(), 0);
    EXPECT_TRUE(layer->HasFailed());
    ASSERT_FALSE(line.Frames().empty());
    EXPECT_EQ(Hex(line.Frames().back()), kDisc);
    EXPECT_EQ(line.LiveLinks(), 0);
    EXPECT_EQ(line.Closes(), 1);
    EXPECT_TRUE(test::ThreadsBackTo(threads));
    layer.reset();
    // Open again after Close: a new thread and a new link.
    CRS232NetwLayerServ again("COM1", 9600, 2, line.Factory());
    ASSERT_EQ(again.Open(), 0);
    EXPECT_EQ(again.Close(), 0);
    EXPECT_EQ(line.Opens(), 2);
}

// On the test clock: the thread's waits are what moves time, so the time
// that passes during Close is the thread's own reaction to the stop.
TEST(SerialLinkLife, CloseEndsEveryWaitOfTheThreadWithinCloseWait) {
    TestClock clock;
    ScriptedLine line; // silent: every receive waits to its limit
    CRS232NetwLayerServ layer("COM1", 9600, 2, line.Factory());
    // The longest transfer time makes a head wait of over 10 s.
    layer.SetTransferTime(5000);
    ASSERT_EQ(layer.Open(), 0);
    const uint8_t x = 'x';
    ASSERT_EQ(layer.Send(&x, 1), 0);
    ASSERT_TRUE(WaitFor([&] { return line.Frames().size() >= 2; }));
    uint32_t before = clock.Now();
    EXPECT_EQ(layer.Close(), 0);
    EXPECT_LT(clock.Now() - before, CRS232NetwLayerServ::kCloseWait / 2);
    EXPECT_EQ(Hex(line.Frames().back()), kDisc);
    EXPECT_EQ(line.LiveLinks(), 0);
}

TEST(SerialLinkLife, ThreadStuckInAWriteOutlivesItsObjectSafely) {
    TestClock clock;
    // Only the waiting caller moves time while the thread is blocked.
    test::TestClock* c = &clock;
    MessagePumpHook advance{[](void* p) { static_cast<TestClock*>(p)->Advance(1); }, c};
    SetMessagePumpHook(&advance);

    ScriptedLine line;
    AnswerSetUpAndPolls(line);
    int threads = test::SettledThreadCount();
    auto layer = std::make_unique<CRS232NetwLayerServ>("COM1", 9600, 2, line.Factory());
    ASSERT_EQ(layer->Open(), 0);
    line.BlockSends(true);
    const uint8_t x = 'x';
    ASSERT_EQ(layer->Send(&x, 1), 0);
    ASSERT_TRUE(WaitFor([&] { return line.SendIsBlocked(); }));

    uint32_t before = clock.Now();
    EXPECT_EQ(layer->Close(), APP_COMM_THREAD_ERROR);
    EXPECT_GE(clock.Now() - before, CRS232NetwLayerServ::kCloseWait);
    EXPECT_EQ(line.LiveLinks(), 1);
    layer.reset(); // the thread still runs and still holds what it uses

    line.BlockSends(false);
    EXPECT_TRUE(WaitFor([&] { return line.LiveLinks() == 0; }));
    EXPECT_EQ(line.Closes(), 1);
    EXPECT_TRUE(test::ThreadsBackTo(threads));
    SetMessagePumpHook(nullptr);
}

TEST(SerialLinkLife, SendLimits) {
    ScriptedLine line;
    CRS232NetwLayerServ layer("COM1", 9600, 2, line.Factory());
    std::string big(2501, 'b');
    const uint8_t* data = reinterpret_cast<const uint8_t*>(big.data());
    EXPECT_EQ(layer.Send(data, 2501), APP_SEND_BUFFER_OVERFLOW);
    EXPECT_EQ(layer.Send(data, 2500), 0);
    EXPECT_EQ(layer.Send(data, 1), APP_SEND_BUFFER_OVERFLOW);
}

TEST(SerialLinkLife, TimesAndOptions) {
    ScriptedLine line;
    AnswerSetUpAndPolls(line);
    CRS232NetwLayerServ layer("COM1", 9600, 2, line.Factory());
    EXPECT_EQ(layer.GetExtraResponseTime(), 1100u);
    EXPECT_TRUE(layer.SetTransferTime(10));
    EXPECT_EQ(layer.GetExtraResponseTime(), 1100u);
    EXPECT_TRUE(layer.SetTransferTime(100));
    EXPECT_EQ(layer.GetExtraResponseTime(), 250u * 4 + 4 * 200);
    EXPECT_EQ(CRS232NetwLayerServ("COM1", 115200, 2, line.Factory()).GetExtraResponseTime(),
              250u * 2 + 4 * 25);
    EXPECT_EQ(layer.GetOption(OPTION_DNS_CONNECT_MODE), -1);
    EXPECT_FALSE(layer.SetOption(OPTION_DNS_CONNECT_MODE, 1));
    ASSERT_EQ(layer.Open(), 0);
    EXPECT_EQ(layer.GetOption(OPTION_DNS_CONNECT_MODE), -1);
    EXPECT_FALSE(layer.SetOption(OPTION_DNS_CONNECT_MODE, 1));
    EXPECT_EQ(layer.Close(), 0);
}

TEST(SerialLinkLife, PortThatCannotBeWrittenRefusesEveryLaterMessage) {
    ScriptedLine line;
    line.FailSends(1000000, APP_CAN_NOT_SEND_DATA);
    CRS232NetwLayerServ layer("COM1", 9600, 2, line.Factory());
    ASSERT_EQ(layer.Open(), 0);
    const uint8_t x = 'x';
    ASSERT_EQ(layer.Send(&x, 1), 0);
    ASSERT_TRUE(WaitFor([&] { return layer.HasFailed(); }));
    EXPECT_EQ(layer.GetFailureCode(), APP_CAN_NOT_SEND_DATA);
    EXPECT_EQ(layer.Send(&x, 1), APP_CAN_NOT_SEND_DATA);
    EXPECT_EQ(layer.Send(&x, 1), APP_CAN_NOT_SEND_DATA);
    line.FailSends(0, 0);
    EXPECT_EQ(layer.Close(), 0);
}

} // namespace
} // namespace korvo
