#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "tool/CMyFile.h"

namespace korvo {
namespace {

using test::TempDir;

TEST(CMyFileTest, OpenFailuresCarryWindowsErrorNumbers) {
    TempDir dir;
    CMyFile f;
    EXPECT_FALSE(f.Open(dir.File("missing.txt").c_str(), true));
    EXPECT_EQ(f.LastError(), 2u);
    EXPECT_FALSE(f.Open(dir.File("no-folder/missing.txt").c_str(), true));
    EXPECT_EQ(f.LastError(), 3u);
    EXPECT_FALSE(f.Open(dir.File("no-folder/new.txt").c_str(), false));
    EXPECT_EQ(f.LastError(), 3u);
    // A folder is never opened as a file.
    EXPECT_FALSE(f.Open(dir.Path().string().c_str(), true));
    EXPECT_EQ(f.LastError(), 5u);
    EXPECT_FALSE(f.Open(dir.Path().string().c_str(), false));
    EXPECT_EQ(f.LastError(), 5u);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.GetSize(), 0u);
    EXPECT_EQ(f.GetPosition(), 0u);
    EXPECT_FALSE(f.Seek(0, 0));
    EXPECT_FALSE(f.Flush());
    EXPECT_FALSE(f.SetEnd());
    EXPECT_FALSE(f.Close());
}

TEST(CMyFileTest, OpenForWritingCreatesOrOpensWithoutError) {
    TempDir dir;
    std::string name = dir.File("out.txt");
    CMyFile f;
    ASSERT_TRUE(f.Open(name.c_str(), false));
    EXPECT_EQ(f.LastError(), 0u);
    EXPECT_FALSE(f.IsReadOnly());
    EXPECT_EQ(f.Write("hello", 5), 5u);
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(TempDir::Read(name), "hello");

    // Existing: opened at its start, contents kept, and "already exists" is
    // not left behind as an error.
    ASSERT_TRUE(f.Open(name.c_str(), false));
    EXPECT_EQ(f.LastError(), 0u);
    EXPECT_EQ(f.GetPosition(), 0u);
    EXPECT_EQ(f.GetSize(), 5u);
    EXPECT_EQ(f.Write("J", 1), 1u);
    f.Close();
    EXPECT_EQ(TempDir::Read(name), "Jello");
}

TEST(CMyFileTest, SeekPositionAndSetEnd) {
    TempDir dir;
    std::string name = dir.Write("data.bin", "0123456789");
    CMyFile f;
    ASSERT_TRUE(f.Open(name.c_str(), false));
    EXPECT_TRUE(f.Seek(-3, 2));
    EXPECT_EQ(f.GetPosition(), 7u);
    EXPECT_TRUE(f.Seek(-2, 1));
    EXPECT_EQ(f.GetPosition(), 5u);
    EXPECT_TRUE(f.Seek(4, 99)); // any other origin counts from the start
    EXPECT_EQ(f.GetPosition(), 4u);
    EXPECT_FALSE(f.Seek(-1, 0));
    EXPECT_NE(f.LastError(), 0u);
    EXPECT_EQ(f.GetPosition(), 4u);
    EXPECT_TRUE(f.SetEnd());
    EXPECT_EQ(f.GetSize(), 4u);
    EXPECT_TRUE(f.Seek(0, 0));
    EXPECT_TRUE(f.SetEnd());
    EXPECT_EQ(f.GetSize(), 0u);
    f.Close();
    EXPECT_EQ(TempDir::Read(name), "");
}

TEST(CMyFileTest, ReadOnlyFile) {
    TempDir dir;
    std::string name = dir.Write("in.txt", "abc\r\ndef");
    CMyFile f;
    ASSERT_TRUE(f.Open(name.c_str(), true));
    EXPECT_TRUE(f.IsReadOnly());
    EXPECT_EQ(f.GetSize(), 8u);
    char buffer[16] = {};
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 8u);
    EXPECT_STREQ(buffer, "abc\r\ndef");
    EXPECT_EQ(f.Read(buffer, sizeof buffer), 0u);
    // Writing through a read-only handle is refused.
    EXPECT_EQ(f.Write("x", 1), 0u);
    EXPECT_EQ(f.LastError(), 5u);
    EXPECT_FALSE(f.Flush());
    EXPECT_EQ(f.LastError(), 5u);
    EXPECT_FALSE(f.SetEnd());
    // Open closes what was open before.
    ASSERT_TRUE(f.Open(name.c_str(), true));
    EXPECT_EQ(f.GetPosition(), 0u);
    EXPECT_TRUE(f.Close());
    EXPECT_FALSE(f.Close());
    EXPECT_EQ(f.LastError(), 0u);
    EXPECT_EQ(TempDir::Read(name), "abc\r\ndef");
}

TEST(CMyFileTest, SizeBeyondFourGigabytesIsNeverTakenForASmallOne) {
    TempDir dir;
    std::string name = dir.File("huge.bin");
    { std::ofstream(name, std::ios::binary) << "x"; }
    std::error_code error;
    std::filesystem::resize_file(name, (uint64_t(1) << 32) + 5, error); // sparse
    if (error) GTEST_SKIP() << "no sparse files here";
    CMyFile f;
    ASSERT_TRUE(f.Open(name.c_str(), true));
    EXPECT_EQ(f.GetSize(), 0xFFFFFFFFu);
}

} // namespace
} // namespace korvo
