// Regions, landscape and path grids through the real world steps: the region
// parse before the cells, the region group, the worldspace with its cells.

#include "land_fixture.hpp"
#include "modshift/driver/save_steps.hpp"

namespace lw::test::land {
namespace {

void exteriorCell(Tes3Builder& b, int x, int y, std::string_view region)
{
    b.record("CELL").sub("DATA", Fields().u32(0).i32(x).i32(y)).text("RGNN", region).end();
    b.record("LAND")
        .sub("INTV", Fields().i32(x).i32(y))
        .sub("VNML", Fields().zeros(65 * 65 * 3))
        .sub("VHGT", Fields().f32(-64.0f).zeros(65 * 65 + 3))
        .sub("VTEX", Fields().zeros(512))
        .end();
}

// Exterior CELL records in file order, each with the type-6 group that follows it.
void collectCells(const Tes4Group& g, std::vector<std::pair<const Tes4Record*, const Tes4Group*>>& out)
{
    for (std::size_t i = 0; i < g.children.size(); ++i) {
        const Tes4Entry& e = g.children[i];
        if (e.isGroup) {
            collectCells(e.group, out);
        } else if (e.record.tag == "CELL" && e.record.flags != 0x400 && e.record.field("XCLC") != nullptr) {
            const Tes4Group* children =
                i + 1 < g.children.size() && g.children[i + 1].isGroup ? &g.children[i + 1].group : nullptr;
            out.emplace_back(&e.record, children);
        }
    }
}

TEST(WorldRegions, CellsOfWrittenRegionsCarryTheRegionAndTheRegionTheWorldspace)
{
    Tes3Builder b;
    b.record("REGN").text("NAME", "Isles").sub("WEAT", Fields().u8(50).zeros(7)).end();
    b.record("REGN").text("NAME", "Empty").end();
    exteriorCell(b, 0, 0, "Isles");
    b.record("PGRD")
        .sub("DATA", Fields().i32(0).i32(0).u16(128).i16(2))
        .sub("PGRP", Fields().i32(100).i32(100).i32(0).u8(0).u8(1).zeros(2).i32(300).i32(100).i32(0).u8(0).u8(1).zeros(2))
        .sub("PGRC", Fields().u32(1).u32(0))
        .end();
    exteriorCell(b, 1, 0, "isles"); // case differs: no region
    Context ctx;
    ctx.load(b);

    modshift::parseRegions(ctx.c);
    modshift::parseCells(ctx.c);
    modshift::saveRegions(ctx.c);
    modshift::saveInteriorCells(ctx.c);
    modshift::saveWorldspace(ctx.c);

    Tes4File f = ctx.output();
    ASSERT_TRUE(f.ok()) << f.error;
    auto regions = f.topGroup("REGN")->records();
    ASSERT_EQ(regions.size(), 1u);
    const std::uint32_t regionId = regions[0]->formId;
    auto worlds = f.allRecords("WRLD");
    ASSERT_EQ(worlds.size(), 1u);
    EXPECT_EQ(regions[0]->field("WNAM")->u32(), worlds[0]->formId);
    EXPECT_EQ(ctx.c.world.regions.regions.at(1).formId, 0u);

    std::vector<std::pair<const Tes4Record*, const Tes4Group*>> cells;
    collectCells(*f.topGroup("WRLD"), cells);
    ASSERT_EQ(cells.size(), 8u);
    const SystemZlib& zlib = SystemZlib::get();
    ASSERT_TRUE(zlib.loaded());
    int grids = 0;
    for (const auto& [cell, children] : cells) {
        const int x = cell->field("XCLC")->i32(0);
        if (x < 2) {
            ASSERT_NE(cell->field("XCLR"), nullptr) << x;
            EXPECT_EQ(cell->field("XCLR")->u32(), regionId);
        } else {
            EXPECT_EQ(cell->field("XCLR"), nullptr) << x;
        }
        ASSERT_NE(children, nullptr);
        auto inside = children->allRecords();
        int lands = 0;
        for (const Tes4Record* r : inside) {
            if (r->tag == "PGRD")
                ++grids;
            if (r->tag != "LAND")
                continue;
            ++lands;
            ASSERT_TRUE(r->compressed);
            std::size_t size = r->data[0] | r->data[1] << 8;
            auto raw = zlib.inflate(std::span(r->data).subspan(4), size);
            ASSERT_TRUE(raw.has_value());
            auto subs = splitSubrecords(*raw);
            EXPECT_EQ(layoutOf(subs), "DATA VNML VHGT");
            EXPECT_EQ(findSub(subs, "DATA")->u32(0), 0x1Du);
            EXPECT_EQ(findSub(subs, "VHGT")->f32(0), -64.0f);
        }
        EXPECT_EQ(lands, 1) << x;
    }
    EXPECT_EQ(grids, 1);
}

} // namespace
} // namespace lw::test::land
