// The checksum of stored land blocks is computed with one reduction per run of
// bytes; it must equal the definition (a reduction after every byte) on any
// data, including runs of 0xFF that drive the sums highest between reductions.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "modshift/world/landscape.hpp"

namespace {

std::uint32_t definition(const std::vector<std::uint8_t>& data)
{
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

TEST(Adler32, EqualsTheDefinitionOnRandomData)
{
    std::mt19937 rng(12);
    for (int round = 0; round < 300; ++round) {
        // Lengths around the run length (5552) and its multiples, and land-sized blocks.
        const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 3 * 5552 + 20)(rng);
        std::vector<std::uint8_t> data(length);
        const int style = round % 3;
        for (std::uint8_t& v : data)
            v = style == 0 ? 0xFF : static_cast<std::uint8_t>(rng() & (style == 1 ? 0xFF : 0x0F));
        EXPECT_EQ(lw::modshift::adler32(data), definition(data)) << "length " << length << " style " << style;
    }
}

TEST(Adler32, RunBoundariesWithLargestBytes)
{
    for (std::size_t length : {std::size_t{5551}, std::size_t{5552}, std::size_t{5553}, std::size_t{11104},
                               std::size_t{65535}}) {
        std::vector<std::uint8_t> data(length, 0xFF);
        EXPECT_EQ(lw::modshift::adler32(data), definition(data)) << length;
    }
}

} // namespace
