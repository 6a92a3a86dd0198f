// The kit's own command session against korvosim, over loopback TCP and over
// a pseudo-terminal reached as a COM port: a whole receipt and its paper, the
// printer's validation codes, and every injected fault as the session sees it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

#include "TestClock.h"
#include "platform/clock.h"
#include "protocol/CommandSession.h"
#include "protocol/ResultCodes.h"
#include "sim/serve/Simulator.h"
#include "transport/CCOM_Link.h"
#include "transport/CTcpNetwLayer.h"
#include "transport/SocketsStarted.h"

namespace korvo {
namespace {

enum class Wire { Tcp, Usb };

class SystemClock : public ClockSource {
public:
    uint32_t Now() override { return os::SystemTickCount(); }
    void Sleep(uint32_t ms) override { os::SystemSleep(ms); }
};

std::string WireName(const ::testing::TestParamInfo<Wire>& info) {
    return info.param == Wire::Tcp ? "Tcp" : "Usb";
}

class SessionSimulatorTest : public ::testing::TestWithParam<Wire> {
protected:
    void SetUp() override {
        // The connection setup would have started the socket library (a no-op here).
        wasStarted = socketsStarted.exchange(true);
        char path[] = "/tmp/korvosim-session-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        dir = path;
        const char* old = std::getenv("KORVOCOMM_PORTS");
        savedPorts = old ? old : "";
        hadPorts = old != nullptr;
        setenv("KORVOCOMM_PORTS", dir.c_str(), 1);
        sim::SimulatorOptions options;
        options.tcp = {"127.0.0.1:0"};
        options.usb = {dir + "/com1"};
        // The printer keeps real time while the session's waits may run on a
        // test clock.
        options.clock = &systemClock;
        simulator = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(simulator->Start(error)) << error;
    }

    void TearDown() override {
        Disconnect();
        simulator->Stop();
        if (hadPorts) {
            setenv("KORVOCOMM_PORTS", savedPorts.c_str(), 1);
        } else {
            unsetenv("KORVOCOMM_PORTS");
        }
        std::system(("rm -rf " + dir).c_str());
        socketsStarted.store(wasStarted);
    }

    std::unique_ptr<INetworkLayer> NewTransport() {
        if (GetParam() == Wire::Usb) return std::make_unique<CCOM_Link>("COM1", 0);
        std::unique_ptr<char[]> host(new char[16]);
        std::strcpy(host.get(), "127.0.0.1");
        return std::make_unique<CTcpNetwLayer>(std::move(host), simulator->TcpPort());
    }

    int32_t Connect() {
        Disconnect();
        transport = NewTransport();
        session = std::make_unique<CommandSession>(transport.get());
        return session->Connect();
    }

    void Disconnect() {
        if (transport) transport->Close();
        session.reset();
        transport.reset();
    }

    int32_t Run(const char* name, const char* parameters = nullptr) {
        return session->Execute(name, parameters, dropped);
    }

    std::string Values() const {
        return session->ResponseValues() ? session->ResponseValues() : "(none)";
    }

    std::string Paper() { return simulator->PaperText(); }

    void Fault(const char* rule) {
        std::string error;
        ASSERT_TRUE(simulator->AddFault(rule, error)) << error;
    }

