// The soak's verdict: the journal's executed requests matched to the
// commands sent, each way a command can end counted once.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "SoakCount.h"
#include "TempDir.h"
#include "korvocomm.h"

namespace korvo::soak {
namespace {

TEST(SoakCount, JournalMatchedToTheCommandsSent) {
    korvo::test::TempDir dir;
    const std::string path = dir.File("journal.txt");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("2026-12-09 05:02:53.001 #1 ! connected\n"
               "2026-12-09 05:02:53.002 #1 > CONNECT\\tREQ\n"
               "2026-12-09 05:02:53.002 #1 < CONNECT\\tRSP\\t0\\n\n"
               "2026-12-09 05:02:53.003 #1 > sHL\\tREQ\\tS1\\t\n"
               "2026-12-09 05:02:53.004 #1 > gHL\\tREQ\\t1\n"
               "2026-12-09 05:02:53.005 #1 > gHL\\tREQ\\t1\n"
               "2026-12-09 05:02:53.006 #1 > b\xC6R\\tREQ\\t1\\t0\\tT1\n"
               "2026-12-09 05:02:53.006 #1 ! chaos: request line corrupted\n"
               "2026-12-09 05:02:53.007 #1 > bFR\\tREQ\\t1\\t0\\tT1\n"
               "2026-12-09 05:02:53.008 #1 ! chaos: request line delayed 300 ms\n"
               "2026-12-09 05:02:53.009 #1 > eFR\\tREQ\\t1\n"
               "2026-12-09 05:02:53.010 #1 ! chaos: request line lost\n"
               "2026-12-09 05:02:53.011 #1 > gHL\\tREQ\\t2\n"
               "2026-12-09 05:02:53.012 #1 > eFR\\tREQ\\t1\n"
               "2026-12-09 05:02:53.013 #1 > eFR\\tREQ\\t1\n"
               "2026-12-09 05:02:53.014 #1 > sHL\\tREQ\\tS3\\t\n"
               "2026-12-09 05:02:53.015 #1 > eFR\\tREQ\\t1\n"
               "2026-12-09 05:02:53.016 #1 > bCONNECT\\tREQ\n"
               "2026-12-09 05:02:53.017 #1 > DISCONNECT\\tREQ\n",
               f);
    std::fclose(f);
    bool ok = false;
    const std::vector<std::string> executed = ExecutedRequests(path, ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(executed.size(), 11u);
    EXPECT_EQ(executed[0], "sHL\\tREQ\\tS1\\t");
    EXPECT_EQ(executed[3], "bFR\\tREQ\\t1\\t0\\tT1"); // the corrupted one is not there

    const std::vector<SentCommand> sent = {
        {"sHL\\tREQ\\tS1\\t", 0},                   // run once
        {"gHL\\tREQ\\t1", 0},                       // run twice
        {"bFR\\tREQ\\t1\\t0\\tT1", APP_RESPONSE_TIMEOUT}, // outcome unknown
        {"pRI\\tREQ\\tx", APP_SEND_BUFFER_OVERFLOW},  // never sent
        {"eFR\\tREQ\\t1", APP_RESPONSE_TIMEOUT},       // run; its answer comes late...
        {"pRV\\tREQ\\tR1", APP_RESPONSE_TIMEOUT},      // failed, not run
        {"eFR\\tREQ\\t0", 0},                         // ... and is taken for this one's
        {"sHL\\tREQ\\tS2\\t", 0},                     // lost
        {"gHL\\tREQ\\t2", 0},
        // Run twice rather than once here and once for the same text later,
        // which would leave the command between them answered but not run.
        {"eFR\\tREQ\\t1", 0},
        {"sHL\\tREQ\\tS3\\t", 0},
        {"eFR\\tREQ\\t1", EFP_WRONG_STATE},
    };
    std::vector<uint32_t> runs;
    const Counts c = Reckon(sent, executed, &runs);
    EXPECT_EQ(runs, (std::vector<uint32_t>{1, 2, 1, 0, 1, 0, 0, 0, 1, 2, 1, 1}));
    EXPECT_EQ(c.sent, 12u);
    EXPECT_EQ(c.returnedZero, 7u);
    EXPECT_EQ(c.answered, 8u);
    EXPECT_EQ(c.executedTwice, 2u);
    EXPECT_EQ(c.lost, 1u);
    EXPECT_EQ(c.staleAnswer, 1u);
    EXPECT_EQ(c.outcomeUnknown, 2u);
    EXPECT_EQ(c.failedNotRun, 2u);
    EXPECT_EQ(c.strayRuns, 1u); // bCONNECT

    ExecutedRequests(dir.File("missing"), ok);
    EXPECT_FALSE(ok);
}

} // namespace
} // namespace korvo::soak
