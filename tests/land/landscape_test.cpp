// The landscape writer: four compressed TES4 LANDs per TES3 LAND, read back
// through the system zlib and an independent subrecord splitter.

#include <random>

#include "land_fixture.hpp"
#include "modshift/world/landscape.hpp"

namespace lw::test::land {
namespace {

using modshift::makeTag;


struct Tes3Land {
    float offset = 10.0f;
    std::array<std::array<std::int8_t, 65>, 65> d{};
    bool normals = true;
    bool colours = false;
    bool textures = false;
    std::array<std::uint16_t, 256> vtex{}; // row order, ty * 16 + tx
    std::size_t heightBytes = 4 + 65 * 65 + 3;

    // Normals and colours carry their own position, so a wrong window shows.
    static std::uint8_t gridByte(int row, int col, int k, int salt)
    {
        return static_cast<std::uint8_t>((row * 7 + col * 13 + k * 3 + salt) & 0xFF);
    }
};

void addCell(Tes3Builder& b, int x, int y, const Tes3Land& land)
{
    b.record("CELL").sub("DATA", Fields().u32(0).i32(x).i32(y)).end();
    b.record("LAND");
    b.sub("INTV", Fields().i32(x).i32(y));
    auto grid = [](int salt) {
        Fields f;
        for (int r = 0; r < 65; ++r)
            for (int col = 0; col < 65; ++col)
                for (int k = 0; k < 3; ++k)
                    f.u8(Tes3Land::gridByte(r, col, k, salt));
        return f;
    };
    if (land.normals)
        b.sub("VNML", grid(0));
    Fields h;
    h.f32(land.offset);
    for (const auto& row : land.d)
        for (std::int8_t v : row)
            h.i8(v);
    h.zeros(3);
    std::vector<std::uint8_t> hb = h.data();
    hb.resize(land.heightBytes);
    b.sub("VHGT", hb);
    if (land.colours)
        b.sub("VCLR", grid(100));
    if (land.textures) {
        Fields t;
        for (std::uint16_t v : land.vtex)
            t.u16(v);
        b.sub("VTEX", t);
    }
    b.end();
}

struct Decoded {
    Tes4Record record;
    std::vector<std::uint8_t> raw;
    std::vector<Sub> subs;
};

// TES4 heights of a 33 x 33 VHGT, rows south to north.
std::array<std::array<double, 33>, 33> decodeHeights(const Sub& vhgt)
{
    std::array<std::array<double, 33>, 33> h{};
    double column = vhgt.f32(0);
    for (int r = 0; r < 33; ++r) {
        column += vhgt.i8(4 + static_cast<std::size_t>(r) * 33);
        double v = column;
        h[static_cast<std::size_t>(r)][0] = v;
        for (int col = 1; col < 33; ++col) {
            v += vhgt.i8(4 + static_cast<std::size_t>(r * 33 + col));
            h[static_cast<std::size_t>(r)][static_cast<std::size_t>(col)] = v;
        }
    }
    return h;
}

// TES3 heights of the whole cell, without d[0][0] (which nothing uses).
std::array<std::array<double, 65>, 65> tes3Heights(const Tes3Land& land)
{
    std::array<std::array<double, 65>, 65> h{};
    double column = land.offset;
    for (int r = 0; r < 65; ++r) {
        if (r > 0)
            column += land.d[static_cast<std::size_t>(r)][0];
        double v = column;
        h[static_cast<std::size_t>(r)][0] = v;
        for (int col = 1; col < 65; ++col) {
            v += land.d[static_cast<std::size_t>(r)][static_cast<std::size_t>(col)];
            h[static_cast<std::size_t>(r)][static_cast<std::size_t>(col)] = v;
        }
    }
    return h;
}

class Landscape : public ::testing::Test {
protected:
    // Loads the cells and files their LAND parts in the grid, as the cell parse does.
    void load(const std::vector<std::tuple<int, int, Tes3Land>>& cells)
    {
        Tes3Builder b;
        for (const auto& [x, y, land] : cells)
            addCell(b, x, y, land);
        ctx().load(b);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const auto& [x, y, land] = cells[i];
            auto& slot = ctx().c.world.exterior.at(x, y);
            slot.cell = ctx().record("CELL", i);
            std::int32_t l = ctx().record("LAND", i);
            slot.normals = ctx().child(l, "VNML");
            slot.heights = ctx().child(l, "VHGT");
            slot.colours = ctx().child(l, "VCLR");
            slot.textures = ctx().child(l, "VTEX");
        }
    }

