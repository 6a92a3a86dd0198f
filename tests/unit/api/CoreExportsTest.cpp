#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ExportTestSupport.h"
#include "TestClock.h"
#include "korvocomm.h"

namespace korvo {
namespace {

using test::AnsweringTransport;
using test::AttachConnection;
using test::AttachedTransport;
using test::TestClock;

TEST(Disconnect, SuccessFreesTheHandleAndClosesTheTransport) {
    int closes = 0;
    bool gone = false;
    AttachedTransport* t = AnsweringTransport();
    t->closeCount = &closes;
    t->gone = &gone;
    int32_t h = AttachConnection(t);
    EXPECT_EQ(Disconnect(h), 0);
    EXPECT_EQ(GetLastComError(0), 0);
    EXPECT_TRUE(gone);
    EXPECT_GE(closes, 1);
    EXPECT_EQ(Disconnect(h), APP_INVALID_HANDLE);
    EXPECT_EQ(GetLastComError(0), APP_INVALID_HANDLE);
}

TEST(Disconnect, OutcomesComeBackNegated) {
    TestClock clock;
    auto* silent = new AttachedTransport; // never answers
    int32_t h = AttachConnection(silent);
    EXPECT_EQ(Disconnect(h), 301);
    EXPECT_EQ(GetLastComError(0), 301);
    EXPECT_EQ(Connections().FindConnection(h), nullptr);

    h = AttachConnection(AnsweringTransport(207));
    EXPECT_EQ(Disconnect(h), -207);
    EXPECT_EQ(Connections().FindConnection(h), nullptr);
    EXPECT_EQ(Disconnect(0), APP_INVALID_HANDLE);
    EXPECT_EQ(Disconnect(-3), APP_INVALID_HANDLE);
}

TEST(SendCommand, HandshakeNamesAreRefusedWithoutSending) {
    AttachedTransport* t = AnsweringTransport();
    int32_t h = AttachConnection(t);
    EXPECT_EQ(SendCommand(h, "\tDISCONNECT", nullptr), EFP_DATA_TYPE);
    EXPECT_EQ(GetLastComError(0), EFP_DATA_TYPE);
    EXPECT_EQ(SendCommand(h, "\tCONNECT", nullptr), EFP_DATA_TYPE);
    EXPECT_TRUE(t->sent.empty());
    EXPECT_EQ(SendCommand(h, "PrintZReport", nullptr), 0);
    EXPECT_EQ(t->sent.back(), "pZR\tREQ\n");
    EXPECT_EQ(SendCommand(h, "noSuchCommand", nullptr), APP_UNKNOWN_COMMAND);
    EXPECT_EQ(GetLastComError(0), APP_UNKNOWN_COMMAND);
    EXPECT_EQ(SendCommand(0, "pZR", nullptr), APP_INVALID_HANDLE);
    EXPECT_EQ(Disconnect(h), 0);
}

TEST(SendCommand, SuccessfulFirmwareUpdateDropsTheConnectionButKeepsTheHandle) {
    bool gone = false;
    AttachedTransport* t = AnsweringTransport();
    t->gone = &gone;
    int32_t h = AttachConnection(t);
    EXPECT_EQ(SendCommand(h, "updateFirmware", nullptr), 0);
    EXPECT_TRUE(gone);
    EXPECT_EQ(SendCommand(h, "pXR", nullptr), APP_DISCONNECTED);
    EXPECT_EQ(GetLastComError(h), APP_DISCONNECTED);
    EXPECT_EQ(GetLastComError(0), APP_DISCONNECTED);
    EXPECT_EQ(Abort(h), APP_DISCONNECTED);
    char buffer[16];
    EXPECT_EQ(GetLastCommandName(h, buffer, sizeof buffer), APP_DISCONNECTED);
    EXPECT_EQ(Disconnect(h), 0);
    EXPECT_EQ(Disconnect(h), APP_INVALID_HANDLE);
}

TEST(GetLastCommandResponse, CopyOutAndMissingResponse) {
    TestClock clock;
    auto* t = new AttachedTransport;
    t->AnswerEach([](const std::string& r) {
        return std::vector<std::string>{test::ResponseTo(r, 0, "1\t08122026")};
    });
    int32_t h = AttachConnection(t);
    ASSERT_EQ(SendCommand(h, "getDate", "1"), 0);
    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetLastCommandResponse(h, buffer, 0), 10);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(GetLastCommandResponse(h, buffer, 10), 10);
    EXPECT_EQ(std::memcmp(buffer, "1\t08122026", 10), 0);
    EXPECT_EQ(buffer[10], 'x'); // cut exactly at the size: no NUL
    EXPECT_EQ(GetLastCommandResponse(h, buffer, sizeof buffer), 10);
    EXPECT_STREQ(buffer, "1\t08122026");
    EXPECT_EQ(GetLastComError(0), 10);
    EXPECT_EQ(GetLastCommandResponse(h, nullptr, 5), APP_NO_OUTPUT_BUFFER);
    EXPECT_EQ(GetLastCommandResponse(h, buffer, -1), APP_INVALID_BUFFER_LEN);

