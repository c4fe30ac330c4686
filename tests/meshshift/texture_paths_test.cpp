// Textures of converted meshes: the DDS name, where the file comes from, where
// it goes, its normal map, and the name written into the mesh.
#include <gtest/gtest.h>

#include "common/bsa/bsa_archive.hpp"
#include "mesh_fixture.hpp"
#include "meshshift/nif20/texture_paths.hpp"
#include "support/bsa_builder.hpp"

namespace lw::meshshift::testing {
namespace {

TEST(TexturePaths, OnlyADotDotFolderClimbsOutWithEitherSeparator)
{
    for (const char* climbs : {"..\\..\\evil.nif", "../../evil.nif", "sub/../../x.nif", "a\\..", ".."})
        EXPECT_TRUE(climbsOut(climbs)) << climbs;
    for (const char* stays : {"a..b/c.nif", ".../x.nif", "x/.nif", "conv\\Weapons\\x.nif", ""})
        EXPECT_FALSE(climbsOut(stays)) << stays;
}

struct TextureFixture : JobFixture {
    BsaArchive archive{*platform, console, true};
    TextureFixture()
    {
        dir.writeFile("template_n.dds", "normal");
        test::BsaBuilder bsa;
        bsa.add("textures\\tx_stone.dds", "from archive");
        bsa.write(dir / "mw/Morrowind.bsa");
        EXPECT_EQ(archive.open(dir.str() + "/mw/Morrowind.bsa"), 0);
        job.archive = &archive;
    }
};

TEST(TexturePaths, CopiesFromTheDataFolderOrArchiveOnceWithANormalMap)
{
    using Files = std::vector<std::pair<const char*, const char*>>; // path, text ("": no file)
    struct Case {
        Files before;
        const char* reference;
        const char* written;
        Files after; // under ob/Textures/conv
    };
    const Case cases[] = {
        // Name characters a game path cannot carry are mapped to letters.
        {{{"mw/Textures/t_a-b c.dds", "texture a"}}, "textures\\t_a-b c.tga", "Textures\\conv\\tUaTbSc.dds",
         {{"tUaTbSc.dds", "texture a"}, {"tUaTbSc_n.dds", "normal"}}},
        // Only the two usual spellings of the folder are taken off; found nowhere: no file, no error.
        {{{"mw/Textures/Textures/b.dds", "b"}}, "Textures\\b.tga", "Textures\\conv\\b.dds", {{"b.dds", ""}}},
        {{}, "TEXTURES\\a.tga", "Textures\\conv\\TEXTURES\\a.dds", {{"TEXTURES/a.dds", ""}, {"TEXTURES/a_n.dds", "normal"}}},
        // An existing texture or normal map is never replaced.
        {{{"mw/Textures/c.dds", "new"}, {"ob/Textures/conv/c.dds", "old"}, {"ob/Textures/conv/c_n.dds", "own"}},
         "c.tga", "Textures\\conv\\c.dds", {{"c.dds", "old"}, {"c_n.dds", "own"}}},
        {{}, "textures\\Tx_Stone.TGA", "Textures\\conv\\TxUStone.dds",
         {{"TxUStone.dds", "from archive"}, {"TxUStone_n.dds", "normal"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reference);
        TextureFixture f;
        for (const auto& [path, text] : c.before)
            f.dir.writeFile(path, text);
        EXPECT_EQ(convertTextureReference(f.job, c.reference), c.written);
        for (const auto& [path, text] : c.after) {
            const std::string at = std::string("ob/Textures/conv/") + path;
            EXPECT_EQ(f.dir.exists(at) ? f.dir.readText(at) : "", text) << at;
        }
        EXPECT_EQ(f.console.captured(), "");
    }
}

} // namespace
} // namespace lw::meshshift::testing
