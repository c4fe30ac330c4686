// The CELL and WRLD groups as written, read back group by group and field by
// field, and the references inside them.

#include <algorithm>
#include <bit>

#include "world_fixture.hpp"

namespace lw::test {
namespace {

constexpr std::uint32_t kStatic = 0x01001000;
constexpr std::uint32_t kLight = 0x01001001;
constexpr std::uint32_t kDoor = 0x01001002;
constexpr std::uint32_t kNpc = 0x01001003;
constexpr std::uint32_t kCreature = 0x01001004;

std::vector<std::uint8_t> dataBytes(float x, float y)
{
    return placement(x, y, 7.0f, 0.25f, 0.5f, 1.0f).data();
}

TEST(WorldOutput, EmptyPluginWritesEmptyCellGroupAndFullGrid)
{
    World w;
    Tes3Builder b;
    b.header();
    w.load(b);
    Tes4File f = w.run();
    ASSERT_TRUE(f.ok()) << f.error;
    ASSERT_EQ(f.topGroups().size(), 2u);

    const Tes4Group* cells = f.topGroup("CELL");
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->groupType, 0u);
    EXPECT_TRUE(cells->children.empty());

    const Tes4Group* wrld = f.topGroup("WRLD");
    ASSERT_NE(wrld, nullptr);
    ASSERT_EQ(wrld->records().size(), 1u);
    const Tes4Record& world = *wrld->records()[0];
    EXPECT_EQ(world.tag, "WRLD");
    EXPECT_EQ(world.formId, 0x01000CE6u);
    EXPECT_EQ(world.flags, 0u);
    EXPECT_EQ(world.dataSize, 2u * 4u + 81u);
    EXPECT_EQ(world.layout(), "EDID FULL NAM2 MNAM DATA NAM0 NAM9");
    EXPECT_EQ(world.field("EDID")->text(), "Plug");
    EXPECT_EQ(world.field("FULL")->text(), "Plug");
    EXPECT_EQ(world.field("NAM2")->u32(), 0x18u);
    EXPECT_EQ(world.field("MNAM")->data, std::vector<std::uint8_t>(16, 0));
    EXPECT_EQ(world.field("DATA")->data, std::vector<std::uint8_t>{0});
    EXPECT_EQ(world.field("NAM0")->f32(0), -8192.0f);
    EXPECT_EQ(world.field("NAM0")->f32(4), -8192.0f);
    EXPECT_EQ(world.field("NAM9")->f32(0), 12288.0f);
    EXPECT_EQ(world.field("NAM9")->f32(4), 12288.0f);

    ASSERT_EQ(wrld->groups().size(), 1u);
    const Tes4Group& children = *wrld->groups()[0];
    EXPECT_EQ(children.groupType, 1u);
    EXPECT_EQ(children.label, world.formId);
    ASSERT_EQ(children.records().size(), 1u);
    const Tes4Record& persistent = *children.records()[0];
    EXPECT_EQ(persistent.tag, "CELL");
    EXPECT_EQ(persistent.flags, 0x400u);
    EXPECT_EQ(persistent.dataSize, 21u);
    EXPECT_EQ(persistent.layout(), "DATA XCLC");
    EXPECT_EQ(persistent.field("DATA")->u8(), 0x02);
    EXPECT_EQ(persistent.field("XCLC")->i32(0), 0);
    EXPECT_EQ(persistent.field("XCLC")->i32(4), 0);

    auto groups = children.groups();
    ASSERT_EQ(groups.size(), 17u);
    EXPECT_EQ(groups[0]->groupType, 6u);
    EXPECT_EQ(groups[0]->label, persistent.formId);
    ASSERT_EQ(groups[0]->children.size(), 1u);
    EXPECT_EQ(groups[0]->groups()[0]->groupType, 8u);
    EXPECT_EQ(groups[0]->groups()[0]->label, persistent.formId);
    EXPECT_TRUE(groups[0]->groups()[0]->children.empty());

