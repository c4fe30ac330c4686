// The landscape, path grid and region writers, read back with the independent
// TES4 reader; LAND records are inflated by the system zlib, loaded at run time
// so that the programs never link it.

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cmath>
#include <optional>
#include <random>
#include <set>

#include "modshift/driver/save_steps.hpp"
#include "modshift/world/landscape.hpp"
#include "modshift/world/path_grid.hpp"
#include "modshift/world/region.hpp"
#include "support/conversion_run.hpp"

namespace lw::test {
namespace {

// The system zlib's uncompress: nullopt when it refuses the stream (bad
// header, bad checksum, wrong size).
std::optional<std::vector<std::uint8_t>> systemInflate(std::span<const std::uint8_t> stream, std::size_t size)
{
    using Uncompress = int (*)(unsigned char*, unsigned long*, const unsigned char*, unsigned long);
#if defined(_WIN32)
    static const auto uncompress = reinterpret_cast<Uncompress>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("zlib1.dll"), "uncompress")));
#else
    static const auto uncompress = reinterpret_cast<Uncompress>(dlsym(dlopen("libz.so.1", RTLD_NOW), "uncompress"));
#endif
    EXPECT_NE(uncompress, nullptr) << "no system zlib";
    std::vector<std::uint8_t> out(size + 1);
    unsigned long outSize = static_cast<unsigned long>(out.size());
    if (uncompress == nullptr || uncompress(out.data(), &outSize, stream.data(), static_cast<unsigned long>(stream.size())) != 0)
        return std::nullopt;
    out.resize(outSize);
    return out;
}

struct Tes3Land {
    float offset = 10.0f;
    std::array<std::array<std::int8_t, 65>, 65> d{};
    bool colours = false;
    std::vector<std::uint16_t> vtex; // row order, ty * 16 + tx; empty: no VTEX

    // Normals and colours carry their own position, so a wrong window shows.
    static std::uint8_t gridByte(int row, int col, int k, int salt)
    {
        return static_cast<std::uint8_t>((row * 7 + col * 13 + k * 3 + salt) & 0xFF);
    }
    // TES3 heights of the whole cell (d[0][0] is never used).
    double height(int row, int col) const
    {
        double h = offset;
        for (int r = 1; r <= row; ++r)
            h += d[static_cast<std::size_t>(r)][0];
        for (int k = 1; k <= col; ++k)
            h += d[static_cast<std::size_t>(row)][static_cast<std::size_t>(k)];
        return h;
    }
};

void addCell(Tes3Builder& b, int x, int y, const Tes3Land& land)
{
    b.record("CELL").sub("DATA", Fields().u32(0).i32(x).i32(y)).end();
    b.record("LAND").sub("INTV", Fields().i32(x).i32(y));
    auto grid = [](int salt) {
        Fields f;
        for (int r = 0; r < 65; ++r)
            for (int col = 0; col < 65; ++col)
                for (int k = 0; k < 3; ++k)
                    f.u8(Tes3Land::gridByte(r, col, k, salt));
        return f;
    };
    b.sub("VNML", grid(0));
    Fields h;
    h.f32(land.offset);
    for (const auto& row : land.d)
        for (std::int8_t v : row)
            h.i8(v);
    b.sub("VHGT", h.zeros(3));
    if (land.colours)
        b.sub("VCLR", grid(100));
    // Stored as 16 blocks of 4 x 4 indices, block by block.
    Fields t;
    for (std::size_t i = 0; i < land.vtex.size(); ++i)
        t.u16(land.vtex[(i / 64 * 4 + i % 16 / 4) * 16 + i / 16 % 4 * 4 + i % 4]);
    if (!land.vtex.empty())
        b.sub("VTEX", t);
    b.end();
}

const int kOrigins[4][2] = {{0, 0}, {32, 0}, {0, 32}, {32, 32}}; // south-west, south-east, north-west, north-east

