// The world steps over small plugins built in memory: the cell parse, regions,
// the CELL and WRLD groups with their references, teleport doors; read back
// with the independent TES4 reader.

#include <algorithm>
#include <map>

#include "modshift/driver/save_steps.hpp"
#include "support/conversion_run.hpp"

namespace lw::test {
namespace {

using modshift::makeTag;

constexpr std::uint32_t kStatic = 0x01001000, kLight = 0x01001001, kDoor = 0x01001002;
constexpr std::uint32_t kNpc = 0x01001003, kCreature = 0x01001004;

// 24 bytes of reference DATA or DODT: position and rotation.
Fields placement(float x, float y, float z = 7, float rx = 0.25f, float ry = 0.5f, float rz = 1)
{
    return Fields().f32(x).f32(y).f32(z).f32(rx).f32(ry).f32(rz);
}
Fields cellData(std::uint32_t flags, std::int32_t x, std::int32_t y) { return Fields().u32(flags).i32(x).i32(y); }
void reference(Tes3Builder& b, std::uint32_t index, std::string_view name, float x, float y)
{
    b.u32("FRMR", index).text("NAME", name).sub("DATA", placement(x, y));
}
// A LAND with flat heights (no INTV: it belongs to the exterior CELL before it).
void flatLand(Tes3Builder& b)
{
    b.record("LAND").sub("VNML", Fields().zeros(65 * 65 * 3)).sub("VHGT", Fields().f32(0).zeros(65 * 65 + 3));
    b.sub("VTEX", Fields().zeros(512)).end();
}
void pathGrid(Tes3Builder& b, int x, int y, int points)
{
    b.record("PGRD").sub("DATA", Fields().i32(x).i32(y).u16(128).i16(static_cast<std::int16_t>(points))).end();
}

struct World : ConversionRun {
    World() { c->paths.pluginName = "Plug"; }
    // Every world step in the order a run takes them; what was written, read back.
    Tes4File run()
    {
        modshift::parseRegions(*c);
        modshift::parseCells(*c);
        modshift::saveRegions(*c);
        modshift::saveInteriorCells(*c);
        modshift::saveWorldspace(*c);
        modshift::connectTeleportDoors(*c);
        return output();
    }
};

// An exterior CELL record with the type-6 group that follows it.
struct CellView {
    const Tes4Record* cell = nullptr;
    const Tes4Group* children = nullptr;
};
void collectCells(const Tes4Group& g, std::map<std::pair<int, int>, CellView>& out)
{
    for (std::size_t i = 0; i < g.children.size(); ++i) {
        const Tes4Entry& e = g.children[i];
        if (e.isGroup && (e.group.groupType == 4 || e.group.groupType == 5)) {
            collectCells(e.group, out);
        } else if (!e.isGroup && g.groupType == 5 && e.record.tag == "CELL") {
            const Tes4Subrecord* xclc = e.record.field("XCLC");
            const Tes4Group* kids = i + 1 < g.children.size() && g.children[i + 1].isGroup ? &g.children[i + 1].group : nullptr;
            out[{xclc->i32(0), xclc->i32(4)}] = {&e.record, kids};
        }
    }
}
// The tags of a cell's temporary references, and the x of each REFR.
std::pair<std::string, std::vector<float>> contents(const CellView& v)
{
    std::pair<std::string, std::vector<float>> out;
    for (const Tes4Record* r : v.children->groups()[0]->records()) {
        out.first += (out.first.empty() ? "" : " ") + r->tag;
        if (r->tag == "REFR")
            out.second.push_back(r->field("DATA")->f32(0));
    }
    return out;
}

TEST(CellParse, ExteriorGridCornersAndOutOfCellRounding)
{
    World w;
    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(0, -64, 63)).end();
    b.record("CELL").sub("DATA", cellData(2, 63, -64)).end();
    b.record("CELL").sub("DATA", cellData(0, 64, 0)).end(); // no slot
    b.record("CELL").sub("DATA", cellData(0, 0, 0));
    reference(b, 1, "a", 8192.0f - 0.6f, 10.0f); // 8191.4 -> 8191: stays
    reference(b, 2, "b", 8192.0f - 0.5f, 10.0f); // 8191.5 -> 8192: leaves
    reference(b, 3, "c", -0.4f, 10.0f);          // -> 0: stays
    reference(b, 4, "d", -0.5f, 10.0f);          // -> -1: leaves
    b.u32("FRMR", 5).text("NAME", "e");         // no DATA: counts as (0, 0), stays
    b.end();
    b.record("CELL").sub("DATA", cellData(0, 1, 0));
    b.u32("FRMR", 6).text("NAME", "f"); // no DATA: (0, 0) is outside cell (1, 0)
    b.end();
    w.load(b);
    EXPECT_EQ(modshift::parseCells(*w.c), 0);
    const auto& grid = w.c->world.exterior;
    EXPECT_EQ(std::tuple(grid.at(-64, 63).cell, grid.at(-64, 63).hasWater, grid.at(63, -64).hasWater),
              std::tuple(0, false, true));
    EXPECT_NE(w.text().find("exterior cell (64,0) outside the grid, skipped\n"), std::string::npos);
    std::vector<std::string> left; // the NAME after each FRMR
    for (std::int32_t n : w.c->world.outOfCell)
        left.emplace_back(w.c->tree.text(n + 1));
    EXPECT_EQ(left, (std::vector<std::string>{"b", "d", "f"}));
}

TEST(CellParse, InteriorsAndPathGridsOfTheMostRecentCell)
{
    World w;
    Tes3Builder b;
    pathGrid(b, 0, 0, 3); // before any cell: no owner
    b.record("CELL").sub("DATA", cellData(3, 0, 0)).text("NAME", "Balmora, Guild").end();
    pathGrid(b, 9, 9, 4); // the interior's, whatever its DATA says
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "").end(); // an empty name is a name
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).end();                  // no name: left out
    pathGrid(b, 0, 0, 3);                                                    // ... and its grid too
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "big").end();
    pathGrid(b, 0, 0, 4096);
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "limit").end();
    pathGrid(b, 0, 0, 4095);
    b.record("CELL").sub("DATA", cellData(0, 2, 2)).end();
    pathGrid(b, 5, -5, 7); // an exterior's grid goes where its own DATA says
    w.load(b);
    EXPECT_EQ(modshift::parseCells(*w.c), 0);
    // Name, points of the path grid (-1: none).
    std::vector<std::pair<std::string, int>> in;
    for (const modshift::InteriorCell& i : w.c->world.interiors)
        in.emplace_back(i.name, i.pathGrid < 0 ? -1 : i.pathGridPoints);
    EXPECT_EQ(in, (std::vector<std::pair<std::string, int>>{{"Balmora, Guild", 4}, {"", -1}, {"big", -1}, {"limit", 4095}}));
    const std::pair<int, int> withoutGrid[] = {{9, 9}, {0, 0}, {2, 2}};
    for (auto [x, y] : withoutGrid)
        EXPECT_EQ(w.c->world.exterior.at(x, y).pathGrid, -1) << x << "," << y;
    EXPECT_EQ(w.c->world.exterior.at(5, -5).pathGridPoints, 7);
    EXPECT_NE(w.text().find("Interior must have an ID name!\nPress enter...\n"), std::string::npos);
    EXPECT_NE(w.text().find("Too many PGRP nodes! (4096>4095)\nPress enter...\n"), std::string::npos);
    EXPECT_NE(w.text().find("found 4 interiors"), std::string::npos);
    EXPECT_EQ(w.console.waits(), 2);
}

