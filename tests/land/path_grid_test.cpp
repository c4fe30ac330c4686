// The path grid writer: quadrant split, inner and outside connections, world
// coordinates, capacity errors, read back with the independent TES4 reader.

#include "land_fixture.hpp"
#include "modshift/world/path_grid.hpp"

namespace lw::test::land {
namespace {

struct GridPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::vector<std::uint32_t> links;
};

class PathGrid : public ::testing::Test {
protected:
    // One exterior cell (x, y) or, with interior, one interior holding the grid.
    void load(const std::vector<GridPoint>& points, int x, int y, bool interior = false,
              std::size_t pointBytes = SIZE_MAX, std::size_t linkBytes = SIZE_MAX)
    {
        Tes3Builder b;
        Fields pgrp;
        Fields pgrc;
        for (const GridPoint& p : points) {
            pgrp.i32(p.x).i32(p.y).i32(p.z).u8(1).u8(static_cast<std::uint8_t>(p.links.size())).zeros(2);
            for (std::uint32_t l : p.links)
                pgrc.u32(l);
        }
        std::vector<std::uint8_t> pgrpBytes = pgrp.data();
        std::vector<std::uint8_t> pgrcBytes = pgrc.data();
        pgrpBytes.resize(std::min(pointBytes, pgrpBytes.size()));
        pgrcBytes.resize(std::min(linkBytes, pgrcBytes.size()));
        b.record("PGRD")
            .sub("DATA", Fields().i32(x).i32(y).u16(128).i16(static_cast<std::int16_t>(points.size())))
            .sub("PGRP", pgrpBytes)
            .sub("PGRC", pgrcBytes)
            .end();
        ctx.load(b);
        if (interior) {
            modshift::InteriorCell cell;
            cell.pathGrid = ctx.record("PGRD");
            cell.pathGridPoints = static_cast<std::int32_t>(points.size());
            ctx.c.world.interiors.push_back(cell);
        } else {
            auto& slot = ctx.c.world.exterior.at(x, y);
            slot.pathGrid = ctx.record("PGRD");
            slot.pathGridPoints = static_cast<std::int32_t>(points.size());
        }
    }

    // Writes the four quadrants' grids, each inside its own group labelled
    // with the quadrant, so that the reader can tell them apart.
    std::vector<int> writeQuadrants(int x, int y)
    {
        std::vector<int> results;
        const int origins[4][2] = {{0, 0}, {32, 0}, {0, 32}, {32, 32}};
        for (int q = 0; q < 4; ++q) {
            ctx.c.out.beginGroup(static_cast<std::uint32_t>(q), 9);
            results.push_back(modshift::writePathGrid(ctx.c, -1, x, y, origins[q][0], origins[q][1]));
            ctx.c.out.endGroup();
        }
        return results;
    }

    // The PGRD of each quadrant group (null when none was written).
    std::array<const Tes4Record*, 4> quadrantGrids()
    {
        file = ctx.output();
        EXPECT_TRUE(file.ok()) << file.error;
        std::array<const Tes4Record*, 4> out{};
        for (const Tes4Entry& e : file.entries) {
            if (!e.isGroup || e.group.label > 3)
                continue;
            auto records = e.group.records();
            EXPECT_LE(records.size(), 1u);
            if (!records.empty())
                out[e.group.label] = records[0];
        }
        return out;
    }

    static void expectPoint(const Tes4Record& r, std::size_t i, float x, float y, float z, int links)
    {
        const Tes4Subrecord* p = r.field("PGRP");
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->f32(i * 16), x) << "point " << i;
        EXPECT_EQ(p->f32(i * 16 + 4), y) << "point " << i;
        EXPECT_EQ(p->f32(i * 16 + 8), z) << "point " << i;
        EXPECT_EQ(p->u8(i * 16 + 12), links) << "point " << i;
        EXPECT_EQ(p->u8(i * 16 + 13), 0xCD);
        EXPECT_EQ(p->u8(i * 16 + 14), 0xCD);
        EXPECT_EQ(p->u8(i * 16 + 15), 0xCD);
    }

