// Reading Morrowind meshes: the header, the thirteen block types, and refusal
// of anything damaged, with a message and without reading past the image.
#include <gtest/gtest.h>

#include "mesh_fixture.hpp"

namespace lw::meshshift::testing {
namespace {

using test::Nif4Builder;

TEST(Nif4Reader, ReadsEveryBlockTypeIntoTypedRecords)
{
    Nif4Builder nif = Nif4Builder::texturedQuad();
    nif.add(Nif4Builder::ZBufferProperty{});
    nif.add(Nif4Builder::SpecularProperty{});
    Nif4Builder::VertexColorProperty vertexColor;
    vertexColor.vertexMode = 2;
    nif.add(vertexColor);
    nif.add(Nif4Builder::named<Nif4Builder::TextureEffect>("Effect"));
    Nif4Builder::StringExtraData extra;
    extra.text = "sgoKeep";
    nif.add(extra);
    auto collide = Nif4Builder::named<Nif4Builder::Node>("Collide");
    collide.rootCollisionNode = true;
    nif.add(collide);
    Nif4Builder::SourceTexture internalForm;
    internalForm.external = false;
    internalForm.internalByte = 7;
    nif.add(internalForm);

    JobFixture f;
    ASSERT_EQ(f.read(nif), 0) << f.console.captured();
    ASSERT_EQ(f.job.blocks.size(), nif.size());
    const char* names[] = {"NiNode", "NiTriShape", "NiTexturingProperty", "NiSourceTexture", "NiMaterialProperty",
                           "NiAlphaProperty", "NiTriShapeData", "NiZBufferProperty", "NiSpecularProperty",
                           "NiVertexColorProperty", "NiTextureEffect", "NiStringExtraData", "RootCollisionNode",
                           "NiSourceTexture"};
    for (std::size_t i = 0; i < nif.size(); ++i)
        EXPECT_EQ(f.job.blocks[i].typeName, names[i]) << i;

    const auto* root = f.job.blocks.as<NiNode>(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->name, "Scene");
    EXPECT_EQ(root->children, std::vector<Link>{1});
    EXPECT_EQ(root->extraData, std::vector<Link>{kNoLink}); // one slot entry even without extra data
    EXPECT_EQ(root->collision, kNoLink);

    const auto* shape = f.job.blocks.as<NiTriShape>(1);
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->properties, (std::vector<Link>{2, 4, 5}));
    EXPECT_EQ(shape->data, 6u);

    const auto* source = f.job.blocks.as<NiSourceTexture>(3);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->fileName, "textures\\tx_a.tga");
    EXPECT_EQ(source->useExternal, 1);
    const auto* internal = f.job.blocks.as<NiSourceTexture>(13);
    ASSERT_NE(internal, nullptr);
    EXPECT_EQ(internal->useExternal, 0);
    EXPECT_EQ(internal->internalByte, 7);
    EXPECT_TRUE(internal->fileName.empty());

    const auto* data = f.job.blocks.as<NiTriShapeData>(6);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->numVertices, 4);
    EXPECT_EQ(data->vertex(2), (Vec3{1, 1, 0}));
    EXPECT_EQ(data->triangle(1), (std::array<std::uint16_t, 3>{0, 2, 3}));
    EXPECT_EQ(f.job.blocks.as<NiZBufferProperty>(7)->depthFunction, 3u);
    EXPECT_EQ(f.job.blocks.as<NiVertexColorProperty>(9)->vertexMode, 2u);
    EXPECT_EQ(f.job.blocks.as<NiStringExtraData>(11)->text, "sgoKeep");
    EXPECT_TRUE(f.job.blocks.as<NiStringExtraData>(11)->name.empty());
    EXPECT_EQ(f.job.blocks.as<NiTextureEffect>(10)->name, "Effect");
}

