#pragma once
// The file names of one run, derived from the command line. Paths are plain
// strings of any length.

#include <string>
#include <string_view>

namespace lw::modshift {

// The program's own path cut after its last "\" or "/" (separator kept);
// empty when no separator follows its first character.
std::string programFolderOf(std::string_view programPath);

// The file-name part of the input path (after its last "\" or "/") without
// its last four characters.
std::string pluginNameOf(std::string_view inputPath);

enum class PluginKind { Unsupported, Esp, Esm };
// Only the exact spellings ".esm" and ".esp" at the end are accepted.
PluginKind pluginKindOf(std::string_view inputPath);

// The input path with its last four characters replaced by "_ob.esp" or
// "_ob.esm" (by kind), and the output path with its last three replaced by "log".
std::string outputPathOf(std::string_view inputPath, PluginKind kind);
std::string logPathOf(std::string_view outputPath);

} // namespace lw::modshift
