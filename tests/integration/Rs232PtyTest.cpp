// The RS-232 link end to end: the library's serial network layer on a real
// COM port (a pseudo-terminal linked through KORVOCOMM_PORTS) against the
// simulator's secondary station on the master side. The bytes are recorded
// where they pass the pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ExampleExchange.h"
#include "HexBytes.h"
#include "korvocomm.h"
#include "protocol/CommandSession.h"
#include "sim/serve/Rs232FrontEnd.h"
#include "sim/serve/Simulator.h"
#include "transport/CRS232NetwLayerServ.h"

namespace korvo {
namespace {

using test::Hex;

bool WaitFor(const std::function<bool()>& pred, int limitMs = 20000) {
    for (int i = 0; i < limitMs && !pred(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return pred();
}

int Entries(const char* directory) {
    std::error_code ec;
    int n = 0;
    for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end;
         it.increment(ec))
        ++n;
    return n;
}

// A directory for the port links, named by KORVOCOMM_PORTS while it lives.
class PortDirectory {
public:
    PortDirectory() {
        char pattern[] = "/tmp/korvo-rs232-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made ? made : "";
        setenv("KORVOCOMM_PORTS", path.c_str(), 1);
    }
    ~PortDirectory() {
        unsetenv("KORVOCOMM_PORTS");
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string Port(int n) const { return path + "/com" + std::to_string(n); }
    std::string path;
};

// What passed the line, merged into runs of one direction.
class LineRecord {
public:
    sim::Rs232FrontEnd::Recorder Recorder() {
        return [this](bool fromPrimary, const std::string& bytes) {
            std::lock_guard<std::mutex> lock(m);
            if (!runs.empty() && runs.back().first == fromPrimary)
                runs.back().second += bytes;
            else
                runs.emplace_back(fromPrimary, bytes);
        };
    }
    std::vector<std::string> Runs() {
        std::lock_guard<std::mutex> lock(m);
        std::vector<std::string> out;
        for (auto& r : runs)
            out.push_back((r.first ? "L>P " : "P>L ") + Hex(r.second));
        return out;
    }

private:
    std::mutex m;
    std::vector<std::pair<bool, std::string>> runs;
};

// The printer of the documented example: answers 41 42 with 43 0A.
class ExamplePrinter : public sim::StationHandler {
public:
    bool IsComplete(const std::string& request) const override { return request.size() >= 2; }
    std::string Execute(const std::string&) override { return "C\n"; }
};

TEST(Rs232Pty, ExampleExchangeRecordedAtThePseudoTerminal) {
    PortDirectory ports;
    ExamplePrinter printer;
    sim::Rs232Options options;
    options.path = ports.Port(5);
    options.address = 2;
    sim::Rs232FrontEnd station(options, printer);
    LineRecord record;
    station.SetRecorder(record.Recorder());
    std::string error;
    ASSERT_TRUE(station.Start(error)) << error;

    CRS232NetwLayerServ layer("COM5", 9600, 2);
    ASSERT_EQ(layer.Open(), 0);
    const uint8_t message[] = {0x41, 0x42};
    ASSERT_EQ(layer.Send(message, 2), 0);
    ASSERT_TRUE(WaitFor([&] { return layer.BytesAvailable() == 2; }));
    uint8_t got[4] = {};
    EXPECT_EQ(layer.Receive(got, sizeof got), 2);
    EXPECT_EQ(got[0], 0x43);
    EXPECT_EQ(got[1], 0x0A);
    // Step 11 answered, so that the stop does not cut into the example.
    ASSERT_TRUE(WaitFor([&] { return record.Runs().size() > test::kExampleSteps; }));
    EXPECT_EQ(layer.Close(), 0);
    station.Stop();

    std::vector<std::string> runs = record.Runs();
    ASSERT_GE(runs.size(), static_cast<size_t>(test::kExampleSteps));
    for (int i = 0; i < test::kExampleSteps; ++i)
        EXPECT_EQ(runs[i], test::kExampleExchange[i]) << "step " << i + 1;
    // The last frame on the line is the library's DISC (and the station's UA).
    ASSERT_GE(runs.size(), 2u);
    const std::string& lastOut = runs[runs.size() - 2];
    EXPECT_EQ(lastOut.substr(lastOut.size() - 17), "AA 02 01 53 C7 37");
}

// The simulator's printer behind the station; commands through the session.
class Rs232Session : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimulatorOptions options;
        sim::Rs232Options rs232;
        rs232.path = ports.Port(6);
        rs232.address = 7;
        rs232.baudRate = 115200;
        options.rs232.push_back(rs232);
        simulator = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(error)) << error;
        ASSERT_EQ(session.Connect(), 0);
    }
    void TearDown() override {
        EXPECT_EQ(layer.Close(), 0);
        simulator->Stop();
    }

