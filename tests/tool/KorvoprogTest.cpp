// korvoprog as a program against korvosim: console output and response files
// byte for byte, exit codes, the command-file boundaries, the program's
// configuration file and the three connection kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Processes.h"
#include "ProgramUnderTest.h"
#include "TempDir.h"
#include "UsageBlock.h"
#include "korvo_version.h"

namespace korvo {
namespace {

using test::ProgramResult;
using test::ProgramUnderTest;
using test::Simulator;
using test::TempDir;
using test::WithUsage;

const char* const kHeaderLine1 = "KORVO DEMO SHOP s.r.o.";

class KorvoprogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The program runs under a link in a folder of its own, so that the
        // test decides which configuration file it finds next to itself.
        std::filesystem::create_directories(dir.Path() / "bin");
        std::filesystem::create_directories(dir.Path() / "ports");
        program = dir.File("bin/" + korvoprog.FileName());
        std::filesystem::create_symlink(korvoprog.File(), program);
        input = dir.File("commands.txt");
        output = dir.File("responses.txt");
        for (int port : {5, 7})
            korvoprog.LinkPort(port, dir.File("ports/com" + std::to_string(port)));
    }

    void TearDown() override {
        for (int port : {5, 7})
            korvoprog.UnlinkPort(port);
    }

    // Starts korvosim on loopback TCP and a USB pty (COM5); faults as given.
    void StartSimulator(const std::string& faults = "",
                        const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"--tcp", "127.0.0.1:0", "--usb", dir.File("ports/com5")};
        if (!faults.empty()) {
            args.push_back("--faults");
            args.push_back(dir.Write("faults.txt", faults));
        }
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<Simulator>(KORVOSIM_PATH, args, dir.File("korvosim.log"));
        ASSERT_FALSE(sim->WaitForLog("korvosim: ready").empty())
            << TempDir::Read(dir.File("korvosim.log"));
        endpoint = sim->WaitForLog("korvosim: tcp (127\\.0\\.0\\.1:[0-9]+)");
        ASSERT_FALSE(endpoint.empty());
    }

    ProgramResult Korvoprog(const std::vector<std::string>& arguments,
                            const std::string& traceFolder = "") {
        std::vector<std::string> environment = {"KORVOCOMM_PORTS=" + dir.File("ports")};
        if (!traceFolder.empty())
            environment.push_back("KORVOCOMM_TRACE=" + korvoprog.ShownPath(traceFolder));
        return korvoprog.Run(program, arguments, dir.Path().string(), environment);
    }

    // The wire traces written into folder.
    static std::vector<std::string> TraceFiles(const std::string& folder) {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            files.push_back(entry.path().string());
        return files;
    }

    // A trace's lines without their time stamps ("HH:MM:SS.mmm "), which are
    // checked here; the three header lines as they are. Consecutive "<<"
    // lines (pieces as they arrived) are joined, "== N after M ms" is "== N".
    static std::vector<std::string> TraceLines(const std::string& file) {
        std::vector<std::string> lines;
        std::istringstream in(TempDir::Read(file));
        const std::regex stamped(R"(([0-2][0-9]:[0-5][0-9]:[0-5][0-9]\.[0-9]{3}) (.*))");
        const std::regex result(R"((== -?[0-9]+) after [0-9]+ ms)");
        std::string line;
        std::smatch m;
        while (std::getline(in, line)) {
            if (lines.size() < 3) {
                lines.push_back(line);
                continue;
            }
            EXPECT_TRUE(std::regex_match(line, m, stamped)) << line;
            std::string text = m[2];
            if (std::regex_match(text, m, result)) text = m[1];
            if (text.rfind("<< ", 0) == 0 && lines.back().rfind("<< ", 0) == 0)
                lines.back() += text.substr(3);
            else
                lines.push_back(text);
        }
        return lines;
    }

    // Runs commands (bytes as given) over TCP.
    ProgramResult RunTcp(const std::string& commands) {
        dir.Write("commands.txt", commands);
        return Korvoprog({"TCP", endpoint, input, output});
    }

    void Configure(const std::string& text) { dir.Write("bin/korvoprog.cfg", text); }
    std::string Responses() { return TempDir::Read(output); }

    // How the program shows its own name in the usage text.
    std::string BaseName() const { return korvoprog.FileName(); }

    const ProgramUnderTest korvoprog{KORVOPROG_PATH};
    TempDir dir;
    std::unique_ptr<Simulator> sim;
    std::string endpoint, program, input, output;
};

