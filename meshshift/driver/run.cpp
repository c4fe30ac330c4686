#include "meshshift/driver/run.hpp"

#include <cctype>
#include <cstdint>
#include <new>

#include "common/bsa/bsa_archive.hpp"
#include "common/config/config.hpp"
#include "common/console/console.hpp"
#include "common/fs/folders.hpp"
#include "common/platform/platform.hpp"
#include "meshshift/collision/collision.hpp"
#include "meshshift/driver/mesh_job.hpp"
#include "meshshift/nif20/nif_writer.hpp"
#include "meshshift/nif20/texture_paths.hpp"
#include "meshshift/nif4/nif4_reader.hpp"
#include "meshshift/template/template_reader.hpp"

namespace lw::meshshift {
namespace {

constexpr int kFailed = -1;

constexpr const char* kUsageText =
    "usage: meshshift <mesh.nif> [options]\n"
    "Converts a Morrowind mesh into an Oblivion mesh with Havok collision.\n"
    "  -d <path>    output path        -c  no collision\n"
    "  -l <layer>   collision layer    -f  collision from the whole scene\n"
    "  -m <number>  Havok material     -h  alternative extra data\n"
    "  -q <number>  quality type       -s <number>  motion system\n"
    "  --no-wait    never wait for a key at \"press enter...\"\n"
    "  --help       this text\n"
    "  --version    the version\n"
    "Exit status: 0 when the mesh was written, -1 otherwise.\n";

int stopWithWait(Console& console)
{
    console.print("press enter...");
    console.waitKey();
    return kFailed;
}

// Finds the source mesh, reads it into job.sourceImage and sets the output
// path. False after "file does not exist" or an output path that would leave
// the target data folder (the caller waits).
bool findSource(MeshJob& job)
{
    Platform& platform = job.platform;
    const Config& config = job.config;
    if (auto bytes = platform.readFile(job.meshName)) {
        job.sourceImage = std::move(*bytes);
        if (!job.options.destination.empty()) {
            job.outputPath = job.options.destination;
        } else {
            const std::string& name = job.meshName;
            job.outputPath = (name.size() >= 4 ? name.substr(0, name.size() - 4) : name) + "_ob.nif";
        }
        return true;
    }

    const std::string below = !job.options.destination.empty() ? job.options.destination
                                                               : config.assetSubfolder + "\\" + job.meshName;
    if (climbsOut(below)) {
        // Joined below the target data folder, a ".." folder would put the
        // mesh beside it (a plugin's model path or a typing slip alike).
        job.console.print("output path %s leaves the target data folder!\n", below.c_str());
        return false;
    }
    job.outputPath = config.targetData + "\\meshes\\" + below;
    const std::string onDisk = config.sourceData + "\\Meshes\\" + job.meshName;
    if (auto bytes = climbsOut(job.meshName) ? std::nullopt : platform.readFile(onDisk)) {
        job.sourceImage = std::move(*bytes);
        job.meshName = onDisk;
        return true;
    }
    std::string entry = "meshes\\" + job.meshName;
    std::optional<std::vector<std::uint8_t>> bytes;
    if (job.archive)
        bytes = job.archive->read(entry); // lower-cases the name when an archive is open
    if (!bytes) {
        job.console.print("file does not exist %s!\n", entry.c_str());
        return false;
    }
    job.sourceImage = std::move(*bytes);
    job.meshName = entry;
    return true;
}

// Creates the folders in front of the output file.
void createOutputFolder(MeshJob& job)
{
    const std::size_t cut = job.outputPath.find_last_of("\\/");
    if (cut == std::string::npos || cut == 0)
        return;
    std::string folder = job.outputPath.substr(0, cut);
    job.console.print("creating %s\n", folder.c_str());
    createFolderPath(job.platform, folder);
    job.outputPath = folder + "\\" + job.outputPath.substr(cut + 1);
}

// Writes the converted mesh beside its destination and moves it into place only
// when the whole file exists, so a failed run never leaves a mesh that looks usable.
int writeOutput(MeshJob& job)
{
    const std::string temporary = job.outputPath + ".tmp";
    if (!job.platform.writeFile(temporary, {})) {
        job.console.print("\nFile %s does not exist\n", job.outputPath.c_str());
        return kFailed;
    }
    std::vector<std::uint8_t> bytes;
    const bool written = writeScene(job, bytes) == 0 && job.platform.writeFile(temporary, bytes) &&
                         job.platform.renameFile(temporary, job.outputPath);
    if (!written) {
        job.platform.removeFile(temporary);
        job.console.print("\nerror saving file!\n");
        return kFailed;
    }
    return 0;
}

int run(MeshJob& job, BsaArchive& archive, int argc, const char* const* argv)
{
    Console& console = job.console;
    console.print("\nWelcome to Meshwright v%X.%02X\n", 1u, 2u);

    if (parseArguments(job, argc, argv) != 0) {
        console.print("Bad arguments!\n");
        return stopWithWait(console);
    }
    if (job.meshName.empty()) {
        console.print("Missing NIF file!\n");
        return stopWithWait(console);
    }

    job.templateTexturePath = job.programFolder + "template_n.dds";
    if (readConfig(job.platform, console, job.programFolder + "meshshift.ini", job.config) != 0) {
        console.print("error parsing INI file\n");
        return stopWithWait(console);
    }

    auto templateBytes = job.platform.readFile(job.programFolder + "bhktemp.nif");
    if (!templateBytes) {
        console.print("template does not exist!\n");
        return stopWithWait(console);
    }
    job.templ.image = std::move(*templateBytes);
    if (readTemplate(console, job.templ) != 0) {
        console.print("Error parsing file!\n");
        return stopWithWait(console);
    }

    // A missing or bad archive only means that nothing is found in it.
    archive.open(job.config.archivePath());
    job.archive = &archive;

    if (!findSource(job))
        return stopWithWait(console);

    console.print("Converting %s to %s\n", job.meshName.c_str(), job.outputPath.c_str());
    createOutputFolder(job);

    if (readSourceMesh(job) != 0) {
        console.print("Error parsing file!\n");
        return kFailed;
    }
    if (buildCollision(job) != 0) {
        console.print("error in Havok!\n");
        return stopWithWait(console);
    }
    return writeOutput(job);
}

} // namespace

std::int32_t parseWholeNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::int64_t{1} << 32)
            value = std::int64_t{1} << 32;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

