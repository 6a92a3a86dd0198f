#include <gtest/gtest.h>

#include "protocol/ConfigValues.h"
#include "protocol/ResultCodes.h"

namespace korvo {
namespace {

TEST(FindConfigKey, KeysInAnyLetterCaseOnly) {
    EXPECT_EQ(FindConfigKey("next_cmd_time"), CONFIG_NEXT_CMD_TIME);
    EXPECT_EQ(FindConfigKey("LINK_TRANSFER_TIME"), CONFIG_LINK_TRANSFER_TIME);
    EXPECT_EQ(FindConfigKey("Extend_Response_Time"), CONFIG_EXTEND_RESPONSE_TIME);
    EXPECT_EQ(FindConfigKey("dns_connect_mode"), CONFIG_DNS_CONNECT_MODE);
    EXPECT_EQ(FindConfigKey("link_transfer_time "), CONFIG_NONE);
    EXPECT_EQ(FindConfigKey(" link_transfer_time"), CONFIG_NONE);
    EXPECT_EQ(FindConfigKey(""), CONFIG_NONE);
}

TEST(ParseConfigValue, AcceptedTexts) {
    int32_t v = -1;
    EXPECT_EQ(ParseConfigValue("0100", 100, 1800000, v), 0);
    EXPECT_EQ(v, 100);
    EXPECT_EQ(ParseConfigValue("000", 100, 1800000, v), 0);
    EXPECT_EQ(v, 0); // zero is accepted below the minimum
    EXPECT_EQ(ParseConfigValue("0000000005", 0, 5000, v), 0);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(ParseConfigValue("5000", 0, 5000, v), 0);
    EXPECT_EQ(v, 5000);
    EXPECT_EQ(ParseConfigValue("1800000", 100, 1800000, v), 0);
    EXPECT_EQ(v, 1800000);
    EXPECT_EQ(ParseConfigValue("999999999", 0, 999999999, v), 0);
    EXPECT_EQ(v, 999999999);
}

TEST(ParseConfigValue, RefusedTextsLeaveTheTargetAlone) {
    const char* malformed[] = {"", "+5", " 5", "5 ", "-0", "-5", "5.0", "5\n", "1234567890", "0001234567890", "x"};
    for (const char* text : malformed) {
        int32_t v = 42;
        EXPECT_EQ(ParseConfigValue(text, 0, 5000, v), APP_WRONG_CFG_VALUE) << "'" << text << "'";
        EXPECT_EQ(v, 42);
    }
    int32_t v = 42;
    EXPECT_EQ(ParseConfigValue("99", 100, 1800000, v), APP_CFG_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(ParseConfigValue("1800001", 100, 1800000, v), APP_CFG_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(ParseConfigValue("5001", 0, 5000, v), APP_CFG_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(ParseConfigValue("3", 0, 2, v), APP_CFG_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(v, 42);
}

} // namespace
} // namespace korvo
