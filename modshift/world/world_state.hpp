#pragma once
// Run state of the world converters: the exterior cell grid, the interior cell
// table, the references that stand outside their own exterior cell, the
// per-pass reference lists of the cell writers and the teleport door table.
// Regions keep theirs in RegionState.
//
// Everything here holds node indices into the record tree or views into the
// loaded plugin; nothing is copied. The cell parse fills the grid, the
// interiors and the out-of-cell list once; later steps only read them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "modshift/world/region_state.hpp"

namespace lw::modshift {

// One TES3 exterior cell. Node fields are record-tree indices, -1 for none.
struct ExteriorCell {
    bool hasWater = false;
    std::int32_t region = -1;         // index into the region table
    std::int32_t cell = -1;           // the CELL record (or the LAND record of a cell
                                      // the plugin holds only the landscape of); -1: none
    std::int32_t firstReference = -1; // the cell's first FRMR
    std::int32_t normals = -1;        // VNML of the cell's LAND
    std::int32_t heights = -1;        // VHGT
    std::int32_t colours = -1;        // VCLR
    std::int32_t textures = -1;       // VTEX, reordered into row order (ty * 16 + tx)
    std::int32_t pathGrid = -1;       // PGRD record
    std::int32_t pathGridPoints = 0;  // point count from that PGRD's DATA
};

// TES3 cells -64..63 on both axes, slot (x + 64, y + 64).
class ExteriorGrid {
public:
    static constexpr int kMin = -64;
    static constexpr int kMax = 63;
    static constexpr int kSide = 128;

    static bool contains(int x, int y) { return x >= kMin && x <= kMax && y >= kMin && y <= kMax; }
    // The slot of cell (x, y); the caller checks contains() first.
    ExteriorCell& at(int x, int y) { return slots_[index(x, y)]; }
    const ExteriorCell& at(int x, int y) const { return slots_[index(x, y)]; }
    // Null outside the grid.
    const ExteriorCell* find(int x, int y) const { return contains(x, y) ? &slots_[index(x, y)] : nullptr; }
    void clear() { slots_.fill(ExteriorCell{}); }

private:
    static std::size_t index(int x, int y)
    {
        return static_cast<std::size_t>(x - kMin) * kSide + static_cast<std::size_t>(y - kMin);
    }
    std::array<ExteriorCell, kSide * kSide> slots_{};
};

struct InteriorCell {
    bool hasWater = false;
    std::uint32_t waterHeight = 0; // WHGT, raw bits of the float; 0 when absent
    bool hasName = false;          // a NAME subrecord was seen (its text may be empty)
    std::string_view name;         // the NAME text as in the plugin
    std::uint32_t ambient = 0;     // AMBI fields, 0 when absent
    std::uint32_t sunlight = 0;
    std::uint32_t fog = 0;
    std::int32_t cell = -1;
    std::int32_t firstReference = -1;
    std::int32_t pathGrid = -1;
    std::int32_t pathGridPoints = 0;
};

// One reference collected for the TES4 cell being written.
struct ConvertedReference {
    bool actor = false;      // an NPC: written as ACHR
    bool persistent = false; // NPCs and doors with a destination
    std::uint32_t baseFormId = 0;
    std::uint32_t scale = 0;                // XSCL, raw float bits; 0 when absent
    std::span<const std::uint8_t> placement; // the 24 DATA bytes in the plugin
    std::span<const std::uint8_t> destination; // DODT (24 bytes); empty when absent
    std::string_view cellName;
    std::string_view destinationCellName;
};

struct TeleportDoor {
    std::size_t xtelPosition = 0; // output offset of the 28 XTEL data bytes
    std::uint32_t formId = 0;
    std::string_view cellName;
    std::string_view destinationCellName;
    std::span<const std::uint8_t> arrival; // DODT, 24 bytes
    bool connected = false;
};

enum Quadrant : int { kSouthWest = 0, kSouthEast = 1, kNorthWest = 2, kNorthEast = 3 };

struct WorldState {
    static constexpr std::size_t kInteriorCapacity = 2000;
    static constexpr std::size_t kOutOfCellCapacity = 10000;
    static constexpr std::size_t kReferenceListCapacity = 10000;
    static constexpr std::size_t kTeleportDoorCapacity = 10000;

    RegionState regions;

    ExteriorGrid exterior;
    std::vector<InteriorCell> interiors; // in file order, at most kInteriorCapacity
    int lands = 0;                        // exterior CELL records stored

    // FRMR nodes of exterior references standing outside their own cell, in
    // the order found, and an index over it: per TES3 cell (packed by
    // cellKey) the list positions of the references that stand in it, and
    // the positions of references without DATA (those reach every cell).
    std::vector<std::int32_t> outOfCell;
    std::unordered_map<std::int64_t, std::vector<std::uint32_t>> outOfCellByCell;
    std::vector<std::uint32_t> outOfCellWithoutData;
    static std::int64_t cellKey(std::int64_t x, std::int64_t y) { return x * (std::int64_t{1} << 32) + y; }

    // The reference lists of the pass being written, by quadrant.
    std::array<std::vector<ConvertedReference>, 4> references;

    std::vector<TeleportDoor> teleportDoors;
};

} // namespace lw::modshift
