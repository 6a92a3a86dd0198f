// The library's exports against korvosim: connections over loopback TCP, a USB
// pseudo-terminal and the RS-232 station on a pseudo-terminal, each linked
// into a private KORVOCOMM_PORTS directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "ProcessCounts.h"
#include "api/ConnectionTable.h"
#include "korvocomm.h"
#include "sim/serve/Simulator.h"

namespace korvo {
namespace {

class LibrarySimulatorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/korvo-ports-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        ports = pattern;
        setenv("KORVOCOMM_PORTS", ports.c_str(), 1);
        sim::SimulatorOptions options;
        options.tcp = {"127.0.0.1:0"};
        options.usb = {ports + "/com3"};
        sim::Rs232Options rs232;
        rs232.path = ports + "/com4";
        rs232.address = 2;
        rs232.baudRate = 115200;
        options.rs232 = {rs232};
        simulator = new sim::Simulator(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(error)) << error;
        tcpAddress = "127.0.0.1:" + std::to_string(simulator->TcpPort());
    }

    static void TearDownTestSuite() {
        simulator->Stop();
        delete simulator;
        simulator = nullptr;
        unsetenv("KORVOCOMM_PORTS");
        std::string rm = "rm -rf " + ports;
        EXPECT_EQ(std::system(rm.c_str()), 0);
    }

    void TearDown() override {
        simulator->ClearFaults();
        SetConfigValue(0, "link_transfer_time", "0");
        SetConfigValue(0, "extend_response_time", "0");
    }

    int Connect(const char* kind) {
        if (std::strcmp(kind, "tcp") == 0) return ConnectTCP(tcpAddress.c_str());
        if (std::strcmp(kind, "usb") == 0) return ConnectUSB("COM3");
        return ConnectRS232("com4", 115200, 2);
    }

    void Fault(const char* rule) {
        std::string error;
        ASSERT_TRUE(simulator->AddFault(rule, error)) << error;
    }

    // Slots of the connection table that carry a handle.
    static int TakenSlots() {
        int taken = 0;
        for (int32_t h = 1; h <= 65535; ++h) taken += Connections().FindConnection(h) != nullptr;
        return taken;
    }

    static std::string Response(int handle) {
        char buffer[2500];
        int n = GetLastCommandResponse(handle, buffer, sizeof buffer);
        return n < 0 ? "<" + std::to_string(n) + ">" : std::string(buffer);
    }

    static std::string ports;
    static std::string tcpAddress;
    static sim::Simulator* simulator;
};

std::string LibrarySimulatorTest::ports;
std::string LibrarySimulatorTest::tcpAddress;
sim::Simulator* LibrarySimulatorTest::simulator = nullptr;

TEST_F(LibrarySimulatorTest, EveryConnectionKindRunsCommands) {
    for (const char* kind : {"tcp", "usb", "rs232"}) {
        SCOPED_TRACE(kind);
        int h = Connect(kind);
        ASSERT_GT(h, 0) << GetLastComError(0);
        EXPECT_EQ(GetLastComError(0), 0);
        char name[16];
        EXPECT_EQ(GetLastCommandName(h, name, sizeof name), 8);
        EXPECT_STREQ(name, "\tCONNECT");

        EXPECT_EQ(SendCommand(h, "getVatEntry", "1"), 0);
        EXPECT_EQ(Response(h).rfind("1\t", 0), 0u) << Response(h);
        EXPECT_EQ(GetLastComError(h), 0);
        // The printer's own refusal: a result, not a library failure.
        EXPECT_EQ(SendCommand(h, "printRecItem", "Bread\t1.00\t1\t1\t\t\t\t\t\t"), EFP_WRONG_STATE);
        EXPECT_EQ(GetLastComError(h), 0);
        char text[256];
        EXPECT_GT(GetErrorText(h, LANGUAGE_ENGLISH, EFP_WRONG_STATE, text, sizeof text), 0);
        EXPECT_STREQ(text, "Current status of FP does not allow the execution of this command.");
        EXPECT_EQ(Disconnect(h), 0);
        EXPECT_EQ(GetLastComError(h), APP_INVALID_HANDLE);
    }
}

