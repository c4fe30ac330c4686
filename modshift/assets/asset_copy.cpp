#include "modshift/assets/asset_copy.hpp"

#include <optional>
#include <string>
#include <string_view>

#include "common/fs/folders.hpp"
#include "modshift/driver/conversion.hpp"

namespace lw::modshift {

namespace {

// A source name with a ".." folder would reach files outside the source data
// folder's asset folders; such a name counts as missing there.
bool climbsOut(std::string_view source)
{
    std::size_t start = 0;
    while (start <= source.size()) {
        std::size_t end = source.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = source.size();
        if (source.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

// A loose source file below the source data folder, when there is one.
std::optional<std::string> findLoose(Conversion& c, std::string_view folder, std::string_view source,
                                     std::string& path)
{
    path = c.config.sourceData + std::string(folder) + std::string(source);
    if (climbsOut(source))
        return std::nullopt;
    return c.platform.findFile(path);
}

// Counts a copy that put a file in place; one that could not is reported
// missing when it names the asset (`kind`).
void noteCopy(Conversion& c, bool copied, std::string_view kind = {}, std::string_view path = {})
{
    if (copied)
        c.log.fileCopied();
    else if (!kind.empty())
        c.log.missingAsset(kind, path);
}

// The normal map's name: the texture's ".dds" becomes "_n.dds".
std::string normalMapPath(const std::string& texture)
{
    return texture.substr(0, texture.size() - 4) + "_n.dds";
}

} // namespace

void copyTexture(Conversion& c, std::string_view source, std::string_view destination)
{
    std::string target = c.config.targetData + "\\Textures\\" + std::string(destination);
    if (!c.platform.findFile(target)) {
        createFoldersFor(c.platform, target);
        std::string loose;
        if (auto found = findLoose(c, "\\Textures\\", source, loose)) {
            c.console.print("Texture file %s copied\n", found->c_str());
            noteCopy(c, c.platform.copyFileNoReplace(loose, target));
        } else {
            std::string entry = "textures\\" + std::string(source);
            // Neither loose nor archived: skipped quietly on the console.
            noteCopy(c, c.archive.extract(entry, target) == 0, "texture", loose);
        }
    }
    // The normal map is made whatever became of the texture itself.
    if (target.size() < 4)
        return;
    const std::string normal = normalMapPath(target);
    if (!c.platform.findFile(normal))
        noteCopy(c, c.platform.copyFileNoReplace(c.paths.templateTexture, normal));
}

void copyIcon(Conversion& c, std::string_view source, std::string_view destination)
{
    std::string target = c.config.targetData + "\\Textures\\Menus\\Icons\\" + std::string(destination);
    if (auto found = c.platform.findFile(target)) {
        c.console.print("Icon file %s already exists\n", found->c_str());
        return;
    }
    createFoldersFor(c.platform, target);
    std::string loose;
    if (auto found = findLoose(c, "\\Icons\\", source, loose)) {
        c.console.print("Icon file %s copied\n", found->c_str());
        noteCopy(c, c.platform.copyFileNoReplace(loose, target));
        return;
    }
    std::string entry = "icons\\" + std::string(source);
    if (c.archive.extract(entry, target) == 0) {
        c.log.fileCopied();
        return;
    }
    c.log.missingAsset("icon", loose); // the placeholder stands in for it
    noteCopy(c, c.platform.copyFileNoReplace(c.paths.programFolder + "iconWeap.dds", target));
}

void copySound(Conversion& c, std::string_view source, std::string_view destination)
{
    std::string target = c.config.targetData + "\\Sound\\" + std::string(destination);
    if (c.platform.findFile(target))
        return;
    createFoldersFor(c.platform, target);
    std::string loose;
    if (findLoose(c, "\\Sound\\", source, loose)) {
        noteCopy(c, c.platform.copyFileNoReplace(loose, target));
    } else {
        c.console.print("Sound file %s does not exist\n", loose.c_str());
        c.log.missingAsset("sound", loose);
    }
}

} // namespace lw::modshift
