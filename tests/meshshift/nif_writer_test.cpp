// Writing the converted scene: header, block-type table, every writer, link
// renumbering and compaction, footer. Everything written is read back with the
// independent reader, which must consume the file exactly.
#include <gtest/gtest.h>

#include <bit>

#include "mesh_fixture.hpp"
#include "meshshift/template/template_reader.hpp"

namespace lw::meshshift::testing {
namespace {

using test::Nif20File;
using test::Nif4Builder;

void expectWhole(const Nif20File& file)
{
    EXPECT_TRUE(file.complete) << file.error;
    EXPECT_EQ(file.bytesLeft, 0u);
}

TEST(NifWriter, WritesTheHeaderAndFooter)
{
    JobFixture f;
    const Nif20File file = f.convert(Nif4Builder::texturedQuad());
    expectWhole(file);
    EXPECT_EQ(file.headerLine, "Gamebryo File Format, Version 20.0.0.5");
    EXPECT_EQ(file.version, 0x14000005u);
    EXPECT_EQ(file.endian, 1);
    EXPECT_EQ(file.userVersion, 11u);
    EXPECT_EQ(file.userVersion2, 11u);
    EXPECT_EQ(file.numBlocks, 7u);
    EXPECT_EQ(file.creator, "Quillmarrow");
    EXPECT_EQ(file.exportInfo1, "from NIF 4.0.0.2");
    EXPECT_EQ(file.exportInfo2, "Meshwright export");
    EXPECT_EQ(file.headerTextLengths, (std::vector<std::uint8_t>{12, 17, 18}));
    EXPECT_EQ(file.unknown, 0u);
    EXPECT_EQ(file.roots, std::vector<std::uint32_t>{0});
}

TEST(NifWriter, ListsBlockTypesInOrderOfFirstUse)
{
    Nif4Builder nif;
    const auto root = nif.add(Nif4Builder::named<Nif4Builder::Node>("Root"));
    const auto a = nif.add(Nif4Builder::named<Nif4Builder::TriShape>("A"));
    const auto data = nif.add(Nif4Builder::quadData());
    const auto b = nif.add(Nif4Builder::named<Nif4Builder::TriShape>("B"));
    nif.node(root).children = {a, b};
    nif.triShape(a).data = data;
    nif.triShape(b).data = data;

    JobFixture f;
    const Nif20File file = f.convert(nif);
    expectWhole(file);
    EXPECT_EQ(file.blockTypes, (std::vector<std::string>{"NiNode", "NiTriShape", "NiTriShapeData"}));
    EXPECT_EQ(file.typeIndices, (std::vector<std::uint16_t>{0, 1, 2, 1}));
    EXPECT_EQ(file.blocks[3].u("data"), 2u);
}

TEST(NifWriter, ResetsTheRootTransformButKeepsItsScale)
{
    Nif4Builder nif;
    auto root = Nif4Builder::named<Nif4Builder::Node>("Root");
    root.translation = {10, 20, 30};
    root.rotation = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    root.scale = 2.5f;
    root.flags = 0x0C;
    const auto r = nif.add(root);
    auto child = Nif4Builder::named<Nif4Builder::Node>("Child");
    child.translation = {1, 2, 3};
    child.rotation = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    const auto c = nif.add(child);
    nif.node(r).children = {c};

    JobFixture f;
    const Nif20File file = f.convert(nif);
    expectWhole(file);
    EXPECT_EQ(file.blocks[0].all("rotation"), (std::vector<double>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
    EXPECT_EQ(file.blocks[0].all("translation"), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(file.blocks[0].f("scale"), 2.5);
    EXPECT_EQ(file.blocks[0].u("flags"), 0x0Cu);
    EXPECT_EQ(file.blocks[0].s("name"), "Root");
    EXPECT_EQ(file.blocks[0].u("collision"), 0xFFFFFFFFu);
    EXPECT_EQ(file.blocks[0].links("children"), std::vector<std::uint32_t>{1});
    // Only the root is moved to the origin.
    EXPECT_EQ(file.blocks[1].all("translation"), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(file.blocks[1].f("rotation", 1), 1.0);
}

TEST(NifWriter, ConvertsAlphaFlagsToAlphaTesting)
{
    Nif4Builder nif;
    nif.add(Nif4Builder::named<Nif4Builder::Node>("Root"));
    Nif4Builder::AlphaProperty blend;
    blend.flags = 0x00ED;
    blend.threshold = 0;
    nif.add(blend);
    Nif4Builder::AlphaProperty tested;
    tested.flags = 0x02EC;
    tested.threshold = 128;
    nif.add(tested);
    Nif4Builder::AlphaProperty highBits;
    highBits.flags = 0xF0ED;
    nif.add(highBits);

    JobFixture f;
    const Nif20File file = f.convert(nif);
    expectWhole(file);
    EXPECT_EQ(file.blocks[1].u("flags"), 0x12EDu);
    EXPECT_EQ(file.blocks[1].u("threshold"), 64u);
    EXPECT_EQ(file.blocks[2].u("flags"), 0x02ECu);
    EXPECT_EQ(file.blocks[2].u("threshold"), 128u);
    EXPECT_EQ(file.blocks[3].u("flags"), 0x12EDu); // higher bits cleared
}

TEST(NifWriter, WritesTexturingPropertiesInTheNewLayout)
{
    Nif4Builder nif;
    nif.add(Nif4Builder::named<Nif4Builder::Node>("Root"));
    for (std::uint32_t mode : {0u, 1u, 2u, 4u}) {
        Nif4Builder::TexturingProperty t;
        t.applyMode = mode;
        t.slots[0] = Nif4Builder::TextureDesc{};
        t.slots[0]->source = 0;
        nif.add(t);
    }
    Nif4Builder::TexturingProperty ten;
    ten.textureCount = 10;
    ten.slots[5] = Nif4Builder::TextureDesc{};
    ten.slots[5]->clampMode = 1;
    ten.slots[5]->filterMode = 4;
    ten.slots[5]->uvSet = 1;
    ten.lumaScale = 0.25f;
    ten.lumaOffset = 0.5f;
    ten.bumpMatrix = {1, 2, 3, 4};
    ten.slots[9] = Nif4Builder::TextureDesc{};
    nif.add(ten);

    JobFixture f;
    const Nif20File file = f.convert(nif);
    expectWhole(file);
    const std::uint32_t expected[] = {0, 1, 2, 2};
    for (int i = 0; i < 4; ++i) {
        const auto& b = file.blocks[static_cast<std::size_t>(i + 1)];
        EXPECT_EQ(b.u("applyMode"), expected[i]);
        EXPECT_EQ(b.u("textureCount"), 7u);
        EXPECT_EQ(b.u("base.has"), 1u);
        EXPECT_EQ(b.u("base.source"), 0u);
        EXPECT_EQ(b.u("base.hasTransform"), 0u);
        EXPECT_EQ(b.u("dark.has"), 0u);
        EXPECT_FALSE(b.has("decal1.has"));
        EXPECT_EQ(b.u("shaderTextures"), 0u);
    }
    const auto& t10 = file.blocks[5];
    EXPECT_EQ(t10.u("textureCount"), 10u);
    EXPECT_EQ(t10.u("bump.clampMode"), 1u);
    EXPECT_EQ(t10.u("bump.filterMode"), 4u);
    EXPECT_EQ(t10.u("bump.uvSet"), 1u);
    EXPECT_EQ(t10.f("bump.lumaScale"), 0.25);
    EXPECT_EQ(t10.all("bump.matrix"), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(t10.u("decal1.has"), 0u);
    EXPECT_EQ(t10.u("decal3.has"), 1u);
    EXPECT_EQ(t10.u("decal3.source"), 0xFFFFFFFFu);
}

TEST(NifWriter, WritesShapeDataWithFixedNewFields)
{
    Nif4Builder nif;
    nif.add(Nif4Builder::named<Nif4Builder::Node>("Root"));
    auto full = Nif4Builder::quadData();
    full.uvSets.push_back({{5, 5}, {6, 6}, {7, 7}, {8, 8}});
    full.colors = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 0.5f}};
    full.matchGroups = {{0, 3}, {1}};
    full.centre = {0.5f, 0.25f, 0};
    nif.add(full);
    auto bare = Nif4Builder::quadData();
    bare.triangles.clear();
    bare.normals.clear();
    bare.uvSets.clear();
    nif.add(bare);
    auto uvFlagOff = Nif4Builder::quadData();
    uvFlagOff.numUvSets = 2;
    uvFlagOff.hasUv = false;
    nif.add(uvFlagOff);

    JobFixture f;
    const Nif20File file = f.convert(nif);
    expectWhole(file);
    const auto& d = file.blocks[1];
    EXPECT_EQ(d.u("groupId"), 0u);
    EXPECT_EQ(d.u("numVertices"), 4u);
    EXPECT_EQ(d.u("keepFlags"), 0u);
    EXPECT_EQ(d.u("compressFlags"), 0u);
    EXPECT_EQ(d.u("hasVertices"), 1u);
    EXPECT_EQ(d.all("vertices"), (std::vector<double>{-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0}));
    EXPECT_EQ(d.u("numUvSets"), 2u);
    EXPECT_EQ(d.u("tangentSpace"), 0u);
    EXPECT_EQ(d.all("normals").size(), 12u);
    EXPECT_EQ(d.all("centre"), (std::vector<double>{0.5, 0.25, 0}));
    EXPECT_FLOAT_EQ(static_cast<float>(d.f("radius")), 1.41421356f);
    EXPECT_EQ(d.u("hasColors"), 1u);
    EXPECT_EQ(d.f("colors", 15), 0.5);
    ASSERT_EQ(d.all("uvs").size(), 16u);
    EXPECT_EQ(d.f("uvs", 8), 5.0); // second set after the first
    EXPECT_EQ(d.u("consistency"), 0u);
    EXPECT_EQ(d.u("additionalData"), 0xFFFFFFFFu);
    EXPECT_EQ(d.u("numTriangles"), 2u);
    EXPECT_EQ(d.u("numTrianglePoints"), 6u);
    EXPECT_EQ(d.u("hasTriangles"), 1u);
    EXPECT_EQ(d.all("triangles"), (std::vector<double>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(d.u("numMatchGroups"), 2u);
    EXPECT_EQ(d.all("matchGroup0"), (std::vector<double>{0, 3}));
    EXPECT_EQ(d.all("matchGroup1"), (std::vector<double>{1}));

    const auto& b = file.blocks[2];
    EXPECT_EQ(b.u("numTriangles"), 0u);
    EXPECT_EQ(b.u("hasTriangles"), 0u);
    EXPECT_FALSE(b.has("triangles"));
    EXPECT_EQ(b.u("hasNormals"), 0u);
    EXPECT_EQ(b.u("numUvSets"), 0u);

    // UV sets named but not present: written as none, so the block stays readable.
    EXPECT_EQ(file.blocks[3].u("numUvSets"), 0u);
    EXPECT_TRUE(file.blocks[3].all("uvs").empty());
}

TEST(NifWriter, WritesFixedValuesOfPropertiesAndExtraData)
{
    Nif4Builder nif;
    auto root = Nif4Builder::named<Nif4Builder::Node>("Root");
    root.extraData = 3;
    const auto r = nif.add(root);
    Nif4Builder::ZBufferProperty z;
    z.flags = 1;
    const auto zb = nif.add(z);
    auto m = Nif4Builder::named<Nif4Builder::MaterialProperty>("Mat");
    m.diffuse = {0.5f, 0.25f, 1};
    m.glossiness = 12;
    m.alpha = 0.75f;
    nif.add(m);
    Nif4Builder::StringExtraData extra;
    extra.text = "NCO";
    nif.add(extra);
    nif.node(r).properties = {zb};

    JobFixture f;
    const Nif20File file = f.convert(nif);
    expectWhole(file);
    EXPECT_EQ(file.blocks[0].links("extraData"), std::vector<std::uint32_t>{3});
    EXPECT_EQ(file.blocks[0].links("properties"), std::vector<std::uint32_t>{1});
    EXPECT_EQ(file.blocks[1].u("flags"), 1u);
    EXPECT_EQ(file.blocks[1].u("depthFunction"), 3u);
    EXPECT_EQ(file.blocks[1].u("extraData.count"), 0u); // no extra data: an empty list
    EXPECT_EQ(file.blocks[2].all("diffuse"), (std::vector<double>{0.5, 0.25, 1}));
    EXPECT_EQ(file.blocks[2].f("glossiness"), 12.0);
    EXPECT_EQ(file.blocks[2].f("alpha"), 0.75);
    EXPECT_EQ(file.blocks[3].s("name"), "");
    EXPECT_EQ(file.blocks[3].s("string"), "NCO");
}

TEST(NifWriter, DroppedBlocksVanishFromListsAndSingleLinksBecomeNone)
{
    Nif4Builder nif = Nif4Builder::texturedQuad(); // 0 root, 1 shape, 2 texturing, 3 source, 4 material, 5 alpha, 6 data
    JobFixture f;
    ASSERT_EQ(f.read(nif), 0);
    f.job.blocks.drop(4); // material
    f.job.blocks.drop(6); // data
    const Nif20File file = test::readNif20(f.write());
    expectWhole(file);
    ASSERT_EQ(file.numBlocks, 5u);
    EXPECT_EQ(file.blockTypes, (std::vector<std::string>{"NiNode", "NiTriShape", "NiTexturingProperty",
                                                         "NiSourceTexture", "NiAlphaProperty"}));
    const auto& shape = file.blocks[1];
    EXPECT_EQ(shape.links("properties"), (std::vector<std::uint32_t>{2, 4})); // alpha renumbered from 5 to 4
    EXPECT_EQ(shape.u("properties.count"), 2u);
    EXPECT_EQ(shape.u("data"), 0xFFFFFFFFu);
}

TEST(NifWriter, FollowsTheCollisionStepsNumbering)
{
    Nif4Builder nif = Nif4Builder::texturedQuad();
    JobFixture f;
    ASSERT_EQ(f.read(nif), 0);
    // Output order: root, data, shape, ...; the material is not written.
    f.job.numbering.set = true;
    f.job.numbering.order = {0, 6, 1, 2, 3, 5};
    f.job.numbering.remap = {0, 2, 3, 4, -1, 5, 1};
    const Nif20File file = test::readNif20(f.write());
    expectWhole(file);
    EXPECT_EQ(file.blocks[1].type, "NiTriShapeData");
    EXPECT_EQ(file.blocks[0].links("children"), std::vector<std::uint32_t>{2});
    EXPECT_EQ(file.blocks[2].u("data"), 1u);
    EXPECT_EQ(file.blocks[2].links("properties"), (std::vector<std::uint32_t>{3, 5}));
    EXPECT_EQ(file.typeIndices, (std::vector<std::uint16_t>{0, 1, 2, 3, 4, 5}));
}

TEST(NifWriter, RefusesBlockTypesWithoutAWriterAndWaits)
{
    Nif4Builder nif = Nif4Builder::texturedQuad();
    nif.add(Nif4Builder::SpecularProperty{});
    JobFixture f;
    ASSERT_EQ(f.read(nif), 0);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(writeScene(f.job, out), -1);
    EXPECT_EQ(f.console.captured(), "Unknown object: NiSpecularProperty\n");
    EXPECT_EQ(f.console.waits(), 1);
}

TEST(NifWriter, RefusesARecordThatContradictsItsCounts)
{
    JobFixture f;
    NiTriStripsData strips;
    strips.numVertices = 3;
    strips.hasVertices = 1;
    strips.vertices = {0, 0, 0, 1, 1, 1}; // two vertices only
    f.job.blocks.append("NiTriStripsData", f.job.keepRecord(strips));
    std::vector<std::uint8_t> out;
    EXPECT_EQ(writeScene(f.job, out), -1);
    EXPECT_NE(f.console.captured().find("NiTriStripsData"), std::string::npos) << f.console.captured();

    JobFixture g;
    g.job.blocks.append("NiNode", g.job.keepRecord(BSXFlags{}));
    EXPECT_EQ(writeScene(g.job, out), -1);
}

TEST(NifWriter, WritingTwiceGivesTheSameBytes)
{
    JobFixture f;
    ASSERT_EQ(f.read(Nif4Builder::texturedQuad()), 0);
    const auto first = f.write();
    const auto second = f.write();
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, second);
}

} // namespace
} // namespace lw::meshshift::testing
