// The BSA directory, then lookups and copies out of whatever it accepted.
#include "common/bsa/bsa_archive.hpp"
#include "common/console/console.hpp"
#include "fuzz/memory_platform.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lw::fuzz::MemoryPlatform platform;
    platform.add("data.bsa", data, size);
    lw::Console console = lw::Console::capturing();
    lw::BsaArchive archive(platform, console, true);
    if (archive.open("data.bsa") == 0) {
        for (const char* name : {"meshes\\a.nif", "Textures\\B.dds", "icons\\c.dds", "a"}) {
            std::string entry = name;
            (void)archive.read(entry);
            entry = name;
            archive.extract(entry, "out");
        }
        archive.close();
    }
    return 0;
}