struct Landscape : ConversionRun {
    void load(const std::vector<std::tuple<int, int, Tes3Land>>& cells)
    {
        Tes3Builder b;
        for (const auto& [x, y, land] : cells)
            addCell(b, x, y, land);
        ConversionRun::load(b);
        EXPECT_EQ(modshift::parseCells(*c), 0);
        console.clearCaptured();
    }
    // Writes the four quadrants of cell (x, y), chained as the cell writer does.
    std::vector<int> writeCell(int x, int y)
    {
        std::int32_t a = 0, b = 0, e = 0, unused = 0;
        return {modshift::writeLandWith(*c, table, x, y, 0, 0, 0, a, b),
                modshift::writeLandWith(*c, table, x, y, 32, 0, a, unused, unused),
                modshift::writeLandWith(*c, table, x, y, 0, 32, b, e, unused),
                modshift::writeLandWith(*c, table, x, y, 32, 32, e, unused, unused)};
    }
    // Every LAND written so far, inflated with the system zlib (its sizes cross
    // the checksum's chunk of 5552 bytes) and read as an uncompressed record.
    std::vector<Tes4Record> lands()
    {
        std::vector<Tes4Record> out;
        const Tes4File written = output();
        for (const Tes4Record* r : written.allRecords("LAND")) {
            EXPECT_TRUE(r->compressed);
            EXPECT_EQ(r->flags, 0x00040000u);
            const std::size_t rawSize = r->data.size() < 4 ? 0 : r->data[0] | r->data[1] << 8 | r->data[2] << 16;
            EXPECT_EQ(r->data.size(), rawSize + 15) << "a stored zlib stream: 2 + 5 + size + 4";
            auto raw = systemInflate(std::span(r->data).subspan(std::min<std::size_t>(4, r->data.size())), rawSize);
            if (!raw)
                continue;
            std::vector<std::uint8_t> plain = Fields().chars("LAND").u32(static_cast<std::uint32_t>(raw->size()))
                                                  .u32(0).u32(r->formId).u32(0).bytes(*raw).data();
            Tes4File f = readTes4Body(plain);
            EXPECT_TRUE(f.ok()) << f.error;
            if (f.ok())
                out.push_back(*f.allRecords("LAND").at(0));
        }
        return out;
    }
    // TES4 heights of a 33 x 33 VHGT, rows south to north.
    static double height(const Tes4Record& land, int row, int col)
    {
        const Tes4Subrecord& v = *land.field("VHGT");
        double h = v.f32(0);
        for (int r = 0; r <= row; ++r)
            h += static_cast<std::int8_t>(v.u8(4 + static_cast<std::size_t>(r) * 33));
        for (int k = 1; k <= col; ++k)
            h += static_cast<std::int8_t>(v.u8(4 + static_cast<std::size_t>(row * 33 + k)));
        return h;
    }

    std::array<std::uint32_t, 256> table{};
};

TEST(Landscape, FourLandsPerCellEachWithItsWindowOfHeightsNormalsAndColours)
{
    Tes3Land land;
    land.offset = -250.0f;
    land.colours = true;
    std::mt19937 rng(11);
    for (auto& row : land.d)
        for (auto& v : row)
            v = static_cast<std::int8_t>(static_cast<int>(rng() % 3) - 1);
    land.d[0][0] = 90; // never used
    Landscape s;
    s.load({{-1, 4, land}});
    EXPECT_EQ(s.writeCell(-1, 4), (std::vector<int>{0, 0, 0, 0}));
    auto all = s.lands();
    ASSERT_EQ(all.size(), 4u);
    for (std::size_t q = 0; q < 4; ++q) {
        const Tes4Record& l = all[q];
        EXPECT_EQ(l.formId, modshift::Tes4Writer::kFirstFormId + q);
        EXPECT_EQ(l.layout(), "DATA VNML VHGT VCLR");
        EXPECT_EQ(l.field("DATA")->u32(), 0x1Bu);
        EXPECT_EQ(l.field("VHGT")->u16(1093) | l.field("VHGT")->u8(1095) << 16, 0x107DD6) << "the filler after the heights";
        for (int r = 0; r < 33; ++r)
            for (int col = 0; col < 33; ++col) {
                const int tr = kOrigins[q][1] + r, tc = kOrigins[q][0] + col;
                ASSERT_EQ(Landscape::height(l, r, col), land.height(tr, tc)) << q << " " << r << " " << col;
                for (int k = 0; k < 3; ++k) {
                    const std::size_t at = static_cast<std::size_t>((r * 33 + col) * 3 + k);
                    ASSERT_EQ(l.field("VNML")->u8(at), Tes3Land::gridByte(tr, tc, k, 0));
                    ASSERT_EQ(l.field("VCLR")->u8(at), Tes3Land::gridByte(tr, tc, k, 100));
                }
            }
    }
}