TEST(CellParse, LandsGoWhereTheirCoordinatesSayAndTexturesAreReorderedOnce)
{
    World w;
    Tes3Builder b;
    Fields vtex;
    for (int i = 0; i < 256; ++i)
        vtex.u16(static_cast<std::uint16_t>(i));
    const Fields normals = Fields().zeros(65 * 65 * 3);
    const Fields heights = Fields().f32(0.0f).zeros(65 * 65 + 3);
    b.record("CELL").sub("DATA", cellData(0, 1, 0)).end();
    b.record("LAND").sub("INTV", Fields().i32(0).i32(0)).sub("VNML", normals).sub("VHGT", heights).sub("VTEX", vtex).end();
    b.record("CELL").sub("DATA", cellData(0, 0, 0)).end(); // (0, 0) again: its second LAND has no VTEX
    b.record("LAND").sub("INTV", Fields().i32(0).i32(0)).sub("VHGT", heights).end();
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "in").end();
    flatLand(b); // no INTV after an interior: nowhere
    b.record("CELL").sub("DATA", cellData(0, 3, 0)).end();
    b.record("LAND").sub("VHGT", Fields().f32(0.0f).zeros(100)).end(); // too short to use
    b.record("CELL").sub("DATA", cellData(0, 4, 0)).end();
    b.record("LAND").sub("VHGT", Fields().f32(0.0f).zeros(65 * 65)).end(); // without its 3 spare bytes
    w.load(b);
    ASSERT_EQ(modshift::parseCells(*w.c), 0);
    const auto& grid = w.c->world.exterior;
    auto nth = [&](const char(&tag)[5], std::size_t i) { return w.c->tree.find(makeTag(tag))[i]; };
    EXPECT_EQ(grid.at(1, 0).heights, -1);
    EXPECT_EQ(grid.at(0, 0).cell, nth("CELL", 1));
    EXPECT_EQ(grid.at(0, 0).normals, nth("VNML", 0));
    EXPECT_EQ(grid.at(0, 0).heights, nth("VHGT", 1));
    EXPECT_EQ(grid.at(3, 0).heights, -1);
    EXPECT_EQ(grid.at(4, 0).heights, nth("VHGT", 4));
    EXPECT_NE(w.text().find("found 4 lands\n"), std::string::npos) << w.text();

    // Stored as 16 blocks of 4 x 4; now row by row, (tx, ty) at ty * 16 + tx,
    // reordered once although its cell came twice.
    const std::vector<std::array<int, 3>> expected = {
        {0, 0, 0}, {3, 0, 3}, {4, 0, 16}, {0, 1, 4}, {5, 1, 21}, {0, 4, 64}, {12, 3, 60}, {15, 15, 255}};
    auto d = w.c->tree.data(grid.at(0, 0).textures);
    for (const auto& [tx, ty, value] : expected) {
        const std::size_t i = static_cast<std::size_t>(ty * 16 + tx) * 2;
        EXPECT_EQ(d[i] | d[i + 1] << 8, value) << tx << "," << ty;
    }
}

