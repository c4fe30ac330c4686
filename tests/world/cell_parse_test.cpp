// The cell parse: what lands in the exterior grid, the interior table and the
// out-of-cell list, and the messages and stops of a damaged world.

#include "world_fixture.hpp"

namespace lw::test {
namespace {

using modshift::ExteriorCell;
using modshift::makeTag;

TEST(CellParse, ExteriorGridCornersAndOutsideCells)
{
    World w;
    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(0, -64, 63)).end();
    b.record("CELL").sub("DATA", cellData(2, 63, -64)).end();
    b.record("CELL").sub("DATA", cellData(0, 64, 0)).end(); // no slot
    w.load(b);
    EXPECT_EQ(modshift::parseCells(w.c), 0);
    const auto& grid = w.c.world.exterior;
    EXPECT_EQ(grid.at(-64, 63).cell, 0);
    EXPECT_FALSE(grid.at(-64, 63).hasWater);
    EXPECT_NE(grid.at(63, -64).cell, -1);
    EXPECT_TRUE(grid.at(63, -64).hasWater);
    EXPECT_EQ(grid.find(64, 0), nullptr);
    EXPECT_NE(w.text().find("exterior cell (64,0) outside the grid, skipped\n"), std::string::npos);
    EXPECT_NE(w.text().find("found 2 lands\n"), std::string::npos);
}

TEST(CellParse, OutOfCellRoundingHalvesAwayFromZero)
{
    World w;
    Tes3Builder b;
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
    ASSERT_EQ(modshift::parseCells(w.c), 0);
    const auto& out = w.c.world.outOfCell;
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(w.c.tree.text(out[0] + 1), "b");
    EXPECT_EQ(w.c.tree.text(out[1] + 1), "d");
    EXPECT_EQ(w.c.tree.text(out[2] + 1), "f");
}

TEST(CellParse, InteriorNamesWaterAndColoursNeverCarryOver)
{
    World w;
    Tes3Builder b;
    b.record("CELL")
        .sub("DATA", cellData(3, 0, 0))
        .text("NAME", "Balmora, Guild")
        .f32("WHGT", 1.5f)
        .sub("AMBI", Fields().u32(0x11).u32(0x22).u32(0x33).f32(0.5f))
        .end();
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "").end(); // empty name is a name
    w.load(b);
    ASSERT_EQ(modshift::parseCells(w.c), 0);
    const auto& in = w.c.world.interiors;
    ASSERT_EQ(in.size(), 2u);
    EXPECT_EQ(in[0].name, "Balmora, Guild");
    EXPECT_TRUE(in[0].hasWater);
    EXPECT_EQ(in[0].waterHeight, 0x3FC00000u);
    EXPECT_EQ(in[0].ambient, 0x11u);
    EXPECT_EQ(in[0].sunlight, 0x22u);
    EXPECT_EQ(in[0].fog, 0x33u);
    EXPECT_EQ(in[1].name, "");
    EXPECT_FALSE(in[1].hasWater);
    EXPECT_EQ(in[1].waterHeight, 0u);
    EXPECT_EQ(in[1].ambient, 0u);
    EXPECT_EQ(in[1].fog, 0u);
    EXPECT_NE(w.text().find("found 2 interiors\n"), std::string::npos);
}

TEST(CellParse, InteriorWithoutNameIsLeftOut)
{
    World w;
    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "first").end();
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).end();
    b.record("PGRD").sub("DATA", Fields().i32(0).i32(0).u16(0).i16(3)).end();
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "second").end();
    w.load(b);
    EXPECT_EQ(modshift::parseCells(w.c), 0);
    ASSERT_EQ(w.c.world.interiors.size(), 2u);
    EXPECT_EQ(w.c.world.interiors[1].name, "second");
    EXPECT_EQ(w.c.world.interiors[0].pathGrid, -1);
    EXPECT_NE(w.text().find("Interior must have an ID name!\nPress enter...\n"), std::string::npos);
    EXPECT_NE(w.text().find("found 2 interiors"), std::string::npos);
    EXPECT_EQ(w.console.waits(), 1);
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
    b.record("LAND").sub("INTV", Fields().i32(5).i32(-3)).sub("VHGT", heights).end(); // no CELL in the plugin
    b.record("CELL").sub("DATA", cellData(0, 0, 0)).end(); // (0, 0) again: its second LAND has no VTEX
    b.record("LAND").sub("INTV", Fields().i32(0).i32(0)).sub("VHGT", heights).end();
    b.record("CELL").sub("DATA", cellData(0, 2, 0)).end();
    flatLand(b); // no INTV: the exterior CELL it follows
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "in").end();
    flatLand(b); // no INTV after an interior: nowhere
    b.record("CELL").sub("DATA", cellData(0, 3, 0)).end();
    b.record("LAND").sub("VHGT", Fields().f32(0.0f).zeros(100)).end(); // too short to use
    w.load(b);
    ASSERT_EQ(modshift::parseCells(w.c), 0);
    const auto& grid = w.c.world.exterior;
    EXPECT_EQ(grid.at(1, 0).heights, -1);
    EXPECT_EQ(grid.at(0, 0).cell, w.c.tree.find(makeTag("CELL"))[1]);
    EXPECT_EQ(grid.at(0, 0).normals, w.c.tree.find(makeTag("VNML"))[0]);
    EXPECT_EQ(grid.at(0, 0).heights, w.c.tree.find(makeTag("VHGT"))[2]);
    EXPECT_EQ(grid.at(5, -3).cell, w.c.tree.find(makeTag("LAND"))[1]);
    EXPECT_EQ(grid.at(5, -3).heights, w.c.tree.find(makeTag("VHGT"))[1]);
    EXPECT_EQ(grid.at(5, -3).firstReference, -1);
    EXPECT_EQ(grid.at(2, 0).textures, w.c.tree.find(makeTag("VTEX"))[1]);
    EXPECT_EQ(grid.at(3, 0).heights, -1);
    EXPECT_NE(w.text().find("found 5 lands\n"), std::string::npos) << w.text();

    // Stored as 16 blocks of 4 x 4; now row by row, (tx, ty) at ty * 16 + tx,
    // reordered once although its cell came twice.
    const std::vector<std::array<int, 3>> expected = {
        {0, 0, 0}, {3, 0, 3}, {4, 0, 16}, {0, 1, 4}, {5, 1, 21}, {0, 4, 64}, {12, 3, 60}, {15, 15, 255}};
    auto d = w.c.tree.data(grid.at(0, 0).textures);
    for (const auto& [tx, ty, value] : expected) {
        const std::size_t i = static_cast<std::size_t>(ty * 16 + tx) * 2;
        EXPECT_EQ(d[i] | d[i + 1] << 8, value) << tx << "," << ty;
    }
}

