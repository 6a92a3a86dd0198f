#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ExportTestSupport.h"
#include "korvocomm.h"
#include "protocol/ConfigDefaults.h"

namespace korvo {
namespace {

using test::AnsweringTransport;
using test::AttachConnection;
using test::AttachedTransport;

class ConfigExports : public ::testing::Test {
protected:
    void TearDown() override {
        globalLinkTransferTime = 0;
        globalExtendResponseTime = 0;
        globalDnsConnectMode = -1;
    }
    std::string Get(int32_t handle, const char* key, int32_t* result = nullptr) {
        char buffer[16] = {};
        int32_t r = GetConfigValue(handle, key, buffer, sizeof buffer);
        if (result) *result = r;
        return r >= 0 ? std::string(buffer) : "<" + std::to_string(r) + ">";
    }
};

TEST_F(ConfigExports, ProcessWideValuesReachOnlyLaterConnections) {
    int32_t before = AttachConnection(AnsweringTransport());
    EXPECT_EQ(SetConfigValue(0, "link_transfer_time", "250"), 0);
    EXPECT_EQ(SetConfigValue(0, "EXTEND_RESPONSE_TIME", "40"), 0);
    AttachedTransport* t = AnsweringTransport();
    int32_t after = AttachConnection(t);
    EXPECT_EQ(Get(0, "link_transfer_time"), "250");
    EXPECT_EQ(Get(after, "link_transfer_time"), "250");
    EXPECT_EQ(Get(after, "extend_response_time"), "40");
    EXPECT_EQ(Get(before, "link_transfer_time"), "0");
    EXPECT_EQ(t->transferTimes, std::vector<uint32_t>{250});
    // Per connection: its own copy, handed to its transport (0 included).
    EXPECT_EQ(SetConfigValue(after, "link_transfer_time", "0"), 0);
    EXPECT_EQ(t->transferTimes.back(), 0u);
    EXPECT_EQ(Get(after, "link_transfer_time"), "0");
    EXPECT_EQ(Get(0, "link_transfer_time"), "250");
    Disconnect(before);
    Disconnect(after);
}

TEST_F(ConfigExports, NextCommandTimeOnlyPerConnection) {
    int32_t r = 0;
    EXPECT_EQ(SetConfigValue(0, "next_cmd_time", "500"), APP_DYNAMIC_ONLY_CFG_VALUE);
    EXPECT_EQ(GetConfigValue(0, "next_cmd_time", nullptr, 0), APP_NO_OUTPUT_BUFFER);
    Get(0, "next_cmd_time", &r);
    EXPECT_EQ(r, APP_DYNAMIC_ONLY_CFG_VALUE);

    int32_t h = AttachConnection(AnsweringTransport());
    EXPECT_EQ(SetConfigValue(h, "next_cmd_time", "99"), APP_CFG_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(SetConfigValue(h, "next_cmd_time", "1800001"), APP_CFG_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(SetConfigValue(h, "next_cmd_time", "1800000"), 0);
    EXPECT_EQ(Get(h, "next_cmd_time"), "1800000");
    EXPECT_EQ(SetConfigValue(h, "next_cmd_time", "0"), 0); // cancels it
    EXPECT_EQ(Get(h, "next_cmd_time"), "0");
    EXPECT_EQ(SetConfigValue(h, "next_cmd_time", "5000"), 0);
    EXPECT_EQ(SendCommand(h, "pXR", nullptr), 0); // spends it
    EXPECT_EQ(Get(h, "next_cmd_time"), "0");
    Disconnect(h);
}

TEST_F(ConfigExports, DnsConnectModeIsProcessWideAndReadFromTheTransport) {
    char buffer[4];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetConfigValue(0, "dns_connect_mode", buffer, 1), 2);
    EXPECT_EQ(buffer[0], '-');
    EXPECT_EQ(buffer[1], 'x');
    EXPECT_EQ(Get(0, "dns_connect_mode"), "-1");
    EXPECT_EQ(SetConfigValue(0, "dns_connect_mode", "3"), APP_CFG_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(SetConfigValue(0, "dns_connect_mode", "0"), 0);

    AttachedTransport* tcpLike = AnsweringTransport();
    tcpLike->dnsOption = 2; // a transport that has the option
    int32_t tcp = AttachConnection(tcpLike);
    EXPECT_EQ(Get(tcp, "dns_connect_mode"), "0");
    EXPECT_EQ(SetConfigValue(tcp, "dns_connect_mode", "1"), APP_STATIC_ONLY_CFG_VALUE);
    EXPECT_EQ(Get(tcp, "dns_connect_mode"), "0");

    int32_t serial = AttachConnection(AnsweringTransport()); // no such option
    int32_t r = 0;
    Get(serial, "dns_connect_mode", &r);
    EXPECT_EQ(r, APP_UNKNOWN_CFG_VALUE);
    Disconnect(tcp);
    Disconnect(serial);
}

TEST_F(ConfigExports, OrderOfChecksAndCodes) {
    char buffer[16];
    // Handle first, then the key, the value or buffer, the size, the name.
    EXPECT_EQ(SetConfigValue(-1, nullptr, nullptr), APP_INVALID_HANDLE);
    EXPECT_EQ(GetLastComError(0), APP_INVALID_HANDLE);
    EXPECT_EQ(SetConfigValue(0, nullptr, nullptr), APP_INVALID_CFG_NAME);
    EXPECT_EQ(SetConfigValue(0, "unknown", nullptr), APP_INVALID_CFG_VALUE);
    EXPECT_EQ(SetConfigValue(0, "link_transfer_time ", "5"), APP_UNKNOWN_CFG_VALUE);
    EXPECT_EQ(GetLastComError(0), APP_UNKNOWN_CFG_VALUE);
    EXPECT_EQ(GetConfigValue(0, nullptr, nullptr, -1), APP_INVALID_CFG_NAME);
    EXPECT_EQ(GetConfigValue(0, "unknown", nullptr, -1), APP_NO_OUTPUT_BUFFER);
    EXPECT_EQ(GetConfigValue(0, "unknown", buffer, -1), APP_INVALID_BUFFER_LEN);
    EXPECT_EQ(GetConfigValue(0, "unknown", buffer, 16), APP_UNKNOWN_CFG_VALUE);

    int32_t h = AttachConnection(AnsweringTransport());
    EXPECT_EQ(SetConfigValue(h, nullptr, "5"), APP_INVALID_CFG_NAME);
    EXPECT_EQ(SetConfigValue(h, "unknown", nullptr), APP_INVALID_CFG_VALUE);
    EXPECT_EQ(SetConfigValue(h, "unknown", "5"), APP_UNKNOWN_CFG_VALUE);
    EXPECT_EQ(SetConfigValue(h, "link_transfer_time", "5001"), APP_CFG_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(SetConfigValue(h, "link_transfer_time", " 5"), APP_WRONG_CFG_VALUE);
    EXPECT_EQ(GetConfigValue(h, "link_transfer_time", buffer, sizeof buffer), 1); // rejected values change nothing
    EXPECT_STREQ(buffer, "0");
    EXPECT_EQ(GetLastComError(0), 1); // the length is stored too
    Disconnect(h);
    int32_t claimed = Connections().AllocateHandle();
    EXPECT_EQ(SetConfigValue(claimed, "link_transfer_time", "5"), APP_DISCONNECTED);
    EXPECT_EQ(GetConfigValue(claimed, "link_transfer_time", buffer, 16), APP_DISCONNECTED);
    Connections().ReleaseHandle(claimed);
}

} // namespace
} // namespace korvo
