// The asset copiers over an in-memory data folder pair and a fixture archive.
#include <gtest/gtest.h>

#include "modshift/assets/asset_copy.hpp"
#include "../objects/object_fixture.hpp"
#include "support/bsa_builder.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

const std::string kTextures = "O:\\Oblivion\\Data\\Textures\\";
const std::string kIcons = "O:\\Oblivion\\Data\\Textures\\Menus\\Icons\\";

struct Copiers : ::testing::Test {
    ObjectRun run;

    void SetUp() override
    {
        run.platform.put("P:\\prog\\template_n.dds", "template normal");
        run.platform.put("P:\\prog\\iconWeap.dds", "placeholder");
        BsaBuilder bsa;
        bsa.add("textures\\tx_archived.dds", "archived texture");
        bsa.add("icons\\w\\tx_archived.dds", "archived icon");
        run.platform.files[kArchive] = bsa.build();
        ASSERT_EQ(run.c->archive.open(kArchive), 0);
    }
    std::size_t copiesTo(const std::string& destination) const
    {
        std::size_t n = 0;
        for (const std::string& c : run.platform.copies)
            n += c.ends_with(" -> " + destination);
        return n;
    }
};

TEST_F(Copiers, TextureLooseArchivedOrMissingAlwaysGetsItsNormalMap)
{
    run.platform.put("M:\\Morrowind\\Data Files\\Textures\\tx_loose.dds", "loose texture");
    copyTexture(*run.c, "tx_loose.dds", "Landscape\\mw\\txUloose.dds");
    copyTexture(*run.c, "TX_Archived.dds", "Landscape\\mw\\txUarchived.dds");
    copyTexture(*run.c, "tx_nowhere.dds", "Landscape\\mw\\txUnowhere.dds");

    EXPECT_EQ(run.platform.textOf(kTextures + "Landscape\\mw\\txUloose.dds"), "loose texture");
    EXPECT_EQ(run.platform.textOf(kTextures + "Landscape\\mw\\txUarchived.dds"), "archived texture")
        << "the archive lookup ignores case";
    EXPECT_FALSE(run.platform.has(kTextures + "Landscape\\mw\\txUnowhere.dds"));
    for (const char* n : {"txUloose_n.dds", "txUarchived_n.dds", "txUnowhere_n.dds"})
        EXPECT_EQ(run.platform.textOf(kTextures + "Landscape\\mw\\" + n), "template normal") << n;
    EXPECT_EQ(run.text(), "Texture file tx_loose.dds copied\n");
}

TEST_F(Copiers, PresentTexturesAndNormalMapsAreNeverReplaced)
{
    run.platform.put("M:\\Morrowind\\Data Files\\Textures\\tx_loose.dds", "new texture");
    run.platform.put(kTextures + "Landscape\\mw\\a.dds", "old texture");
    run.platform.put(kTextures + "Landscape\\mw\\b_n.dds", "old normal");
    copyTexture(*run.c, "tx_loose.dds", "Landscape\\mw\\a.dds");
    copyTexture(*run.c, "tx_loose.dds", "Landscape\\mw\\b.dds");
    EXPECT_EQ(run.platform.textOf(kTextures + "Landscape\\mw\\a.dds"), "old texture");
    EXPECT_EQ(run.platform.textOf(kTextures + "Landscape\\mw\\a_n.dds"), "template normal")
        << "a present texture still gets its missing normal map";
    EXPECT_EQ(run.platform.textOf(kTextures + "Landscape\\mw\\b_n.dds"), "old normal");
    EXPECT_EQ(copiesTo(kTextures + "Landscape\\mw\\a.dds"), 0u);
    EXPECT_EQ(copiesTo(kTextures + "Landscape\\mw\\b_n.dds"), 0u);
    EXPECT_EQ(run.text(), "Texture file tx_loose.dds copied\n");
}

TEST_F(Copiers, IconsComeLooseFromTheArchiveOrAsThePlaceholder)
{
    run.platform.put("M:\\Morrowind\\Data Files\\Icons\\w\\tx_loose.dds", "loose icon");
    copyIcon(*run.c, "w\\tx_loose.dds", "Weapons\\mw\\w\\a.dds");
    copyIcon(*run.c, "w\\tx_archived.dds", "Weapons\\mw\\w\\b.dds");
    copyIcon(*run.c, "w\\tx_nowhere.dds", "Weapons\\mw\\w\\c.dds");
    copyIcon(*run.c, "w\\tx_loose.dds", "Weapons\\mw\\w\\a.dds");
    EXPECT_EQ(run.platform.textOf(kIcons + "Weapons\\mw\\w\\a.dds"), "loose icon");
    EXPECT_EQ(run.platform.textOf(kIcons + "Weapons\\mw\\w\\b.dds"), "archived icon");
    EXPECT_EQ(run.platform.textOf(kIcons + "Weapons\\mw\\w\\c.dds"), "placeholder");
    EXPECT_EQ(run.text(), "Icon file tx_loose.dds copied\nIcon file a.dds already exists\n");
    EXPECT_EQ(copiesTo(kIcons + "Weapons\\mw\\w\\a.dds"), 1u);
}