TEST_F(KorvoprogTest, SuccessfulRun) {
    StartSimulator();
    ProgramResult r = RunTcp("gHL\t1\r\ngVE\t1\r\ngP\t6\r\nsI\r\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output,
              "Connect == 0\ngHL == 0\ngVE == 0\ngP == 0\nsI == 0\nDisconnect == 0\n\n\n");
    EXPECT_EQ(r.errors, "");
    EXPECT_EQ(Responses(), std::string("gHL\t0\t") + kHeaderLine1 +
                               "\r\n"
                               "gVE\t0\t1\t1\t23.00\r\n"
                               "gP\t0\t6\tKV240017\r\n"
                               "sI\t0\r\n");
}

TEST_F(KorvoprogTest, InvalidCommandLineShowsTheProgramPath) {
    ProgramResult r = Korvoprog({"USB", "COM6", input});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output,
              WithUsage("Error: Invalid input parameters\n", korvoprog.ShownPath(program)));
    r = Korvoprog({"RS232", "COM1", "9600", "257", input, output});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(TempDir::Exists(output));
}

// Both programs name the kit's one version; a second argument makes it an
// invalid command line again.
TEST_F(KorvoprogTest, Version) {
    ProgramResult r = Korvoprog({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, std::string("korvoprog ") + KORVO_VERSION + "\n");
    r = Korvoprog({"--version", input});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output,
              WithUsage("Error: Invalid input parameters\n", korvoprog.ShownPath(program)));
    r = test::RunProgram(KORVOSIM_PATH, "korvosim", {"--version"}, "");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, std::string("korvosim ") + KORVO_VERSION + "\n");
}

TEST_F(KorvoprogTest, FailedConnectionShowsTheBaseName) {
    // Nothing listens on the simulator's port once it has stopped.
    StartSimulator();
    sim->Stop();
    dir.Write("responses.txt", "old");
    ProgramResult r = RunTcp("sI\r\n");
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.output,
              "Connect == -655\n\n" + WithUsage("Error: Connection failed\n", BaseName()));
    EXPECT_EQ(Responses(), "");

    // A malformed host address fails the same way.
    dir.Write("commands.txt", "sI\r\n");
    r = Korvoprog({"tcp", "127.0.0.1:99999", input, output});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.output,
              "Connect == -205\n\n" + WithUsage("Error: Connection failed\n", BaseName()));
}

TEST_F(KorvoprogTest, DisconnectRefused) {
    StartSimulator("DISCONNECT code 5\n");
    ProgramResult r = RunTcp("sI\r\n");
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(r.output, "Connect == 0\nsI == 0\nDisconnect == -5\nError: Disconnect error\n\n");
}

TEST_F(KorvoprogTest, FileErrorsBeforeConnecting) {
    StartSimulator();
    const std::string usage = BaseName();
    ProgramResult r = Korvoprog({"TCP", endpoint, dir.File("missing.txt"), output});
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_EQ(r.output, WithUsage("Error: Input file opening error\n", usage));

    dir.Write("responses.txt", "untouched");
    r = RunTcp(std::string(1048577, '\n'));
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_EQ(r.output, WithUsage("Error: Input file too long\n", usage));
    EXPECT_EQ(Responses(), "untouched");

    r = RunTcp("");
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_EQ(r.output, WithUsage("Error: Input file too short\n", usage));

    r = RunTcp("sI\r\n" + std::string(2048, 'x') + "\r\n");
    EXPECT_EQ(r.exitCode, 8);
    EXPECT_EQ(r.output, WithUsage("Error: Input file line too long\n", usage));
    EXPECT_EQ(Responses(), "untouched");

    dir.Write("commands.txt", "sI\r\n");
    r = Korvoprog({"TCP", endpoint, input, dir.File("no-folder/responses.txt")});
    EXPECT_EQ(r.exitCode, 9);
    EXPECT_EQ(r.output, WithUsage("Error: Output file opening error\n", usage));
}

