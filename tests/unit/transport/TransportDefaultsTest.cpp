// What both transports do before anything is opened: time allowances,
// options, device path, and calls on a closed object.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "OwnedText.h"
#include "korvocomm.h"
#include "transport/CCOM_Link.h"
#include "transport/CTcpNetwLayer.h"

namespace korvo {
namespace {

// Nothing open: no call blocks, fails or pretends to have sent.
void ExpectClosedObjectHarmless(INetworkLayer& t) {
    EXPECT_EQ(t.Close(), 0);
    EXPECT_EQ(t.Close(), 0);
    uint8_t buffer[16] = "CONNECT\tREQ\n";
    EXPECT_EQ(t.BytesAvailable(), 0u);
    EXPECT_EQ(t.Receive(buffer, sizeof buffer), 0);
    t.PurgeReceive();
    EXPECT_EQ(t.Send(buffer, 12), APP_CAN_NOT_SEND_DATA);
    EXPECT_FALSE(t.HasFailed());
    EXPECT_EQ(t.GetFailureCode(), 0);
}

TEST(TcpDefaults, TransferTimeAndDnsOption) {
    CTcpNetwLayer tcp(test::OwnedText("127.0.0.1"), 49999);
    EXPECT_EQ(tcp.GetExtraResponseTime(), 3000u);
    EXPECT_TRUE(tcp.SetTransferTime(250));
    EXPECT_EQ(tcp.GetExtraResponseTime(), 500u);

    EXPECT_EQ(tcp.GetOption(OPTION_DNS_CONNECT_MODE), 0);
    EXPECT_TRUE(tcp.SetOption(OPTION_DNS_CONNECT_MODE, 2));
    EXPECT_EQ(tcp.GetOption(OPTION_DNS_CONNECT_MODE), 2);
    EXPECT_FALSE(tcp.SetOption(OPTION_DNS_CONNECT_MODE, 3));
    EXPECT_FALSE(tcp.SetOption(OPTION_DNS_CONNECT_MODE, 0xFFFFFFFFu));
    EXPECT_EQ(tcp.GetOption(OPTION_DNS_CONNECT_MODE), 2);
    EXPECT_TRUE(tcp.SetOption(OPTION_DNS_CONNECT_MODE, 1));
    EXPECT_EQ(tcp.GetOption(OPTION_DNS_CONNECT_MODE), 1);
    EXPECT_FALSE(tcp.SetOption(5, 0));
    EXPECT_EQ(tcp.GetOption(5), -1);
    EXPECT_EQ(tcp.GetOption(0), -1);
}

TEST(TcpDefaults, ClosedObject) {
    CTcpNetwLayer tcp(test::OwnedText("printer"), 7000);
    EXPECT_STREQ(tcp.HostText(), "printer");
    EXPECT_EQ(tcp.Port(), 7000);
    ExpectClosedObjectHarmless(tcp);
}

TEST(ComDefaults, PortNameAndSpeed) {
    CCOM_Link com("com3", 0);
    EXPECT_STREQ(com.PortName(), "com3");
    EXPECT_EQ(com.BaudRate(), 38400u);
    CCOM_Link fast("COM12", 115200);
    EXPECT_STREQ(fast.PortName(), "COM12");
    EXPECT_EQ(fast.BaudRate(), 115200u);

    // A name too long for the device path is cut, never written past it.
    std::string longName = "COM1" + std::string(400, 'x');
    CCOM_Link cut(longName.c_str(), 9600);
    ASSERT_EQ(std::strlen(cut.PortName()), 195u);
    EXPECT_EQ(std::string(cut.PortName()), longName.substr(0, 195));

    CCOM_Link none(nullptr, 9600);
    EXPECT_STREQ(none.PortName(), "");
}

TEST(ComDefaults, TransferTimeOptionsAndClosedObject) {
    CCOM_Link com("COM3", 38400);
    EXPECT_EQ(com.GetExtraResponseTime(), 0u);
    EXPECT_TRUE(com.SetTransferTime(300));
    EXPECT_EQ(com.GetExtraResponseTime(), 600u);
    EXPECT_FALSE(com.SetOption(OPTION_DNS_CONNECT_MODE, 1));
    EXPECT_EQ(com.GetOption(OPTION_DNS_CONNECT_MODE), -1);
    ExpectClosedObjectHarmless(com);
}

} // namespace
} // namespace korvo
