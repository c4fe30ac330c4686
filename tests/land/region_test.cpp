// Regions: the parse, the clockwise outline sweep and the REGN records.

#include <random>
#include <set>

#include "land_fixture.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/world/region.hpp"

namespace lw::test::land {
namespace {

using modshift::CellPoint;

// TES4 cells inside: those of the listed TES3 cells.
std::function<bool(int, int)> tes3Cells(std::set<std::pair<int, int>> cells)
{
    return [cells = std::move(cells)](int x, int y) {
        return cells.count({x >> 1, y >> 1}) > 0;
    };
}

std::vector<CellPoint> trace(const std::function<bool(int, int)>& inside, std::string* text = nullptr)
{
    Context ctx;
    auto outline = modshift::traceOutline(ctx.c, inside);
    if (text != nullptr)
        *text = ctx.text();
    return outline;
}

TEST(RegionOutline, SingleCellAtTheOrigin)
{
    std::string text;
    EXPECT_EQ(trace(tes3Cells({{0, 0}}), &text),
              (std::vector<CellPoint>{{0, 0}, {0, 1}, {1, 1}, {1, 0}}));
    EXPECT_EQ(text, "0: (0,0)\n1: (0,1)\n2: (1,1)\n3: (1,0)\n");
}

TEST(RegionOutline, CellsOnTheBorderOfTheGrid)
{
    // The corners of the grid: the sweep's target runs along these very cells.
    auto corners = trace(tes3Cells({{63, 63}}));
    EXPECT_EQ(corners, (std::vector<CellPoint>{{126, 126}, {126, 127}, {127, 127}, {127, 126}}));
    auto south = trace(tes3Cells({{-64, -64}}));
    EXPECT_EQ(south, (std::vector<CellPoint>{{-128, -128}, {-128, -127}, {-127, -127}, {-127, -128}}));
    auto everything = trace([](int, int) { return true; });
    ASSERT_GE(everything.size(), 3u);
    EXPECT_EQ(everything.front(), (CellPoint{-128, -128}));
}

TEST(RegionOutline, ArbitraryShapesEndWithPointsInsideTheRegion)
{
    std::mt19937 rng(3);
    for (int round = 0; round < 60; ++round) {
        std::set<std::pair<int, int>> cells;
        int cx = static_cast<int>(rng() % 100) - 50;
        int cy = static_cast<int>(rng() % 100) - 50;
        int count = 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < count; ++i) {
            cells.insert({cx, cy});
            cx = std::clamp(cx + static_cast<int>(rng() % 3) - 1, -64, 63);
            cy = std::clamp(cy + static_cast<int>(rng() % 3) - 1, -64, 63);
        }
        auto inside = tes3Cells(cells);
        auto outline = trace(inside);
        ASSERT_LE(outline.size(), 100u);
        for (const CellPoint& p : outline)
            EXPECT_TRUE(inside(p.x, p.y)) << "round " << round << " (" << p.x << "," << p.y << ")";
    }
}

TEST(RegionOutline, SweepThatNeverMeetsItsClosingTestStopsAtItsFirstRepeat)
{
    // A region on the western edge of the grid: the sweep goes round the same
    // points for ever without coming back to the start column.
    auto edge = tes3Cells({{-64, 51}, {-63, 50}, {-63, 51}, {-63, 52}, {-62, 51}, {-62, 52}, {-62, 53},
                           {-62, 54}, {-61, 51}, {-61, 52}, {-61, 53}, {-61, 54}, {-61, 55}, {-60, 51},
                           {-60, 52}, {-60, 53}, {-60, 54}, {-60, 55}, {-59, 51}, {-59, 52}, {-59, 53},
                           {-59, 54}, {-58, 52}, {-58, 53}, {-57, 52}});
    auto outline = trace(edge);
    ASSERT_GE(outline.size(), 3u);
    EXPECT_EQ(outline.front(), (CellPoint{-128, 102}));
    for (std::size_t i = 0; i < outline.size(); ++i) {
        EXPECT_TRUE(edge(outline[i].x, outline[i].y)) << i;
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(outline[i] == outline[j]) << "point " << i << " repeats point " << j;
    }
    // The smallest such shape, in TES4 cells: a start column of one cell.
    auto saw = [](int x, int y) { return x >= -128 && x <= -125 && y <= 0 && y >= -((x + 128) % 2); };
    EXPECT_EQ(trace(saw), (std::vector<CellPoint>{{-128, 0}, {-125, 0}, {-125, -1}, {-127, -1}, {-127, 0}}));
}

class Regions : public ::testing::Test {
protected:
    void load(Tes3Builder& b) { ctx.load(b); }