TEST(Nif4Reader, KeepsTransformsTextureSlotsUvSetsAndMatchGroups)
{
    Nif4Builder nif;
    auto root = Nif4Builder::named<Nif4Builder::Node>("R");
    root.translation = {1, 2, 3};
    root.rotation = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    root.scale = 2;
    root.hasBoundingBox = true;
    nif.add(root);
    Nif4Builder::TexturingProperty seven;
    seven.applyMode = 4;
    seven.slots[5] = Nif4Builder::TextureDesc{};
    seven.slots[5]->uvSet = 1;
    seven.lumaScale = 0.5f;
    nif.add(seven);
    Nif4Builder::TexturingProperty ten;
    ten.textureCount = 10;
    ten.slots[9] = Nif4Builder::TextureDesc{};
    ten.slots[9]->clampMode = 1;
    nif.add(ten);
    auto data = Nif4Builder::quadData();
    data.uvSets.push_back({{5, 5}, {6, 6}, {7, 7}, {8, 8}});
    data.matchGroups = {{0, 3}, {1}};
    nif.add(data);

    JobFixture f;
    ASSERT_EQ(f.read(nif), 0) << f.console.captured();
    const auto* r = f.job.blocks.as<NiNode>(0);
    EXPECT_EQ(r->translation, (Vec3{1, 2, 3}));
    EXPECT_EQ(r->rotation[1], 1.0f);
    EXPECT_EQ(r->scale, 2.0f);
    const auto* t7 = f.job.blocks.as<NiTexturingProperty>(1);
    EXPECT_EQ(t7->applyMode, 4u);
    EXPECT_TRUE(t7->slots[NiTexturingProperty::BumpMap].has);
    EXPECT_EQ(t7->slots[NiTexturingProperty::BumpMap].desc.uvSet, 1u);
    EXPECT_EQ(t7->lumaScale, 0.5f);
    const auto* t10 = f.job.blocks.as<NiTexturingProperty>(2);
    EXPECT_TRUE(t10->slots[NiTexturingProperty::Decal3].has);
    EXPECT_EQ(t10->slots[NiTexturingProperty::Decal3].desc.clampMode, 1u);
    const auto* d = f.job.blocks.as<NiTriShapeData>(3);
    EXPECT_EQ(d->numUvSets, 2);
    EXPECT_EQ(d->uvs.size(), 2u * 4 * 8);
    EXPECT_EQ(floatAt(d->uvs, 8), 5.0f); // the second set follows the first
    EXPECT_EQ(d->numMatchGroups, 2);
    EXPECT_EQ(d->matchGroups.size(), 2u + 4 + 2 + 2);
}

TEST(Nif4Reader, AcceptsAnotherVersionNumberButRefusesOtherHeaderLines)
{
    Nif4Builder nif = Nif4Builder::texturedQuad();
    nif.version = 0x12345678;
    JobFixture ok;
    EXPECT_EQ(ok.read(nif), 0);

    for (const char* line : {"NetImmerse File Format, Version 4.1.0.12", "Gamebryo File Format, Version 20.0.0.5",
                             "NetImmerse File Format, Version 4.0.0."}) {
        nif.headerLine = line;
        JobFixture f;
        EXPECT_EQ(f.read(nif), -1) << line;
        EXPECT_EQ(f.console.captured(), "Wrong NIF version, not a v4\n");
    }
    JobFixture empty;
    EXPECT_EQ(empty.read(std::vector<std::uint8_t>{}), -1);
    EXPECT_EQ(empty.console.captured(), "Wrong NIF version, not a v4\n");
}

TEST(Nif4Reader, RefusesUnknownAndNearMissBlockTypes)
{
    for (const char* name : {"NiParticleSystem", "NiNod", "NiTriShapeDat", "NiTriShapeDataX", "nitrishape"}) {
        Nif4Builder nif = Nif4Builder::texturedQuad();
        nif.addRaw(name, {0, 0, 0, 0});
        JobFixture f;
        EXPECT_EQ(f.read(nif), -1) << name;
        EXPECT_EQ(f.console.captured(), std::string("Unknown object: ") + name + "\n");
    }
}

TEST(Nif4Reader, RefusesLinksBeyondTheBlockTable)
{
    Nif4Builder nif = Nif4Builder::texturedQuad();
    nif.triShape(1).data = 7; // one past the last block
    JobFixture f;
    EXPECT_EQ(f.read(nif), -1);
    EXPECT_NE(f.console.captured().find("link to block 7 of 7"), std::string::npos) << f.console.captured();

    nif.triShape(1).data = 6;
    nif.node(0).children = {1, 0x80000000u};
    JobFixture g;
    EXPECT_EQ(g.read(nif), -1);
}

TEST(Nif4Reader, RefusesTrianglesNamingMissingVertices)
{
    Nif4Builder nif;
    auto data = Nif4Builder::quadData();
    data.triangles.push_back({0, 1, 4});
    nif.add(data);
    JobFixture f;
    EXPECT_EQ(f.read(nif), -1);
    EXPECT_NE(f.console.captured().find("vertex 4 of 4"), std::string::npos) << f.console.captured();
}

