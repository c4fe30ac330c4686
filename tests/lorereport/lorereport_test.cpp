// The built lorereport on what the built modshift made of a fixture plugin:
// its numbers against what the fixture holds, its map decoded with libpng.

#include <gtest/gtest.h>

#include <filesystem>
#include <png.h>

#include "support/installation.hpp"
#include "support/tes3_builder.hpp"

namespace {

namespace fs = std::filesystem;
using lw::test::Fields;
using lw::test::RunResult;
using lw::test::Tes3Builder;

// A reference; with a destination (empty: none) it is a teleport door.
void ref(Tes3Builder& b, std::uint32_t index, std::string_view name, float x, float y, const char* destination = nullptr)
{
    b.u32("FRMR", index).text("NAME", name);
    if (destination)
        b.sub("DODT", Fields().f32(100).f32(100).f32(0).zeros(12));
    if (destination && *destination)
        b.text("DNAM", destination);
    b.sub("DATA", Fields().f32(x).f32(y).f32(0).zeros(12));
}

std::vector<std::uint8_t> fixturePlugin()
{
    Tes3Builder b;
    b.header("tester", "report fixture");
    b.record("SOUN").text("NAME", "wind").text("FNAM", "wind.wav").sub("DATA", Fields().u8(200).u8(0).u8(0)).end();
    b.record("REGN").text("NAME", "Moor").text("FNAM", "Moor")
        .sub("WEAT", Fields().u8(100).zeros(7)).u32("CNAM", 0x00336699).end();
    b.record("DOOR").text("NAME", "gate").text("MODL", "gate.nif").end();
    b.record("STAT").text("NAME", "stone").text("MODL", "stone.nif").end();
    b.record("CELL").text("NAME", "Hut").sub("DATA", Fields().u32(1).i32(0).i32(0));
    ref(b, 1, "gate", 0, 0, "");
    ref(b, 2, "stone", 10, 10);
    b.end();
    for (int x = 0; x < 2; ++x) {
        b.record("CELL").text("NAME", "").sub("DATA", Fields().u32(0).i32(x).i32(0)).text("RGNN", "Moor");
        ref(b, 10 + static_cast<std::uint32_t>(x), "stone", static_cast<float>(x * 8192 + 1000), 1000);
        if (x == 1)
            ref(b, 20, "gate", 8192 + 6000, 6000, "Hut");
        b.end();
        // Flat land, higher to the east, so the cells can be told apart by their shade.
        b.record("LAND").sub("INTV", Fields().i32(x).i32(0)).u32("DATA", 0x0B).sub("VNML", Fields().zeros(65 * 65 * 3));
        b.sub("VHGT", Fields().f32(static_cast<float>(50 * x)).zeros(65 * 65 + 3)).end();
    }
    return b.bytes();
}

TEST(LoreReport, CountsAndMapsWhatTheConversionWrote)
{
    lw::test::Installation inst;
    // Meshes converted by an earlier run: modshift starts no meshshift.
    inst.dir.writeFile("ob/Data/Meshes/conv/gate.nif", "mesh");
    inst.dir.writeFile("ob/Data/Meshes/conv/stone.nif", "mesh");
    const fs::path plugin = inst.dir.writeFile("mw/Data Files/fixture.esp", fixturePlugin());
    RunResult r = inst.modshift({plugin.string()});
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();
    const std::string png = (inst.dir / "map.png").string();
    r = inst.run("lorereport", {inst.source() + "/fixture_ob.esp", inst.target(), "--map", png});
    ASSERT_TRUE(r.exitedWith(0)) << r.describe() << r.out;
    // Two exterior TES3 cells give 8 TES4 cells; with the interior and the
    // persistent world cell that is 10 CELL records, and 8 LAND records.
    for (const char* line : {"Masters: Oblivion.esm\n", "  CELL     10\n", "  DOOR      1\n", "  LAND      8\n",
                             "  STAT      1\n", ": ok\n", "Form identifiers: 31 new, 0x01000CE6 to 0x01000D04,",
                             "  interior persistent 1, interior temporary 1\n",
                             "  exterior persistent 1, exterior temporary 2\n", "Teleport doors: 2 (2 paired, 0 unpaired)\n",
                             "  0Moor                              4 outline points", "  mesh        2 named,    2 present\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str())) << image.message;
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
    // TES4 cells 0..3 by 0..1, 32 pixels each, plus the closing grid line.
    ASSERT_EQ(image.width, 4u * 32 + 1);
    ASSERT_EQ(image.height, 2u * 32 + 1);
    // The pixel `x` from the west and `y` from the south.
    auto at = [&](std::size_t x, std::size_t y) {
        const std::size_t i = ((image.height - 1 - y) * image.width + x) * 3;
        return static_cast<std::uint32_t>(pixels[i]) << 16 | static_cast<std::uint32_t>(pixels[i + 1]) << 8 |
               pixels[i + 2];
    };
    // 32 pixels for 4096 units: the stone at (1000, 1000) is a red dot at
    // pixel (7, 7); the door at (14192, 6000) a yellow square at (110, 46).
    EXPECT_EQ(at(7, 7), 0xE02020u);
    EXPECT_EQ(at(110, 46), 0xFFD800u);
    // The region's outline, from cell centre to cell centre, in its colour:
    // red 0x99, green 0x66, blue 0x33 as the plugin stores them.
    EXPECT_EQ(at(16, 44), 0x996633u);
    // Land shading is grey; the higher cell to the east is lighter.
    const std::uint32_t low = at(20, 5), high = at(64 + 20, 5);
    EXPECT_EQ(low & 0xFF, (low >> 8) & 0xFF);
    EXPECT_GT(high & 0xFF, low & 0xFF);
}

} // namespace
