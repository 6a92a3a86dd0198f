#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ExportTestSupport.h"
#include "ReceiptRequestCases.h"
#include "api/ReceiptFormat.h"
#include "korvocomm.h"

namespace korvo {
namespace {

using test::AnsweringTransport;
using test::AttachConnection;
using test::AttachedTransport;
using test::Repeat;

std::string Formatted(int32_t v) {
    char text[kNumberTextSize];
    std::memset(text, '#', sizeof text);
    FormatThousandths(v, text);
    return text;
}

TEST(FormatThousandths, WholePartDotThreeDecimals) {
    EXPECT_EQ(Formatted(1250), "1.250");
    EXPECT_EQ(Formatted(7), "0.007");
    EXPECT_EQ(Formatted(0), "0.000");
    EXPECT_EQ(Formatted(999), "0.999");
    EXPECT_EQ(Formatted(1000), "1.000");
    EXPECT_EQ(Formatted(-1500), "-1.500");
    EXPECT_EQ(Formatted(-5), "-0.005");
    EXPECT_EQ(Formatted(-1000), "-1.000");
    EXPECT_EQ(Formatted(1234567890), "1234567.890");
    EXPECT_EQ(Formatted(INT_MAX), "2147483.647");
    // Its magnitude has no int32: a plain negation would overflow.
    EXPECT_EQ(Formatted(INT_MIN), "-2147483.648");
    EXPECT_EQ(Formatted(INT_MIN + 1), "-2147483.647");
}

// Every export puts exactly its one request line on the wire and returns the
// printer's answer.
TEST(ReceiptExports, SendTheirRequestLines) {
    for (const auto& c : test::ReceiptRequestCases()) {
        SCOPED_TRACE(c.what);
        AttachedTransport* t = AnsweringTransport();
        int32_t h = AttachConnection(t);
        EXPECT_EQ(c.call(h), 0);
        ASSERT_EQ(t->sent.size(), 1u);
        EXPECT_EQ(t->sent[0], c.line);
        EXPECT_EQ(Disconnect(h), 0);
    }
}

TEST(ReceiptExports, PrinterCodesAndBadHandlesComeFromSendCommand) {
    AttachedTransport* t = AnsweringTransport(EFP_BAD_VAT);
    int32_t h = AttachConnection(t);
    EXPECT_EQ(SinglePurposeVoucherNum(h, "V", 1000, 8, -1, nullptr, nullptr), EFP_BAD_VAT);
    EXPECT_EQ(GetLastComError(0), EFP_BAD_VAT);
    EXPECT_EQ(GetLastComError(h), 0); // a well-formed answer arrived
    EXPECT_EQ(Disconnect(h), -EFP_BAD_VAT);

    // Valid arguments reach SendCommand, which refuses the handle.
    for (const auto& c : test::ReceiptRequestCases()) {
        SCOPED_TRACE(c.what);
        lastComError = 0;
        EXPECT_EQ(c.call(0), APP_INVALID_HANDLE);
        EXPECT_EQ(GetLastComError(0), APP_INVALID_HANDLE);
        EXPECT_EQ(c.call(-7), APP_INVALID_HANDLE);
    }
}

struct LocalFailure {
    const char* what;
    std::function<int(int handle)> call;
    int code;
};

constexpr const char* N = nullptr;
const std::string k81 = Repeat(81);
const char* const L = k81.c_str();

const std::vector<LocalFailure>& LocalFailures() {
    static const std::vector<LocalFailure> cases = {
        // Texts over 80 bytes, one in each kind of export.
        {"81-byte description",
         [](int h) { return SaleItemTxt(h, 1, L, "1", "1", 1, -1, N, N, N, N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"81-byte last header line",
         [](int h) { return SendTextLogo(h, 1, N, N, N, N, N, N, N, N, L); },
         APP_CMD_PARAM_TOO_LONG},
        {"81-byte transaction id", [](int h) { return BeginReceipt(h, 1, 0, L); },
         APP_CMD_PARAM_TOO_LONG},
        {"81-byte post line of a num item",
         [](int h) { return SaleItemNum(h, 1, "x", 1, 1, 1, -1, 1, N, N, N, L); },
         APP_CMD_PARAM_TOO_LONG},
        {"81-byte amount", [](int h) { return ItemAdjustTxt(h, 1, "x", L, 1, -1, N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"81-byte seventh VAT amount",
         [](int h) { return PackAdjustTxt(h, 1, "x", N, N, N, N, N, N, L, N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"81-byte voucher id",
         [](int h) { return SinglePurposeVoucherTxt(h, L, "1", 1, -1, N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"81-byte subtotal", [](int h) { return PrintSubtotalTxt(h, L, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"81-byte payment id text", [](int h) { return PaymentTxt(h, "1", "1", L, N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"90-byte payment post line",
         [](int h) { return PaymentNum(h, 1, 1, "1", N, Repeat(90).c_str()); },
         APP_CMD_PARAM_TOO_LONG},
        {"81-byte change", [](int h) { return PaymentChangeTxt(h, "1", L, "1", N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"81-byte message", [](int h) { return PrintRecMessage(h, 1, L); }, APP_CMD_PARAM_TOO_LONG},

        // VAT ids of items and item adjustments.
        {"item VAT 0", [](int h) { return SaleItemTxt(h, 1, "x", "1", "1", 0, -1, N, N, N, N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"item VAT 8", [](int h) { return SaleItemNum(h, 1, "x", 1, 1, 8, -1, 0, N, N, N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"item VAT most negative",
         [](int h) { return SaleItemNum(h, 1, "x", 1, 1, INT_MIN, -1, 0, N, N, N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"adjustment VAT 0", [](int h) { return ItemAdjustTxt(h, 1, "x", "1", 0, -1, N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"adjustment VAT 8", [](int h) { return ItemAdjustNum(h, 2, "x", 1, 8, -1, N, N); },
         APP_CMD_PARAM_TOO_LONG},

        // Types that choose no command.
        {"item type 2",
         [](int h) { return SaleItemTxt(h, 2, "x", "1", "1", 1, -1, N, N, N, N, N); },
         APP_UNKNOWN_COMMAND},
        {"item type 4", [](int h) { return SaleItemNum(h, 4, "x", 1, 1, 1, -1, 0, N, N, N, N); },
         APP_UNKNOWN_COMMAND},
        {"item type 0",
         [](int h) { return SaleItemTxt(h, 0, "x", "1", "1", 1, -1, N, N, N, N, N); },
         APP_UNKNOWN_COMMAND},
        {"adjustment type 0", [](int h) { return ItemAdjustTxt(h, 0, "x", "1", 1, -1, N, N); },
         APP_UNKNOWN_COMMAND},
        {"adjustment type 3", [](int h) { return ItemAdjustNum(h, 3, "x", 1, 1, -1, N, N); },
         APP_UNKNOWN_COMMAND},
        {"package adjustment type 3",
         [](int h) { return PackAdjustTxt(h, 3, "x", "1", N, N, N, N, N, N, N, N); },
         APP_UNKNOWN_COMMAND},
        {"package adjustment type -1",
         [](int h) { return PackAdjustNum(h, -1, "x", 1, 0, 0, 0, 0, 0, 0, N, N); },
         APP_UNKNOWN_COMMAND},
        {"line type 0", [](int h) { return SendTextLogo(h, 0, N, N, N, N, N, N, N, N, N); },
         APP_UNKNOWN_COMMAND},
        {"line type 3", [](int h) { return SendTextLogo(h, 3, "a", N, N, N, N, N, N, N, N); },
         APP_UNKNOWN_COMMAND},

        // A too-long text or a value out of range wins over a bad type.
        {"item type 2 with a 100-byte unit name",
         [](int h) {
             return SaleItemTxt(h, 2, "x", "1", "1", 1, -1, N, Repeat(100).c_str(), N, N, N);
         },
         APP_CMD_PARAM_TOO_LONG},
        {"item type 2 with VAT 8",
         [](int h) { return SaleItemTxt(h, 2, "x", "1", "1", 8, -1, N, N, N, N, N); },
         APP_CMD_PARAM_TOO_LONG},
        {"adjustment type 9 with VAT 0",
         [](int h) { return ItemAdjustNum(h, 9, "x", 1, 0, -1, N, N); }, APP_CMD_PARAM_TOO_LONG},
        {"line type 3 with an 81-byte line",
         [](int h) { return SendTextLogo(h, 3, N, N, N, N, N, N, N, N, L); },
         APP_CMD_PARAM_TOO_LONG},
        {"package type 9 with an 81-byte post line",
         [](int h) { return PackAdjustNum(h, 9, "x", 0, 0, 0, 0, 0, 0, 0, N, L); },
         APP_CMD_PARAM_TOO_LONG},
    };
    return cases;
}

// A local failure is reported in the return value and in lastComError, sends
// nothing, and leaves the connection's last command, response and status as
// they were; it comes before the handle is even looked at.
TEST(ReceiptExports, LocalFailuresSendNothingAndLeaveTheConnectionAlone) {
    auto* t = new AttachedTransport;
    t->AnswerEach([](const std::string& r) {
        return std::vector<std::string>{test::ResponseTo(r, 0, "1\t08122026")};
    });
    int32_t h = AttachConnection(t);
    ASSERT_EQ(SendCommand(h, "GETDATE", "1"), 0);
    for (const auto& c : LocalFailures()) {
        SCOPED_TRACE(c.what);
        lastComError = 0;
        EXPECT_EQ(c.call(h), c.code);
        EXPECT_EQ(GetLastComError(0), c.code);
        EXPECT_EQ(t->sent.size(), 1u);
        EXPECT_EQ(GetLastComError(h), 0);
        char text[32] = {};
        EXPECT_EQ(GetLastCommandName(h, text, sizeof text), 7);
        EXPECT_STREQ(text, "GETDATE");
        EXPECT_EQ(GetLastCommandResponse(h, text, sizeof text), 10);
        EXPECT_STREQ(text, "1\t08122026");

        lastComError = 0;
        EXPECT_EQ(c.call(0), c.code);
        EXPECT_EQ(GetLastComError(0), c.code);
        EXPECT_EQ(c.call(-5), c.code);
    }
    EXPECT_EQ(Disconnect(h), 0);
}

} // namespace
} // namespace korvo
