#pragma once
// Helpers of the cell parse that other world code and tests reach.

#include <cstdint>

namespace lw::modshift {

struct Conversion;

// Rewrites a VTEX node's 256 texture indices in place, from the stored order
// (16 blocks of 4 x 4, blocks and their cells row by row) into plain row order:
// index ty * 16 + tx, row 0 at the south edge, column 0 at the west edge.
void reorderTextureIndices(Conversion& c, std::int32_t vtexNode);

} // namespace lw::modshift
