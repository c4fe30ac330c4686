// Textures and sounds for the demo data set.

#include <cmath>
#include <numbers>

#include "common/io/byte_writer.hpp"
#include "demo_data.hpp"

namespace lw::demo {

std::vector<std::uint8_t> demoTexture(unsigned width, unsigned height, std::uint32_t seed)
{
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.chars("DDS ");
    w.u32(124);                      // header size
    w.u32(0x1 | 0x2 | 0x4 | 0x1000 | 0x8); // caps, height, width, pixel format, pitch
    w.u32(height);
    w.u32(width);
    w.u32(width * 4);                // pitch
    w.u32(0);                        // depth
    w.u32(0);                        // mip maps
    w.zeros(44);                     // reserved
    w.u32(32);                       // pixel format size
    w.u32(0x41);                     // RGB with alpha
    w.u32(0);                        // no four-character code
    w.u32(32);                       // bits per pixel
    w.u32(0x00FF0000);               // red mask
    w.u32(0x0000FF00);               // green mask
    w.u32(0x000000FF);               // blue mask
    w.u32(0xFF000000);               // alpha mask
    w.u32(0x1000);                   // texture
    w.zeros(16);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            std::uint32_t v = seed * 2654435761u + ((x / 2 + y / 2) & 1u) * 0x303030u;
            w.u8(static_cast<std::uint8_t>(v));
            w.u8(static_cast<std::uint8_t>(v >> 8));
            w.u8(static_cast<std::uint8_t>(v >> 16));
            w.u8(0xFF);
        }
    return out;
}

std::vector<std::uint8_t> demoSound(double frequency, double seconds)
{
    const std::uint32_t rate = 11025;
    const auto samples = static_cast<std::uint32_t>(rate * seconds);
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.chars("RIFF");
    w.u32(36 + samples * 2);
    w.chars("WAVEfmt ");
    w.u32(16);
    w.u16(1); // PCM
    w.u16(1); // mono
    w.u32(rate);
    w.u32(rate * 2);
    w.u16(2);
    w.u16(16);
    w.chars("data");
    w.u32(samples * 2);
    for (std::uint32_t i = 0; i < samples; ++i) {
        double fade = 1.0 - static_cast<double>(i) / samples;
        double s = std::sin(2.0 * std::numbers::pi * frequency * i / rate) * fade * 12000.0;
        w.i16(static_cast<std::int16_t>(std::lround(s)));
    }
    return out;
}

} // namespace lw::demo
