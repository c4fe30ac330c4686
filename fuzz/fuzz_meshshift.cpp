// A whole meshshift run (read, collision, write) over a fuzzed mesh, in
// memory, with the shipped template from the program folder.
#include <fstream>
#include <iterator>

#include "common/console/console.hpp"
#include "fuzz/memory_platform.hpp"
#include "meshshift/driver/run.hpp"

namespace {
std::vector<std::uint8_t> shippedTemplate()
{
    std::ifstream in(LW_BIN_DIR "/bhktemp.nif", std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}
} // namespace

// The first byte chooses the options (layer 1, 2, 4 or 5 and the -c, -f and
// -h switches), so the fuzzer explores every variant of the collision step
// while each execution runs one conversion; the rest is the mesh.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const std::vector<std::uint8_t> templ = shippedTemplate();
    const std::uint8_t choice = data[0];
    lw::fuzz::MemoryPlatform platform;
    platform.add("meshshift.ini", lw::fuzz::kIni);
    platform.files["bhktemp.nif"] = templ;
    platform.add("template_n.dds", "DDS ");
    platform.add("mesh.nif", data + 1, size - 1);
    lw::Console console = lw::Console::capturing();

    static constexpr const char* kLayers[] = {"1", "2", "4", "5"};
    std::vector<const char*> argv = {"meshshift", "mesh.nif", "-l", kLayers[choice & 3], "-d", "out\\mesh.nif"};
    if (choice & 4)
        argv.push_back("-c");
    if (choice & 8)
        argv.push_back("-f");
    if (choice & 16)
        argv.push_back("-h");
    lw::meshshift::runMeshshift(console, platform, static_cast<int>(argv.size()), argv.data());
    return 0;
}
