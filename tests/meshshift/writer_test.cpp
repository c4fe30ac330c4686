// Scene blocks in the version-20 layout, read back independently; values tell swapped fields apart.
#include <gtest/gtest.h>

#include "mesh_fixture.hpp"

namespace lw::meshshift::testing {
namespace {

using B = Nif4Builder;
using Values = std::vector<double>;

TEST(SceneWriter, TheRootSitsAtTheOriginAndPropertiesKeepEachValueInItsPlace)
{
    B nif = B::texturedQuad(); // texturing 2, source 3, material 4, alpha 5
    nif.node(0).translation = {1, 2, 3};
    nif.node(0).scale = 2; // kept
    auto& t = std::get<B::TexturingProperty>(nif.block(2));
    t.applyMode = 4;
    t.textureCount = 8;
    t.slots[5] = B::TextureDesc{3, 1, 4, 1};
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
    ASSERT_TRUE(f.load(nif));
    const Nif20File out = f.convert(false);
    const Nif20Block& source = out.first("NiSourceTexture");
    const Nif20Block& tex = out.first("NiTexturingProperty");
    const Nif20Block& mat = out.first("NiMaterialProperty");
    const std::pair<const Nif20Block*, std::pair<const char*, Values>> fields[] = {
        {&source, {"useExternal", {1}}}, {&source, {"pixelData", {0xFFFFFFFFu}}},
        {&source, {"pixelLayout", {5}}}, {&source, {"isStatic", {1}}}, {&source, {"directRender", {0}}},
        {&tex, {"applyMode", {2}}}, {&tex, {"textureCount", {8}}}, {&tex, {"decal0.has", {0}}},
        {&tex, {"decal1.source", {3}}}, {&tex, {"decal1.clampMode", {2}}}, {&tex, {"bump.filterMode", {4}}},
        {&tex, {"bump.matrix", {1, 2, 3, 4}}}, {&tex, {"bump.lumaOffset", {0.75}}}, {&tex, {"shaderTextures", {0}}},
        {&mat, {"ambient", {0.125, 0.25, 0.375}}}, {&mat, {"diffuse", {0.5, 0.625, 0.75}}},
        {&mat, {"specular", {0.875, 1, 1.125}}}, {&mat, {"emissive", {1.25, 1.375, 1.5}}},
        {&mat, {"glossiness", {13}}}, {&mat, {"alpha", {0.5}}},
        {&out.blocks.at(0), {"translation", {0, 0, 0}}}, {&out.blocks.at(0), {"scale", {2}}},
    };
    for (const auto& [block, field] : fields)
        EXPECT_EQ(block->all(field.first), field.second) << field.first;
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
        ASSERT_TRUE(f.load(nif));
        const Nif20File out = f.convert(false);
        EXPECT_EQ(out.first("NiAlphaProperty").u("flags"), c.writtenFlags) << c.flags;
        EXPECT_EQ(out.first("NiAlphaProperty").u("threshold"), c.writtenThreshold) << c.flags;
    }
}

} // namespace
} // namespace lw::meshshift::testing
