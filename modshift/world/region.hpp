#pragma once
// Regions: parsed before the cells (so that each exterior cell can name its
// region), written after the object converters as REGN records whose area is
// an outline polygon traced clockwise around the region's TES4 cells.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace lw::modshift {

struct Conversion;

struct CellPoint {
    int x = 0;
    int y = 0;
    bool operator==(const CellPoint&) const = default;
};

// Traces the outline of the TES4 cells (-128..127 on both axes) for which
// `inside` holds, clockwise from the lowest cell of the westernmost column,
// without the closing repeat of the start point. Empty when no cell is
// inside. Prints the points as it has always done ("%i: (%i,%i)\n"). Points
// beyond `capacity` are dropped.
std::vector<CellPoint> traceOutline(Conversion& c, const std::function<bool(int, int)>& inside,
                                    std::size_t capacity = 100);

// Writes each written region's worldspace form identifier into its WNAM.
void fillRegionWorldspace(Conversion& c, std::uint32_t worldspaceFormId);

} // namespace lw::modshift
