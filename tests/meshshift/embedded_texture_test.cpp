// Embedded textures become DDS files, read back here byte by byte.
#include <gtest/gtest.h>

#include "mesh_fixture.hpp"

namespace lw::meshshift::testing {
namespace {

using B = test::Nif4Builder;
using ByteList = std::vector<std::uint8_t>;
ByteList counting(int n) { ByteList v; for (int i = 1; i <= n; ++i) v.push_back(static_cast<std::uint8_t>(i)); return v; }
const ByteList kRgb = B::pixelData(0, 3, B::kNone, {{4, 2, 0}, {2, 1, 24}}, counting(30));
const ByteList kPal = B::pixelData(2, 1, 10, {{2, 4, 0}, {1, 2, 8}}, {15, 1, 2, 3, 4, 5, 6, 7, 8, 0});
std::uint32_t u32(const ByteList& f, std::size_t at) { return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | std::uint32_t{f[at + 3]} << 24; }

// Textures 3 and 8 hold pixel data 7 and 9; palette 10's colour i is red 16+i, green 32+i, blue 48+i, alpha 64+i.
struct Embedded : JobFixture {
    test::Nif20File convertMesh(const ByteList& base, const ByteList& paletted)
    {
        B nif = B::texturedQuad();
        auto inside = [](std::uint32_t pixels) { B::SourceTexture t; t.external = false; t.pixelData = pixels; return t; };
        nif.block(3) = inside(7);
        nif.addRaw("NiPixelData", base);
        std::get<B::TexturingProperty>(nif.block(2)).slots[1] = B::TextureDesc{8};
        nif.add(inside(9));
        nif.addRaw("NiPixelData", paletted);
        B::Bytes palette = B::Bytes().u8(1).u32(16);
        for (int i = 0; i < 64; ++i)
            palette.u8(static_cast<std::uint8_t>(16 + i / 4 + 16 * (i % 4)));
        nif.addRaw("NiPalette", palette.b);
        job.outputPath = job.config.targetData + "\\meshes\\conv\\x\\chair.nif";
        platform->writeFile(dir.str() + "/template_n.dds", {7});
        return convert(nif);
    }
    std::optional<ByteList> file(int block, const char* tail = ".dds") { return platform->readFile(dir.str() + "/ob/Textures/conv/x/chair_" + std::to_string(block) + tail); }
};

TEST(EmbeddedTexture, RgbAndPalettedPixelsBecomeDdsFilesWithEveryLevel)
{
    const struct Row { int block; std::uint32_t width, height, bits, formatFlags, alphaMask; std::vector<ByteList> corners; } rows[] = {{7, 4, 2, 24, 0x40, 0, {{3, 2, 1}, {24, 23, 22}, {27, 26, 25}, {30, 29, 28}}},
                        {9, 2, 4, 32, 0x41, 0xFF000000, {{63, 47, 31, 79}, {55, 39, 23, 71}, {56, 40, 24, 72}, {48, 32, 16, 64}}}};
    Embedded fx;
    const test::Nif20File out = fx.convertMesh(kRgb, kPal);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.block);
        const test::Nif20Block& texture = *out.ofType("NiSourceTexture").at(r.block == 7 ? 0 : 1);
        EXPECT_EQ(texture.s("fileName") + " " + std::to_string(texture.u("useExternal")), "Textures\\conv\\x\\chair_" + std::to_string(r.block) + ".dds 1");
        EXPECT_EQ(fx.file(r.block, "_n.dds"), ByteList{7});
        const ByteList f = fx.file(r.block).value_or(ByteList(128));
        const std::size_t bpp = r.bits / 8, level0 = r.width * r.height * bpp, level1 = level0 / 4;
        ASSERT_EQ(f.size(), 128 + level0 + level1);
        std::vector<std::uint32_t> header; // magic "DDS ", size, flags, height, width, pitch, levels; pixel format; caps
        for (std::size_t at : {0, 4, 8, 12, 16, 20, 28, 76, 80, 88, 92, 96, 100, 104, 108})
            header.push_back(u32(f, at));
        EXPECT_EQ(header, (std::vector<std::uint32_t>{0x20534444, 124, 0x2100F, r.height, r.width, r.width * r.bits / 8, 2, 32,
                                                      r.formatFlags, r.bits, 0xFF0000, 0xFF00, 0xFF, r.alphaMask, 0x401008}));
        const std::size_t starts[] = {128, 128 + level0 - bpp, 128 + level0, f.size() - bpp};
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(ByteList(f.begin() + starts[c], f.begin() + starts[c] + bpp), r.corners[c]) << c;
    }
}

TEST(EmbeddedTexture, MalformedPixelDataLeavesTheTextureWithoutAFile)
{
    const struct Row { ByteList base, paletted; int block; std::string why; } rows[] = {
        {B::pixelData(0, 3, B::kNone, {{4, 2, 0}, {2, 1, 24}}, counting(29)), kPal, 7, "mip level 1 needs 6 bytes from 24, the pixel data holds 29"},
        {B::pixelData(0, 3, B::kNone, {{4, 2, 0}, {2, 1, 0xFFFFFFF0}}, counting(30)), kPal, 7, "mip level 1 needs 6 bytes from 4294967280, the pixel data holds 30"},
        {B::pixelData(0, 3, B::kNone, {{0xFFFFFFFF, 0xFFFFFFFF, 0}}, counting(24)), kPal, 7, "mip level 0 is 4294967295x4294967295, more than the pixel data holds"},
        {B::pixelData(0, 4, B::kNone, {{4, 2, 0}, {2, 1, 32}}, counting(40)), kPal, 7, "4 bytes per pixel do not fit pixel format 0"},
        {B::pixelData(0, 3, B::kNone, {{4, 2, 0}, {2, 2, 24}}, counting(36)), kPal, 7, "mip level 1 is 2x2, not 2x1"},
        {B::pixelData(7, 3, B::kNone, {{4, 2, 0}}, counting(24)), kPal, 7, "pixel format 7 has no DDS form"},
        {kRgb, B::pixelData(2, 1, B::kNone, {{1, 1, 0}}, {0}), 9, "its palette is missing"},
        {kRgb, B::pixelData(2, 1, 10, {{2, 1, 0}}, {15, 16}), 9, "a pixel names colour 16 of a palette of 16"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        Embedded fx;
        const test::Nif20File out = fx.convertMesh(r.base, r.paletted);
        EXPECT_EQ(fx.console.captured(), "embedded texture " + std::to_string(r.block) + ": " + r.why + ", the texture stays without a file\n");
        EXPECT_FALSE(fx.file(r.block));
        EXPECT_TRUE(fx.file(r.block == 7 ? 9 : 7)); // the other one is written
        EXPECT_EQ(out.ofType("NiSourceTexture").at(r.block == 7 ? 0 : 1)->s("fileName"), "");
    }
}

} // namespace
} // namespace lw::meshshift::testing