    std::size_t block = 1;
    for (int bx = -2; bx <= 1; ++bx) {
        for (int by = -2; by <= 1; ++by, ++block) {
            const Tes4Group& g = *groups[block];
            EXPECT_EQ(g.groupType, 4u);
            EXPECT_EQ(g.label, (static_cast<std::uint32_t>(bx) << 16) | (static_cast<std::uint32_t>(by) & 0xFFFF));
            ASSERT_EQ(g.groups().size(), 16u);
            EXPECT_EQ(g.records().size(), 0u);
            for (const Tes4Group* sub : g.groups()) {
                EXPECT_EQ(sub->groupType, 5u);
                EXPECT_TRUE(sub->children.empty());
            }
        }
    }
    // Labels as the game reads them: block (0, 0) covers TES4 cells 0..31.
    EXPECT_EQ(groups[1 + 2 * 4 + 2]->label, 0x00000000u);
    EXPECT_EQ(groups[1 + 0 * 4 + 2]->label, 0xFFFE0000u); // x -64..-33, y 0..31
    const Tes4Group& block0m1 = *groups[1 + 2 * 4 + 1];   // x 0..31, y -32..-1
    EXPECT_EQ(block0m1.groups()[3]->label, 0x0000FFFFu);   // sub-block x 0..7, y -8..-1
    EXPECT_EQ(f.maxDepth, 4);

    EXPECT_NE(w.text().find("\nSaving interior cells\n\n\nSaving world\n\nParsing persistent ref in "
                            "exterior cells\n\nConnecting teleport doors\n"),
              std::string::npos);
}

TEST(WorldOutput, InteriorCellRecordAndGroups)
{
    World w;
    w.add(w.c.tables.statics, "rock", kStatic);
    w.add(w.c.tables.npcs, "guard", kNpc);
    Tes3Builder b;
    b.record("CELL")
        .sub("DATA", cellData(3, 0, 0))
        .text("NAME", "Ald-ruhn, Manor")
        .f32("WHGT", 1.5f)
        .sub("AMBI", Fields().u32(0x010203).u32(0x040506).u32(0x070809).f32(1.0f));
    reference(b, 1, "rock", 1.0f, 2.0f);
    reference(b, 2, "guard", 3.0f, 4.0f);
    reference(b, 3, "rock", 5.0f, 6.0f);
    b.end();
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "Empty").end();
    w.load(b);
    Tes4File f = w.run();
    ASSERT_TRUE(f.ok()) << f.error;

