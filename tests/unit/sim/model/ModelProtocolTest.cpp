// The printer's side of the line protocol: request checks, the session, and
// the shape of every response.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ModelHarness.h"
#include "protocol/CommandCatalogue.h"
#include "protocol/ResultCodes.h"

namespace korvo::sim::test {
namespace {

TEST(ModelProtocol, SessionHandshake) {
    ModelHarness h;
    // Nothing but the handshake works outside a session.
    EXPECT_EQ(h.Send("gDT\tREQ\t1"), "gDT\tRSP\t301\n");
    EXPECT_EQ(h.Send("DISCONNECT\tREQ"), "DISCONNECT\tRSP\t301\n");
    EXPECT_EQ(h.Send("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
    EXPECT_EQ(h.Code("gDT\tREQ\t1"), 0);
    // A second CONNECT closes the open session and is refused; the next opens one.
    EXPECT_EQ(h.Send("CONNECT\tREQ"), "CONNECT\tRSP\t301\n");
    EXPECT_FALSE(h.model.SessionOpen());
    EXPECT_EQ(h.Code("gDT\tREQ\t1"), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Send("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
    EXPECT_EQ(h.Send("DISCONNECT\tREQ"), "DISCONNECT\tRSP\t0\n");
    EXPECT_EQ(h.Code("gDT\tREQ\t1"), EFP_ILLEGAL_COMMAND);
}

TEST(ModelProtocol, SessionBelongsToOneConnection) {
    ModelHarness h;
    h.Connect();
    // Another connection neither uses nor ends the session...
    EXPECT_EQ(h.Code("gDT\tREQ\t1", 2), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Code("DISCONNECT\tREQ", 2), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Code("gDT\tREQ\t1", 1), 0);
    // ...but its CONNECT takes over, as after a client that vanished.
    EXPECT_EQ(h.Code("CONNECT\tREQ", 2), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Code("CONNECT\tREQ", 2), 0);
    EXPECT_EQ(h.Code("gDT\tREQ\t1", 1), EFP_ILLEGAL_COMMAND);
    EXPECT_EQ(h.Code("gDT\tREQ\t1", 2), 0);
}

TEST(ModelProtocol, MalformedRequests) {
    ModelHarness h;
    h.Connect();
    EXPECT_EQ(h.Send("xyz\tREQ"), "xyz\tRSP\t406\n");
    // Long names never travel on the wire; short names are case-sensitive.
    EXPECT_EQ(h.Send("printXReport\tREQ"), "printXReport\tRSP\t406\n");
    EXPECT_EQ(h.Send("pxr\tREQ"), "pxr\tRSP\t406\n");
    EXPECT_EQ(h.Send("\tCONNECT\tREQ"), "\tRSP\t406\n");
    // No marker, a wrong marker.
    EXPECT_EQ(h.Send("pXR"), "pXR\tRSP\t404\n");
    EXPECT_EQ(h.Send("pXR\tRSQ"), "pXR\tRSP\t401\n");
    EXPECT_EQ(h.Send("pXR\tRSP\t0"), "pXR\tRSP\t401\n");
    // Parameters to a command that takes none.
    EXPECT_EQ(h.Code("pXR\tREQ\tx"), EFP_EXTRA_FIELD);
    // Too many and too few fields for the head; trailing optional fields may be left out.
    EXPECT_EQ(h.Code("gDT\tREQ\t1\t2"), EFP_EXTRA_FIELD);
    EXPECT_EQ(h.Code("sD\tREQ"), EFP_MISSING_FIELD);
    EXPECT_EQ(h.Code("bFR\tREQ\t1"), EFP_MISSING_FIELD);
    EXPECT_EQ(h.Code("bFR\tREQ\t1\t0"), 0);
    EXPECT_EQ(h.Code("pRV\tREQ"), 0);
    EXPECT_EQ(h.Code("eFR\tREQ\t"), EFP_MISSING_PRM);
    EXPECT_EQ(h.Code("eFR\tREQ\tyes"), EFP_DATA_TYPE);
    EXPECT_EQ(h.Code("eFR\tREQ\t0"), 0);
    EXPECT_EQ(h.Code("sHL\tREQ\t\t\t\t\t\t\t\t\t\t"), EFP_EXTRA_FIELD);
}

TEST(ModelProtocol, ControlBytesAndOddNames) {
    ModelHarness h;
    h.Connect();
    // A NUL inside the parameters is no valid data; inside the name no known command.
    std::string withNul("gDT\tREQ\t1\0x", 10);
    EXPECT_EQ(h.Code(withNul), EFP_DATA_TYPE);
    std::string nulName("gD\0T\tREQ\t1", 10);
    EXPECT_EQ(h.Send(nulName), "\tRSP\t406\n");
    // An unreadable name is not echoed back.
    EXPECT_EQ(h.Send("\x01\x02\tREQ"), "\tRSP\t406\n");
    EXPECT_EQ(h.Send(std::string(40, 'a') + "\tREQ"), "\tRSP\t406\n");
    EXPECT_EQ(h.Send(""), "\tRSP\t406\n");
    Reply reply;
    PrinterModel::AnswerTooLong("pN\tREQ\txxxxxxxx", 16, reply);
    EXPECT_EQ(std::string(reply.text, reply.length), "pN\tRSP\t402\n");
}

// Every command with a response head answers, on success, exactly the values
// its head names; commands without one answer the code alone.
class ResponseShape : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        h.Connect();
        // A registered receipt and location, so that every getter has something to say.
        h.Send("sP\tREQ\t13\t1");
        ASSERT_EQ(h.Code("rL\tREQ\t3\t\t\t\t\t\tVan BA-123XY"), 0);
        h.Send("bFR\tREQ\t1\t0\tT1");
        h.Send("pRI\tREQ\tBread\t2.50\t1\t1\t\t\t\t\t\t");
        h.Send("pRT\tREQ\t2.50\t0\t1\t\t");
        ASSERT_EQ(h.Code("eFR\tREQ\t1"), 0);
    }
    ModelHarness h;
};

TEST_P(ResponseShape, FollowsTheHead) {
    std::string line = GetParam();
    std::string name = line.substr(0, line.find('\t'));
    const CommandEntry* entry = nullptr;
    for (const CommandEntry* e = CommandCatalogue; e->shortName; ++e)
        if (name == e->shortName) entry = e;
    ASSERT_NE(entry, nullptr) << name;
    std::string response = h.Send(line);
    ASSERT_EQ(h.last.code, 0) << response;
    size_t tabs = 0;
    for (char c : response)
        tabs += c == '\t';
    size_t headFields = 0;
    if (entry->responseHead) {
        headFields = 1;
        for (const char* c = entry->responseHead; *c; ++c)
            headFields += *c == '\t';
    }
    EXPECT_EQ(tabs, 2 + headFields) << response;
}

INSTANTIATE_TEST_SUITE_P(Getters, ResponseShape,
                         ::testing::Values("gC\tREQ\t1\t0\t1", "gD\tREQ\t1\t", "gDT\tREQ\t1",
                                           "gFUR\tREQ", "gFA\tREQ\t1\t0", "gLRLI\tREQ",
                                           "gLRRI\tREQ", "gP\tREQ\t6", "gT\tREQ\t1\t0\t1",
                                           "gTS\tREQ\tT1", "gVE\tREQ\t1", "oP\tREQ",
                                           "gHL\tREQ\t1", "gTL\tREQ\t1", "gIR\tREQ\t1",
                                           "gNLR\tREQ\t0", "gLD\tREQ\t1", "pXR\tREQ",
                                           "gPE\tREQ\t1"));

// Every catalogue command reaches the model: none is unknown to it.
TEST(ModelProtocol, EveryCatalogueCommandIsKnown) {
    ModelHarness h;
    h.Connect();
    for (const CommandEntry* e = CommandCatalogue; e->shortName; ++e) {
        if (e->longName[0] == '\t') continue;
        std::string line = std::string(e->shortName) + "\tREQ";
        if (e->requestHead) line += "\t";
        int32_t code = h.Code(line);
        EXPECT_NE(code, EFP_UNKNOWN_CMD) << e->shortName;
        if (!h.model.SessionOpen()) h.Connect(); // uF restarts the printer
        h.Send("rP\tREQ");                       // whatever it opened
    }
}

} // namespace
} // namespace korvo::sim::test