TEST_F(LibrarySimulatorTest, ConnectArgumentChecksTakeNoHandle) {
    struct Case {
        int (*connect)();
        int code;
    } cases[] = {
        {[] { return ConnectUSB("COM0"); }, APP_INVALID_PORT},
        {[] { return ConnectUSB("COM257"); }, APP_INVALID_PORT},
        {[] { return ConnectUSB("COM"); }, APP_INVALID_PORT},
        {[] { return ConnectUSB("COM1 "); }, APP_INVALID_PORT},
        {[] { return ConnectUSB("LPT1"); }, APP_INVALID_PORT},
        {[] { return ConnectUSB(nullptr); }, APP_INVALID_PORT},
        {[] { return ConnectRS232("COM0", 9600, 2); }, APP_INVALID_PORT},
        {[] { return ConnectRS232("COM4", 9599, 2); }, APP_INVALID_COM_SPEED},
        {[] { return ConnectRS232("COM4", 115200, 1); }, APP_INVALID_LINK_ADDRESS},
        {[] { return ConnectRS232("COM4", 115200, 256); }, APP_INVALID_LINK_ADDRESS},
        {[] { return ConnectTCP(""); }, APP_INVALID_HOST_ADDRESS},
        {[] { return ConnectTCP(nullptr); }, APP_INVALID_HOST_ADDRESS},
        {[] { return ConnectTCP("1host:5000"); }, APP_INVALID_HOST_ADDRESS},
        {[] { return ConnectTCP("host:70000"); }, APP_INVALID_HOST_ADDRESS},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.connect(), 0);
        EXPECT_EQ(GetLastComError(0), c.code);
        EXPECT_EQ(TakenSlots(), 0);
    }
    // A name longer than the device path holds is refused too.
    std::string longName = "COM1" + std::string(200, 'x');
    EXPECT_EQ(ConnectUSB(longName.c_str()), 0);
    EXPECT_EQ(GetLastComError(0), APP_INVALID_PORT);
    // COM256 passes the name check; there is simply no such port here.
    EXPECT_EQ(ConnectUSB("COM256"), 0);
    EXPECT_EQ(GetLastComError(0), APP_PORT_DO_NOT_EXIST);
}

TEST_F(LibrarySimulatorTest, AddressTakesOnlyItsLowByte) {
    int h = ConnectRS232("COM4", 115200, 258);
    ASSERT_GT(h, 0) << GetLastComError(0);
    EXPECT_EQ(SendCommand(h, "getDate", "1"), 0);
    EXPECT_EQ(Disconnect(h), 0);
}

TEST_F(LibrarySimulatorTest, SixteenConnectionsThenNoFreeSlot) {
    std::set<int> handles;
    int list[16];
    for (int i = 0; i < 16; ++i) {
        list[i] = ConnectTCP(tcpAddress.c_str());
        ASSERT_GT(list[i], 0) << GetLastComError(0);
        EXPECT_LE(list[i], 65535);
        handles.insert(list[i]);
    }
    EXPECT_EQ(handles.size(), 16u);
    EXPECT_EQ(ConnectTCP(tcpAddress.c_str()), 0);
    EXPECT_EQ(GetLastComError(0), APP_MAX_CONNECTION_COUNT);
    EXPECT_EQ(ConnectUSB("COM3"), 0);
    EXPECT_EQ(GetLastComError(0), APP_MAX_CONNECTION_COUNT);
    // The printer keeps one session: each new connection took it over, so
    // only the last one disconnects cleanly; every handle is freed anyway.
    for (int h : list) Disconnect(h);
    for (int h : list) EXPECT_EQ(Connections().FindConnection(h), nullptr);
}

TEST_F(LibrarySimulatorTest, FailedConnectsLeaveNothingBehind) {
    int fds = test::Settled(test::DescriptorCount, 50);
    int threads = test::SettledThreadCount();
    if (fds < 0 || threads < 0) GTEST_SKIP() << "no /proc view of this process";

    EXPECT_EQ(ConnectUSB("COM9"), 0);
    EXPECT_EQ(GetLastComError(0), APP_PORT_DO_NOT_EXIST);
    EXPECT_EQ(ConnectRS232("COM9", 9600, 2), 0);
    EXPECT_EQ(GetLastComError(0), APP_PORT_DO_NOT_EXIST);
    EXPECT_EQ(ConnectTCP("127.0.0.1:1"), 0);
    EXPECT_EQ(GetLastComError(0), APP_TCP_CONNECTION_REFUSED);
    // A printer that never answers the handshake.
    Fault("CONNECT silent");
    EXPECT_EQ(ConnectTCP(tcpAddress.c_str()), 0);
    EXPECT_EQ(GetLastComError(0), APP_RESPONSE_TIMEOUT);
    simulator->ClearFaults();
    // A printer that answers the handshake twice with 301.
    Fault("CONNECT code 301 count=2");
    EXPECT_EQ(ConnectUSB("COM3"), 0);
    EXPECT_EQ(GetLastComError(0), EFP_ILLEGAL_COMMAND);

    EXPECT_EQ(TakenSlots(), 0);
    EXPECT_TRUE(test::ThreadsBackTo(threads));
    // The simulator closes its end of a dropped connection on its own thread.
    EXPECT_TRUE(test::WaitFor([&] { return test::DescriptorCount() == fds; }, 3000))
        << test::DescriptorCount() << " descriptors, " << fds << " before";
}

