#pragma once
// The cell writers beyond the save steps.

namespace lw::modshift {

struct Conversion;

// Writes the four TES4 cells of TES3 exterior cell (x, y) with their
// references, land and path grids into the open sub-block group; a cell
// without heights gets no LAND. Returns 0.
int saveExteriorCell(Conversion& c, int x, int y);

} // namespace lw::modshift
