#pragma once
// Textures of a converted mesh: each external texture becomes a DDS file in the
// asset subfolder below the target data folder's "Textures\" folder, copied
// from the source data folder or taken out of the archive, with a normal map
// beside it made from the program's "template_n.dds".

#include <string>
#include <string_view>

namespace lw::meshshift {

struct MeshJob;

// The file-name-safe form of a name: letters, digits, "\" and "/" stay;
// "-" "." " " "_" "," become T P S U V; anything else becomes X.
std::string mapNameCharacters(std::string_view name);

// Whether a relative path has a ".." folder, which would lead out of the data
// folder it is joined to. Such a texture source counts as missing.
bool climbsOut(std::string_view path);

// Copies the program's "template_n.dds" beside the DDS file `texture` (its
// name with "_n" before ".dds") unless a normal map is already there.
void placeNormalMap(MeshJob& job, std::string_view texture);

// Copies the texture named `fileName` (as stored in the mesh) and its normal
// map into place; returns the name the converted mesh uses for it.
std::string convertTextureReference(MeshJob& job, std::string_view fileName);

} // namespace lw::meshshift