TEST(Landscape, StepsPastOneByteAreClampedAndTheNextRowCatchesUp)
{
    Tes3Land land;
    // The east window's first column is TES3 column 32. Row 5 rises there by
    // 32 x 127 = 4064 (written 127, then -127 into row 6, which lands
    // exactly); row 20 falls by 129 (written -128, one high), so row 21 must
    // rise by 128 (written 127, one low) and row 22 lands exactly.
    for (std::size_t col = 1; col <= 32; ++col)
        land.d[5][col] = 127;
    for (std::size_t col = 33; col <= 64; ++col)
        land.d[5][col] = -3;
    land.d[20][1] = -127;
    land.d[20][2] = -2;
    Landscape s;
    s.load({{0, 0, land}});
    EXPECT_EQ(s.writeCell(0, 0), (std::vector<int>{0, 0, 0, 0}));
    const std::string overflow = "Overflow during landmass conversion! May be corrected by the TESCS\n";
    EXPECT_EQ(s.text(), overflow + overflow + overflow);
    auto all = s.lands();
    ASSERT_EQ(all.size(), 4u);
    for (int r = 0; r < 33; ++r)
        for (int col = 0; col < 33; ++col) {
            const double error = r == 5 ? 127 - 4064 : r == 20 ? 1 : r == 21 ? -1 : 0;
            ASSERT_EQ(Landscape::height(all[1], r, col), land.height(r, 32 + col) + error) << r << " " << col;
            ASSERT_EQ(Landscape::height(all[0], r, col), land.height(r, col)) << r << " " << col;
        }
}

// The ATXT/VTXT pairs of one quadrant of a LAND: form id, layer, points.
using Layer = std::tuple<std::uint32_t, int, std::vector<std::pair<int, float>>>;
std::vector<Layer> layers(const Tes4Record& land, int quadrant)
{
    std::vector<Layer> out;
    for (std::size_t i = 0; i < land.count("ATXT"); ++i) {
        const Tes4Subrecord& a = *land.field("ATXT", i);
        const Tes4Subrecord& v = *land.field("VTXT", i);
        EXPECT_EQ(a.size(), 8u);
        EXPECT_EQ(a.u8(5), 0);
        EXPECT_EQ(v.offset, a.offset + 6 + 8) << "VTXT right after its ATXT";
        if (a.u8(4) != quadrant)
            continue;
        Layer& l = out.emplace_back(a.u32(0), a.u16(6), std::vector<std::pair<int, float>>{});
        for (std::size_t p = 0; p + 8 <= v.size(); p += 8) {
            EXPECT_EQ(v.u16(p + 2), 0u) << "filler";
            std::get<2>(l).push_back({v.u16(p), v.f32(p + 4)});
        }
    }
    return out;
}

TEST(Landscape, TextureLayersLandInTheirOwnQuadrantRowAndColumn)
{
    auto filled = [](std::uint16_t v) {
        Tes3Land l;
        l.vtex.assign(256, v);
        return l;
    };
    // One tile of texture 7 at tx 6, ty 1 of the south-west TES4 cell: in the
    // south-east texture quadrant (tx 4..7, ty 0..3), local column 2, row 1,
    // so its points are columns 8..11 and rows 4..7 of the quadrant's 17 x 17
    // (point = row * 17 + column). Its inner 2 x 2 points are full, the points
    // on its sides are shared halves, its corners belong to the neighbours.
    Tes3Land odd = filled(5);
    odd.vtex[1 * 16 + 6] = 7;
    using Points = std::vector<std::pair<int, float>>;
    struct Case {
        std::vector<std::tuple<int, int, Tes3Land>> cells;
        int quadrant;
        Points points; // of texture 7 in that quadrant, layer 1
        std::size_t base; // points of texture 5, layer 0: the 17 x 17 less those 7 fills
    };
    const std::vector<Case> cases = {
        {{{0, 0, odd}}, 1, {{4 * 17 + 9, 0.5f}, {4 * 17 + 10, 0.5f}, {5 * 17 + 8, 0.5f}, {5 * 17 + 9, 1.0f},
                            {5 * 17 + 10, 1.0f}, {5 * 17 + 11, 0.5f}, {6 * 17 + 8, 0.5f}, {6 * 17 + 9, 1.0f},
                            {6 * 17 + 10, 1.0f}, {6 * 17 + 11, 0.5f}, {7 * 17 + 9, 0.5f}, {7 * 17 + 10, 0.5f}}, 289 - 4},
        // West and south neighbours 7, south-west 9: the cell's south-west corner takes 7.
        {{{0, 0, filled(5)}, {-1, 0, filled(7)}, {0, -1, filled(7)}, {-1, -1, filled(9)}}, 0, {{0, 1.0f}, {1, 0.5f}, {17, 0.5f}}, 289 - 1},
    };
    for (const Case& k : cases) {
        Landscape s;
        s.load(k.cells);
        s.table[5] = 0x01000005;
        s.table[7] = 0x01000007;
        s.table[9] = 0x01000009;
        std::int32_t a = 0, b = 0;
        ASSERT_EQ(modshift::writeLandWith(*s.c, s.table, 0, 0, 0, 0, 0, a, b), 0);
        auto all = s.lands();
        ASSERT_EQ(all.size(), 1u);
        const std::vector<Layer> in = layers(all[0], k.quadrant);
        ASSERT_EQ(in.size(), 2u) << k.quadrant;
        EXPECT_EQ(std::pair(std::get<0>(in[0]), std::get<2>(in[0]).size()), std::pair(0x01000005u, k.base));
        EXPECT_EQ(in[1], Layer(0x01000007u, 1, k.points)) << k.quadrant;
    }
}