    static std::size_t expectedSize(std::size_t n, std::size_t inner, std::size_t outside)
    {
        return 20 + 16 * n + (n + 7) / 8 + (inner ? 6 + 2 * inner : 0) + (outside ? 6 + 16 * outside : 0);
    }

    Context ctx;
    Tes4File file;
};

TEST_F(PathGrid, PointsOnlyInTheNorthEastGiveOnlyItsGrid)
{
    load({{5000, 5000, 10, {1}}, {6000, 7000, 20, {0}}}, 0, 0);
    EXPECT_EQ(writeQuadrants(0, 0), (std::vector<int>{0, 0, 0, 0}));
    auto grids = quadrantGrids();
    EXPECT_EQ(grids[0], nullptr);
    EXPECT_EQ(grids[1], nullptr);
    EXPECT_EQ(grids[2], nullptr);
    ASSERT_NE(grids[3], nullptr);
    EXPECT_EQ(grids[3]->formId, modshift::Tes4Writer::kFirstFormId);
    EXPECT_EQ(grids[3]->layout(), "DATA PGRP PGAG PGRR");
    EXPECT_EQ(grids[3]->field("DATA")->u16(), 2);
    expectPoint(*grids[3], 0, 5000, 5000, 10, 1);
    expectPoint(*grids[3], 1, 6000, 7000, 20, 1);
    EXPECT_EQ(grids[3]->field("PGRR")->u16(0), 1);
    EXPECT_EQ(grids[3]->field("PGRR")->u16(2), 0);
    EXPECT_EQ(grids[3]->dataSize, expectedSize(2, 2, 0));
}

TEST_F(PathGrid, ConnectionAcrossQuadrantsBecomesAnOutsideConnectionOnBothSides)
{
    // Cell (1, 2): world offset (8192, 16384). Point 1 sits exactly on x = 4096.
    load({{100, 100, 5, {1, 2}}, {4096, 100, 6, {0}}, {200, 300, 7, {0}}}, 1, 2);
    writeQuadrants(1, 2);
    auto grids = quadrantGrids();
    ASSERT_NE(grids[0], nullptr);
    ASSERT_NE(grids[1], nullptr);
    EXPECT_EQ(grids[2], nullptr);
    EXPECT_EQ(grids[3], nullptr);

    const Tes4Record& sw = *grids[0];
    EXPECT_EQ(sw.layout(), "DATA PGRP PGAG PGRR PGRI");
    EXPECT_EQ(sw.dataSize, expectedSize(2, 2, 1));
    expectPoint(sw, 0, 8292, 16484, 4, 1); // lowered from 2: one link left the quadrant
    expectPoint(sw, 1, 8392, 16684, 6, 1);
    EXPECT_EQ(sw.field("PGAG")->size(), 1u);
    EXPECT_EQ(sw.field("PGAG")->u8(0), 0);
    EXPECT_EQ(sw.field("PGRR")->size(), 4u);
    EXPECT_EQ(sw.field("PGRR")->u16(0), 1);
    EXPECT_EQ(sw.field("PGRR")->u16(2), 0);
    const Tes4Subrecord* pgri = sw.field("PGRI");
    ASSERT_EQ(pgri->size(), 16u);
    EXPECT_EQ(pgri->u16(0), 0);
    EXPECT_EQ(pgri->u16(2), 0);
    EXPECT_EQ(pgri->f32(4), 4096.0f + 8192.0f);
    EXPECT_EQ(pgri->f32(8), 100.0f + 16384.0f);
    EXPECT_EQ(pgri->f32(12), 6.0f);

    const Tes4Record& se = *grids[1];
    EXPECT_EQ(se.layout(), "DATA PGRP PGAG PGRI");
    EXPECT_EQ(se.dataSize, expectedSize(1, 0, 1));
    expectPoint(se, 0, 4096 + 8192, 100 + 16384, 6, 0);
    EXPECT_EQ(se.field("PGRI")->f32(4), 8292.0f);
    EXPECT_EQ(se.field("PGRI")->f32(8), 16484.0f);
    // Form identifiers follow the writing order.
    EXPECT_EQ(se.formId, sw.formId + 1);
}