    t->onSend = nullptr; // the next command times out
    EXPECT_EQ(SendCommand(h, "getDate", "1"), APP_RESPONSE_TIMEOUT);
    EXPECT_EQ(GetLastCommandResponse(h, buffer, sizeof buffer), APP_NO_RESPONSE_RECEIVED);
    EXPECT_EQ(GetLastComError(h), APP_NO_RESPONSE_RECEIVED);
    EXPECT_EQ(GetLastComError(0), APP_NO_RESPONSE_RECEIVED);
    EXPECT_EQ(Disconnect(h), 301);
}

TEST(GetLastCommandName, CallerSpellingAndHandshakeName) {
    AttachedTransport* t = AnsweringTransport();
    int32_t h = Connections().AllocateHandle();
    auto* session = new CommandSession(t);
    Connections().AttachSession(h, session);
    ASSERT_EQ(session->Connect(), 0);
    char buffer[32];
    EXPECT_EQ(GetLastCommandName(h, buffer, sizeof buffer), 8);
    EXPECT_STREQ(buffer, "\tCONNECT");
    ASSERT_EQ(SendCommand(h, "PRINTXREPORT", nullptr), 0);
    EXPECT_EQ(GetLastCommandName(h, buffer, sizeof buffer), 12);
    EXPECT_STREQ(buffer, "PRINTXREPORT");
    EXPECT_EQ(Disconnect(h), 0);
}

TEST(CommandHeads, PresentAbsentAndUnknown) {
    lastComError = 77;
    char buffer[128];
    EXPECT_EQ(GetCommandReqestHead("beginNonFiscal", nullptr, -1), 0);
    EXPECT_EQ(GetCommandReqestHead("beginFiscalReceipt", nullptr, 10), APP_NO_OUTPUT_BUFFER);
    EXPECT_EQ(GetCommandReqestHead("bfr", buffer, sizeof buffer), 54);
    EXPECT_STREQ(buffer, "fiscalReceiptType\tfiscalReceiptSettings\t*transactionID");
    EXPECT_EQ(GetCommandReqestHead("noSuchCommand", buffer, sizeof buffer), APP_UNKNOWN_COMMAND);
    EXPECT_EQ(GetCommandReqestHead(nullptr, buffer, sizeof buffer), APP_UNKNOWN_COMMAND);
    EXPECT_EQ(GetCommandResponseHead("getDate", buffer, sizeof buffer), 13);
    EXPECT_STREQ(buffer, "dateType\tdate");
    EXPECT_EQ(GetCommandResponseHead("bFR", nullptr, 0), 0);
    EXPECT_EQ(lastComError.load(), 77);
}

TEST(ErrorTexts, KeyFollowsTheConnectionsLastCommand) {
    char buffer[256];
    // Handle -1: no error, the general text.
    EXPECT_GT(GetErrorText(-1, LANGUAGE_ENGLISH, 217, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "Incorrect/wrong tax group assignment parameter sent. (e.g. out of range 1 to NumVatRates).");

    int32_t h = AttachConnection(AnsweringTransport(217));
    EXPECT_EQ(SendCommand(h, "getCounter", "1\t9\t1"), 217);
    EXPECT_GT(GetErrorText(h, LANGUAGE_ENGLISH, 217, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "Parameter subsetID is invalid.");
    // An unknown command name keeps the last known one.
    EXPECT_EQ(SendCommand(h, "noSuchCommand", nullptr), APP_UNKNOWN_COMMAND);
    EXPECT_GT(GetErrorText(h, LANGUAGE_ENGLISH, 217, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "Parameter subsetID is invalid.");
    EXPECT_EQ(Disconnect(h), -217);

    EXPECT_GT(GetCommandErrorText(LANGUAGE_ENGLISH, "printRecItemSinglePurposeVoucher", 217, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "Parameter vatID is invalid or it is not allowed to register an item in the given tax level");
    EXPECT_GT(GetCommandErrorText(LANGUAGE_ENGLISH, "noSuchCommand", 217, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "Incorrect/wrong tax group assignment parameter sent. (e.g. out of range 1 to NumVatRates).");
    EXPECT_EQ(GetErrorName(223, buffer, sizeof buffer), 21);
    EXPECT_STREQ(buffer, "EFP_UNEXPECT_SPEC_REG");
    EXPECT_EQ(GetErrorName(238, buffer, sizeof buffer), APP_NO_ERROR_TEXT);
}

TEST(Abort, WithoutARunningExchangeTheNextCommandEndsUnsent) {
    TestClock clock;
    auto* t = new AttachedTransport;
    t->onSend = [t](const std::string& r) { t->DeliverAt(TickCount() + 50, test::ResponseTo(r, 0)); };
    int32_t h = AttachConnection(t);
    EXPECT_EQ(Abort(h), 0);
    EXPECT_EQ(GetLastComError(0), 0);
    EXPECT_EQ(SendCommand(h, "pXR", nullptr), APP_COMMUNICATION_ABORTED);
    EXPECT_EQ(t->sent.size(), 0u);
    EXPECT_EQ(Abort(0), APP_INVALID_HANDLE);
    EXPECT_EQ(Disconnect(h), -APP_COMMUNICATION_ABORTED);
}

} // namespace
} // namespace korvo
