// Object converters not built yet: each is a call that writes nothing.
#include "modshift/driver/save_steps.hpp"

namespace lw::modshift {

int saveSounds(Conversion&) { return 0; }
int saveLandTextures(Conversion&) { return 0; }
int saveActivators(Conversion&) { return 0; }
int saveBooks(Conversion&) { return 0; }
int saveContainers(Conversion&) { return 0; }
int saveDoors(Conversion&) { return 0; }
int saveLights(Conversion&) { return 0; }
int saveMisc(Conversion&) { return 0; }
int saveStatics(Conversion&) { return 0; }
int saveFlora(Conversion&) { return 0; }
int saveWeapons(Conversion&) { return 0; }

} // namespace lw::modshift
