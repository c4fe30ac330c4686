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

// Exit statuses: the plugin was written; it could not be; the command line
// was wrong.
constexpr int kConverted = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr const char* kUsageText =
    "usage: modshift [options] <plugin.esp | plugin.esm>\n"
    "Converts the plugin into <plugin>_ob.esp (or _ob.esm) beside it and tells in\n"
    "<plugin>_ob.log what was left out.\n"
    "  --no-wait: never wait for a key at \"press enter...\", here or in meshshift\n"
    "  --no-masters: convert only the plugin's own records, without taking used objects from its master files\n"
    "  --help: this text\n"
    "  --version: the version\n"
    "Exit status: 0 when the plugin was written, 1 when it could not be, 2 for a wrong\n"
    "command line.\n";

enum class Request { Convert, Help, Version, Unknown };

// Options may stand anywhere; the first other argument names the plugin and
// later ones are ignored. Only "--" opens an option: "-x.esp" is a plugin.
Request parseOptions(std::span<const std::string> args, RunOptions& options, std::string& plugin,
                     std::string& unknown)
{
    bool havePlugin = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help")
            return Request::Help;
        if (arg == "--version")
            return Request::Version;
        if (arg == "--no-wait") {
            options.noWait = true;
        } else if (arg == "--no-masters") {
            options.noMasters = true;
        } else if (arg.starts_with("--")) {
            unknown = arg;
            return Request::Unknown;
        } else if (!havePlugin) {
            plugin = arg;
            havePlugin = true;
        }
    }
    return Request::Convert;
}

int startAndSave(std::span<const std::string> args, const std::string& plugin, Conversion& c)
{
    Console& console = c.console;
    Platform& platform = c.platform;

    if (plugin.empty()) {
        console.print("missing ESP/ESM/ESS file!\n");
        return kUsage;
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
        return kFailed;
    }
    paths.archivePath = c.config.archivePath();

    paths.inputPath = plugin;
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
        return kFailed;
    }

    PluginKind kind = pluginKindOf(paths.inputPath);
    if (kind == PluginKind::Unsupported) {
        console.print("unsupported file format!\n");
        return kFailed;
    }
    paths.outputPath = outputPathOf(paths.inputPath, kind);
    if (!platform.writeFile(paths.outputPath, {})) {
        console.print("error saving file!\n");
        return kFailed;
    }
    paths.logPath = logPathOf(paths.outputPath);
    platform.writeFile(paths.logPath, {}); // filled once the save driver has run

    if (outOfMemory) {
        console.print("not enough memory!\n");
        return kFailed;
    }
    c.plugin = std::move(*loaded);
    loaded.reset();

    console.print("Parsing Mod file\n");
    if (parseRecordTree(c.plugin, c.tree, console) != 0) {
        console.print("Error parsing file!\n");
        return kFailed;
    }
    if (c.tree.count() == 0) {
        // An empty file (or one shorter than a record header) holds no
        // plugin at all; converting it would report success over nothing.
        console.print("no records in file!\n");
        console.print("Error parsing file!\n");
        return kFailed;
    }

    if (!c.options.noMasters)
        pullFromMasters(c);
    c.log.rememberIdentifiers(c.tree);

    console.print("Saving file\n");
    const int saved = saveDriver(c);
    const std::string log = conversionLogText(c);
    platform.writeFile(paths.logPath, std::vector<std::uint8_t>(log.begin(), log.end()));
    return saved == 0 ? kConverted : kFailed;
}

} // namespace

int runModshift(std::span<const std::string> args, Platform& platform, Console& console)
{
    RunOptions options;
    std::string plugin;
    std::string unknown;
    switch (parseOptions(args, options, plugin, unknown)) {
    case Request::Help:
        console.write(kUsageText);
        return kConverted;
    case Request::Version:
        console.print("modshift (Lorewright) v%X.%02X\n", 0u, 0x93u);
        return kConverted;
    case Request::Unknown:
        console.print("unknown option %s\n", unknown.c_str());
        console.write(kUsageText);
        return kUsage;
    case Request::Convert:
        break;
    }
    if (options.noWait)
        console.skipWaits();

    console.print("Welcome in Lorewright v%X.%02X\n\n", 0u, 0x93u);
    int status = kFailed;
    try {
        Conversion c(platform, console);
        c.options = options;
        status = startAndSave(args, plugin, c);
    } catch (const std::bad_alloc&) {
        console.print("not enough memory!\n");
    } catch (const std::exception& e) {
        // A fault inside a converter ends the run with a message instead of
        // an abort; the prompt follows as on every path.
        console.print("internal error: %s\n", e.what());
    }
    console.print("press enter...");
    console.waitKey();
    return status;
}

} // namespace lw::modshift