    // Writes the four quadrants of cell (x, y), chained as the cell writer does.
    std::vector<int> writeCell(int x, int y)
    {
        std::vector<int> results;
        std::int32_t a = 0, b = 0, e = 0, unused = 0;
        results.push_back(modshift::writeLandWith(ctx().c, table, x, y, 0, 0, 0, a, b));
        results.push_back(modshift::writeLandWith(ctx().c, table, x, y, 32, 0, a, unused, unused));
        results.push_back(modshift::writeLandWith(ctx().c, table, x, y, 0, 32, b, e, unused));
        results.push_back(modshift::writeLandWith(ctx().c, table, x, y, 32, 32, e, unused, unused));
        return results;
    }

    // Every LAND written so far, inflated with the system zlib.
    std::vector<Decoded> lands()
    {
        std::vector<Decoded> out;
        Tes4File f = ctx().output();
        EXPECT_TRUE(f.ok()) << f.error;
        const SystemZlib& zlib = SystemZlib::get();
        EXPECT_TRUE(zlib.loaded());
        for (const Tes4Record* r : f.allRecords("LAND")) {
            Decoded d;
            d.record = *r;
            EXPECT_TRUE(r->compressed);
            EXPECT_EQ(r->flags, 0x00040000u);
            EXPECT_GE(r->data.size(), 4u);
            if (r->data.size() < 4 || !zlib.loaded())
                continue;
            std::size_t rawSize = r->data[0] | r->data[1] << 8 | r->data[2] << 16 |
                                  static_cast<std::size_t>(r->data[3]) << 24;
            EXPECT_EQ(r->data.size(), rawSize + 15);
            auto inflated = zlib.inflate(std::span(r->data).subspan(4), rawSize);
            EXPECT_TRUE(inflated.has_value()) << "zlib refused the stream";
            if (!inflated)
                continue;
            EXPECT_EQ(inflated->size(), rawSize);
            d.raw = *inflated;
            d.subs = splitSubrecords(d.raw);
            out.push_back(std::move(d));
        }
        return out;
    }

    Context& ctx() { return *context; }
    void fresh() { context = std::make_unique<Context>(); }

    std::unique_ptr<Context> context = std::make_unique<Context>();
    std::array<std::uint32_t, 256> table{};
};

TEST_F(Landscape, FlatCellGivesFourLandsAtTheOffsetWithZeroDifferences)
{
    Tes3Land land;
    land.offset = 37.5f;
    load({{2, -3, land}});
    EXPECT_EQ(writeCell(2, -3), (std::vector<int>{0, 0, 0, 0}));
    auto all = lands();
    ASSERT_EQ(all.size(), 4u);
    std::uint32_t expectedId = modshift::Tes4Writer::kFirstFormId;
    for (const Decoded& d : all) {
        EXPECT_EQ(d.record.formId, expectedId++);
        EXPECT_EQ(layoutOf(d.subs), "DATA VNML VHGT");
        EXPECT_EQ(d.raw.size(), 4385u);
        EXPECT_EQ(findSub(d.subs, "DATA")->u32(0), 0x19u);
        const Sub* vhgt = findSub(d.subs, "VHGT");
        ASSERT_EQ(vhgt->data.size(), 1096u);
        EXPECT_EQ(vhgt->f32(0), 37.5f);
        for (std::size_t i = 4; i < 4 + 33 * 33; ++i)
            ASSERT_EQ(vhgt->data[i], 0) << i;
        EXPECT_EQ(vhgt->data[1093], 0xD6);
        EXPECT_EQ(vhgt->data[1094], 0x7D);
        EXPECT_EQ(vhgt->data[1095], 0x10);
    }
    EXPECT_EQ(ctx().text(), "");
}

TEST_F(Landscape, StoredZlibMatchesTheSystemZlibOnAwkwardSizes)
{
    const SystemZlib& zlib = SystemZlib::get();
    ASSERT_TRUE(zlib.loaded());
    std::mt19937 rng(7);
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{5551}, std::size_t{5553},
                             std::size_t{65535}}) {
        std::vector<std::uint8_t> raw(size);
        for (auto& v : raw)
            v = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0xFF : rng());
        std::vector<std::uint8_t> data = modshift::storedZlibRecordData(raw);
        ASSERT_EQ(data.size(), size + 15);
        auto inflated = zlib.inflate(std::span(data).subspan(4), size);
        ASSERT_TRUE(inflated.has_value()) << size;
        EXPECT_EQ(*inflated, raw) << size;
    }
    // Corrupting the checksum must make zlib refuse the stream.
    std::vector<std::uint8_t> raw(100, 0xAB);
    std::vector<std::uint8_t> data = modshift::storedZlibRecordData(raw);
    data.back() ^= 1;
    EXPECT_FALSE(zlib.inflate(std::span(data).subspan(4), raw.size()).has_value());
    EXPECT_EQ(modshift::adler32({}), 1u);
}