TEST_F(LibrarySimulatorTest, DisconnectOutcomes) {
    int h = ConnectTCP(tcpAddress.c_str());
    ASSERT_GT(h, 0);
    Fault("DISCONNECT silent");
    EXPECT_EQ(Disconnect(h), -APP_RESPONSE_TIMEOUT); // 301
    EXPECT_EQ(GetLastComError(0), 301);
    EXPECT_EQ(Disconnect(h), APP_INVALID_HANDLE);
    simulator->ClearFaults();

    // The printer restarts after a firmware update: the handle outlives the
    // connection until Disconnect frees it.
    h = ConnectTCP(tcpAddress.c_str());
    ASSERT_GT(h, 0);
    EXPECT_EQ(SendCommand(h, "updateFirmware", nullptr), 0);
    EXPECT_EQ(SendCommand(h, "getDate", "1"), APP_DISCONNECTED);
    EXPECT_EQ(GetLastComError(h), APP_DISCONNECTED);
    EXPECT_EQ(Abort(h), APP_DISCONNECTED);
    EXPECT_EQ(Disconnect(h), 0);
    EXPECT_EQ(Disconnect(h), APP_INVALID_HANDLE);
}

TEST_F(LibrarySimulatorTest, CommandsResponsesAndAbort) {
    int h = ConnectUSB("COM3");
    ASSERT_GT(h, 0) << GetLastComError(0);
    size_t before = simulator->JournalText().size();
    EXPECT_EQ(SendCommand(h, "\tDISCONNECT", nullptr), EFP_DATA_TYPE);
    EXPECT_EQ(simulator->JournalText().size(), before); // nothing reached the printer

    ASSERT_EQ(SendCommand(h, "getDate", "1"), 0);
    std::string values = Response(h);
    char buffer[64];
    int n = static_cast<int>(values.size());
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetLastCommandResponse(h, buffer, 0), n);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(GetLastCommandResponse(h, buffer, n), n);
    EXPECT_EQ(std::string(buffer, n), values);
    EXPECT_EQ(buffer[n], '#');

    // No answer in time: no response to hand out.
    EXPECT_EQ(SetConfigValue(h, "next_cmd_time", "100"), 0);
    Fault("gDT silent count=1");
    EXPECT_EQ(SendCommand(h, "getDate", "1"), APP_RESPONSE_TIMEOUT);
    EXPECT_EQ(GetLastCommandResponse(h, buffer, sizeof buffer), APP_NO_RESPONSE_RECEIVED);
    EXPECT_EQ(GetLastComError(h), APP_NO_RESPONSE_RECEIVED);

    // An abort with nothing running ends the next slow exchange.
    Fault("gDT delay 300");
    EXPECT_EQ(Abort(h), 0);
    EXPECT_EQ(SendCommand(h, "getDate", "1"), APP_COMMUNICATION_ABORTED);
    simulator->ClearFaults();
    Disconnect(h);
}

// The printer answers a command that timed out all the same; that answer
// comes while the next command waits.
TEST_F(LibrarySimulatorTest, LateAnswerOfATimedOutCommandIsNotTheNextOnesAnswer) {
    for (const char* kind : {"tcp", "usb"}) {
        SCOPED_TRACE(kind);
        int h = Connect(kind);
        ASSERT_GT(h, 0) << GetLastComError(0);
        Fault("gDT delay 400 count=1");
        EXPECT_EQ(SetConfigValue(h, "next_cmd_time", "100"), 0);
        EXPECT_EQ(SetConfigValue(h, "link_transfer_time", "0"), 0);
        EXPECT_EQ(SendCommand(h, "getDate", "1"), APP_RESPONSE_TIMEOUT);
        EXPECT_EQ(SendCommand(h, "getProperty", "6"), 0);
        EXPECT_EQ(Disconnect(h), 0);
    }
}

TEST_F(LibrarySimulatorTest, ConfigurationReachesLaterConnectionsOnly) {
    int before = ConnectTCP(tcpAddress.c_str());
    ASSERT_GT(before, 0);
    EXPECT_EQ(SetConfigValue(0, "link_transfer_time", "250"), 0);
    EXPECT_EQ(SetConfigValue(0, "dns_connect_mode", "1"), 0);
    int after = ConnectTCP(tcpAddress.c_str());
    ASSERT_GT(after, 0);
    char buffer[16];
    EXPECT_EQ(GetConfigValue(after, "link_transfer_time", buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "250");
    EXPECT_EQ(GetConfigValue(before, "link_transfer_time", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "0");
    EXPECT_EQ(GetConfigValue(after, "dns_connect_mode", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "1");
    EXPECT_EQ(GetConfigValue(before, "dns_connect_mode", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "0");
    Disconnect(before);
    Disconnect(after);

    int usb = ConnectUSB("COM3");
    ASSERT_GT(usb, 0);
    EXPECT_EQ(GetConfigValue(usb, "dns_connect_mode", buffer, sizeof buffer), APP_UNKNOWN_CFG_VALUE);
    Disconnect(usb);
}

} // namespace
} // namespace korvo
