// The textures the build puts into the program folder: "template_n.dds" and
// "iconWeap.dds" must be DDS files a game and an image tool can read.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "support/temp_dir.hpp"

namespace lw::test {
namespace {

std::uint32_t word(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b.at(at)) | static_cast<std::uint32_t>(b.at(at + 1)) << 8 |
           static_cast<std::uint32_t>(b.at(at + 2)) << 16 | static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}

TEST(ShippedTextures, UncompressedDdsWithAFlatNormalMapAndAVisibleIcon)
{
    struct Row {
        const char* name;
        std::uint32_t side, levels;
        std::size_t size; // the header and every level, nothing more
    };
    std::vector<std::uint8_t> normal, icon;
    const Row rows[] = {{"template_n.dds", 16, 5, 128 + 4 * (256 + 64 + 16 + 4 + 1)},
                        {"iconWeap.dds", 64, 1, 128 + 4 * 64 * 64}};
    for (const Row& r : rows) {
        const std::vector<std::uint8_t> b = readFileBytes(std::filesystem::path(LW_BIN_DIR) / r.name);
        ASSERT_EQ(b.size(), r.size) << r.name;
        // Magic, header size, height, width, pitch, levels, pixel format size, RGB with alpha.
        const std::vector<std::pair<std::size_t, std::uint32_t>> words = {
            {0, 0x20534444}, {4, 124}, {12, r.side}, {16, r.side}, {20, 4 * r.side}, {76, 32}, {80, 0x41}};
        for (const auto& [at, value] : words)
            EXPECT_EQ(word(b, at), value) << r.name << " at " << at;
        EXPECT_EQ(word(b, 8) & 0x1007u, 0x1007u) << "caps, height, width and pixel format are set";
        EXPECT_EQ((word(b, 8) & 0x20000u) ? word(b, 28) : 1u, r.levels) << r.name;
        EXPECT_NE(word(b, 108) & 0x1000u, 0u) << "a texture";
        (r.levels > 1 ? normal : icon) = b;
    }
    for (std::size_t at = 128; at + 4 <= normal.size(); at += 4)
        ASSERT_EQ(word(normal, at), 0x008080FFu) << "normal (0, 0, 1) everywhere, matte, at " << at;
    // Alpha of a corner, the frame and the stroke.
    auto alpha = [&icon](std::size_t x, std::size_t y) { return icon.at(128 + 4 * (y * 64 + x) + 3); };
    EXPECT_EQ(std::vector<int>({alpha(0, 0), alpha(5, 32), alpha(31, 32)}), std::vector<int>({0, 255, 255}));
}

} // namespace
} // namespace lw::test
