// Records taken from the plugin's masters: which are pulled (each once, the
// winning definition), and whole in-process runs read back with the TES4 walker.

#include <gtest/gtest.h>

#include <map>

#include "common/console/console.hpp"
#include "modshift/driver/run.hpp"
#include "modshift/masters/masters.hpp"
#include "support/fake_platform.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::modshift {
namespace {

using test::Fields;
using test::Tes3Builder;

Tes3Builder& item(Tes3Builder& b, const char* tag, const char* name, const char* model)
{
    return b.record(tag).text("NAME", name).text("MODL", model);
}

Tes3Builder& withHeader(Tes3Builder& b, std::initializer_list<const char*> masters)
{
    b.record("TES3").sub("HEDR", test::hedrData("me", "test"));
    for (const char* m : masters)
        b.text("MAST", m).sub("DATA", Fields().u32(0).u32(0));
    return b.end();
}

// Master A: a tree that B overrides, a hall that the plugin overrides, a smith
// whose inventory holds a coin, a shirt of a kind nothing converts.
std::vector<std::uint8_t> masterA()
{
    Tes3Builder b;
    withHeader(b, {});
    item(b, "STAT", "rock", "a_rock.nif").end();
    item(b, "STAT", "tree", "a_tree.nif").end();
    item(b, "STAT", "Hall", "a_hall.nif").end();
    item(b, "STAT", "unused", "a_unused.nif").end();
    b.record("NPC_").text("NAME", "smith").text("RNAM", "Nord").sub("NPCO", Fields().i32(3).fixed("Coin", 32)).end();
    item(b, "MISC", "coin", "a_coin.nif").end();
    item(b, "CLOT", "shirt", "a_shirt.nif").end();
    return b.bytes();
}

// Master B (names A): a crate with a gem and a coin, a leveled list of a crab.
std::vector<std::uint8_t> masterB()
{
    Tes3Builder b;
    withHeader(b, {"A.esm"});
    item(b, "STAT", "tree", "b_tree.nif").end();
    item(b, "CONT", "crate", "b_crate.nif").u32("FLAG", 8)
        .sub("NPCO", Fields().i32(1).fixed("gem", 32)).sub("NPCO", Fields().i32(2).fixed("COIN", 32)).end();
    item(b, "MISC", "gem", "b_gem.nif").end();
    b.record("LEVC").text("NAME", "lev_crab").text("CNAM", "crab").sub("INTV", Fields().u16(3)).end();
    item(b, "CREA", "crab", "b_crab.nif").end();
    item(b, "STAT", "unused2", "b_unused.nif").end();
    return b.bytes();
}

// The plugin: its own hall and references in an interior.
std::vector<std::uint8_t> plugin(std::initializer_list<const char*> masters)
{
    Tes3Builder b;
    withHeader(b, masters);
    item(b, "STAT", "hall", "p_hall.nif").end();
    b.record("CELL").text("NAME", "Hut").sub("DATA", Fields().u32(1).i32(0).i32(0));
    const char* bases[] = {"rock", "tree", "hall", "crate", "rock", "lev_crab", "smith", "shirt"};
    for (std::uint32_t i = 0; i < std::size(bases); ++i)
        b.u32("FRMR", i + 1).text("NAME", bases[i]).sub("DATA", Fields().f32(static_cast<float>(10 * i)).f32(2).f32(3).zeros(12));
    b.end();
    return b.bytes();
}

MasterFile parsed(std::string name, std::vector<std::uint8_t> bytes)
{
    MasterFile m{std::move(name), std::move(bytes), {}};
    Console quiet = Console::capturing();
    EXPECT_EQ(parseRecordTree(m.bytes, m.tree, quiet), 0);
    return m;
}

// "master:NAME" for each pulled record, in the order given.
std::vector<std::string> describe(std::span<const MasterFile> masters, const std::vector<PulledRecord>& pulled)
{
    std::vector<std::string> out;
    for (const PulledRecord& p : pulled) {
        const RecordTree& t = masters[p.master].tree;
        out.push_back(masters[p.master].name + ":" + std::string(t.text(t.node(p.node).firstChild)));
    }
    return out;
}

TEST(Masters, PullsEachUsedRecordOnceWithTheWinningDefinition)
{
    std::vector<MasterFile> masters;
    masters.push_back(parsed("A", masterA()));
    masters.push_back(parsed("B", masterB()));
    std::vector<std::uint8_t> bytes = plugin({"A.esm", "B.esm"});
    RecordTree tree;
    Console quiet = Console::capturing();
    ASSERT_EQ(parseRecordTree(bytes, tree, quiet), 0);

    // Master order, then file order. B's tree replaces A's, the plugin's hall
    // replaces A's "Hall"; the smith brings his "Coin" and the crate its gem
    // and "COIN" (case does not separate identifiers), the leveled list its
    // crab; the shirt has no converter and unused records are never taken.
    EXPECT_EQ(describe(masters, usedMasterRecords(tree, masters)),
              (std::vector<std::string>{"A:rock", "A:smith", "A:coin", "B:tree", "B:crate", "B:gem", "B:lev_crab",
                                        "B:crab"}));

    // Reversed masters: A's tree wins.
    std::swap(masters[0], masters[1]);
    EXPECT_EQ(describe(masters, usedMasterRecords(tree, masters)),
              (std::vector<std::string>{"B:crate", "B:gem", "B:lev_crab", "B:crab", "A:rock", "A:tree", "A:smith",
                                        "A:coin"}));
}

std::string editorId(const test::Tes4Record* r)
{
    return r && r->field("EDID") ? r->field("EDID")->text() : "<none>";
}

TEST(Masters, ReferencesConvertWithTheWinningDefinitions)
{
    test::FakePlatform p;
    p.put("/prog/meshshift.ini", "Morrowind=C:\\mw\r\nArchive=Morrowind.bsa\r\nOblivion=C:\\ob\r\nFolder=conv");
    p.files["C:\\mw\\A.esm"] = masterA();
    p.files["C:\\mw\\b.ESM"] = masterB();
    p.files["C:\\mw\\Mod.esp"] = plugin({"A.esm", "b.ESM"});
    p.exitStatus = 0; // every mesh converts, so each static and item is written
    Console console = Console::capturing();
    const std::vector<std::string> args = {"/prog/modshift", "C:\\mw\\Mod.esp"};
    runModshift(args, p, console);
    const std::string text = console.captured();
    const test::Tes4File out = test::readTes4(p.files["C:\\mw\\Mod_ob.esp"]);
    ASSERT_TRUE(out.ok()) << out.error << text;
    EXPECT_NE(text.find("3 records used from master A.esm\n5 records used from master b.ESM\n"), std::string::npos)
        << text;

    // Within each group the plugin's own records first, then master order.
    std::map<std::string, std::vector<std::string>> groups;
    for (const char* tag : {"STAT", "MISC", "CONT"})
        if (const test::Tes4Group* g = out.topGroup(tag))
            for (const test::Tes4Record* rec : g->records())
                groups[tag].push_back(editorId(rec) + " " + (rec->field("MODL") ? rec->field("MODL")->text() : ""));
    EXPECT_EQ(groups["STAT"], (std::vector<std::string>{"0hall conv\\pUhall.nif", "0rock conv\\aUrock.nif",
                                                        "0tree conv\\bUtree.nif"}));
    EXPECT_EQ(groups["MISC"], (std::vector<std::string>{"0coin Clutter\\conv\\aUcoin.nif",
                                                        "0gem Clutter\\conv\\bUgem.nif"}));
    EXPECT_EQ(groups["CONT"], (std::vector<std::string>{"0crate conv\\bUcrate.nif"}));

    // The list (no creature mapped), the smith and the shirt find no
    // converted record here.
    std::vector<std::string> placed;
    for (const test::Tes4Record* ref : out.allRecords("REFR"))
        placed.push_back(editorId(out.byFormId(ref->field("NAME")->u32())));
    EXPECT_EQ(placed, (std::vector<std::string>{"0rock", "0tree", "0hall", "0crate", "0rock"}));
}

} // namespace
} // namespace lw::modshift
