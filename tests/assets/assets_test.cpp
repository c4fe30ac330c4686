// The asset copiers over an in-memory data folder pair and a fixture archive,
// and the textures the build puts into the program folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "modshift/assets/asset_copy.hpp"
#include "support/bsa_builder.hpp"
#include "support/conversion_run.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

std::uint32_t word(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b.at(at)) | static_cast<std::uint32_t>(b.at(at + 1)) << 8 |
           static_cast<std::uint32_t>(b.at(at + 2)) << 16 | static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}

// "template_n.dds" and "iconWeap.dds" must be DDS files a game and an image tool can read.
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
        std::ifstream in(std::filesystem::path(LW_BIN_DIR) / r.name, std::ios::binary);
        const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

TEST(Copiers, TexturesIconsAndSoundsFromLooseFilesTheArchiveOrNowhere)
{
    const std::string data = "M:\\Morrowind\\Data Files\\", textures = "O:\\Oblivion\\Data\\Textures\\";
    const std::string icons = textures + "Menus\\Icons\\", sounds = "O:\\Oblivion\\Data\\Sound\\";
    ConversionRun run;
    FakePlatform& p = run.platform;
    p.put("P:\\prog\\template_n.dds", "template normal");
    p.put("P:\\prog\\iconWeap.dds", "placeholder");
    BsaBuilder bsa;
    bsa.add("textures\\tx_archived.dds", "archived texture").add("icons\\w\\tx_archived.dds", "archived icon");
    p.files[run.c->paths.archivePath] = bsa.build();
    ASSERT_EQ(run.c->archive.open(run.c->paths.archivePath), 0);
    p.put(data + "Textures\\tx_loose.dds", "loose texture");
    p.put(data + "Icons\\w\\tx_loose.dds", "loose icon");
    p.put(data + "Sound\\Fx\\a.wav", "wave");
    p.put(textures + "L\\present.dds", "old texture");
    // Names that climb out of the data folder's asset folders, with either slash.
    p.put(data + "Textures\\..\\secret.dds", "secret");
    p.put(data + "Textures\\a/../../secret.dds", "secret");
    p.put(data + "Sound\\../secret.wav", "secret");

    const std::vector<std::tuple<std::string, std::string, std::string>> textureRows = {
        {"tx_loose.dds", "L\\a.dds", "loose texture"},      {"TX_Archived.dds", "L\\b.dds", "archived texture"},
        {"tx_nowhere.dds", "L\\c.dds", "<missing>"},         {"tx_loose.dds", "L\\present.dds", "old texture"},
        {"..\\secret.dds", "L\\s1.dds", "<missing>"},        {"a/../../secret.dds", "L\\s2.dds", "<missing>"}};
    for (const auto& [source, destination, text] : textureRows) {
        copyTexture(*run.c, source, destination);
        EXPECT_EQ(p.textOf(textures + destination), text) << source;
    }
    // Every texture gets its normal map, found or not; nothing lands elsewhere.
    std::vector<std::string> written;
    for (const auto& [path, bytes] : p.files)
        if (path.starts_with(textures + "L\\"))
            written.push_back(path.substr(textures.size()) + (bytes == p.files.at("P:\\prog\\template_n.dds") ? " N" : ""));
    EXPECT_EQ(written, (std::vector<std::string>{"L\\a.dds", "L\\a_n.dds N", "L\\b.dds", "L\\b_n.dds N", "L\\c_n.dds N",
                                                 "L\\present.dds", "L\\present_n.dds N", "L\\s1_n.dds N", "L\\s2_n.dds N"}));
    const std::vector<std::tuple<std::string, std::string, std::string>> iconRows = {
        {"w\\tx_loose.dds", "W\\a.dds", "loose icon"}, {"w\\tx_archived.dds", "W\\b.dds", "archived icon"},
        {"w\\tx_nowhere.dds", "W\\c.dds", "placeholder"}};
    for (const auto& [source, destination, text] : iconRows) {
        copyIcon(*run.c, source, destination);
        EXPECT_EQ(p.textOf(icons + destination), text) << source;
    }
    copySound(*run.c, "Fx\\a.wav", "fx\\mw\\Fx\\a.wav");
    copySound(*run.c, "../secret.wav", "fx\\mw\\s.wav");
    EXPECT_EQ(p.textOf(sounds + "fx\\mw\\Fx\\a.wav"), "wave");
    EXPECT_FALSE(p.has(sounds + "fx\\mw\\s.wav"));
    EXPECT_EQ(run.text(), "Texture file tx_loose.dds copied\nIcon file tx_loose.dds copied\n"
                          "Sound file M:\\Morrowind\\Data Files\\Sound\\../secret.wav does not exist\n");
}

} // namespace
} // namespace lw::test