    // Runs a command that shows text on the display; each has its own text
    // so that the journal tells them apart.
    int32_t Show(const std::string& text) {
        bool drop = false;
        return session.Execute("displayTextAt", ("1\t1\t" + text).c_str(), drop);
    }
    int Runs(const std::string& text) {
        std::string journal = simulator->JournalText();
        std::string request = "> dTA\\tREQ\\t1\\t1\\t" + text + "\n";
        int n = 0;
        for (size_t at = journal.find(request); at != std::string::npos;
             at = journal.find(request, at + 1))
            ++n;
        return n;
    }

    PortDirectory ports;
    std::unique_ptr<sim::Simulator> simulator;
    CRS232NetwLayerServ layer{"COM6", 115200, 7};
    CommandSession session{&layer};
};

TEST_F(Rs232Session, EveryCommandRunsOnceThroughTheStationsFaults) {
    sim::Rs232FrontEnd* station = simulator->Rs232(0);
    ASSERT_NE(station, nullptr);
    const char* faults[] = {"lose", "crc", "addr", "frmr", "seq", "rnr:6", "silence:5", "lose:3"};
    for (const char* fault : faults) {
        // Triggered by the information frame that carries the next request,
        // however many the faults before made the link send.
        std::string text = std::string("fault ") + fault;
        std::string at = std::string(fault) + "@i" +
                         std::to_string(station->InformationFramesReceived() + 1);
        ASSERT_TRUE(station->AddFault(at.c_str())) << at;
        EXPECT_GE(Show(text), 0) << fault << simulator->JournalText();
        EXPECT_EQ(Runs(text), 1) << fault << simulator->JournalText();
        EXPECT_FALSE(layer.HasFailed()) << fault;
    }
}

TEST_F(Rs232Session, SilentPrinterFailsTheExchangeAndTheNextCommandSetsUpAgain) {
    sim::Rs232FrontEnd* station = simulator->Rs232(0);
    ASSERT_TRUE(station->AddFault("silence:11@i2"));
    EXPECT_EQ(Show("unheard"), APP_PACKET_TIMEOUT);
    EXPECT_TRUE(layer.HasFailed());
    EXPECT_EQ(Runs("unheard"), 0);
    EXPECT_GE(Show("heard"), 0);
    EXPECT_EQ(Runs("heard"), 1);
    EXPECT_FALSE(layer.HasFailed());
}

TEST(Rs232PtyLife, MissingPortAndNothingLeftAfterClose) {
    PortDirectory ports;
    {
        CRS232NetwLayerServ missing("COM9", 9600, 2);
        EXPECT_EQ(missing.Open(), APP_PORT_DO_NOT_EXIST);
        EXPECT_TRUE(missing.HasFailed());
    }

    ExamplePrinter printer;
    sim::Rs232Options options;
    options.path = ports.Port(4);
    sim::Rs232FrontEnd station(options, printer);
    LineRecord record;
    station.SetRecorder(record.Recorder());
    std::string error;
    ASSERT_TRUE(station.Start(error)) << error;
    // Let the station's own thread and descriptors settle first.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int threads = Entries("/proc/self/task");
    const int descriptors = Entries("/proc/self/fd");
    {
        CRS232NetwLayerServ layer("COM4", 115200, 2);
        ASSERT_EQ(layer.Open(), 0);
        EXPECT_EQ(Entries("/proc/self/task"), threads + 1);
        const uint8_t message[] = {'h', 'i'};
        ASSERT_EQ(layer.Send(message, 2), 0);
        ASSERT_TRUE(WaitFor([&] { return layer.BytesAvailable() == 2; }));
        EXPECT_EQ(layer.Close(), 0);
        EXPECT_TRUE(WaitFor([&] { return Entries("/proc/self/task") == threads; }));
        EXPECT_EQ(Entries("/proc/self/fd"), descriptors);
    }
    std::vector<std::string> runs = record.Runs();
    ASSERT_GE(runs.size(), 2u);
    const std::string& lastOut = runs[runs.size() - 2];
    EXPECT_EQ(lastOut.substr(lastOut.size() - 17), "AA 02 01 53 C7 37");
    station.Stop();
}

} // namespace
} // namespace korvo
