#pragma once
// DDS files as the game's renderer loads them: the magic "DDS ", a 124-byte
// header with its 32-byte pixel format, then every mip level, largest first,
// each row after row from the top. Uncompressed pixels lie in memory as
// blue, green, red (and alpha), which is what the header's masks say.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lw::meshshift {

enum class DdsFormat {
    Bgr24,  // 3 bytes per pixel, no alpha
    Bgra32, // 4 bytes per pixel with alpha
    Dxt1,   // compressed, 8 bytes per block of 4x4 pixels
    Dxt3,   // compressed, 16 bytes per block
    Dxt5,   // compressed, 16 bytes per block
};

struct DdsImage {
    DdsFormat format = DdsFormat::Bgr24;
    std::uint32_t width = 0, height = 0; // of the largest level
    std::uint32_t mipCount = 1;          // each level halves the one before, down to 1
    std::vector<std::uint8_t> pixels;    // every level in order, nothing between them
};

// The bytes one level of `width` x `height` pixels takes.
std::uint64_t ddsLevelSize(DdsFormat format, std::uint64_t width, std::uint64_t height);

// The whole file.
std::vector<std::uint8_t> encodeDds(const DdsImage& image);

} // namespace lw::meshshift