TEST_F(KorvoprogTest, FailedCommandEndsTheRun) {
    StartSimulator();
    ProgramResult r = RunTcp("sI\r\npRI\tBread\t1.20\t1\t1\t\t\t\t\t\t\r\nsI\r\n");
    EXPECT_EQ(r.exitCode, 10);
    EXPECT_EQ(r.output, "Connect == 0\nsI == 0\npRI == 207\nDisconnect == 0\n\n\n");
    EXPECT_EQ(Responses(), "sI\t0\r\npRI\t207\r\n");
}

TEST_F(KorvoprogTest, NamedErrors) {
    Configure("NamedErrors=1\r\n");
    StartSimulator();
    ProgramResult r = RunTcp("bFR\t1\t0\t\r\nsI\r\npRI\tBread\t1.20\t1\t9\t\t\t\t\t\t\r\n");
    EXPECT_EQ(r.exitCode, 10);
    EXPECT_EQ(r.output, "Connect == EFP_OK\nbFR == EFP_OK\nsI == EFP_OK\npRI == EFP_BAD_VAT\n"
                        "Disconnect == EFP_OK\n\n\n");
    EXPECT_EQ(Responses(), "bFR\tEFP_OK\r\nsI\tEFP_OK\r\npRI\tEFP_BAD_VAT\r\n");
}

TEST_F(KorvoprogTest, ResultTextsAndValueFields) {
    // gHL answers once without its value; sI and oP answer codes beyond and
    // at the edge of the decimal range.
    StartSimulator("gHL raw gHL\\tRSP\\t0\\n skip=1 count=1\n"
                   "sI code 65536\n"
                   "oP code -65535\n");
    ProgramResult r = RunTcp("gHL\t1\r\ngHL\t1\r\n:next_cmd_time\t5000\r\n:Bogus_Key\t1\r\n"
                             ":link_transfer_time\r\n:dns_connect_mode\t1\r\noP\r\n");
    EXPECT_EQ(r.exitCode, 10);
    EXPECT_EQ(r.output, "Connect == 0\ngHL == 0\ngHL == 0\noP == -65535\nDisconnect == 0\n\n\n");
    EXPECT_EQ(Responses(), std::string("gHL\t0\t") + kHeaderLine1 +
                               "\r\n"
                               "gHL\t0\t\r\n"
                               ":next_cmd_time\t0\r\n"
                               ":Bogus_Key\t-103\r\n"
                               ":link_transfer_time\t-108\r\n"
                               ":dns_connect_mode\t-112\r\n"
                               "oP\t-65535\r\n");
    r = RunTcp("sI\r\n");
    EXPECT_EQ(r.output, "Connect == 0\nsI == 0x10000\nDisconnect == 0\n\n\n");
    EXPECT_EQ(Responses(), "sI\t0x10000\r\n");
}

TEST_F(KorvoprogTest, UnknownNamesAndReservedNames) {
    StartSimulator();
    // The values of the command before stay in place.
    ProgramResult r = RunTcp("gHL\t1\r\n;comment\r\nsI\r\n");
    EXPECT_EQ(r.exitCode, 10);
    EXPECT_EQ(r.output, "Connect == 0\ngHL == 0\n;comment == -401\nDisconnect == 0\n\n\n");
    EXPECT_EQ(Responses(), std::string("gHL\t0\t") + kHeaderLine1 + "\r\n;comment\t-401\t" +
                               kHeaderLine1 + "\r\n");

    for (const char* name : {"CONNECT", "DISCONNECT", "#x"}) {
        r = RunTcp(std::string(name) + "\r\nsI\r\n");
        EXPECT_EQ(r.exitCode, 10);
        EXPECT_EQ(Responses(), std::string(name) + "\t-401\r\n");
    }
    r = RunTcp("\tsI\r\nsI\r\n");
    EXPECT_EQ(r.exitCode, 10);
    EXPECT_EQ(r.output, "Connect == 0\n == -401\nDisconnect == 0\n\n\n");
    EXPECT_EQ(Responses(), "\t-401\r\n");
}