TEST(WorldOutput, InteriorCellsWithTheirReferences)
{
    World w;
    w.add(w.c->tables.statics, "both", kStatic);
    w.add(w.c->tables.lights, "both", kLight);
    w.add(w.c->tables.lights, "lamp", kLight);
    w.add(w.c->tables.doors, "door", kDoor);
    w.add(w.c->tables.npcs, "guard", kNpc);
    w.add(w.c->tables.creatures, "rat", kCreature);
    // A record the flora converter left to the containers: EditorID, no form id.
    w.add(w.c->tables.containers, "plant", 0);
    w.add(w.c->tables.flora, "plant", 0x01001005);
    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(3, 0, 0)).text("NAME", "Ald-ruhn, Manor").f32("WHGT", 1.5f);
    b.sub("AMBI", Fields().u32(0x010203).u32(0x040506).u32(0x070809).f32(1.0f));
    reference(b, 1, "both", 1, 1); // static wins over light
    reference(b, 2, "Lamp", 2, 2); // letter case differs: dropped
    reference(b, 3, "lamp", 3, 3);
    b.sub("XSCL", Fields().f32(1.0f));
    reference(b, 4, "lamp", 4, 4);
    b.sub("XSCL", Fields().f32(0.0f));
    reference(b, 5, "door", 5, 5); // no destination: temporary
    reference(b, 6, "door", 6, 6);
    b.sub("XSCL", Fields().f32(2.0f));
    reference(b, 7, "door", 7, 7); // destination: persistent
    b.sub("DODT", placement(70, 71, 72)).text("DNAM", "Outside");
    reference(b, 8, "door", 8, 8);
    b.sub("XSCL", Fields().f32(0.5f)).sub("DODT", placement(80, 81, 82));
    reference(b, 9, "guard", 9, 9);
    reference(b, 10, "rat", 10, 10);
    reference(b, 11, "plant", 11, 11);
    reference(b, 12, "nothing", 12, 12);
    b.end();
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "Empty").end();
    w.load(b);
    Tes4File f = w.run();
    const Tes4Group* cells = f.topGroup("CELL");
    ASSERT_EQ(cells->groups().size(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i) {
        const Tes4Group& block = *cells->groups()[i];
        EXPECT_EQ(std::tuple(block.groupType, block.label, block.groups().at(0)->groupType, block.groups()[0]->label),
                  std::tuple(2u, i, 3u, 7u));
    }
    const Tes4Group& sub = *cells->groups()[0]->groups()[0];
    const Tes4Record& cell = *sub.records().at(0);
    EXPECT_EQ(cell.layout(), "EDID FULL DATA XCLL XCLW");
    EXPECT_EQ(cell.field("EDID")->text(), "AldTruhnVSManor");
    EXPECT_EQ(cell.field("FULL")->text(), "Ald-ruhn, Manor");
    EXPECT_EQ(cell.field("DATA")->u8(), 0x03);
    const std::vector<std::uint32_t> lighting = {0x010203, 0x040506, 0x070809, 0, 0, 0, 270, 0x3F800000, 0};
    ASSERT_EQ(cell.field("XCLL")->size(), 36u);
    for (std::size_t i = 0; i < lighting.size(); ++i)
        EXPECT_EQ(cell.field("XCLL")->u32(i * 4), lighting[i]) << i;
    EXPECT_EQ(cell.field("XCLW")->f32(), 1.5f);

    const Tes4Group& kids = *sub.groups().at(0);
    EXPECT_EQ(std::pair(kids.groupType, kids.label), std::pair(6u, cell.formId));
    ASSERT_EQ(kids.groups().size(), 2u);
    // Tag, flags, form id after the cell's, base, layout, x: the cell, then its
    // persistent, then its temporary references.
    using Row = std::tuple<std::string, std::uint32_t, std::uint32_t, std::uint32_t, std::string, float>;
    const std::vector<Row> persistent = {{"REFR", 0x400, 1, kDoor, "NAME XTEL DATA", 7},
                                         {"REFR", 0x400, 2, kDoor, "NAME XSCL XTEL DATA", 8},
                                         {"ACHR", 0x400, 3, kNpc, "NAME DATA", 9}};
    const std::vector<Row> temporary = {
        {"REFR", 0, 4, kStatic, "NAME DATA", 1},  {"REFR", 0, 5, kLight, "NAME XSCL DATA", 3},
        {"REFR", 0, 6, kLight, "NAME DATA", 4},   {"REFR", 0, 7, kDoor, "NAME DATA", 5},
        {"REFR", 0, 8, kDoor, "NAME XSCL DATA", 6}, {"REFR", 0, 9, kCreature, "NAME DATA", 10},
        {"REFR", 0, 10, 0x01001005, "NAME DATA", 11}};
    for (std::uint32_t g = 0; g < 2; ++g) {
        const Tes4Group& group = *kids.groups()[g];
        EXPECT_EQ(std::pair(group.groupType, group.label), std::pair(8u + g, cell.formId));
        std::vector<Row> rows;
        for (const Tes4Record* r : group.records()) {
            const Tes4Subrecord& data = *r->field("DATA");
            EXPECT_EQ(data.data, placement(data.f32(0), data.f32(0)).data());
            rows.emplace_back(r->tag, r->flags, r->formId - cell.formId, r->field("NAME")->u32(), r->layout(), data.f32(0));
        }
        EXPECT_EQ(rows, g == 0 ? persistent : temporary);
    }
    EXPECT_EQ(kids.groups()[1]->records()[1]->field("XSCL")->f32(), 1.0f);
    // Nobody leads back to this cell: the placeholders stay.
    EXPECT_EQ(kids.groups()[0]->records()[1]->field("XTEL")->data, std::vector<std::uint8_t>(28, 0));
    EXPECT_EQ(w.c->teleportDoors, 2);
}

