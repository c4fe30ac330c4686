// Writes one of the shipped textures as an uncompressed 32-bit DDS file:
//   gen_textures <output> normal   a 16x16 flat normal map with its mipmaps
//   gen_textures <output> icon     a 64x64 placeholder inventory icon
//
// Layout written: "DDS ", the 124-byte header (caps, height, width, pitch,
// mipmap count, pixel format A8R8G8B8), then each mipmap level's pixels, row
// by row, 4 bytes per pixel in the order blue, green, red, alpha.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.hpp"
#include "common/io/byte_writer.hpp"
#include "common/platform/platform.hpp"

namespace {

struct Pixel {
    std::uint8_t r, g, b, a;
};

constexpr std::uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8, kPixelFormat = 0x1000,
                        kMipmapCount = 0x20000;
constexpr std::uint32_t kAlphaPixels = 0x1, kRgb = 0x40;
constexpr std::uint32_t kComplex = 0x8, kTexture = 0x1000, kMipmap = 0x400000;

// `pixel(x, y, level)` gives the colour of each texel of each mipmap level.
std::vector<std::uint8_t> makeDds(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                  const std::function<Pixel(std::uint32_t, std::uint32_t, std::uint32_t)>& pixel)
{
    std::vector<std::uint8_t> bytes;
    lw::ByteWriter out(bytes);
    out.u32(0x20534444); // "DDS "
    out.u32(124);
    out.u32(kCaps | kHeight | kWidth | kPitch | kPixelFormat | (levels > 1 ? kMipmapCount : 0));
    out.u32(height);
    out.u32(width);
    out.u32(width * 4); // pitch of the top level
    out.u32(0);         // depth
    out.u32(levels);
    out.zeros(11 * 4);
    // Pixel format: 32 bytes.
    out.u32(32);
    out.u32(kRgb | kAlphaPixels);
    out.u32(0); // no FourCC
    out.u32(32);
    out.u32(0x00FF0000); // red mask
    out.u32(0x0000FF00); // green
    out.u32(0x000000FF); // blue
    out.u32(0xFF000000); // alpha
    out.u32(kTexture | (levels > 1 ? kComplex | kMipmap : 0));
    out.zeros(4 * 4); // caps 2 to 4, reserved

    for (std::uint32_t level = 0; level < levels; ++level) {
        const std::uint32_t w = width > (1u << level) ? width >> level : 1;
        const std::uint32_t h = height > (1u << level) ? height >> level : 1;
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x) {
                Pixel p = pixel(x, y, level);
                out.u8(p.b);
                out.u8(p.g);
                out.u8(p.r);
                out.u8(p.a);
            }
    }
    return bytes;
}

// Every normal points straight out of the surface (0, 0, 1); alpha 0 keeps the
// surface matte, as the source game's textures had no specular maps.
std::vector<std::uint8_t> flatNormalMap()
{
    return makeDds(16, 16, 5, [](std::uint32_t, std::uint32_t, std::uint32_t) { return Pixel{128, 128, 255, 0}; });
}

// A grey frame with a diagonal stroke on a transparent ground: plainly a
// stand-in, readable at inventory size.
std::vector<std::uint8_t> placeholderIcon()
{
    return makeDds(64, 64, 1, [](std::uint32_t x, std::uint32_t y, std::uint32_t) {
        const bool inside = x >= 4 && x < 60 && y >= 4 && y < 60;
        const bool frame = inside && (x < 7 || x >= 57 || y < 7 || y >= 57);
        const int d = static_cast<int>(x) + static_cast<int>(y) - 63;
        const bool stroke = inside && d >= -2 && d <= 2 && x > 12 && x < 52;
        if (frame || stroke)
            return Pixel{190, 190, 190, 255};
        if (inside)
            return Pixel{60, 60, 60, 160};
        return Pixel{0, 0, 0, 0};
    });
}

} // namespace

int main(int argc, char** argv)
{
    lw::Console console;
    if (argc != 3) {
        console.print("usage: gen_textures <output> normal|icon\n");
        return 1;
    }
    const std::string_view kind = argv[2];
    std::vector<std::uint8_t> bytes;
    if (kind == "normal")
        bytes = flatNormalMap();
    else if (kind == "icon")
        bytes = placeholderIcon();
    else {
        console.print("gen_textures: unknown texture %s\n", argv[2]);
        return 1;
    }
    auto platform = lw::makeSystemPlatform();
    if (!platform->writeFile(argv[1], bytes)) {
        console.print("gen_textures: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