TEST_F(KorvoprogTest, LinesAfterFirmwareUpdateAreDisconnected) {
    StartSimulator();
    ProgramResult r = RunTcp("uF\r\nsI\r\nsI\r\n");
    EXPECT_EQ(r.exitCode, 10);
    EXPECT_EQ(r.output, "Connect == 0\nuF == 0\nsI == -207\nDisconnect == 0\n\n\n");
    EXPECT_EQ(Responses(), "uF\t0\r\nsI\t-207\r\n");
}

TEST_F(KorvoprogTest, CommandFileBoundaries) {
    StartSimulator();
    // Exactly 1 MiB: a command, then line ends.
    std::string text = "sI\r\n";
    text += std::string(1048576 - text.size(), '\n');
    ProgramResult r = RunTcp(text);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Responses(), "sI\t0\r\n");

    // A first line of 2048 characters and a second of 2047 (configuration
    // lines, which do not end the run).
    std::string first = ":" + std::string(2045, 'a'), second = ":" + std::string(2044, 'b');
    r = RunTcp(first + "\t1\r\n" + second + "\t1\r\nsI\r\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Responses(), first + "\t-103\r\n" + second + "\t-103\r\nsI\t0\r\n");

    // The last line has no line end: not measured, and executed.
    std::string last = ":" + std::string(3000, 'c');
    r = RunTcp("sI\r\n" + last + "\t1");
    EXPECT_EQ(r.exitCode, 10);
    EXPECT_EQ(Responses(), "sI\t0\r\n" + last + "\t-103\r\n");

    // Any mix of CR and LF ends lines; empty lines do not count.
    r = RunTcp("\n\r\r\nsI\n\r\n\rgHL\t1\r\r\r\n\nsI");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Responses(), std::string("sI\t0\r\ngHL\t0\t") + kHeaderLine1 + "\r\nsI\t0\r\n");

    r = RunTcp("\r\n\r\n\n\r");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "Connect == 0\nDisconnect == 0\n\n\n");
    EXPECT_EQ(Responses(), "");
}

TEST_F(KorvoprogTest, SameFileForCommandsAndResponses) {
    StartSimulator();
    dir.Write("commands.txt", "gHL\t1\r\nsI\r\n");
    ProgramResult r = Korvoprog({"TCP", endpoint, input, input});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(TempDir::Read(input), std::string("gHL\t0\t") + kHeaderLine1 + "\r\nsI\t0\r\n");
}

