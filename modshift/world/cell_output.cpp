// The two world groups of the output: the CELL group with every interior, and
// the WRLD group with one worldspace holding the whole exterior. A TES3
// exterior cell (8192 units square) becomes four TES4 cells (4096 units), its
// quadrants; every persistent exterior reference goes to the one persistent
// cell of the worldspace.

#include <algorithm>
#include <array>
#include <bit>

#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/tes3/identifiers.hpp"
#include "modshift/world/cell_output.hpp"
#include "modshift/world/landscape.hpp"
#include "modshift/world/path_grid.hpp"
#include "modshift/world/references.hpp"
#include "modshift/world/region.hpp"

namespace lw::modshift {

namespace {

constexpr Tag kCELL = makeTag("CELL");
constexpr Tag kWRLD = makeTag("WRLD");
constexpr Tag kFRMR = makeTag("FRMR");

enum GroupType : std::uint32_t {
    kTop = 0,
    kWorldChildren = 1,
    kInteriorBlock = 2,
    kInteriorSubBlock = 3,
    kExteriorBlock = 4,
    kExteriorSubBlock = 5,
    kCellChildren = 6,
    kPersistentChildren = 8,
    kTemporaryChildren = 9,
};

constexpr std::uint32_t kPersistentFlag = 0x400;
constexpr std::uint32_t kWaterType = 0x18;

std::uint32_t gridLabel(int x, int y)
{
    return static_cast<std::uint32_t>(x) << 16 | (static_cast<std::uint32_t>(y) & 0xFFFF);
}

// Runs the converter over a chain of references, each call naming the next.
void convertChain(Conversion& c, std::int32_t first, int x, int y, bool exterior, bool persistent)
{
    for (std::int32_t r = first; r != -1;)
        r = convertReference(c, r, x, y, exterior, persistent);
}

void writeList(Conversion& c, int list, bool announce)
{
    for (const ConvertedReference& ref : c.world.references[static_cast<std::size_t>(list)]) {
        if (announce)
            c.console.print(".");
        writeReference(c, ref);
    }
}

std::uint32_t writeInteriorCell(Conversion& c, const InteriorCell& cell)
{
    SubrecordBuffer s;
    s.text(makeTag("EDID"), convertIdentifier(cell.name));
    s.text(makeTag("FULL"), cell.name);
    s.u8(makeTag("DATA"), static_cast<std::uint8_t>(0x01 | (cell.hasWater ? 0x02 : 0x00)));
    ByteWriter& xcll = s.begin(makeTag("XCLL"));
    xcll.u32(cell.ambient);
    xcll.u32(cell.sunlight);
    xcll.u32(cell.fog);
    xcll.f32(0.0f); // fog near
    xcll.f32(0.0f); // fog far
    xcll.i32(0);    // directional rotation XY
    xcll.i32(270);  // directional rotation Z
    xcll.f32(1.0f); // directional fade
    xcll.f32(0.0f); // fog clip distance
    s.finish();
    s.u32(makeTag("XCLW"), cell.waterHeight);
    const std::uint32_t formId = c.out.nextFormId();
    c.out.writeRecord(kCELL, 0, formId, s);
    return formId;
}

std::uint32_t writeExteriorCell(Conversion& c, int x, int y, bool water, std::uint32_t region)
{
    SubrecordBuffer s;
    s.u8(makeTag("DATA"), water ? 0x02 : 0x00);
    ByteWriter& xclc = s.begin(makeTag("XCLC"));
    xclc.i32(x);
    xclc.i32(y);
    s.finish();
    if (region > 0)
        s.u32(makeTag("XCLR"), region);
    const std::uint32_t formId = c.out.nextFormId();
    c.out.writeRecord(kCELL, 0, formId, s);
    return formId;
}

void writeWorldRecord(Conversion& c, std::uint32_t formId)
{
    const std::string& name = c.paths.pluginName;
    SubrecordBuffer s;
    s.text(makeTag("EDID"), name);
    s.text(makeTag("FULL"), name);
    s.u32(makeTag("NAM2"), kWaterType);
    const std::array<std::uint8_t, 16> map{};
    s.raw(makeTag("MNAM"), map);
    s.u8(makeTag("DATA"), 0);
    ByteWriter& low = s.begin(makeTag("NAM0"));
    low.f32(-8192.0f);
    low.f32(-8192.0f);
    s.finish();
    ByteWriter& high = s.begin(makeTag("NAM9"));
    high.f32(12288.0f);
    high.f32(12288.0f);
    s.finish();
    c.out.writeRecord(kWRLD, 0, formId, s);
}

std::uint32_t writePersistentWorldCell(Conversion& c)
{
    SubrecordBuffer s;
    s.u8(makeTag("DATA"), 0x02);
    ByteWriter& xclc = s.begin(makeTag("XCLC"));
    xclc.i32(0);
    xclc.i32(0);
    s.finish();
    const std::uint32_t formId = c.out.nextFormId();
    c.out.writeRecord(kCELL, kPersistentFlag, formId, s);
    return formId;
}

// The temporary pass over the out-of-cell list for cell (x, y). Only entries
// that stand in this cell can be stored here, and only entries without DATA
// can say anything (their message): those are the ones visited, in list
// order. Once a reference list is full every visited entry may report it, so
// the rest of the list is then walked whole, as the plain walk would.
void convertOutOfCell(Conversion& c, int x, int y)
{
    const WorldState& w = c.world;
    static const std::vector<std::uint32_t> kNone;
    auto bucket = w.outOfCellByCell.find(WorldState::cellKey(x, y));
    const std::vector<std::uint32_t>& here = bucket == w.outOfCellByCell.end() ? kNone : bucket->second;
    const std::vector<std::uint32_t>& noData = w.outOfCellWithoutData;

    auto listFull = [&] {
        return std::any_of(w.references.begin(), w.references.end(), [](const auto& list) {
            return list.size() >= WorldState::kReferenceListCapacity;
        });
    };
    std::size_t a = 0;
    std::size_t b = 0;
    std::size_t nextPosition = 0; // first list position not visited yet
    while (a < here.size() || b < noData.size()) {
        if (listFull())
            break;
        std::uint32_t position = 0;
        if (b == noData.size() || (a < here.size() && here[a] < noData[b]))
            position = here[a++];
        else
            position = noData[b++];
        convertReference(c, w.outOfCell[position], x, y, true, false);
        nextPosition = position + 1;
    }
    if (listFull()) {
        for (std::size_t i = nextPosition; i < w.outOfCell.size(); ++i)
            convertReference(c, w.outOfCell[i], x, y, true, false);
    }
}

} // namespace

int saveExteriorCell(Conversion& c, int x, int y)
{
    WorldState& w = c.world;
    const ExteriorCell* slot = w.exterior.find(x, y);
    if (slot == nullptr || slot->cell == -1)
        return 0;
    c.console.print("\nSaving Cell\n");
    c.console.print("cell @ (%i,%i)", x, y);
    c.console.print(" => (%i,%i)\n", 2 * x, 2 * y);
    // Without heights the cell keeps its references and path grid and gets
    // no LAND: the game shows its default ground there.
    const bool hasLand = slot->heights != -1;
    if (!hasLand)
        c.console.print("no heights!\n");

    clearReferenceLists(c);
    for (std::int32_t i = c.tree.node(slot->cell).firstChild; i != -1;) {
        if (c.tree.node(i).tag != kFRMR) {
            i = c.tree.node(i).next;
            continue;
        }
        i = convertReference(c, i, x, y, true, false);
    }
    convertOutOfCell(c, x, y);

    std::uint32_t region = 0;
    if (slot->region >= 0 && static_cast<std::size_t>(slot->region) < w.regions.regions.size())
        region = w.regions.regions[static_cast<std::size_t>(slot->region)].formId;

    struct QuadrantPlace {
        int list;
        int dx, dy; // TES4 cell offset
        int ox, oy; // vertex origin in the TES3 land
    };
    static constexpr std::array<QuadrantPlace, 4> kQuadrants = {{
        {kSouthWest, 0, 0, 0, 0},
        {kSouthEast, 1, 0, 32, 0},
        {kNorthWest, 0, 1, 0, 32},
        {kNorthEast, 1, 1, 32, 32},
    }};
    // Height bases chained from one quadrant's land to the next.
    std::int32_t southWestOut1 = 0;
    std::int32_t southWestOut2 = 0;
    std::int32_t northWestOut1 = 0;
    std::int32_t unused = 0;
    for (const QuadrantPlace& q : kQuadrants) {
        const std::uint32_t formId = writeExteriorCell(c, 2 * x + q.dx, 2 * y + q.dy, slot->hasWater, region);
        c.out.beginGroup(formId, kCellChildren);
        c.out.beginGroup(formId, kTemporaryChildren);
        writeList(c, q.list, true);
        if (hasLand) {
            switch (q.list) {
            case kSouthWest:
                writeLand(c, x, y, q.ox, q.oy, 0, southWestOut1, southWestOut2);
                break;
            case kSouthEast:
                writeLand(c, x, y, q.ox, q.oy, southWestOut1, unused, unused);
                break;
            case kNorthWest:
                writeLand(c, x, y, q.ox, q.oy, southWestOut2, northWestOut1, unused);
                break;
            default:
                writeLand(c, x, y, q.ox, q.oy, northWestOut1, unused, unused);
                break;
            }
        }
        writePathGrid(c, -1, x, y, q.ox, q.oy);
        c.out.endGroup();
        c.out.endGroup();
    }
    c.console.print("\n");
    return 0;
}

int saveInteriorCells(Conversion& c)
{
    WorldState& w = c.world;
    c.out.beginGroup(kCELL, kTop);
    c.console.print("\nSaving interior cells\n");
    for (std::size_t i = 0; i < w.interiors.size(); ++i) {
        const InteriorCell& cell = w.interiors[i];
        const int index = static_cast<int>(i);
        c.console.print(".");
        c.out.beginGroup(static_cast<std::uint32_t>(i), kInteriorBlock);
        c.out.beginGroup(7, kInteriorSubBlock);
        const std::uint32_t formId = writeInteriorCell(c, cell);
        c.out.beginGroup(formId, kCellChildren);
        c.out.beginGroup(formId, kPersistentChildren);
        clearReferenceLists(c);
        convertChain(c, cell.firstReference, index, index, false, true);
        writeList(c, kSouthWest, false);
        c.out.endGroup();
        c.out.beginGroup(formId, kTemporaryChildren);
        clearReferenceLists(c);
        convertChain(c, cell.firstReference, index, index, false, false);
        writeList(c, kSouthWest, false);
        writePathGrid(c, index, 0, 0, 0, 0);
        c.out.endGroup();
        c.out.endGroup();
        c.out.endGroup();
        c.out.endGroup();
    }
    c.console.print("\n");
    c.out.endGroup();
    return 0;
}

int saveWorldspace(Conversion& c)
{
    WorldState& w = c.world;
    c.out.beginGroup(kWRLD, kTop);
    c.console.print("\nSaving world\n");
    const std::uint32_t worldId = c.out.nextFormId();
    fillRegionWorldspace(c, worldId);
    writeWorldRecord(c, worldId);

    c.out.beginGroup(worldId, kWorldChildren);
    const std::uint32_t persistentCell = writePersistentWorldCell(c);
    c.out.beginGroup(persistentCell, kCellChildren);
    c.out.beginGroup(persistentCell, kPersistentChildren);
    c.console.print("\nParsing persistent ref in exterior cells\n");
    clearReferenceLists(c);
    for (int x = ExteriorGrid::kMin; x <= ExteriorGrid::kMax; ++x) {
        for (int y = ExteriorGrid::kMin; y <= ExteriorGrid::kMax; ++y) {
            const ExteriorCell& slot = w.exterior.at(x, y);
            if (slot.cell == -1 || slot.firstReference == -1)
                continue;
            c.console.print(".");
            convertChain(c, slot.firstReference, x, y, true, true);
        }
    }
    c.console.print("\n");
    writeList(c, kSouthWest, false);
    c.out.endGroup();
    c.out.endGroup();

    for (int bx = -2; bx <= 1; ++bx) {
        for (int by = -2; by <= 1; ++by) {
            c.out.beginGroup(gridLabel(bx, by), kExteriorBlock);
            for (int sx = 4 * bx; sx <= 4 * bx + 3; ++sx) {
                for (int sy = 4 * by; sy <= 4 * by + 3; ++sy) {
                    c.out.beginGroup(gridLabel(sx, sy), kExteriorSubBlock);
                    for (int x = 4 * sx + 3; x >= 4 * sx; --x) {
                        for (int y = 4 * sy + 3; y >= 4 * sy; --y)
                            saveExteriorCell(c, x, y);
                    }
                    c.out.endGroup();
                }
            }
            c.out.endGroup();
        }
    }
    c.out.endGroup();
    c.out.endGroup();
    return 0;
}

} // namespace lw::modshift
