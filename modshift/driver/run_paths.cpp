#include "modshift/driver/run_paths.hpp"

namespace lw::modshift {

namespace {
bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::string_view dropLast(std::string_view s, std::size_t n)
{
    return s.substr(0, s.size() >= n ? s.size() - n : 0);
}
} // namespace

std::string programFolderOf(std::string_view programPath)
{
    for (std::size_t i = programPath.size(); i-- > 1;)
        if (isSeparator(programPath[i]))
            return std::string(programPath.substr(0, i + 1));
    return {};
}

std::string pluginNameOf(std::string_view inputPath)
{
    std::size_t start = 0;
    for (std::size_t i = inputPath.size(); i-- > 0;) {
        if (isSeparator(inputPath[i])) {
            start = i + 1;
            break;
        }
    }
    return std::string(dropLast(inputPath.substr(start), 4));
}

PluginKind pluginKindOf(std::string_view inputPath)
{
    if (inputPath.ends_with(".esm"))
        return PluginKind::Esm;
    if (inputPath.ends_with(".esp"))
        return PluginKind::Esp;
    return PluginKind::Unsupported;
}

std::string outputPathOf(std::string_view inputPath, PluginKind kind)
{
    return std::string(dropLast(inputPath, 4)) + (kind == PluginKind::Esm ? "_ob.esm" : "_ob.esp");
}

std::string logPathOf(std::string_view outputPath)
{
    return std::string(dropLast(outputPath, 3)) + "log";
}

} // namespace lw::modshift
