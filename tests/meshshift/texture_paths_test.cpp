// Textures of converted meshes: the DDS name, where the file comes from, where
// it goes, its normal map, and the name written into the mesh.
#include <gtest/gtest.h>

#include "common/bsa/bsa_archive.hpp"
#include "mesh_fixture.hpp"
#include "meshshift/nif20/texture_paths.hpp"
#include "support/bsa_builder.hpp"

namespace lw::meshshift::testing {
namespace {

TEST(TexturePaths, MapsNameCharactersToSafeOnes)
{
    EXPECT_EQ(mapNameCharacters("Tx_rock-01"), "TxUrockT01");
    EXPECT_EQ(mapNameCharacters("a.b"), "aPb");
    EXPECT_EQ(mapNameCharacters("a b,c"), "aSbVc");
    EXPECT_EQ(mapNameCharacters("tx\\sub/b"), "tx\\sub/b");
    EXPECT_EQ(mapNameCharacters("\xE9+~"), "XXX");
    // Distinct names stay distinct, except where a mapped character meets its image.
    EXPECT_NE(mapNameCharacters("a-b"), mapNameCharacters("a b"));
    EXPECT_EQ(mapNameCharacters("a-b"), mapNameCharacters("aTb"));
}

TEST(TexturePaths, OnlyADotDotFolderClimbsOutWithEitherSeparator)
{
    for (const char* climbs : {"..\\..\\evil.nif", "../../evil.nif", "sub/../../x.nif", "a\\..", ".."})
        EXPECT_TRUE(climbsOut(climbs)) << climbs;
    for (const char* stays : {"a..b/c.nif", ".../x.nif", "x/.nif", "conv\\Weapons\\x.nif", ""})
        EXPECT_FALSE(climbsOut(stays)) << stays;
}

struct TextureFixture : JobFixture {
    TextureFixture() { dir.writeFile("template_n.dds", "normal"); }
    std::string ob(const std::string& rel) const { return dir.readText("ob/" + rel); }
};

TEST(TexturePaths, CopiesFromTheSourceDataFolderWithANormalMap)
{
    TextureFixture f;
    f.dir.writeFile("mw/Textures/tx_a.dds", "texture a");
    EXPECT_EQ(convertTextureReference(f.job, "textures\\tx_a.tga"), "Textures\\conv\\txUa.dds");
    EXPECT_EQ(f.ob("Textures/conv/txUa.dds"), "texture a");
    EXPECT_EQ(f.ob("Textures/conv/txUa_n.dds"), "normal");
    EXPECT_EQ(f.console.captured(), "");
}

TEST(TexturePaths, StripsOnlyTheTwoUsualSpellingsOfTheFolder)
{
    TextureFixture f;
    f.dir.writeFile("mw/Textures/Textures/b.dds", "b");
    EXPECT_EQ(convertTextureReference(f.job, "Textures\\b.tga"), "Textures\\conv\\b.dds");
    EXPECT_EQ(convertTextureReference(f.job, "TEXTURES\\a.tga"), "Textures\\conv\\TEXTURES\\a.dds");
    EXPECT_TRUE(f.dir.exists("ob/Textures/conv/TEXTURES/a_n.dds"));
    EXPECT_FALSE(f.dir.exists("ob/Textures/conv/TEXTURES/a.dds")); // found nowhere: no error, no file
}

TEST(TexturePaths, NeverReplacesAnExistingDestinationOrNormalMap)
{
    TextureFixture f;
    f.dir.writeFile("mw/Textures/c.dds", "new");
    f.dir.writeFile("ob/Textures/conv/c.dds", "old");
    convertTextureReference(f.job, "c.tga");
    EXPECT_EQ(f.ob("Textures/conv/c.dds"), "old");
    EXPECT_EQ(f.ob("Textures/conv/c_n.dds"), "normal"); // missing, so made

    f.dir.writeFile("ob/Textures/conv/d_n.dds", "own normal map");
    f.dir.writeFile("mw/Textures/d.dds", "d");
    convertTextureReference(f.job, "d.bmp");
    EXPECT_EQ(f.ob("Textures/conv/d.dds"), "d");
    EXPECT_EQ(f.ob("Textures/conv/d_n.dds"), "own normal map");
}

TEST(TexturePaths, TakesTexturesOutOfTheArchiveUnderTheirLowerCaseName)
{
    TextureFixture f;
    test::BsaBuilder bsa;
    bsa.add("textures\\tx_stone.dds", "from archive");
    bsa.write(f.dir / "mw/Morrowind.bsa");
    BsaArchive archive(*f.platform, f.console, true);
    ASSERT_EQ(archive.open(f.dir.str() + "/mw/Morrowind.bsa"), 0);
    f.job.archive = &archive;
    EXPECT_EQ(convertTextureReference(f.job, "textures\\Tx_Stone.TGA"), "Textures\\conv\\TxUStone.dds");
    EXPECT_EQ(f.ob("Textures/conv/TxUStone.dds"), "from archive");
    EXPECT_EQ(f.ob("Textures/conv/TxUStone_n.dds"), "normal");
}

} // namespace
} // namespace lw::meshshift::testing