// Regions, land, path grids and references through the worldspace: every
// TES3 cell becomes four TES4 cells, each with the references standing in it.
TEST(WorldOutput, ExteriorCellsBecomeFourWithTheirReferencesLandRegionAndGrid)
{
    World w;
    w.add(w.c->tables.statics, "rock", kStatic);
    const float x3 = 3 * 8192, y3 = -2 * 8192, x5 = 5 * 8192;
    Tes3Builder b;
    b.record("REGN").text("NAME", "Ash").sub("WEAT", Fields().u8(50).zeros(7)).end();
    b.record("REGN").text("NAME", "Empty").end();
    b.record("CELL").sub("DATA", cellData(2, 3, -2)).text("RGNN", "Ash");
    reference(b, 1, "rock", x3 + 100, y3 + 100);
    reference(b, 2, "rock", x3 + 5000, y3 + 101);
    reference(b, 3, "rock", x3 + 102, y3 + 5000);
    reference(b, 4, "rock", x3 + 5001, y3 + 5001);
    reference(b, 5, "rock", x3 + 4095, y3 + 4096); // on the north half's border
    reference(b, 6, "rock", x3 + 4096, y3 + 4095); // on the east half's border
    b.end();
    flatLand(b);
    b.record("PGRD").sub("DATA", Fields().i32(3).i32(-2).u16(128).i16(2));
    b.sub("PGRP", Fields().i32(100).i32(100).i32(0).u8(0).u8(1).zeros(2).i32(300).i32(100).i32(0).u8(0).u8(1).zeros(2));
    b.sub("PGRC", Fields().u32(1).u32(0)).end();
    b.record("CELL").sub("DATA", cellData(0, 32, 0)).end(); // outside what the world holds
    flatLand(b);
    b.record("CELL").sub("DATA", cellData(0, 5, 5)).text("RGNN", "ash"); // no land; case differs: no region
    reference(b, 7, "rock", x5 + 300, x5 + 200);
    reference(b, 8, "rock", x5 + 103, x5 + 7000);
    reference(b, 9, "rock", x5 + 5002, x5 + 6000);
    reference(b, 10, "rock", -2 * 8192 + 5003, 100); // stands in (-2, 0): written there
    reference(b, 11, "rock", 3 * 8192 + 10, 10);     // stands in (3, 0): no such cell, lost
    b.end();
    b.record("LAND").sub("INTV", Fields().i32(-2).i32(0)).sub("VNML", Fields().zeros(65 * 65 * 3));
    b.sub("VHGT", Fields().f32(0.0f).zeros(65 * 65 + 3)).end(); // land without a cell
    w.load(b);
    Tes4File f = w.run();
    auto regions = f.topGroup("REGN")->records();
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_EQ(regions[0]->field("WNAM")->u32(), f.allRecords("WRLD").at(0)->formId);

    std::map<std::pair<int, int>, CellView> cells;
    collectCells(*f.topGroup("WRLD")->groups()[0], cells);
    ASSERT_EQ(cells.size(), 12u);
    // TES4 cell, the temporary group's records, the x of each REFR.
    using Expect = std::tuple<int, int, std::string, std::vector<float>>;
    const std::vector<Expect> expected = {
        {6, -4, "REFR LAND PGRD", {x3 + 100}},  {7, -4, "REFR REFR LAND", {x3 + 5000, x3 + 4096}},
        {6, -3, "REFR REFR LAND", {x3 + 102, x3 + 4095}}, {7, -3, "REFR LAND", {x3 + 5001}},
        {10, 10, "REFR", {x5 + 300}},           {11, 10, "", {}},
        {10, 11, "REFR", {x5 + 103}},           {11, 11, "REFR", {x5 + 5002}},
        {-4, 0, "LAND", {}},                    {-3, 0, "REFR LAND", {-2 * 8192 + 5003}},
        {-4, 1, "LAND", {}},                    {-3, 1, "LAND", {}},
    };
    for (const auto& [x, y, tags, xs] : expected) {
        const CellView& v = cells[{x, y}];
        ASSERT_NE(v.children, nullptr) << x << "," << y;
        EXPECT_EQ(contents(v), std::pair(tags, xs)) << x << "," << y;
        EXPECT_EQ(std::pair(v.children->groupType, v.children->label), std::pair(6u, v.cell->formId));
        const bool ash = x == 6 || x == 7;
        EXPECT_EQ(v.cell->field("DATA")->u8(), ash ? 0x02 : 0x00) << "water as in the TES3 cell";
        EXPECT_EQ(v.cell->layout(), ash ? "DATA XCLC XCLR" : "DATA XCLC") << x << "," << y;
        EXPECT_EQ(v.cell->field("XCLR") ? v.cell->field("XCLR")->u32() : 0, ash ? regions[0]->formId : 0);
        // The cell's form identifier, then its references, then its land.
        auto records = v.children->groups()[0]->records();
        for (std::size_t i = 0; i < records.size(); ++i)
            EXPECT_EQ(records[i]->formId, v.cell->formId + 1 + i);
    }
    const Tes4Record& world = *f.topGroup("WRLD")->records().at(0);
    EXPECT_EQ(world.layout(), "EDID FULL NAM2 MNAM DATA NAM0 NAM9");
    std::vector<std::uint8_t> written;
    for (const Tes4Subrecord& s : world.subrecords)
        written.insert(written.end(), s.data.begin(), s.data.end());
    EXPECT_EQ(written, Fields().chars("Plug").u8(0).chars("Plug").u8(0).u32(0x18).zeros(17).f32(-8192).f32(-8192)
                           .f32(12288).f32(12288).data());
    // The persistent cell, then every block of 32 x 32 TES4 cells from x -64,
    // then y -64 (x in the high word), each with 16 sub-blocks of 8 x 8.
    auto groups = f.topGroup("WRLD")->groups().at(0)->groups();
    ASSERT_EQ(groups.size(), 17u);
    std::vector<std::uint32_t> labels;
    for (std::size_t block = 1; block < groups.size(); ++block) {
        ASSERT_EQ(groups[block]->groups().size(), 16u);
        EXPECT_EQ(std::pair(groups[block]->groupType, groups[block]->groups()[0]->groupType), std::pair(4u, 5u));
        labels.push_back(groups[block]->label);
    }
    EXPECT_EQ(labels, (std::vector<std::uint32_t>{0xFFFEFFFE, 0xFFFEFFFF, 0xFFFE0000, 0xFFFE0001, 0xFFFFFFFE, 0xFFFFFFFF,
                                                  0xFFFF0000, 0xFFFF0001, 0x0000FFFE, 0x0000FFFF, 0x00000000, 0x00000001,
                                                  0x0001FFFE, 0x0001FFFF, 0x00010000, 0x00010001}));
    // The block of TES4 cells (0..31, -32..-1), sub-block (0..7, -8..-1).
    EXPECT_EQ(groups[1 + 2 * 4 + 1]->groups()[3]->label, 0x0000FFFFu);
    EXPECT_EQ(groups[1 + 2 * 4 + 1]->groups()[3]->records().size(), 4u);
    EXPECT_NE(w.text().find("\nSaving Cell\ncell @ (3,-2) => (6,-4)\n......\n"), std::string::npos) << w.text();
    EXPECT_NE(w.text().find("\nSaving Cell\ncell @ (5,5) => (10,10)\nno heights!\n"), std::string::npos);
    EXPECT_EQ(w.text().find("no heights!\n"), w.text().rfind("no heights!\n")) << "only once";
}

