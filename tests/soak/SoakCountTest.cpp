// The soak's verdict: the journal's executed requests matched to the
// commands sent, each way a command can end counted once.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "SoakCount.h"
#include "TempDir.h"
#include "korvocomm.h"
#include "sim/values/CivilTime.h"

namespace korvo::soak {
namespace {

TEST(SoakCount, JournalMatchedToTheCommandsSent) {
    korvo::test::TempDir dir;
    const std::string path = dir.File("journal.txt");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("2026-12-09 05:02:53.001 #1 > eFR\\tREQ\\t0\n" // before any was sent
               "2026-12-09 05:02:53.001 #1 ! connected\n"
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
               "2026-12-09 05:02:53.013 #1 > eFR\\tREQ\\t1\n"
               "2026-12-09 05:02:53.014 #2 > sHL\\tREQ\\tS3\\t\n"
               "2026-12-09 05:02:53.015 #2 > eFR\\tREQ\\t1\n"
               "2026-12-09 05:02:53.016 #2 > eFR\\tREQ\\t1\n"
               "2026-12-09 05:02:53.017 #2 > bCONNECT\\tREQ\n"
               "2026-12-09 05:02:53.018 #2 > DISCONNECT\\tREQ\n"
               "2026-12-09 05:02:53.520 #3 > eFR\\tREQ\\t0\n"
               "2026-12-09 05:02:53.520 #3 > eFR\\tREQ\\t0\n"
               "2026-12-09 05:02:53.532 #3 > gHL\\tREQ\\t3\n"
               "2026-12-09 05:02:53.600 #3 > pRV\\tREQ\\tR5\n"
               "2026-12-09 05:02:54.389 #3 > eFR\\tREQ\\t0\n"
               "2026-12-09 05:02:54.389 #3 > sHL\\tREQ\\tS5\\t\n"
               "2026-12-09 05:02:54.389 #3 > eFR\\tREQ\\t0\n"
               "2026-12-09 05:02:54.450 #3 > gHL\\tREQ\\t9\n"
               "2026-12-09 05:02:54.460 #3 > bFR\\tREQ\\t1\\t0\\tT9\n"
               "2026-12-09 05:02:55.000 #3 > eFR\\tREQ\\t0\n"
               "2026-12-09 05:02:55.000 #3 > sHL\\tREQ\\tS6\\t\n"
               "2026-12-09 05:02:55.000 #3 > eFR\\tREQ\\t1\n"
               "2026-12-09 05:02:55.000 #3 > sHL\\tREQ\\tS7\\t\n"
               "2026-12-09 05:02:55.000 #3 > eFR\\tREQ\\t1\n"
               "2026-12-09 05:02:55.000 #3 > eFR\\tREQ\\t0\n",
               f);
    std::fclose(f);
    bool ok = false;
    const std::vector<Execution> executed = ExecutedRequests(path, ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(executed.size(), 27u);
    EXPECT_EQ(executed[1].wire, "sHL\\tREQ\\tS1\\t");
    EXPECT_EQ(executed[4].wire, "bFR\\tREQ\\t1\\t0\\tT1"); // the corrupted one is not there
    int64_t t0 = 0;
    ASSERT_TRUE(sim::ParseDateTime("2026-12-09 05:02:53", t0));
    t0 *= 1000;
    EXPECT_EQ(executed[4].atMs, t0 + 7);

    const std::vector<SentCommand> sent = {
        {"sHL\\tREQ\\tS1\\t", 0, t0 + 3},                      // run once
        {"gHL\\tREQ\\t1", 0, t0 + 4},                          // run twice
        {"bFR\\tREQ\\t1\\t0\\tT1", APP_RESPONSE_TIMEOUT, t0 + 6},   // outcome unknown
        {"pRI\\tREQ\\tx", APP_SEND_BUFFER_OVERFLOW, t0 + 8},     // never sent
        {"eFR\\tREQ\\t1", APP_RESPONSE_TIMEOUT, t0 + 8},         // run; its answer comes late...
        {"pRV\\tREQ\\tR1", APP_RESPONSE_TIMEOUT, t0 + 9},        // failed, not run
        {"eFR\\tREQ\\t0", 0, t0 + 10},                         // ... and is taken for this one's
        {"sHL\\tREQ\\tS2\\t", 0, t0 + 10},                      // lost
        {"gHL\\tREQ\\t2", 0, t0 + 11},
        {"eFR\\tREQ\\t1", 0, t0 + 12},                         // the same text again
        {"sHL\\tREQ\\tS3\\t", 0, t0 + 14},
        {"eFR\\tREQ\\t1", EFP_WRONG_STATE, t0 + 15},           // run twice
        // Sent and run in the same millisecond: one run each, in order.
        {"eFR\\tREQ\\t0", 0, t0 + 520},
        {"eFR\\tREQ\\t0", 0, t0 + 520},
        // The first did not run; the run belongs to the one answered.
        {"gHL\\tREQ\\t3", APP_WRONG_RESPONSE_DATA, t0 + 530},
        {"gHL\\tREQ\\t3", 0, t0 + 531},
        // A line that waited for the answer before it (delayed past its
        // command's limit) runs when a later one of its text has been sent.
        {"pRV\\tREQ\\tR5", APP_RESPONSE_TIMEOUT, t0 + 600},
        {"eFR\\tREQ\\t0", 0, t0 + 1100},
        {"sHL\\tREQ\\tS5\\t", 0, t0 + 1389},
        {"eFR\\tREQ\\t0", 0, t0 + 1389},
        // A failed command that runs after the next one: late, not twice.
        {"bFR\\tREQ\\t1\\t0\\tT9", -307, t0 + 1400},
        {"gHL\\tREQ\\t9", 0, t0 + 1450},
        // Its answer was damaged, but it ran: the next of its text, sent
        // within the same millisecond after others that had to run first,
        // ran later.
        {"eFR\\tREQ\\t0", APP_WRONG_RESPONSE_DATA, t0 + 2000},
        {"sHL\\tREQ\\tS6\\t", 0, t0 + 2000},
        {"eFR\\tREQ\\t1", 0, t0 + 2000},
        {"sHL\\tREQ\\tS7\\t", 0, t0 + 2000},
        {"eFR\\tREQ\\t1", 0, t0 + 2000},
        {"eFR\\tREQ\\t0", 0, t0 + 2000},
    };
    std::vector<uint32_t> runs;
    const Counts c = Reckon(sent, executed, &runs);
    EXPECT_EQ(runs, (std::vector<uint32_t>{1, 2, 1, 0, 1, 0, 0, 0, 1, 1, 1, 2, 1, 1, 0, 1, 1, 1,
                                           1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(c.sent, 28u);
    EXPECT_EQ(c.returnedZero, 19u);
    EXPECT_EQ(c.answered, 20u);
    EXPECT_EQ(c.executedTwice, 2u);
    EXPECT_EQ(c.lost, 1u);
    EXPECT_EQ(c.staleAnswer, 1u);
    EXPECT_EQ(c.outcomeUnknown, 5u);
    EXPECT_EQ(c.failedNotRun, 3u);
    EXPECT_EQ(c.strayRuns, 2u); // bCONNECT, and the end of a receipt never asked for yet

    ExecutedRequests(dir.File("missing"), ok);
    EXPECT_FALSE(ok);
}

} // namespace
} // namespace korvo::soak
