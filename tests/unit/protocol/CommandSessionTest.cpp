#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "ScriptedTransport.h"
#include "TestClock.h"
#include "protocol/CommandSession.h"
#include "protocol/ConfigDefaults.h"
#include "protocol/ResultCodes.h"

namespace korvo {
namespace {

using test::ResponseTo;
using test::ScriptedTransport;
using test::TestClock;

class CommandSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        transport.AnswerEach([](const std::string& r) { return std::vector<std::string>{ResponseTo(r, 0)}; });
    }

    int32_t Run(const char* name, const char* params = nullptr) {
        bool drop = true;
        int32_t r = session.Execute(name, params, drop);
        lastDrop = drop;
        return r;
    }

    TestClock clock;
    ScriptedTransport transport;
    CommandSession session{&transport};
    bool lastDrop = false;
};

TEST_F(CommandSessionTest, RequestLineLongAndShortForm) {
    EXPECT_EQ(Run("beginFiscalReceipt", "1\t0\t"), 0);
    EXPECT_EQ(transport.sent.back(), "bFR\tREQ\t1\t0\t\n");
    // A command with a request head keeps the parameter TAB without parameters.
    EXPECT_EQ(Run("printNormal", ""), 0);
    EXPECT_EQ(transport.sent.back(), "pN\tREQ\t\n");
    EXPECT_EQ(Run("printNormal", nullptr), 0);
    EXPECT_EQ(transport.sent.back(), "pN\tREQ\t\n");
    // Without a head, an empty parameter string gives the short form...
    EXPECT_EQ(Run("printXReport", ""), 0);
    EXPECT_EQ(transport.sent.back(), "pXR\tREQ\n");
    // ...and parameters still go out in the long form.
    EXPECT_EQ(Run("pXR", "x"), 0);
    EXPECT_EQ(transport.sent.back(), "pXR\tREQ\tx\n");
    EXPECT_EQ(transport.purges, 5);
}

TEST_F(CommandSessionTest, ShortNameOnTheWireCallerSpellingKept) {
    EXPECT_EQ(Run("BEGINFISCALRECEIPT", "1"), 0);
    EXPECT_EQ(transport.sent.back(), "bFR\tREQ\t1\n");
    EXPECT_STREQ(session.LastCommandName(), "BEGINFISCALRECEIPT");
    EXPECT_EQ(Run("pxr"), 0);
    EXPECT_EQ(transport.sent.back(), "pXR\tREQ\n");
    EXPECT_STREQ(session.LastCommandName(), "pxr");
}

TEST_F(CommandSessionTest, ParameterAndLineLimitsAtTheirBoundaries) {
    // bFR + "\tREQ\t" is 8 bytes: 2491 parameter bytes make a 2499-byte line.
    std::string fits(2491, 'a');
    EXPECT_EQ(Run("bFR", fits.c_str()), 0);
    EXPECT_EQ(transport.sent.back().size(), 2500u);
    EXPECT_EQ(transport.sent.back(), "bFR\tREQ\t" + fits + "\n");

    size_t before = transport.sent.size();
    std::string tooLongLine(2492, 'a');
    EXPECT_EQ(Run("bFR", tooLongLine.c_str()), APP_COMMAND_TOO_LONG);
    EXPECT_EQ(session.LastStatus(), APP_COMMAND_TOO_LONG);
    std::string lastBelowData(2499, 'a');
    EXPECT_EQ(Run("bFR", lastBelowData.c_str()), APP_COMMAND_TOO_LONG);
    std::string tooMuchData(2500, 'a');
    EXPECT_EQ(Run("bFR", tooMuchData.c_str()), APP_CMD_DATA_TOO_LONG);
    EXPECT_EQ(session.LastStatus(), APP_CMD_DATA_TOO_LONG);
    EXPECT_EQ(transport.sent.size(), before);
    // The name of a refused exchange is not kept.
    EXPECT_STREQ(session.LastCommandName(), "");
}

