// The COM port link on a real pseudo-terminal, linked as a COM port through
// KORVOCOMM_PORTS. The test plays the device on the master side.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "PosixPeer.h"
#include "ScriptedTransport.h"
#include "Termios2Probe.h"
#include "korvocomm.h"
#include "platform/serial.h"
#include "protocol/CommandSession.h"
#include "transport/CCOM_Link.h"

namespace korvo {
namespace {

// Waits (really) until the link reports exactly n queued bytes.
bool WaitQueued(CCOM_Link& link, uint32_t n) {
    for (int i = 0; i < 5000; ++i) {
        if (link.BytesAvailable() == n) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

class ComLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()); }
    test::PtyPort pty{7};
};

TEST_F(ComLinkTest, OpensAt38400InRawModeWhenTheSpeedIs0) {
    CCOM_Link link("COM7", 0);
    ASSERT_EQ(link.Open(), 0);
    EXPECT_TRUE(link.IsOpen());

    termios t{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B38400));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(link.Close(), 0);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(ComLinkTest, SpeedWithoutATermiosConstant) {
    CCOM_Link link("com7", 250000);
    ASSERT_EQ(link.Open(), 0);
    EXPECT_EQ(test::TerminalSpeed(pty.Slave()), 250000u);
}

TEST_F(ComLinkTest, ReceiveTakesNoMoreThanAskedAndNeverWaits) {
    CCOM_Link link("COM7", 38400);
    ASSERT_EQ(link.Open(), 0);
    uint8_t buffer[64];
    EXPECT_EQ(link.BytesAvailable(), 0u);
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 0);

    const std::string bytes = "0123456789abcdefghijklmn\n"; // 25 bytes
    ASSERT_TRUE(test::WriteAll(pty.Master(), bytes));
    ASSERT_TRUE(WaitQueued(link, 25));
    ASSERT_EQ(link.Receive(buffer, 10), 10);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 10), "0123456789");
    EXPECT_EQ(link.BytesAvailable(), 15u);
    ASSERT_EQ(link.Receive(buffer, sizeof buffer), 15);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 15), "abcdefghijklmn\n");
    EXPECT_EQ(link.Receive(buffer, sizeof buffer), 0);
}

TEST_F(ComLinkTest, PurgeDiscardsEverythingQueued) {
    CCOM_Link link("COM7", 38400);
    ASSERT_EQ(link.Open(), 0);
    ASSERT_TRUE(test::WriteAll(pty.Master(), std::string(3000, 'p')));
    ASSERT_TRUE(WaitQueued(link, 3000));
    link.PurgeReceive();
    EXPECT_EQ(link.BytesAvailable(), 0u);

    ASSERT_TRUE(test::WriteAll(pty.Master(), "next\n"));
    ASSERT_TRUE(WaitQueued(link, 5));
    uint8_t buffer[16];
    ASSERT_EQ(link.Receive(buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), "next\n");
}

TEST_F(ComLinkTest, SendWritesTheBytesUnchanged) {
    CCOM_Link link("COM7", 38400);
    ASSERT_EQ(link.Open(), 0);
    // No line-end translation, no dropped control bytes.
    std::string bytes = "pRI\tREQ\tx\r\n";
    for (int c = 0; c < 256; ++c)
        bytes += static_cast<char>(c);
    bytes += std::string(3000, 'w');
    ASSERT_EQ(link.Send(reinterpret_cast<const uint8_t*>(bytes.data()),
                        static_cast<uint32_t>(bytes.size())),
              0);
    std::string got;
    ASSERT_TRUE(test::ReadExactly(pty.Master(), bytes.size(), got));
    EXPECT_TRUE(got == bytes);
    EXPECT_FALSE(test::Readable(pty.Master(), 20));
}

