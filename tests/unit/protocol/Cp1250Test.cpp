#include <gtest/gtest.h>

#include <string>

#include "protocol/errors/Cp1250.h"

namespace korvo {
namespace {

TEST(Cp1250, AsciiPassesUnchanged) {
    std::string out, error;
    const std::string ascii = "OK. \"connecting\" <= 0, 100% [row, column]\t~";
    ASSERT_TRUE(Utf8ToCp1250(ascii, out, error)) << error;
    EXPECT_EQ(out, ascii);
}

TEST(Cp1250, SlovakLettersAndPunctuation) {
    std::string out, error;
    ASSERT_TRUE(Utf8ToCp1250("áäčďéíĺľňóôŕšťúýž", out, error)) << error;
    EXPECT_EQ(out, "\xE1\xE4\xE8\xEF\xE9\xED\xE5\xBE\xF2\xF3\xF4\xE0\x9A\x9D\xFA\xFD\x9E");
    out.clear();
    ASSERT_TRUE(Utf8ToCp1250("ÁÄČĎÉÍĹĽŇÓÔŔŠŤÚÝŽ", out, error)) << error;
    EXPECT_EQ(out, "\xC1\xC4\xC8\xCF\xC9\xCD\xC5\xBC\xD2\xD3\xD4\xC0\x8A\x8D\xDA\xDD\x8E");
    out.clear();
    // No-break space, en dash, euro sign, low and high double quotes.
    ASSERT_TRUE(Utf8ToCp1250("s\u00A0t \u2013 \u20AC\u201E\u201C", out, error)) << error;
    EXPECT_EQ(out, "s\xA0t \x96 \x80\x84\x93");
}

TEST(Cp1250, RefusesCharactersTheCodePageLacks) {
    // ñ, a right arrow, a four-byte character, À (Windows-1252 has it, 1250 not).
    for (const char* text : {"Se\u00F1al", "a\u2192b", "x\U0001F600", "\u00C0"}) {
        std::string out, error;
        EXPECT_FALSE(Utf8ToCp1250(text, out, error)) << text;
        EXPECT_NE(error.find("no Windows-1250 byte"), std::string::npos) << error;
    }
    std::string out, error;
    EXPECT_FALSE(Utf8ToCp1250("Se\u00F1al", out, error));
    EXPECT_NE(error.find("U+00F1 at byte 2"), std::string::npos) << error;
    EXPECT_EQ(out, "Se");
}

TEST(Cp1250, RefusesMalformedUtf8) {
    const char* const malformed[] = {
        "\x80",         // continuation byte without a lead
        "a\xC5",        // sequence cut short by the end
        "\xC5z",        // lead byte followed by ASCII
        "\xC1\xA1",     // overlong 'a'
        "\xE0\x80\xA0", // overlong space
        "\xED\xA0\x80", // surrogate half
        "\xF5\x80\x80\x80",
        "\xFF",
    };
    for (const char* text : malformed) {
        std::string out, error;
        EXPECT_FALSE(Utf8ToCp1250(text, out, error)) << ::testing::PrintToString(text);
        EXPECT_FALSE(error.empty());
    }
}

TEST(Cp1250, BackToUtf8RoundTripsEveryDefinedByte) {
    int defined = 0;
    for (int b = 1; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        std::string utf8, back, error;
        if (!Cp1250ToUtf8(byte, utf8)) {
            EXPECT_TRUE(b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98) << b;
            continue;
        }
        ++defined;
        ASSERT_TRUE(Utf8ToCp1250(utf8, back, error)) << b << ": " << error;
        EXPECT_EQ(back, byte) << b;
    }
    EXPECT_EQ(defined, 250);
    std::string utf8;
    ASSERT_TRUE(Cp1250ToUtf8("s\xA0" "fi\x9Ak\xE1lnou \x96 \x80", utf8));
    EXPECT_EQ(utf8, "s\u00A0fi\u0161k\u00E1lnou \u2013 \u20AC");
}

} // namespace
} // namespace korvo