TEST_F(CommandSessionTest, UnknownCommandChangesNothingButStatus) {
    EXPECT_EQ(Run("getDate", "1"), 0);
    transport.AnswerEach([](const std::string& r) { return std::vector<std::string>{ResponseTo(r, 0, "1\t2026")}; });
    EXPECT_EQ(Run("getDate", "1"), 0);
    ASSERT_NE(session.ResponseValues(), nullptr);
    for (const char* unknown : {"noSuchCommand", "", "CONNECT"}) {
        EXPECT_EQ(Run(unknown), APP_UNKNOWN_COMMAND);
        EXPECT_EQ(session.LastStatus(), APP_UNKNOWN_COMMAND);
        EXPECT_STREQ(session.LastCommandName(), "getDate");
        ASSERT_NE(session.ResponseValues(), nullptr);
        EXPECT_STREQ(session.ResponseValues(), "1\t2026");
    }
    EXPECT_EQ(Run(nullptr), APP_UNKNOWN_COMMAND);
    EXPECT_EQ(transport.sent.size(), 2u);
}

TEST_F(CommandSessionTest, NoTransport) {
    CommandSession bare(nullptr);
    bool drop = true;
    EXPECT_EQ(bare.Execute("bFR", nullptr, drop), APP_NO_NETWORK_LAYER);
    EXPECT_FALSE(drop);
    EXPECT_EQ(bare.LastStatus(), APP_NO_NETWORK_LAYER);
    EXPECT_EQ(bare.Connect(), APP_NO_NETWORK_LAYER);
}

TEST_F(CommandSessionTest, SendFailurePassesThrough) {
    transport.sendResult = APP_CAN_NOT_SEND_DATA;
    EXPECT_EQ(Run("pXR"), APP_CAN_NOT_SEND_DATA);
    EXPECT_EQ(session.LastStatus(), APP_CAN_NOT_SEND_DATA);
    EXPECT_EQ(transport.sent.size(), 1u);
}

TEST_F(CommandSessionTest, ReceiveErrorsGive302) {
    transport.onSend = [this](const std::string&) { transport.Deliver("x"); };
    transport.receiveResult = APP_TCP_CONNECTION_BROKEN;
    EXPECT_EQ(Run("pXR"), APP_UNKNOWN_RECEIVE_ERROR);
    EXPECT_EQ(session.LastStatus(), APP_UNKNOWN_RECEIVE_ERROR);
    EXPECT_GE(transport.endReceives, 1);
}

TEST_F(CommandSessionTest, BrokenLinkEndsTheExchangeWithItsCode) {
    transport.onSend = [this](const std::string&) {
        transport.failed = true;
        transport.failureCode = -307;
    };
    uint32_t before = clock.Now();
    EXPECT_EQ(Run("pXR"), -307);
    EXPECT_EQ(session.LastStatus(), -307);
    EXPECT_LT(clock.Now() - before, 5u);
}

TEST_F(CommandSessionTest, DropConnectionOnlyForSuccessfulUpdateFirmware) {
    EXPECT_EQ(Run("updateFirmware"), 0);
    EXPECT_TRUE(lastDrop);
    EXPECT_EQ(transport.sent.back(), "uF\tREQ\n");
    EXPECT_EQ(Run("pXR"), 0);
    EXPECT_FALSE(lastDrop);
    transport.AnswerEach([](const std::string& r) { return std::vector<std::string>{ResponseTo(r, 233)}; });
    EXPECT_EQ(Run("uF"), 233);
    EXPECT_FALSE(lastDrop);
}

TEST_F(CommandSessionTest, ConnectHandshake) {
    EXPECT_EQ(session.Connect(), 0);
    EXPECT_EQ(transport.opens, 1);
    ASSERT_EQ(transport.sent.size(), 1u);
    EXPECT_EQ(transport.sent[0], "CONNECT\tREQ\n");
    EXPECT_STREQ(session.LastCommandName(), "\tCONNECT");
}

