// The copiers on the real file system, through the system platform: temporary
// source and target data folders and a fixture archive on disk.
#include <gtest/gtest.h>

#include <memory>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "modshift/assets/asset_copy.hpp"
#include "modshift/driver/conversion.hpp"
#include "support/bsa_builder.hpp"
#include "support/temp_dir.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

struct DiskCopiers : ::testing::Test {
    TempDir dir{"lw-copiers"};
    std::unique_ptr<Platform> platform = makeSystemPlatform();
    Console console = Console::capturing();
    std::unique_ptr<Conversion> c;

    void SetUp() override
    {
        dir.writeFile("prog/template_n.dds", "template normal");
        dir.writeFile("prog/iconWeap.dds", "placeholder");
        dir.makeDir("ob");
        BsaBuilder bsa;
        bsa.add("textures\\tx_archived.dds", "archived texture");
        bsa.add("icons\\w\\tx_archived.dds", "archived icon");
        bsa.write(dir / "mw/Morrowind.bsa");

        c = std::make_unique<Conversion>(*platform, console);
        c->paths.programFolder = (dir / "prog").string() + "/";
        c->paths.templateTexture = c->paths.programFolder + "template_n.dds";
        c->config.sourceData = (dir / "mw").string();
        c->config.archiveName = "Morrowind.bsa";
        c->config.targetData = (dir / "ob").string();
        c->config.assetSubfolder = "conv";
        ASSERT_EQ(c->archive.open(c->config.archivePath()), 0) << console.captured();
    }
};

TEST_F(DiskCopiers, TexturesComeLooseOrFromTheArchiveIntoNewFolders)
{
    dir.writeFile("mw/Textures/tx_loose.dds", "loose texture");
    copyTexture(*c, "tx_loose.dds", "Landscape\\conv\\a.dds");
    copyTexture(*c, "TX_ARCHIVED.dds", "Landscape\\conv\\b.dds");
    copyTexture(*c, "tx_none.dds", "Landscape\\conv\\c.dds");
    EXPECT_EQ(dir.readText("ob/Textures/Landscape/conv/a.dds"), "loose texture");
    EXPECT_EQ(dir.readText("ob/Textures/Landscape/conv/b.dds"), "archived texture");
    EXPECT_FALSE(dir.exists("ob/Textures/Landscape/conv/c.dds"));
    for (const char* n : {"a_n.dds", "b_n.dds", "c_n.dds"})
        EXPECT_EQ(dir.readText(std::string("ob/Textures/Landscape/conv/") + n), "template normal") << n;
    EXPECT_EQ(console.captured(), "Texture file tx_loose.dds copied\n");
}

TEST_F(DiskCopiers, FilesInPlaceAreNeverReplacedWhateverTheirCase)
{
    dir.writeFile("mw/Textures/tx_loose.dds", "new");
    dir.writeFile("mw/Icons/w/tx_loose.dds", "new icon");
    dir.writeFile("mw/Sound/a.wav", "new sound");
    // Folders and files as another tool may have spelt them.
    dir.writeFile("ob/textures/landscape/CONV/A.DDS", "old texture");
    dir.writeFile("ob/textures/landscape/CONV/a_N.dds", "old normal");
    dir.writeFile("ob/textures/menus/icons/Weapons/conv/w/I.dds", "old icon");
    dir.writeFile("ob/sound/fx/conv/a.wav", "old sound");

    copyTexture(*c, "tx_loose.dds", "Landscape\\conv\\a.dds");
    copyIcon(*c, "w\\tx_loose.dds", "Weapons\\conv\\w\\i.dds");
    copySound(*c, "a.wav", "fx\\conv\\a.wav");

    EXPECT_EQ(dir.readText("ob/textures/landscape/CONV/A.DDS"), "old texture");
    EXPECT_EQ(dir.readText("ob/textures/landscape/CONV/a_N.dds"), "old normal");
    EXPECT_EQ(dir.readText("ob/textures/menus/icons/Weapons/conv/w/I.dds"), "old icon");
    EXPECT_EQ(dir.readText("ob/sound/fx/conv/a.wav"), "old sound");
    EXPECT_EQ(console.captured(), "Icon file I.dds already exists\n") << "the name as found on disk";
    const std::vector<std::string> files = dir.listFiles();
    EXPECT_EQ(std::count_if(files.begin(), files.end(), [](const std::string& f) { return f.starts_with("ob/"); }), 4)
        << ::testing::PrintToString(files);
}

TEST_F(DiskCopiers, IconsFallBackToThePlaceholderAndSoundsReportTheirSource)
{
    copyIcon(*c, "w\\tx_archived.dds", "Weapons\\conv\\w\\a.dds");
    copyIcon(*c, "w\\tx_none.dds", "Weapons\\conv\\w\\b.dds");
    copySound(*c, "Fx\\none.wav", "fx\\conv\\Fx\\none.wav");
    EXPECT_EQ(dir.readText("ob/Textures/Menus/Icons/Weapons/conv/w/a.dds"), "archived icon");
    EXPECT_EQ(dir.readText("ob/Textures/Menus/Icons/Weapons/conv/w/b.dds"), "placeholder");
    EXPECT_FALSE(dir.exists("ob/Sound/fx/conv/Fx/none.wav"));
    EXPECT_EQ(console.captured(), "Sound file " + (dir / "mw").string() + "\\Sound\\Fx\\none.wav does not exist\n");
}

} // namespace
} // namespace lw::test