struct GridPoint {
    std::int32_t x = 0, y = 0, z = 0;
    std::vector<std::uint32_t> links;
};

// A PGRD as text: its layout, each point (x y z connections), its connections
// inside the grid, then those that leave it (point, then x y z of the target).
std::string describe(const Tes4Record& r)
{
    std::string out = r.layout();
    auto add = [&out](float v) { out += " " + (v == std::floor(v) ? std::to_string(std::lround(v)) : std::to_string(v)); };
    const Tes4Subrecord& p = *r.field("PGRP");
    EXPECT_EQ(r.field("DATA")->u16() * 16u, p.size());
    for (std::size_t at = 0; at + 16 <= p.size(); at += 16) {
        out += " |";
        for (float v : {p.f32(at), p.f32(at + 4), p.f32(at + 8), static_cast<float>(p.u8(at + 12))})
            add(v);
        EXPECT_EQ(p.u16(at + 13) | p.u8(at + 15) << 16, 0xCDCDCD) << "filler";
    }
    out += " | PGRR";
    const Tes4Subrecord* inside = r.field("PGRR");
    for (std::size_t at = 0; inside && at + 2 <= inside->size(); at += 2)
        add(inside->u16(at));
    out += " | PGRI";
    const Tes4Subrecord* outside = r.field("PGRI");
    for (std::size_t at = 0; outside && at + 16 <= outside->size(); at += 16)
        for (float v : {static_cast<float>(outside->u32(at)), outside->f32(at + 4), outside->f32(at + 8),
                        outside->f32(at + 12)})
            add(v);
    return out;
}

struct PathGrid : ConversionRun {
    // One exterior cell (x, y) or, with interior, one interior holding the grid.
    void load(const std::vector<GridPoint>& points, int x, int y, bool interior = false, std::size_t pointBytes = SIZE_MAX)
    {
        Fields pgrp, pgrc;
        for (const GridPoint& p : points) {
            pgrp.i32(p.x).i32(p.y).i32(p.z).u8(1).u8(static_cast<std::uint8_t>(p.links.size())).zeros(2);
            for (std::uint32_t l : p.links)
                pgrc.u32(l);
        }
        std::vector<std::uint8_t> pgrpBytes = pgrp.data();
        pgrpBytes.resize(std::min(pointBytes, pgrpBytes.size()));
        Tes3Builder b;
        b.record("PGRD").sub("DATA", Fields().i32(x).i32(y).u16(128).i16(static_cast<std::int16_t>(points.size())));
        b.sub("PGRP", pgrpBytes).sub("PGRC", pgrc).end();
        ConversionRun::load(b);
        const std::int32_t grid = c->tree.find(modshift::makeTag("PGRD"))[0];
        const auto n = static_cast<std::int32_t>(points.size());
        if (interior) {
            modshift::InteriorCell cell;
            cell.pathGrid = grid;
            cell.pathGridPoints = n;
            c->world.interiors.push_back(cell);
        } else {
            c->world.exterior.at(x, y).pathGrid = grid;
            c->world.exterior.at(x, y).pathGridPoints = n;
        }
    }
    // The PGRD of each quadrant ("none" where none was written), each written
    // inside its own group labelled with the quadrant; an interior's is the first.
    std::array<std::string, 4> write(int x, int y, bool interior = false)
    {
        for (std::uint32_t q = 0; q < (interior ? 1u : 4u); ++q) {
            c->out.beginGroup(q, 9);
            EXPECT_EQ(modshift::writePathGrid(*c, interior ? 0 : -1, x, y, kOrigins[q][0], kOrigins[q][1]), 0);
            c->out.endGroup();
        }
        const Tes4File file = output();
        std::array<std::string, 4> out{"none", "none", "none", "none"};
        for (const Tes4Entry& e : file.entries) {
            auto records = e.group.records();
            EXPECT_LE(records.size(), 1u);
            if (!records.empty())
                out.at(e.group.label) = describe(*records[0]);
        }
        return out;
    }
};