TEST_F(Landscape, HeightsKeepEveryVertexAndQuadrantEdgesAgree)
{
    Tes3Land land;
    land.offset = -250.0f;
    std::mt19937 rng(11);
    for (auto& row : land.d)
        for (auto& v : row)
            v = static_cast<std::int8_t>(static_cast<int>(rng() % 3) - 1);
    land.d[0][0] = 90; // never used
    load({{-1, 4, land}});
    EXPECT_EQ(writeCell(-1, 4), (std::vector<int>{0, 0, 0, 0}));
    auto all = lands();
    ASSERT_EQ(all.size(), 4u);
    auto expected = tes3Heights(land);
    const int origins[4][2] = {{0, 0}, {32, 0}, {0, 32}, {32, 32}};
    std::array<std::array<std::array<double, 33>, 33>, 4> h{};
    for (int q = 0; q < 4; ++q) {
        h[static_cast<std::size_t>(q)] = decodeHeights(*findSub(all[static_cast<std::size_t>(q)].subs, "VHGT"));
        for (int r = 0; r < 33; ++r)
            for (int col = 0; col < 33; ++col)
                ASSERT_EQ(h[static_cast<std::size_t>(q)][static_cast<std::size_t>(r)][static_cast<std::size_t>(col)],
                          expected[static_cast<std::size_t>(origins[q][1] + r)]
                                  [static_cast<std::size_t>(origins[q][0] + col)])
                    << "quadrant " << q << " row " << r << " col " << col;
    }
    // Shared edges, quadrant against quadrant (not only against the source).
    for (std::size_t k = 0; k < 33; ++k) {
        EXPECT_EQ(h[0][k][32], h[1][k][0]);  // south-west east column = south-east west column
        EXPECT_EQ(h[2][k][32], h[3][k][0]);
        EXPECT_EQ(h[0][32][k], h[2][0][k]);  // south-west north row = north-west south row
        EXPECT_EQ(h[1][32][k], h[3][0][k]);
    }
    EXPECT_EQ(ctx().text(), "");

    // d[0][0] changes nothing in the output.
    const std::vector<std::uint8_t> first = ctx().c.out.bytes();
    fresh();
    Tes3Land changed = land;
    changed.d[0][0] = -7;
    load({{-1, 4, changed}});
    writeCell(-1, 4);
    EXPECT_EQ(ctx().c.out.bytes(), first);
}

