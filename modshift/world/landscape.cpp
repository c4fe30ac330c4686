// Landscape conversion.
//
// TES3 LAND subrecords read here (rows south to north, columns west to east):
//   VNML  65 x 65 normals, 3 signed bytes each
//   VHGT  offset:f32, then 65 x 65 signed byte differences d[row][col], 3 unused
//         H(row, 0)   = offset + d[0][0] + ... + d[row][0]
//         H(row, col) = H(row, 0) + d[row][1] + ... + d[row][col]
//   VCLR  65 x 65 colours, 3 bytes each
//   VTEX  16 x 16 u16 texture values, already in row order (ty * 16 + tx)
//
// TES4 LAND, one per quadrant window of 33 x 33 vertices, record data:
//   rawSize:u32  0x78 0x9C  0x01 LEN:u16 NLEN:u16  raw[rawSize]  adler32:u32 (big-endian)
// where raw holds DATA, VNML, VHGT, [VCLR], then (ATXT VTXT)* per texture layer.
//
// The whole record is assembled in memory.

#include "modshift/world/landscape.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>

#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"

namespace lw::modshift {

namespace {

constexpr int kTes3Side = 65;
constexpr int kWindowSide = 33;
constexpr std::size_t kVertexBytes = 3;
constexpr std::size_t kGridBytes = std::size_t{kTes3Side} * kTes3Side * kVertexBytes; // 12675
constexpr std::size_t kHeightBytes = 4 + std::size_t{kTes3Side} * kTes3Side;          // 4229
constexpr std::size_t kTextureBytes = 16 * 16 * 2;
constexpr std::uint32_t kCompressedFlag = 0x00040000;
constexpr std::size_t kMaxStoredBlock = 0xFFFF;

// Texture maps are 36 x 36 so that every 4 x 4 texture block fits; the window
// uses rows and columns 0 to 32.
constexpr int kMapSide = 36;
using TextureMap = std::array<std::array<std::uint16_t, kMapSide>, kMapSide>;

// Decoded heights of one TES3 cell.
struct Heights {
    float offset = 0.0f;
    std::array<std::array<std::int8_t, kTes3Side>, kTes3Side> d{};
};

bool readHeights(std::span<const std::uint8_t> data, Heights& h)
{
    if (data.size() < kHeightBytes)
        return false;
    ByteCursor in(data);
    h.offset = in.f32();
    for (auto& row : h.d)
        for (auto& v : row)
            v = in.i8();
    return in.ok();
}

// The accumulated heights along the east column (TES3 column 32) of the west
// window with origin row oy, one per window row, with the window's first
// vertex taken as 0: exactly what the west window's own bookkeeping holds,
// less its base.
std::array<std::int32_t, kWindowSide> westEdge(const Heights& h, int oy)
{
    std::array<std::int32_t, kWindowSide> edge{};
    std::int32_t column = 0;
    for (int k = 0; k < kWindowSide; ++k) {
        const auto& row = h.d[static_cast<std::size_t>(oy + k)];
        if (k > 0)
            column += row[0];
        std::int32_t sum = column;
        for (int col = 1; col <= 32; ++col)
            sum += row[static_cast<std::size_t>(col)];
        edge[static_cast<std::size_t>(k)] = sum;
    }
    return edge;
}

void copyWindow(ByteWriter& w, std::span<const std::uint8_t> grid, int ox, int oy)
{
    for (int k = 0; k < kWindowSide; ++k) {
        std::size_t start = (static_cast<std::size_t>(oy + k) * kTes3Side + static_cast<std::size_t>(ox)) *
                            kVertexBytes;
        w.bytes(grid.subspan(start, kWindowSide * kVertexBytes));
    }
}

struct HeightResult {
    std::int32_t out1 = 0;
    std::int32_t out2 = 0;
};

HeightResult writeHeights(Conversion& c, ByteWriter& w, const Heights& h, int ox, int oy,
                          std::int32_t base)
{
    HeightResult result;
    w.f32(h.offset + static_cast<float>(base));
    std::int32_t running = base; // the first column's accumulated height
    const bool west = ox == 0;

    // The window's 33 x 33 differences are gathered here and written at once.
    std::array<std::uint8_t, std::size_t{kWindowSide} * kWindowSide> deltas{};
    std::size_t emitted = 0;
    auto emit = [&](std::int32_t delta) {
        if (delta < -128 || delta > 127) {
            c.console.print("Overflow during landmass conversion! May be corrected by the TESCS\n");
            delta = delta < 0 ? -128 : 127;
        }
        deltas[emitted++] = static_cast<std::uint8_t>(static_cast<std::int8_t>(delta));
        return delta;
    };

    if (west) {
        std::array<std::int32_t, kWindowSide> edge{};
        for (int k = 0; k < kWindowSide; ++k) {
            const auto& row = h.d[static_cast<std::size_t>(oy + k)];
            for (int col = 0; col <= 32; ++col) {
                std::int32_t delta = (k == 0 && col == 0) ? 0 : row[static_cast<std::size_t>(col)];
                if (col == 0) {
                    running += delta;
                    edge[static_cast<std::size_t>(k)] = running;
                } else {
                    edge[static_cast<std::size_t>(k)] += delta;
                }
                emit(delta);
            }
        }
        result.out1 = edge[0];
    } else {
        // The west window of the same rows keeps this edge; it is derived from
        // the same heights here. The first column is written against the
        // height actually written for the row below, so a clamp displaces the
        // vertices of its own row only.
        const std::array<std::int32_t, kWindowSide> edge = westEdge(h, oy);
        std::int32_t written = edge[0];
        for (int k = 0; k < kWindowSide; ++k) {
            const auto& row = h.d[static_cast<std::size_t>(oy + k)];
            for (int col = 32; col <= 64; ++col) {
                std::int32_t delta = (k == 0 && col == 32) ? 0 : row[static_cast<std::size_t>(col)];
                if (col == 32) {
                    if (k > 0)
                        delta = edge[static_cast<std::size_t>(k)] - written;
                    running += delta;
                    written += emit(delta);
                } else {
                    emit(delta);
                }
            }
        }
        result.out1 = base; // the west window's first edge value, when chained
    }
    result.out2 = running;
    w.bytes(deltas);
    w.u8(0xD6);
    w.u8(0x7D);
    w.u8(0x10);
    return result;
}

// Texture values of texture cells -1 to 17 around the cell, indexed [ty + 1][tx + 1].
using TextureGrid = std::array<std::array<std::uint16_t, 19>, 19>;

TextureGrid textureGrid(const Conversion& c, int cellX, int cellY)
{
    TextureGrid g{};
    for (int ty = -1; ty <= 17; ++ty)
        for (int tx = -1; tx <= 17; ++tx)
            g[static_cast<std::size_t>(ty + 1)][static_cast<std::size_t>(tx + 1)] =
                textureAt(c.world.exterior, c.tree, cellX, cellY, tx, ty);
    return g;
}

void buildTextureMaps(const TextureGrid& g, int ox, int oy, TextureMap& primary, TextureMap& secondary)
{
    auto tex = [&](int tx, int ty) { return g[static_cast<std::size_t>(ty + 1)][static_cast<std::size_t>(tx + 1)]; };
    auto at = [](TextureMap& m, int row, int col) -> std::uint16_t& {
        return m[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    };
    for (auto& row : secondary)
        row.fill(0);
    for (int i = 0; i <= 8; ++i) {
        for (int j = 0; j <= 8; ++j) {
            const int tx = ox / 4 + j;
            const int ty = oy / 4 + i;
            const std::uint16_t t = tex(tx, ty);
            const int r = 4 * i;
            const int q = 4 * j;
            for (int a = 0; a < 4; ++a)
                for (int b = 0; b < 4; ++b)
                    at(primary, r + a, q + b) = t;

            const std::uint16_t left = tex(tx - 1, ty);
            const std::uint16_t right = tex(tx + 1, ty);
            const std::uint16_t down = tex(tx, ty - 1);
            const std::uint16_t up = tex(tx, ty + 1);
            // A corner where two equal neighbours meet diagonally across this
            // cell takes their texture; the two positions beside it blend.
            auto corner = [&](std::uint16_t side, std::uint16_t diagonal, std::uint16_t vertical, int cr,
                              int cc, int r1, int c1, int r2, int c2) {
                if (side == vertical && diagonal != t && side != t) {
                    at(primary, cr, cc) = side;
                    at(secondary, r1, c1) = side;
                    at(secondary, r2, c2) = side;
                } else {
                    at(primary, cr, cc) = t;
                }
            };
            corner(left, tex(tx - 1, ty - 1), down, r, q, r + 1, q, r, q + 1);
            corner(right, tex(tx + 1, ty - 1), down, r, q + 3, r + 1, q + 3, r, q + 2);
            corner(left, tex(tx - 1, ty + 1), up, r + 3, q, r + 2, q, r + 3, q + 1);
            corner(right, tex(tx + 1, ty + 1), up, r + 3, q + 3, r + 2, q + 3, r + 3, q + 2);
        }
    }
}

void writeTextureLayers(SubrecordBuffer& sub, const TextureMap& primary, const TextureMap& secondary,
                        std::span<const std::uint32_t, 256> landTextures)
{
    struct Point {
        std::uint16_t position;
        float opacity;
    };
    std::vector<Point> points;
    for (int q = 0; q < 4; ++q) {
        const int r0 = (q / 2) * 16;
        const int c0 = (q % 2) * 16;
        std::uint16_t layer = 0;
        for (std::size_t t = 0; t < landTextures.size(); ++t) {
            const std::uint32_t formId = landTextures[t];
            if (formId == 0)
                continue;
            points.clear();
            for (int r = 0; r <= 16; ++r) {
                for (int col = 0; col <= 16; ++col) {
                    std::uint16_t p = primary[static_cast<std::size_t>(r0 + r)][static_cast<std::size_t>(c0 + col)];
                    std::uint16_t s = secondary[static_cast<std::size_t>(r0 + r)][static_cast<std::size_t>(c0 + col)];
                    auto position = static_cast<std::uint16_t>(r * 17 + col);
                    if (p == t)
                        points.push_back({position, s > 0 ? 0.5f : 1.0f});
                    else if (s == t)
                        points.push_back({position, 0.5f});
                }
            }
            if (points.empty())
                continue;
            ByteWriter& a = sub.begin(makeTag("ATXT"));
            a.u32(formId);
            a.u8(static_cast<std::uint8_t>(q));
            a.u8(0);
            a.u16(layer);
            sub.finish();
            // Up to 289 points per layer and some 16,000 records: the points
            // are laid out in one block rather than byte by byte.
            std::vector<std::uint8_t>& v = sub.begin(makeTag("VTXT")).buffer();
            std::size_t at = v.size();
            v.resize(at + points.size() * 8);
            for (const Point& p : points) {
                const std::uint32_t opacity = std::bit_cast<std::uint32_t>(p.opacity);
                const std::uint8_t bytes[8] = {static_cast<std::uint8_t>(p.position),
                                               static_cast<std::uint8_t>(p.position >> 8),
                                               0, // filler, read by nobody
                                               0,
                                               static_cast<std::uint8_t>(opacity),
                                               static_cast<std::uint8_t>(opacity >> 8),
                                               static_cast<std::uint8_t>(opacity >> 16),
                                               static_cast<std::uint8_t>(opacity >> 24)};
                std::copy(std::begin(bytes), std::end(bytes), v.begin() + static_cast<std::ptrdiff_t>(at));
                at += 8;
            }
            sub.finish();
            ++layer;
        }
    }
}

// The node's data when it is present and holds at least `size` bytes.
std::span<const std::uint8_t> nodeData(const RecordTree& tree, std::int32_t node, std::size_t size)
{
    if (node < 0 || node >= tree.count())
        return {};
    std::span<const std::uint8_t> data = tree.data(node);
    if (data.size() < size)
        return {};
    return data;
}

bool present(const RecordTree& tree, std::int32_t node) { return node >= 0 && node < tree.count(); }

} // namespace

std::uint32_t adler32(std::span<const std::uint8_t> data)
{
    constexpr std::uint32_t kMod = 65521;
    // The longest run of bytes whose sums stay below 2^32 when a and b start
    // just below the modulus: reducing once per run gives the same values as
    // reducing after every byte, at a fraction of the divisions.
    constexpr std::size_t kRun = 5552;
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    std::size_t i = 0;
    while (i < data.size()) {
        const std::size_t end = std::min(data.size(), i + kRun);
        for (; i < end; ++i) {
            a += data[i];
            b += a;
        }
        a %= kMod;
        b %= kMod;
    }
    return (b << 16) | a;
}

std::vector<std::uint8_t> storedZlibRecordData(std::span<const std::uint8_t> raw)
{
    std::vector<std::uint8_t> out;
    out.reserve(raw.size() + 15);
    ByteWriter w(out);
    const auto length = static_cast<std::uint16_t>(raw.size());
    w.u32(static_cast<std::uint32_t>(raw.size()));
    w.u8(0x78); // deflate, 32K window
    w.u8(0x9C); // default level; header check bits
    w.u8(0x01); // last block, stored
    w.u16(length);
    w.u16(static_cast<std::uint16_t>(~length));
    w.bytes(raw);
    const std::uint32_t sum = adler32(raw);
    for (int shift = 24; shift >= 0; shift -= 8)
        w.u8(static_cast<std::uint8_t>(sum >> shift));
    return out;
}

std::uint16_t textureAt(const ExteriorGrid& grid, const RecordTree& tree, int cellX, int cellY, int tx, int ty)
{
    if (tx < -1 || tx > 16 || ty < -1 || ty > 16)
        return 0;
    int cx = cellX;
    int cy = cellY;
    if (tx < 0) {
        cx -= 1;
        tx += 16;
    } else if (tx > 15) {
        cx += 1;
        tx -= 16;
    }
    if (ty < 0) {
        cy -= 1;
        ty += 16;
    } else if (ty > 15) {
        cy += 1;
        ty -= 16;
    }
    const ExteriorCell* cell = grid.find(cx, cy);
    if (cell == nullptr)
        return 0;
    std::span<const std::uint8_t> data = nodeData(tree, cell->textures, kTextureBytes);
    if (data.empty())
        return 0;
    ByteCursor in(data);
    in.seek(static_cast<std::size_t>(ty * 16 + tx) * 2);
    return in.u16();
}

int writeLandWith(Conversion& c, std::span<const std::uint32_t, 256> landTextures, int cellX, int cellY,
                  int ox, int oy, std::int32_t base, std::int32_t& out1, std::int32_t& out2)
{
    if ((ox != 0 && ox != 32) || (oy != 0 && oy != 32) || !ExteriorGrid::contains(cellX, cellY))
        return -1;
    const ExteriorCell& cell = c.world.exterior.at(cellX, cellY);

    if (!present(c.tree, cell.normals)) {
        c.console.print("no normals!\n");
        return -1;
    }
    std::span<const std::uint8_t> normals = nodeData(c.tree, cell.normals, kGridBytes);
    if (normals.empty()) {
        c.console.print("damaged land normals in cell (%i,%i)!\n", cellX, cellY);
        return -1;
    }
    if (!present(c.tree, cell.heights)) {
        c.console.print("no heights!\n");
        return -1;
    }
    Heights heights;
    if (!readHeights(c.tree.data(cell.heights), heights)) {
        c.console.print("damaged land heights in cell (%i,%i)!\n", cellX, cellY);
        return -1;
    }
    // A short colour or texture array is left out rather than read past its end.
    std::span<const std::uint8_t> colours = nodeData(c.tree, cell.colours, kGridBytes);
    if (present(c.tree, cell.colours) && colours.empty())
        c.console.print("damaged land colours in cell (%i,%i)!\n", cellX, cellY);
    const bool hasTextures = !nodeData(c.tree, cell.textures, kTextureBytes).empty();
    if (present(c.tree, cell.textures) && !hasTextures)
        c.console.print("damaged land textures in cell (%i,%i)!\n", cellX, cellY);

    SubrecordBuffer sub;
    std::uint32_t flags = 0x18 | 0x01;
    if (!colours.empty())
        flags |= 0x02;
    if (hasTextures)
        flags |= 0x04;
    sub.u32(makeTag("DATA"), flags);

    copyWindow(sub.begin(makeTag("VNML")), normals, ox, oy);
    sub.finish();

    HeightResult chain = writeHeights(c, sub.begin(makeTag("VHGT")), heights, ox, oy, base);
    sub.finish();
    out1 = chain.out1;
    out2 = chain.out2;

    if (!colours.empty()) {
        copyWindow(sub.begin(makeTag("VCLR")), colours, ox, oy);
        sub.finish();
    }

    if (hasTextures) {
        TextureMap primary{};
        TextureMap secondary{};
        buildTextureMaps(textureGrid(c, cellX, cellY), ox, oy, primary, secondary);
        writeTextureLayers(sub, primary, secondary, landTextures);
    }

    if (sub.size() > kMaxStoredBlock) {
        // Cannot happen with at most two layers per point; refuse rather than
        // write a block whose length does not fit.
        c.console.print("land record too large in cell (%i,%i)!\n", cellX, cellY);
        return -1;
    }
    std::vector<std::uint8_t> data = storedZlibRecordData(sub.bytes());
    const std::uint32_t formId = c.out.nextFormId();
    c.out.writeRecordData(makeTag("LAND"), kCompressedFlag, formId, data);
    return 0;
}

int writeLand(Conversion& c, int cellX, int cellY, int ox, int oy, std::int32_t base, std::int32_t& out1,
              std::int32_t& out2)
{
    return writeLandWith(c, c.objects.landTextures, cellX, cellY, ox, oy, base, out1, out2);
}

} // namespace lw::modshift
