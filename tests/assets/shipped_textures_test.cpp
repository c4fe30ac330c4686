// The textures the build puts into the program folder: "template_n.dds" and
// "iconWeap.dds" must be DDS files a game and an image tool can read.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <vector>

#include "support/temp_dir.hpp"

namespace lw::test {
namespace {

std::uint32_t word(const std::vector<std::uint8_t>& b, std::size_t at)
{
    EXPECT_LE(at + 4, b.size());
    if (at + 4 > b.size())
        return 0;
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

struct Dds {
    std::vector<std::uint8_t> bytes;
    std::uint32_t width = 0, height = 0, levels = 0;

    explicit Dds(const char* name)
    {
        bytes = readFileBytes(std::filesystem::path(LW_BIN_DIR) / name);
        EXPECT_GE(bytes.size(), 128u);
        EXPECT_EQ(std::memcmp(bytes.data(), "DDS ", 4), 0);
        EXPECT_EQ(word(bytes, 4), 124u) << "header size";
        const std::uint32_t flags = word(bytes, 8);
        EXPECT_EQ(flags & 0x1007u, 0x1007u) << "caps, height, width and pixel format are set";
        height = word(bytes, 12);
        width = word(bytes, 16);
        EXPECT_EQ(word(bytes, 20), width * 4) << "pitch";
        levels = (flags & 0x20000u) ? word(bytes, 28) : 1;
        EXPECT_EQ(word(bytes, 76), 32u) << "pixel format size";
        EXPECT_EQ(word(bytes, 80), 0x41u) << "RGB with alpha";
        EXPECT_NE(word(bytes, 108) & 0x1000u, 0u) << "a texture";
        std::size_t expected = 128;
        for (std::uint32_t l = 0; l < levels; ++l)
            expected += std::size_t{std::max(width >> l, 1u)} * std::max(height >> l, 1u) * 4;
        EXPECT_EQ(bytes.size(), expected) << "header plus every level, nothing more";
    }
    // Blue, green, red, alpha of a texel of the top level.
    std::uint32_t texel(std::uint32_t x, std::uint32_t y) const { return word(bytes, 128 + 4 * (y * width + x)); }
};

TEST(ShippedTextures, FlatNormalMapWithAFullMipChainAndAVisibleIcon)
{
    const Dds normal("template_n.dds"), icon("iconWeap.dds");
    EXPECT_EQ(std::tie(normal.width, normal.height, normal.levels), std::make_tuple(16u, 16u, 5u)); // 16, 8, 4, 2, 1
    for (std::size_t at = 128; at + 4 <= normal.bytes.size(); at += 4)
        ASSERT_EQ(word(normal.bytes, at), 0x008080FFu) << "normal (0, 0, 1) everywhere, matte, at " << at;
    EXPECT_EQ(std::tie(icon.width, icon.height, icon.levels), std::make_tuple(64u, 64u, 1u));
    // Alpha of a corner, the frame and the stroke.
    EXPECT_EQ(std::make_tuple(icon.texel(0, 0) >> 24, icon.texel(5, 32) >> 24, icon.texel(31, 32) >> 24),
              std::make_tuple(0u, 255u, 255u));
}

} // namespace
} // namespace lw::test
