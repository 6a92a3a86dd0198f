#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedTransport.h"
#include "TestClock.h"
#include "protocol/CommandSession.h"
#include "protocol/ResultCodes.h"

namespace korvo {
namespace {

using test::ScriptedTransport;
using test::TestClock;

// Sends getDate (short name gDT) and answers with the given chunks.
class ResponseParsing : public ::testing::Test {
protected:
    int32_t Answer(std::vector<std::string> chunks) {
        transport.onSend = [this, chunks](const std::string&) {
            for (const auto& c : chunks) transport.Deliver(c);
        };
        bool drop = false;
        return session.Execute("getDate", "1", drop);
    }
    int32_t Answer(const std::string& line) { return Answer(std::vector<std::string>{line}); }

    std::string Values() const { return session.ResponseValues() ? session.ResponseValues() : "<none>"; }

    TestClock clock;
    ScriptedTransport transport;
    CommandSession session{&transport};
};

TEST_F(ResponseParsing, WellFormedLines) {
    EXPECT_EQ(Answer("gDT\tRSP\t0\t1\t08122026\n"), 0);
    EXPECT_EQ(Values(), "1\t08122026");
    EXPECT_EQ(session.LastStatus(), 0);

    // Three fields: result 0, values empty but present.
    EXPECT_EQ(Answer("gDT\tRSP\t0\n"), 0);
    EXPECT_EQ(Values(), "");
    // A TAB after the code and nothing else: empty values as well.
    EXPECT_EQ(Answer("gDT\tRSP\t0\t\n"), 0);
    EXPECT_EQ(Values(), "");

    // Every TAB after the third stays inside the values.
    EXPECT_EQ(Answer("gDT\tRSP\t0\ta\t\tb\t\n"), 0);
    EXPECT_EQ(Values(), "a\t\tb\t");

    // Printer codes come back as the result; the status stays 0.
    EXPECT_EQ(Answer("gDT\tRSP\t217\n"), 217);
    EXPECT_EQ(session.LastStatus(), 0);
    EXPECT_EQ(Answer("gDT\tRSP\t-5\n"), -5);
    EXPECT_EQ(session.LastStatus(), 0);
    EXPECT_EQ(Values(), "");
    EXPECT_EQ(Answer("gDT\tRSP\t-\n"), 0);
    EXPECT_EQ(Answer("gDT\tRSP\t007\n"), 7);
}

TEST_F(ResponseParsing, MalformedLinesGive303) {
    const char* bad[] = {
        "gdt\tRSP\t0\n",      // echo differs in letter case
        "getDate\tRSP\t0\n",  // long name echoed
        "gDT\trsp\t0\n",      // marker
        "gDT\tRSPX\t0\n",     // marker
        "gDT\tRSP\t\n",       // empty code
        "gDT\tRSP\t1a\n",     // letter in the code
        "gDT\tRSP\t+1\n",     // plus sign
        "gDT\tRSP\t 1\n",     // blank
        "gDT\tRSP\t--1\n",    // two signs
        "gDT\tRSP\n",         // fewer than two TABs
        "gDT RSP 0\n",        // no TAB at all
        "\n",                 // empty line
    };
    for (const char* line : bad) {
        SCOPED_TRACE(line);
        EXPECT_EQ(Answer(line), APP_WRONG_RESPONSE_DATA);
        EXPECT_EQ(session.LastStatus(), APP_WRONG_RESPONSE_DATA);
        EXPECT_EQ(session.ResponseValues(), nullptr);
    }
}

// The answer of an earlier command that arrived after its time-out or abort.
TEST_F(ResponseParsing, LateAnswerOfAnotherCommandIsDroppedAndTheWaitGoesOn) {
    EXPECT_EQ(Answer("pRI\tRSP\t0\ngDT\tRSP\t0\t1\tx\n"), 0);
    EXPECT_EQ(Values(), "1\tx");
    EXPECT_EQ(Answer(std::vector<std::string>{"pXR\tRSP\t0\n", "CONNECT\tRSP\t3", "01\n", "gDT\tRSP\t5\n"}), 5);
    EXPECT_EQ(Answer("pXR\tRSP\t0\n"), APP_RESPONSE_TIMEOUT);
    // Only an exact short name: the line after it is judged on its own.
    EXPECT_EQ(Answer("pXR\tRSP\t0\ngdt\tRSP\t0\n"), APP_WRONG_RESPONSE_DATA);
    EXPECT_EQ(Answer("printXReport\tRSP\t0\n"), APP_WRONG_RESPONSE_DATA);
}

TEST_F(ResponseParsing, BytesThatCanNeverFormALine) {
    // A NUL byte, in the first chunk or a later one.
    EXPECT_EQ(Answer(std::string("gDT\tRSP\t0\0\n", 11)), APP_WRONG_RESPONSE_DATA);
    EXPECT_EQ(Answer(std::vector<std::string>{"gDT\tRSP", std::string("\t0\0", 3), "\n"}), APP_WRONG_RESPONSE_DATA);
    // Bytes after the LF in the same delivery: two lines in one chunk.
    EXPECT_EQ(Answer("gDT\tRSP\t0\ngDT\tRSP\t0\n"), APP_WRONG_RESPONSE_DATA);
    EXPECT_EQ(Answer("gDT\tRSP\t0\nx"), APP_WRONG_RESPONSE_DATA);
    EXPECT_EQ(session.ResponseValues(), nullptr);
}

TEST_F(ResponseParsing, ResponseSplitOverManyChunks) {
    std::string line = "gDT\tRSP\t0\t1\t08122026 17:43:00\n";
    std::vector<std::string> chunks;
    for (char c : line) chunks.emplace_back(1, c);
    EXPECT_EQ(Answer(chunks), 0);
    EXPECT_EQ(Values(), "1\t08122026 17:43:00");
}

TEST_F(ResponseParsing, LargestLineFitsTheBuffer) {
    std::string values(2500 - 10 - 1, 'v'); // "gDT\tRSP\t0\t" is 10 bytes, LF 1
    EXPECT_EQ(Answer("gDT\tRSP\t0\t" + values + "\n"), 0);
    EXPECT_EQ(Values(), values);
}

TEST_F(ResponseParsing, FullBufferWithoutLineEndEndsAtOnce) {
    // 2500 bytes, more on offer: nothing past the buffer is taken, and the
    // exchange ends without waiting for its time limit.
    std::string flood(3000, 'x');
    uint32_t before = clock.Now();
    EXPECT_EQ(Answer(flood), APP_WRONG_RESPONSE_DATA);
    EXPECT_LT(clock.Now() - before, 100u);
    EXPECT_EQ(transport.Pending(), 1u); // 500 bytes left with the transport
    EXPECT_EQ(session.ResponseValues(), nullptr);
    EXPECT_GE(transport.endReceives, 1);

    // The same in small pieces.
    std::vector<std::string> pieces(25, std::string(100, 'y'));
    EXPECT_EQ(Answer(pieces), APP_WRONG_RESPONSE_DATA);
}

TEST_F(ResponseParsing, StaleInputIsPurgedBeforeSending) {
    transport.Deliver("gDT\tRSP\t999\n");
    EXPECT_EQ(Answer("gDT\tRSP\t0\n"), 0);
}

} // namespace
} // namespace korvo
