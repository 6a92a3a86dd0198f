#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "protocol/CopyOut.h"
#include "protocol/ErrorCatalogue.h"
#include "protocol/ResultCodes.h"

namespace korvo {
namespace {

// An 8-byte buffer filled with '#', so that every byte written shows.
struct Buffer {
    Buffer() { std::memset(bytes, '#', sizeof bytes); }
    std::string Bytes() const { return std::string(bytes, sizeof bytes); }
    char bytes[8];
};

TEST(CopyOut, EnglishTextOfCodeZeroIntoSmallBuffers) {
    Buffer none, five, two, exact;
    EXPECT_EQ(FindErrorText(LANGUAGE_ENGLISH, EFP_OK, nullptr, none.bytes, 0), 3);
    EXPECT_EQ(none.Bytes(), "########");
    EXPECT_EQ(FindErrorText(LANGUAGE_ENGLISH, EFP_OK, nullptr, five.bytes, 5), 3);
    EXPECT_EQ(five.Bytes(), std::string("OK.\0\0###", 8));
    EXPECT_EQ(FindErrorText(LANGUAGE_ENGLISH, EFP_OK, nullptr, two.bytes, 2), 3);
    EXPECT_EQ(two.Bytes(), "OK######");
    // Exactly the text's length: cut before the NUL.
    EXPECT_EQ(FindErrorText(LANGUAGE_ENGLISH, EFP_OK, nullptr, exact.bytes, 3), 3);
    EXPECT_EQ(exact.Bytes(), "OK.#####");
}

TEST(CopyOut, MissingBufferBeforeNegativeSize) {
    Buffer b;
    EXPECT_EQ(CopyOut("OK.", nullptr, 5), APP_NO_OUTPUT_BUFFER);
    EXPECT_EQ(CopyOut("OK.", nullptr, 0), APP_NO_OUTPUT_BUFFER);
    EXPECT_EQ(CopyOut("OK.", nullptr, -1), APP_NO_OUTPUT_BUFFER);
    EXPECT_EQ(CopyOut("OK.", b.bytes, -1), APP_INVALID_BUFFER_LEN);
    EXPECT_EQ(CopyOut("OK.", b.bytes, INT32_MIN), APP_INVALID_BUFFER_LEN);
    EXPECT_EQ(b.Bytes(), "########");
    EXPECT_EQ(FindErrorText(LANGUAGE_SLOVAK, EFP_OK, "", nullptr, 5), APP_NO_OUTPUT_BUFFER);
    EXPECT_EQ(FindErrorText(LANGUAGE_SLOVAK, EFP_OK, "", b.bytes, -5), APP_INVALID_BUFFER_LEN);
    EXPECT_EQ(b.Bytes(), "########");
}

TEST(CopyOut, EmptyAndNullTextPadWithNul) {
    Buffer empty, null;
    EXPECT_EQ(CopyOut("", empty.bytes, 3), 0);
    EXPECT_EQ(empty.Bytes(), std::string("\0\0\0#####", 8));
    EXPECT_EQ(CopyOut(nullptr, null.bytes, 2), 0);
    EXPECT_EQ(null.Bytes(), std::string("\0\0######", 8));
}

TEST(CopyOut, CountedTextStopsAtItsLength) {
    // A piece of a longer line, as the response values are handed out.
    const char* line = "RSP\t0\tA\tB\n";
    Buffer whole, cut;
    EXPECT_EQ(CopyOut(line + 6, 3, whole.bytes, 6), 3);
    EXPECT_EQ(whole.Bytes(), std::string("A\tB\0\0\0##", 8));
    EXPECT_EQ(CopyOut(line + 6, 3, cut.bytes, 2), 3);
    EXPECT_EQ(cut.Bytes(), "A\t######");
}

} // namespace
} // namespace korvo
