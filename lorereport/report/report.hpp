#pragma once
// What a conversion produced, read from the TES4 plugin and the target data
// folder: records and groups, form identifiers, references, teleport doors,
// the asset files records name, and the regions.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "lorereport/report/plugin_reader.hpp"

namespace lw {
class Platform;
}

namespace lw::report {

struct AssetUse {
    std::string kind;     // "mesh", "icon", "texture", "sound"
    std::string path;     // as the record names it
    std::string relative; // below the target data folder ("Meshes\\...")
    std::string fullPath; // with the target data folder in front
    std::string record;   // tag and EditorID of a record naming it
    bool exists = false;
};

struct RegionSummary {
    std::string editorId;
    std::size_t outlinePoints = 0;
    std::uint32_t mapColour = 0;
};

struct Report {
    std::string pluginPath;
    std::size_t bytes = 0;
    std::map<std::string, std::size_t> recordsPerType; // the TES4 header excluded
    std::size_t groups = 0;
    std::size_t topGroups = 0;
    std::uint32_t headerCount = 0; // the record count the header claims
    std::size_t counted = 0;       // records and groups after the header
    std::uint32_t firstFormId = 0; // of the plugin's own records (top byte 0x01)
    std::uint32_t lastFormId = 0;
    std::size_t ownFormIds = 0;
    std::size_t masterFormIds = 0;
    std::vector<std::string> masters;

    std::size_t interiorPersistent = 0, interiorTemporary = 0;
    std::size_t exteriorPersistent = 0, exteriorTemporary = 0;
    std::size_t actors = 0; // ACHR among them
    std::size_t teleportDoors = 0, pairedDoors = 0;

    std::vector<AssetUse> assets; // one entry per distinct full path, first use
    std::vector<RegionSummary> regions;

    std::size_t missingAssets() const;
};

// `targetData` is the Oblivion data folder the conversion wrote into.
Report buildReport(const Plugin& plugin, const std::string& pluginPath, const std::string& targetData,
                   Platform& platform);

std::string formatReport(const Report& report);

} // namespace lw::report