TEST_F(Landscape, SteepEastColumnIsClampedOnceAndOnlyItsRowMoves)
{
    Tes3Land land;
    // Row 5 rises by 32 x 127 between columns 0 and 32, so the east window's
    // first-column step into row 5 is 4064 and out of it -4064.
    for (std::size_t col = 1; col <= 32; ++col)
        land.d[5][col] = 127;
    for (std::size_t col = 33; col <= 64; ++col)
        land.d[5][col] = -3;
    load({{0, 0, land}});
    EXPECT_EQ(writeCell(0, 0), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(ctx().text(), "Overflow during landmass conversion! May be corrected by the TESCS\n");
    auto all = lands();
    ASSERT_EQ(all.size(), 4u);
    const Sub* vhgt = findSub(all[1].subs, "VHGT");
    EXPECT_EQ(vhgt->i8(4 + 5 * 33), 127);
    // The next row is written against the clamped row, so it lands exactly.
    EXPECT_EQ(vhgt->i8(4 + 6 * 33), -127);
    auto expected = tes3Heights(land);
    auto h = decodeHeights(*vhgt);
    for (std::size_t r = 0; r < 33; ++r)
        for (std::size_t col = 0; col < 33; ++col) {
            double want = expected[r][32 + col] - (r == 5 ? 4064 - 127 : 0);
            ASSERT_EQ(h[r][col], want) << r << " " << col;
        }
}

TEST_F(Landscape, NormalsAndColoursAreCutOutPerQuadrant)
{
    Tes3Land land;
    land.colours = true;
    load({{0, 0, land}});
    writeCell(0, 0);
    auto all = lands();
    ASSERT_EQ(all.size(), 4u);
    const int origins[4][2] = {{0, 0}, {32, 0}, {0, 32}, {32, 32}};
    for (std::size_t q = 0; q < 4; ++q) {
        EXPECT_EQ(layoutOf(all[q].subs), "DATA VNML VHGT VCLR");
        EXPECT_EQ(findSub(all[q].subs, "DATA")->u32(0), 0x1Bu);
        EXPECT_EQ(all[q].raw.size(), 4385u + 3273u);
        const Sub* vnml = findSub(all[q].subs, "VNML");
        const Sub* vclr = findSub(all[q].subs, "VCLR");
        ASSERT_EQ(vnml->data.size(), 3267u);
        ASSERT_EQ(vclr->data.size(), 3267u);
        for (int r = 0; r < 33; ++r)
            for (int col = 0; col < 33; ++col)
                for (int k = 0; k < 3; ++k) {
                    std::size_t at = static_cast<std::size_t>((r * 33 + col) * 3 + k);
                    ASSERT_EQ(vnml->data[at], Tes3Land::gridByte(origins[q][1] + r, origins[q][0] + col, k, 0));
                    ASSERT_EQ(vclr->data[at], Tes3Land::gridByte(origins[q][1] + r, origins[q][0] + col, k, 100));
                }
    }
}

// ATXT/VTXT pairs of one LAND: (form id, quadrant, layer) -> points.
struct Layer {
    std::uint32_t formId;
    int quadrant;
    int layer;
    std::vector<std::pair<int, float>> points;
};

std::vector<Layer> layers(const Decoded& d)
{
    std::vector<Layer> out;
    for (std::size_t i = 0; i < d.subs.size(); ++i) {
        if (d.subs[i].tag != "ATXT")
            continue;
        const Sub& a = d.subs[i];
        EXPECT_EQ(a.data.size(), 8u);
        EXPECT_EQ(a.u8(5), 0);
        Layer l{a.u32(0), a.u8(4), a.u16(6), {}};
        EXPECT_LT(i + 1, d.subs.size());
        if (i + 1 >= d.subs.size())
            break;
        const Sub& v = d.subs[i + 1];
        EXPECT_EQ(v.tag, "VTXT");
        EXPECT_EQ(v.data.size() % 8, 0u);
        for (std::size_t p = 0; p + 8 <= v.data.size(); p += 8) {
            EXPECT_EQ(v.u16(p + 2), 0u) << "filler";
            l.points.push_back({v.u16(p), v.f32(p + 4)});
        }
        out.push_back(std::move(l));
    }
    return out;
}

TEST_F(Landscape, OneOddTileLandsInItsOwnQuadrantRowAndColumn)
{
    // One tile of texture 7 at tx 6, ty 1 of the south-west TES4 cell: in the
    // south-east texture quadrant (tx 4..7, ty 0..3), local column 2, row 1,
    // so its points are columns 8..11 and rows 4..7 of the quadrant's 17 x 17
    // (point = row * 17 + column). Its inner 2 x 2 points are full, the points
    // on its sides are shared halves, its corners belong to the neighbours.
    Tes3Land land;
    land.textures = true;
    land.vtex.fill(5);
    land.vtex[1 * 16 + 6] = 7;
    load({{0, 0, land}});
    table[5] = 0x0100AAA5;
    table[7] = 0x0100AAA7;
    std::int32_t a = 0, b = 0;
    ASSERT_EQ(modshift::writeLandWith(ctx().c, table, 0, 0, 0, 0, 0, a, b), 0);
    auto all = lands();
    ASSERT_EQ(all.size(), 1u);
    std::vector<Layer> odd;
    for (const Layer& l : layers(all[0]))
        if (l.formId == 0x0100AAA7u)
            odd.push_back(l);
    ASSERT_EQ(odd.size(), 1u);
    EXPECT_EQ(odd[0].quadrant, 1);
    EXPECT_EQ(odd[0].layer, 1);
    const std::vector<std::pair<int, float>> expected = {
        {4 * 17 + 9, 0.5f},  {4 * 17 + 10, 0.5f}, {5 * 17 + 8, 0.5f},  {5 * 17 + 9, 1.0f},
        {5 * 17 + 10, 1.0f}, {5 * 17 + 11, 0.5f}, {6 * 17 + 8, 0.5f},  {6 * 17 + 9, 1.0f},
        {6 * 17 + 10, 1.0f}, {6 * 17 + 11, 0.5f}, {7 * 17 + 9, 0.5f},  {7 * 17 + 10, 0.5f}};
    EXPECT_EQ(odd[0].points, expected);
}

TEST_F(Landscape, CornerBlendingLooksIntoTheNeighbouringCells)
{
    auto filled = [](std::uint16_t v) {
        Tes3Land l;
        l.textures = true;
        l.vtex.fill(v);
        return l;
    };
    // West and south neighbours 7, south-west 9: the cell's south-west corner takes 7.
    load({{0, 0, filled(5)}, {-1, 0, filled(7)}, {0, -1, filled(7)}, {-1, -1, filled(9)}});
    table[5] = 0x01000005;
    table[7] = 0x01000007;
    table[9] = 0x01000009;
    std::int32_t a = 0, b = 0;
    ASSERT_EQ(modshift::writeLandWith(ctx().c, table, 0, 0, 0, 0, 0, a, b), 0);
    auto all = lands();
    ASSERT_EQ(all.size(), 1u);
    std::vector<Layer> q0;
    for (const Layer& l : layers(all[0]))
        if (l.quadrant == 0)
            q0.push_back(l);
    ASSERT_EQ(q0.size(), 2u);
    EXPECT_EQ(q0[0].formId, 0x01000005u);
    EXPECT_EQ(q0[0].points.size(), 288u);
    EXPECT_EQ(q0[1].formId, 0x01000007u);
    EXPECT_EQ(q0[1].points, (std::vector<std::pair<int, float>>{{0, 1.0f}, {1, 0.5f}, {17, 0.5f}}));
}

TEST_F(Landscape, MissingOrShortPartsWriteNothingAndSayWhy)
{
    Tes3Land noNormals;
    noNormals.normals = false;
    Tes3Land shortHeights;
    shortHeights.heightBytes = 1000;
    Tes3Land shortTextures;
    load({{0, 0, noNormals}, {1, 0, shortHeights}, {2, 0, shortTextures}});
    EXPECT_EQ(writeCell(0, 0), (std::vector<int>{-1, -1, -1, -1}));
    EXPECT_EQ(ctx().text(), "no normals!\nno normals!\nno normals!\nno normals!\n");
    ctx().console.clearCaptured();
    std::int32_t a = 0, b = 0;
    EXPECT_EQ(modshift::writeLandWith(ctx().c, table, 1, 0, 0, 0, 0, a, b), -1);
    EXPECT_EQ(ctx().text(), "damaged land heights in cell (1,0)!\n");
    EXPECT_TRUE(ctx().c.out.bytes().empty());
    EXPECT_EQ(ctx().c.out.peekFormId(), modshift::Tes4Writer::kFirstFormId);

    // A VTEX shorter than 256 values is left out, with a message.
    ctx().console.clearCaptured();
    auto& slot = ctx().c.world.exterior.at(2, 0);
    slot.textures = ctx().child(ctx().record("LAND", 2), "INTV"); // 8 bytes
    EXPECT_EQ(modshift::writeLandWith(ctx().c, table, 2, 0, 0, 0, 0, a, b), 0);
    EXPECT_EQ(ctx().text(), "damaged land textures in cell (2,0)!\n");
    auto all = lands();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(findSub(all[0].subs, "DATA")->u32(0), 0x19u);
}

} // namespace
} // namespace lw::test::land
