#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/socket.h"
#include "transport/HostAddress.h"

namespace korvo {
namespace {

// The numeric checks go through the socket library, which Windows wants
// started first.
class HostAddressTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        uint16_t version = 0;
        ASSERT_EQ(os::SocketsStartup(version), 0);
    }
    static void TearDownTestSuite() { os::SocketsCleanup(); }
};

TEST_F(HostAddressTest, AcceptedAddresses) {
    struct Case {
        const char* input;
        const char* host;
        int32_t port;
    };
    const Case cases[] = {
        {"192.168.1.20:5000", "192.168.1.20", 5000},
        {"192.168.1.20", "192.168.1.20", 49999},
        {"127.0.0.1:65535", "127.0.0.1", 65535},
        {"127.1:8080", "127.1", 8080}, // short and hexadecimal IPv4 forms
        {"0x7f.0.0.1", "0x7f.0.0.1", 49999},
        {"tcp://printer.local:7000", "printer.local", 7000},
        {"TcP://10.0.0.5:6001", "10.0.0.5", 6001},
        {"TCP://kasa", "kasa", 49999},
        {"[::1]:6000", "::1", 6000},
        {"tcp://[fe80::1:2]", "fe80::1:2", 49999},
        {"::1", "::1", 49999},
        {"2001:db8::10", "2001:db8::10", 49999},
        {"printer", "printer", 49999},
        {"Pokladna-2.shop_lan:1", "Pokladna-2.shop_lan", 1},
        {"fp9:65535", "fp9", 65535},
        {"a", "a", 49999},
    };
    for (const Case& c : cases) {
        char out[64];
        std::memset(out, '#', sizeof out);
        int32_t port = -7;
        ASSERT_TRUE(ParseHostAddress(c.input, out, sizeof out, port)) << c.input;
        EXPECT_STREQ(out, c.host) << c.input;
        EXPECT_EQ(port, c.port) << c.input;
    }
}

TEST_F(HostAddressTest, RefusedAddresses) {
    const char* refused[] = {
        "printer:123456", "printer:000080", // ports longer than 5 characters
        "printer:0",      "printer:70000",  "printer:65536", "printer:",  "printer:8o",
        "printer:-1",     "1printer",       "printer-",      "prin ter",  "printer.",
        " printer",       "printer!x",      "_printer",      "300.1.2.3", "1.2.3.4:0",
        "1.2.3.4:",       "[::1]:0",        "[::1]:70000",   "[::1]:",    "[::1]x",
        "[::1",           "TCP://",         "TCP:/kasa",     "",
    };
    for (const char* text : refused) {
        char out[64];
        int32_t port = 12345;
        EXPECT_FALSE(ParseHostAddress(text, out, sizeof out, port)) << '"' << text << '"';
        // A refused address never hands out a port, even when its own part was fine.
        EXPECT_LE(port, 0) << '"' << text << '"';
    }
}

TEST_F(HostAddressTest, OutputCapacityAndMissingArguments) {
    char out[8];
    int32_t port = 5;
    EXPECT_FALSE(ParseHostAddress("printer", out, 7, port)); // 7 characters need 8 bytes
    EXPECT_EQ(port, 0);
    ASSERT_TRUE(ParseHostAddress("tcp://printer", out, 8, port)); // the prefix does not count
    EXPECT_STREQ(out, "printer");
    EXPECT_FALSE(ParseHostAddress(nullptr, out, 8, port));
    EXPECT_FALSE(ParseHostAddress("printer", nullptr, 8, port));
}

TEST(ParsePort, CutsTheLastColonOff) {
    char text[] = "a:b:8080";
    EXPECT_EQ(ParsePort(text), 8080);
    EXPECT_STREQ(text, "a:b");
    char plain[] = "printer";
    EXPECT_EQ(ParsePort(plain), 49999);
    EXPECT_STREQ(plain, "printer");
    char bad[] = "x:12z";
    EXPECT_EQ(ParsePort(bad), -1);
    EXPECT_STREQ(bad, "x"); // cut even when the port is refused
    char empty[] = "";
    EXPECT_EQ(ParsePort(empty), -1);
    EXPECT_EQ(ParsePort(nullptr), -1);
}

} // namespace
} // namespace korvo
