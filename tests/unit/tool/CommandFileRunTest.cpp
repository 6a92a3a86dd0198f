#include <gtest/gtest.h>

#include <string>

#include "FakeLibrary.h"
#include "TempDir.h"
#include "TestClock.h"
#include "tool/CommandFileRun.h"
#include "tool/ExitCodes.h"

namespace korvo {
namespace {

using test::CapturedConsole;
using test::Fake;
using test::FakeAnswer;
using test::TempDir;

class CommandFileRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetFake();
        Fake().answers["gDT"] = FakeAnswer{0, "1\t05032024"};
        Fake().answers["getDate"] = FakeAnswer{0, "1\t05032024"};
        Fake().answers["bFR"] = FakeAnswer{0, ""};
        Fake().answers["oP"] = FakeAnswer{0, ""};
        Fake().answers["pXR"] = FakeAnswer{0, ""};
        Fake().configResults["next_cmd_time"] = 0;
        input = dir.File("commands.txt");
        output = dir.File("responses.txt");
    }

    int Run(const std::string& commands, int kind = kConnectionTCP) {
        dir.Write("commands.txt", commands);
        return RunFile(input, output, kind);
    }
    int RunFile(const std::string& in, const std::string& out, int kind = kConnectionTCP) {
        return RunCommandFile(options, kind, "127.0.0.1:5000", 0, 0, in.c_str(), out.c_str(),
                              test::FakeEnvironment(console.File()));
    }
    std::string Responses() { return TempDir::Read(output); }
    bool Called(const std::string& call) {
        for (const std::string& c : Fake().calls)
            if (c == call) return true;
        return false;
    }
    bool CalledAny(const std::string& prefix) {
        for (const std::string& c : Fake().calls)
            if (c.compare(0, prefix.size(), prefix) == 0) return true;
        return false;
    }

    test::TestClock clock;
    TempDir dir;
    CapturedConsole console;
    RunOptions options;
    std::string input, output;
};

TEST_F(CommandFileRunTest, ResponseFileFieldsForCommandAndConfigurationLines) {
    EXPECT_EQ(Run("gDT\t1\r\n"
                  ":next_cmd_time\t5000\r\n"
                  "getDate\t1\r\n"
                  "bFR\t1\t0\t\r\n"
                  "oP\r\n"
                  ":extend_response_time\r\n"
                  ":bogus_key\t1\r\n"
                  "pXR\r\n"),
              kExitSuccess);
    // Values as sent; the name as written; a command with a response head but
    // no values gets an empty field, one without a head none.
    EXPECT_EQ(Responses(), "gDT\t0\t1\t05032024\r\n"
                           ":next_cmd_time\t0\r\n"
                           "getDate\t0\t1\t05032024\r\n"
                           "bFR\t0\r\n"
                           "oP\t0\t\r\n"
                           ":extend_response_time\t-108\r\n"
                           ":bogus_key\t-103\r\n"
                           "pXR\t0\r\n");
    // Configuration lines print nothing; a command line prints before the
    // command is sent and finishes after it.
    EXPECT_EQ(console.Text(), "Connect == 0\n"
                              "gDT == 0\n"
                              "getDate == 0\n"
                              "bFR == 0\n"
                              "oP == 0\n"
                              "pXR == 0\n"
                              "Disconnect == 0\n");
    // Everything after the first TAB is the parameter text; no TAB, none.
    EXPECT_TRUE(Called("SendCommand(bFR|1\t0\t)"));
    EXPECT_TRUE(Called("SendCommand(oP|<none>)"));
    EXPECT_TRUE(Called("SetConfigValue(7|next_cmd_time|5000)"));
    EXPECT_TRUE(Called("SetConfigValue(7|extend_response_time|<none>)"));
    EXPECT_TRUE(Called("Disconnect(7)"));
}

TEST_F(CommandFileRunTest, LineWithANulByteIsRefusedNotSent) {
    const char commands[] = "gDT\t1\r\n:next_cmd_time\t50\0"
                            "00\r\npRI\tItem\0 1\t1.00\r\noP\r\n";
    EXPECT_EQ(Run(std::string(commands, sizeof commands - 1)), kExitCommandFailed);
    EXPECT_EQ(Responses(), "gDT\t0\t1\t05032024\r\n"
                           ":next_cmd_time\t401\r\n"
                           "pRI\t401\r\n");
    EXPECT_EQ(console.Text(), "Connect == 0\ngDT == 0\npRI == 401\nDisconnect == 0\n");
    EXPECT_FALSE(CalledAny("SetConfigValue"));
    EXPECT_FALSE(CalledAny("SendCommand(pRI"));
    EXPECT_FALSE(CalledAny("SendCommand(oP"));
}

TEST_F(CommandFileRunTest, FailedConnectionLeavesAnEmptiedResponseFile) {
    Fake().connectHandle = 0;
    Fake().connectError = -655;
    dir.Write("responses.txt", "old responses");
    EXPECT_EQ(Run("pXR\n"), kExitConnectionFailed);
    EXPECT_EQ(Responses(), "");
    EXPECT_EQ(console.Text(), "Connect == -655\n\n");
    EXPECT_FALSE(CalledAny("SendCommand"));
    EXPECT_FALSE(CalledAny("Disconnect"));
}

TEST_F(CommandFileRunTest, ConnectsByKind) {
    EXPECT_EQ(Run("pXR\n", kConnectionUSB), kExitSuccess);
    EXPECT_TRUE(Called("ConnectUSB(127.0.0.1:5000)"));
    Fake().calls.clear();
    dir.Write("commands.txt", "pXR\n");
    EXPECT_EQ(RunCommandFile(options, kConnectionRS232, "COM3", 115200, 2, input.c_str(),
                             output.c_str(), test::FakeEnvironment(console.File())),
              kExitSuccess);
    EXPECT_TRUE(Called("ConnectRS232(COM3|115200|2)"));
}

