#include <gtest/gtest.h>

#include <string>

#include "FakeLibrary.h"
#include "tool/ConsoleFormats.h"

namespace korvo {
namespace {

std::string Stamp(int64_t utc, int32_t ms, int32_t west, bool dst) {
    test::CapturedConsole c;
    PrintTimeStamp(c.File(), os::WallClock{utc, ms, west, dst});
    return c.Text();
}

std::string Duration(uint32_t ms, bool newLine = false) {
    test::CapturedConsole c;
    PrintDuration(c.File(), ms, newLine);
    return c.Text();
}

std::string Result(int32_t code, bool byName) {
    char text[kResultTextSize];
    FormatResultText(test::FakeLibraryCalls(), code, byName, text);
    return text;
}

// 2024-03-05 09:05:07 UTC
constexpr int64_t kMorning = 1709629507;

TEST(ConsoleFormatsTest, TimeStampFromUtcOffsetAndDaylightSaving) {
    EXPECT_EQ(Stamp(kMorning, 42, 0, false), "(9:05:07,042) ");
    // Central Europe: 60 minutes east, and one hour more in summer.
    EXPECT_EQ(Stamp(kMorning, 999, -60, false), "(10:05:07,999) ");
    EXPECT_EQ(Stamp(kMorning, 0, -60, true), "(11:05:07,000) ");
    // West of UTC across midnight, and half-hour zones.
    EXPECT_EQ(Stamp(kMorning, 5, 600, false), "(23:05:07,005) ");
    EXPECT_EQ(Stamp(kMorning, 5, -330, false), "(14:35:07,005) ");
    // Daylight saving hour past midnight wraps to 0.
    EXPECT_EQ(Stamp(kMorning + 13 * 3600 + 55 * 60, 1, 0, true), "(0:00:07,001) ");
}

TEST(ConsoleFormatsTest, Durations) {
    EXPECT_EQ(Duration(0), " (+ 0'00,000\") ");
    EXPECT_EQ(Duration(61234), " (+ 1'01,234\") ");
    EXPECT_EQ(Duration(3723004), " (+ 62'03,004\") "); // minutes not reduced
    EXPECT_EQ(Duration(0xFFFFFFFFu), " (+ 71582'47,295\") ");
    EXPECT_EQ(Duration(999, true), "\n (+ 0'00,999\") ");
}

TEST(ConsoleFormatsTest, ResultTexts) {
    EXPECT_EQ(Result(0, false), "0");
    EXPECT_EQ(Result(-65535, false), "-65535");
    EXPECT_EQ(Result(65535, false), "65535");
    EXPECT_EQ(Result(65536, false), "0x10000");
    EXPECT_EQ(Result(-65536, false), "0xffff0000");
    EXPECT_EQ(Result(INT32_MIN, false), "0x80000000");
    EXPECT_EQ(Result(217, true), "EFP_BAD_VAT");
    EXPECT_EQ(Result(0, true), "EFP_OK");
    EXPECT_EQ(Result(test::kCodeWithEmptyName, true), "1234");
    EXPECT_EQ(Result(70000, true), "0x11170"); // no row
}

} // namespace
} // namespace korvo
