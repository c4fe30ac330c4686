// lorereport: what a conversion produced, without starting the game.
//
//   lorereport <plugin_ob.esp> [<Oblivion data folder>] [--map <file.png>]
//
// Without a data folder, the one named in meshshift.ini beside the program is
// used. Only reads: it never changes a file other than the map it is asked to
// write. Exit status 0, or 1 when the plugin cannot be read or is malformed,
// 2 for a wrong command line. --help and --version print and end at once.

#include <cstdio>
#include <string>
#include <vector>

#include "common/config/config.hpp"
#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "lorereport/report/plugin_reader.hpp"
#include "lorereport/report/report.hpp"
#include "lorereport/report/world_map.hpp"

namespace {

std::string programFolder(const std::string& argv0)
{
    std::size_t cut = argv0.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : argv0.substr(0, cut + 1);
}

} // namespace

constexpr const char* kUsage =
    "usage: lorereport <plugin_ob.esp> [<Oblivion data folder>] [--map <file.png>]\n";

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::printf("%s"
                        "Reports what a converted plugin holds and which meshes, textures, icons and\n"
                        "sounds it names are missing from the data folder (by default the one in\n"
                        "meshshift.ini beside the program); --map also draws its world as a PNG.\n"
                        "Exit status: 0, 1 when the plugin cannot be read, 2 for a wrong command line.\n",
                        kUsage);
            return 0;
        }
        if (arg == "--version") {
            std::printf("lorereport (Lorewright) v0.93\n");
            return 0;
        }
    }
    std::vector<std::string> positional;
    std::string mapPath;
    bool unknownOption = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--map" && i + 1 < argc)
            mapPath = argv[++i];
        else if (arg.size() > 1 && arg[0] == '-')
            unknownOption = true;
        else
            positional.push_back(arg);
    }
    if (unknownOption || positional.empty() || positional.size() > 2 || positional[0].empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }

    lw::Console console;
    std::unique_ptr<lw::Platform> platform = lw::makeSystemPlatform();
    std::string targetData;
    if (positional.size() == 2) {
        targetData = positional[1];
    } else {
        lw::Config config;
        std::string ini = programFolder(argc > 0 ? argv[0] : "") + "meshshift.ini";
        if (lw::readConfig(*platform, console, ini, config) != 0) {
            std::printf("error parsing INI file\n");
            return 1;
        }
        targetData = config.targetData;
    }

    auto bytes = platform->readFile(positional[0]);
    if (!bytes) {
        std::printf("cannot read %s\n", positional[0].c_str());
        return 1;
    }
    std::string error;
    auto plugin = lw::report::readPlugin(*bytes, error);
    if (!plugin) {
        std::printf("%s is not a valid plugin: %s\n", positional[0].c_str(), error.c_str());
        return 1;
    }
    lw::report::Report report = lw::report::buildReport(*plugin, positional[0], targetData, *platform);
    console.write(lw::report::formatReport(report));

    if (!mapPath.empty()) {
        lw::report::WorldMap map = lw::report::drawWorldMap(*plugin);
        if (!lw::report::writePng(map.image, mapPath, error)) {
            std::printf("no map written: %s\n", error.c_str());
            return 1;
        }
        std::printf("\nMap of %d x %d cells written to %s\n", map.cellsX, map.cellsY, mapPath.c_str());
    }
    return 0;
}