    const Tes4Group* cells = f.topGroup("CELL");
    ASSERT_EQ(cells->groups().size(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(cells->groups()[i]->groupType, 2u);
        EXPECT_EQ(cells->groups()[i]->label, i);
        ASSERT_EQ(cells->groups()[i]->groups().size(), 1u);
        EXPECT_EQ(cells->groups()[i]->groups()[0]->groupType, 3u);
        EXPECT_EQ(cells->groups()[i]->groups()[0]->label, 7u);
    }
    const Tes4Group& sub = *cells->groups()[0]->groups()[0];
    ASSERT_EQ(sub.records().size(), 1u);
    const Tes4Record& cell = *sub.records()[0];
    EXPECT_EQ(cell.layout(), "EDID FULL DATA XCLL XCLW");
    EXPECT_EQ(cell.flags, 0u);
    EXPECT_EQ(cell.field("EDID")->text(), "AldTruhnVSManor");
    EXPECT_TRUE(cell.field("EDID")->isZeroTerminatedText());
    EXPECT_EQ(cell.field("FULL")->text(), "Ald-ruhn, Manor");
    EXPECT_EQ(cell.dataSize, 15u + 66u + 15u + 7u);
    EXPECT_EQ(cell.field("DATA")->u8(), 0x03);
    const Tes4Subrecord& xcll = *cell.field("XCLL");
    ASSERT_EQ(xcll.size(), 36u);
    EXPECT_EQ(xcll.u32(0), 0x010203u);
    EXPECT_EQ(xcll.u32(4), 0x040506u);
    EXPECT_EQ(xcll.u32(8), 0x070809u);
    EXPECT_EQ(xcll.f32(12), 0.0f);
    EXPECT_EQ(xcll.f32(16), 0.0f);
    EXPECT_EQ(xcll.i32(20), 0);
    EXPECT_EQ(xcll.i32(24), 270);
    EXPECT_EQ(xcll.f32(28), 1.0f);
    EXPECT_EQ(xcll.f32(32), 0.0f);
    EXPECT_EQ(cell.field("XCLW")->f32(), 1.5f);

    ASSERT_EQ(sub.groups().size(), 1u);
    const Tes4Group& kids = *sub.groups()[0];
    EXPECT_EQ(kids.groupType, 6u);
    EXPECT_EQ(kids.label, cell.formId);
    ASSERT_EQ(kids.groups().size(), 2u);
    const Tes4Group& persistent = *kids.groups()[0];
    const Tes4Group& temporary = *kids.groups()[1];
    EXPECT_EQ(persistent.groupType, 8u);
    EXPECT_EQ(temporary.groupType, 9u);
    EXPECT_EQ(persistent.label, cell.formId);
    EXPECT_EQ(temporary.label, cell.formId);
    ASSERT_EQ(persistent.records().size(), 1u);
    EXPECT_EQ(persistent.records()[0]->tag, "ACHR");
    ASSERT_EQ(temporary.records().size(), 2u);
    EXPECT_EQ(temporary.records()[0]->field("DATA")->data, dataBytes(1.0f, 2.0f));
    EXPECT_EQ(temporary.records()[1]->field("DATA")->data, dataBytes(5.0f, 6.0f));
    // Form identifiers: the cell, then its persistent, then its temporary references.
    EXPECT_EQ(persistent.records()[0]->formId, cell.formId + 1);
    EXPECT_EQ(temporary.records()[0]->formId, cell.formId + 2);

    const Tes4Group& empty = *cells->groups()[1]->groups()[0];
    const Tes4Record& bare = *empty.records()[0];
    EXPECT_EQ(bare.field("DATA")->u8(), 0x01);
    EXPECT_EQ(bare.field("XCLW")->u32(), 0u);
    EXPECT_EQ(bare.field("XCLL")->u32(0), 0u);
    EXPECT_TRUE(empty.groups()[0]->groups()[0]->children.empty());
    EXPECT_TRUE(empty.groups()[0]->groups()[1]->children.empty());
    EXPECT_NE(w.text().find("\nSaving interior cells\n..\n"), std::string::npos);
}

TEST(WorldOutput, ReferenceResolutionAndRecordLayouts)
{
    World w;
    w.add(w.c.tables.statics, "both", kStatic);
    w.add(w.c.tables.lights, "both", kLight);
    w.add(w.c.tables.lights, "lamp", kLight);
    w.add(w.c.tables.doors, "door", kDoor);
    w.add(w.c.tables.npcs, "guard", kNpc);
    w.add(w.c.tables.creatures, "rat", kCreature);
    // A record the flora converter left to the containers: EditorID, no form id.
    w.add(w.c.tables.containers, "plant", 0);
    w.add(w.c.tables.flora, "plant", 0x01001005);

    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "Hall");
    reference(b, 1, "both", 1, 1);   // static wins over light
    reference(b, 2, "Lamp", 2, 2);   // letter case differs: dropped
    reference(b, 3, "lamp", 3, 3);
    b.sub("XSCL", Fields().f32(1.0f));
    reference(b, 4, "lamp", 4, 4);
    b.sub("XSCL", Fields().f32(0.0f));
    reference(b, 5, "door", 5, 5);   // no destination: temporary, 40
    reference(b, 6, "door", 6, 6);   // scaled, no destination: 50
    b.sub("XSCL", Fields().f32(2.0f));
    reference(b, 7, "door", 7, 7);   // destination: persistent, 74
    b.sub("DODT", placement(70, 71, 72)).text("DNAM", "Outside");
    reference(b, 8, "door", 8, 8);   // destination and scale: 84
    b.sub("XSCL", Fields().f32(0.5f)).sub("DODT", placement(80, 81, 82));
    reference(b, 9, "guard", 9, 9);
    reference(b, 10, "rat", 10, 10);
    reference(b, 11, "plant", 11, 11);
    reference(b, 12, "nothing", 12, 12);
    b.end();
    w.load(b);
    Tes4File f = w.run();
    ASSERT_TRUE(f.ok()) << f.error;

