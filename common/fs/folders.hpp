#pragma once
#include <string>

namespace lw {

class Platform;

// Creates every folder along `path`, outermost first, skipping a drive root
// ("C:\"). Every "/" in `path` becomes "\". Failures are ignored: a later file
// operation in the folder shows them.
void createFolderPath(Platform& platform, std::string& path);

// Cuts a file path at its last separator and creates the folders in front of it.
void createFoldersFor(Platform& platform, std::string& filePath);

} // namespace lw
