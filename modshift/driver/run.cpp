#include "modshift/driver/run.hpp"

#include <exception>
#include <new>
#include <optional>
#include <vector>

#include "modshift/driver/conversion.hpp"
#include "modshift/driver/run_paths.hpp"
#include "modshift/masters/masters.hpp"

namespace lw::modshift {

namespace {

// Start-up up to the save driver; false when the run ends at a failure (its
// message printed).
bool startAndSave(std::span<const std::string> args, Conversion& c)
{
    Console& console = c.console;
    Platform& platform = c.platform;

    if (args.size() < 2) {
        console.print("missing ESP/ESM/ESS file!\n");
        return false;
    }

    RunPaths& paths = c.paths;
    paths.programFolder = programFolderOf(args[0]);
    if (paths.programFolder.empty()) {
        // Found through the search path: the data files lie beside the
        // program itself, not in the current folder.
        paths.programFolder = platform.programFolder();
    }
    paths.meshConverter = paths.programFolder + std::string(platform.meshConverterName());
    paths.templateTexture = paths.programFolder + "template_n.dds";
    paths.configPath = paths.programFolder + "meshshift.ini";
    if (readConfig(platform, console, paths.configPath, c.config) != 0) {
        console.print("error parsing INI file\n");
        return false;
    }
    paths.archivePath = c.config.archivePath();

    paths.inputPath = args[1];
    paths.pluginName = pluginNameOf(paths.inputPath);

    console.print("reading %s\n", paths.inputPath.c_str());
    std::optional<std::vector<std::uint8_t>> loaded;
    bool outOfMemory = false;
    try {
        loaded = platform.readFile(paths.inputPath);
    } catch (const std::bad_alloc&) {
        // Reported once the output and log files exist, like any later failure.
        outOfMemory = true;
    }
    if (!loaded && !outOfMemory) {
        console.print("file does not exist!\n");
        return false;
    }

    PluginKind kind = pluginKindOf(paths.inputPath);
    if (kind == PluginKind::Unsupported) {
        console.print("unsupported file format!\n");
        return false;
    }
    paths.outputPath = outputPathOf(paths.inputPath, kind);
    if (!platform.writeFile(paths.outputPath, {})) {
        console.print("error saving file!\n");
        return false;
    }
    paths.logPath = logPathOf(paths.outputPath);
    platform.writeFile(paths.logPath, {}); // stays empty; nothing is logged

    if (outOfMemory) {
        console.print("not enough memory!\n");
        return false;
    }
    c.plugin = std::move(*loaded);
    loaded.reset();

    console.print("Parsing Mod file\n");
    if (parseRecordTree(c.plugin, c.tree, console) != 0) {
        console.print("Error parsing file!\n");
        return false;
    }
    if (c.tree.count() == 0) {
        // An empty file (or one shorter than a record header) holds no
        // plugin at all; converting it would report success over nothing.
        console.print("no records in file!\n");
        console.print("Error parsing file!\n");
        return false;
    }

    if (!c.options.noMasters)
        pullFromMasters(c);

    console.print("Saving file\n");
    saveDriver(c);
    return true;
}

} // namespace

int runModshift(std::span<const std::string> args, Platform& platform, Console& console)
{
    console.print("Welcome in Lorewright v%X.%02X\n\n", 0u, 0x93u);
    try {
        Conversion c(platform, console);
        // "--no-masters" before the plugin: its masters are not read.
        std::vector<std::string> plain(args.begin(), args.end());
        if (plain.size() > 1 && plain[1] == "--no-masters") {
            c.options.noMasters = true;
            plain.erase(plain.begin() + 1);
        }
        startAndSave(plain, c);
    } catch (const std::bad_alloc&) {
        console.print("not enough memory!\n");
    } catch (const std::exception& e) {
        // A fault inside a converter ends the run with a message instead of
        // an abort; the prompt and the exit status stay as on every path.
        console.print("internal error: %s\n", e.what());
    }
    console.print("press enter...");
    console.waitKey();
    return 0;
}

} // namespace lw::modshift
