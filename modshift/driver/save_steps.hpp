#pragma once
// The converters the save driver calls, in its order. Each returns 0, or -1
// when it stopped early (after its own message); the driver ignores results.

namespace lw::modshift {

struct Conversion;

int parseFaces(Conversion& c);           // characters
int writeFileHeader(Conversion& c);      // tes4
int saveEyes(Conversion& c);             // characters
int saveSounds(Conversion& c);           // objects
int parseRegions(Conversion& c);         // world
int parseCells(Conversion& c);           // world
int saveLandTextures(Conversion& c);     // objects
int saveActivators(Conversion& c);       // objects
int saveArmours(Conversion& c);          // characters
int saveBooks(Conversion& c);            // objects
int saveContainers(Conversion& c);       // objects
int saveDoors(Conversion& c);            // objects
int saveLights(Conversion& c);           // objects
int saveMisc(Conversion& c);             // objects
int saveStatics(Conversion& c);          // objects
int saveFlora(Conversion& c);            // objects
int saveWeapons(Conversion& c);          // objects
int saveContainersAfterItems(Conversion& c); // objects: when contents need the items
int saveNpcs(Conversion& c);             // characters
int saveCreatures(Conversion& c);        // characters
int saveLeveledCreatures(Conversion& c); // characters
int saveRegions(Conversion& c);          // world
int saveInteriorCells(Conversion& c);    // world
int saveWorldspace(Conversion& c);       // world
int connectTeleportDoors(Conversion& c); // world

} // namespace lw::modshift
