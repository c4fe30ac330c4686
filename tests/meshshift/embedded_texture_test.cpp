// Embedded textures become DDS files, read back here byte by byte.
#include <gtest/gtest.h>

#include "mesh_fixture.hpp"

namespace lw::meshshift::testing {
namespace {

using test::Nif4Builder;
using B = Nif4Builder;
using ByteList = std::vector<std::uint8_t>;
struct Level { std::uint32_t width, height, offset; };

// A version-4 NiPixelData: format, four masks, bits per pixel, 8 compare bytes,
// palette, level count, bytes per pixel, the levels, pixel count, pixels.
ByteList pixelData(std::uint32_t format, std::uint32_t bytesPerPixel, std::uint32_t palette,
                   std::vector<Level> levels, ByteList pixels)
{
    B::Bytes b;
    b.u32(format).u32(0).u32(0).u32(0).u32(0).u32(bytesPerPixel * 8).u32(0).u32(0);
    b.u32(palette).u32(static_cast<std::uint32_t>(levels.size())).u32(bytesPerPixel);
    for (const Level& l : levels)
        b.u32(l.width).u32(l.height).u32(l.offset);
    b.u32(static_cast<std::uint32_t>(pixels.size())).b.insert(b.b.end(), pixels.begin(), pixels.end());
    return b.b;
}
ByteList counting(std::uint8_t n) { ByteList v(n); for (std::uint8_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(i + 1); return v; }
const ByteList kRgb = pixelData(0, 3, B::kNone, {{4, 2, 0}, {2, 1, 24}}, counting(30));
const ByteList kPal = pixelData(2, 1, 10, {{2, 4, 0}, {1, 2, 8}}, {15, 1, 2, 3, 4, 5, 6, 7, 8, 0});

// The textured quad whose base texture (3) holds pixel data 7 and whose dark texture (8)
// holds pixel data 9 with palette 10: colour i is red 16+i, green 32+i, blue 48+i, alpha 64+i.
B mesh(const ByteList& base, const ByteList& paletted)
{
    B nif = B::texturedQuad();
    auto inside = [](std::uint32_t pixels) { B::SourceTexture t; t.external = false; t.pixelData = pixels; return t; };
    nif.block(3) = inside(7);
    nif.addRaw("NiPixelData", base);
    std::get<B::TexturingProperty>(nif.block(2)).slots[1] = B::TextureDesc{8};
    nif.add(inside(9));
    nif.addRaw("NiPixelData", paletted);
    B::Bytes palette;
    palette.u8(1).u32(16);
    for (int i = 0; i < 16; ++i)
        for (int channel : {16, 32, 48, 64})
            palette.u8(static_cast<std::uint8_t>(channel + i));
    nif.addRaw("NiPalette", palette.b);
    return nif;
}

struct Embedded : JobFixture {
    test::Nif20File convertMesh(const B& nif)
    {
        job.outputPath = job.config.targetData + "\\meshes\\conv\\x\\chair.nif";
        platform->writeFile(dir.str() + "/template_n.dds", {7});
        return convert(nif);
    }
    std::optional<ByteList> file(int block, const char* tail = ".dds")
    {
        return platform->readFile(dir.str() + "/ob/Textures/conv/x/chair_" + std::to_string(block) + tail);
    }
};
std::uint32_t u32(const ByteList& f, std::size_t at) { return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | std::uint32_t{f[at + 3]} << 24; }

TEST(EmbeddedTexture, RgbAndPalettedPixelsBecomeDdsFilesWithEveryLevel)
{
    struct Row { int block; std::uint32_t width, height, bits, formatFlags, alphaMask; std::vector<ByteList> corners; };
    const Row rows[] = {{7, 4, 2, 24, 0x40, 0, {{3, 2, 1}, {24, 23, 22}, {27, 26, 25}, {30, 29, 28}}},
                        {9, 2, 4, 32, 0x41, 0xFF000000, {{63, 47, 31, 79}, {55, 39, 23, 71}, {56, 40, 24, 72}, {48, 32, 16, 64}}}};
    Embedded fx;
    const test::Nif20File out = fx.convertMesh(mesh(kRgb, kPal));
    ASSERT_EQ(out.ofType("NiSourceTexture").size(), 2u) << fx.console.captured();
    EXPECT_EQ(out.ofType("NiSourceTexture")[0]->s("fileName"), "Textures\\conv\\x\\chair_7.dds");
    EXPECT_EQ(out.ofType("NiSourceTexture")[1]->s("fileName"), "Textures\\conv\\x\\chair_9.dds");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.block);
        EXPECT_EQ(out.ofType("NiSourceTexture")[r.block == 7 ? 0 : 1]->u("useExternal"), 1u);
        EXPECT_EQ(fx.file(r.block, "_n.dds"), ByteList{7});
        const ByteList f = fx.file(r.block).value_or(ByteList(128));
        const std::size_t bpp = r.bits / 8, level0 = r.width * r.height * bpp, level1 = level0 / 4;
        ASSERT_EQ(f.size(), 128 + level0 + level1);
        EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "DDS ");
        EXPECT_EQ((std::vector<std::uint32_t>{u32(f, 4), u32(f, 8), u32(f, 12), u32(f, 16), u32(f, 20), u32(f, 28)}),
                  (std::vector<std::uint32_t>{124, 0x2100F, r.height, r.width, r.width * r.bits / 8, 2}));
        EXPECT_EQ((std::vector<std::uint32_t>{u32(f, 76), u32(f, 80), u32(f, 88), u32(f, 92), u32(f, 96), u32(f, 100), u32(f, 104), u32(f, 108)}),
                  (std::vector<std::uint32_t>{32, r.formatFlags, r.bits, 0xFF0000, 0xFF00, 0xFF, r.alphaMask, 0x401008}));
        const std::size_t starts[] = {128, 128 + level0 - bpp, 128 + level0, f.size() - bpp};
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(ByteList(f.begin() + starts[c], f.begin() + starts[c] + bpp), r.corners[c]) << c;
    }
}