// A door reference with a destination (DNAM only when `to` is not empty).
void door(Tes3Builder& b, std::uint32_t index, float x, float y, std::string_view to, float arrive)
{
    reference(b, index, "door", x, y);
    b.sub("DODT", placement(arrive, arrive + 1, arrive + 2, 0.5f, 0.25f, 0.125f));
    if (!to.empty())
        b.text("DNAM", to);
}
std::vector<std::uint8_t> xtel(std::uint32_t partner, float arrive)
{
    return Fields().u32(partner).bytes(placement(arrive, arrive + 1, arrive + 2, 0.5f, 0.25f, 0.125f)).data();
}
// Persistent references of every interior, in order, then of the world cell.
std::pair<std::vector<const Tes4Record*>, std::vector<const Tes4Record*>> doorsOf(const Tes4File& f)
{
    std::pair<std::vector<const Tes4Record*>, std::vector<const Tes4Record*>> d;
    for (const Tes4Group* block : f.topGroup("CELL")->groups()) {
        auto refs = block->groups()[0]->groups()[0]->groups()[0]->records();
        d.first.insert(d.first.end(), refs.begin(), refs.end());
    }
    d.second = f.topGroup("WRLD")->groups()[0]->groups()[0]->groups()[0]->records();
    return d;
}
const std::vector<std::uint8_t> kUnpaired(28, 0);

