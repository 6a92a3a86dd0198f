// korvosim's own input: cutting the bytes a front end receives into lines,
// and the command line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/serve/LineAssembler.h"
#include "sim/serve/Options.h"

namespace korvo::sim {
namespace {

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
