// Scene blocks written in the version-20 layout, read back by the
// independent reader; values chosen so that swapped fields show.
#include <gtest/gtest.h>

#include "mesh_fixture.hpp"

namespace lw::meshshift::testing {
namespace {

using B = test::Nif4Builder;

TEST(SceneWriter, PropertiesKeepEachValueInItsPlace)
{
    B nif = B::texturedQuad(); // texturing 2, source 3, material 4, alpha 5
    auto& t = std::get<B::TexturingProperty>(nif.block(2));
    t.applyMode = 4;
    t.textureCount = 8;
    t.slots[5] = B::TextureDesc{3, 1, 4, 1};
    t.lumaScale = 0.25f;
    t.lumaOffset = 0.75f;
    t.bumpMatrix = {1, 2, 3, 4};
    t.slots[7] = B::TextureDesc{3, 2, 1, 0}; // decal 1, present only with 8 textures
    auto& m = std::get<B::MaterialProperty>(nif.block(4));
    m.ambient = {0.125f, 0.25f, 0.375f};
    m.diffuse = {0.5f, 0.625f, 0.75f};
    m.specular = {0.875f, 1, 1.125f};
    m.emissive = {1.25f, 1.375f, 1.5f};
    m.glossiness = 13;
    m.alpha = 0.5f;
    JobFixture f;
    const test::Nif20File out = f.convert(nif);
    ASSERT_TRUE(out.complete) << out.error;
    EXPECT_EQ(out.bytesLeft, 0u);
    // The texture goes into the asset subfolder under its DDS name (the file itself is missing).
    const test::Nif20Block& source = out.first("NiSourceTexture");
    EXPECT_EQ(source.s("fileName"), "Textures\\conv\\txUa.dds");
    EXPECT_EQ(source.all("useExternal"), (std::vector<double>{1}));
    EXPECT_EQ(source.u("pixelData"), 0xFFFFFFFFu);
    EXPECT_EQ(source.u("pixelLayout"), 5u);
    EXPECT_EQ(source.u("isStatic"), 1u);
    EXPECT_EQ(source.u("directRender"), 0u);

    const test::Nif20Block& tex = out.first("NiTexturingProperty");
    EXPECT_EQ(tex.u("applyMode"), 2u);
    EXPECT_EQ(tex.u("textureCount"), 8u);
    EXPECT_EQ(tex.all("decal0.has"), (std::vector<double>{0}));
    EXPECT_EQ(tex.u("decal1.source"), 3u);
    EXPECT_EQ(tex.u("decal1.clampMode"), 2u);
    EXPECT_EQ(tex.u("bump.filterMode"), 4u);
    EXPECT_EQ(tex.all("bump.matrix"), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(tex.f("bump.lumaOffset"), 0.75);
    EXPECT_EQ(tex.u("shaderTextures"), 0u);

    const test::Nif20Block& mat = out.first("NiMaterialProperty");
    EXPECT_EQ(mat.all("ambient"), (std::vector<double>{0.125, 0.25, 0.375}));
    EXPECT_EQ(mat.all("diffuse"), (std::vector<double>{0.5, 0.625, 0.75}));
    EXPECT_EQ(mat.all("specular"), (std::vector<double>{0.875, 1, 1.125}));
    EXPECT_EQ(mat.all("emissive"), (std::vector<double>{1.25, 1.375, 1.5}));
    EXPECT_EQ(mat.f("glossiness"), 13.0);
    EXPECT_EQ(mat.f("alpha"), 0.5);
}

TEST(SceneWriter, AlphaBlendingGetsAlphaTesting)
{
    struct Case {
        std::uint16_t flags;
        std::uint8_t threshold;
        std::uint32_t writtenFlags, writtenThreshold;
    };
    for (const Case& c : {Case{0x00ED, 0, 0x12ED, 64}, Case{0xFCED, 9, 0x12ED, 64}, Case{0x02EC, 7, 0x02EC, 7}}) {
        B nif = B::texturedQuad();
        std::get<B::AlphaProperty>(nif.block(5)).flags = c.flags;
        std::get<B::AlphaProperty>(nif.block(5)).threshold = c.threshold;
        JobFixture f;
        const test::Nif20File out = f.convert(nif);
        EXPECT_EQ(out.first("NiAlphaProperty").u("flags"), c.writtenFlags) << c.flags;
        EXPECT_EQ(out.first("NiAlphaProperty").u("threshold"), c.writtenThreshold) << c.flags;
    }
}

} // namespace
} // namespace lw::meshshift::testing
