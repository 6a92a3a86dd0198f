// The wire trace as both of its writers use it at once: the session on the
// caller's thread and the RS-232 link thread, against the simulator's station
// in memory. In the link label, so that ThreadSanitizer runs it too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "LinkTestSupport.h"
#include "TempDir.h"
#include "protocol/CommandSession.h"
#include "trace/FrameMeaning.h"
#include "trace/WireTrace.h"

namespace korvo {
namespace {

// The lines of a trace without their time stamps.
std::vector<std::string> Lines(const std::string& file) {
    std::vector<std::string> lines;
    std::istringstream in(test::TempDir::Read(file));
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line.size() > 13 && line[0] != '#' ? line.substr(13) : line);
    return lines;
}

TEST(WireTrace, BusyPrinterPollsFoldAndBothThreadsWriteWholeLines) {
    test::TempDir dir;
    setenv("KORVOCOMM_TRACE", dir.Path().string().c_str(), 1);
    std::string path;
    {
        test::StationLine at;
        at.printer.AnswerAsPrinter();
        // The printer stays busy after the second request: the same frame
        // (a poll, or the request again) and the same RNR, again and again.
        at.AddFault("rnr:5@i2");
        CRS232NetwLayerServ layer("COM1", 115200, 2, at.line.Factory());
        std::shared_ptr<WireTrace> trace = WireTrace::Start(42, "RS-232 %s", "COM1");
        ASSERT_NE(trace, nullptr);
        path = trace->Path();
        layer.SetTrace(trace);
        CommandSession session(&layer);
        session.SetTrace(trace);
        trace.reset();
        ASSERT_EQ(session.Connect(), 0);
        bool drop = false;
        EXPECT_EQ(session.Execute("cutPaper", nullptr, drop), 0);
        EXPECT_EQ(layer.Close(), 0);
    }
    unsetenv("KORVOCOMM_TRACE");

    std::vector<std::string> lines = Lines(path);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[1], "# link: RS-232 COM1");
    EXPECT_EQ(lines.back(), "** closed");
    const std::regex folded(R"(\.\. the 2 frames above [0-9]+ more times?)");
    size_t fold = 0;
    for (size_t i = 3; i < lines.size(); ++i) {
        // Every line is whole: one of the known kinds.
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(R"((\*\*|>>|<<|==|->|<-|\.\.) .+)")))
            << lines[i];
        if (std::regex_match(lines[i], folded)) fold = i;
    }
    ASSERT_GT(fold, 5u) << "no repeated polls folded";
    EXPECT_TRUE(std::regex_match(
        lines[fold - 2],
        std::regex(R"(-> AA 02 01 .*  (RR\([0-7]\)|I\([0-7],[0-7]\) "cP\\tREQ\\n"))")))
        << lines[fold - 2];
    EXPECT_TRUE(std::regex_match(lines[fold - 1], std::regex(R"(<- AA 01 02 .*  RNR\([0-7]\))")))
        << lines[fold - 1];
    EXPECT_NE(std::find(lines.begin(), lines.end(), ">> cP\\tREQ\\n"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "<< cP\\tRSP\\t0\\n"), lines.end());
}

// A repeated pair folds only into the two frame lines right above it, never
// across a line of the session.
TEST(WireTrace, RepeatsFoldIntoTheFramesRightAbove) {
    test::TempDir dir;
    setenv("KORVOCOMM_TRACE", dir.Path().string().c_str(), 1);
    std::shared_ptr<WireTrace> trace = WireTrace::Start(1, "RS-232 COM1");
    unsetenv("KORVOCOMM_TRACE");
    ASSERT_NE(trace, nullptr);
    const std::string path = trace->Path();
    const uint8_t rr[] = {0x02, 0x01, 0x31, 0x23, 0x7B};
    const uint8_t rnr[] = {0x01, 0x02, 0x35, 0xA4, 0x37};
    auto poll = [&] {
        trace->FrameSent(rr, sizeof rr, 0);
        trace->FrameReceived(rnr, 0);
    };
    poll();
    trace->Request("sI\tREQ\n", 7);
    poll();
    poll();
    poll();
    trace->Result(0);
    trace.reset();
    const std::string sent = "-> AA 02 01 31 23 7B  RR(1)", answer = "<- AA 01 02 35 A4 37  RNR(1)";
    const std::vector<std::string> expected = {sent, answer, ">> sI\\tREQ\\n",
                                               sent, answer, ".. the 2 frames above 2 more times"};
    std::vector<std::string> lines = Lines(path);
    ASSERT_EQ(lines.size(), 3 + expected.size() + 2);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end() - 2), expected);
}

