// The pieces the object converters are built from: book text cleaning, sound
// attenuation, Convert mesh and the item lookup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modshift/objects/book_text.hpp"
#include "modshift/objects/item_lookup.hpp"
#include "modshift/objects/mesh_convert.hpp"
#include "modshift/objects/sound_attenuation.hpp"
#include "object_fixture.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

std::string clean(std::string text)
{
    // An exact-size heap buffer: a read past the text shows under the sanitizers.
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    std::size_t n = cleanBookText(bytes);
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

TEST(BookText, FontTagAndTheTagRightAfterItGo)
{
    EXPECT_EQ(clean("<FONT COLOR=\"000000\" SIZE=\"3\"><DIV ALIGN=\"LEFT\">Hello"), "Hello");
    EXPECT_EQ(clean("Hi<FONT FACE=\"Magic Cards\"><BR>there"), "Hithere");
    EXPECT_EQ(clean("a<FONT x>b<BR>c"), "ab<BR>c") << "a tag after text stays";
}

TEST(BookText, OtherTagsAndLowerCaseFontStay)
{
    EXPECT_EQ(clean("<font color=\"1\">x<DIV>y"), "<font color=\"1\">x<DIV>y");
    EXPECT_EQ(clean("<DIV ALIGN=\"CENTER\">Title<BR>"), "<DIV ALIGN=\"CENTER\">Title<BR>");
    EXPECT_EQ(clean(""), "");
}

TEST(BookText, TextThatEndsInsideATagNeverReadsPastIt)
{
    EXPECT_EQ(clean("Hello<FONT"), "Hello");
    EXPECT_EQ(clean("Hello<FON"), "Hello<FON");
    EXPECT_EQ(clean("Hello<"), "Hello<");
    EXPECT_EQ(clean("<FONT a><"), "");
}

TEST(SoundAttenuation, HalvingsCostThreeDecibels)
{
    EXPECT_EQ(staticAttenuation(255), 0);
    EXPECT_EQ(staticAttenuation(191), 150);
    EXPECT_EQ(staticAttenuation(127), 300);
    EXPECT_EQ(staticAttenuation(63), 600);
    EXPECT_EQ(staticAttenuation(0), 2400);
}

struct MeshCase : ::testing::Test {
    ObjectRun run;
    std::int32_t modl = -1;

    void model(std::string_view path)
    {
        Tes3Builder b;
        b.record("STAT").text("NAME", "x").text("MODL", path).end();
        ASSERT_TRUE(run.load(b));
        for (std::int32_t child : run.c->tree.children(run.c->tree.find(makeTag("STAT"))[0]))
            if (run.c->tree.node(child).tag == makeTag("MODL"))
                modl = child;
    }
};

TEST_F(MeshCase, ComposesTheCommandLineAndTheModelPath)
{
    model("x\\ex_common house.NIF");
    MeshResult r = convertMesh(*run.c, modl, MeshRequest{"Clutter\\", "\" -m 0 -l 4 -s 4 -q 3 -d ", false, nullptr});
    EXPECT_TRUE(r.keep);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.modelPath, "Clutter\\mw\\x\\exUcommonShouse.nif");
    ASSERT_EQ(run.platform.commands.size(), 1u);
    EXPECT_EQ(run.platform.commands[0],
              "P:\\prog\\meshshift.exe \"x\\ex_common house.nif\" -m 0 -l 4 -s 4 -q 3 -d "
              "Clutter\\mw\\x\\exUcommonShouse.nif");
    EXPECT_EQ(run.c->tree.text(modl), "x\\ex_common house.nif") << "normalised in place";
    EXPECT_EQ(run.text(), "");
}

TEST_F(MeshCase, FurnitureAddsTheFlagAndTheAnnouncementPrintsTheLine)
{
    model("f\\bench.nif");
    MeshResult r = convertMesh(*run.c, modl, MeshRequest{"", "\" -d ", true, "door: %s\n"});
    EXPECT_TRUE(r.keep);
    EXPECT_EQ(run.platform.commands.at(0), "P:\\prog\\meshshift.exe \"f\\bench.nif\" -d mw\\f\\bench.nif -f");
    EXPECT_EQ(run.text(), "door: " + run.platform.commands[0] + "\n");
}

TEST_F(MeshCase, ExistingMeshIsKeptWithoutStartingAnything)
{
    model("f\\Bench.nif");
    run.platform.put("O:\\Oblivion\\Data\\Meshes\\mw\\f\\Bench.nif", "old");
    MeshResult r = convertMesh(*run.c, modl, MeshRequest{"", "\" -d ", false, "door: %s\n"});
    EXPECT_TRUE(r.keep);
    EXPECT_FALSE(r.started);
    EXPECT_TRUE(run.platform.commands.empty());
    EXPECT_EQ(run.text(), "Mesh file Bench.nif already exists\n") << "name only, and no announcement";
}