TEST_F(KorvoprogTest, ConfigurationFileReports) {
    Configure("; reports of the values below\r\n"
              "displaycfgerr=1\r\n"
              "DISPLAYCFGERR=1\r\n"
              "dns_connect_mode=1\r\n"
              " NamedErrors=1\r\n"
              "ReadConfigVal=1\r\n"
              "link_transfer_time=100\r\n"
              "DisplayCfgErr=0\r\n"
              "next_cmd_time=500\r\n"
              "a line without an equals sign\r\n"
              "NamedErrors=1\r\n"
              "next_cmd_time=500\r\n");
    StartSimulator();
    ProgramResult r = RunTcp("sI\r\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "SetConfigValue(\"dns_connect_mode\"\", \"1\") = 0\n"
                        "SetConfigValue(\" NamedErrors\"\", \"1\") = -103\n"
                        "SetConfigValue(\"link_transfer_time\"\", \"100\") = 0\n"
                        "GetConfigValue(\"link_transfer_time\"\", \"100\") = 3\n"
                        "GetConfigValue(\"next_cmd_time\"\", \"\") = -111\n"
                        "GetConfigValue(\"next_cmd_time\"\", \"\") = APP_DYNAMIC_ONLY_CFG_VALUE\n"
                        "Connect == EFP_OK\nsI == EFP_OK\nDisconnect == EFP_OK\n\n\n");
}

TEST_F(KorvoprogTest, TimeStampsDurationsAndLineNumbers) {
    Configure("DisplayCurrentTime=1\nDisplayCommandTime=1\nPrintLineNum=1\n");
    StartSimulator();
    ProgramResult r = RunTcp(":next_cmd_time\t500\r\nsI\r\n");
    EXPECT_EQ(r.exitCode, 0);
    const std::string stamp = R"(\((1?[0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9],[0-9]{3}\) )";
    const std::string took = R"( \(\+ [0-9]+'[0-5][0-9],[0-9]{3}"\) )";
    EXPECT_TRUE(std::regex_match(r.output, std::regex(stamp + "Connect == 0" + took +
                                                      "\n2: " + stamp + "sI == 0" + took + "\n" +
                                                      stamp + "Disconnect == 0" + took + "\n\n\n")))
        << r.output;

    Configure("DisplayCommandTime=2\n");
    r = RunTcp("sI\r\n");
    EXPECT_TRUE(
        std::regex_match(r.output, std::regex("Connect == 0\n" + took + "\nsI == 0\n" + took +
                                              "\nDisconnect == 0\n" + took + "\n\n\n")))
        << r.output;
}

// The same command file over each kind of connection gives the same output.
TEST_F(KorvoprogTest, AllConnectionKinds) {
    StartSimulator();
    const std::string commands = "gHL\t1\r\n:next_cmd_time\t2000\r\ngVE\t3\r\nsI\r\n";
    const std::string console = "Connect == 0\ngHL == 0\ngVE == 0\nsI == 0\nDisconnect == 0\n\n\n";
    const std::string responses = std::string("gHL\t0\t") + kHeaderLine1 +
                                  "\r\n:next_cmd_time\t0\r\ngVE\t0\t3\t1\t5.00\r\nsI\t0\r\n";

    ProgramResult r = RunTcp(commands);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, console);
    EXPECT_EQ(Responses(), responses);

    r = Korvoprog({"usb", "com5", input, output});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, console);
    EXPECT_EQ(Responses(), responses);
}

TEST_F(KorvoprogTest, Rs232Connection) {
    ProgramResult help = test::RunProgram(KORVOSIM_PATH, "korvosim", {"--help"}, "");
    if (help.output.find("--rs232") == std::string::npos)
        GTEST_SKIP() << "korvosim has no RS-232 station yet";
    StartSimulator("", {"--rs232", dir.File("ports/com7"), "--address", "2"});
    dir.Write("commands.txt", "gHL\t1\r\n:next_cmd_time\t2000\r\ngVE\t3\r\nsI\r\n");
    // 258 counts as address 2.
    ProgramResult r = Korvoprog({"RS232", "COM7", "115200", "258", input, output});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "Connect == 0\ngHL == 0\ngVE == 0\nsI == 0\nDisconnect == 0\n\n\n");
    EXPECT_EQ(Responses(), std::string("gHL\t0\t") + kHeaderLine1 +
                               "\r\n:next_cmd_time\t0\r\ngVE\t0\t3\t1\t5.00\r\nsI\t0\r\n");
}

