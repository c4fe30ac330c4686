#include "modshift/world/references.hpp"

#include <array>
#include <bit>
#include <cmath>

#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/tes3/identifiers.hpp"

namespace lw::modshift {

namespace {

constexpr Tag kFRMR = makeTag("FRMR");
constexpr Tag kNAME = makeTag("NAME");
constexpr Tag kDATA = makeTag("DATA");
constexpr Tag kXSCL = makeTag("XSCL");
constexpr Tag kDNAM = makeTag("DNAM");
constexpr Tag kDODT = makeTag("DODT");
constexpr std::size_t kPlacementSize = 24;

void waitForUser(Conversion& c)
{
    c.console.print("Press enter...\n");
    c.console.waitKey();
}

// Where a reference is searched, in order; doors and NPCs change its flags.
enum class Kind { Plain, Door, Npc };
struct Lookup {
    std::uint32_t formId = 0;
    Kind kind = Kind::Plain;
};

Lookup resolve(const Tables& t, std::string_view converted)
{
    const std::array<std::pair<const RecordTable*, Kind>, 13> order = {{
        {&t.statics, Kind::Plain},
        {&t.books, Kind::Plain},
        {&t.creatures, Kind::Plain},
        {&t.leveledCreatures, Kind::Plain},
        {&t.activators, Kind::Plain},
        {&t.weapons, Kind::Plain},
        {&t.armours, Kind::Plain},
        {&t.misc, Kind::Plain},
        {&t.containers, Kind::Plain},
        {&t.flora, Kind::Plain},
        {&t.doors, Kind::Door},
        {&t.npcs, Kind::Npc},
        {&t.lights, Kind::Plain},
    }};
    for (const auto& [table, kind] : order) {
        if (auto i = table->findIndex(converted))
            return {(*table)[*i].formId, kind};
    }
    return {};
}

// Which quadrant list of TES3 cell (x, y) a rounded position falls in; -1
// outside the cell (also for NaN, which fails every comparison).
int quadrantOf(double px, double py, int x, int y)
{
    const double x0 = static_cast<double>(x) * kTes3CellSize;
    const double y0 = static_cast<double>(y) * kTes3CellSize;
    const bool west = x0 <= px && px < x0 + kTes4CellSize;
    const bool east = x0 + kTes4CellSize <= px && px < x0 + kTes3CellSize;
    const bool south = y0 <= py && py < y0 + kTes4CellSize;
    const bool north = y0 + kTes4CellSize <= py && py < y0 + kTes3CellSize;
    if (south && west)
        return kSouthWest;
    if (south && east)
        return kSouthEast;
    if (north && west)
        return kNorthWest;
    if (north && east)
        return kNorthEast;
    return -1;
}

bool inCell(double px, double py, int x, int y)
{
    const double x0 = static_cast<double>(x) * kTes3CellSize;
    const double y0 = static_cast<double>(y) * kTes3CellSize;
    return x0 <= px && px < x0 + kTes3CellSize && y0 <= py && py < y0 + kTes3CellSize;
}

// Enters a new out-of-cell reference into the index by the cell it stands in.
void indexOutOfCell(WorldState& w, const ReferenceFields& f, std::uint32_t position)
{
    if (f.placement.empty()) {
        w.outOfCellWithoutData.push_back(position);
        return;
    }
    double px = 0;
    double py = 0;
    roundedPosition(f, px, py);
    const double cx = std::floor(px / kTes3CellSize);
    const double cy = std::floor(py / kTes3CellSize);
    // Only cells of the grid are ever written; a reference standing anywhere
    // else is never taken by any cell.
    if (!(cx >= ExteriorGrid::kMin && cx <= ExteriorGrid::kMax && cy >= ExteriorGrid::kMin &&
          cy <= ExteriorGrid::kMax))
        return;
    w.outOfCellByCell[WorldState::cellKey(static_cast<std::int64_t>(cx), static_cast<std::int64_t>(cy))]
        .push_back(position);
}

} // namespace

ReferenceFields readReference(const RecordTree& tree, std::int32_t frmr)
{
    ReferenceFields f;
    for (std::int32_t i = tree.node(frmr).next; i != -1; i = tree.node(i).next) {
        const Node& n = tree.node(i);
        if (n.tag == kFRMR) {
            f.next = i;
            break;
        }
        if (n.tag == kNAME) {
            f.name = i;
        } else if (n.tag == kDATA) {
            ByteCursor cur(tree.data(i));
            f.placement = cur.bytes(kPlacementSize);
        } else if (n.tag == kXSCL) {
            ByteCursor cur(tree.data(i));
            const std::uint32_t v = cur.u32();
            f.scale = cur.ok() ? std::optional<std::uint32_t>(v) : std::nullopt;
        } else if (n.tag == kDNAM) {
            f.destinationName = i;
        } else if (n.tag == kDODT) {
            ByteCursor cur(tree.data(i));
            f.destination = cur.bytes(kPlacementSize);
        }
    }
    return f;
}

double roundCoordinate(float v)
{
    const double d = v;
    return d >= 0 ? std::trunc(d + 0.5) : std::trunc(d - 0.5);
}

void roundedPosition(const ReferenceFields& f, double& x, double& y)
{
    if (f.placement.empty()) {
        x = 0;
        y = 0;
        return;
    }
    ByteCursor cur(f.placement);
    x = roundCoordinate(cur.f32());
    y = roundCoordinate(cur.f32());
}

std::int32_t checkReferenceCell(Conversion& c, std::int32_t frmr, int x, int y)
{
    WorldState& w = c.world;
    const ReferenceFields f = readReference(c.tree, frmr);
    if (f.name == -1) {
        c.console.print("no ref Name!\n");
        waitForUser(c);
        return -1;
    }
    double px = 0;
    double py = 0;
    roundedPosition(f, px, py);
    if (inCell(px, py, x, y))
        return f.next;
    if (w.outOfCell.size() >= WorldState::kOutOfCellCapacity) {
        // No room left: the reference is dropped, and the user hears of it
        // once per cell, like at the moment the list filled up.
        c.console.print("Too many refs out of cell!\n");
        c.log.capacity("Too many refs out of cell!");
        waitForUser(c);
        return -1;
    }
    const auto position = static_cast<std::uint32_t>(w.outOfCell.size());
    w.outOfCell.push_back(frmr);
    indexOutOfCell(w, f, position);
    if (w.outOfCell.size() == WorldState::kOutOfCellCapacity) {
        c.console.print("Too many refs out of cell!\n");
        c.log.capacity("Too many refs out of cell!");
        waitForUser(c);
        return -1;
    }
    return f.next;
}

void clearReferenceLists(Conversion& c)
{
    for (auto& list : c.world.references)
        list.clear();
}

std::int32_t convertReference(Conversion& c, std::int32_t frmr, int x, int y, bool exterior,
                              bool persistentPass)
{
    WorldState& w = c.world;
    const ReferenceFields f = readReference(c.tree, frmr);
    if (f.name == -1)
        return f.next; // nothing to resolve it by

    const std::string_view nameText = c.tree.text(f.name);
    convertIdentifierInPlace(c.tree.data(f.name).first(nameText.size()));
    const Lookup found = resolve(c.tables, c.tree.text(f.name));
    if (found.formId == 0)
        return f.next;

    if (f.placement.empty()) {
        c.console.print("bad coord pointer!\n");
        waitForUser(c);
        return -1;
    }
    for (const auto& list : w.references) {
        if (list.size() >= WorldState::kReferenceListCapacity) {
            c.console.print("too many refs!\n");
            c.log.capacity("too many refs!");
            waitForUser(c);
            return -1;
        }
    }

    ConvertedReference ref;
    ref.actor = found.kind == Kind::Npc;
    ref.persistent = found.kind == Kind::Npc || (found.kind == Kind::Door && !f.destination.empty());
    if (ref.persistent != persistentPass)
        return f.next;
    ref.baseFormId = found.formId;
    ref.scale = f.scale.value_or(0);
    ref.placement = f.placement;
    ref.destination = f.destination;
    ref.destinationCellName = f.destinationName == -1 ? kExteriorCellName : c.tree.text(f.destinationName);

    int list = kSouthWest;
    if (!exterior) {
        ref.cellName = w.interiors[static_cast<std::size_t>(x)].name;
    } else {
        ref.cellName = kExteriorCellName;
        if (!persistentPass) {
            double px = 0;
            double py = 0;
            roundedPosition(f, px, py);
            list = quadrantOf(px, py, x, y);
            if (list < 0)
                return f.next; // it stands in another cell, which takes it
        }
    }
    w.references[static_cast<std::size_t>(list)].push_back(ref);
    return f.next;
}

int writeReference(Conversion& c, const ConvertedReference& ref)
{
    static constexpr std::size_t kRecordHeader = 20;
    static constexpr std::size_t kSubrecordHeader = 6;
    static constexpr std::size_t kXtelSize = 28;

    const bool hasScale = std::bit_cast<float>(ref.scale) > 0.0f;
    const bool teleports = !ref.destination.empty();

    SubrecordBuffer s;
    s.u32(makeTag("NAME"), ref.baseFormId);
    if (hasScale)
        s.u32(makeTag("XSCL"), ref.scale);
    std::size_t xtelOffset = 0;
    if (teleports) {
        xtelOffset = s.size() + kSubrecordHeader;
        const std::array<std::uint8_t, kXtelSize> placeholder{};
        s.raw(makeTag("XTEL"), placeholder);
    }
    s.raw(makeTag("DATA"), ref.placement);

    const std::uint32_t formId = c.out.nextFormId();
    const std::size_t at = c.out.writeRecord(ref.actor ? makeTag("ACHR") : makeTag("REFR"),
                                             ref.persistent ? 0x400u : 0u, formId, s);
    if (teleports) {
        auto& doors = c.world.teleportDoors;
        if (doors.size() >= WorldState::kTeleportDoorCapacity) {
            // The record stays whole, only without a partner.
            c.console.print("Too many teleport doors!\n");
            c.log.capacity("Too many teleport doors!");
            waitForUser(c);
        } else {
            doors.push_back(TeleportDoor{at + kRecordHeader + xtelOffset, formId, ref.cellName,
                                         ref.destinationCellName, ref.destination, false});
            c.teleportDoors = static_cast<int>(doors.size());
        }
    }
    return 0;
}

} // namespace lw::modshift
