// Writes the character converters' binary data into the program folder:
//   faces\zero.fg, a face file for every face "faces\Heads.ini" names, the
//   seven race files; the three eye textures with their normal maps; the
//   replacement armour meshes and icons of the armour replacement table.
// Usage: gen_character_data <stamp file> <Heads.ini> <program folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "character_data.hpp"
#include "modshift/characters/armour_table.hpp"
#include "modshift/characters/faces.hpp"

namespace fs = std::filesystem;
using lw::tools::Bytes;

namespace {

bool writeFile(const fs::path& root, std::string relative, const Bytes& bytes)
{
    for (char& c : relative)
        if (c == '\\')
            c = '/';
    fs::path path = root / relative;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: gen_character_data <stamp> <Heads.ini> <program folder>\n");
        return 1;
    }
    const fs::path stamp = argv[1];
    const fs::path headsIni = argv[2];
    const fs::path root = argv[3];
    bool ok = true;

    std::ifstream in(headsIni, std::ios::binary);
    Bytes heads((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<lw::modshift::HeadEntry> table;
    lw::modshift::parseHeadTable(heads, table);
    std::set<std::string> faces;
    for (const auto& e : table)
        if (!e.faceFile.empty() && e.faceFile != "zero.fg")
            faces.insert(e.faceFile);
    ok &= writeFile(root, "faces\\zero.fg", lw::tools::makeFaceFile(""));
    for (const std::string& face : faces)
        ok &= writeFile(root, "faces\\" + face, lw::tools::makeFaceFile(face));
    for (const char* race : {"Breton", "DarkElf", "HighElf", "Imperial", "Nord", "Redguard", "WoodElf"})
        ok &= writeFile(root, std::string("faces\\") + race + ".fgs", lw::tools::makeRaceFile());

    const std::pair<const char*, lw::tools::EyeStyle> eyes[] = {
        {"eyekhajiit1", lw::tools::EyeStyle::Khajiit},
        {"eyeblack", lw::tools::EyeStyle::Black},
        {"eyegrey", lw::tools::EyeStyle::Grey}};
    for (const auto& [base, style] : eyes) {
        ok &= writeFile(root, std::string(base) + ".dds", lw::tools::makeEyeTexture(style));
        ok &= writeFile(root, std::string(base) + "_n.dds", lw::tools::makeFlatNormalMap(64));
    }

    std::set<std::string> meshes, icons;
    for (const auto& row : lw::modshift::kArmourReplacements) {
        for (std::string_view m : row.models)
            meshes.insert(std::string(m));
        icons.insert(std::string(row.icon));
    }
    for (const std::string& m : meshes)
        ok &= writeFile(root, "Meshes\\Armor\\" + m, lw::tools::makeArmourMesh(m));
    for (const std::string& i : icons)
        ok &= writeFile(root, "Textures\\Menus\\Icons\\Armor\\" + i,
                        lw::tools::makeArmourIcon(i.find("bonemold") != std::string::npos, i));

    if (!ok)
        return 1;
    return writeFile(stamp.parent_path(), stamp.filename().string(), Bytes{'o', 'k', '\n'}) ? 0 : 1;
}
