// The pieces between the wire and the model: amounts and dates as the printer
// reads them, cutting input into lines, and bending answers by fault rules.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "sim/faults/Chaos.h"
#include "sim/faults/FaultDelivery.h"
#include "sim/faults/FaultPlan.h"
#include "sim/faults/Outgoing.h"
#include "sim/serve/LineAssembler.h"
#include "sim/serve/Options.h"
#include "sim/values/Amount.h"
#include "sim/values/CivilTime.h"

namespace korvo::sim {
namespace {

TEST(Amounts, ReadAndWritten) {
    int64_t v = 0;
    EXPECT_TRUE(ParseAmount("12", v));
    EXPECT_EQ(v, 12000);
    EXPECT_TRUE(ParseAmount("0.5", v));
    EXPECT_EQ(v, 500);
    EXPECT_TRUE(ParseAmount("-1.125", v));
    EXPECT_EQ(v, -1125);
    EXPECT_TRUE(ParseAmount("999999999.999", v));
    for (const char* bad :
         {"", "-", "1.", ".5", "1,5", " 1", "1 ", "+1", "1.0001", "1e3", "1234567890", "--1"})
        EXPECT_FALSE(ParseAmount(bad, v)) << bad;
    char text[32];
    FormatMoney(-200, text, sizeof text);
    EXPECT_STREQ(text, "-0.20");
    FormatMoney(1234560, text, sizeof text);
    EXPECT_STREQ(text, "1234.56");
    FormatQuantity(2000, text, sizeof text);
    EXPECT_STREQ(text, "2");
    FormatQuantity(1250, text, sizeof text);
    EXPECT_STREQ(text, "1.25");
    FormatQuantity(7, text, sizeof text);
    EXPECT_STREQ(text, "0.007");
    EXPECT_EQ(DivideRounded(5, 10), 1);
    EXPECT_EQ(DivideRounded(-5, 10), -1);
    EXPECT_EQ(DivideRounded(4, 10), 0);
}

TEST(Dates, ReadWrittenAndChecked) {
    int64_t s = 0;
    ASSERT_TRUE(ParseDateTime("2024-02-29T23:59:59", s));
    char text[32];
    FormatDateTime(s, text, sizeof text);
    EXPECT_STREQ(text, "2024-02-29T23:59:59");
    FormatDateTime(s + 1, text, sizeof text);
    EXPECT_STREQ(text, "2024-03-01T00:00:00");
    ASSERT_TRUE(ParseDateTime("2025-01-01 08:30", s));
    FormatDateTime(s, text, sizeof text);
    EXPECT_STREQ(text, "2025-01-01T08:30:00");
    for (const char* bad :
         {"2025-02-29T00:00:00", "2025-13-01T00:00:00", "2025-01-01", "1999-12-31T23:59:59",
          "2025-01-01T24:00:00", "2025-1-01T00:00", "2025-01-01T00:00:00Z"})
        EXPECT_FALSE(ParseDateTime(bad, s)) << bad;
}

std::string Take(LineAssembler& a, LineAssembler::Event expected) {
    char* line = nullptr;
    size_t length = 0;
    LineAssembler::Event e = a.Next(line, length);
    EXPECT_EQ(static_cast<int>(e), static_cast<int>(expected));
    return e == LineAssembler::Event::None ? std::string() : std::string(line, length);
}

void Feed(LineAssembler& a, const std::string& bytes) {
    ASSERT_LE(bytes.size(), a.SpaceSize());
    std::memcpy(a.Space(), bytes.data(), bytes.size());
    a.Commit(bytes.size());
}

TEST(LineAssembler, LinesFromPiecesAndPacks) {
    LineAssembler a;
    Feed(a, "gDT\tRE");
    Take(a, LineAssembler::Event::None);
    Feed(a, "Q\t1\nbFR\tREQ\t1\t0\t\n\npX");
    EXPECT_EQ(Take(a, LineAssembler::Event::Line), "gDT\tREQ\t1");
    EXPECT_EQ(Take(a, LineAssembler::Event::Line), "bFR\tREQ\t1\t0\t");
    EXPECT_EQ(Take(a, LineAssembler::Event::Line), "");
    Take(a, LineAssembler::Event::None);
    Feed(a, "R\tREQ\n");
    EXPECT_EQ(Take(a, LineAssembler::Event::Line), "pXR\tREQ");
    EXPECT_TRUE(a.Empty());
}

TEST(LineAssembler, OverLongLinesAreReportedOnceAndSkipped) {
    LineAssembler a;
    // Exactly the limit is a line; one more byte is too long.
    Feed(a, "pN\tREQ\t" + std::string(LineAssembler::kLineLimit - 7, 'a') + "\n");
    EXPECT_EQ(Take(a, LineAssembler::Event::Line).size(), LineAssembler::kLineLimit);
    Feed(a, "pN\tREQ\t" + std::string(LineAssembler::kLineLimit - 6, 'a') + "\nsI\tREQ\n");
    EXPECT_EQ(Take(a, LineAssembler::Event::TooLong).substr(0, 7), "pN\tREQ\t");
    EXPECT_EQ(Take(a, LineAssembler::Event::Line), "sI\tREQ");
    // A flood without LF: reported as soon as it passes the limit, then thrown
    // away piece by piece until its LF.
    for (int i = 0; i < 10; ++i) {
        Feed(a, std::string(3000, 'x'));
        Take(a, i == 0 ? LineAssembler::Event::TooLong : LineAssembler::Event::None);
    }
    Feed(a, "yyy\ncD\tREQ\t0\n");
    EXPECT_EQ(Take(a, LineAssembler::Event::Line), "cD\tREQ\t0");
    Take(a, LineAssembler::Event::None);
}

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

TEST(FaultDelivery, AnswersBentAsTheRulesSay) {
    Reply reply{};
    std::strcpy(reply.text, "gDT\tRSP\t0\t1\n");
    reply.length = std::strlen(reply.text);
    auto plan = [&](const char* rule, uint32_t due = 100) {
        FaultRule r;
        std::string error;
        if (rule) {
            EXPECT_TRUE(FaultPlan::ParseRule(rule, r, error)) << error;
        }
        Outgoing out;
        PlanDelivery(reply, r.action, due, out);
        return out;
    };
    bool closes = false;
    Outgoing out = plan(nullptr);
    EXPECT_EQ(out.WaitMs(40), 60);
    size_t size = 0;
    EXPECT_EQ(out.Piece(40, size), nullptr);
    EXPECT_EQ(Drain(out, 100, closes), "gDT\tRSP\t0\t1\n|");
    EXPECT_FALSE(closes);

    out = plan("* malformed");
    EXPECT_EQ(Drain(out, 100, closes), "gDT\tRSP\tX0\t1\n|");
    out = plan("* double");
    EXPECT_EQ(Drain(out, 100, closes), "gDT\tRSP\t0\t1\ngDT\tRSP\t0\t1\n|");
    out = plan("* nul");
    EXPECT_EQ(Drain(out, 100, closes), std::string("gDT\tRS\0P\t0\t1\n|", 14));
    out = plan("* delay 30");
    EXPECT_EQ(out.WaitMs(100), 30);
    out = plan("* drop");
    EXPECT_EQ(Drain(out, 100, closes), "gDT\tRS|");
    EXPECT_TRUE(closes);
    out = plan("* drop 0");
    EXPECT_EQ(Drain(out, 100, closes), "");
    EXPECT_TRUE(closes);
    out = plan("* lose");
    EXPECT_EQ(Drain(out, 100, closes), "");
    EXPECT_FALSE(closes);
    out = plan("* corrupt 1");
    EXPECT_EQ(Drain(out, 100, closes), "g\xC4T\tRSP\t0\t1\n|");
    out = plan("* corrupt 99");
    EXPECT_EQ(Drain(out, 100, closes), "gDT\tRS\xD0\t0\t1\n|");

    // Chunks: one piece at a time, the next after the gap.
    out = plan("* chunks 5 10");
    EXPECT_EQ(Drain(out, 100, closes), "gDT\tR|");
    EXPECT_EQ(out.WaitMs(105), 5);
    EXPECT_EQ(Drain(out, 110, closes), "SP\t0\t|");
    EXPECT_EQ(Drain(out, 120, closes), "1\n|");
    EXPECT_TRUE(out.Finished());

    // A restarting printer hangs up after the whole line.
    reply.dropAfter = true;
    out = plan(nullptr);
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

TEST(Options, CommandLine) {
    std::string host;
    uint16_t port = 1;
    EXPECT_TRUE(ParseHostPort("127.0.0.1:0", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 0);
    EXPECT_TRUE(ParseHostPort("[::1]:9100", host, port));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 9100);
    EXPECT_TRUE(ParseHostPort(":5", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    for (const char* bad : {"localhost", "::1:80", "[::1]80", "[]:80", "h:65536", "h:", "h:-1"})
        EXPECT_FALSE(ParseHostPort(bad, host, port)) << bad;

    SimulatorOptions o;
    bool help = false;
    std::string error;
    const char* argv[] = {"korvosim", "--tcp",   "127.0.0.1:0", "--usb",   "/tmp/com1", "--tcp",
                          "[::1]:0",  "--speed", "0.5",         "--state", "s.txt"};
    ASSERT_TRUE(ParseOptions(11, argv, o, help, error)) << error;
    EXPECT_EQ(o.tcp.size(), 2u);
    EXPECT_EQ(o.usb.size(), 1u);
    EXPECT_EQ(o.speed, 0.5);
    EXPECT_EQ(o.stateFile, "s.txt");
    const char* none[] = {"korvosim", "--paper", "p.txt"};
    EXPECT_FALSE(ParseOptions(3, none, o = {}, help, error));
    const char* unknown[] = {"korvosim", "--tcp", "127.0.0.1:0", "--fast"};
    EXPECT_FALSE(ParseOptions(4, unknown, o = {}, help, error));
    const char* speed[] = {"korvosim", "--tcp", "127.0.0.1:0", "--speed", "-1"};
    EXPECT_FALSE(ParseOptions(5, speed, o = {}, help, error));
    const char* chaos[] = {"korvosim", "--tcp", "127.0.0.1:0", "--chaos", "9:20:10"};
    ASSERT_TRUE(ParseOptions(5, chaos, o = {}, help, error)) << error;
    EXPECT_EQ(o.chaos.seed, 9u);
    EXPECT_EQ(o.chaos.lose, 0.1);
    chaos[4] = "9";
    EXPECT_FALSE(ParseOptions(5, chaos, o = {}, help, error));
    EXPECT_NE(error.find("--chaos wants SEED:RATE"), std::string::npos) << error;
    const char* helpArgs[] = {"korvosim", "--help"};
    EXPECT_TRUE(ParseOptions(2, helpArgs, o = {}, help, error));
    EXPECT_TRUE(help);
}

} // namespace
} // namespace korvo::sim