TEST(EmbeddedTexture, MalformedPixelDataLeavesTheTextureWithoutAFile)
{
    struct Row { ByteList base, paletted; int block; std::string why; };
    const Row rows[] = {
        {pixelData(0, 3, B::kNone, {{4, 2, 0}, {2, 1, 24}}, counting(29)), kPal, 7, "mip level 1 needs 6 bytes from 24, the pixel data holds 29"},
        {pixelData(0, 3, B::kNone, {{4, 2, 0}, {2, 1, 0xFFFFFFF0}}, counting(30)), kPal, 7, "mip level 1 needs 6 bytes from 4294967280, the pixel data holds 30"},
        {pixelData(0, 4, B::kNone, {{4, 2, 0}, {2, 1, 32}}, counting(40)), kPal, 7, "4 bytes per pixel do not fit pixel format 0"},
        {pixelData(0, 3, B::kNone, {{4, 2, 0}, {2, 2, 24}}, counting(36)), kPal, 7, "mip level 1 is 2x2, not 2x1"},
        {pixelData(7, 3, B::kNone, {{4, 2, 0}}, counting(24)), kPal, 7, "pixel format 7 has no DDS form"},
        {kRgb, pixelData(2, 1, B::kNone, {{1, 1, 0}}, {0}), 9, "its palette is missing"},
        {kRgb, pixelData(2, 1, 10, {{2, 1, 0}}, {15, 16}), 9, "a pixel names colour 16 of a palette of 16"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        Embedded fx;
        const test::Nif20File out = fx.convertMesh(mesh(r.base, r.paletted));
        EXPECT_EQ(fx.console.captured(), "embedded texture " + std::to_string(r.block) + ": " + r.why + ", the texture stays without a file\n");
        EXPECT_FALSE(fx.file(r.block));
        EXPECT_TRUE(fx.file(r.block == 7 ? 9 : 7)); // the other one is written
        ASSERT_EQ(out.ofType("NiSourceTexture").size(), 2u);
        EXPECT_EQ(out.ofType("NiSourceTexture")[r.block == 7 ? 0 : 1]->s("fileName"), "");
    }
}

} // namespace
} // namespace lw::meshshift::testing
