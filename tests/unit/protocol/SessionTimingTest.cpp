#include <gtest/gtest.h>

#include <string>

#include "ScriptedTransport.h"
#include "TestClock.h"
#include "protocol/CommandSession.h"
#include "protocol/ResultCodes.h"

namespace korvo {
namespace {

using test::ScriptedTransport;
using test::TestClock;

// All on the test clock: a silent printer makes each exchange run exactly to
// its time limit, which the elapsed virtual time then shows.
class SessionTiming : public ::testing::Test {
protected:
    uint32_t TimeOut(const char* name, const char* params = nullptr) {
        bool drop = false;
        uint32_t before = clock.Now();
        EXPECT_EQ(session.Execute(name, params, drop), APP_RESPONSE_TIMEOUT) << name;
        EXPECT_EQ(session.LastStatus(), APP_RESPONSE_TIMEOUT);
        return clock.Now() - before;
    }

    TestClock clock;
    ScriptedTransport transport;
    CommandSession session{&transport};
};

TEST_F(SessionTiming, CatalogueTimesWithDefaults) {
    EXPECT_EQ(TimeOut("bFR", "1\t0\t"), 30000u);
    EXPECT_EQ(TimeOut("endFiscalReceipt", "1"), 85500u);
    EXPECT_EQ(TimeOut("pXR"), 20000u);
    EXPECT_GE(transport.endReceives, 3);
}

TEST_F(SessionTiming, LinkAndExtendTimesAreAdded) {
    transport.extraResponseTime = 3000;
    session.SetLinkTransferTime(250);
    session.SetExtendResponseTime(1000);
    // 30000 + 2 x 250 + 3000 + 1000
    EXPECT_EQ(TimeOut("bFR"), 34500u);
}

TEST_F(SessionTiming, AnswerJustInsideTheLimit) {
    transport.onSend = [this](const std::string& r) {
        transport.DeliverAt(clock.Now() + 999, test::ResponseTo(r, 0));
    };
    bool drop = false;
    EXPECT_EQ(session.Execute("\tCONNECT", nullptr, drop), 0);
    transport.onSend = [this](const std::string& r) {
        transport.DeliverAt(clock.Now() + 1000, test::ResponseTo(r, 0));
    };
    EXPECT_EQ(session.Execute("\tCONNECT", nullptr, drop), APP_RESPONSE_TIMEOUT);
}

TEST_F(SessionTiming, TickCounterWrapDoesNoHarm) {
    clock.Advance(0xFFFFFFFFu - clock.Now() - 100);
    EXPECT_EQ(TimeOut("pN", "x"), 2500u);
}

TEST_F(SessionTiming, NextCommandTimeIsSpentByExactlyOneKnownCommand) {
    session.SetNextCommandTime(60000);
    bool drop = false;
    EXPECT_EQ(session.Execute("noSuchCommand", nullptr, drop), APP_UNKNOWN_COMMAND);
    EXPECT_EQ(session.NextCommandTime(), 60000);
    EXPECT_EQ(TimeOut("pXR"), 60000u);
    EXPECT_EQ(session.NextCommandTime(), 0);
    EXPECT_EQ(TimeOut("pXR"), 20000u);
}

TEST_F(SessionTiming, NextCommandTimeIsSpentEvenWhenTheExchangeFailsEarly) {
    session.SetNextCommandTime(60000);
    std::string tooLong(2500, 'a');
    bool drop = false;
    EXPECT_EQ(session.Execute("pXR", tooLong.c_str(), drop), APP_CMD_DATA_TOO_LONG);
    EXPECT_EQ(session.NextCommandTime(), 0);
}

} // namespace
} // namespace korvo