// A receipt over TCP traced: the lines read as the exchange went, the answer
// that a fault bent included; korvosim --replay of the trace answers the same
// command file to the same response file without any fault.
TEST_F(KorvoprogTest, WireTraceOfTcpReceiptReplays) {
    StartSimulator("gHL raw gHL\\tRSP\\t0\\tFROM-THE-SHOP\\n\n"
                   "pRI chunks 5 20\n");
    const std::string traces = dir.File("traces");
    std::filesystem::create_directories(traces);
    dir.Write("commands.txt", "gHL\t1\r\nbFR\t1\t0\t\r\npRI\tMilk\t1.29\t1\t3\t\t\t\t\t\t\r\n"
                              "pRT\t1.29\t2.00\t1\t\t\r\neFR\t0\r\n");
    const std::string console = "Connect == 0\ngHL == 0\nbFR == 0\npRI == 0\npRT == 0\neFR == 0\n"
                                "Disconnect == 0\n\n\n";
    ProgramResult r = Korvoprog({"TCP", endpoint, input, output}, traces);
    ASSERT_EQ(r.output, console);
    const std::string responses = Responses();
    EXPECT_EQ(responses, "gHL\t0\tFROM-THE-SHOP\r\nbFR\t0\r\npRI\t0\r\npRT\t0\r\neFR\t0\r\n");

    std::vector<std::string> files = TraceFiles(traces);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(std::filesystem::path(files[0]).filename().string(),
                                 std::regex(R"(korvocomm-[0-9]{8}-[0-9]{6}-p[0-9]+-c1\.trace)")))
        << files[0];
    std::vector<std::string> lines = TraceLines(files[0]);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind(std::string("# korvocomm ") + KORVO_VERSION +
                                 " wire trace of connection 1 (handle ",
                             0),
              0u)
        << lines[0];
    EXPECT_EQ(lines[1], "# link: TCP " + endpoint);
    EXPECT_TRUE(
        std::regex_match(lines[2], std::regex(R"(# started [0-9]{4}-[0-9]{2}-[0-9]{2} )"
                                              R"([0-9:.]{12} local time \(UTC[+-][0-9:]{5}\))")))
        << lines[2];
    const std::vector<std::string> body(lines.begin() + 3, lines.end());
    const std::vector<std::string> expected = {
        "** open: 0",
        ">> CONNECT\\tREQ\\n",
        "<< CONNECT\\tRSP\\t0\\n",
        "== 0",
        ">> gHL\\tREQ\\t1\\n",
        "<< gHL\\tRSP\\t0\\tFROM-THE-SHOP\\n",
        "== 0",
        ">> bFR\\tREQ\\t1\\t0\\t\\n",
        "<< bFR\\tRSP\\t0\\n",
        "== 0",
        ">> pRI\\tREQ\\tMilk\\t1.29\\t1\\t3\\t\\t\\t\\t\\t\\t\\n",
        "<< pRI\\tRSP\\t0\\n",
        "== 0",
        ">> pRT\\tREQ\\t1.29\\t2.00\\t1\\t\\t\\n",
        "<< pRT\\tRSP\\t0\\n",
        "== 0",
        ">> eFR\\tREQ\\t0\\n",
        "<< eFR\\tRSP\\t0\\n",
        "== 0",
        ">> DISCONNECT\\tREQ\\n",
        "<< DISCONNECT\\tRSP\\t0\\n",
        "== 0",
        "** closed"};
    EXPECT_EQ(body, expected);

    sim->Stop();
    StartSimulator("", {"--replay", files[0]});
    const std::string replayed = dir.File("replayed.txt");
    r = Korvoprog({"TCP", endpoint, input, replayed});
    EXPECT_EQ(r.output, console);
    EXPECT_EQ(TempDir::Read(replayed), responses);
}

