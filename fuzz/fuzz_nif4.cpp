// The NIF 4.0.0.2 reader over any bytes.
#include "common/console/console.hpp"
#include "fuzz/memory_platform.hpp"
#include "meshshift/driver/mesh_job.hpp"
#include "meshshift/nif4/nif4_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    lw::fuzz::MemoryPlatform platform;
    lw::Console console = lw::Console::capturing();
    lw::meshshift::MeshJob job(console, platform);
    job.sourceImage.assign(data, data + size);
    lw::meshshift::readSourceMesh(job);
    return 0;
}
