#pragma once
// Landscape: one TES3 LAND (65 x 65 vertices over an 8192-unit cell) becomes
// four TES4 LAND records (33 x 33 vertices each), one per quadrant of the cell.
// The quadrants share their edge rows and columns. Each TES4 LAND is written
// compressed: a zlib stream holding one stored deflate block.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace lw::modshift {

struct Conversion;
class ExteriorGrid;
class RecordTree;

// Writes the LAND of one quadrant of TES3 exterior cell (cellX, cellY) into
// the open group. (ox, oy) is the quadrant's vertex origin, 0 or 32 on each
// axis: south-west (0, 0), south-east (32, 0), north-west (0, 32), north-east
// (32, 32). Heights are chained through the four calls of one cell:
//   south-west: base 0, gives (a, b); south-east: base a;
//   north-west: base b, gives (e, .); north-east: base e.
// Returns 0, or -1 (after its message) when the cell has no usable normals or
// heights; nothing is written then.
int writeLand(Conversion& c, int cellX, int cellY, int ox, int oy, std::int32_t base,
              std::int32_t& out1, std::int32_t& out2);
// The same with the land texture table given (slot v: LTEX form identifier of
// TES3 texture value v, 0 = not converted).
int writeLandWith(Conversion& c, std::span<const std::uint32_t, 256> landTextures, int cellX, int cellY,
                  int ox, int oy, std::int32_t base, std::int32_t& out1, std::int32_t& out2);

// The TES3 texture value of texture cell (tx, ty) of cell (cellX, cellY);
// tx and ty may step one texture cell into the neighbouring cells (-1 and 16).
// 0 for anything it cannot answer: no cell, no VTEX, a position further out.
std::uint16_t textureAt(const ExteriorGrid& grid, const RecordTree& tree, int cellX, int cellY,
                        int tx, int ty);

// Adler-32 of `data` as zlib defines it.
std::uint32_t adler32(std::span<const std::uint8_t> data);

// The compressed record data for `raw` (at most 65535 bytes): the size of
// `raw`, the zlib header, one stored block holding `raw`, its Adler-32.
std::vector<std::uint8_t> storedZlibRecordData(std::span<const std::uint8_t> raw);

} // namespace lw::modshift