// A receipt over RS-232 whose third information frame the printer
// acknowledges with a bad CRC: the trace shows the frames in hex with their
// meaning, the damaged acknowledgement and the frame sent again.
TEST_F(KorvoprogTest, WireTraceOfRs232ShowsFramesAndTheRepeatAfterABadCrc) {
    StartSimulator("",
                   {"--rs232", dir.File("ports/com7"), "--address", "2", "--link-fault", "crc@i3"});
    const std::string traces = dir.File("traces");
    std::filesystem::create_directories(traces);
    dir.Write("commands.txt", "bFR\t1\t0\t\r\npRI\tMilk\t1.29\t1\t3\t\t\t\t\t\t\r\n");
    ProgramResult r = Korvoprog({"RS232", "COM7", "115200", "2", input, output}, traces);
    ASSERT_EQ(r.output, "Connect == 0\nbFR == 0\npRI == 0\nDisconnect == 0\n\n\n");
    std::vector<std::string> files = TraceFiles(traces);
    ASSERT_EQ(files.size(), 1u);
    std::vector<std::string> lines = TraceLines(files[0]);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "# link: RS-232 COM7 at 115200 baud, printer address 2");
    auto at = [&](const std::string& line, size_t from = 0) {
        return static_cast<size_t>(
            std::find(lines.begin() + static_cast<long>(from), lines.end(), line) - lines.begin());
    };
    // The link set up with the frames' wire bytes, and taken down at the end.
    size_t snrm = at("-> AA 02 01 93 8B EE  SNRM");
    ASSERT_LT(snrm, lines.size());
    EXPECT_EQ(lines[snrm + 1], "<- AA 01 02 73 A6 1F  UA");
    EXPECT_LT(at(">> CONNECT\\tREQ\\n"), snrm);
    size_t disc = at("-> AA 02 01 53 C7 37  DISC", snrm);
    ASSERT_LT(disc + 2, lines.size());
    EXPECT_EQ(lines[disc + 1], "<- AA 01 02 73 A6 1F  UA");
    EXPECT_EQ(lines.back(), "** closed");

    // The request goes out in an I frame; its RR arrives damaged, the same
    // frame goes again, and the RR that follows is sound.
    size_t request = at(">> pRI\\tREQ\\tMilk\\t1.29\\t1\\t3\\t\\t\\t\\t\\t\\t\\n");
    ASSERT_LT(request, lines.size());
    const std::regex information(
        R"(-> AA 02 01 [0-9A-F]{2} 1D (.*)  I\([0-7],[0-7]\) "pRI\\tREQ\\tMilk.*\\n")");
    size_t sent = request + 1;
    while (sent < lines.size() && !std::regex_match(lines[sent], information))
        ++sent;
    ASSERT_LT(sent + 3, lines.size());
    const std::regex ack(R"(<- AA 01 02 [0-9A-F]{2}( [0-9A-F]{2}){2}  RR\([0-7]\))");
    std::string damaged = lines[sent + 1];
    ASSERT_GT(damaged.size(), 9u);
    EXPECT_EQ(damaged.substr(damaged.size() - 9), ", CRC bad") << damaged;
    EXPECT_TRUE(std::regex_match(damaged.substr(0, damaged.size() - 9), ack)) << damaged;
    EXPECT_EQ(lines[sent + 2], lines[sent]);
    EXPECT_TRUE(std::regex_match(lines[sent + 3], ack)) << lines[sent + 3];
    // Same N(R) as the damaged one: the acknowledgement the repeat got.
    EXPECT_EQ(lines[sent + 3].substr(lines[sent + 3].size() - 5),
              damaged.substr(damaged.size() - 14, 5));
    size_t answer = at("<< pRI\\tRSP\\t0\\n", sent);
    ASSERT_LT(answer + 1, lines.size());
    EXPECT_EQ(lines[answer + 1], "== 0");
}

// Without the variable nothing is written; a folder that cannot take a file
// changes nothing for the commands.
TEST_F(KorvoprogTest, NoWireTraceWithoutTheVariableOrAFolder) {
    unsetenv("KORVOCOMM_TRACE");
    StartSimulator();
    const std::string traces = dir.File("traces");
    std::filesystem::create_directories(traces);
    dir.Write("commands.txt", "sI\r\n");
    const std::string console = "Connect == 0\nsI == 0\nDisconnect == 0\n\n\n";
    ProgramResult r = Korvoprog({"TCP", endpoint, input, output});
    EXPECT_EQ(r.output, console);
    r = Korvoprog({"TCP", endpoint, input, output}, dir.File("traces/missing"));
    EXPECT_EQ(r.output, console);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(TraceFiles(traces).empty());
}

} // namespace
} // namespace korvo
