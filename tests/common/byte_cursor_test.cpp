#include <gtest/gtest.h>

#include <array>

#include "common/io/byte_cursor.hpp"
#include "common/io/byte_writer.hpp"

namespace lw {
namespace {

TEST(ByteCursor, ReadsLittleEndianAndRefusesToPassTheEnd)
{
    const std::array<std::uint8_t, 7> data{0x01, 0x02, 0x03, 0x04, 0xFF, 0xFE, 0x7F};
    ByteCursor c{Bytes(data)};
    EXPECT_EQ(c.u32(), 0x04030201u);
    EXPECT_EQ(c.i16(), -257);
    EXPECT_TRUE(c.ok());
    EXPECT_EQ(c.u16(), 0u); // one byte left: refused
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(c.position(), 6u); // position unchanged by the refused read
    EXPECT_EQ(c.u8(), 0x7F);
    EXPECT_TRUE(c.atEnd());
    EXPECT_TRUE(c.bytes(1).empty());
}

TEST(ByteCursor, SubCursorIsBoundedAndSeekChecksItsTarget)
{
    const std::array<std::uint8_t, 6> data{1, 2, 3, 4, 5, 6};
    ByteCursor c{Bytes(data)};
    ByteCursor inner = c.sub(2);
    EXPECT_EQ(c.position(), 2u);
    EXPECT_EQ(inner.u16(), 0x0201u);
    EXPECT_EQ(inner.u8(), 0u);
    EXPECT_FALSE(inner.ok());
    EXPECT_TRUE(c.ok());
    EXPECT_FALSE(c.seek(7));
    EXPECT_TRUE(c.failed());
    ByteCursor d{Bytes(data)};
    ByteCursor tooLong = d.sub(7);
    EXPECT_FALSE(tooLong.ok());
    EXPECT_EQ(tooLong.size(), 0u);
}

TEST(ByteWriter, WritesLittleEndianAndPatches)
{
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.u32(0);
    w.f32(1.0f);
    w.text("ab");
    w.patchU32(0, 0xA1B2C3D4);
    const std::vector<std::uint8_t> expected{0xD4, 0xC3, 0xB2, 0xA1, 0x00, 0x00, 0x80, 0x3F, 'a', 'b', 0};
    EXPECT_EQ(out, expected);
}

} // namespace
} // namespace lw