TEST_F(Copiers, WithoutAnArchiveMissingIconsGetThePlaceholder)
{
    run.c->archive.close();
    copyIcon(*run.c, "w\\tx_archived.dds", "Weapons\\mw\\w\\b.dds");
    EXPECT_EQ(run.platform.textOf(kIcons + "Weapons\\mw\\w\\b.dds"), "placeholder");
}

TEST_F(Copiers, SoundsAreCopiedLooseOrReportedMissing)
{
    run.platform.put("M:\\Morrowind\\Data Files\\Sound\\Fx\\a.wav", "wave");
    run.platform.put("O:\\Oblivion\\Data\\Sound\\fx\\mw\\b.wav", "already");
    copySound(*run.c, "Fx\\a.wav", "fx\\mw\\Fx\\a.wav");
    copySound(*run.c, "Fx\\a.wav", "fx\\mw\\b.wav");
    copySound(*run.c, "Fx\\gone.wav", "fx\\mw\\Fx\\gone.wav");
    EXPECT_EQ(run.platform.textOf("O:\\Oblivion\\Data\\Sound\\fx\\mw\\Fx\\a.wav"), "wave");
    EXPECT_EQ(run.platform.folders,
              (std::vector<std::string>{"O:\\Oblivion", "O:\\Oblivion\\Data", "O:\\Oblivion\\Data\\Sound",
                                        "O:\\Oblivion\\Data\\Sound\\fx", "O:\\Oblivion\\Data\\Sound\\fx\\mw",
                                        "O:\\Oblivion\\Data\\Sound\\fx\\mw\\Fx",
                                        // the missing sound's folders are made too
                                        "O:\\Oblivion", "O:\\Oblivion\\Data", "O:\\Oblivion\\Data\\Sound",
                                        "O:\\Oblivion\\Data\\Sound\\fx", "O:\\Oblivion\\Data\\Sound\\fx\\mw",
                                        "O:\\Oblivion\\Data\\Sound\\fx\\mw\\Fx"}))
        << "every folder along the way, the asset subfolder included; none for a present file";
    EXPECT_EQ(run.platform.textOf("O:\\Oblivion\\Data\\Sound\\fx\\mw\\b.wav"), "already");
    EXPECT_FALSE(run.platform.has("O:\\Oblivion\\Data\\Sound\\fx\\mw\\Fx\\gone.wav"));
    EXPECT_EQ(run.text(), "Sound file M:\\Morrowind\\Data Files\\Sound\\Fx\\gone.wav does not exist\n");
}

TEST_F(Copiers, SourceNamesThatClimbOutOfTheDataFoldersCountAsMissing)
{
    run.platform.put("M:\\Morrowind\\Data Files\\Textures\\..\\..\\secret.dds", "secret");
    run.platform.put("M:\\Morrowind\\Data Files\\Icons\\w\\..\\..\\..\\secret.dds", "secret");
    run.platform.put("M:\\Morrowind\\Data Files\\Sound\\../../secret.wav", "secret");
    copyTexture(*run.c, "..\\..\\secret.dds", "Landscape\\mw\\PPSecret.dds");
    copyIcon(*run.c, "w\\..\\..\\..\\secret.dds", "Weapons\\mw\\w\\s.dds");
    copySound(*run.c, "../../secret.wav", "fx\\mw\\s.wav");
    EXPECT_FALSE(run.platform.has(kTextures + "Landscape\\mw\\PPSecret.dds"));
    EXPECT_EQ(run.platform.textOf(kTextures + "Landscape\\mw\\PPSecret_n.dds"), "template normal");
    EXPECT_EQ(run.platform.textOf(kIcons + "Weapons\\mw\\w\\s.dds"), "placeholder");
    EXPECT_FALSE(run.platform.has("O:\\Oblivion\\Data\\Sound\\fx\\mw\\s.wav"));
    EXPECT_EQ(run.text(), "Sound file M:\\Morrowind\\Data Files\\Sound\\../../secret.wav does not exist\n");
    // Names that merely hold dots are fine.
    run.platform.put("M:\\Morrowind\\Data Files\\Textures\\a..b\\x.dds", "dots");
    copyTexture(*run.c, "a..b\\x.dds", "Landscape\\mw\\x.dds");
    EXPECT_EQ(run.platform.textOf(kTextures + "Landscape\\mw\\x.dds"), "dots");
}

} // namespace
} // namespace lw::test
