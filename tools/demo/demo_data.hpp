#pragma once
// The demo data set: a Morrowind-style plugin, meshes, textures, icons and
// sounds, all made by the project.

#include <cstdint>
#include <string>
#include <vector>

namespace lw::demo {

// The sample plugin, and the master it names (file kDemoMasterName of the
// Morrowind data folder), of which it uses a few records.
std::vector<std::uint8_t> buildDemoPlugin();
std::vector<std::uint8_t> buildDemoMaster();
inline constexpr const char* kDemoMasterName = "LorewrightDemoBase.esm";

// One mesh of the data set: its path below Meshes\ (as the plugin names it)
// and the NIF 4.0.0.2 bytes.
struct DemoMesh {
    std::string path;
    std::vector<std::uint8_t> bytes;
    bool inArchive = false; // stored in the BSA instead of loose
};
std::vector<DemoMesh> buildDemoMeshes();

// Small uncompressed 32-bit DDS image filled with a pattern of `seed`.
std::vector<std::uint8_t> demoTexture(unsigned width, unsigned height, std::uint32_t seed);
// A short mono 16-bit PCM WAV tone.
std::vector<std::uint8_t> demoSound(double frequency, double seconds);

} // namespace lw::demo
