// The receipt and payment exports against korvosim over loopback TCP: the
// request lines as the printer journals them, a complete receipt with the
// printer's own validation answers, and the documents on its paper roll.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ReceiptRequestCases.h"
#include "korvocomm.h"
#include "sim/records/Journal.h"
#include "sim/serve/Simulator.h"

namespace korvo {
namespace {

constexpr const char* N = nullptr;

class ReceiptExportsSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimulatorOptions options;
        options.tcp = {"127.0.0.1:0"};
        simulator = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(error)) << error;
        handle = ConnectTCP(("127.0.0.1:" + std::to_string(simulator->TcpPort())).c_str());
        ASSERT_GT(handle, 0) << GetLastComError(0);
    }

    void TearDown() override {
        if (handle > 0) Disconnect(handle);
        simulator->Stop();
    }

    // Every request line the printer received, in order, as the journal
    // writes it: without its LF, control bytes escaped.
    std::vector<std::string> Requests() {
        std::vector<std::string> lines;
        const std::string journal = simulator->JournalText();
        size_t at = 0;
        while (at < journal.size()) {
            size_t end = journal.find('\n', at);
            if (end == std::string::npos) end = journal.size();
            std::string entry = journal.substr(at, end - at);
            size_t mark = entry.find(" > ");
            if (mark != std::string::npos && entry.find(" #") < mark)
                lines.push_back(entry.substr(mark + 3));
            at = end + 1;
        }
        return lines;
    }

    // The paper holds these lines in this order.
    void ExpectOnPaper(const std::vector<std::string>& lines) {
        const std::string paper = simulator->PaperText();
        size_t at = 0;
        for (const std::string& line : lines) {
            size_t found = paper.find(line, at);
            ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n"
                                                << paper;
            at = found + line.size();
        }
    }

    std::unique_ptr<sim::Simulator> simulator;
    int handle = 0;
};

TEST_F(ReceiptExportsSimulatorTest, PrinterReceivesTheParameterStrings) {
    size_t count = Requests().size();
    for (const auto& c : test::ReceiptRequestCases()) {
        SCOPED_TRACE(c.what);
        int r = c.call(handle);
        // Whatever the printer thinks of it, the line reached it and came back answered.
        EXPECT_GE(r, 0);
        std::vector<std::string> requests = Requests();
        ASSERT_EQ(requests.size(), ++count);
        std::string expected;
        sim::AppendEscaped(expected, c.line.data(), c.line.size() - 1);
        EXPECT_EQ(requests.back(), expected);
    }
}

