#pragma once
// The static attenuation of a sound, in hundredths of a decibel, from the
// source game's volume byte (255 loudest): 255 gives 0, 191 gives 150,
// 127 gives 300 and 0 gives 2400.

#include <cstdint>

namespace lw::modshift {

constexpr std::int16_t staticAttenuation(std::uint8_t volume)
{
    unsigned v = static_cast<unsigned>(volume) + 1; // 1 to 256
    int a = 0;
    while ((v & 0x100) == 0) { // each halving of the volume: 3 dB
        v *= 2;
        a += 300;
    }
    a -= static_cast<int>((v & 0xFF) * 300 / 255); // the rest, linearly
    return static_cast<std::int16_t>(a);
}

} // namespace lw::modshift
