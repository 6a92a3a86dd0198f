// The simulator's line front ends, driven by a bare client over loopback TCP
// and over a pseudo-terminal: serving, several front ends at once, injected
// faults as they appear on the wire, bad input, and clean stopping.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "RawClient.h"
#include "TestClock.h"
#include "sim/serve/Simulator.h"

namespace korvo::sim::test {
namespace {

std::string TempDir() {
    char path[] = "/tmp/korvosim-test-XXXXXX";
    return mkdtemp(path) ? path : "";
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

size_t Count(const std::string& text, const char* what) {
    size_t n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at)
        ++n;
    return n;
}

class FrontEndTest : public ::testing::Test {
protected:
    void StartWith(SimulatorOptions options) {
        sim = std::make_unique<Simulator>(options);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
    }
    void StartTcp() {
        SimulatorOptions o;
        o.tcp = {"127.0.0.1:0"};
        StartWith(o);
        ASSERT_TRUE(client.ConnectTcp("127.0.0.1", sim->TcpPort()));
    }
    void TearDown() override {
        client.Close();
        if (sim) sim->Stop();
        if (!dir.empty()) std::system(("rm -rf " + dir).c_str());
    }

    // Outlives the simulator, which TearDown stops.
    std::unique_ptr<korvo::test::TestClock> clockOwner;
    std::unique_ptr<Simulator> sim;
    RawClient client;
    std::string dir;
};

TEST_F(FrontEndTest, TcpServesTheModelAndJournals) {
    StartTcp();
    EXPECT_EQ(client.Exchange("gDT\tREQ\t1"), "gDT\tRSP\t301\n");
    EXPECT_EQ(client.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
    // Requests that arrive together are answered one after the other.
    ASSERT_TRUE(client.Send("bFR\tREQ\t1\t0\t\npRI\tREQ\tTea\t1.20\t1\t2\t\t\t\t\t\t\n"
                            "pRT\tREQ\t1.20\t2\t1\t\t\neFR\tREQ\t1\n"));
    EXPECT_EQ(client.ReadLine(), "bFR\tRSP\t0\n");
    EXPECT_EQ(client.ReadLine(), "pRI\tRSP\t0\n");
    EXPECT_EQ(client.ReadLine(), "pRT\tRSP\t0\n");
    EXPECT_EQ(client.ReadLine(), "eFR\tRSP\t0\n");
    // Empty lines are no requests.
    EXPECT_EQ(client.Exchange("\nDISCONNECT\tREQ"), "DISCONNECT\tRSP\t0\n");

    std::string journal = sim->JournalText();
    EXPECT_NE(journal.find(" ! connected\n"), std::string::npos);
    EXPECT_NE(journal.find(" > pRI\\tREQ\\tTea\\t1.20\\t1\\t2\\t\\t\\t\\t\\t\\t\n"),
              std::string::npos);
    EXPECT_NE(journal.find(" < eFR\\tRSP\\t0\\n\n"), std::string::npos);
    EXPECT_NE(sim->PaperText().find("Tea                               1.20 B\n"),
              std::string::npos);
    EXPECT_EQ(sim->WithModel([](PrinterModel& m) { return m.Daily().receipts; }), 1u);
}

TEST_F(FrontEndTest, SeveralFrontEndsShareOnePrinter) {
    dir = TempDir();
    SimulatorOptions o;
    o.tcp = {"127.0.0.1:0", "127.0.0.1:0"};
    o.usb = {dir + "/com1"};
    StartWith(o);
    auto endpoints = sim->Endpoints();
    ASSERT_EQ(endpoints.size(), 3u);
    EXPECT_NE(endpoints[0].port, endpoints[1].port);
    EXPECT_EQ(endpoints[2].Describe(), "usb " + dir + "/com1 -> " + endpoints[2].device);

    RawClient second, usb;
    ASSERT_TRUE(client.ConnectTcp("127.0.0.1", endpoints[0].port));
    ASSERT_TRUE(second.ConnectTcp("127.0.0.1", endpoints[1].port));
    ASSERT_TRUE(usb.OpenDevice(dir + "/com1"));
    EXPECT_EQ(client.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
    EXPECT_EQ(client.Exchange("sP\tREQ\t13\t1"), "sP\tRSP\t0\n");
    // The printer has one session: another front end takes it over.
    EXPECT_EQ(usb.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t301\n");
    EXPECT_EQ(usb.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
    EXPECT_EQ(usb.Exchange("gP\tREQ\t13"), "gP\tRSP\t0\t13\t1\n");
    EXPECT_EQ(client.Exchange("gP\tREQ\t13"), "gP\tRSP\t301\n");
    EXPECT_EQ(second.Exchange("gP\tREQ\t13"), "gP\tRSP\t301\n");
}

TEST_F(FrontEndTest, LoopbackOnlyUnlessAllowed) {
    SimulatorOptions o;
    o.tcp = {"0.0.0.0:0"};
    Simulator s(o);
    std::string error;
    EXPECT_FALSE(s.Start(error));
    EXPECT_NE(error.find("loopback"), std::string::npos) << error;
    o.tcp = {"127.0.0.1:0", "192.0.2.1:0"};
    Simulator t(o);
    EXPECT_FALSE(t.Start(error)); // the first listener is closed again
}

TEST_F(FrontEndTest, Ipv6Loopback) {
    SimulatorOptions o;
    o.tcp = {"[::1]:0"};
    sim = std::make_unique<Simulator>(o);
    std::string error;
    if (!sim->Start(error)) GTEST_SKIP() << "no IPv6 loopback here: " << error;
    EXPECT_EQ(sim->Endpoints()[0].Describe(), "tcp [::1]:" + std::to_string(sim->TcpPort()));
    ASSERT_TRUE(client.ConnectTcp("::1", sim->TcpPort()));
    EXPECT_EQ(client.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
}

TEST_F(FrontEndTest, FaultsOnTheWire) {
    StartTcp();
    std::string error;
    for (const char* rule : {"gDT silent count=1", "gD code 999 count=1", "gVE malformed count=1",
                             "gHL double count=1", "gTL nul count=1", "gP chunks 3 1 count=1",
                             "oP raw gX\\tRSP\\t0\\n count=1", "gC drop 5"}) {
        ASSERT_TRUE(sim->AddFault(rule, error)) << rule << ": " << error;
    }
    ASSERT_EQ(client.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
    // Silence: the next answer on the line belongs to the next request.
    ASSERT_TRUE(client.Send("gDT\tREQ\t1\n"));
    EXPECT_EQ(client.Exchange("gVE\tREQ\t1"), "gVE\tRSP\tX0\t1\t1\t23.00\n");
    EXPECT_EQ(client.Exchange("gD\tREQ\t1\t"), "gD\tRSP\t999\n");
    EXPECT_EQ(client.Exchange("gHL\tREQ\t9"), "gHL\tRSP\t0\t\n");
    EXPECT_EQ(client.ReadLine(), "gHL\tRSP\t0\t\n");
    std::string withNul = client.Exchange("gTL\tREQ\t1");
    ASSERT_EQ(withNul.size(), 39u);
    EXPECT_EQ(withNul.erase(withNul.find('\0'), 1), "gTL\tRSP\t0\tThank you for your purchase\n");
    EXPECT_EQ(client.Exchange("gP\tREQ\t1"), "gP\tRSP\t0\t1\t5\n");
    EXPECT_EQ(client.Exchange("oP\tREQ"), "gX\tRSP\t0\n");
    // Each rule was used up: the same requests are answered plainly now.
    EXPECT_EQ(client.Exchange("gDT\tREQ\t1").substr(0, 10), "gDT\tRSP\t0\t");
    EXPECT_EQ(client.Exchange("gD\tREQ\t1\t"), "gD\tRSP\t0\tKV240017\n");
    // Dropped mid-answer: five bytes, then the connection is gone.
    ASSERT_TRUE(client.Send("gC\tREQ\t1\t0\t1\n"));
    EXPECT_EQ(client.ReadUntilClosed(), "gC\tRS");
    EXPECT_TRUE(client.PeerClosed());
    std::string journal = sim->JournalText();
    EXPECT_NE(journal.find(" ! fault silent\n"), std::string::npos);
    EXPECT_NE(journal.find(" ! fault drop 5\n"), std::string::npos);
    EXPECT_NE(journal.find(" < gC\\tRS\n"), std::string::npos);
    EXPECT_NE(journal.find("connection closed by the printer"), std::string::npos);
    // The printer itself is unharmed.
    RawClient next;
    ASSERT_TRUE(next.ConnectTcp("127.0.0.1", sim->TcpPort()));
    EXPECT_EQ(next.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t301\n");
    EXPECT_EQ(next.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
}

// A printer reads its stream to the end: lines that arrived whole before the
// client's close are executed, over TCP and USB alike.
TEST_F(FrontEndTest, LinesBeforeTheCloseAreExecuted) {
    dir = TempDir();
    SimulatorOptions o;
    o.tcp = {"127.0.0.1:0"};
    o.usb = {dir + "/com1"};
    StartWith(o);
    auto closes = [&] {
        std::string journal;
        for (int i = 0; i < 500; ++i) {
            journal = sim->JournalText();
            size_t at = 0, n = 0;
            while ((at = journal.find(" ! closed by the peer", at)) != std::string::npos)
                ++n, ++at;
            if (n == 2) break;
            usleep(10000);
        }
        return journal;
    };
    ASSERT_TRUE(client.ConnectTcp("127.0.0.1", sim->TcpPort()));
    ASSERT_TRUE(client.Send("CONNECT\tREQ\nsP\tREQ\t13\t1\nsHL\tREQ\tTCP\t"));
    client.Close();
    RawClient usb;
    ASSERT_TRUE(usb.OpenDevice(dir + "/com1"));
    ASSERT_TRUE(usb.Send("CONNECT\tREQ\nCONNECT\tREQ\nsP\tREQ\t14\t1\n"));
    usb.Close();
    std::string journal = closes();
    EXPECT_NE(journal.find(" > sP\\tREQ\\t13\\t1\n"), std::string::npos) << journal;
    EXPECT_NE(journal.find(" > sP\\tREQ\\t14\\t1\n"), std::string::npos) << journal;
    // A line cut short by the close is no request.
    EXPECT_EQ(journal.find("TCP"), std::string::npos) << journal;
}

// The close may show first on writing an answer: with its input full (the
// bytes after the last line fill it), the simulator reads nothing more until
// the delayed answer of the first line is out, and finds the peer gone on
// writing the next one.
TEST_F(FrontEndTest, LinesBeforeACloseSeenOnWritingAreExecuted) {
    clockOwner = std::make_unique<korvo::test::TestClock>();
    StartTcp();
    std::string error;
    ASSERT_TRUE(sim->AddFault("CONNECT delay 100 count=1", error));
    std::string lines = "CONNECT\tREQ\n";
    while (lines.size() < 8000)
        lines += "gDT\tREQ\t1\n";
    ASSERT_TRUE(client.Send(lines + "sP\tREQ\t13\t1\n" + std::string(1000, '#')));
    client.Close();
    auto journalHas = [&](const char* text) {
        std::string journal = sim->JournalText();
        for (int i = 0; i < 500 && journal.find(text) == std::string::npos; ++i) {
            usleep(10000);
            journal = sim->JournalText();
        }
        return journal;
    };
    journalHas(" ! fault delay 100");
    clockOwner->Advance(100);
    std::string journal = journalHas(" ! closed by the peer");
    EXPECT_NE(journal.find(" > sP\\tREQ\\t13\\t1\n"), std::string::npos)
        << journal.substr(journal.size() > 400 ? journal.size() - 400 : 0);
}

// Random faults of the lines: the same for the same seed, every kind of them,
// and the request lines they lose never reach the printer.
TEST_F(FrontEndTest, RandomFaultsOfLinesFollowTheSeed) {
    clockOwner = std::make_unique<korvo::test::TestClock>();
    auto run = [&](const char* settings) {
        SimulatorOptions o;
        o.tcp = {"127.0.0.1:0"};
        EXPECT_TRUE(ParseChaos(settings, o.chaos));
        StartWith(o);
        EXPECT_TRUE(client.ConnectTcp("127.0.0.1", sim->TcpPort()));
        std::string lines;
        for (int i = 0; i < 60; ++i)
            lines += "gP\tREQ\t" + std::to_string(1 + i % 9) + "\n";
        EXPECT_TRUE(client.Send(lines));
        std::string journal, notes;
        for (int i = 0; i < 400; ++i) {
            clockOwner->Advance(2500); // past every delay
            usleep(5000);
            journal = sim->JournalText();
            if (Count(journal, " > ") + Count(journal, "request line lost") == 60) break;
        }
        for (size_t at = 0; (at = journal.find(" ! chaos: ", at)) != std::string::npos; ++at)
            notes += journal.substr(at + 3, journal.find('\n', at) - at - 2);
        client.Close();
        sim->Stop();
        return std::make_pair(notes, journal);
    };
    auto [notes, journal] = run("11:20:10:5:5");
    EXPECT_EQ(run("11:20:10:5:5").first, notes);
    EXPECT_NE(run("12:20:10:5:5").first, notes);
    for (const char* kind : {"request line lost", "request line corrupted", "request line delayed",
                             "answer corrupt", "answer lose", "answer delay", "answer double"})
        EXPECT_NE(notes.find(kind), std::string::npos) << kind << "\n" << journal;
    EXPECT_EQ(Count(journal, " > gP") + Count(journal, " > \xE7P") + Count(journal, " > g\xD0") +
                  Count(journal, "request line lost"),
              60u)
        << journal;
}

TEST_F(FrontEndTest, DelaysAndSpeedFollowTheClock) {
    clockOwner = std::make_unique<korvo::test::TestClock>();
    korvo::test::TestClock& clock = *clockOwner;
    StartTcp();
    std::string error;
    ASSERT_TRUE(sim->AddFault("gDT delay 5000 count=1", error));
    ASSERT_EQ(client.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
    ASSERT_TRUE(client.Send("gDT\tREQ\t1\n"));
    EXPECT_EQ(client.ReadLine(100), ""); // the clock stands still
    clock.Advance(4990);
    EXPECT_EQ(client.ReadLine(100), "");
    clock.Advance(10);
    EXPECT_EQ(client.ReadLine().substr(0, 10), "gDT\tRSP\t0\t");
    // At speed 1 a Z report takes the printer its time; at speed 0 none.
    sim->SetSpeed(1);
    ASSERT_TRUE(client.Send("pXR\tREQ\n"));
    EXPECT_EQ(client.ReadLine(100), "");
    clock.Advance(2500);
    EXPECT_EQ(client.ReadLine(), "pXR\tRSP\t0\n");
    sim->SetSpeed(0);
    EXPECT_EQ(client.Exchange("pXR\tREQ"), "pXR\tRSP\t0\n");
}

TEST_F(FrontEndTest, RandomBytesAndOverLongLinesDoNotWedgeIt) {
    StartTcp();
    std::mt19937 random(20250314);
    std::string noise;
    for (int round = 0; round < 300; ++round) {
        std::string chunk(1 + random() % 700, '\0');
        for (char& c : chunk)
            c = static_cast<char>(random());
        // Plausible-looking fragments now and then.
        if (round % 7 == 0) chunk += "pRI\tREQ\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n";
        if (round % 11 == 0) chunk += "CONNECT\tREQ\tx\n\tREQ\n\t\t\t\n";
        if (round % 50 == 0) chunk += std::string(5000, 'A') + "\n";
        if (round % 75 == 0) chunk += std::string(12000, 'B'); // no LF for a long while
        ASSERT_TRUE(client.Send(chunk));
        noise += client.DrainAvailable();
    }
    // Past the answers to the noise (up to a request no noise can spell)...
    ASSERT_TRUE(client.Send("\nsync-7f3a\tREQ\n"));
    std::string line;
    do {
        line = client.ReadLine();
        ASSERT_FALSE(line.empty()) << "no answer after the noise";
    } while (line != "sync-7f3a\tRSP\t406\n");
    // ...the next well-formed CONNECT is answered as ever.
    line = client.Exchange("CONNECT\tREQ");
    if (line == "CONNECT\tRSP\t301\n") line = client.Exchange("CONNECT\tREQ");
    EXPECT_EQ(line, "CONNECT\tRSP\t0\n");
    EXPECT_EQ(client.Exchange("pN\tREQ\tstill here"), "pN\tRSP\t207\n");
    EXPECT_NE(sim->JournalText().find("request line too long"), std::string::npos);

    // And so does a new client, also after a flood that ends without LF.
    ASSERT_TRUE(client.Send(std::string(20000, 'C')));
    RawClient fresh;
    ASSERT_TRUE(fresh.ConnectTcp("127.0.0.1", sim->TcpPort()));
    EXPECT_EQ(fresh.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t301\n");
}

TEST_F(FrontEndTest, PseudoTerminalComesAndGoes) {
    dir = TempDir();
    SimulatorOptions o;
    o.usb = {dir + "/com1"};
    StartWith(o);
    const std::string path = dir + "/com1";
    ASSERT_TRUE(client.OpenDevice(path));
    EXPECT_EQ(client.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
    EXPECT_EQ(client.Exchange("gD\tREQ\t1\t"), "gD\tRSP\t0\tKV240017\n");
    // A client that closes the port without DISCONNECT leaves the session
    // open; the next one gets 301 once, as the printer does.
    client.Close();
    ASSERT_TRUE(client.OpenDevice(path));
    EXPECT_EQ(client.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t301\n");
    EXPECT_EQ(client.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
    // A firmware update restarts the printer: the device goes away after the
    // answer and a new one appears behind the same path.
    std::string before = sim->Endpoints()[0].device;
    EXPECT_EQ(client.Exchange("uF\tREQ"), "uF\tRSP\t0\n");
    EXPECT_EQ(client.ReadUntilClosed(), "");
    EXPECT_TRUE(client.PeerClosed());
    EXPECT_NE(sim->Endpoints()[0].device, before) << sim->JournalText();
    ASSERT_TRUE(client.OpenDevice(path));
    EXPECT_EQ(client.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
    EXPECT_EQ(client.Exchange("gP\tREQ\t7"), "gP\tRSP\t0\t7\t3.5.0\n");
    client.Close();
    // Stopping removes the symlink.
    sim->Stop();
    EXPECT_FALSE(Exists(path));
}

TEST_F(FrontEndTest, StateFileAndPaperFileSurviveARestart) {
    dir = TempDir();
    SimulatorOptions o;
    o.tcp = {"127.0.0.1:0"};
    o.stateFile = dir + "/state";
    o.paperFile = dir + "/paper";
    o.journalFile = dir + "/journal";
    for (int run = 1; run <= 2; ++run) {
        StartWith(o);
        ASSERT_TRUE(client.ConnectTcp("127.0.0.1", sim->TcpPort()));
        ASSERT_EQ(client.Exchange("CONNECT\tREQ"), "CONNECT\tRSP\t0\n");
        ASSERT_TRUE(client.Send("bFR\tREQ\t1\t0\t\npRI\tREQ\tTea\t1.20\t1\t2\t\t\t\t\t\t\n"
                                "pRT\tREQ\t1.20\t2\t1\t\t\neFR\tREQ\t1\n"));
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(client.ReadLine().find("RSP\t0\n") != 0, true);
        // The monthly number goes on from the saved state.
        std::string info = client.Exchange("gLRRI\tREQ");
        size_t date = info.find("\t", 10);
        ASSERT_NE(date, std::string::npos) << info;
        size_t monthly = info.find('\t', date + 1);
        EXPECT_EQ(info.substr(monthly, 7), "\t" + std::to_string(run) + "\t1\tO-") << info;
        client.Close();
        sim->Stop();
    }
    std::FILE* paper = std::fopen((dir + "/paper").c_str(), "r");
    ASSERT_NE(paper, nullptr);
    std::string text(1 << 16, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), paper));
    std::fclose(paper);
    EXPECT_NE(text.find("Receipt No. 1 "), std::string::npos);
    EXPECT_NE(text.find("Receipt No. 2 "), std::string::npos);
    EXPECT_TRUE(Exists(dir + "/journal"));
}

} // namespace
} // namespace korvo::sim::test
