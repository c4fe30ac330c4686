// lw_demo_data: makes the demo data set and sums up what a conversion of it
// produced.
//
//   lw_demo_data generate <demo folder> <program folder>
//       <demo folder>/program/        copy of the program folder, with a
//                                     meshshift.ini for the data set and a
//                                     creatures.ini mapping
//       <demo folder>/Morrowind/Data Files/LorewrightDemo.esp, its master
//                                     LorewrightDemoBase.esm, meshes, textures,
//                                     icons, sounds and Demo.bsa
//       <demo folder>/Oblivion/Data/  empty target data folder
//   lw_demo_data summary <demo folder>
//       reads the converted plugin back and counts records and written files;
//       exit status 1 when the plugin is missing or malformed.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "demo_data.hpp"
#include "support/bsa_builder.hpp"
#include "support/tes4_reader.hpp"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPluginName = "LorewrightDemo";
constexpr const char* kAssetFolder = "lorewright";

bool writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool writeText(const fs::path& path, const std::string& text)
{
    return writeBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// The settings are taken by position; the labels only document them.
std::string iniText(const fs::path& source, const fs::path& target)
{
    return "MorrowindData=" + source.string() + "\n" + "Archive=Demo.bsa\n" + "OblivionData=" +
           target.string() + "\n" + "AssetFolder=" + kAssetFolder + "\n";
}

int generate(const fs::path& root, const fs::path& programFolder)
{
    const fs::path program = root / "program";
    const fs::path source = root / "Morrowind" / "Data Files";
    const fs::path target = root / "Oblivion" / "Data";
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(program);
    fs::create_directories(source);
    fs::create_directories(target);

    // The program folder: programs and every data file beside them, copied
    // file by file (a recursive copy into an existing folder is not reliable
    // with every runtime).
    for (fs::recursive_directory_iterator it(programFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path to = program / it->path().lexically_relative(programFolder);
        if (it->is_directory())
            fs::create_directories(to, ec);
        else
            fs::copy_file(it->path(), to, fs::copy_options::overwrite_existing, ec);
    }
    if (ec) {
        std::fprintf(stderr, "cannot copy the program folder %s: %s\n", programFolder.string().c_str(),
                     ec.message().c_str());
        return 1;
    }
    fs::remove(program / "meshshift.ini", ec);
    bool ok = writeText(program / "meshshift.ini", iniText(fs::absolute(source), fs::absolute(target)));
    // An example mapping: the shore creature stands in for a creature of the
    // game master (replace the value with the one you want).
    ok = ok && writeText(program / "creatures.ini", "demo_mudcrab=0x0002B0C3\n");

    ok = ok && writeBytes(source / (std::string(kPluginName) + ".esp"), lw::demo::buildDemoPlugin());
    ok = ok && writeBytes(source / lw::demo::kDemoMasterName, lw::demo::buildDemoMaster());

    lw::test::BsaBuilder bsa;
    for (const lw::demo::DemoMesh& mesh : lw::demo::buildDemoMeshes()) {
        std::string lower = mesh.path;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        if (mesh.inArchive) {
            bsa.add("meshes\\" + lower, mesh.bytes);
        } else {
            std::string native = mesh.path;
            std::replace(native.begin(), native.end(), '\\', '/');
            ok = ok && writeBytes(source / "Meshes" / native, mesh.bytes);
        }
    }

    // Textures: the meshes' own, the land textures (one loose, one archived).
    std::uint32_t seed = 1;
    for (const char* name : {"demo_rock.dds", "demo_wood.dds", "demo_metal.dds", "demo_cloth.dds", "demo_leaf.dds"})
        ok = ok && writeBytes(source / "Textures" / name, lw::demo::demoTexture(16, 16, seed++));
    ok = ok && writeBytes(source / "Textures" / "demo_grass.dds", lw::demo::demoTexture(32, 32, seed++));
    bsa.add("textures\\demo_stone.dds", lw::demo::demoTexture(32, 32, seed++));

    // Icons: loose, archived, and one left missing (it gets the placeholder).
    for (const char* name : {"book.dds", "scroll.dds", "sword.dds"})
        ok = ok && writeBytes(source / "Icons" / "demo" / name, lw::demo::demoTexture(8, 8, seed++));
    bsa.add("icons\\demo\\cup.dds", lw::demo::demoTexture(8, 8, seed++));

    // Sounds: two present, one missing on purpose.
    ok = ok && writeBytes(source / "Sound" / "Fx" / "demo" / "bell.wav", lw::demo::demoSound(880.0, 0.4));
    ok = ok && writeBytes(source / "Sound" / "Fx" / "demo" / "wind.wav", lw::demo::demoSound(110.0, 0.8));

    ok = ok && writeBytes(source / "Demo.bsa", bsa.build());
    if (!ok) {
        std::fprintf(stderr, "cannot write the demo data set below %s\n", root.string().c_str());
        return 1;
    }
    std::printf("demo data set written to %s\n", fs::absolute(root).string().c_str());
    return 0;
}

std::vector<std::uint8_t> readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

int summary(const fs::path& root)
{
    const fs::path source = root / "Morrowind" / "Data Files";
    const fs::path target = root / "Oblivion" / "Data";
    const fs::path plugin = source / (std::string(kPluginName) + "_ob.esp");
    if (!fs::exists(plugin)) {
        std::printf("No converted plugin at %s\n", plugin.string().c_str());
        return 1;
    }
    const std::vector<std::uint8_t> bytes = readBytes(plugin);
    const lw::test::Tes4File file = lw::test::readTes4(bytes);
    if (!file.ok()) {
        std::printf("The converted plugin is malformed: %s\n", file.error.c_str());
        return 1;
    }

    std::map<std::string, int> perType;
    if (file.hasHeader)
        perType["TES4"] = 1;
    const auto records = file.allRecords();
    for (const lw::test::Tes4Record* r : records)
        ++perType[r->tag];
    const auto groups = static_cast<long long>(file.counted) - static_cast<long long>(records.size());

    std::printf("\nDemo summary\n");
    std::printf("  Oblivion data folder: %s\n", fs::absolute(target).string().c_str());
    std::printf("  plugin:               %s (%zu bytes, %lld groups)\n", fs::absolute(plugin).string().c_str(),
                bytes.size(), groups);
    std::printf("  records per type:\n");
    // Every type the demo plugin feeds the converter; a zero shows what is not
    // converted (yet) rather than hiding it.
    const char* expected[] = {"TES4", "EYES", "SOUN", "LTEX", "ACTI", "ARMO", "BOOK", "CONT", "DOOR",
                              "LIGH", "MISC", "STAT", "FLOR", "WEAP", "NPC_", "LVLC", "REGN", "CELL",
                              "WRLD", "REFR", "ACHR", "LAND", "PGRD"};
    std::set<std::string> shown;
    for (const char* tag : expected) {
        int n = perType.count(tag) ? perType[tag] : 0;
        std::printf("    %-5s %4d%s\n", tag, n, n == 0 ? "   (none written)" : "");
        shown.insert(tag);
    }
    for (const auto& [tag, n] : perType)
        if (!shown.count(tag))
            std::printf("    %-5s %4d\n", tag.c_str(), n);

    int meshes = 0, textures = 0, icons = 0, sounds = 0, other = 0;
    if (fs::exists(target)) {
        for (const auto& entry : fs::recursive_directory_iterator(target)) {
            if (!entry.is_regular_file())
                continue;
            std::string rel = entry.path().lexically_relative(target).generic_string();
            std::string ext = entry.path().extension().string();
            if (ext == ".nif")
                ++meshes;
            else if (rel.find("Menus/Icons") != std::string::npos)
                ++icons;
            else if (ext == ".dds")
                ++textures;
            else if (ext == ".wav")
                ++sounds;
            else
                ++other;
        }
    }
    std::printf("  files in the Oblivion data folder: %d meshes, %d textures, %d icons, %d sounds, %d other\n",
                meshes, textures, icons, sounds, other);

    // The conversion's own account: how many things it left out, and its summary.
    const fs::path log = source / (std::string(kPluginName) + "_ob.log");
    std::ifstream in(log);
    std::vector<std::string> summaryLines;
    int entries = 0;
    for (std::string line; std::getline(in, line);) {
        if (!summaryLines.empty() || line == "summary")
            summaryLines.push_back(line);
        else if (!line.empty())
            ++entries;
    }
    std::printf("  conversion log %s: %d entries, then\n", fs::absolute(log).string().c_str(), entries);
    for (std::size_t i = 1; i < summaryLines.size(); ++i) // indented less than the rows above
        std::printf("  %s\n", summaryLines[i].c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "generate" && argc == 4)
        return generate(argv[2], argv[3]);
    if (mode == "summary" && argc == 3)
        return summary(argv[2]);
    std::fprintf(stderr, "usage: lw_demo_data generate <demo folder> <program folder>\n"
                         "       lw_demo_data summary <demo folder>\n");
    return 2;
}
