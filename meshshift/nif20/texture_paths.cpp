#include "meshshift/nif20/texture_paths.hpp"

#include "common/bsa/bsa_archive.hpp"
#include "common/fs/folders.hpp"
#include "common/platform/platform.hpp"
#include "meshshift/driver/mesh_job.hpp"

namespace lw::meshshift {

std::string mapNameCharacters(std::string_view name)
{
    std::string out(name);
    for (char& c : out) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '\\' || c == '/';
        if (keep)
            continue;
        switch (c) {
        case '-': c = 'T'; break;
        case '.': c = 'P'; break;
        case ' ': c = 'S'; break;
        case '_': c = 'U'; break;
        case ',': c = 'V'; break;
        default: c = 'X'; break;
        }
    }
    return out;
}

bool climbsOut(std::string_view path)
{
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = path.size();
        if (path.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

void placeNormalMap(MeshJob& job, std::string_view texture)
{
    const std::string normalMap = std::string(texture.substr(0, texture.size() - 4)) + "_n.dds";
    if (!job.platform.findFile(normalMap))
        job.platform.copyFileNoReplace(job.templateTexturePath, normalMap);
}

std::string convertTextureReference(MeshJob& job, std::string_view fileName)
{
    // The name keeps its length: its last three characters become "dds".
    std::string name(fileName);
    const std::size_t ext = name.size() >= 3 ? name.size() - 3 : 0;
    name.replace(ext, std::string::npos, std::string("dds").substr(0, name.size() - ext));

    // Only these two spellings of the folder are taken off.
    if (name.starts_with("Textures\\") || name.starts_with("textures\\"))
        name.erase(0, 9);

    const std::string stem = name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string{};
    const std::string relative = mapNameCharacters(stem) + ".dds";

    const Config& config = job.config;
    std::string destination = config.targetData + "\\Textures\\" + config.assetSubfolder + "\\" + relative;
    if (!job.platform.findFile(destination)) {
        createFoldersFor(job.platform, destination);
        // A name that climbs out of the source data folder counts as missing
        // there; the archive only holds what it holds.
        const std::string source = config.sourceData + "\\Textures\\" + name;
        if (!climbsOut(name) && job.platform.findFile(source)) {
            job.platform.copyFileNoReplace(source, destination);
        } else if (job.archive) {
            // A texture found nowhere is no error: the mesh still names it.
            std::string entry = "textures\\" + name;
            job.archive->extract(entry, destination);
        }
    }

    placeNormalMap(job, destination);
    return "Textures\\" + config.assetSubfolder + "\\" + relative;
}

} // namespace lw::meshshift
