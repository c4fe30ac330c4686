#pragma once
// The converter configuration, "meshshift.ini" in the program folder: four
// values taken by position, each after an "=" and up to the end of its line.

#include <string>

namespace lw {

class Console;
class Platform;

struct Config {
    std::string sourceData;     // Morrowind data folder, no trailing backslash
    std::string archiveName;    // BSA file inside the source data folder
    std::string targetData;     // Oblivion data folder, no trailing backslash
    std::string assetSubfolder; // one folder name every converted asset goes into

    // source data folder, "\", archive name
    std::string archivePath() const { return sourceData + "\\" + archiveName; }
};

// Reads the file at `path`; 0 on success, -1 on failure (after the messages of
// a missing or oversized file; a malformed file fails silently). On failure the
// values not yet parsed stay empty.
int readConfig(Platform& platform, Console& console, const std::string& path, Config& out);

} // namespace lw
