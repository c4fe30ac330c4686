// The per-type list files: what a user writes and what the converters see.
#include <gtest/gtest.h>

#include <string>

#include "modshift/objects/list_file.hpp"
#include "object_fixture.hpp"

namespace lw::test {
namespace {

using lw::modshift::ListTable;

std::span<const std::uint8_t> bytesOf(std::string_view s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(ListFile, ReadsIdentifiersAndHexValuesLineByLine)
{
    ListTable t;
    ASSERT_TRUE(t.parse(bytesOf("ex_rock_01=0x0001A2B3\r\nfurn_bench=0X00ABCDEF\nlast=0x10")));
    EXPECT_EQ(t.size(), 3u);
    EXPECT_EQ(t.lookup("ex_rock_01"), 0x0001A2B3u);
    EXPECT_EQ(t.lookup("furn_bench"), 0x00ABCDEFu);
    EXPECT_EQ(t.lookup("last"), 0x10u);
    EXPECT_EQ(t.lookup("EX_ROCK_01"), 0u) << "case-sensitive";
    EXPECT_EQ(t.lookup("ex_rock"), 0u);
}

TEST(ListFile, ZeroFollowedByHexDigitsIsHexWithoutThePrefix)
{
    ListTable t;
    ASSERT_TRUE(t.parse(bytesOf("a=01F\nb=0x0\nc=0\nd=00000012\n")));
    EXPECT_EQ(t.lookup("a"), 0x1Fu);
    EXPECT_EQ(t.lookup("b"), 0u) << "value 0 is dropped";
    EXPECT_EQ(t.lookup("d"), 0x12u);
    EXPECT_EQ(t.size(), 2u);
}

TEST(ListFile, BlankAfterEqualsMakesTheWholeListEmpty)
{
    ListTable t;
    EXPECT_FALSE(t.parse(bytesOf("good=0x10\nbad= 0x20\nlater=0x30\n")));
    EXPECT_EQ(t.size(), 0u);
    EXPECT_EQ(t.lookup("good"), 0u) << "entries before the bad line are dropped too";
}

TEST(ListFile, ValueWithoutZeroOrXIsMalformed)
{
    ListTable t;
    EXPECT_FALSE(t.parse(bytesOf("a=0x10\nb=12\n")));
    EXPECT_EQ(t.size(), 0u);
    // "x" as the second character is accepted whatever the first is.
    ASSERT_TRUE(t.parse(bytesOf("a=1x5\n")));
    EXPECT_EQ(t.lookup("a"), 1u) << "reading stops at the x";
    EXPECT_FALSE(t.parse(bytesOf("a=\n"))) << "an empty value";
    EXPECT_FALSE(t.parse(bytesOf("a="))) << "an empty value at the end";
}

TEST(ListFile, BlankBeforeEqualsStaysInTheIdentifier)
{
    ListTable t;
    ASSERT_TRUE(t.parse(bytesOf("rock =0x10\n")));
    EXPECT_EQ(t.lookup("rock"), 0u);
    EXPECT_EQ(t.lookup("rock "), 0x10u);
}

TEST(ListFile, FirstEntryWinsAndTextWithoutEqualsIsDropped)
{
    ListTable t;
    ASSERT_TRUE(t.parse(bytesOf("a=0x1\na=0x2\n\n\ntrailing words")));
    EXPECT_EQ(t.size(), 2u);
    EXPECT_EQ(t.lookup("a"), 1u);
    EXPECT_EQ(t.lookup("trailing words"), 0u);
}

TEST(ListFile, AHighByteEndsTheLine)
{
    ListTable t;
    ASSERT_TRUE(t.parse(bytesOf("a=0x12 comment \xE9 b=0x5\nc=0x7")));
    EXPECT_EQ(t.lookup("a"), 0x12u);
    EXPECT_EQ(t.lookup("c"), 0x7u);
    // After the high byte the rest (" b") starts the next entry's identifier.
    EXPECT_EQ(t.lookup(" b"), 0x5u);
}

TEST(ListFile, ValuesBeyondThirtyTwoBitsSaturate)
{
    ListTable t;
    ASSERT_TRUE(t.parse(bytesOf("a=0x123456789\n")));
    EXPECT_EQ(t.lookup("a"), 0xFFFFFFFFu);
}

TEST(ListFile, LongListsKeepEveryEntry)
{
    std::string text;
    for (int i = 1; i <= 1500; ++i)
        text += "id" + std::to_string(i) + "=0x" + std::to_string(i) + "\n";
    ListTable t;
    ASSERT_TRUE(t.parse(bytesOf(text)));
    EXPECT_EQ(t.size(), 1500u);
    EXPECT_EQ(t.lookup("id999"), 0x999u);
    EXPECT_EQ(t.lookup("id1000"), 0x1000u);
    EXPECT_EQ(t.lookup("id1500"), 0x1500u);
}

TEST(ListFile, LoadsThroughThePlatformAndEmptiesOnAMissingFile)
{
    StubPlatform p;
    p.put("P:\\prog\\statics.ini", "rock=0x00012345\n");
    ListTable t;
    EXPECT_TRUE(t.load(p, "P:\\prog\\statics.ini"));
    EXPECT_EQ(t.lookup("rock"), 0x12345u);
    EXPECT_FALSE(t.load(p, "P:\\prog\\missing.ini"));
    EXPECT_EQ(t.size(), 0u);
}

} // namespace
} // namespace lw::test
