// Fiscal receipts in the printer model: a whole sale and its paper, the
// validation codes, wrong states, payments, voids, refunds and training.
#include <gtest/gtest.h>

#include <string>

#include "ModelHarness.h"
#include "protocol/ResultCodes.h"

namespace korvo::sim::test {
namespace {

class ReceiptTest : public ::testing::Test {
protected:
    void SetUp() override { h.Connect(); }
    int32_t Item(const std::string& fields, const char* command = "pRI") {
        return h.Code(std::string(command) + "\tREQ\t" + fields);
    }
    std::string Paper() const { return h.model.Paper().Text(); }

    ModelHarness h;
};

TEST_F(ReceiptTest, CompleteSaleWithChange) {
    ASSERT_EQ(h.Code("sPI\tREQ\t02\tAnna"), 0);
    ASSERT_EQ(h.Code("bFR\tREQ\t1\t0\tPOS2-0001"), 0);
    EXPECT_EQ(Item("Bread\t2.50\t2\t1\t\t1.25\tpc\t\t\t"), 0);
    EXPECT_EQ(Item("Milk 1l\t0.99\t1\t2\t\t\t\t\t\t"), 0);
    EXPECT_EQ(h.Code("pRIA\tREQ\t1\tLoyalty\t0.20\t1\t\t\t"), 0);
    EXPECT_EQ(h.Code("pRS\tREQ\t3.29\t"), 0);
    // A payment that does not cover the total keeps the receipt open.
    EXPECT_EQ(h.Code("pRT\tREQ\t3.29\t1.00\t2\t\t"), 0);
    EXPECT_EQ(h.model.State(), DocumentState::Total);
    EXPECT_EQ(h.Code("eFR\tREQ\t1"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("pRT\tREQ\t3.29\t5.00\t1\t\t"), 0);
    EXPECT_EQ(h.model.State(), DocumentState::Ending);
    EXPECT_EQ(h.model.CurrentReceipt().change, 2710);
    EXPECT_EQ(h.Code("eFR\tREQ\t1"), 0);
    EXPECT_EQ(h.model.State(), DocumentState::Idle);

    const std::string paper = Paper();
    const char* expected[] = {
        "         KORVO DEMO SHOP s.r.o.\n",
        "RECEIPT                      Doc. 000001\n",
        "POS 02                  2025-03-14 09:26\n",
        "Cashier Anna\n",
        "Transaction POS2-0001\n",
        "Bread                             2.50 A\n",
        "  2 pc x 1.25\n",
        "Milk 1l                           0.99 B\n",
        "Loyalty                          -0.20 A\n",
        "SUBTOTAL                            3.29\n",
        "TOTAL EUR                           3.29\n",
        "Card                                1.00\n",
        "Cash                                5.00\n",
        "Change                              2.71\n",
        "A  23.00%        1.87      0.43     2.30\n",
        "B  19.00%        0.83      0.16     0.99\n",
        "Receipt No. 1        2025-03-14T09:26:53\n",
        "      Thank you for your purchase\n",
    };
    size_t at = 0;
    for (const char* line : expected) {
        size_t found = paper.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << paper;
        at = found;
    }
    EXPECT_NE(paper.find("UID:\nO-"), std::string::npos);
    EXPECT_NE(paper.find("OKP: "), std::string::npos);

    // The registered receipt: monthly number, status, UID, OKP and PKP shapes.
    auto info = h.Values("gLRRI\tREQ");
    ASSERT_EQ(info.size(), 8u);
    EXPECT_EQ(info[0], "2025-03-14T09:26:53");
    EXPECT_EQ(info[1], "1");
    EXPECT_EQ(info[2], "1");
    EXPECT_EQ(info[3].size(), 34u);
    EXPECT_EQ(info[3].substr(0, 2), "O-");
    EXPECT_EQ(info[3].find_first_not_of("0123456789ABCDEF", 2), std::string::npos);
    ASSERT_EQ(info[4].size(), 44u);
    for (size_t dash : {8u, 17u, 26u, 35u})
        EXPECT_EQ(info[4][dash], '-');
    EXPECT_EQ(info[5].size(), 344u);
    EXPECT_EQ(info[5].substr(342), "==");
    EXPECT_EQ(info[6], "0");
    EXPECT_EQ(info[7], "");
    EXPECT_EQ(h.Values("gTS\tREQ\tPOS2-0001"), (std::vector<std::string>{"POS2-0001", "2"}));
}

TEST_F(ReceiptTest, ItemValidationCodes) {
    ASSERT_EQ(h.Code("bFR\tREQ\t1\t0\t"), 0);
    // price: missing, no number, <= 0, not whole cents
    EXPECT_EQ(Item("Bread\t\t1\t1\t\t\t\t\t\t"), EFP_MISSING_PRM);
    EXPECT_EQ(Item("Bread\tabc\t1\t1\t\t\t\t\t\t"), EFP_DATA_TYPE);
    EXPECT_EQ(Item("Bread\t0\t1\t1\t\t\t\t\t\t"), EFP_BAD_AMOUNT);
    EXPECT_EQ(Item("Bread\t-1.00\t1\t1\t\t\t\t\t\t"), EFP_BAD_AMOUNT);
    EXPECT_EQ(Item("Bread\t1.005\t1\t1\t\t\t\t\t\t"), EFP_BAD_AMOUNT);
    EXPECT_EQ(Item("Bread\t1.0001\t1\t1\t\t\t\t\t\t"), EFP_DATA_TYPE);
    // quantity <= 0; three decimals are fine
    EXPECT_EQ(Item("Bread\t1.00\t0\t1\t\t\t\t\t\t"), EFP_BAD_QUANTITY);
    EXPECT_EQ(Item("Bread\t1.00\t-2\t1\t\t\t\t\t\t"), EFP_BAD_QUANTITY);
    EXPECT_EQ(Item("Bread\t1.00\t0.001\t1\t\t\t\t\t\t"), 0);
    // VAT ids outside the five configured rates
    EXPECT_EQ(Item("Bread\t1.00\t1\t0\t\t\t\t\t\t"), EFP_BAD_VAT);
    EXPECT_EQ(Item("Bread\t1.00\t1\t6\t\t\t\t\t\t"), EFP_BAD_VAT);
    EXPECT_EQ(Item("Bread\t1.00\t1\tA\t\t\t\t\t\t"), EFP_BAD_VAT);
    // description: empty or wider than the paper
    EXPECT_EQ(Item("\t1.00\t1\t1\t\t\t\t\t\t"), EFP_BAD_DESCRIPTION);
    EXPECT_EQ(Item(std::string(41, 'x') + "\t1.00\t1\t1\t\t\t\t\t\t"), EFP_BAD_DESCRIPTION);
    EXPECT_EQ(Item(std::string(40, 'x') + "\t1.00\t1\t1\t\t\t\t\t\t"), 0);
    // unit price <= 0; a reference on a sale; the exempt rate needs a regulation
    EXPECT_EQ(Item("Bread\t1.00\t1\t1\t\t0\t\t\t\t"), EFP_BAD_PRICE);
    EXPECT_EQ(Item("Bread\t1.00\t1\t1\t\t\t\tO-ABC\t\t"), EFP_UNEXPECT_REF_RECEIPT);
    EXPECT_EQ(Item("Stamp\t1.00\t1\t5\t\t\t\t\t\t"), EFP_BAD_SPEC_REG);
    EXPECT_EQ(Item("Stamp\t1.00\t1\t5\t3\t\t\t\t\t"), 0);
    EXPECT_EQ(Item("Bread\t1.00\t1\t1\t3\t\t\t\t\t"), EFP_UNEXPECT_SPEC_REG);
    // a refund needs the original document
    EXPECT_EQ(Item("Bread\t1.00\t1\t1\t\t\t\t\t\t", "pRIR"), EFP_BAD_REF_RECEIPT);
    // the refused items left no trace
    EXPECT_EQ(h.model.CurrentReceipt().gross, 3000);
}

TEST_F(ReceiptTest, WrongStates) {
    // No receipt open.
    EXPECT_EQ(Item("Bread\t1.00\t1\t1\t\t\t\t\t\t"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("pRT\tREQ\t1.00\t1.00\t1\t\t"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("eFR\tREQ\t1"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("pRC\tREQ\t1.00\t"), EFP_WRONG_STATE);
    // A receipt without items cannot be paid.
    ASSERT_EQ(h.Code("bFR\tREQ\t1\t0\t"), 0);
    EXPECT_EQ(h.Code("bFR\tREQ\t1\t0\t"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("pRT\tREQ\t0.00\t0\t1\t\t"), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Code("pXR\tREQ"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("bNF\tREQ"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("uF\tREQ"), EFP_WRONG_STATE);
    // Cash moves belong to deposit and withdrawal receipts only.
    EXPECT_EQ(h.Code("pRC\tREQ\t10.00\t1"), EFP_ILLEGAL_COMMAND);
    ASSERT_EQ(Item("Bread\t1.00\t1\t1\t\t\t\t\t\t"), 0);
    ASSERT_EQ(h.Code("pRT\tREQ\t1.00\t0.50\t1\t\t"), 0);
    // Once payments have begun, no more items.
    EXPECT_EQ(Item("Milk\t1.00\t1\t1\t\t\t\t\t\t"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("pRS\tREQ\t1.00\t"), EFP_WRONG_STATE);
}

TEST_F(ReceiptTest, PaymentValidation) {
    h.OpenSaleWithItems();
    EXPECT_EQ(h.model.CurrentReceipt().gross, 4490);
    EXPECT_EQ(h.Code("pRT\tREQ\t4.49\t5.00\t0\t\t"), EFP_BAD_PAYMENT);
    EXPECT_EQ(h.Code("pRT\tREQ\t4.49\t5.00\t7\t\t"), EFP_BAD_PAYMENT);
    // Payment 6 exists but is unused.
    EXPECT_EQ(h.Code("pRT\tREQ\t4.49\t5.00\t6\t\t"), EFP_BAD_PAYMENT);
    EXPECT_EQ(h.Code("pRT\tREQ\t4.49\t-1.00\t1\t\t"), EFP_BAD_AMOUNT);
    EXPECT_EQ(h.Code("pRT\tREQ\t\t1.00\t1\t\t"), EFP_MISSING_PRM);
    EXPECT_EQ(h.Code("pRT\tREQ\t4,49\t1.00\t1\t\t"), EFP_DATA_TYPE);
    EXPECT_EQ(h.Code("pRT\tREQ\t4.49\t1.001\t1\t\t"), EFP_BAD_AMOUNT);
    EXPECT_EQ(h.Code("pRT\tREQ\t4.491\t1.00\t1\t\t"), EFP_BAD_AMOUNT);
    // Change comes only from cash: a card cannot pay more than is due.
    EXPECT_EQ(h.Code("pRT\tREQ\t4.49\t5.00\t2\t\t"), EFP_BAD_CHANGE_TYPE);
    // pRTC is for receipts that pay money out.
    EXPECT_EQ(h.Code("pRTC\tREQ\t4.49\t-1.00\t1\t\t"), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.model.State(), DocumentState::Receipt);
    // Payment 0 pays what is due.
    EXPECT_EQ(h.Code("pRT\tREQ\t4.49\t0\t2\t\t"), 0);
    EXPECT_EQ(h.model.State(), DocumentState::Ending);
    EXPECT_EQ(h.Code("pRT\tREQ\t4.49\t1.00\t1\t\t"), EFP_WRONG_STATE);
}

TEST_F(ReceiptTest, TotalThatDiffersVoidsTheReceipt) {
    h.OpenSaleWithItems();
    EXPECT_EQ(h.Code("pRS\tREQ\t4.50\t"), E_ILLEGAL);
    EXPECT_TRUE(h.model.CurrentReceipt().voided);
    EXPECT_EQ(Item("Bread\t1.00\t1\t1\t\t\t\t\t\t"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("eFR\tREQ\t1"), 0);
    EXPECT_EQ(h.model.Daily().voided, 1u);
    EXPECT_EQ(h.model.Daily().receipts, 0u);
    EXPECT_FALSE(h.model.LastReceipt().present);
    EXPECT_NE(Paper().find("*** RECEIPT VOIDED ***"), std::string::npos);
}

TEST_F(ReceiptTest, VoidAndCorrections) {
    h.OpenSaleWithItems();
    // A correction takes back at most what was registered in that rate.
    EXPECT_EQ(Item("Milk\t1.00\t1\t2\t\t\t\t\t\t", "pRIC"), EFP_NEG_ITEMS_OVER);
    EXPECT_EQ(Item("Milk\t0.99\t1\t2\t\t\t\t\t\t", "pRIC"), 0);
    EXPECT_EQ(h.model.CurrentReceipt().gross, 3500);
    // A discount cannot take a rate below zero.
    EXPECT_EQ(h.Code("pRIA\tREQ\t1\tPromo\t3.00\t1\t\t\t"), EFP_NEG_ITEMS_OVER);
    EXPECT_EQ(h.Code("pRIA\tREQ\t3\tPromo\t1.00\t1\t\t\t"), E_ILLEGAL);
    EXPECT_EQ(h.Code("pRIA\tREQ\t2\tService\t0.50\t1\t\t\t"), 0);
    EXPECT_EQ(h.Code("pRPA\tREQ\t1\tBundle\t1,0.50;3,0.10\t\t"), 0);
    EXPECT_EQ(h.model.CurrentReceipt().gross, 3400);
    EXPECT_EQ(h.Code("pRPA\tREQ\t1\tBundle\t1,0;3,0\t\t"), EFP_BAD_AMOUNT);
    EXPECT_EQ(h.Code("pRPA\tREQ\t1\tBundle\t7,1.00\t\t"), EFP_BAD_VAT);
    EXPECT_EQ(h.Code("pRV\tREQ\tCustomer left"), 0);
    EXPECT_EQ(h.Code("eFR\tREQ\t0"), 0);
    EXPECT_EQ(h.model.Daily().voided, 1u);
}

TEST_F(ReceiptTest, RefundReceiptPaysOut) {
    ASSERT_EQ(h.Code("bFR\tREQ\t2\t0\t"), 0);
    // Every item of a refund receipt refers to the original document.
    EXPECT_EQ(Item("Kettle\t25.00\t1\t1\t\t\t\t\t\t"), EFP_BAD_REF_RECEIPT);
    EXPECT_EQ(Item("Kettle\t25.00\t1\t1\t\t\t\tO-0123ABCD\t\t"), 0);
    EXPECT_EQ(Item("Kettle\t25.00\t1\t1\t\t\t\tO-0123ABCD\t\t", "pRIR"), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.model.CurrentReceipt().gross, -25000);
    EXPECT_EQ(h.Code("pRT\tREQ\t-25.00\t0\t1\t\t"), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Code("pRTC\tREQ\t-25.00\t1.00\t1\t\t"), EFP_BAD_AMOUNT);
    EXPECT_EQ(h.Code("pRTC\tREQ\t-25.00\t-26.00\t1\t\t"), EFP_BAD_AMOUNT);
    EXPECT_EQ(h.Code("pRTC\tREQ\t-25.00\t-10.00\t1\t\t"), 0);
    EXPECT_EQ(h.model.State(), DocumentState::Total);
    EXPECT_EQ(h.Code("pRTC\tREQ\t-25.00\t-15.00\t2\t\t"), 0);
    EXPECT_EQ(h.model.State(), DocumentState::Ending);
    EXPECT_EQ(h.Code("eFR\tREQ\t1"), 0);
    EXPECT_EQ(h.model.Daily().refunds[0], 25000);
    EXPECT_EQ(h.model.Daily().payments[0], -10000);
    EXPECT_EQ(h.model.Daily().payments[1], -15000);
    EXPECT_EQ(h.Values("gT\tREQ\t1\t1\t2"), std::vector<std::string>{"25.00"});
}

TEST_F(ReceiptTest, CashDepositAndWithdrawal) {
    ASSERT_EQ(h.Code("bFR\tREQ\t4\t0\t"), 0);
    EXPECT_EQ(Item("Bread\t1.00\t1\t1\t\t\t\t\t\t"), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Code("pRT\tREQ\t0\t0\t1\t\t"), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Code("eFR\tREQ\t1"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("pRC\tREQ\t0\t"), EFP_BAD_AMOUNT);
    EXPECT_EQ(h.Code("pRC\tREQ\t100.00\tx"), E_ILLEGAL);
    EXPECT_EQ(h.Code("pRC\tREQ\t100.00\t6"), EFP_BAD_PAYMENT);
    EXPECT_EQ(h.Code("pRC\tREQ\t100.00\t"), 0);
    EXPECT_EQ(h.Code("eFR\tREQ\t1"), 0);
    ASSERT_EQ(h.Code("bFR\tREQ\t5\t0\t"), 0);
    EXPECT_EQ(h.Code("pRC\tREQ\t30.00\t1"), 0);
    EXPECT_EQ(h.Code("eFR\tREQ\t1"), 0);
    EXPECT_EQ(h.Values("gD\tREQ\t5\t"), std::vector<std::string>{"70.00"});
    EXPECT_EQ(h.model.Daily().receiptsByType[3], 1u);
    EXPECT_EQ(h.Values("gC\tREQ\t1\t5\t1"), std::vector<std::string>{"1"});
    EXPECT_EQ(h.Code("gC\tREQ\t1\t6\t1"), EFP_BAD_VAT);
}

TEST_F(ReceiptTest, TrainingReceiptsAreNotFiscal) {
    ASSERT_EQ(h.Code("bT\tREQ"), 0);
    EXPECT_EQ(h.Code("bT\tREQ"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("bFR\tREQ\t4\t0\t"), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Code("pXR\tREQ"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("bNF\tREQ"), EFP_WRONG_STATE);
    h.OpenSaleWithItems();
    EXPECT_EQ(h.Code("pRT\tREQ\t4.49\t10.00\t1\t\t"), 0);
    EXPECT_EQ(h.Code("eT\tREQ"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("eFR\tREQ\t1"), 0);
    EXPECT_EQ(h.Code("eT\tREQ"), 0);
    EXPECT_EQ(h.model.Daily().receipts, 0u);
    EXPECT_FALSE(h.model.LastReceipt().present);
    EXPECT_EQ(h.Code("gLRRI\tREQ"), E_NOEXIST);
    EXPECT_NE(Paper().find("TRAINING - NOT A FISCAL DOCUMENT"), std::string::npos);
    EXPECT_EQ(h.Code("pZR\tREQ"), EFP_ILLEGAL_COMMAND);
}

TEST_F(ReceiptTest, ReceiptNumbersRunOnAndRestartMonthly) {
    for (int i = 0; i < 2; ++i) {
        h.OpenSaleWithItems();
        ASSERT_EQ(h.Code("pRT\tREQ\t4.49\t0\t1\t\t"), 0);
        ASSERT_EQ(h.Code("eFR\tREQ\t1"), 0);
    }
    EXPECT_EQ(h.model.LastReceipt().monthlyNumber, 2u);
    std::string firstUid = h.model.LastReceipt().ids.uid;
    ModelHarness::clockNow += 20 * 86400; // into April
    h.OpenSaleWithItems();
    ASSERT_EQ(h.Code("pRT\tREQ\t4.49\t0\t1\t\t"), 0);
    ASSERT_EQ(h.Code("eFR\tREQ\t1"), 0);
    EXPECT_EQ(h.model.LastReceipt().monthlyNumber, 1u);
    EXPECT_EQ(h.model.LastReceipt().receiptNumber, 3u);
    EXPECT_NE(firstUid, h.model.LastReceipt().ids.uid);
    // Offline: no UID, the receipt waits to be sent.
    ASSERT_EQ(h.Code("sP\tREQ\t12\t0"), 0);
    h.OpenSaleWithItems();
    ASSERT_EQ(h.Code("pRT\tREQ\t4.49\t0\t1\t\t"), 0);
    ASSERT_EQ(h.Code("eFR\tREQ\t1"), 0);
    auto info = h.Values("gLRRI\tREQ");
    ASSERT_EQ(info.size(), 8u);
    EXPECT_EQ(info[2], "0");
    EXPECT_EQ(info[3], "");
    EXPECT_EQ(info[4].size(), 44u);
    EXPECT_EQ(h.Code("rUDM\tREQ"), EFP_NETWORK);
    ASSERT_EQ(h.Code("sP\tREQ\t12\t1"), 0);
    EXPECT_EQ(h.Code("rUDM\tREQ"), 0);
    EXPECT_EQ(h.model.DocumentCounters().unsentMessages, 0u);
}

} // namespace
} // namespace korvo::sim::test
