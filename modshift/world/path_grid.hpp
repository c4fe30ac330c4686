#pragma once
// Path grids: a TES3 PGRD (points in cell-local coordinates with directed
// connections) becomes TES4 PGRD records in world coordinates. An exterior grid
// is cut into the four quadrants of its cell; connections that leave a
// quadrant become outside connections. Points without connections are dropped.

#include <cstdint>

namespace lw::modshift {

struct Conversion;

// Writes at most one PGRD into the open group: for interior `interior` (its
// index in the interior table; cell and origin 0), or, with interior -1, for
// the quadrant (ox, oy) (0 or 32 on each axis, as for the landscape) of TES3
// exterior cell (cellX, cellY). Returns 0 (also when nothing is written), or
// -1 after a capacity error or a damaged grid.
int writePathGrid(Conversion& c, int interior, int cellX, int cellY, int ox, int oy);

} // namespace lw::modshift