TEST_F(PathGrid, OddCoordinatesAreWrittenOneLowerAndPointsOutsideTheCellBelongNowhere)
{
    load({{101, -3, 7, {1}}, {303, 5, -1, {0}}, {-1, 50, 0, {0}}, {8192, 60, 0, {0}}}, -2, -1);
    writeQuadrants(-2, -1);
    auto grids = quadrantGrids();
    ASSERT_NE(grids[0], nullptr);
    EXPECT_EQ(grids[1], nullptr);
    // (101, -3): y below 0 belongs to no quadrant, even after rounding down.
    EXPECT_EQ(grids[0]->field("DATA")->u16(), 1);
    expectPoint(*grids[0], 0, 302 - 16384, 4 - 8192, -2, 0);
    // Its link goes to the dropped point 0, written one lower too.
    EXPECT_EQ(grids[0]->field("PGRI")->f32(4), 100.0f - 16384.0f);
    EXPECT_EQ(grids[0]->field("PGRI")->f32(8), -4.0f - 8192.0f);
    EXPECT_EQ(grids[0]->field("PGRI")->f32(12), 6.0f);
}

TEST_F(PathGrid, InteriorKeepsConnectedPointsWithoutOffsetAndDropsIsolatedOnes)
{
    // Point 1 has no connections: dropped; the link to it leaves the grid.
    load({{-500, 20000, 3, {1, 2}}, {40, 41, 42, {}}, {9000, 9000, 9000, {0}}}, 7, 7, true);
    ASSERT_EQ(modshift::writePathGrid(ctx.c, 0, 0, 0, 0, 0), 0);
    Tes4File f = ctx.output();
    ASSERT_TRUE(f.ok()) << f.error;
    auto grids = f.allRecords("PGRD");
    ASSERT_EQ(grids.size(), 1u);
    const Tes4Record& g = *grids[0];
    EXPECT_EQ(g.field("DATA")->u16(), 2);
    expectPoint(g, 0, -500, 20000, 2, 1);
    expectPoint(g, 1, 9000, 9000, 9000, 1);
    EXPECT_EQ(g.field("PGRR")->u16(0), 1);
    EXPECT_EQ(g.field("PGRR")->u16(2), 0);
    const Tes4Subrecord* pgri = g.field("PGRI");
    ASSERT_EQ(pgri->size(), 16u);
    EXPECT_EQ(pgri->f32(4), 40.0f);
    EXPECT_EQ(pgri->f32(8), 40.0f);
    EXPECT_EQ(pgri->f32(12), 42.0f);
}

TEST_F(PathGrid, ConnectionPastThePointListIsDropped)
{
    load({{0, 0, 0, {5, 1}}, {10, 0, 0, {0, 99}}}, 0, 0, true);
    ASSERT_EQ(modshift::writePathGrid(ctx.c, 0, 0, 0, 0, 0), 0);
    Tes4File f = ctx.output();
    ASSERT_TRUE(f.ok()) << f.error;
    const Tes4Record& g = *f.allRecords("PGRD").at(0);
    EXPECT_EQ(g.layout(), "DATA PGRP PGAG PGRR");
    expectPoint(g, 0, 0, 0, 0, 1);
    expectPoint(g, 1, 10, 0, 0, 1);
    EXPECT_EQ(g.field("PGRR")->u16(0), 1);
    EXPECT_EQ(g.field("PGRR")->u16(2), 0);
}