int parseArguments(MeshJob& job, int argc, const char* const* argv)
{
    job.options = MeshOptions{};
    job.meshName.clear();
    job.programFolder.clear();
    Console& console = job.console;

    if (argc < 1 || !argv || !argv[0]) {
        console.print("Missing argument!\n");
        return kFailed;
    }
    const std::string self = argv[0];
    const std::size_t cut = self.find_last_of("\\/");
    if (cut != std::string::npos && cut >= 1)
        job.programFolder = self.substr(0, cut + 1);

    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) {
            console.print("argument %i does not exist!\n", i);
            return kFailed;
        }
        const std::string_view arg = argv[i];
        if (arg == "--no-wait")
            continue; // taken before the run starts
        if (arg.starts_with("--")) {
            console.print("Unknown argument \"%s\"!\n", argv[i]);
            console.write(kUsageText);
            return kFailed;
        }
        if (arg.empty() || arg[0] != '-' || arg.size() > 2) {
            job.meshName = arg;
            continue;
        }
        const char letter = arg.size() == 2 ? arg[1] : '\0';
        switch (letter) {
        case 'c': job.options.noCollision = true; continue;
        case 'f': job.options.wholeScene = true; continue;
        case 'h': job.options.alternativeExtra = true; continue;
        case 'd':
        case 'l':
        case 'm':
        case 'q':
        case 's': break;
        default:
            console.print("Unknown argument \"%s\"!\n", argv[i]);
            return kFailed;
        }
        if (i + 1 >= argc || !argv[i + 1]) {
            console.print("Missing argument!\n");
            return kFailed;
        }
        const std::string_view value = argv[++i];
        switch (letter) {
        case 'd': job.options.destination = value; break;
        case 'l': job.options.layer = parseWholeNumber(value); break;
        case 'm': job.options.material = parseWholeNumber(value); break;
        case 'q': job.options.quality = parseWholeNumber(value); break;
        default: job.options.motionSystem = parseWholeNumber(value); break;
        }
    }
    return 0;
}

int runMeshshift(Console& console, Platform& platform, int argc, const char* const* argv)
{
    // Asked for help or the version: nothing else happens, no file is read.
    for (int i = 1; i < argc && argv; ++i) {
        if (argv[i] && std::string_view(argv[i]) == "--help") {
            console.write(kUsageText);
            return 0;
        }
        if (argv[i] && std::string_view(argv[i]) == "--version") {
            console.print("meshshift (Meshwright) v%X.%02X\n", 1u, 2u);
            return 0;
        }
        if (argv[i] && std::string_view(argv[i]) == "--no-wait")
            console.skipWaits();
    }
    MeshJob job(console, platform);
    BsaArchive archive(platform, console, true);
    int status = kFailed;
    try {
        status = run(job, archive, argc, argv);
    } catch (const std::bad_alloc&) {
        console.print("Not enough memory!\n");
        status = stopWithWait(console);
    }
    archive.close();
    return status;
}

} // namespace lw::meshshift
