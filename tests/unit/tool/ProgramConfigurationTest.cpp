#include <gtest/gtest.h>

#include <string>

#include "FakeLibrary.h"
#include "TempDir.h"
#include "tool/ProgramConfiguration.h"

namespace korvo {
namespace {

using test::CapturedConsole;
using test::Fake;
using test::TempDir;

std::string NameFor(const std::string& path) {
    char name[kConfigFileNameSize];
    return ConfigFileName(path.c_str(), name) ? std::string(name) : std::string("<none>");
}

TEST(ConfigFileNameTest, ExtensionReplacedOrAppended) {
    EXPECT_EQ(NameFor("prog.exe"), "prog.cfg");
    EXPECT_EQ(NameFor("C:\\kit\\korvoprog.exe"), "C:\\kit\\korvoprog.cfg");
    EXPECT_EQ(NameFor("/usr/bin/korvoprog"), "/usr/bin/korvoprog.cfg");
    EXPECT_EQ(NameFor("./prog"), "./prog.cfg");
    EXPECT_EQ(NameFor("prog.abcde"), "prog.cfg");         // five characters
    EXPECT_EQ(NameFor("prog.abcdef"), "prog.abcdef.cfg"); // six: no extension
    EXPECT_EQ(NameFor("a.b/cd"), "a.b/cd.cfg");           // a slash after the dot
    EXPECT_EQ(NameFor("a.b\\cd"), "a.b\\cd.cfg");
    EXPECT_EQ(NameFor("prog."), "prog.cfg");
    EXPECT_EQ(NameFor(".hidden"), ".hidden.cfg"); // dot too far back
    EXPECT_EQ(NameFor(".x"), "<none>");           // begins with its dot
    EXPECT_EQ(NameFor(""), "<none>");
    char name[kConfigFileNameSize];
    EXPECT_FALSE(ConfigFileName(nullptr, name));
}

TEST(ConfigFileNameTest, NameMustFitWithItsNul) {
    EXPECT_EQ(NameFor(std::string(507, 'p')), std::string(507, 'p') + ".cfg");
    EXPECT_EQ(NameFor(std::string(508, 'p')), "<none>");
    EXPECT_EQ(NameFor(std::string(507, 'p') + ".exe"), std::string(507, 'p') + ".cfg");
    EXPECT_EQ(NameFor(std::string(508, 'p') + ".exe"), "<none>");
}

class ProgramConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetFake();
        Fake().configResults["dns_connect_mode"] = 0;
        Fake().configResults["link_transfer_time"] = 0;
        Fake().configResults["next_cmd_time"] = -111;
        Fake().configTexts["link_transfer_time"] = "100";
        program = dir.File("korvoprog.exe");
    }

    bool Read(const std::string& cfg) {
        dir.Write("korvoprog.cfg", cfg);
        return ReadProgramConfiguration(options, program.c_str(),
                                        test::FakeEnvironment(console.File()));
    }

    TempDir dir;
    CapturedConsole console;
    RunOptions options;
    std::string program;
};

TEST_F(ProgramConfigurationTest, DirectivesInAnyLetterCase) {
    EXPECT_TRUE(
        Read("namederrors=1\r\nPRINTLINENUM=3\nDisplayCurrentTime=1\rdisplaycommandtime=1\n"));
    EXPECT_TRUE(options.NamedErrors);
    EXPECT_TRUE(options.PrintLineNum);
    EXPECT_TRUE(options.DisplayCurrentTime);
    EXPECT_TRUE(options.DisplayCommandTime);
    EXPECT_FALSE(options.CommandTimeOnNewLine);
    EXPECT_TRUE(Fake().calls.empty());
    EXPECT_EQ(console.Text(), "");
}

