#include "meshshift/textures/dds_file.hpp"

#include <algorithm>

#include "common/io/byte_writer.hpp"

namespace lw::meshshift {
namespace {

// Header flags: the fields that are filled in.
constexpr std::uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8, kPixelFormat = 0x1000,
                        kMipMapCount = 0x20000, kLinearSize = 0x80000;
// Pixel format flags.
constexpr std::uint32_t kAlphaPixels = 0x1, kFourCC = 0x4, kRgb = 0x40;
// Surface capabilities.
constexpr std::uint32_t kComplex = 0x8, kTexture = 0x1000, kMipMap = 0x400000;

bool compressed(DdsFormat f) { return f != DdsFormat::Bgr24 && f != DdsFormat::Bgra32; }

std::uint32_t fourCC(const char (&code)[5])
{
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[0])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[3])) << 24;
}

} // namespace

std::uint64_t ddsLevelSize(DdsFormat format, std::uint64_t width, std::uint64_t height)
{
    switch (format) {
    case DdsFormat::Bgr24: return width * height * 3;
    case DdsFormat::Bgra32: return width * height * 4;
    case DdsFormat::Dxt1: return std::max<std::uint64_t>(1, (width + 3) / 4) * std::max<std::uint64_t>(1, (height + 3) / 4) * 8;
    default: return std::max<std::uint64_t>(1, (width + 3) / 4) * std::max<std::uint64_t>(1, (height + 3) / 4) * 16;
    }
}

std::vector<std::uint8_t> encodeDds(const DdsImage& image)
{
    std::vector<std::uint8_t> bytes;
    ByteWriter out(bytes);
    const bool packed = compressed(image.format);
    const bool mipmapped = image.mipCount > 1;

    out.chars("DDS ");
    out.u32(124);
    out.u32(kCaps | kHeight | kWidth | kPixelFormat | (packed ? kLinearSize : kPitch) | (mipmapped ? kMipMapCount : 0));
    out.u32(image.height);
    out.u32(image.width);
    // Row pitch of an uncompressed image; size of the top level of a compressed one.
    out.u32(static_cast<std::uint32_t>(packed ? ddsLevelSize(image.format, image.width, image.height)
                                              : ddsLevelSize(image.format, image.width, 1)));
    out.u32(0); // depth
    out.u32(image.mipCount);
    out.zeros(11 * 4);

    out.u32(32);
    switch (image.format) {
    case DdsFormat::Bgr24:
    case DdsFormat::Bgra32: {
        const bool alpha = image.format == DdsFormat::Bgra32;
        out.u32(kRgb | (alpha ? kAlphaPixels : 0));
        out.u32(0);
        out.u32(alpha ? 32 : 24);
        out.u32(0x00FF0000); // red
        out.u32(0x0000FF00); // green
        out.u32(0x000000FF); // blue
        out.u32(alpha ? 0xFF000000 : 0);
        break;
    }
    default:
        out.u32(kFourCC);
        out.u32(image.format == DdsFormat::Dxt1 ? fourCC("DXT1") : image.format == DdsFormat::Dxt3 ? fourCC("DXT3") : fourCC("DXT5"));
        out.zeros(5 * 4);
        break;
    }

    out.u32(kTexture | (mipmapped ? kComplex | kMipMap : 0));
    out.zeros(4 * 4); // caps 2 to 4, reserved
    out.bytes(image.pixels);
    return bytes;
}

} // namespace lw::meshshift
