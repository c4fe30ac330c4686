#pragma once
// The cell writers beyond the save steps.

namespace lw::modshift {

struct Conversion;

// Writes the four TES4 cells of TES3 exterior cell (x, y) with their
// references, land and path grids into the open sub-block group. 0, also when
// the plugin has no such cell; -1 when the cell has no heights (nothing written).
int saveExteriorCell(Conversion& c, int x, int y);

} // namespace lw::modshift
