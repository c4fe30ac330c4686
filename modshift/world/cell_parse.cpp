// The cell parse: one pass over the record tree in file order that indexes
// the world before anything of it is written. CELL records fill the exterior
// grid or the interior table; a LAND gives its land nodes to the exterior
// cell that its own coordinates name; a PGRD belongs to the most recent CELL (to the
// interior itself, or to the exterior slot its own DATA names). Exterior
// references standing outside their cell go on the out-of-cell list.

#include <array>

#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/tes3/identifiers.hpp"
#include "modshift/world/cell_parse.hpp"
#include "modshift/world/references.hpp"

namespace lw::modshift {

namespace {

constexpr Tag kCELL = makeTag("CELL");
constexpr Tag kPGRD = makeTag("PGRD");
constexpr Tag kDATA = makeTag("DATA");
constexpr Tag kNAME = makeTag("NAME");
constexpr Tag kWHGT = makeTag("WHGT");
constexpr Tag kAMBI = makeTag("AMBI");
constexpr Tag kRGNN = makeTag("RGNN");
constexpr Tag kFRMR = makeTag("FRMR");
constexpr Tag kVNML = makeTag("VNML");
constexpr Tag kVHGT = makeTag("VHGT");
constexpr Tag kVCLR = makeTag("VCLR");
constexpr Tag kVTEX = makeTag("VTEX");
constexpr Tag kLAND = makeTag("LAND");
constexpr Tag kINTV = makeTag("INTV");

constexpr std::uint32_t kInteriorFlag = 0x01;
constexpr std::uint32_t kWaterFlag = 0x02;
// A TES4 PGRP subrecord holds 16 bytes per point under its 16-bit size.
constexpr int kMaxPathGridPoints = 4095;

// Land subrecords shorter than what the landscape converter reads count as
// absent, so nothing later reads past them.
constexpr std::size_t kVertexBytes = 65 * 65 * 3;
constexpr std::size_t kHeightBytes = 4 + 65 * 65;
constexpr std::size_t kTextureBytes = 16 * 16 * 2;

void waitForUser(Conversion& c)
{
    c.console.print("Press enter...\n");
    c.console.waitKey();
}

enum class CellKind { Unknown, Interior, Exterior, OutsideGrid };

// What the most recent CELL record became, for the PGRD records after it.
enum class LastCell { None, Interior, Exterior, NotStored };

// The landscape of one LAND record goes to the exterior cell its INTV names;
// a LAND without INTV belongs to the exterior CELL it directly follows. A
// LAND whose cell has no CELL record in the plugin (a plugin that edits only
// the landscape) makes that cell, without references.
void parseLand(Conversion& c, std::int32_t landNode, std::int32_t lastExteriorCell, int lastX, int lastY)
{
    bool placed = false;
    int x = 0;
    int y = 0;
    for (std::int32_t i : c.tree.children(landNode)) {
        if (c.tree.node(i).tag != kINTV)
            continue;
        ByteCursor cur(c.tree.data(i));
        x = cur.i32();
        y = cur.i32();
        placed = cur.ok();
        break;
    }
    if (!placed) {
        if (lastExteriorCell == -1 || c.tree.node(landNode).previous != lastExteriorCell)
            return;
        x = lastX;
        y = lastY;
    }
    if (!ExteriorGrid::contains(x, y))
        return;
    ExteriorCell& slot = c.world.exterior.at(x, y);
    if (slot.cell == -1) {
        slot.cell = landNode;
        ++c.world.lands;
    }
    std::int32_t textures = -1;
    for (std::int32_t i : c.tree.children(landNode)) {
        const Node& n = c.tree.node(i);
        if (n.tag == kVNML && n.size >= kVertexBytes)
            slot.normals = i;
        else if (n.tag == kVHGT && n.size >= kHeightBytes)
            slot.heights = i;
        else if (n.tag == kVCLR && n.size >= kVertexBytes)
            slot.colours = i;
        else if (n.tag == kVTEX && n.size >= kTextureBytes)
            textures = i;
    }
    // Only this record's own indices are reordered: a cell whose second LAND
    // has no VTEX keeps the first one's, already in row order.
    if (textures != -1) {
        slot.textures = textures;
        reorderTextureIndices(c, textures);
    }
}

// Returns false when the parse must stop.
bool parseCell(Conversion& c, std::int32_t cellNode, LastCell& last, int& gridX, int& gridY)
{
    WorldState& w = c.world;
    c.console.print(".");

    InteriorCell interior; // the slot at index = interior count
    std::string_view name;
    bool hasName = false;
    std::uint32_t waterHeight = 0;
    std::array<std::uint32_t, 3> colours{};
    int region = -1;
    CellKind kind = CellKind::Unknown;
    bool dataSeen = false;
    bool referenceSeen = false;
    bool landCounted = false;

    for (std::int32_t i : c.tree.children(cellNode)) {
        const Node& n = c.tree.node(i);
        if (n.tag == kDATA && !dataSeen) {
            dataSeen = true;
            ByteCursor cur(c.tree.data(i));
            const std::uint32_t flags = cur.u32();
            gridX = cur.i32();
            gridY = cur.i32();
            if (!cur.ok()) {
                c.console.print("cell data too short, cell skipped\n");
                kind = CellKind::OutsideGrid;
            } else if (flags & kInteriorFlag) {
                kind = CellKind::Interior;
                interior.cell = cellNode;
                interior.hasWater = (flags & kWaterFlag) != 0;
            } else if (!ExteriorGrid::contains(gridX, gridY)) {
                c.console.print("exterior cell (%i,%i) outside the grid, skipped\n", gridX, gridY);
                kind = CellKind::OutsideGrid;
            } else {
                kind = CellKind::Exterior;
                ExteriorCell& slot = w.exterior.at(gridX, gridY);
                // A LAND before its CELL has counted the cell already.
                landCounted = slot.cell != -1 && c.tree.node(slot.cell).tag == kLAND;
                slot.cell = cellNode;
                slot.hasWater = (flags & kWaterFlag) != 0;
            }
        } else if (!referenceSeen && n.tag == kNAME) {
            name = c.tree.text(i);
            hasName = true;
        } else if (!referenceSeen && n.tag == kWHGT) {
            ByteCursor cur(c.tree.data(i));
            waterHeight = cur.u32();
        } else if (!referenceSeen && n.tag == kAMBI) {
            ByteCursor cur(c.tree.data(i));
            for (auto& colour : colours)
                colour = cur.u32();
        } else if (!referenceSeen && n.tag == kRGNN) {
            region = w.regions.indexOf(convertIdentifier(c.tree.text(i)));
        } else if (n.tag == kFRMR && !referenceSeen) {
            referenceSeen = true;
            if (kind == CellKind::Exterior) {
                w.exterior.at(gridX, gridY).firstReference = i;
                for (std::int32_t r = i; r != -1;)
                    r = checkReferenceCell(c, r, gridX, gridY);
            } else if (kind != CellKind::OutsideGrid) {
                interior.firstReference = i;
            }
            break;
        }
    }

    if (kind == CellKind::Exterior) {
        ExteriorCell& slot = w.exterior.at(gridX, gridY);
        slot.region = region;
        if (!landCounted)
            ++w.lands;
        last = LastCell::Exterior;
        return true;
    }
    if (kind == CellKind::OutsideGrid) {
        last = LastCell::NotStored;
        return true;
    }
    interior.hasName = hasName;
    interior.name = name;
    interior.waterHeight = waterHeight;
    interior.ambient = colours[0];
    interior.sunlight = colours[1];
    interior.fog = colours[2];
    if (interior.cell == -1) {
        last = LastCell::NotStored;
        return true;
    }
    if (!hasName) {
        // Left out; the interiors after it are still converted.
        c.console.print("Interior must have an ID name!\n");
        waitForUser(c);
        last = LastCell::NotStored;
        return true;
    }
    w.interiors.push_back(interior);
    last = LastCell::Interior;
    return true;
}

bool parsePathGrid(Conversion& c, std::int32_t pgrdNode, LastCell last)
{
    WorldState& w = c.world;
    c.console.print(".");
    bool dataSeen = false;
    int gridX = 0;
    int gridY = 0;
    int points = 0;
    for (std::int32_t i : c.tree.children(pgrdNode)) {
        if (c.tree.node(i).tag != kDATA)
            continue;
        ByteCursor cur(c.tree.data(i));
        gridX = cur.i32();
        gridY = cur.i32();
        cur.u16(); // granularity
        points = cur.i16();
        dataSeen = cur.ok();
        if (points > kMaxPathGridPoints) {
            // Left out; its cell and every other cell are still converted.
            c.console.print("Too many PGRP nodes! (%i>%i)\n", points, kMaxPathGridPoints);
            c.log.capacity("Too many PGRP nodes! (" + std::to_string(points) + ">" + std::to_string(kMaxPathGridPoints) + ")");
            waitForUser(c);
            return true;
        }
    }
    // A grid without its DATA, or with no stored cell to belong to, is left out.
    if (!dataSeen)
        return true;
    if (points < 0)
        points = 0;
    if (last == LastCell::Exterior) {
        if (ExteriorGrid::contains(gridX, gridY)) {
            ExteriorCell& slot = w.exterior.at(gridX, gridY);
            slot.pathGrid = pgrdNode;
            slot.pathGridPoints = points;
        }
    } else if (last == LastCell::Interior && !w.interiors.empty()) {
        InteriorCell& slot = w.interiors.back();
        slot.pathGrid = pgrdNode;
        slot.pathGridPoints = points;
    }
    return true;
}

} // namespace

void reorderTextureIndices(Conversion& c, std::int32_t vtexNode)
{
    std::span<std::uint8_t> data = c.tree.data(vtexNode);
    ByteCursor cur(data);
    std::array<std::uint16_t, 256> old{};
    for (auto& v : old)
        v = cur.u16();
    if (!cur.ok())
        return;
    for (std::size_t ty = 0; ty < 16; ++ty) {
        for (std::size_t tx = 0; tx < 16; ++tx) {
            const std::uint16_t v = old[((ty / 4) * 4 + tx / 4) * 16 + (ty % 4) * 4 + tx % 4];
            const std::size_t at = (ty * 16 + tx) * 2;
            data[at] = static_cast<std::uint8_t>(v & 0xFF);
            data[at + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
}

int parseCells(Conversion& c)
{
    WorldState& w = c.world;
    c.console.print("\nParsing cells\n");
    w.lands = 0;
    w.exterior.clear();
    w.interiors.clear();
    w.interiors.reserve(WorldState::kInteriorCapacity);
    w.outOfCell.clear();
    w.outOfCellByCell.clear();
    w.outOfCellWithoutData.clear();
    // The world is written once per run; doors of an earlier run never pair.
    w.teleportDoors.clear();

    LastCell last = LastCell::None;
    std::int32_t lastCell = -1;
    int lastX = 0;
    int lastY = 0;
    const std::int32_t count = c.tree.count();
    for (std::int32_t i = 0; i < count; ++i) {
        const Tag tag = c.tree.node(i).tag;
        if (tag == kCELL) {
            lastCell = i;
            if (!parseCell(c, i, last, lastX, lastY))
                return -1;
        } else if (tag == kLAND) {
            parseLand(c, i, last == LastCell::Exterior ? lastCell : -1, lastX, lastY);
            continue;
        } else if (tag == kPGRD) {
            if (!parsePathGrid(c, i, last))
                return -1;
        } else {
            continue;
        }
        if (w.interiors.size() >= WorldState::kInteriorCapacity) {
            c.console.print("Too many interiors!\n");
            c.log.capacity("Too many interiors!");
            return -1;
        }
    }
    c.console.print("\n");
    c.console.print("found %i lands\n", w.lands);
    c.console.print("found %i interiors\n", static_cast<int>(w.interiors.size()));
    return 0;
}

} // namespace lw::modshift
