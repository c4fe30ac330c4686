#pragma once
// The template mesh for runs of the real program: the one the build ships,
// written by the program's own writer.

#include <cstdint>
#include <vector>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "meshshift/collision/template_content.hpp"
#include "meshshift/driver/mesh_job.hpp"
#include "meshshift/nif20/nif_writer.hpp"

namespace lw::meshshift::testing {

inline std::vector<std::uint8_t> buildTestTemplate()
{
    Console console = Console::capturing();
    auto platform = makeSystemPlatform();
    MeshJob job(console, *platform);
    collision::buildShippedTemplate(job);
    std::vector<std::uint8_t> out;
    if (writeScene(job, out) != 0)
        out.clear();
    return out;
}

} // namespace lw::meshshift::testing