TEST(TeleportDoors, PairsInteriorsWithTheExteriorAndExteriorsWithEachOther)
{
    World w;
    w.add(w.c->tables.doors, "door", kDoor);
    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "Vivec, Shop");
    door(b, 1, 0, 0, "", 10);            // to the exterior
    door(b, 2, 0, 0, "vivec, shop", 20); // to itself, other letter case: nobody
    b.end();
    b.record("CELL").sub("DATA", cellData(0, 0, 0));
    door(b, 3, 10, 10, "Elsewhere", 30);   // nobody leads from there
    door(b, 4, 20, 20, "Vivec, Shop", 40); // partner of door 1
    door(b, 5, 30, 30, "", 50);            // exterior to exterior ...
    door(b, 6, 40, 40, "", 60);            // ... pairs with this one
    door(b, 7, 50, 50, "", 70);            // a third fits too, but comes late
    b.end();
    w.load(b);
    modshift::parseCells(*w.c);
    modshift::saveInteriorCells(*w.c);
    modshift::saveWorldspace(*w.c);
    const std::size_t before = w.c->out.bytes().size();
    modshift::connectTeleportDoors(*w.c);
    ASSERT_EQ(w.c->out.bytes().size(), before) << "patched in place";
    Tes4File f = w.output();
    auto [in, ex] = doorsOf(f);
    ASSERT_EQ(in.size(), 2u);
    ASSERT_EQ(ex.size(), 5u);
    EXPECT_EQ(in[0]->field("XTEL")->data, xtel(ex[1]->formId, 10));
    EXPECT_EQ(ex[1]->field("XTEL")->data, xtel(in[0]->formId, 40));
    EXPECT_EQ(in[1]->field("XTEL")->data, kUnpaired);
    EXPECT_EQ(ex[0]->field("XTEL")->data, kUnpaired);
    EXPECT_EQ(ex[2]->field("XTEL")->data, xtel(ex[3]->formId, 50));
    EXPECT_EQ(ex[3]->field("XTEL")->data, xtel(ex[2]->formId, 60));
    EXPECT_EQ(ex[4]->field("XTEL")->data, kUnpaired);
    EXPECT_EQ(w.c->teleportDoors, 7);
}

} // namespace
} // namespace lw::test
