#include "common/fs/folders.hpp"

#include "common/platform/platform.hpp"

namespace lw {

void createFolderPath(Platform& platform, std::string& path)
{
    // From the second character on, so a leading separator (a root) is never
    // a folder of its own; a separator right after ":" ends a drive root.
    for (std::size_t i = 1; i < path.size(); ++i) {
        if ((path[i] == '\\' || path[i] == '/') && path[i - 1] != ':') {
            platform.createDirectory(std::string_view(path).substr(0, i));
            path[i] = '\\';
        }
    }
    if (!path.empty())
        platform.createDirectory(path);
}

void createFoldersFor(Platform& platform, std::string& filePath)
{
    const std::size_t cut = filePath.find_last_of("\\/");
    if (cut == std::string::npos)
        return;
    std::string folder = filePath.substr(0, cut);
    createFolderPath(platform, folder);
    filePath.replace(0, cut, folder);
}

} // namespace lw
