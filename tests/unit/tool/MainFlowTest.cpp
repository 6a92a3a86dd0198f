#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeLibrary.h"
#include "TempDir.h"
#include "UsageBlock.h"
#include "tool/DecimalText.h"
#include "tool/ExitCodes.h"
#include "tool/MainFlow.h"

namespace korvo {
namespace {

using test::CapturedConsole;
using test::Fake;
using test::FakeAnswer;
using test::TempDir;
using test::WithUsage;

class MainFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetFake();
        Fake().answers["pXR"] = FakeAnswer{0, ""};
        in = dir.Write("in.txt", "pXR\n");
        out = dir.File("out.txt");
    }

    int Main(std::vector<std::string> args) {
        std::vector<const char*> argv;
        for (const std::string& a : args)
            argv.push_back(a.c_str());
        return ProgramMain(int(argv.size()), argv.data(), test::FakeEnvironment(console.File()));
    }

    TempDir dir;
    CapturedConsole console;
    std::string in, out;
};

TEST_F(MainFlowTest, InvalidCommandLinesShowTheProgramPathAndTouchNothing) {
    const std::string prog = "C:\\tools/x\\korvoprog.exe";
    const std::vector<std::vector<std::string>> lines = {
        {prog},
        {prog, "USB", "COM6", in},                    // one file name only
        {prog, "TCP", "127.0.0.1", in, out, "extra"}, // five arguments
        {prog, "USB", "COM6", "9600", "2", in, out},  // six arguments for USB
        {prog, "LPT", "COM6", in, out},               // unknown kind
        {prog, "USB", "COM0", in, out},
        {prog, "USB", "LPT1", in, out},
        {prog, "RS232", "LPT1", "9600", "2", in, out},
        {prog, "RS232", "COM1", "9599", "2", in, out},   // speed below 9600
        {prog, "RS232", "COM1", "9600", "1", in, out},   // address 1
        {prog, "RS232", "COM1", "9600", "257", in, out}, // low byte 1
        {prog, "RS232", "COM1", "9600", "x", in, out},   // no digits: address 0
    };
    for (const auto& line : lines) {
        CapturedConsole fresh;
        std::vector<const char*> argv;
        for (const std::string& a : line)
            argv.push_back(a.c_str());
        EXPECT_EQ(ProgramMain(int(argv.size()), argv.data(), test::FakeEnvironment(fresh.File())),
                  kExitInvalidParameters)
            << line.size();
        EXPECT_EQ(fresh.Text(), WithUsage("Error: Invalid input parameters\n", prog));
    }
    EXPECT_TRUE(Fake().calls.empty());
    EXPECT_EQ(Fake().socketStops, 0);
    EXPECT_FALSE(TempDir::Exists(out));
}

TEST_F(MainFlowTest, ProgramWithoutArgumentVector) {
    EXPECT_EQ(ProgramMain(0, nullptr, test::FakeEnvironment(console.File())),
              kExitInvalidParameters);
    EXPECT_EQ(console.Text(), WithUsage("Error: Invalid input parameters\n", ""));
}

TEST_F(MainFlowTest, AcceptedFormsInAnyLetterCase) {
    EXPECT_EQ(Main({"prog", "usb", "com6", in, out}), kExitSuccess);
    EXPECT_EQ(Fake().calls.front(), "ConnectUSB(com6)");
    Fake().calls.clear();
    EXPECT_EQ(Main({"prog", "Rs232", "COM1", "9600", "2", in, out}), kExitSuccess);
    EXPECT_EQ(Fake().calls.front(), "ConnectRS232(COM1|9600|2)");
    Fake().calls.clear();
    // Read as atoi does; the address keeps its low byte.
    EXPECT_EQ(Main({"prog", "RS232", "COM1", " +38400baud", "258", in, out}), kExitSuccess);
    EXPECT_EQ(Fake().calls.front(), "ConnectRS232(COM1|38400|2)");
    Fake().calls.clear();
    EXPECT_EQ(Main({"prog", "tcp", "anything at all", in, out}), kExitSuccess);
    EXPECT_EQ(Fake().calls.front(), "ConnectTCP(anything at all)");
}

TEST_F(MainFlowTest, SuccessfulRunEndsWithTwoEmptyLinesAndStopsSockets) {
    EXPECT_EQ(Main({"/opt/kit/korvoprog", "TCP", "127.0.0.1", in, out}), kExitSuccess);
    EXPECT_EQ(console.Text(), "Connect == 0\npXR == 0\nDisconnect == 0\n\n\n");
    EXPECT_EQ(Fake().socketStops, 1);
}

TEST_F(MainFlowTest, ReportOfEveryExitCode) {
    struct Case {
        int code;
        std::string text;
    };
    const std::vector<Case> cases = {
        {kExitSuccess, "\n\n"},
        {kExitCommandFailed, "\n\n"},
        {kExitDisconnectError, "Error: Disconnect error\n\n"},
        {kExitInvalidParameters, WithUsage("Error: Invalid input parameters\n", "p")},
        {kExitConnectionFailed, WithUsage("Error: Connection failed\n", "p")},
        {kExitInputOpenError, WithUsage("Error: Input file opening error\n", "p")},
        {kExitInputTooLong, WithUsage("Error: Input file too long\n", "p")},
        {kExitInputTooShort, WithUsage("Error: Input file too short\n", "p")},
        {kExitLineTooLong, WithUsage("Error: Input file line too long\n", "p")},
        {kExitOutputOpenError, WithUsage("Error: Output file opening error\n", "p")},
    };
    for (const Case& c : cases) {
        CapturedConsole fresh;
        PrintReport(fresh.File(), c.code, "p");
        EXPECT_EQ(fresh.Text(), c.text) << c.code;
    }
}

TEST_F(MainFlowTest, BaseName) {
    EXPECT_STREQ(ProgramBaseName("korvoprog"), "korvoprog");
    EXPECT_STREQ(ProgramBaseName("/usr/bin/korvoprog"), "korvoprog");
    EXPECT_STREQ(ProgramBaseName("C:\\kit/bin\\korvoprog.exe"), "korvoprog.exe");
    EXPECT_STREQ(ProgramBaseName("a\\b/c"), "c");
    EXPECT_STREQ(ProgramBaseName("dir/"), "");
}

TEST(DecimalTextTest, ReadsTheWayAtoiDoes) {
    EXPECT_EQ(ReadDecimal("38400"), 38400);
    EXPECT_EQ(ReadDecimal(" \t\n-12abc"), -12);
    EXPECT_EQ(ReadDecimal("+7"), 7);
    EXPECT_EQ(ReadDecimal("yes"), 0);
    EXPECT_EQ(ReadDecimal("- 5"), 0);
    EXPECT_EQ(ReadDecimal(""), 0);
    EXPECT_EQ(ReadDecimal("2147483647"), 2147483647);
    EXPECT_EQ(ReadDecimal("-2147483648"), INT32_MIN);
    // Beyond the range: clamped, never undefined.
    EXPECT_EQ(ReadDecimal("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(ReadDecimal("-99999999999999999999"), INT32_MIN);
}

} // namespace
} // namespace korvo
