// meshshift.ini as users write it, and as it should never break the reader.
#include "common/config/config.hpp"
#include "common/console/console.hpp"
#include "fuzz/memory_platform.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lw::fuzz::MemoryPlatform platform;
    platform.add("meshshift.ini", data, size);
    lw::Console console = lw::Console::capturing();
    lw::Config config;
    lw::readConfig(platform, console, "meshshift.ini", config);
    return 0;
}
