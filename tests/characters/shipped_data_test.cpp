// The data the character converters read from the program folder: present
// where the converters look, in the formats they read.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "modshift/characters/armour_table.hpp"
#include "modshift/characters/faces.hpp"
#include "support/nif20_reader.hpp"
#include "support/temp_dir.hpp"

namespace lw::modshift {
namespace {

namespace fs = std::filesystem;

fs::path programFile(std::string relative)
{
    for (char& c : relative)
        if (c == '\\')
            c = '/';
    return fs::path(LW_BIN_DIR) / relative;
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16) |
           static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}

// An uncompressed 32-bit DDS whose size matches its header and mipmap chain.
void expectDds(const fs::path& file, std::uint32_t size)
{
    SCOPED_TRACE(file.string());
    ASSERT_TRUE(fs::exists(file));
    std::vector<std::uint8_t> b = lw::test::readFileBytes(file);
    ASSERT_GE(b.size(), 128u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "DDS ");
    EXPECT_EQ(le32(b, 4), 124u);
    EXPECT_EQ(le32(b, 12), size); // height
    EXPECT_EQ(le32(b, 16), size); // width
    std::uint32_t levels = le32(b, 28);
    EXPECT_EQ(le32(b, 76), 32u);   // pixel format size
    EXPECT_EQ(le32(b, 80), 0x41u); // RGB + alpha
    EXPECT_EQ(le32(b, 88), 32u);   // bits per pixel
    std::size_t expected = 128;
    std::uint32_t s = size;
    for (std::uint32_t l = 0; l < levels; ++l, s = s > 1 ? s / 2 : 1)
        expected += std::size_t{s} * s * 4;
    EXPECT_EQ(s, 1u); // the chain goes down to 1 x 1
    EXPECT_EQ(b.size(), expected);
}

TEST(ShippedData, FacesMatchTheHeadTable)
{
    std::vector<std::uint8_t> ini = lw::test::readFileBytes(programFile("faces\\Heads.ini"));
    EXPECT_LE(ini.size(), CharacterState::kHeadsFileLimit);
    std::vector<HeadEntry> heads;
    std::size_t lines = parseHeadTable(ini, heads);
    EXPECT_EQ(lines, heads.size()); // every line is an entry
    EXPECT_GE(heads.size(), 100u);
    EXPECT_EQ(faceFileFor(heads, "b_n_dark elf_m_head_01"), "darkelf_m01.fg");
    for (const HeadEntry& e : heads) {
        std::vector<std::uint8_t> face = lw::test::readFileBytes(programFile("faces\\" + e.faceFile));
        EXPECT_EQ(face.size(), 40u + 2u * 130u) << e.faceFile;
    }
    std::vector<std::uint8_t> zero = lw::test::readFileBytes(programFile("faces\\zero.fg"));
    ASSERT_EQ(zero.size(), 300u);
    FaceGenValues v = computeFaceGen(&zero, nullptr);
    for (float f : v.symmetric)
        EXPECT_EQ(f, 0.0f);
    // Faces differ from each other.
    auto a = lw::test::readFileBytes(programFile("faces\\nord_m01.fg"));
    auto b = lw::test::readFileBytes(programFile("faces\\nord_m02.fg"));
    EXPECT_NE(a, b);
    for (const char* race : {"Breton", "DarkElf", "HighElf", "Imperial", "Nord", "Redguard", "WoodElf"})
        EXPECT_EQ(lw::test::readFileBytes(programFile(std::string("faces\\") + race + ".fgs")).size(), 320u)
            << race;
}

TEST(ShippedData, EyeTexturesAndNormalMaps)
{
    for (const char* base : {"eyekhajiit1", "eyeblack", "eyegrey"}) {
        expectDds(programFile(std::string(base) + ".dds"), 64);
        expectDds(programFile(std::string(base) + "_n.dds"), 64);
    }
}

TEST(ShippedData, ArmourMeshesAndIconsOfEveryRow)
{
    for (const ArmourReplacement& row : kArmourReplacements) {
        expectDds(programFile("Textures\\Menus\\Icons\\Armor\\" + std::string(row.icon)), 64);
        for (std::string_view model : row.models) {
            SCOPED_TRACE(std::string(model));
            fs::path file = programFile("Meshes\\Armor\\" + std::string(model));
            ASSERT_TRUE(fs::exists(file));
            lw::test::Nif20File nif = lw::test::readNif20(lw::test::readFileBytes(file));
            ASSERT_TRUE(nif.complete) << nif.error;
            EXPECT_EQ(nif.version, 0x14000005u);
            EXPECT_EQ(nif.userVersion, 11u);
            EXPECT_EQ(nif.bytesLeft, 0u);
            ASSERT_EQ(nif.roots, std::vector<std::uint32_t>{0});
            ASSERT_EQ(nif.blocks.size(), 4u);
            EXPECT_EQ(nif.blocks[0].type, "NiNode");
            EXPECT_EQ(nif.blocks[0].links("children"), std::vector<std::uint32_t>{1});
            const lw::test::Nif20Block& shape = nif.first("NiTriShape");
            EXPECT_EQ(shape.u("data"), 3u);
            EXPECT_EQ(shape.links("properties"), std::vector<std::uint32_t>{2});
            const lw::test::Nif20Block& data = nif.first("NiTriShapeData");
            std::uint32_t vertices = data.u("numVertices");
            EXPECT_EQ(vertices % 24, 0u); // whole boxes
            EXPECT_EQ(data.all("vertices").size(), 3u * vertices);
            EXPECT_EQ(data.u("numTriangles") * 2, vertices);
            for (double index : data.all("triangles"))
                EXPECT_LT(index, vertices);
            // Ground pieces rest on the ground.
            if (model.find("_gnd") != std::string_view::npos) {
                double lowest = 1e9;
                const auto& v = data.all("vertices");
                for (std::size_t i = 2; i < v.size(); i += 3)
                    lowest = std::min(lowest, v[i]);
                EXPECT_EQ(lowest, 0.0);
            }
        }
    }
}

} // namespace
} // namespace lw::modshift
