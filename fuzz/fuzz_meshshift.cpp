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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<std::uint8_t> templ = shippedTemplate();
    lw::fuzz::MemoryPlatform platform;
    platform.add("meshshift.ini", lw::fuzz::kIni);
    platform.files["bhktemp.nif"] = templ;
    platform.add("template_n.dds", "DDS ");
    platform.add("mesh.nif", data, size);
    lw::Console console = lw::Console::capturing();
    for (const char* layer : {"1", "2", "4"}) {
        const char* argv[] = {"meshshift", "mesh.nif", "-l", layer, "-d", "out\\mesh.nif"};
        lw::meshshift::runMeshshift(console, platform, 6, argv);
        console.clearCaptured();
    }
    return 0;
}