TEST_F(CommandSessionTest, ConnectAnswered301GetsExactlyOneMoreConnect) {
    int answers = 0;
    transport.AnswerEach([&](const std::string& r) {
        return std::vector<std::string>{ResponseTo(r, ++answers == 1 ? 301 : 0)};
    });
    EXPECT_EQ(session.Connect(), 0);
    EXPECT_EQ(transport.sent.size(), 2u);

    ScriptedTransport stubborn;
    stubborn.AnswerEach([](const std::string& r) { return std::vector<std::string>{ResponseTo(r, 301)}; });
    CommandSession s2(&stubborn);
    EXPECT_EQ(s2.Connect(), 301);
    EXPECT_EQ(stubborn.sent.size(), 2u);
}

TEST_F(CommandSessionTest, ConnectOpenFailure) {
    transport.openResult = APP_PORT_DO_NOT_EXIST;
    EXPECT_EQ(session.Connect(), APP_PORT_DO_NOT_EXIST);
    EXPECT_EQ(session.LastStatus(), APP_PORT_DO_NOT_EXIST);
    EXPECT_TRUE(transport.sent.empty());
}

TEST_F(CommandSessionTest, ConstructionCopiesProcessWideValues) {
    {
        ScriptedTransport t;
        CommandSession s(&t);
        EXPECT_TRUE(t.transferTimes.empty());
        EXPECT_TRUE(t.options.empty());
        EXPECT_EQ(s.LinkTransferTime(), 0u);
        EXPECT_EQ(s.ExtendResponseTime(), 0);
    }
    globalLinkTransferTime = 250;
    globalExtendResponseTime = 40;
    globalDnsConnectMode = 1;
    {
        ScriptedTransport t;
        CommandSession s(&t);
        EXPECT_EQ(t.transferTimes, std::vector<uint32_t>{250});
        ASSERT_EQ(t.options.size(), 1u);
        EXPECT_EQ(t.options[0].first, 4);
        EXPECT_EQ(t.options[0].second, 1u);
        EXPECT_EQ(s.LinkTransferTime(), 250u);
        EXPECT_EQ(s.ExtendResponseTime(), 40);
        EXPECT_EQ(s.NextCommandTime(), 0);
    }
    globalLinkTransferTime = 0;
    globalExtendResponseTime = 0;
    globalDnsConnectMode = -1;
}

// The abort flag is set from a second thread while the wait runs on the real
// clock; the response never comes.
TEST(CommandSessionAbort, AbortFromAnotherThreadEndsTheWait) {
    ScriptedTransport transport;
    CommandSession session(&transport);
    std::atomic<bool> sent{false};
    transport.onSend = [&](const std::string&) { sent = true; };
    std::thread aborter([&] {
        while (!sent) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        session.RequestAbort();
    });
    bool drop = false;
    EXPECT_EQ(session.Execute("endFiscalReceipt", "1", drop), APP_COMMUNICATION_ABORTED);
    aborter.join();
    EXPECT_EQ(session.LastStatus(), APP_COMMUNICATION_ABORTED);
    // The flag stays: the next exchange ends at once and sends nothing.
    EXPECT_EQ(session.Execute("pXR", nullptr, drop), APP_COMMUNICATION_ABORTED);
    EXPECT_EQ(transport.sent.size(), 1u);
    EXPECT_EQ(session.LastStatus(), APP_COMMUNICATION_ABORTED);
}

TEST(CommandSessionAbort, AbortFromTheMessagePump) {
    TestClock clock;
    ScriptedTransport transport;
    CommandSession session(&transport);
    MessagePumpHook hook{[](void* s) { static_cast<CommandSession*>(s)->RequestAbort(); }, &session};
    SetMessagePumpHook(&hook);
    bool drop = false;
    EXPECT_EQ(session.Execute("pXR", nullptr, drop), APP_COMMUNICATION_ABORTED);
    SetMessagePumpHook(nullptr);
    // The abort ends the pass's wait at once: no time passes.
    EXPECT_EQ(clock.SleptMs(), 0u);
    // Not even a printer that would answer at once gets the next request.
    transport.AnswerEach([](const std::string& r) { return std::vector<std::string>{ResponseTo(r, 0)}; });
    EXPECT_EQ(session.Execute("pXR", nullptr, drop), APP_COMMUNICATION_ABORTED);
    EXPECT_EQ(transport.sent.size(), 1u);
}

} // namespace
} // namespace korvo
