// Teleport doors: every door reference with a destination was written with a
// 28-byte XTEL placeholder, because the partner door's form identifier is only
// known once both are written. Here the doors are paired and the placeholders
// rewritten in the finished output; its length does not change.
//
// Door i pairs with the first later door j not yet paired whose cell is i's
// destination and whose destination is i's cell. Doors are bucketed by their
// (cell, destination) pair, so that search is a look at the front of one
// bucket instead of a scan over every later door.

#include <deque>
#include <map>
#include <string_view>
#include <utility>

#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"

namespace lw::modshift {

namespace {

void writeXtel(Conversion& c, const TeleportDoor& door, std::uint32_t partner)
{
    if (door.xtelPosition + 4 + door.arrival.size() > c.out.position())
        return; // cannot happen for a door this run wrote
    c.out.patchU32(door.xtelPosition, partner);
    c.out.patch(door.xtelPosition + 4, door.arrival);
}

} // namespace

int connectTeleportDoors(Conversion& c)
{
    std::vector<TeleportDoor>& doors = c.world.teleportDoors;
    c.console.print("Connecting teleport doors\n");

    using Key = std::pair<std::string_view, std::string_view>; // (cell, destination)
    std::map<Key, std::deque<std::size_t>> byPlace;
    for (std::size_t i = 0; i < doors.size(); ++i)
        byPlace[{doors[i].cellName, doors[i].destinationCellName}].push_back(i);

    for (std::size_t i = 0; i < doors.size(); ++i) {
        if (doors[i].connected)
            continue;
        auto found = byPlace.find({doors[i].destinationCellName, doors[i].cellName});
        if (found == byPlace.end())
            continue;
        std::deque<std::size_t>& candidates = found->second;
        // Doors up to i can never be a later door again; paired ones never pair.
        while (!candidates.empty() && (candidates.front() <= i || doors[candidates.front()].connected))
            candidates.pop_front();
        if (candidates.empty())
            continue;
        const std::size_t j = candidates.front();
        candidates.pop_front();
        writeXtel(c, doors[i], doors[j].formId);
        doors[i].connected = true;
        writeXtel(c, doors[j], doors[i].formId);
        doors[j].connected = true;
    }
    c.teleportDoors = static_cast<int>(doors.size());
    return 0;
}

} // namespace lw::modshift