    const Tes4Group& kids = *f.topGroup("CELL")->groups()[0]->groups()[0]->groups()[0];
    auto persistent = kids.groups()[0]->records();
    auto temporary = kids.groups()[1]->records();
    ASSERT_EQ(persistent.size(), 3u);
    ASSERT_EQ(temporary.size(), 7u);

    EXPECT_EQ(temporary[0]->field("NAME")->u32(), kStatic);
    EXPECT_EQ(temporary[1]->field("NAME")->u32(), kLight);
    EXPECT_EQ(temporary[1]->field("DATA")->data, dataBytes(3, 3));
    EXPECT_EQ(temporary[1]->layout(), "NAME XSCL DATA");
    EXPECT_EQ(temporary[1]->field("XSCL")->f32(), 1.0f);
    EXPECT_EQ(temporary[1]->dataSize, 50u);
    EXPECT_EQ(temporary[2]->layout(), "NAME DATA");
    EXPECT_EQ(temporary[2]->dataSize, 40u);
    EXPECT_EQ(temporary[3]->field("NAME")->u32(), kDoor);
    EXPECT_EQ(temporary[3]->flags, 0u);
    EXPECT_EQ(temporary[3]->dataSize, 40u);
    EXPECT_EQ(temporary[4]->dataSize, 50u);
    EXPECT_EQ(temporary[5]->tag, "REFR");
    EXPECT_EQ(temporary[5]->field("NAME")->u32(), kCreature);
    EXPECT_EQ(temporary[6]->field("NAME")->u32(), 0x01001005u);
    for (const Tes4Record* r : temporary) {
        EXPECT_EQ(r->tag, "REFR");
        EXPECT_EQ(r->flags, 0u);
    }

    EXPECT_EQ(persistent[0]->tag, "REFR");
    EXPECT_EQ(persistent[0]->flags, 0x400u);
    EXPECT_EQ(persistent[0]->dataSize, 74u);
    EXPECT_EQ(persistent[0]->layout(), "NAME XTEL DATA");
    EXPECT_EQ(persistent[0]->field("DATA")->data, dataBytes(7, 7));
    EXPECT_EQ(persistent[1]->dataSize, 84u);
    EXPECT_EQ(persistent[1]->layout(), "NAME XSCL XTEL DATA");
    // Nobody leads back to "Hall": the placeholders stay.
    EXPECT_EQ(persistent[0]->field("XTEL")->data, std::vector<std::uint8_t>(28, 0));
    EXPECT_EQ(persistent[1]->field("XTEL")->data, std::vector<std::uint8_t>(28, 0));
    EXPECT_EQ(persistent[2]->tag, "ACHR");
    EXPECT_EQ(persistent[2]->flags, 0x400u);
    EXPECT_EQ(persistent[2]->field("NAME")->u32(), kNpc);
    EXPECT_EQ(w.c.teleportDoors, 2);
}