TEST_F(MeshCase, NonZeroStatusRefusesButKeepsThePath)
{
    model("a.nif");
    run.platform.exitStatus = 255;
    MeshResult r = convertMesh(*run.c, modl, MeshRequest{"", "\" -d ", false, nullptr});
    EXPECT_FALSE(r.keep);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.modelPath, "mw\\a.nif");
}

TEST_F(MeshCase, AConverterThatCannotStartIsReportedAndRefuses)
{
    model("a.nif");
    run.platform.startable = false;
    MeshResult r = convertMesh(*run.c, modl, MeshRequest{"", "\" -d ", false, nullptr});
    EXPECT_FALSE(r.keep);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(run.text(), "Can't start P:\\prog\\meshshift.exe!\n");
}

TEST_F(MeshCase, APathTooShortToNameIsRefusedWithoutAProcess)
{
    model("nif");
    MeshResult r = convertMesh(*run.c, modl, MeshRequest{"", "\" -d ", false, nullptr});
    EXPECT_FALSE(r.keep);
    EXPECT_TRUE(run.platform.commands.empty());
}

// A model path that could carry options of its own onto the converter's
// command line, or lead it outside the data folders, never reaches it, even
// when a converted mesh of that name already exists.
TEST_F(MeshCase, UnsafeModelPathsAreRefusedWithoutAProcess)
{
    for (std::string path : {"a\" -d ..\\..\\evil.nif a.nif", "..\\up.nif", "x\\..\\..\\up.nif", "x/../up.nif",
                             "\\rooted.nif", "/rooted.nif", "C:\\drive.nif"}) {
        SCOPED_TRACE(path);
        run.reset();
        model(path);
        const std::string normalised(run.c->tree.text(modl));
        run.platform.put("O:\\Oblivion\\Data\\Meshes\\mw\\" + convertedMeshName(normalised), "old");
        MeshResult r = convertMesh(*run.c, modl, MeshRequest{"", "\" -d ", false, "door: %s\n"});
        EXPECT_FALSE(r.keep);
        EXPECT_FALSE(r.started);
        EXPECT_TRUE(r.modelPath.empty());
        EXPECT_TRUE(run.platform.commands.empty());
        EXPECT_EQ(run.text(), "unusable model path " + normalised + "\n");
    }
    for (std::string_view fine : {"x\\ex_common house.nif", "a..b\\c.nif", "...\\d.nif", ".\\e.nif", "f..\\g.nif"})
        EXPECT_FALSE(unsafeModelPath(fine)) << fine;
}

TEST(ItemLookup, SearchesBooksWeaponsArmourMiscLightsInOrder)
{
    std::vector<std::uint8_t> names = {'0', 'k', 'e', 'y', 0, '0', 'k', 'e', 'y', 0,
                                       '0', 'a', 'U', 'b', 0, '0', 'l', 'a', 'm', 'p'};
    auto view = [&](std::size_t at, std::size_t n) {
        return std::string_view(reinterpret_cast<const char*>(names.data()) + at, n);
    };
    Tables t;
    t.misc.setEditorId(t.misc.add(1), view(0, 4));
    t.misc.setFormId(0, 0x0100'0001);
    t.weapons.setEditorId(t.weapons.add(2), view(5, 4));
    t.weapons.setFormId(0, 0x0100'0002);
    EXPECT_EQ(lookupItem(t, "key"), 0x01000002u) << "weapons come before misc items";
    EXPECT_EQ(lookupItem(t, "KEY"), std::nullopt) << "case-sensitive";

    // An entry with form identifier 0 (left to another converter) never matches.
    t.books.setEditorId(t.books.add(3), view(10, 4));
    t.armours.setEditorId(t.armours.add(4), view(10, 4));
    t.armours.setFormId(0, 0x0000ABCD);
    EXPECT_EQ(lookupItem(t, "a_b"), 0x0000ABCDu) << "converted before the search";
    t.lights.setEditorId(t.lights.add(5), view(15, 5));
    t.lights.setFormId(0, 7);
    EXPECT_EQ(lookupItem(t, "lamp"), 7u);
    EXPECT_EQ(lookupItem(t, "nothing"), std::nullopt);
}

TEST(ItemLookup, ReadsInventoryEntries)
{
    const std::uint8_t full[] = {5, 0, 0, 0, 'g', 'o', 'l', 'd', 0, 'x'};
    auto e = readInventoryEntry(full);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->count, 5);
    EXPECT_EQ(e->identifier, "gold");
    const std::uint8_t negative[] = {0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'};
    e = readInventoryEntry(negative);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->count, -1);
    EXPECT_EQ(e->identifier, "ab") << "no zero byte: up to the end";
    const std::uint8_t tooShort[] = {1, 0, 0};
    EXPECT_FALSE(readInventoryEntry(tooShort));
    std::vector<std::uint8_t> longName(4, 0);
    longName.insert(longName.end(), 40, 'z');
    EXPECT_EQ(readInventoryEntry(longName)->identifier.size(), 32u);
}

} // namespace
} // namespace lw::test