TEST_F(ComLinkTest, PortHeldByAnotherOpenerIsBusy) {
    CCOM_Link first("COM7", 38400);
    CCOM_Link second("COM7", 38400);
    ASSERT_EQ(first.Open(), 0);
    EXPECT_EQ(second.Open(), APP_PORT_IS_BUSY);
    EXPECT_FALSE(second.IsOpen());
    // Opening the held link again replaces its own handle.
    EXPECT_EQ(first.Open(), 0);
    EXPECT_EQ(second.Open(), APP_PORT_IS_BUSY);
    EXPECT_EQ(first.Close(), 0);
    EXPECT_EQ(second.Open(), 0);
}

TEST_F(ComLinkTest, MissingPortsAndPortsThatAreNoTerminal) {
    CCOM_Link missing("COM8", 38400); // nothing linked as com8
    EXPECT_EQ(missing.Open(), APP_PORT_DO_NOT_EXIST);
    EXPECT_FALSE(missing.IsOpen());
    CCOM_Link notCom("LPT1", 38400);
    EXPECT_EQ(notCom.Open(), APP_PORT_DO_NOT_EXIST);

    // A device that takes no line settings: refused, and not held.
    std::string device = pty.Directory() + "/com9";
    ASSERT_EQ(symlink("/dev/null", device.c_str()), 0);
    CCOM_Link null("COM9", 38400);
    EXPECT_EQ(null.Open(), APP_PORT_CONFIG_ERROR);
    EXPECT_FALSE(null.IsOpen());
    unlink(device.c_str());
}

TEST_F(ComLinkTest, CommandExchangeThroughASession) {
    CCOM_Link link("COM7", 0);
    CommandSession session(&link);
    test::LinePeer printer(pty.Master(), 3, [](const std::string& request) {
        if (request.rfind("gDT\t", 0) == 0) return test::ResponseTo(request, 0, "0\t24.12.2024");
        return test::ResponseTo(request, 0);
    });
    ASSERT_EQ(session.Connect(), 0);
    bool drop = true;
    EXPECT_EQ(session.Execute("getDate", "0", drop), 0);
    EXPECT_FALSE(drop);
    ASSERT_NE(session.ResponseValues(), nullptr);
    EXPECT_STREQ(session.ResponseValues(), "0\t24.12.2024");
    EXPECT_EQ(session.Execute("printXReport", nullptr, drop), 0);
    printer.Join();
    ASSERT_EQ(printer.requests.size(), 3u);
    EXPECT_EQ(printer.requests[0], "CONNECT\tREQ\n");
    EXPECT_EQ(printer.requests[1], "gDT\tREQ\t0\n");
    EXPECT_EQ(printer.requests[2], "pXR\tREQ\n");
}

TEST(SerialPortNames, ComNamesMapToDevicesOnThisSystem) {
    const char* saved = std::getenv("KORVOCOMM_PORTS");
    std::string keep = saved ? saved : "";
    char path[256];

    unsetenv("KORVOCOMM_PORTS");
    ASSERT_TRUE(os::SerialSystemPath("COM1", path, sizeof path));
    EXPECT_STREQ(path, "/dev/ttyS0");
    ASSERT_TRUE(os::SerialSystemPath("cOm256", path, sizeof path));
    EXPECT_STREQ(path, "/dev/ttyS255");

    setenv("KORVOCOMM_PORTS", "/tmp", 1);
    ASSERT_TRUE(os::SerialSystemPath("COM12", path, sizeof path));
    EXPECT_STREQ(path, "/tmp/com12");
    // Not a directory: the system's own ports.
    setenv("KORVOCOMM_PORTS", "/dev/null", 1);
    ASSERT_TRUE(os::SerialSystemPath("COM3", path, sizeof path));
    EXPECT_STREQ(path, "/dev/ttyS2");

    for (const char* bad : {"COM0", "COM257", "COM01", "COM", "COM1 ", "LPT1", "", "/dev/ttyS0"})
        EXPECT_FALSE(os::SerialSystemPath(bad, path, sizeof path)) << bad;
    // Too small for the result.
    EXPECT_FALSE(os::SerialSystemPath("COM3", path, 5));

    if (saved)
        setenv("KORVOCOMM_PORTS", keep.c_str(), 1);
    else
        unsetenv("KORVOCOMM_PORTS");
}

} // namespace
} // namespace korvo