TEST_F(PathGrid, TooManyInnerConnectionsStopsWithTheCountAfterThatPoint)
{
    std::vector<GridPoint> points(129);
    for (auto& p : points)
        p.links.assign(255, 0);
    load(points, 0, 0, true);
    EXPECT_EQ(modshift::writePathGrid(ctx.c, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(ctx.text(), "Too many PGRR nodes! (32895>32767)\nPress enter...\n");
    EXPECT_EQ(ctx.console.waits(), 1);
    EXPECT_TRUE(ctx.c.out.bytes().empty());
}

TEST_F(PathGrid, TooManyOutsideConnectionsStops)
{
    std::vector<GridPoint> points(18);
    for (std::size_t i = 0; i < 17; ++i) {
        points[i].x = static_cast<std::int32_t>(i * 2);
        points[i].links.assign(255, 17);
    }
    points[17] = {6000, 10, 0, {0}}; // south-east
    load(points, 0, 0);
    EXPECT_EQ(modshift::writePathGrid(ctx.c, -1, 0, 0, 0, 0), -1);
    EXPECT_EQ(ctx.text(), "Too many PGRI nodes!\nPress enter...\n");
    EXPECT_EQ(ctx.console.waits(), 1);
    EXPECT_TRUE(ctx.c.out.bytes().empty());
    // Seen from the south-east quadrant, the same grid has one outside connection.
    ctx.console.clearCaptured();
    EXPECT_EQ(modshift::writePathGrid(ctx.c, -1, 0, 0, 32, 0), 0);
}

TEST_F(PathGrid, DamagedGridsAreRefusedWithAMessage)
{
    load({{0, 0, 0, {1}}, {10, 0, 0, {0}}}, 0, 0, true, 20);
    EXPECT_EQ(modshift::writePathGrid(ctx.c, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(ctx.text(), "damaged path grid in interior 0!\n");
    EXPECT_TRUE(ctx.c.out.bytes().empty());
}

} // namespace
} // namespace lw::test::land

namespace lw::test::land {
namespace {

// Every cut of the two arrays is either refused with a message or converted
// from what is complete; nothing is read past an array's end (the sanitizer
// build watches that) and what is written reads back well-formed.
TEST(PathGridCuts, EveryTruncationFailsCleanly)
{
    const std::vector<std::uint8_t> pgrp = Fields()
                                               .i32(10).i32(10).i32(0).u8(0).u8(2).zeros(2)
                                               .i32(5000).i32(10).i32(0).u8(0).u8(1).zeros(2)
                                               .i32(20).i32(5000).i32(0).u8(0).u8(1).zeros(2)
                                               .data();
    const std::vector<std::uint8_t> pgrc = Fields().u32(1).u32(2).u32(0).u32(0).data();
    for (std::size_t p = 0; p <= pgrp.size(); p += 4) {
        for (std::size_t l = 0; l <= pgrc.size(); l += 2) {
            Tes3Builder b;
            b.record("PGRD")
                .sub("DATA", Fields().i32(0).i32(0).u16(128).i16(3))
                .sub("PGRP", std::span(pgrp).first(p))
                .sub("PGRC", std::span(pgrc).first(l))
                .end();
            Context ctx;
            ctx.load(b);
            auto& slot = ctx.c.world.exterior.at(0, 0);
            slot.pathGrid = ctx.record("PGRD");
            slot.pathGridPoints = 3;
            const bool complete = p == pgrp.size() && l == pgrc.size();
            for (int q = 0; q < 4; ++q) {
                int rc = modshift::writePathGrid(ctx.c, -1, 0, 0, (q % 2) * 32, (q / 2) * 32);
                EXPECT_EQ(rc, complete ? 0 : -1) << p << " " << l << " " << q;
            }
            Tes4File f = ctx.output();
            EXPECT_TRUE(f.ok()) << f.error;
            EXPECT_EQ(f.allRecords("PGRD").size(), complete ? 3u : 0u) << p << " " << l;
        }
    }
}

} // namespace
} // namespace lw::test::land
