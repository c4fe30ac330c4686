#pragma once
// Convert mesh: names the converted form of a record's model and, when the
// target mesh file does not exist yet, starts the mesh converter on it and
// waits for its exit status.
//
// For a TES3 model path M (relative to the Meshes folder) and a type folder F:
//   converted name N   = identifier conversion of M without its extension + ".nif"
//   target mesh file   = target data + "\Meshes\" + F + asset subfolder + "\" + N
//   TES4 model path    = F + asset subfolder + "\" + N
//   command line       = mesh converter + " \"" + M + options + F + asset + "\" + N [+ " -f"]
// The options open with the quote that closes M and end with "-d ".

#include <cstdint>
#include <string>
#include <string_view>

namespace lw::modshift {

struct Conversion;

struct MeshRequest {
    std::string_view folder;         // type folder with its trailing "\", or empty
    std::string_view options;        // e.g. "\" -d "
    bool furniture = false;          // adds " -f"
    const char* announce = nullptr;  // printf format with one %s: printed with the
                                     // command line right before the converter starts
};

struct MeshResult {
    bool keep = false;      // the mesh exists or was converted: the record may use it
    bool started = false;   // the mesh converter was started
    std::string modelPath;  // TES4 model path (empty when the model path is unusable)
};

// Normalises the MODL text of `modlNode` in place (its last four characters
// become ".nif") and converts the mesh as needed. A model path of fewer than
// four characters cannot be named and is refused without starting anything.
// When the converter cannot be started at all, a message names the program
// and the record is refused. A model path that could lead the converter
// outside the data folders (see unsafeModelPath) is refused with the message
// "unusable model path %s\n", without starting anything.
MeshResult convertMesh(Conversion& c, std::int32_t modlNode, const MeshRequest& request);

// Whether a model path must not reach the mesh converter: a double quote
// (it would end the quoted name on the command line and let the plugin add
// options of its own), a leading "\\" or "/" or a drive (the converter would
// find it outside the source data folder and write its output relative to the
// current folder), or a ".." folder (the same by climbing out).
bool unsafeModelPath(std::string_view modelPath);

// The converted mesh name N of an already normalised model path.
std::string convertedMeshName(std::string_view modelPath);

} // namespace lw::modshift