    std::string dir, savedPorts;
    bool hadPorts = false;
    bool wasStarted = false;
    SystemClock systemClock;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<INetworkLayer> transport;
    std::unique_ptr<CommandSession> session;
    bool dropped = false;
};

TEST_P(SessionSimulatorTest, CompleteReceiptAndItsPaper) {
    ASSERT_EQ(Connect(), 0);
    EXPECT_STREQ(session->LastCommandName(), "\tCONNECT");
    ASSERT_EQ(Run("setHeaderLines", "CORNER SHOP\tMarket Sq. 4\t\t\t\t\t\t\t"), 0);
    ASSERT_EQ(Run("beginFiscalReceipt", "1\t0\tT-100"), 0);
    ASSERT_EQ(Run("printRecItem", "Bread\t2.50\t2.000\t1\t\t1.25\t\t\t\t"), 0);
    ASSERT_EQ(Run("printRecItem", "Butter\t1.89\t1.000\t2\t\t\t\t\t\t"), 0);
    ASSERT_EQ(Run("printRecSubtotal", "4.39\t"), 0);
    ASSERT_EQ(Run("printRecTotal", "4.39\t10.00\t1\t\t"), 0);
    ASSERT_EQ(Run("endFiscalReceipt", "1"), 0);
    ASSERT_EQ(Run("getLastRegisteredReceiptInfo"), 0);
    std::string info = Values();
    EXPECT_NE(info.find("\t1\t1\tO-"), std::string::npos) << info;
    ASSERT_EQ(Run("gTS", "T-100"), 0);
    EXPECT_EQ(Values(), "T-100\t2");
    ASSERT_EQ(Run("DISCONNECT"), APP_UNKNOWN_COMMAND); // only the kit's own name reaches it
    EXPECT_EQ(Run("\tDISCONNECT"), 0);

    const std::string paper = Paper();
    const char* lines[] = {
        "              CORNER SHOP\n",
        "              Market Sq. 4\n",
        "Transaction T-100\n",
        "Bread                             2.50 A\n",
        "  2 x 1.25\n",
        "Butter                            1.89 B\n",
        "SUBTOTAL                            4.39\n",
        "TOTAL EUR                           4.39\n",
        "Cash                               10.00\n",
        "Change                              5.61\n",
        "Receipt No. 1 ",
        "UID:\nO-",
        "OKP: ",
        "      Thank you for your purchase\n",
    };
    size_t at = 0;
    for (const char* line : lines) {
        size_t found = paper.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << paper;
        at = found;
    }
}

TEST_P(SessionSimulatorTest, PrinterValidationCodes) {
    ASSERT_EQ(Connect(), 0);
    EXPECT_EQ(Run("pRI", "Bread\t1.00\t1\t1\t\t\t\t\t\t"), EFP_WRONG_STATE);
    EXPECT_EQ(Run("printZReport"), EFP_ILLEGAL_COMMAND); // no sales yet
    ASSERT_EQ(Run("bFR", "1\t0\t"), 0);
    EXPECT_EQ(Run("pRI", "Bread\t1.00\t1\t6\t\t\t\t\t\t"), EFP_BAD_VAT);
    EXPECT_EQ(Run("pRI", "Bread\t1.00\t0\t1\t\t\t\t\t\t"), EFP_BAD_QUANTITY);
    EXPECT_EQ(Run("pRI", "Bread\t0.00\t1\t1\t\t\t\t\t\t"), EFP_BAD_AMOUNT);
    EXPECT_EQ(Run("pRI", "Bread\t1.015\t1\t1\t\t\t\t\t\t"), EFP_BAD_AMOUNT);
    std::string longText(41, 'x');
    EXPECT_EQ(Run("pRI", (longText + "\t1.00\t1\t1\t\t\t\t\t\t").c_str()), EFP_BAD_DESCRIPTION);
    EXPECT_EQ(Run("pRC", "5.00\t1"), EFP_ILLEGAL_COMMAND);
    ASSERT_EQ(Run("pRI", "Bread\t1.00\t1\t1\t\t\t\t\t\t"), 0);
    EXPECT_EQ(Run("pRT", "1.00\t1.00\t9\t\t"), EFP_BAD_PAYMENT);
    EXPECT_EQ(Run("pRT", "1.00\t2.00\t2\t\t"), EFP_BAD_CHANGE_TYPE);
    EXPECT_EQ(Run("pRT", "1.00\t0.40\t1\t\t"), 0);
    EXPECT_EQ(Run("eFR", "1"), EFP_WRONG_STATE); // not paid yet
    EXPECT_EQ(Run("pRT", "1.00\t0.60\t2\t\t"), 0);
    EXPECT_EQ(Run("eFR", "1"), 0);
    EXPECT_EQ(Run("printZReport"), 0);
    // A malformed request is the printer's business too.
    EXPECT_EQ(Run("getDate", "1\t2"), EFP_EXTRA_FIELD);
    EXPECT_EQ(Run("getDate", ""), E_ILLEGAL);
}

TEST_P(SessionSimulatorTest, SecondClientTakesOverTheSession) {
    ASSERT_EQ(Connect(), 0);
    auto otherTransport = NewTransport();
    if (GetParam() == Wire::Usb) {
        // One opener at a time on a COM port: the first must let go.
        transport->Close();
    }
    CommandSession other(otherTransport.get());
    // The printer answers 301 and closes the open session; the session retries.
    EXPECT_EQ(other.Connect(), 0);
    bool drop = false;
    EXPECT_EQ(other.Execute("getDate", "1", drop), 0);
    if (GetParam() == Wire::Tcp) {
        EXPECT_EQ(Run("getDate", "1"), EFP_ILLEGAL_COMMAND);
    }
    otherTransport->Close();
}

TEST_P(SessionSimulatorTest, FirmwareUpdateDropsTheConnection) {
    ASSERT_EQ(Connect(), 0);
    EXPECT_EQ(Run("updateFirmware"), 0);
    EXPECT_TRUE(dropped);
    // The printer restarted: a new connection finds no session open.
    ASSERT_EQ(Connect(), 0);
    EXPECT_EQ(Run("getProperty", "7"), 0);
    EXPECT_EQ(Values(), "7\t3.5.0");
    EXPECT_EQ(Run("updateFirmware"), E_NOEXIST);
    EXPECT_FALSE(dropped);
}

TEST_P(SessionSimulatorTest, MalformedAnswersAreWrongResponseData) {
    for (const char* rule : {"gDT malformed count=1", "gDT nul count=1", "gDT double count=1",
                             "gDT raw gdt\\tRSP\\t0\\n count=1", "gDT raw gDT\\tRSP\\t\\n count=1",
                             "gDT raw gDT\\tRSQ\\t0\\n count=1"}) {
        Fault(rule);
    }
    ASSERT_EQ(Connect(), 0);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Run("getDate", "1"), APP_WRONG_RESPONSE_DATA) << i;
    // The rules are used up and the line is clean again.
    EXPECT_EQ(Run("getDate", "1"), 0);
    EXPECT_EQ(Values().substr(0, 2), "1\t");
}

TEST_P(SessionSimulatorTest, AnswerInSmallPiecesIsAssembled) {
    Fault("gLRRI chunks 7 1 count=1");
    ASSERT_EQ(Connect(), 0);
    ASSERT_EQ(Run("bFR", "1\t0\t"), 0);
    ASSERT_EQ(Run("pRI", "Tea\t1.20\t1\t2\t\t\t\t\t\t"), 0);
    ASSERT_EQ(Run("pRT", "1.20\t0\t1\t\t"), 0);
    ASSERT_EQ(Run("eFR", "1"), 0);
    ASSERT_EQ(Run("getLastRegisteredReceiptInfo"), 0);
    // 8 values, the signature code among them, all in one piece again.
    std::string values = Values();
    size_t tabs = 0;
    for (char c : values)
        tabs += c == '\t';
    EXPECT_EQ(tabs, 7u) << values;
    EXPECT_NE(values.find("==\t0\t"), std::string::npos);
}

TEST_P(SessionSimulatorTest, ForcedCodeReachesTheCaller) {
    Fault("eFR code 604 count=1");
    ASSERT_EQ(Connect(), 0);
    ASSERT_EQ(Run("bFR", "1\t0\t"), 0);
    ASSERT_EQ(Run("pRI", "Tea\t1.20\t1\t2\t\t\t\t\t\t"), 0);
    ASSERT_EQ(Run("pRT", "1.20\t0\t1\t\t"), 0);
    EXPECT_EQ(Run("eFR", "1"), EFP_TAX_AUTH_REGIST_REJECTED);
    // Not executed: the receipt is still waiting for its end.
    EXPECT_EQ(Run("eFR", "1"), 0);
}

TEST_P(SessionSimulatorTest, SilenceAndLongDelaysTimeOut) {
    Fault("gDT silent count=1");
    Fault("gD delay 600000 count=1");
    ASSERT_EQ(Connect(), 0);
    {
        test::TestClock clock; // the session's wait runs out at once
        EXPECT_EQ(Run("getDate", "1"), APP_RESPONSE_TIMEOUT);
    }
    // The silent command was not executed; the printer goes on answering.
    EXPECT_EQ(Run("getDate", "1"), 0);
    EXPECT_EQ(Values().substr(0, 2), "1\t");
    {
        test::TestClock clock;
        EXPECT_EQ(Run("getData", "1\t"), APP_RESPONSE_TIMEOUT);
    }
}

TEST_P(SessionSimulatorTest, DroppedMidAnswerFailsTheExchange) {
    Fault("gP drop count=1");
    ASSERT_EQ(Connect(), 0);
    // Real time, kept short: the half line must reach the session first.
    transport->SetTransferTime(0);
    session->SetNextCommandTime(300);
    // A TCP connection that the printer closes fails at once; the virtual
    // COM port of USB stays open and only falls silent.
    EXPECT_EQ(Run("getProperty", "6"),
              GetParam() == Wire::Tcp ? APP_TCP_CONNECTION_CLOSED : APP_RESPONSE_TIMEOUT);
    // The printer itself is fine: a new connection works.
    ASSERT_EQ(Connect(), 0);
    EXPECT_EQ(Run("getProperty", "6"), 0);
}

// Reads from a transport until needle has arrived (at most limitMs).
bool ReceiveUntil(INetworkLayer& link, const std::string& needle, uint32_t limitMs) {
    std::string received;
    uint8_t buffer[4096];
    uint32_t start = TickCount();
    while (TickCount() - start < limitMs) {
        int32_t n = link.BytesAvailable() ? link.Receive(buffer, sizeof buffer) : 0;
        if (n > 0) received.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
        if (received.find(needle) != std::string::npos) return true;
        if (n <= 0) SleepMs(1);
    }
    return false;
}

TEST_P(SessionSimulatorTest, NoiseBeforeConnectDoesNoHarm) {
    // Another client sends random bytes and an over-long line first, then a
    // request no noise can spell, whose answer shows all was read.
    std::mt19937 random(4);
    std::string noise;
    for (int i = 0; i < 4000; ++i)
        noise += static_cast<char>(random());
    noise += std::string(3000, 'Z') + "\nsync-5e\tREQ\n";
    auto raw = NewTransport();
    ASSERT_EQ(raw->Open(), 0);
    ASSERT_EQ(raw->Send(reinterpret_cast<const uint8_t*>(noise.data()),
                        static_cast<uint32_t>(noise.size())),
              0);
    ASSERT_TRUE(ReceiveUntil(*raw, "sync-5e\tRSP\t406\n", 10000));
    raw->Close();
    EXPECT_EQ(Connect(), 0);
    EXPECT_EQ(Run("getDate", "1"), 0);
    EXPECT_NE(simulator->JournalText().find("request line too long"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Wires, SessionSimulatorTest, ::testing::Values(Wire::Tcp, Wire::Usb),
                         WireName);

} // namespace
} // namespace korvo