TEST(WorldOutput, ExteriorCellBecomesFourCellsInOrder)
{
    World w;
    w.add(w.c.tables.statics, "rock", kStatic);
    w.addRegion("Ash", 0x01000200);
    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(2, 3, -2)).text("RGNN", "Ash");
    reference(b, 1, "rock", 3 * 8192 + 100, -2 * 8192 + 100);   // south-west
    reference(b, 2, "rock", 3 * 8192 + 5000, -2 * 8192 + 100);  // south-east
    reference(b, 3, "rock", 3 * 8192 + 100, -2 * 8192 + 5000);  // north-west
    reference(b, 4, "rock", 3 * 8192 + 5000, -2 * 8192 + 5000); // north-east
    reference(b, 5, "rock", 3 * 8192 + 4095, -2 * 8192 + 4096); // north-west edge
    b.end();
    flatLand(b, false);
    b.record("CELL").sub("DATA", cellData(0, 32, 0)).end(); // outside what the world holds
    flatLand(b, false);
    b.record("CELL").sub("DATA", cellData(0, 5, 5)).end(); // no heights: written after
    w.load(b);
    Tes4File f = w.run();
    ASSERT_TRUE(f.ok()) << f.error;

    auto cells = exteriorCells(f);
    ASSERT_EQ(cells.size(), 8u);
    EXPECT_EQ(cells[4].x, 10);
    const int expect[4][2] = {{6, -4}, {7, -4}, {6, -3}, {7, -3}};
    const std::size_t refs[4] = {1, 1, 2, 1};
    for (std::size_t q = 0; q < 4; ++q) {
        const Tes4Record& cell = *cells[q].cell;
        EXPECT_EQ(cells[q].x, expect[q][0]);
        EXPECT_EQ(cells[q].y, expect[q][1]);
        EXPECT_EQ(cell.layout(), "DATA XCLC XCLR");
        EXPECT_EQ(cell.dataSize, 31u);
        EXPECT_EQ(cell.flags, 0u);
        EXPECT_EQ(cell.field("DATA")->u8(), 0x02);
        EXPECT_EQ(cell.field("XCLR")->u32(), 0x01000200u);
        ASSERT_NE(cells[q].children, nullptr);
        EXPECT_EQ(cells[q].children->groupType, 6u);
        EXPECT_EQ(cells[q].children->label, cell.formId);
        ASSERT_EQ(cells[q].children->groups().size(), 1u);
        const Tes4Group& temporary = *cells[q].children->groups()[0];
        EXPECT_EQ(temporary.groupType, 9u);
        EXPECT_EQ(temporary.label, cell.formId);
        auto records = temporary.records();
        ASSERT_EQ(std::count_if(records.begin(), records.end(),
                                [](const Tes4Record* r) { return r->tag == "REFR"; }),
                  static_cast<long>(refs[q]));
        // The cell's form identifier, then its references, then its land.
        for (std::size_t i = 0; i < records.size(); ++i)
            EXPECT_EQ(records[i]->formId, cell.formId + 1 + i);
        EXPECT_EQ(records.back()->tag, "LAND");
    }
    // The block of TES4 cells (0..31, -32..-1), sub-block (0..7, -8..-1).
    const Tes4Group& children = *f.topGroup("WRLD")->groups()[0];
    const Tes4Group& block = *children.groups()[1 + 2 * 4 + 1];
    EXPECT_EQ(block.label, 0x0000FFFFu);
    EXPECT_EQ(block.groups()[3]->label, 0x0000FFFFu);
    EXPECT_EQ(block.groups()[3]->records().size(), 4u);

    EXPECT_NE(w.text().find("\nSaving Cell\ncell @ (3,-2) => (6,-4)\n.....\n"), std::string::npos);
    EXPECT_EQ(w.text().find("cell @ (32,0)"), std::string::npos);
    EXPECT_NE(w.text().find("\nSaving Cell\ncell @ (5,5) => (10,10)\nno heights!\n"), std::string::npos);
}