TEST(PathGrids, PointsGoToTheirQuadrantAndLinksAcrossLeaveTheGrid)
{
    struct Case {
        std::vector<GridPoint> points;
        int x, y;
        bool interior;
        std::array<std::string, 4> grids;
    };
    const std::vector<Case> cases = {
        // Cell (1, 2): world offset (8192, 16384). Point 1 sits exactly on x = 4096
        // and goes east; odd coordinates are written one lower.
        {{{100, 100, 5, {1, 2}}, {4096, 100, 6, {0}}, {200, 300, 7, {0}}, {5000, 5000, 10, {4}}, {6000, 7000, 20, {3}}},
         1, 2, false,
         {"DATA PGRP PGAG PGRR PGRI | 8292 16484 4 1 | 8392 16684 6 1 | PGRR 1 0 | PGRI 0 12288 16484 6",
          "DATA PGRP PGAG PGRI | 12288 16484 6 0 | PGRR | PGRI 0 8292 16484 4", "none",
          "DATA PGRP PGAG PGRR | 13192 21384 10 1 | 14192 23384 20 1 | PGRR 1 0 | PGRI"}},
        // Points outside the cell belong nowhere: (101, -3) has y below 0, even after rounding down.
        {{{101, -3, 7, {1}}, {303, 5, -1, {0}}, {-1, 50, 0, {0}}, {8192, 60, 0, {0}}}, -2, -1, false,
         {"DATA PGRP PGAG PGRI | -16082 -8188 -2 0 | PGRR | PGRI 0 -16284 -8196 6", "none", "none", "none"}},
        // An interior has no offset; point 1 has no connections: dropped, and the
        // link to it leaves the grid; a link past the point list is dropped.
        {{{-500, 20000, 3, {1, 2}}, {40, 41, 42, {}}, {9000, 9000, 9000, {0, 99}}}, 7, 7, true,
         {"DATA PGRP PGAG PGRR PGRI | -500 20000 2 1 | 9000 9000 9000 1 | PGRR 1 0 | PGRI 0 40 40 42", "none", "none",
          "none"}},
    };
    for (const Case& k : cases) {
        PathGrid g;
        g.load(k.points, k.x, k.y, k.interior);
        EXPECT_EQ(g.write(k.x, k.y, k.interior), k.grids) << k.x << "," << k.y;
    }
}

