// The output can be handed to a sink in blocks while it is written, with the
// sizes, the record count and the door links patched afterwards in the sink.
// On randomized plugins (land, path grids, regions, teleport doors) the
// streamed file must equal the output assembled in memory byte for byte, with
// the same console text, whatever the block size.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/console/console.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/run.hpp"
#include "support/fake_platform.hpp"
#include "support/tes3_builder.hpp"

namespace lw::modshift {
namespace {

using lw::test::FakePlatform;
using lw::test::Fields;
using lw::test::Tes3Builder;

// A file in memory that counts how it was written.
class MemorySink : public OutputSink {
public:
    std::vector<std::uint8_t> file;
    int writes = 0;
    int rewrites = 0;
    bool refuse = false;

    bool write(std::span<const std::uint8_t> bytes) override
    {
        ++writes;
        file.insert(file.end(), bytes.begin(), bytes.end());
        return !refuse;
    }
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        ++rewrites;
        EXPECT_LE(offset + bytes.size(), file.size()) << "rewrite past the end";
        for (std::size_t i = 0; i < bytes.size() && offset + i < file.size(); ++i)
            file[static_cast<std::size_t>(offset) + i] = bytes[i];
        return true;
    }
};

std::vector<std::uint8_t> randomPlugin(std::uint32_t seed)
{
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Tes3Builder b;
    b.header("perf", "streamed");
    for (int i = 0; i < 3; ++i)
        b.record("LTEX").text("NAME", "ltex" + std::to_string(i)).i32("INTV", i).text("DATA", "tx.dds").end();
    for (int r = 0; r < 3; ++r)
        b.record("REGN").text("NAME", "region" + std::to_string(r)).text("FNAM", "Region")
            .sub("WEAT", Fields().u8(50).u8(50).zeros(6)).u32("CNAM", static_cast<std::uint32_t>(0x102030 * (r + 1)))
            .end();
    for (int i = 0; i < 4; ++i)
        b.record("STAT").text("NAME", "stat" + std::to_string(i)).text("MODL", "s" + std::to_string(i) + ".nif").end();
    b.record("DOOR").text("NAME", "door").text("MODL", "door.nif").end();

    std::uint32_t ref = 1;
    auto placed = [&](const std::string& name, int x, int y) {
        b.u32("FRMR", ref++).text("NAME", name).sub("DATA", Fields().f32(static_cast<float>(x)).f32(static_cast<float>(y)).zeros(16));
    };
    const int interiors = pick(1, 4);
    for (int c = 0; c < interiors; ++c) {
        b.record("CELL").text("NAME", "Inside " + std::to_string(c)).sub("DATA", Fields().u32(1).i32(0).i32(0));
        for (int r = pick(0, 5); r > 0; --r)
            placed("stat" + std::to_string(pick(0, 3)), pick(-500, 500), pick(-500, 500));
        b.u32("FRMR", ref++).text("NAME", "door").sub("DODT", Fields().f32(100).f32(200).zeros(16))
            .sub("DATA", Fields().zeros(24));
        b.end();
    }
    const int side = pick(2, 4);
    int door = 0;
    for (int x = -1; x < side - 1; ++x)
        for (int y = -1; y < side - 1; ++y) {
            b.record("CELL").text("NAME", "").sub("DATA", Fields().u32(0).i32(x).i32(y));
            b.text("RGNN", "region" + std::to_string(pick(0, 2)));
            for (int r = pick(0, 30); r > 0; --r)
                placed("stat" + std::to_string(pick(0, 3)), x * 8192 + pick(-2000, 10000), y * 8192 + pick(-2000, 10000));
            if (door < interiors) {
                b.u32("FRMR", ref++).text("NAME", "door").sub("DODT", Fields().f32(5).f32(6).zeros(16))
                    .text("DNAM", "Inside " + std::to_string(door++))
                    .sub("DATA", Fields().f32(static_cast<float>(x * 8192 + 50)).f32(static_cast<float>(y * 8192 + 50)).zeros(16));
            }
            b.end();
            b.record("LAND").sub("INTV", Fields().i32(x).i32(y)).u32("DATA", 0x0F);
            Fields normals, heights, colours, textures;
            for (int i = 0; i < 65 * 65 * 3; ++i) {
                normals.u8(static_cast<std::uint8_t>(pick(0, 255)));
                colours.u8(static_cast<std::uint8_t>(pick(0, 255)));
            }
            heights.f32(static_cast<float>(pick(-3000, 3000)));
            const int steep = pick(0, 3) == 0 ? 127 : 4;
            for (int i = 0; i < 65 * 65; ++i)
                heights.i8(static_cast<std::int8_t>(pick(-steep, steep)));
            heights.zeros(3);
            for (int i = 0; i < 256; ++i)
                textures.u16(static_cast<std::uint16_t>(pick(0, 4)));
            b.sub("VNML", normals).sub("VHGT", heights).sub("VCLR", colours).sub("VTEX", textures).end();
            const int points = pick(1, 60);
            Fields pgrp, pgrc;
            for (int p = 0; p < points; ++p) {
                const int links = pick(0, 3);
                pgrp.i32(pick(-300, 8500)).i32(pick(-300, 8500)).i32(pick(-900, 900)).u8(0)
                    .u8(static_cast<std::uint8_t>(links)).u16(0);
                for (int l = 0; l < links; ++l)
                    pgrc.u32(static_cast<std::uint32_t>(pick(0, points)));
            }
            b.record("PGRD").sub("DATA", Fields().i32(x).i32(y).u16(1024).i16(static_cast<std::int16_t>(points)))
                .sub("PGRP", pgrp).sub("PGRC", pgrc).end();
        }
    return b.bytes();
}

struct Converted {
    std::vector<std::uint8_t> bytes;
    std::string console;
    bool ok = false;
};

Converted convert(const std::vector<std::uint8_t>& plugin, MemorySink* sink, std::size_t blockSize)
{
    FakePlatform platform;
    Console console = Console::capturing(std::string(64, '\n'));
    Conversion c(platform, console);
    c.paths.pluginName = "Plug";
    c.paths.programFolder = "/prog/";
    c.plugin = plugin;
    EXPECT_EQ(parseRecordTree(c.plugin, c.tree, console), 0) << console.captured();
    Converted r;
    r.ok = runConverters(c, sink, blockSize);
    r.bytes = sink != nullptr ? sink->file : c.out.bytes();
    if (sink != nullptr) {
        EXPECT_TRUE(c.out.bytes().empty()) << "everything handed over at the end";
    }
    r.console = console.captured();
    return r;
}

TEST(StreamedOutput, EqualsTheOutputHeldInMemory)
{
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        const std::vector<std::uint8_t> plugin = randomPlugin(seed);
        const Converted whole = convert(plugin, nullptr, 0);
        ASSERT_TRUE(whole.ok);
        ASSERT_GT(whole.bytes.size(), 100'000u) << whole.console;
        for (std::size_t block : {std::size_t{1}, std::size_t{777}, std::size_t{20'000}, std::size_t{1} << 24}) {
            MemorySink sink;
            const Converted streamed = convert(plugin, &sink, block);
            EXPECT_TRUE(streamed.ok);
            EXPECT_TRUE(streamed.bytes == whole.bytes) << "seed " << seed << " block " << block;
            EXPECT_EQ(streamed.console, whole.console) << "seed " << seed << " block " << block;
            if (block == 1) {
                EXPECT_GT(sink.writes, 100) << "handed over record by record";
                EXPECT_GT(sink.rewrites, 10) << "group sizes patched in the sink";
            }
        }
    }
}

TEST(StreamedOutput, RefusedWriteIsReported)
{
    const std::vector<std::uint8_t> plugin = randomPlugin(3);
    MemorySink sink;
    sink.refuse = true;
    EXPECT_FALSE(convert(plugin, &sink, 1000).ok);
}

} // namespace
} // namespace lw::modshift