TEST(CellParse, PathGridsBelongToTheMostRecentCell)
{
    World w;
    Tes3Builder b;
    auto pgrd = [&](int x, int y, int points) {
        b.record("PGRD").sub("DATA", Fields().i32(x).i32(y).u16(128).i16(static_cast<std::int16_t>(points))).end();
    };
    pgrd(0, 0, 3); // before any cell: no owner
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "inside").end();
    pgrd(9, 9, 4); // the interior's, whatever its DATA says
    b.record("CELL").sub("DATA", cellData(0, 2, 2)).end();
    pgrd(5, -5, 7); // an exterior's grid goes where its own DATA says
    w.load(b);
    ASSERT_EQ(modshift::parseCells(w.c), 0);
    ASSERT_EQ(w.c.world.interiors.size(), 1u);
    EXPECT_NE(w.c.world.interiors[0].pathGrid, -1);
    EXPECT_EQ(w.c.world.interiors[0].pathGridPoints, 4);
    EXPECT_EQ(w.c.world.exterior.at(9, 9).pathGrid, -1);
    EXPECT_EQ(w.c.world.exterior.at(0, 0).pathGrid, -1);
    EXPECT_EQ(w.c.world.exterior.at(2, 2).pathGrid, -1);
    EXPECT_NE(w.c.world.exterior.at(5, -5).pathGrid, -1);
    EXPECT_EQ(w.c.world.exterior.at(5, -5).pathGridPoints, 7);
    EXPECT_EQ(w.text(), "\nParsing cells\n.....\nfound 1 lands\nfound 1 interiors\n");
}

TEST(CellParse, OversizedPathGridIsLeftOut)
{
    World w;
    Tes3Builder b;
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "in").end();
    b.record("PGRD").sub("DATA", Fields().i32(0).i32(0).u16(0).i16(4096)).end();
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "next").end();
    b.record("PGRD").sub("DATA", Fields().i32(0).i32(0).u16(0).i16(4095)).end();
    w.load(b);
    EXPECT_EQ(modshift::parseCells(w.c), 0);
    EXPECT_NE(w.text().find("Too many PGRP nodes! (4096>4095)\nPress enter...\n"), std::string::npos);
    ASSERT_EQ(w.c.world.interiors.size(), 2u);
    EXPECT_EQ(w.c.world.interiors[0].pathGrid, -1);
    EXPECT_EQ(w.c.world.interiors[1].pathGridPoints, 4095);
}

} // namespace
} // namespace lw::test

namespace lw::test {
namespace {

TEST(CellParse, DamagedSubrecordsCountAsAbsent)
{
    World w;
    w.add(w.c.tables.doors, "door", 0x01001002);
    Tes3Builder b;
    b.record("CELL").sub("DATA", Fields().u32(0).i32(1)).end(); // grid y missing
    b.record("CELL").sub("DATA", cellData(1, 0, 0)).text("NAME", "Hut").sub("AMBI", Fields().u32(5));
    reference(b, 1, "door", 1, 1);
    b.sub("DODT", Fields().f32(1).f32(2)); // too short to be a destination
    b.u32("FRMR", 2).text("NAME", "door").sub("DATA", Fields().f32(1).f32(2)); // short placement
    b.end();
    b.record("PGRD").sub("PGRP", Fields().zeros(16)).end(); // no DATA: belongs nowhere
    w.load(b);
    Tes4File f = w.run();
    ASSERT_TRUE(f.ok()) << f.error;
    EXPECT_NE(w.text().find("cell data too short, cell skipped\n"), std::string::npos);
    EXPECT_EQ(w.c.world.exterior.at(0, 0).cell, -1);
    ASSERT_EQ(w.c.world.interiors.size(), 1u);
    EXPECT_EQ(w.c.world.interiors[0].ambient, 5u);
    EXPECT_EQ(w.c.world.interiors[0].sunlight, 0u);
    EXPECT_EQ(w.c.world.interiors[0].pathGrid, -1);
    // The door without a usable DODT is an ordinary temporary reference; the
    // one without a usable DATA is reported in both passes.
    const Tes4Group& kids = *f.topGroup("CELL")->groups()[0]->groups()[0]->groups()[0];
    EXPECT_TRUE(kids.groups()[0]->children.empty());
    ASSERT_EQ(kids.groups()[1]->records().size(), 1u);
    EXPECT_EQ(kids.groups()[1]->records()[0]->layout(), "NAME DATA");
    EXPECT_EQ(countOf(w.text(), "bad coord pointer!\nPress enter...\n"), 2u);
    EXPECT_EQ(w.c.teleportDoors, 0);
}

} // namespace
} // namespace lw::test
