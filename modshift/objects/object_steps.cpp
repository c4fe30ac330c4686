// The object converters the save driver calls: each runs the object engine
// over its type's description.
#include "modshift/driver/save_steps.hpp"
#include "modshift/objects/object_kinds.hpp"

namespace lw::modshift {

int saveSounds(Conversion& c) { return runObjectConverter(c, kinds::sounds()); }
int saveLandTextures(Conversion& c) { return runObjectConverter(c, kinds::landTextures()); }
int saveActivators(Conversion& c) { return runObjectConverter(c, kinds::activators()); }
int saveBooks(Conversion& c) { return runObjectConverter(c, kinds::books()); }
int saveContainers(Conversion& c) { return runObjectConverter(c, kinds::containers()); }
int saveDoors(Conversion& c) { return runObjectConverter(c, kinds::doors()); }
int saveLights(Conversion& c) { return runObjectConverter(c, kinds::lights()); }
int saveMisc(Conversion& c) { return runObjectConverter(c, kinds::misc()); }
int saveStatics(Conversion& c) { return runObjectConverter(c, kinds::statics()); }
int saveFlora(Conversion& c) { return runObjectConverter(c, kinds::flora()); }
int saveWeapons(Conversion& c) { return runObjectConverter(c, kinds::weapons()); }

} // namespace lw::modshift