TEST_F(ReceiptExportsSimulatorTest, CompleteReceiptWithThePrintersAnswers) {
    ASSERT_EQ(SendTextLogo(handle, 1, "CORNER SHOP", "Market Sq. 4", N, N, N, N, N, N, N), 0);
    ASSERT_EQ(SendTextLogo(handle, 2, "Come again", N, N, N, N, N, N, N, N), 0);
    EXPECT_EQ(SaleItemNum(handle, 1, "Bread", 2500, 2000, 1, -1, 1250, N, N, N, N),
              EFP_WRONG_STATE); // no receipt open yet
    ASSERT_EQ(BeginReceipt(handle, 1, 0, "T-7"), 0);

    ASSERT_EQ(SaleItemNum(handle, 1, "Bread", 2500, 2000, 1, -1, 1250, "pcs", N, N, N), 0);
    // The printer has five VAT rates: 6 is ours to send and its to refuse.
    EXPECT_EQ(SaleItemTxt(handle, 1, "Cheese", "3.20", "0.400", 6, -1, N, N, N, N, N), EFP_BAD_VAT);
    EXPECT_EQ(GetLastComError(0), EFP_BAD_VAT);
    EXPECT_EQ(GetLastComError(handle), 0);
    // Thousandths that are no whole cent, and a rate that needs a special regulation.
    EXPECT_EQ(SaleItemNum(handle, 1, "Cheese", 3205, 400, 2, -1, 0, N, N, N, N), EFP_BAD_AMOUNT);
    EXPECT_EQ(SaleItemNum(handle, 1, "Stamp", 1000, 1000, 5, -1, 0, N, N, N, N), EFP_BAD_SPEC_REG);
    ASSERT_EQ(SaleItemTxt(handle, 1, "Cheese", "3.20", "0.400", 2, -1, N, "kg", N, N, N), 0);
    ASSERT_EQ(SaleItemNum(handle, 1, "Stamp", 1000, 1000, 5, 3, 0, N, N, N, N), 0);
    ASSERT_EQ(ItemAdjustNum(handle, 1, "Loyalty", 200, 2, -1, N, N), 0);
    ASSERT_EQ(PackAdjustNum(handle, 2, "Service", 100, 0, 0, 0, 0, 0, 0, N, N), 0);
    EXPECT_EQ(SinglePurposeVoucherNum(handle, "GIFT-1", 5000, 8, -1, N, N), EFP_BAD_VAT);
    ASSERT_EQ(SinglePurposeVoucherNum(handle, "GIFT-1", 5000, 1, -1, N, N), 0);
    ASSERT_EQ(PrintRecMessage(handle, 2, "Have a nice day"), 0);
    // 2.50 + 3.20 + 1.00 - 0.20 + 0.10 + 5.00
    ASSERT_EQ(PrintSubtotalNum(handle, 11600, N), 0);
    EXPECT_EQ(PaymentIdNum(handle, 11600, 5000, 9, N, N), EFP_BAD_PAYMENT);
    EXPECT_EQ(PaymentIdNum(handle, 11600, 20000, 2, N, N),
              EFP_BAD_CHANGE_TYPE);                          // card gives no change
    EXPECT_EQ(EndFiscalReceipt(handle, 1), EFP_WRONG_STATE); // not paid yet
    ASSERT_EQ(PaymentIdNum(handle, 11600, 1600, 2, N, N), 0);
    ASSERT_EQ(PaymentNum(handle, 11600, 20000, "1", N, "Paid in cash"), 0);
    ASSERT_EQ(EndFiscalReceipt(handle, 1), 0);

    ExpectOnPaper({
        "CORNER SHOP\n",
        "Market Sq. 4\n",
        "Transaction T-7\n",
        "Bread                             2.50 A\n",
        "  2 pcs x 1.25\n",
        "Cheese                            3.20 B\n",
        "  0.4 kg x ",
        "Stamp                             1.00 E\n",
        "Loyalty                          -0.20 B\n",
        "Service\n",
        "  VAT A                           0.10 A\n",
        "Voucher GIFT-1                    5.00 A\n",
        "Have a nice day",
        "SUBTOTAL                           11.60\n",
        "TOTAL EUR                          11.60\n",
        "Card                                1.60\n",
        "Cash                               20.00\n",
        "Paid in cash\n",
        "Change                             10.00\n",
        "A  23.00%        6.18      1.42     7.60\n",
        "E   0.00%        1.00      0.00     1.00\n",
        "Receipt No. 1 ",
        "Come again\n",
    });
}

TEST_F(ReceiptExportsSimulatorTest, NonFiscalAndTrainingDocuments) {
    ASSERT_EQ(BeginNonFiscal(handle), 0);
    ASSERT_EQ(PrintNormal(handle, "Opening float 50.00"), 0);
    ASSERT_EQ(PrintNormal(handle, N), 0);
    ASSERT_EQ(EndNonFiscal(handle, 0), 0);
    EXPECT_EQ(EndNonFiscal(handle, 0), EFP_WRONG_STATE);

    ASSERT_EQ(BeginTraining(handle), 0);
    ASSERT_EQ(BeginReceipt(handle, 1, 0, N), 0);
    ASSERT_EQ(SaleItemNum(handle, 1, "Tea", 1200, 1000, 3, -1, 0, N, N, N, N), 0);
    ASSERT_EQ(PaymentNum(handle, 1200, 0, "1", N, N), 0); // 0 pays what is due
    ASSERT_EQ(EndFiscalReceipt(handle, 0), 0);
    ASSERT_EQ(EndTraining(handle), 0);
    EXPECT_EQ(EndTraining(handle), EFP_WRONG_STATE);

    ExpectOnPaper({"NON-FISCAL DOCUMENT", "Opening float 50.00\n",
                   "TRAINING - NOT A FISCAL DOCUMENT", "Tea                               1.20 C\n",
                   "TOTAL EUR                           1.20\n"});
}

} // namespace
} // namespace korvo