TEST_F(CommandFileRunTest, FileSizeLimits) {
    // Exactly 1 MiB of line ends: accepted, runs nothing.
    EXPECT_EQ(Run(std::string(kMaxCommandFileSize, '\n')), kExitSuccess);
    EXPECT_EQ(Responses(), "");
    EXPECT_EQ(console.Text(), "Connect == 0\nDisconnect == 0\n");

    // One byte more: refused before the response file is touched.
    Fake().calls.clear();
    dir.Write("responses.txt", "keep");
    EXPECT_EQ(Run(std::string(kMaxCommandFileSize + 1, '\n')), kExitInputTooLong);
    EXPECT_EQ(Responses(), "keep");
    EXPECT_TRUE(Fake().calls.empty());

    EXPECT_EQ(Run(""), kExitInputTooShort);
    EXPECT_EQ(Responses(), "keep");
    EXPECT_EQ(RunFile(dir.File("missing.txt"), output), kExitInputOpenError);

    // A response file that cannot be created: no connection is tried and
    // nothing is created.
    dir.Write("commands.txt", "pXR\n");
    std::string unreachable = dir.File("no-such-folder/responses.txt");
    EXPECT_EQ(RunFile(input, unreachable), kExitOutputOpenError);
    EXPECT_FALSE(TempDir::Exists(unreachable));
    EXPECT_TRUE(Fake().calls.empty());
}

TEST_F(CommandFileRunTest, LineLengthLimit) {
    dir.Write("responses.txt", "keep");
    // Second line of 2048 characters with CR LF endings.
    EXPECT_EQ(Run("pXR\r\n" + std::string(2048, 'x') + "\r\npXR\r\n"), kExitLineTooLong);
    EXPECT_EQ(Responses(), "keep");
    EXPECT_TRUE(Fake().calls.empty());

    // The last line has no line end: not measured, and executed.
    EXPECT_EQ(Run("pXR\r\n" + std::string(3000, 'x')), kExitCommandFailed);
    EXPECT_TRUE(Called("SendCommand(" + std::string(3000, 'x') + "|<none>)"));
    EXPECT_EQ(Responses(), "pXR\t0\r\n" + std::string(3000, 'x') + "\t-401\r\n");
}

TEST_F(CommandFileRunTest, CutCommandLinesMeasuresFromLineEndToLineEnd) {
    auto cut = [](std::string text) { return CutCommandLines(&text[0], uint32_t(text.size())); };
    EXPECT_TRUE(cut(std::string(2048, 'a') + "\n"));
    EXPECT_FALSE(cut(std::string(2049, 'a') + "\n"));
    EXPECT_TRUE(cut("a\r\n" + std::string(2047, 'b') + "\r\n"));
    EXPECT_FALSE(cut("a\r\n" + std::string(2048, 'b') + "\r\n"));
    EXPECT_TRUE(cut("a\n" + std::string(2047, 'b') + "\r"));
    EXPECT_TRUE(cut("a\r\n" + std::string(100000, 'b')));

    std::string text = "a\n\rb\r\r\n\nc";
    ASSERT_TRUE(CutCommandLines(&text[0], uint32_t(text.size())));
    EXPECT_EQ(text, std::string("a\0\0b\0\0\0\0c", 9));
}

TEST_F(CommandFileRunTest, SameFileForInputAndOutput) {
    dir.Write("commands.txt", "gDT\t1\r\npXR\r\n");
    EXPECT_EQ(RunFile(input, input), kExitSuccess);
    EXPECT_EQ(TempDir::Read(input), "gDT\t0\t1\t05032024\r\npXR\t0\r\n");
}

TEST_F(CommandFileRunTest, ExistingResponseFileIsEmptiedFirst) {
    dir.Write("responses.txt", std::string(5000, 'z'));
    EXPECT_EQ(Run("pXR\n"), kExitSuccess);
    EXPECT_EQ(Responses(), "pXR\t0\r\n");
}

TEST_F(CommandFileRunTest, LineNumbersTimeStampsAndDurations) {
    options.PrintLineNum = true;
    options.DisplayCurrentTime = true;
    options.DisplayCommandTime = true;
    Fake().connectTakesMs = 1500;
    Fake().answers["gDT"].takesMs = 61234;
    Fake().disconnectTakesMs = 5;
    // The configuration line and the empty one: counted and skipped.
    EXPECT_EQ(Run(":next_cmd_time\t500\r\n\r\ngDT\t1\r\n"), kExitSuccess);
    EXPECT_EQ(console.Text(), "(9:05:07,042) Connect == 0 (+ 0'01,500\") \n"
                              "2: (9:05:07,042) gDT == 0 (+ 1'01,234\") \n"
                              "(9:05:07,042) Disconnect == 0 (+ 0'00,005\") \n");
}

TEST_F(CommandFileRunTest, DurationsOnLinesOfTheirOwn) {
    options.DisplayCommandTime = true;
    options.CommandTimeOnNewLine = true;
    Fake().answers["pXR"].takesMs = 3723004;
    EXPECT_EQ(Run("pXR\n"), kExitSuccess);
    EXPECT_EQ(console.Text(), "Connect == 0\n (+ 0'00,000\") \n"
                              "pXR == 0\n (+ 62'03,004\") \n"
                              "Disconnect == 0\n (+ 0'00,000\") \n");
}

} // namespace
} // namespace korvo