// A line that repeats every frame of the printer: the copies the link lets
// go stand in the trace, each right after the frame it copies.
TEST(WireTrace, CopiesLetGoShowAfterTheFrameTheyCopy) {
    test::TempDir dir;
    setenv("KORVOCOMM_TRACE", dir.Path().string().c_str(), 1);
    std::string path;
    {
        test::StationLine at;
        at.line.Answer([&at](const std::string& frame) {
            std::string out;
            at.station.Feed(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), out);
            return out + out;
        });
        CRS232NetwLayerServ layer("COM1", 115200, 2, at.line.Factory());
        std::shared_ptr<WireTrace> trace = WireTrace::Start(7, "RS-232 %s", "COM1");
        ASSERT_NE(trace, nullptr);
        path = trace->Path();
        layer.SetTrace(trace);
        trace.reset();
        ASSERT_EQ(layer.Open(), 0);
        EXPECT_EQ(test::Exchange(layer, "copied\n").code, 0);
        EXPECT_EQ(layer.Close(), 0); // the link thread ends before at goes
    }
    unsetenv("KORVOCOMM_TRACE");

    std::vector<std::string> lines = Lines(path);
    int letGo = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t mark = lines[i].find("  let go: ");
        if (mark == std::string::npos) continue;
        ++letGo;
        // "<- AA 01 02 73 A6 1F" of the copy begins the frame's own line.
        EXPECT_EQ(lines[i - 1].compare(0, mark, lines[i], 0, mark), 0) << lines[i];
    }
    EXPECT_GE(letGo, 3);
}

TEST(WireTrace, NothingWithoutTheVariable) {
    unsetenv("KORVOCOMM_TRACE");
    EXPECT_EQ(WireTrace::Start(1, "TCP %s", "127.0.0.1"), nullptr);
    setenv("KORVOCOMM_TRACE", "/nonexistent/korvo-trace", 1);
    EXPECT_EQ(WireTrace::Start(1, "TCP %s", "127.0.0.1"), nullptr);
    unsetenv("KORVOCOMM_TRACE");
}

// Escaped text reads back byte for byte; the frames the kit never sends are
// named too.
TEST(WireTrace, EscapesReadBackAndFramesAreNamed) {
    const uint8_t bytes[] = {'a', '\t', '\n', '\r', 0, '\\', 0x1B, 0x7F, 0x8A, 0xFF, 'z'};
    TraceLine line;
    line.Escaped(bytes, sizeof bytes);
    EXPECT_EQ(std::string(line.Data(), line.Length()), "a\\t\\n\\r\\0\\\\\\x1B\\x7F\\x8A\\xFFz");
    char back[sizeof bytes];
    size_t n = 0;
    ASSERT_TRUE(UnescapeTraceText(line.Data(), line.Length(), back, sizeof back, n));
    EXPECT_EQ(std::string(back, n),
              std::string(reinterpret_cast<const char*>(bytes), sizeof bytes));
    EXPECT_FALSE(UnescapeTraceText("\\x4", 3, back, sizeof back, n));
    EXPECT_FALSE(UnescapeTraceText("\\q", 2, back, sizeof back, n));

    struct Case {
        uint8_t control;
        const char* meaning;
    } cases[] = {
        {0x39, "REJ(1)"}, {0x1F, "DM"}, {0x97, "FRMR"}, {0xB5, "RNR(5)"}, {0x07, "unnumbered 07"}};
    for (const Case& c : cases) {
        const uint8_t body[] = {0x01, 0x02, c.control, 0x00, 0x00};
        TraceLine meaning;
        AppendFrameMeaning(meaning, body, sizeof body);
        EXPECT_EQ(std::string(meaning.Data(), meaning.Length()), c.meaning);
    }
}

} // namespace
} // namespace korvo