TEST(Nif4Reader, RefusesBlockCountsBeyondTheTableOrTheFile)
{
    Nif4Builder nif = Nif4Builder::texturedQuad();
    auto bytes = nif.build();
    for (std::uint32_t count : {2049u, 0xFFFFFFFFu, 100000u}) {
        auto damaged = bytes;
        for (int i = 0; i < 4; ++i)
            damaged[44 + i] = static_cast<std::uint8_t>(count >> (8 * i));
        JobFixture f;
        EXPECT_EQ(f.read(damaged), -1) << count;
        EXPECT_NE(f.console.captured().find("blocks"), std::string::npos);
    }
}

TEST(Nif4Reader, RefusesMoreThanAThousandNamedBlocks)
{
    Nif4Builder nif;
    for (int i = 0; i < 1001; ++i)
        nif.add(Nif4Builder::ZBufferProperty{});
    JobFixture f;
    EXPECT_EQ(f.read(nif), -1);
    EXPECT_NE(f.console.captured().find("1000"), std::string::npos) << f.console.captured();
}

// Every prefix of a valid mesh is refused with a message (never accepted,
// never read past its end: the sanitizer build checks the latter).
TEST(Nif4Reader, RefusesEveryTruncation)
{
    Nif4Builder nif = Nif4Builder::texturedQuad();
    nif.add(Nif4Builder::TextureEffect{});
    nif.add(Nif4Builder::VertexColorProperty{});
    auto data = Nif4Builder::quadData();
    data.colors = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}};
    data.matchGroups = {{0, 1}};
    nif.add(data);
    const auto bytes = nif.build();
    const std::size_t footer = 8;
    JobFixture f;
    for (std::size_t n = 0; n + footer < bytes.size(); ++n) {
        f.console.clearCaptured();
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        ASSERT_EQ(f.read(cut), -1) << "accepted a mesh cut at " << n;
        ASSERT_FALSE(f.console.captured().empty()) << n;
    }
}

TEST(Nif4Reader, RefusesHostileLengthsAndCounts)
{
    // A name length far beyond the file.
    Nif4Builder a;
    a.addRaw("NiNode", {0xFF, 0xFF, 0xFF, 0x7F});
    JobFixture fa;
    EXPECT_EQ(fa.read(a), -1);

    // A vertex count whose arrays do not fit.
    Nif4Builder b;
    Nif4Builder::TriShapeData d = Nif4Builder::quadData();
    d.numVertices = 60000;
    b.add(d);
    JobFixture fb;
    EXPECT_EQ(fb.read(b), -1);

    // A children count beyond the file.
    Nif4Builder c;
    c.add(Nif4Builder::Node{});
    auto bytes = c.build();
    const std::size_t childrenCount = bytes.size() - 8 - 8; // before the effects count and the footer
    bytes[childrenCount + 3] = 0x40;
    JobFixture fc;
    EXPECT_EQ(fc.read(bytes), -1);
    EXPECT_NE(fc.console.captured().find("runs past the end"), std::string::npos) << fc.console.captured();
}

} // namespace
} // namespace lw::meshshift::testing

namespace lw::meshshift::testing {
namespace {

// Random damage to a valid mesh: every damaged copy is either refused with a
// message or read, and a mesh that is read is written as a whole file that the
// independent reader takes in full. (The sanitizer build watches the reads.)
TEST(Nif4Reader, DamagedCopiesAreRefusedOrConvertedWhole)
{
    test::Nif4Builder nif = test::Nif4Builder::texturedQuad();
    nif.add(test::Nif4Builder::TextureEffect{});
    nif.add(test::Nif4Builder::StringExtraData{});
    const auto original = nif.build();
    JobFixture f;
    std::uint32_t state = 0x2545F491u;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        auto bytes = original;
        const int flips = 1 + static_cast<int>(next() % 4);
        for (int i = 0; i < flips; ++i)
            bytes[44 + next() % (bytes.size() - 44)] = static_cast<std::uint8_t>(next());
        f.console.clearCaptured();
        if (f.read(bytes) != 0) {
            ASSERT_FALSE(f.console.captured().empty()) << round;
            continue;
        }
        ++accepted;
        // Only blocks with writers can be written; keep the rest out.
        for (auto& e : f.job.blocks)
            if (e.typeName == "NiTextureEffect")
                e = {};
        std::vector<std::uint8_t> out;
        if (writeScene(f.job, out) == 0) {
            const auto file = test::readNif20(out);
            ASSERT_TRUE(file.complete) << round << ": " << file.error;
            ASSERT_EQ(file.bytesLeft, 0u) << round;
        }
    }
    EXPECT_GT(accepted, 0);
}

} // namespace
} // namespace lw::meshshift::testing
