#pragma once
// The run context of one modshift conversion: configuration, paths, the loaded
// plugin and its record tree, the output, the converted-record tables, the
// random number generator and each subsystem's own state. Converters are
// functions of this context, so a test can build one, run a converter and look
// at what it wrote.

#include <cstdint>
#include <string>
#include <vector>

#include "common/bsa/bsa_archive.hpp"
#include "common/config/config.hpp"
#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "modshift/characters/character_state.hpp"
#include "modshift/driver/conversion_log.hpp"
#include "modshift/driver/random.hpp"
#include "modshift/objects/object_state.hpp"
#include "modshift/tes3/record_table.hpp"
#include "modshift/tes3/record_tree.hpp"
#include "modshift/tes4/tes4_writer.hpp"
#include "modshift/world/world_state.hpp"

namespace lw::modshift {

struct RunPaths {
    std::string programFolder;   // with its trailing separator, or empty
    std::string meshConverter;   // program folder + the mesh converter's name
    std::string templateTexture; // program folder + "template_n.dds"
    std::string configPath;      // program folder + "meshshift.ini"
    std::string archivePath;     // source data folder + "\" + archive name
    std::string inputPath;
    std::string pluginName;      // file name without its extension
    std::string outputPath;      // <name>_ob.esp / .esm
    std::string logPath;         // <name>_ob.log
};

// The command-line options of a run. noWait (--no-wait): no wait for a key,
// here or in any meshshift started; noMasters (--no-masters): only the
// plugin's own records are converted.
struct RunOptions { bool noWait = false; bool noMasters = false; };

struct Conversion {
    Conversion(Platform& platformRef, Console& consoleRef)
        : platform(platformRef), console(consoleRef), archive(platformRef, consoleRef, false)
    {
    }

    Platform& platform;
    Console& console;
    Config config;
    RunPaths paths;
    RunOptions options;
    ConversionLog log;

    // The loaded plugin, followed by the records taken from its masters;
    // never resized after that.
    std::vector<std::uint8_t> plugin;
    RecordTree tree;
    Tes4Writer out;
    Random rng;
    Tables tables;
    BsaArchive archive;

    ObjectState objects;
    CharacterState characters;
    WorldState world;

    int teleportDoors = 0;
};

} // namespace lw::modshift
