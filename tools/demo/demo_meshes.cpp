// Meshes of the demo data set.
#include "demo_data.hpp"

namespace lw::demo {

std::vector<DemoMesh> buildDemoMeshes()
{
    return {};
}

} // namespace lw::demo
