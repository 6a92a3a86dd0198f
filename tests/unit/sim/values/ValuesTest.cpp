// Amounts and dates as the printer reads and writes them.
#include <gtest/gtest.h>

#include "sim/values/Amount.h"
#include "sim/values/CivilTime.h"

namespace korvo::sim {
namespace {

TEST(Amounts, ReadAndWritten) {
    int64_t v = 0;
    EXPECT_TRUE(ParseAmount("12", v));
    EXPECT_EQ(v, 12000);
    EXPECT_TRUE(ParseAmount("0.5", v));
    EXPECT_EQ(v, 500);
    EXPECT_TRUE(ParseAmount("-1.125", v));
    EXPECT_EQ(v, -1125);
    EXPECT_TRUE(ParseAmount("999999999.999", v));
    for (const char* bad :
         {"", "-", "1.", ".5", "1,5", " 1", "1 ", "+1", "1.0001", "1e3", "1234567890", "--1"})
        EXPECT_FALSE(ParseAmount(bad, v)) << bad;
    char text[32];
    FormatMoney(-200, text, sizeof text);
    EXPECT_STREQ(text, "-0.20");
    FormatMoney(1234560, text, sizeof text);
    EXPECT_STREQ(text, "1234.56");
    FormatQuantity(2000, text, sizeof text);
    EXPECT_STREQ(text, "2");
    FormatQuantity(1250, text, sizeof text);
    EXPECT_STREQ(text, "1.25");
    FormatQuantity(7, text, sizeof text);
    EXPECT_STREQ(text, "0.007");
    EXPECT_EQ(DivideRounded(5, 10), 1);
    EXPECT_EQ(DivideRounded(-5, 10), -1);
    EXPECT_EQ(DivideRounded(4, 10), 0);
}

TEST(Dates, ReadWrittenAndChecked) {
    int64_t s = 0;
    ASSERT_TRUE(ParseDateTime("2024-02-29T23:59:59", s));
    char text[32];
    FormatDateTime(s, text, sizeof text);
    EXPECT_STREQ(text, "2024-02-29T23:59:59");
    FormatDateTime(s + 1, text, sizeof text);
    EXPECT_STREQ(text, "2024-03-01T00:00:00");
    ASSERT_TRUE(ParseDateTime("2025-01-01 08:30", s));
    FormatDateTime(s, text, sizeof text);
    EXPECT_STREQ(text, "2025-01-01T08:30:00");
    for (const char* bad :
         {"2025-02-29T00:00:00", "2025-13-01T00:00:00", "2025-01-01", "1999-12-31T23:59:59",
          "2025-01-01T24:00:00", "2025-1-01T00:00", "2025-01-01T00:00:00Z"})
        EXPECT_FALSE(ParseDateTime(bad, s)) << bad;
}

} // namespace
} // namespace korvo::sim