TEST_F(ProgramConfigurationTest, DirectiveValuesReadAsNumbers) {
    EXPECT_TRUE(Read("DisplayCommandTime=2\nNamedErrors=yes\nPrintLineNum= 1\n"));
    EXPECT_TRUE(options.DisplayCommandTime);
    EXPECT_TRUE(options.CommandTimeOnNewLine);
    EXPECT_FALSE(options.NamedErrors);
    EXPECT_TRUE(options.PrintLineNum);
    // A later line sets it again.
    EXPECT_TRUE(Read("DisplayCommandTime=2\nDisplayCommandTime=0\nPrintLineNum=-1\n"));
    EXPECT_FALSE(options.DisplayCommandTime);
    EXPECT_FALSE(options.CommandTimeOnNewLine);
    EXPECT_FALSE(options.PrintLineNum);
}

TEST_F(ProgramConfigurationTest, NothingIsTrimmed) {
    EXPECT_TRUE(Read(" NamedErrors=1\nNamedErrors =1\n"));
    EXPECT_FALSE(options.NamedErrors);
    ASSERT_EQ(Fake().calls.size(), 2u);
    EXPECT_EQ(Fake().calls[0], "SetConfigValue(0| NamedErrors|1)");
    EXPECT_EQ(Fake().calls[1], "SetConfigValue(0|NamedErrors |1)");
}

TEST_F(ProgramConfigurationTest, ValueLinesSplitAtTheFirstEquals) {
    EXPECT_TRUE(Read("a=b=c\n=5\nkey=\n"));
    ASSERT_EQ(Fake().calls.size(), 3u);
    EXPECT_EQ(Fake().calls[0], "SetConfigValue(0|a|b=c)");
    EXPECT_EQ(Fake().calls[1], "SetConfigValue(0||5)");
    EXPECT_EQ(Fake().calls[2], "SetConfigValue(0|key|)");
}

TEST_F(ProgramConfigurationTest, CommentsEmptyLinesAndLinesWithoutEquals) {
    EXPECT_TRUE(Read("; comment=1\r\n\r\n\r\nno equals here\ndns_connect_mode=1\n"));
    ASSERT_EQ(Fake().calls.size(), 1u);
    EXPECT_EQ(Fake().calls[0], "SetConfigValue(0|dns_connect_mode|1)");
    EXPECT_EQ(console.Text(), "");
}

TEST_F(ProgramConfigurationTest, ReadBackReportAloneAndByName) {
    EXPECT_TRUE(Read("ReadConfigVal=1\nnext_cmd_time=500\n"));
    EXPECT_EQ(console.Text(), "GetConfigValue(\"next_cmd_time\"\", \"\") = -111\n");

    CapturedConsole named;
    options = RunOptions();
    dir.Write("korvoprog.cfg", "NamedErrors=1\nReadConfigVal=1\nDisplayCfgErr=1\n"
                               "next_cmd_time=500\nlink_transfer_time=100\n");
    EXPECT_TRUE(
        ReadProgramConfiguration(options, program.c_str(), test::FakeEnvironment(named.File())));
    // Set codes go by name; read-back lengths stay numbers.
    EXPECT_EQ(named.Text(),
              "SetConfigValue(\"next_cmd_time\"\", \"500\") = APP_DYNAMIC_ONLY_CFG_VALUE\n"
              "GetConfigValue(\"next_cmd_time\"\", \"\") = APP_DYNAMIC_ONLY_CFG_VALUE\n"
              "SetConfigValue(\"link_transfer_time\"\", \"100\") = EFP_OK\n"
              "GetConfigValue(\"link_transfer_time\"\", \"100\") = 3\n");
}

TEST_F(ProgramConfigurationTest, NoFileOrNothingToRead) {
    EXPECT_FALSE(ReadProgramConfiguration(options, dir.File("other").c_str(),
                                          test::FakeEnvironment(console.File())));
    EXPECT_FALSE(Read(""));
    EXPECT_FALSE(Read(std::string(1048577, '\n')));
    EXPECT_TRUE(Read(std::string(1048575, '\n') + ";"));
    EXPECT_EQ(console.Text(), "");
    EXPECT_TRUE(Fake().calls.empty());
}

} // namespace
} // namespace korvo