    const Tes4Group* regionGroup()
    {
        file = ctx.output();
        EXPECT_TRUE(file.ok()) << file.error;
        return file.topGroup("REGN");
    }

    Context ctx;
    Tes4File file;
};

Fields sound(std::string_view id, std::uint8_t chance) { return Fields().fixed(id, 32).u8(chance); }

TEST_F(Regions, RecordsCarryOutlineSoundsWeatherAndMapName)
{
    Tes3Builder b;
    b.record("REGN")
        .text("NAME", "Ascadian Isles")
        .text("FNAM", "Ascadian Isles Region")
        .sub("WEAT", Fields().u8(10).u8(20).u8(0).u8(0).u8(30).u8(0).u8(0).u8(40).u8(9).u8(9))
        .u32("CNAM", 0x00112233)
        .sub("SNAM", sound("bird one", 60))
        .sub("SNAM", sound("crickets", 100))
        .sub("SNAM", sound("wind", 200))
        .sub("SNAM", sound("missing", 50))
        .end();
    b.record("REGN").text("NAME", "Bare").end();
    b.record("REGN").text("NAME", "Nowhere").end();
    load(b);
    ctx.addSound("birdSone", 0x01000100);
    ctx.addSound("crickets", 0x01000101);
    ctx.addSound("wind", 0x01000102);

    ASSERT_EQ(modshift::parseRegions(ctx.c), 0);
    EXPECT_EQ(ctx.text(), "\nParsing world regions\nfound 3 regions\n...\n");
    const auto& regions = ctx.c.world.regions.regions;
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0].editorId, "0AscadianSIsles");
    EXPECT_EQ(ctx.c.world.regions.indexOf("Bare"), 1);
    EXPECT_EQ(ctx.c.world.regions.indexOf("bare"), -1);
    EXPECT_EQ(ctx.c.world.regions.indexOf("AscadianSIsles"), 0);
    EXPECT_EQ(regions[0].sounds.size(), 3u);

    ctx.c.world.exterior.at(0, 0).region = 0;
    ctx.c.world.exterior.at(-1, -1).region = 1;
    ctx.console.clearCaptured();
    ctx.c.out.beginGroup(modshift::makeTag("SOUN"), 0); // something before, so positions are not 0
    ctx.c.out.endGroup();
    ASSERT_EQ(modshift::saveRegions(ctx.c), 0);

    const Tes4Group* g = regionGroup();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->groupType, 0u);
    auto records = g->records();
    ASSERT_EQ(records.size(), 2u);

    const Tes4Record& first = *records[0];
    EXPECT_EQ(first.formId, modshift::Tes4Writer::kFirstFormId);
    EXPECT_EQ(first.flags, 0u);
    EXPECT_EQ(first.lastWord, 0x3716u);
    EXPECT_EQ(first.layout(), "EDID RCLR WNAM RPLI RPLD RDAT RDMD RDSD RDAT RDWT RDAT RDMP");
    EXPECT_EQ(first.dataSize, 15u + 8 * 4 + 43 + (21 + 21) + (12 * 3 + 30) + (8 * 4 + 20));
    EXPECT_EQ(first.field("EDID")->text(), "0AscadianSIsles");
    EXPECT_EQ(first.field("RCLR")->u32(), 0x00112233u);
    EXPECT_EQ(first.field("WNAM")->u32(), 0u);
    EXPECT_EQ(first.field("RPLI")->u32(), 1024u);
    const Tes4Subrecord* rpld = first.field("RPLD");
    ASSERT_EQ(rpld->size(), 32u);
    const float corners[4][2] = {{2048, 2048}, {2048, 6144}, {6144, 6144}, {6144, 2048}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rpld->f32(i * 8), corners[i][0]);
        EXPECT_EQ(rpld->f32(i * 8 + 4), corners[i][1]);
    }
    const Tes4Subrecord* soundData = first.field("RDAT", 0);
    EXPECT_EQ(soundData->u32(0), 7u);
    EXPECT_EQ(soundData->u32(4), 0x3200u);
    EXPECT_EQ(first.field("RDMD")->u32(), 0u);
    const Tes4Subrecord* rdsd = first.field("RDSD");
    ASSERT_EQ(rdsd->size(), 36u);
    const std::uint32_t sounds[3][3] = {{0x01000100, 15, 1500000}, {0x01000101, 15, 2500000}, {0x01000102, 15, 2500000}};
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t k = 0; k < 3; ++k)
            EXPECT_EQ(rdsd->u32(i * 12 + k * 4), sounds[i][k]) << i << " " << k;
    EXPECT_EQ(first.field("RDAT", 1)->u32(0), 3u);
    EXPECT_EQ(first.field("RDAT", 1)->u32(4), 0x3200u);
    const Tes4Subrecord* rdwt = first.field("RDWT");
    ASSERT_EQ(rdwt->size(), 32u);
    const std::uint32_t weather[4][2] = {{0x38EEE, 10}, {0x38EF0, 20}, {0x38EF2, 30}, {0x67199, 40}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rdwt->u32(i * 8), weather[i][0]);
        EXPECT_EQ(rdwt->u32(i * 8 + 4), weather[i][1]);
    }
    EXPECT_EQ(first.field("RDAT", 2)->u32(0), 4u);
    EXPECT_EQ(first.field("RDMP")->text(), "Ascadian Isles Region");
    EXPECT_TRUE(first.field("RDMP")->isZeroTerminatedText());

    const Tes4Record& bare = *records[1];
    EXPECT_EQ(bare.formId, modshift::Tes4Writer::kFirstFormId + 1);
    EXPECT_EQ(bare.layout(), "EDID RCLR WNAM RPLI RPLD");
    EXPECT_EQ(bare.dataSize, 5u + 8 * 4 + 43);
    EXPECT_EQ(bare.field("RPLD")->f32(0), -6144.0f);
    EXPECT_EQ(bare.field("RPLD")->f32(4), -6144.0f);
    EXPECT_EQ(bare.field("RPLD")->f32(24), -2048.0f);
    EXPECT_EQ(bare.field("RPLD")->f32(28), -6144.0f);

    // The region without cells is not written.
    EXPECT_EQ(regions[2].formId, 0u);
    EXPECT_EQ(regions[2].wnamPosition, 0u);

    const std::string& text = ctx.text();
    EXPECT_EQ(text.rfind("Saving world regions\n.0: (0,0)\n1: (0,1)\n2: (1,1)\n3: (1,0)\n\n"
                         "0 : (0,0)/(2048.000000,2048.000000)\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("3 : (1,0)/(6144.000000,2048.000000)\n=> Ascadian Isles Region\n."), std::string::npos)
        << text;
    EXPECT_EQ(text.substr(text.size() - 3), "\n.\n");

    // The worldspace form identifier goes into each written region's WNAM.
    modshift::fillRegionWorldspace(ctx.c, 0x01002345);
    file = ctx.output();
    auto patched = file.topGroup("REGN")->records();
    EXPECT_EQ(patched[0]->field("WNAM")->u32(), 0x01002345u);
    EXPECT_EQ(patched[1]->field("WNAM")->u32(), 0x01002345u);
}

} // namespace
} // namespace lw::test::land
