// Faults of the line front ends: rules parsed from faults files, answers
// bent as they say, and the random faults of soak runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <unistd.h>

#include "sim/faults/Chaos.h"
#include "sim/faults/FaultDelivery.h"
#include "sim/faults/FaultPlan.h"
#include "sim/faults/Outgoing.h"

namespace korvo::sim {
namespace {

TEST(FaultPlan, RulesParsedAndRefused) {
    FaultRule rule;
    std::string error;
    ASSERT_TRUE(FaultPlan::ParseRule("beginFiscalReceipt delay 250 skip=1 count=2", rule, error))
        << error;
    EXPECT_STREQ(rule.command, "bFR");
    EXPECT_EQ(rule.action.kind, FaultKind::Delay);
    EXPECT_EQ(rule.action.value, 250);
    EXPECT_EQ(rule.skip, 1);
    EXPECT_EQ(rule.count, 2);
    ASSERT_TRUE(FaultPlan::ParseRule("CONNECT raw X\\tRSP\\x300\\n", rule, error));
    EXPECT_EQ(std::string(rule.action.text, rule.action.textLength), "X\tRSP00\n");
    ASSERT_TRUE(FaultPlan::ParseRule("* chunks 3", rule, error));
    EXPECT_STREQ(rule.command, "");
    EXPECT_EQ(rule.action.gapMs, 2u);
    ASSERT_TRUE(FaultPlan::ParseRule("eFR drop", rule, error));
    EXPECT_EQ(rule.action.value, -1);
    ASSERT_TRUE(FaultPlan::ParseRule("eFR lose", rule, error));
    EXPECT_EQ(rule.action.kind, FaultKind::Lose);
    ASSERT_TRUE(FaultPlan::ParseRule("eFR corrupt 2", rule, error));
    EXPECT_EQ(rule.action.kind, FaultKind::Corrupt);
    EXPECT_EQ(rule.action.value, 2);
    for (const char* bad :
         {"bFR", "nosuch delay 1", "bFR delay", "bFR delay x", "bFR silent 3", "bFR code",
          "bFR chunks 0", "bFR raw \\q", "bFR explode", "bFR delay 5 count=0", "CONNECT drop -1",
          "bFR lose 1", "bFR corrupt x"})
        EXPECT_FALSE(FaultPlan::ParseRule(bad, rule, error)) << bad;

    FaultPlan plan;
    EXPECT_FALSE(
        plan.AddText("# faults\n\npRI code 214\n  bFR  nul \nbFR wobble\n", error));
    EXPECT_EQ(error, "line 5: unknown action or wrong arguments: bFR wobble");
    EXPECT_EQ(plan.Count(), 2);
}

TEST(FaultPlan, SkipCountAndOrder) {
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(
        plan.AddText("pRI code 214 skip=1 count=2\n* delay 5 count=1\n", error));
    EXPECT_EQ(plan.Take("pRI").kind, FaultKind::Delay); // skipped by the first, caught by *
    EXPECT_EQ(plan.Take("pRI").kind, FaultKind::Code);
    EXPECT_EQ(plan.Take("bFR").kind, FaultKind::None); // * used up
    EXPECT_EQ(plan.Take("pRI").value, 214);
    EXPECT_EQ(plan.Take("pRI").kind, FaultKind::None);
}

// A soak run's faults file holds a rule for each fault it makes.
TEST(FaultPlan, AsManyRulesAsTheBoundsAllow) {
    std::string error;
    std::string text;
    for (int i = 0; i < FaultPlan::kMaxRules; ++i)
        text += "* lose skip=" + std::to_string(i) + " count=1\n";
    FaultPlan plan;
    ASSERT_TRUE(plan.AddText(text.c_str(), error)) << error;
    EXPECT_EQ(plan.Take("pRI").kind, FaultKind::Lose);
    EXPECT_FALSE(plan.AddText("* nul\n", error));
    EXPECT_EQ(error, "line 1: more than 100000 rules");

    // A file is read whole or refused, never cut short in the middle of a rule.
    char path[] = "/tmp/korvosim-faults-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::string big = "* delay 1 skip=0\n" + std::string(FaultPlan::kMaxFileBytes, '#');
    ASSERT_EQ(write(fd, big.data(), big.size()), static_cast<ssize_t>(big.size()));
    close(fd);
    FaultPlan fromFile;
    EXPECT_FALSE(fromFile.LoadFile(path, error));
    EXPECT_NE(error.find("larger than 1048576 bytes"), std::string::npos) << error;
    EXPECT_EQ(fromFile.Count(), 0);
    unlink(path);
}

std::string Drain(Outgoing& out, uint32_t now, bool& closes) {
    std::string sent;
    size_t size = 0;
    while (const uint8_t* piece = out.Piece(now, size)) {
        sent.append(reinterpret_cast<const char*>(piece), size);
        out.Sent(size, now);
        sent += '|';
    }
    closes = out.ShouldClose();
    return sent;
}

// The answer every case bends: "gDT\tRSP\t0\t1\n", due at tick 100.
Outgoing Planned(const char* rule, bool dropAfter = false) {
    Reply reply{};
    std::strcpy(reply.text, "gDT\tRSP\t0\t1\n");
    reply.length = std::strlen(reply.text);
    reply.dropAfter = dropAfter;
    FaultRule r;
    std::string error;
    if (rule) {
        EXPECT_TRUE(FaultPlan::ParseRule(rule, r, error)) << error;
    }
    Outgoing out;
    PlanDelivery(reply, r.action, 100, out);
    return out;
}

struct Bent {
    const char* rule; // nullptr: no fault
    std::string wire; // what goes out at tick 100, pieces ended by |
    bool closes;
};

void PrintTo(const Bent& b, std::ostream* os) {
    *os << (b.rule ? b.rule : "no fault");
}

class FaultDelivery : public ::testing::TestWithParam<Bent> {};

TEST_P(FaultDelivery, AnswerBentAsTheRuleSays) {
    Outgoing out = Planned(GetParam().rule);
    bool closes = false;
    EXPECT_EQ(Drain(out, 100, closes), GetParam().wire);
    EXPECT_EQ(closes, GetParam().closes);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FaultDelivery,
    ::testing::Values(Bent{nullptr, "gDT\tRSP\t0\t1\n|", false},
                      Bent{"* malformed", "gDT\tRSP\tX0\t1\n|", false},
                      Bent{"* double", "gDT\tRSP\t0\t1\ngDT\tRSP\t0\t1\n|", false},
                      Bent{"* nul", std::string("gDT\tRS\0P\t0\t1\n|", 14), false},
                      Bent{"* drop", "gDT\tRS|", true}, Bent{"* drop 0", "", true},
                      Bent{"* lose", "", false},
                      Bent{"* corrupt 1", "g\xC4T\tRSP\t0\t1\n|", false},
                      Bent{"* corrupt 99", "gDT\tRS\xD0\t0\t1\n|", false}));

TEST(FaultTiming, AnswersWaitForTheirTimeAndPieces) {
    Outgoing out = Planned(nullptr);
    EXPECT_EQ(out.WaitMs(40), 60);
    size_t size = 0;
    EXPECT_EQ(out.Piece(40, size), nullptr);

    out = Planned("* delay 30");
    EXPECT_EQ(out.WaitMs(100), 30);

    // Chunks: one piece at a time, the next after the gap.
    bool closes = false;
    out = Planned("* chunks 5 10");
    EXPECT_EQ(Drain(out, 100, closes), "gDT\tR|");
    EXPECT_EQ(out.WaitMs(105), 5);
    EXPECT_EQ(Drain(out, 110, closes), "SP\t0\t|");
    EXPECT_EQ(Drain(out, 120, closes), "1\n|");
    EXPECT_TRUE(out.Finished());

    // A restarting printer hangs up after the whole line.
    out = Planned(nullptr, true);
    EXPECT_EQ(Drain(out, 100, closes), "gDT\tRSP\t0\t1\n|");
    EXPECT_TRUE(closes);
}

TEST(Chaos, SettingsAndDraws) {
    ChaosSettings c;
    ASSERT_TRUE(ParseChaos("7:5:2", c));
    EXPECT_EQ(DescribeChaos(c), "seed 7: 5% corrupted, 2% lost, 1.25% delayed, 1.25% repeated");
    ASSERT_TRUE(ParseChaos("18446744073709551615:0.5:0:0:0", c));
    EXPECT_EQ(c.seed, UINT64_MAX);
    EXPECT_EQ(DescribeChaos(c), "seed 18446744073709551615: 0.5% corrupted, 0% lost, 0% delayed, 0% repeated");
    for (const char* bad : {"", "7", "7:", ":5", "x:5", "7:5:", "7:-1", "7:101", "7:5:2:1:1:1",
                            "7:60:50", "18446744073709551616:5", "7:1e1", "7:5 "})
        EXPECT_FALSE(ParseChaos(bad, c)) << bad;

    // The same seed and stream draw the same faults; at the rates asked for.
    ASSERT_TRUE(ParseChaos("7:20:10:5:5", c));
    Chaos a(c, 3), b(c, 3), other(c, 4);
    int kinds[5] = {}, same = 0, sameAsOther = 0;
    for (int i = 0; i < 20000; ++i) {
        ChaosEvent e = a.Next();
        ++kinds[static_cast<int>(e)];
        same += e == b.Next();
        sameAsOther += e == other.Next();
    }
    EXPECT_EQ(same, 20000);
    EXPECT_LT(sameAsOther, 20000);
    EXPECT_NEAR(kinds[static_cast<int>(ChaosEvent::Corrupt)], 4000, 300);
    EXPECT_NEAR(kinds[static_cast<int>(ChaosEvent::Lose)], 2000, 200);
    EXPECT_NEAR(kinds[static_cast<int>(ChaosEvent::Delay)], 1000, 150);
    EXPECT_NEAR(kinds[static_cast<int>(ChaosEvent::Repeat)], 1000, 150);
    EXPECT_EQ(Chaos().Next(), ChaosEvent::None);
}

} // namespace
} // namespace korvo::sim
