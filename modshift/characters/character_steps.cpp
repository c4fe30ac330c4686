// Character converters not built yet: each is a call that writes nothing.
#include "modshift/driver/save_steps.hpp"

namespace lw::modshift {

int parseFaces(Conversion&) { return 0; }
int saveEyes(Conversion&) { return 0; }
int saveArmours(Conversion&) { return 0; }
int saveNpcs(Conversion&) { return 0; }
int saveCreatures(Conversion&) { return 0; }
int saveLeveledCreatures(Conversion&) { return 0; }

} // namespace lw::modshift
