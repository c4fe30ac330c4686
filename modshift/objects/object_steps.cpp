// The object converters the save driver calls: each runs the object engine
// over its type's description.
#include <string>
#include <unordered_set>

#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/objects/item_lookup.hpp"
#include "modshift/objects/object_kinds.hpp"
#include "modshift/tes3/identifiers.hpp"

namespace lw::modshift {

namespace {

// Whether a container of the plugin holds a misc item, a light or a weapon of
// the plugin: those tables are filled after the container step's place.
bool containersHoldLaterItems(const Conversion& c)
{
    const Tag kNAME = makeTag("NAME");
    const Tag kNPCO = makeTag("NPCO");
    std::unordered_set<std::string> later;
    for (Tag type : {makeTag("MISC"), makeTag("LIGH"), makeTag("WEAP")}) {
        for (std::int32_t record : c.tree.find(type)) {
            for (std::int32_t sub : c.tree.children(record)) {
                if (c.tree.node(sub).tag == kNAME) {
                    later.insert(convertIdentifier(c.tree.text(sub)));
                    break;
                }
            }
        }
    }
    if (later.empty())
        return false;
    for (std::int32_t record : c.tree.find(makeTag("CONT"))) {
        for (std::int32_t sub : c.tree.children(record)) {
            if (c.tree.node(sub).tag != kNPCO)
                continue;
            auto entry = readInventoryEntry(c.tree.data(sub));
            if (entry && later.count(convertIdentifier(entry->identifier)) != 0)
                return true;
        }
    }
    return false;
}

} // namespace

int saveSounds(Conversion& c) { return runObjectConverter(c, kinds::sounds()); }
int saveLandTextures(Conversion& c) { return runObjectConverter(c, kinds::landTextures()); }
int saveActivators(Conversion& c) { return runObjectConverter(c, kinds::activators()); }
int saveBooks(Conversion& c) { return runObjectConverter(c, kinds::books()); }
// Containers are converted at their place in the step order, so that the
// form identifiers and group order of a plugin stay as they are, unless one
// of them holds an item that a later step converts; then all of them are
// converted after the last item step and their group follows the weapons.
int saveContainers(Conversion& c)
{
    return containersHoldLaterItems(c) ? 0 : runObjectConverter(c, kinds::containers());
}
int saveContainersAfterItems(Conversion& c)
{
    return containersHoldLaterItems(c) ? runObjectConverter(c, kinds::containers()) : 0;
}
int saveDoors(Conversion& c) { return runObjectConverter(c, kinds::doors()); }
int saveLights(Conversion& c) { return runObjectConverter(c, kinds::lights()); }
int saveMisc(Conversion& c) { return runObjectConverter(c, kinds::misc()); }
int saveStatics(Conversion& c) { return runObjectConverter(c, kinds::statics()); }
int saveFlora(Conversion& c) { return runObjectConverter(c, kinds::flora()); }
int saveWeapons(Conversion& c) { return runObjectConverter(c, kinds::weapons()); }

} // namespace lw::modshift
