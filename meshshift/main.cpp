// meshshift: converts one Morrowind mesh (NIF 4.0.0.2) into an Oblivion mesh
// (NIF 20.0.0.5) with Havok collision. Usage: meshshift <mesh> [options]
#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "meshshift/driver/run.hpp"

int main(int argc, char** argv)
{
    lw::Console console;
    auto platform = lw::makeSystemPlatform();
    return lw::meshshift::runMeshshift(console, *platform, argc, argv);
}
