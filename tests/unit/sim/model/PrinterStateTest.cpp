// What the printer model keeps and reports outside receipts: reports, the
// clock, lines, tables, properties, firmware update, and the state file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "ModelHarness.h"
#include "protocol/ResultCodes.h"
#include "sim/model/StateFile.h"

namespace korvo::sim::test {
namespace {

class PrinterStateTest : public ::testing::Test {
protected:
    void SetUp() override { h.Connect(); }
    void Sale() {
        h.OpenSaleWithItems();
        ASSERT_EQ(h.Code("pRT\tREQ\t4.49\t5.00\t1\t\t"), 0);
        ASSERT_EQ(h.Code("eFR\tREQ\t1"), 0);
    }
    ModelHarness h;
};

TEST_F(PrinterStateTest, ZReportClosesTheDay) {
    EXPECT_EQ(h.Code("pZR\tREQ"), EFP_ILLEGAL_COMMAND);
    Sale();
    Sale();
    EXPECT_EQ(h.Values("gT\tREQ\t1\t0\t1"), std::vector<std::string>{"8.98"});
    EXPECT_EQ(h.Values("gT\tREQ\t1\t1\t1"), std::vector<std::string>{"5.00"});
    // VAT of 2.00 gross at 19 %: 0.32.
    EXPECT_EQ(h.Values("gT\tREQ\t1\t2\t5"), std::vector<std::string>{"0.32"});
    EXPECT_EQ(h.Code("gT\tREQ\t1\t6\t1"), EFP_BAD_VAT);
    EXPECT_EQ(h.Values("gP\tREQ\t10"), (std::vector<std::string>{"10", "1"}));
    EXPECT_EQ(h.Code("pXR\tREQ"), 0);
    EXPECT_EQ(h.model.Daily().receipts, 2u);
    EXPECT_EQ(h.Code("pZR\tREQ"), 0);
    EXPECT_EQ(h.model.Daily().receipts, 0u);
    EXPECT_EQ(h.model.Grand().receipts, 2u);
    EXPECT_EQ(h.Values("gT\tREQ\t1\t0\t1"), std::vector<std::string>{"0.00"});
    EXPECT_EQ(h.Values("gT\tREQ\t2\t0\t1"), std::vector<std::string>{"8.98"});
    EXPECT_EQ(h.Values("gC\tREQ\t2\t0\t4"), std::vector<std::string>{"1"});
    EXPECT_EQ(h.Code("pZR\tREQ"), EFP_ILLEGAL_COMMAND);
    const std::string& paper = h.model.Paper().Text();
    EXPECT_NE(paper.find("X REPORT"), std::string::npos);
    EXPECT_NE(paper.find("Z REPORT 1"), std::string::npos);
    EXPECT_NE(paper.find("TOTAL EUR                           8.98\n"), std::string::npos);
    EXPECT_EQ(h.Values("gDT\tREQ\t2"), (std::vector<std::string>{"2", "2025-03-14T09:26:53"}));
}

TEST_F(PrinterStateTest, DateAndTime) {
    EXPECT_EQ(h.Values("gDT\tREQ\t1"), (std::vector<std::string>{"1", "2025-03-14T09:26:53"}));
    EXPECT_EQ(h.Code("gDT\tREQ\t5"), E_ILLEGAL);
    EXPECT_EQ(h.Code("gDT\tREQ\t2"), E_NOEXIST); // no Z report yet
    EXPECT_EQ(h.Code("sD\tREQ\t2025-03-15T08:00:00"), 0);
    EXPECT_EQ(h.Values("gDT\tREQ\t1"), (std::vector<std::string>{"1", "2025-03-15T08:00:00"}));
    ModelHarness::clockNow += 61;
    EXPECT_EQ(h.Values("gDT\tREQ\t1"), (std::vector<std::string>{"1", "2025-03-15T08:01:01"}));
    EXPECT_EQ(h.Code("sD\tREQ\t2025-02-30T08:00:00"), EFP_BAD_DATE);
    EXPECT_EQ(h.Code("sD\tREQ\t15.03.2025 08:00"), EFP_BAD_DATE);
    Sale();
    // The clock may not go back behind the last document.
    EXPECT_EQ(h.Code("sD\tREQ\t2025-03-15T07:00:00"), EFP_BAD_DATE);
    EXPECT_EQ(h.Code("sD\tREQ\t2025-03-15 09:00"), 0);
}

TEST_F(PrinterStateTest, LinesTablesAndProperties) {
    EXPECT_EQ(h.Code("sHL\tREQ\tMY SHOP\tMain St 1\t\t\t\t\t\t\t"), 0);
    EXPECT_EQ(h.Values("gHL\tREQ\t1"), std::vector<std::string>{"MY SHOP"});
    EXPECT_EQ(h.Values("gHL\tREQ\t3"), std::vector<std::string>{""});
    EXPECT_EQ(h.Code("gHL\tREQ\t10"), E_ILLEGAL);
    EXPECT_EQ(h.Code("sTL\tREQ\t" + std::string(41, 'x')), EFP_BAD_DESCRIPTION);
    EXPECT_EQ(h.Code("sTL\tREQ\tBye"), 0);
    EXPECT_EQ(h.Values("gTL\tREQ\t1"), std::vector<std::string>{"Bye"});
    EXPECT_EQ(h.Values("gVE\tREQ\t1"), (std::vector<std::string>{"1", "1", "23.00"}));
    EXPECT_EQ(h.Values("gVE\tREQ\t5"), (std::vector<std::string>{"5", "0", "0.00"}));
    EXPECT_EQ(h.Code("gVE\tREQ\t6"), EFP_BAD_VAT);
    EXPECT_EQ(h.Values("gP\tREQ\t1"), (std::vector<std::string>{"1", "5"}));
    EXPECT_EQ(h.Code("gP\tREQ\t0"), E_ILLEGAL);
    EXPECT_EQ(h.Code("sP\tREQ\t1\t7"), E_ILLEGAL); // read-only
    // A payment entry can be brought into use and named.
    EXPECT_EQ(h.Code("sPE\tREQ\t6\tMeal ticket\t2"), 0);
    h.Send("bFR\tREQ\t1\t0\t");
    EXPECT_EQ(h.Code("sHL\tREQ\tX"), EFP_WRONG_STATE);
    h.Send("pRI\tREQ\tBread\t2.50\t1\t1\t\t\t\t\t\t");
    EXPECT_EQ(h.Code("pRT\tREQ\t2.50\t2.50\t6\t\t"), 0);
    EXPECT_EQ(h.Code("eFR\tREQ\t1"), 0);
    EXPECT_NE(h.model.Paper().Text().find("Meal ticket"), std::string::npos);
    EXPECT_NE(h.model.Paper().Text().find("          MY SHOP\n"), std::string::npos);
}

TEST_F(PrinterStateTest, PrinterFaultsStopPrinting) {
    ASSERT_EQ(h.Code("sP\tREQ\t17\t1"), 0);
    EXPECT_EQ(h.Code("bFR\tREQ\t1\t0\t"), EFP_REC_EMPTY);
    EXPECT_EQ(h.Code("gDT\tREQ\t1"), 0); // reading still works
    ASSERT_EQ(h.Code("sP\tREQ\t17\t0"), 0);
    ASSERT_EQ(h.Code("sP\tREQ\t18\t1"), 0);
    EXPECT_EQ(h.Code("pXR\tREQ"), EFP_COVER_OPEN);
    ASSERT_EQ(h.Code("sP\tREQ\t18\t0"), 0);
    // A service inspection blocks documents until it is affirmed.
    ASSERT_EQ(h.Code("sP\tREQ\t16\t1"), 0);
    EXPECT_EQ(h.Code("bFR\tREQ\t1\t0\t"), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Values("gIR\tREQ\t1").back(), "1");
    EXPECT_EQ(h.Code("aIR\tREQ\t1"), 0);
    EXPECT_EQ(h.Code("bFR\tREQ\t1\t0\t"), 0);
}

TEST_F(PrinterStateTest, FirmwareUpdateRestartsThePrinter) {
    auto request = h.Values("gFUR\tREQ");
    EXPECT_EQ(request, (std::vector<std::string>{"1", "3.5.0", "2.1.4", "0"}));
    EXPECT_EQ(h.Code("dFUR\tREQ\t24"), EFP_ILLEGAL_COMMAND); // not fired
    ASSERT_EQ(h.Code("sP\tREQ\t15\t1"), 0);
    EXPECT_EQ(h.Code("bFR\tREQ\t1\t0\t"), EFP_FW_UPDATE_REQUEST);
    EXPECT_EQ(h.Code("bNF\tREQ"), EFP_FW_UPDATE_REQUEST);
    EXPECT_EQ(h.Code("dFUR\tREQ\t0"), E_ILLEGAL);
    EXPECT_EQ(h.Code("dFUR\tREQ\t24"), 0);
    EXPECT_EQ(h.Code("bNF\tREQ"), 0);
    EXPECT_EQ(h.Code("uF\tREQ"), EFP_WRONG_STATE);
    EXPECT_FALSE(h.last.dropAfter);
    ASSERT_EQ(h.Code("eNF\tREQ\t1"), 0);
    EXPECT_EQ(h.Send("uF\tREQ"), "uF\tRSP\t0\n");
    EXPECT_TRUE(h.last.dropAfter);
    EXPECT_FALSE(h.model.SessionOpen());
    h.Connect();
    EXPECT_EQ(h.Values("gP\tREQ\t7"), (std::vector<std::string>{"7", "3.5.0"}));
    EXPECT_EQ(h.Code("uF\tREQ"), E_NOEXIST);
    EXPECT_FALSE(h.last.dropAfter);
}

TEST_F(PrinterStateTest, LocationRegistration) {
    EXPECT_EQ(h.Code("rL\tREQ\t1\tHlavna\t1\t\tBratislava\t81101\t"), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Code("gLRLI\tREQ"), E_NOEXIST);
    ASSERT_EQ(h.Code("sP\tREQ\t13\t1"), 0);
    EXPECT_EQ(h.Code("rL\tREQ\t1\tHlavna\t1\t\tBratislava\t811\t"), E_ILLEGAL);
    EXPECT_EQ(h.Code("rL\tREQ\t2\t\t\t\t\t\t48.1,17.1"), 0);
    EXPECT_EQ(h.Code("rL\tREQ\t2\tHlavna\t\t\t\t\t48.1,17.1"), E_ILLEGAL);
    EXPECT_EQ(h.Code("rL\tREQ\t1\tHlavna\t1\t\tBratislava\t81101\t"), 0);
    EXPECT_EQ(h.Values("gLRLI\tREQ"),
              (std::vector<std::string>{"2025-03-14T09:26:53", "1", "0", ""}));
    EXPECT_NE(h.model.Paper().Text().find("Hlavna 1, 81101 Bratislava"), std::string::npos);
}

TEST_F(PrinterStateTest, NonFiscalDocumentAndDuplicate) {
    EXPECT_EQ(h.Code("pN\tREQ\tHello"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("pDR\tREQ"), EFP_ILLEGAL_COMMAND);
    ASSERT_EQ(h.Code("bNF\tREQ"), 0);
    EXPECT_EQ(h.Code("pN\tREQ\tHello\tworld"), EFP_EXTRA_FIELD);
    EXPECT_EQ(h.Code("pN\tREQ\tHello world"), 0);
    EXPECT_EQ(h.Code("pBC\tREQ\t8590000000001\t1\t60\t2\t1\t2"), 0);
    EXPECT_EQ(h.Code("pBC\tREQ\t8590000000001\t9\t60\t2\t1\t2"), E_ILLEGAL);
    EXPECT_EQ(h.Code("bFR\tREQ\t1\t0\t"), EFP_WRONG_STATE);
    EXPECT_EQ(h.Code("eNF\tREQ\t1"), 0);
    EXPECT_EQ(h.model.Daily().nonFiscal, 1u);
    Sale();
    EXPECT_EQ(h.Code("pDR\tREQ"), 0);
    const std::string& paper = h.model.Paper().Text();
    size_t duplicate = paper.find("*** DUPLICATE ***");
    ASSERT_NE(duplicate, std::string::npos);
    EXPECT_NE(paper.find("Receipt No. 1", duplicate), std::string::npos);
    EXPECT_NE(paper.find("Hello world\n"), std::string::npos);
    EXPECT_NE(paper.find("[EAN-13 8590000000001]"), std::string::npos);
}

TEST_F(PrinterStateTest, ResetPrinterVoidsAnOpenReceipt) {
    h.OpenSaleWithItems();
    EXPECT_EQ(h.Code("rP\tREQ"), 0);
    EXPECT_EQ(h.model.State(), DocumentState::Idle);
    EXPECT_EQ(h.model.Daily().voided, 1u);
    EXPECT_EQ(h.Code("bFR\tREQ\t1\t0\t"), 0);
}

TEST_F(PrinterStateTest, StateFileKeepsNumbersAcrossRestarts) {
    char path[] = "/tmp/korvosim-state-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    Sale();
    Sale();
    h.Send("sHL\tREQ\tBack\\slash\t\t\t\t\t\t\t\t");
    std::string error;
    ASSERT_TRUE(SaveState(h.model, path, error)) << error;

    ModelHarness restarted;
    ASSERT_TRUE(LoadState(restarted.model, path, error)) << error;
    EXPECT_EQ(restarted.model.DocumentCounters().receiptNumber, 2u);
    EXPECT_EQ(restarted.model.Daily().receipts, 2u);
    EXPECT_EQ(restarted.model.LastReceipt().receiptNumber, 2u);
    EXPECT_STREQ(restarted.model.LastReceipt().ids.uid, h.model.LastReceipt().ids.uid);
    EXPECT_STREQ(restarted.model.Settings().header[0], "Back\\slash");
    restarted.Connect();
    restarted.OpenSaleWithItems();
    ASSERT_EQ(restarted.Code("pRT\tREQ\t4.49\t0\t1\t\t"), 0);
    ASSERT_EQ(restarted.Code("eFR\tREQ\t1"), 0);
    EXPECT_EQ(restarted.model.LastReceipt().receiptNumber, 3u);
    EXPECT_EQ(restarted.model.LastReceipt().monthlyNumber, 3u);

    // A value that does not read is reported, a missing file is a new printer.
    std::FILE* f = std::fopen(path, "w");
    std::fputs("receiptNumber=12x\n", f);
    std::fclose(f);
    ModelHarness broken;
    EXPECT_FALSE(LoadState(broken.model, path, error));
    std::remove(path);
    EXPECT_TRUE(LoadState(broken.model, path, error));
}

} // namespace
} // namespace korvo::sim::test