TEST(PathGrids, TooManyConnectionsOrDamagedGridsStop)
{
    struct Case {
        std::vector<GridPoint> points;
        int oy;              // -1: the interior; else the quadrant row of cell (0, 0)
        std::size_t pointBytes;
        std::string message;
    };
    std::vector<GridPoint> inner(129);
    for (auto& p : inner)
        p.links.assign(255, 0);
    std::vector<GridPoint> outside(18);
    for (std::size_t i = 0; i < 17; ++i)
        outside[i] = {static_cast<std::int32_t>(i * 2), 0, 0, std::vector<std::uint32_t>(255, 17)};
    outside[17] = {6000, 10, 0, {0}}; // south-east
    std::vector<GridPoint> ring(4096);
    for (std::uint32_t i = 0; i < ring.size(); ++i)
        ring[i] = {static_cast<std::int32_t>(i), 0, 0, {(i + 1) % 4096}};
    const std::vector<Case> cases = {
        {inner, -1, SIZE_MAX, "Too many PGRR nodes! (32895>32767)\nPress enter...\n"},
        {outside, 0, SIZE_MAX, "Too many PGRI nodes!\nPress enter...\n"},
        {{{0, 0, 0, {1}}, {10, 0, 0, {0}}}, -1, 20, "damaged path grid in interior 0!\n"},
        {ring, -1, SIZE_MAX, "damaged path grid in interior 0!\n"}, // one point more than a grid holds
    };
    for (const Case& k : cases) {
        PathGrid g;
        g.load(k.points, 0, 0, k.oy < 0, k.pointBytes);
        EXPECT_EQ(modshift::writePathGrid(*g.c, k.oy < 0 ? 0 : -1, 0, 0, 0, 0), -1) << k.message;
        EXPECT_EQ(g.text(), k.message);
        EXPECT_EQ(g.console.waits(), k.message.ends_with("Press enter...\n") ? 1 : 0);
        EXPECT_TRUE(g.c->out.bytes().empty());
    }
    // Seen from the south-east quadrant, the same grid has one outside connection.
    PathGrid g;
    g.load(outside, 0, 0);
    EXPECT_EQ(modshift::writePathGrid(*g.c, -1, 0, 0, 32, 0), 0);
    ring.pop_back();
    ring.back().links = {0};
    PathGrid full;
    full.load(ring, 0, 0, true);
    EXPECT_NE(full.write(0, 0, true)[0], "none");
}

// TES4 cells inside: those of the listed TES3 cells.
std::function<bool(int, int)> tes3Cells(std::set<std::pair<int, int>> cells)
{
    return [cells = std::move(cells)](int x, int y) { return cells.count({x >> 1, y >> 1}) > 0; };
}
std::vector<modshift::CellPoint> trace(const std::function<bool(int, int)>& inside)
{
    ConversionRun run;
    return modshift::traceOutline(*run.c, inside);
}

TEST(RegionOutline, ClockwiseFromTheSouthWestCorner)
{
    using P = std::vector<modshift::CellPoint>;
    // The smallest shape whose sweep never comes back to its start column,
    // in TES4 cells: a start column of one cell.
    auto saw = [](int x, int y) { return x >= -128 && x <= -125 && y <= 0 && y >= -((x + 128) % 2); };
    const std::vector<std::pair<std::function<bool(int, int)>, P>> cases = {
        {tes3Cells({{0, 0}}), P{{0, 0}, {0, 1}, {1, 1}, {1, 0}}},
        {tes3Cells({{63, 63}}), P{{126, 126}, {126, 127}, {127, 127}, {127, 126}}},
        {tes3Cells({{-64, -64}}), P{{-128, -128}, {-128, -127}, {-127, -127}, {-127, -128}}},
        {saw, P{{-128, 0}, {-125, 0}, {-125, -1}, {-127, -1}, {-127, 0}}},
    };
    for (const auto& [inside, outline] : cases)
        EXPECT_EQ(trace(inside), outline) << outline.front().x << "," << outline.front().y;
    // A region on the western edge whose sweep would go round for ever stops at its first repeat.
    auto edge = tes3Cells({{-64, 51}, {-63, 50}, {-63, 51}, {-63, 52}, {-62, 51}, {-62, 52}, {-62, 53}, {-62, 54},
                           {-61, 51}, {-61, 52}, {-61, 53}, {-61, 54}, {-61, 55}, {-60, 51}, {-60, 52}, {-60, 53},
                           {-60, 54}, {-60, 55}, {-59, 51}, {-59, 52}, {-59, 53}, {-59, 54}, {-58, 52}, {-58, 53}, {-57, 52}});
    EXPECT_EQ(trace(edge).at(0), (modshift::CellPoint{-128, 102}));
}

Fields sound(std::string_view id, std::uint8_t chance) { return Fields().fixed(id, 32).u8(chance); }

