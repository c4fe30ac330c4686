// A whole modshift run over a fuzzed plugin, in memory: every converter runs,
// meshes count as converted already, the output stays in memory.
#include "common/console/console.hpp"
#include "fuzz/memory_platform.hpp"
#include "modshift/driver/run.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lw::fuzz::MemoryPlatform platform;
    platform.add("meshshift.ini", lw::fuzz::kIni);
    platform.add("in.esp", data, size);
    lw::Console console = lw::Console::capturing();
    const std::string args[] = {"modshift", "in.esp"};
    lw::modshift::runModshift(args, platform, console);
    return 0;
}