TEST(WorldOutput, CellsWithoutLandKeepTheirReferencesAndLandOnlyCellsTheirLand)
{
    World w;
    w.add(w.c.tables.statics, "rock", kStatic);
    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(0, 1, 1));
    reference(b, 1, "rock", 8192 + 100, 8192 + 7000);  // north-west
    reference(b, 2, "rock", 8192 + 5000, 8192 + 6000); // north-east
    reference(b, 3, "rock", 8192 + 300, 8192 + 200);   // south-west
    reference(b, 4, "rock", 8192 + 400, 8192 + 7100);  // north-west
    b.end();
    b.record("LAND").sub("INTV", Fields().i32(-2).i32(0)).sub("VNML", Fields().zeros(65 * 65 * 3));
    b.sub("VHGT", Fields().f32(0.0f).zeros(65 * 65 + 3)).end();
    w.load(b);
    Tes4File f = w.run();
    ASSERT_TRUE(f.ok()) << f.error;
    auto cells = exteriorCells(f);
    ASSERT_EQ(cells.size(), 8u);
    struct Expect {
        int x, y;
        std::string tags; // the temporary group's records
        std::vector<float> xs;
    };
    const std::vector<Expect> expected = {
        {-4, 0, "LAND", {}},
        {-3, 0, "LAND", {}},
        {-4, 1, "LAND", {}},
        {-3, 1, "LAND", {}},
        {2, 2, "REFR", {8192 + 300}},
        {3, 2, "", {}},
        {2, 3, "REFR REFR", {8192 + 100, 8192 + 400}},
        {3, 3, "REFR", {8192 + 5000}},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(cells[i].x, expected[i].x) << i;
        EXPECT_EQ(cells[i].y, expected[i].y) << i;
        std::string tags;
        std::vector<float> xs;
        for (const Tes4Record* r : cells[i].children->groups()[0]->records()) {
            tags += (tags.empty() ? "" : " ") + r->tag;
            if (r->tag == "REFR")
                xs.push_back(r->field("DATA")->f32(0));
        }
        EXPECT_EQ(tags, expected[i].tags) << i;
        EXPECT_EQ(xs, expected[i].xs) << i;
    }
    EXPECT_EQ(countOf(w.text(), "no heights!\n"), 1u);
}

TEST(WorldOutput, OutOfCellReferencesAreWrittenWhereTheyStand)
{
    World w;
    w.add(w.c.tables.statics, "rock", kStatic);
    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(0, 0, 0));
    reference(b, 1, "rock", 8192 + 5000, 10);   // stands in (1, 0), north... south-east
    reference(b, 2, "rock", 3 * 8192 + 10, 10); // stands in (3, 0): no such cell, lost
    b.end();
    flatLand(b, false);
    b.record("CELL").sub("DATA", cellData(0, 1, 0));
    reference(b, 3, "rock", 8192 + 10, 10);
    b.u32("FRMR", 4).text("NAME", "rock"); // no DATA: off to (0, 0), never stored
    b.end();
    flatLand(b, false);
    b.record("CELL").sub("DATA", cellData(0, 2, 0)).end(); // no land: cells without LAND
    w.load(b);
    Tes4File f = w.run();
    ASSERT_TRUE(f.ok()) << f.error;
    auto all = exteriorCells(f);
    ASSERT_EQ(all.size(), 12u);
    EXPECT_EQ(all[0].x, 4);
    EXPECT_EQ(all[0].children->groups()[0]->records().size(), 0u);
    // (1, 0) is written before (0, 0): cells run from east to west in a sub-block.
    std::vector<ExteriorCellView> cells(all.begin() + 4, all.end());
    EXPECT_EQ(cells[0].x, 2);
    auto refs = [](const ExteriorCellView& v) {
        std::vector<float> xs;
        for (const Tes4Record* r : v.children->groups()[0]->records())
            if (r->tag == "REFR")
                xs.push_back(r->field("DATA")->f32(0));
        return xs;
    };
    EXPECT_EQ(refs(cells[0]), std::vector<float>{8192 + 10});
    EXPECT_EQ(refs(cells[1]), std::vector<float>{8192 + 5000});
    for (std::size_t i = 2; i < 8; ++i)
        EXPECT_TRUE(refs(cells[i]).empty()) << i;
    // The reference without DATA speaks in the persistent pass, in its own
    // cell's pass and in every written cell's pass over the out-of-cell list.
    EXPECT_EQ(countOf(w.text(), "bad coord pointer!\nPress enter...\n"), 5u);
    EXPECT_EQ(countOf(w.text(), "cell @ (2,0)"), 1u);
}

} // namespace
} // namespace lw::test