TEST(Regions, RecordsCarryOutlineSoundsWeatherAndMapName)
{
    Tes3Builder b;
    b.record("REGN").text("NAME", "Ascadian Isles").text("FNAM", "Ascadian Isles Region");
    b.sub("WEAT", Fields().u8(10).u8(20).u8(0).u8(0).u8(30).u8(0).u8(0).u8(40).u8(9).u8(9)).u32("CNAM", 0x00112233);
    b.sub("SNAM", sound("bird one", 60)).sub("SNAM", sound("crickets", 100));
    b.sub("SNAM", sound("wind", 200)).sub("SNAM", sound("missing", 50)).end();
    b.record("REGN").text("NAME", "Bare").end();
    b.record("REGN").text("NAME", "Nowhere").end();
    ConversionRun run;
    run.load(b);
    auto& c = *run.c;
    run.add(c.tables.sounds, "birdSone", 0x01000100);
    run.add(c.tables.sounds, "crickets", 0x01000101);
    run.add(c.tables.sounds, "wind", 0x01000102);
    ASSERT_EQ(modshift::parseRegions(c), 0);
    EXPECT_EQ(run.text(), "\nParsing world regions\nfound 3 regions\n...\n");
    const auto& regions = c.world.regions.regions;
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(std::vector({c.world.regions.indexOf("Bare"), c.world.regions.indexOf("bare"),
                           c.world.regions.indexOf("AscadianSIsles")}), std::vector({1, -1, 0}));

    c.world.exterior.at(0, 0).region = 0;
    c.world.exterior.at(-1, -1).region = 1;
    run.console.clearCaptured();
    c.out.beginGroup(modshift::makeTag("SOUN"), 0); // something before, so positions are not 0
    c.out.endGroup();
    ASSERT_EQ(modshift::saveRegions(c), 0);
    modshift::fillRegionWorldspace(c, 0x01002345);
    auto records = run.records("REGN");
    ASSERT_EQ(records.size(), 2u) << "the region without cells is not written";
    const Tes4Record& first = *records[0];
    EXPECT_EQ(std::pair(first.formId, first.lastWord), std::pair(modshift::Tes4Writer::kFirstFormId, 0x3716u));
    EXPECT_EQ(first.layout(), "EDID RCLR WNAM RPLI RPLD RDAT RDMD RDSD RDAT RDWT RDAT RDMP");
    EXPECT_EQ(first.field("EDID")->text(), "0AscadianSIsles");
    EXPECT_EQ(std::tuple(first.field("RCLR")->u32(), first.field("WNAM")->u32(), first.field("RPLI")->u32()),
              std::tuple(0x00112233u, 0x01002345u, 1024u));
    // One TES3 cell: the outline's corners at the middles of its four TES4 cells.
    const std::vector<std::uint32_t> fields[] = {
        {0x45000000, 0x45000000, 0x45000000, 0x45C00000, 0x45C00000, 0x45C00000, 0x45C00000, 0x45000000}, // RPLD
        {7, 0x3200},                                                                             // RDAT sounds
        {0x01000100, 15, 1500000, 0x01000101, 15, 2500000, 0x01000102, 15, 2500000},             // RDSD
        {3, 0x3200},                                                                             // RDAT weather
        {0x38EEE, 10, 0x38EF0, 20, 0x38EF2, 30, 0x67199, 40},                                    // RDWT
        {4, 0x3200}};                                                                            // RDAT map
    const Tes4Subrecord* data[] = {first.field("RPLD"), first.field("RDAT", 0), first.field("RDSD"),
                                   first.field("RDAT", 1), first.field("RDWT"), first.field("RDAT", 2)};
    for (std::size_t f = 0; f < 6; ++f) {
        ASSERT_GE(data[f]->size(), 4 * fields[f].size()) << f;
        for (std::size_t i = 0; i < fields[f].size(); ++i)
            EXPECT_EQ(data[f]->u32(i * 4), fields[f][i]) << f << " " << i;
    }
    EXPECT_EQ(first.field("RDMD")->u32(), 0u);
    EXPECT_EQ(first.field("RDMP")->text(), "Ascadian Isles Region");
    EXPECT_TRUE(first.field("RDMP")->isZeroTerminatedText());
    const Tes4Record& bare = *records[1];
    EXPECT_EQ(bare.layout(), "EDID RCLR WNAM RPLI RPLD");
    EXPECT_EQ(std::vector<float>({bare.field("RPLD")->f32(0), bare.field("RPLD")->f32(4), bare.field("RPLD")->f32(24)}),
              std::vector<float>({-6144, -6144, -2048}));
}

} // namespace
} // namespace lw::test
