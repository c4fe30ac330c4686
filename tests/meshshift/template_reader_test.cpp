// Reading the template mesh: every template block type reads back exactly as
// it was written, foreign and damaged files are refused with a message.
#include <gtest/gtest.h>

#include <bit>

#include "common/io/byte_writer.hpp"
#include "mesh_fixture.hpp"
#include "meshshift/nif20/sync_stream.hpp"
#include "meshshift/template/template_reader.hpp"
#include "meshshift/template/template_table.hpp"
#include "test_template.hpp"

namespace lw::meshshift::testing {
namespace {

struct Block {
    std::string type;
    BlockRecord record;
};

// A version-20 file of the given blocks with links kept as they are, and with
// `extraTypes` listed after the used ones. Its own header code, so types the
// program never writes (NiTriStrips, NiBinaryExtraData) can be stored too.
std::vector<std::uint8_t> templateFile(std::vector<Block> blocks, std::vector<std::string> extraTypes = {})
{
    std::vector<std::string> types;
    std::vector<std::uint16_t> index;
    for (const auto& b : blocks) {
        auto it = std::find(types.begin(), types.end(), b.type);
        if (it == types.end())
            it = types.insert(types.end(), b.type);
        index.push_back(static_cast<std::uint16_t>(it - types.begin()));
    }
    types.insert(types.end(), extraTypes.begin(), extraTypes.end());
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.chars("Gamebryo File Format, Version 20.0.0.5\n");
    w.u32(0x14000005);
    w.u8(1);
    w.u32(11);
    w.u32(static_cast<std::uint32_t>(blocks.size()));
    w.u32(11);
    for (const char* t : {"a", "bc", ""}) {
        w.u8(static_cast<std::uint8_t>(std::strlen(t)));
        w.chars(t);
    }
    w.u16(static_cast<std::uint16_t>(types.size()));
    for (const auto& t : types) {
        w.u32(static_cast<std::uint32_t>(t.size()));
        w.chars(t);
    }
    for (auto i : index)
        w.u16(i);
    w.u32(0);
    OutputNumbering identity;
    for (std::int32_t i = 0; i < 64; ++i) // links beyond the blocks stay as they are
        identity.remap.push_back(i);
    SyncWriter sync(w, identity);
    for (auto& b : blocks)
        std::visit([&](auto& r) {
            if constexpr (requires { r.sync(sync); })
                r.sync(sync);
        }, b.record);
    w.u32(1);
    w.u32(0);
    return out;
}

FloatKeyGroup floatKeys(std::uint32_t type, int n)
{
    FloatKeyGroup g;
    g.type = type;
    for (int i = 0; i < n; ++i) {
        FloatKey k;
        k.time = static_cast<float>(i);
        k.value = static_cast<float>(i) * 2;
        k.forward = 0.5f;
        k.backward = -0.5f;
        k.tbc = {0.1f, 0.2f, 0.3f};
        g.keys.push_back(k);
    }
    return g;
}

// One block of every type the writer knows, with values that are not defaults.
std::vector<Block> everyWrittenType()
{
    std::vector<Block> b;
    NiNode root;
    root.name = "Root";
    root.extraData = {1, 2};
    root.controller = 14;
    root.children = {3, 9};
    root.properties = {19};
    root.collision = 4;
    b.push_back({"NiNode", root});
    b.push_back({"BSXFlags", BSXFlags{"BSX", 7}});
    b.push_back({"NiStringExtraData", NiStringExtraData{"UPB", kNoLink, "Mass = 1"}});
    NiTriStripsData strips;
    strips.groupId = "grp";
    strips.numVertices = 2;
    strips.flags = 3;
    strips.hasVertices = 1;
    strips.vertices = {1, 2, 3, 4, 5, 6};
    strips.uvSetByte = 1;
    strips.tangentSpace = 0x10;
    strips.hasNormals = 1;
    strips.normals = {0, 0, 1, 0, 0, 1};
    strips.tangents = {1, 0, 0, 1, 0, 0};
    strips.bitangents = {0, 1, 0, 0, 1, 0};
    strips.centre = {2, 3, 4};
    strips.radius = 9;
    strips.hasColors = 1;
    strips.colors = {1, 1, 1, 1, 0, 0, 0, 1};
    strips.uvs = {0, 0, 1, 1};
    strips.numTriangles = 1;
    strips.stripLengths = {3, 2};
    strips.hasPoints = 1;
    strips.points = {0, 1, 0, 1, 1};
    b.push_back({"NiTriStripsData", strips});
    b.push_back({"bhkCollisionObject", bhkCollisionObject{0, 1, 5}});
    bhkRigidBodyT body;
    body.shape = 6;
    body.layer = body.layerCopy = 4;
    body.unknownInts1 = {1, 2, 3, 4, 5};
    body.inertia[5] = 0.5f;
    body.mass = 3;
    body.maxAngularVelocity = std::bit_cast<float>(0x41FB53C3u);
    body.motionSystem = 6;
    body.qualityType = 2;
    body.constraints = {};
    body.unknownInt3 = 9;
    b.push_back({"bhkRigidBodyT", body});
    bhkNiTriStripsShape shape;
    shape.material = 12;
    shape.radius = 0.1f;
    shape.unknownInts = {1, 2, 3, 4, 5, 6};
    shape.scale = {1, 1, 1};
    shape.stripsData = {3};
    shape.dataLayers = {5, 6};
    b.push_back({"bhkNiTriStripsShape", shape});
    bhkMoppBvTreeShape mopp;
    mopp.shape = 8;
    mopp.unknownBytes = {1, 2, 3, 4, 5, 6, 7, 8};
    mopp.moppData = {9, 8, 7};
    mopp.origin = {1, 2, 3};
    mopp.scale = 4;
    b.push_back({"bhkMoppBvTreeShape", mopp});
    bhkPackedNiTriStripsShape packed;
    packed.numSubShapes = 2;
    packed.subShapes.assign(24, 0xAB);
    packed.scale = {1, 1, 1};
    packed.data = 9;
    b.push_back({"bhkPackedNiTriStripsShape", packed});
    hkPackedNiTriStripsData packedData;
    packedData.triangles = {PackedTriangle{{0, 1, 2}, 3, {0, 0, 1}}};
    packedData.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    b.push_back({"hkPackedNiTriStripsData", packedData});
    bhkBoxShape box;
    box.material = 5;
    box.radius = 0.1f;
    box.dimensions = {1, 2, 3};
    box.lastFloat = std::bit_cast<float>(0x3E124925u);
    b.push_back({"bhkBoxShape", box});
    bhkConvexTransformShape convex;
    convex.shape = 10;
    convex.unknownByte = 0xCD;
    convex.unknownShort = 0xCCCC;
    convex.transform = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    b.push_back({"bhkConvexTransformShape", convex});
    bhkListShape list;
    list.subShapes = {11};
    list.material = 5;
    list.unknownInts = {0, 0, 0, 0, 0, 0, 0};
    b.push_back({"bhkListShape", list});
    NiControllerManager manager;
    manager.nextController = 15;
    manager.flags = 0x4C;
    manager.frequency = 1;
    manager.stopTime = 2;
    manager.target = 0;
    manager.cumulative = 1;
    manager.sequences = {16};
    manager.objectPalette = 22;
    b.push_back({"NiControllerManager", manager}); // 13
    b.push_back({"NiStringExtraData", NiStringExtraData{"", kNoLink, "x"}}); // 14
    NiMultiTargetTransformController multi;
    multi.target = 0;
    multi.extraTargets = {0, 3, kNoLink};
    b.push_back({"NiMultiTargetTransformController", multi}); // 15
    NiControllerSequence sequence;
    sequence.name = "Open";
    ControlledBlock cb;
    cb.interpolator = 17;
    cb.controller = 15;
    cb.priority = 1;
    cb.stringPalette = 18;
    cb.offsets = {0, 0xFFFFFFFF, 5, 0xFFFFFFFF, 0xFFFFFFFF};
    sequence.controlledBlocks = {cb, cb};
    sequence.arrayGrowBy = 1;
    sequence.weight = 1;
    sequence.textKeys = 21;
    sequence.cycleType = 2;
    sequence.manager = 13;
    sequence.targetName = "Root";
    sequence.stringPalette = 18;
    b.push_back({"NiControllerSequence", sequence}); // 16
    NiTransformInterpolator interpolator;
    interpolator.translation = {1, 2, 3};
    interpolator.rotation = {1, 0, 0, 0};
    interpolator.data = 20;
    b.push_back({"NiTransformInterpolator", interpolator}); // 17
    b.push_back({"NiStringPalette", NiStringPalette{std::string_view("Root\0NiTransformController\0", 27), 27}}); // 18
    NiMaterialProperty material;
    material.name = "M";
    material.diffuse = {1, 0.5f, 0.25f};
    b.push_back({"NiMaterialProperty", material}); // 19
    NiTransformData data;
    data.rotationType = 4;
    data.xyzRotationCount = 1;
    data.xyzRotations = {floatKeys(1, 2), floatKeys(2, 1), floatKeys(3, 1)};
    data.translationType = 2;
    VectorKey vk;
    vk.time = 1;
    vk.value = {1, 2, 3};
    vk.forward = {4, 5, 6};
    vk.backward = {7, 8, 9};
    data.translationKeys = {vk};
    data.scales = floatKeys(2, 1);
    b.push_back({"NiTransformData", data}); // 20
    NiTextKeyExtraData keys;
    keys.keys = {TextKey{0, "start"}, TextKey{1, "end"}};
    b.push_back({"NiTextKeyExtraData", keys}); // 21
    NiDefaultAVObjectPalette palette;
    palette.objects = {PaletteObject{"Root", 0}, PaletteObject{"Door", 3}};
    b.push_back({"NiDefaultAVObjectPalette", palette}); // 22
    NiTexturingProperty texturing;
    texturing.applyMode = 2;
    texturing.textureCount = 7;
    texturing.slots[0].has = 1;
    texturing.slots[0].desc.source = 24;
    b.push_back({"NiTexturingProperty", texturing}); // 23
    NiSourceTexture source;
    source.fileName = "textures\\x.dds";
    source.pixelLayout = 6;
    source.isStatic = 1;
    b.push_back({"NiSourceTexture", source}); // 24
    return b;
}

// Writes the records of a template table again with the program's writer.
std::vector<std::uint8_t> rewrite(const TemplateTable& templ)
{
    JobFixture f;
    for (std::size_t i = 0; i < templ.size(); ++i)
        f.job.blocks.append(templ.typeName(i), templ.blocks[i].record);
    return f.write();
}

// The written types that only the collision step makes are no template types:
// a placeholder keeps the block numbers.
std::vector<Block> templateTypesOnly(std::vector<Block> blocks)
{
    for (auto& b : blocks)
        if (!isTemplateBlockType(b.type))
            b = {"BSXFlags", BSXFlags{"placeholder", 0}};
    return blocks;
}

TEST(NifWriter, WritesEveryTypeReadBackWholeByTheIndependentReader)
{
    JobFixture f;
    for (auto& b : everyWrittenType())
        f.job.blocks.append(f.job.keepString(b.type), f.job.keepRecord(b.record));
    const auto file = test::readNif20(f.write());
    ASSERT_TRUE(file.complete) << file.error << f.console.captured();
    EXPECT_EQ(file.bytesLeft, 0u);
    ASSERT_EQ(file.blocks.size(), 25u);
    const auto& box = file.blocks[10];
    EXPECT_EQ(box.type, "bhkBoxShape");
    EXPECT_EQ(box.u("material"), 5u);
    EXPECT_EQ(box.all("dimensions"), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(static_cast<float>(box.f("lastFloat"))), 0x3E124925u);
    const auto& convex = file.blocks[11];
    EXPECT_EQ(convex.u("shape"), 10u);
    EXPECT_EQ(convex.u("unknownByte"), 0xCDu);
    EXPECT_EQ(convex.u("unknownShort"), 0xCCCCu);
    EXPECT_EQ(convex.f("transform", 13), 2.0);
    const auto& list = file.blocks[12];
    EXPECT_EQ(list.links("subShapes"), std::vector<std::uint32_t>{11});
    EXPECT_EQ(list.all("unknownInts").size(), 7u);
    const auto& body = file.blocks[5];
    EXPECT_EQ(std::bit_cast<std::uint32_t>(static_cast<float>(body.f("maxAngularVelocity"))), 0x41FB53C3u);
    EXPECT_EQ(body.u("motionSystem"), 6u);
    EXPECT_EQ(body.u("constraints.count"), 0u);
    EXPECT_EQ(file.blocks[4].u("target"), 0u);
    EXPECT_EQ(file.blocks[4].u("body"), 5u);
    EXPECT_EQ(file.blocks[18].s("palette"), std::string("Root\0NiTransformController\0", 27));
    EXPECT_EQ(file.blocks[18].u("length"), 27u);
    EXPECT_EQ(file.blocks[16].u("block1.stringPalette"), 18u);
    EXPECT_EQ(file.blocks[16].s("targetName"), "Root");
    // The template's texture description keeps no transform; external name rewritten.
    EXPECT_EQ(file.blocks[24].s("fileName"), "Textures\\conv\\x.dds");
}

TEST(TemplateReader, ReadsEveryTypeBackAsItWasWritten)
{
    const auto bytes = templateFile(templateTypesOnly(everyWrittenType()));
    Console console = Console::capturing();
    TemplateTable templ;
    templ.image = bytes;
    ASSERT_EQ(readTemplate(console, templ), 0) << console.captured();
    ASSERT_EQ(templ.size(), 25u);

    // The program's writer gives the same blocks back (its header is its own).
    const auto again = rewrite(templ);
    const auto original = test::readNif20(bytes);
    const auto written = test::readNif20(again);
    ASSERT_TRUE(original.complete) << original.error;
    ASSERT_TRUE(written.complete) << written.error;
    EXPECT_EQ(written.bytesLeft, 0u);
    ASSERT_EQ(original.blocks.size(), written.blocks.size());
    for (std::size_t i = 0; i < original.blocks.size(); ++i) {
        const auto& a = original.blocks[i];
        const auto& b = written.blocks[i];
        if (a.type == "NiSourceTexture")
            continue; // its external name is rewritten on the way out
        ASSERT_EQ(a.size, b.size) << i << " " << a.type;
        EXPECT_TRUE(std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(a.offset),
                               bytes.begin() + static_cast<std::ptrdiff_t>(a.offset + a.size),
                               again.begin() + static_cast<std::ptrdiff_t>(b.offset)))
            << "block " << i << " (" << a.type << ") changed";
    }

    // Spot checks through the independent reader.
    EXPECT_EQ(original.blocks[3].all("tangents"), (std::vector<double>{1, 0, 0, 1, 0, 0}));
    EXPECT_EQ(original.blocks[3].all("points"), (std::vector<double>{0, 1, 0, 1, 1}));
    EXPECT_EQ(original.blocks[5].u("layer"), 4u);
    EXPECT_EQ(original.blocks[5].u("unknownInt3"), 9u);
    EXPECT_EQ(original.blocks[15].all("extraTargets"), (std::vector<double>{0, 3, 0xFFFFFFFF}));
    EXPECT_EQ(original.blocks[20].u("xRotation.count"), 2u);
    EXPECT_FALSE(original.blocks[20].has("rotationKeys.time"));
    EXPECT_EQ(original.blocks[21].s("key1"), "end");
    EXPECT_EQ(original.blocks[22].s("object1.name"), "Door");

    // And the typed records hold what was stored.
    EXPECT_EQ(templ.as<NiTransformData>(20)->xyzRotations[0].keys.size(), 2u);
    EXPECT_EQ(templ.as<NiTransformData>(20)->rotationKeys.size(), 0u);
    EXPECT_EQ(templ.as<NiNode>(0)->controller, 14u);
    EXPECT_EQ(templ.as<NiStringPalette>(18)->palette.size(), 27u);
    EXPECT_EQ(templ.find("bhkCollisionObject"), 4);
    EXPECT_EQ(templ.find("bhkCollision"), -1);
    EXPECT_EQ(templ.find(""), -1);
}

TEST(TemplateReader, ReadsTypesThatAreNeverWrittenAndKeepsUnusedTypeNames)
{
    std::vector<Block> blocks;
    NiTriStrips strips;
    strips.name = "Strips";
    strips.data = 1;
    strips.hasShader = 1;
    strips.shaderName = "shader";
    blocks.push_back({"NiTriStrips", strips});
    blocks.push_back({"NiBinaryExtraData", NiBinaryExtraData{"bin", std::string_view("\x01\x02\x00", 3)}});
    Console console = Console::capturing();
    TemplateTable templ;
    templ.image = templateFile(blocks, {"NiUnusedType"});
    ASSERT_EQ(readTemplate(console, templ), 0) << console.captured();
    EXPECT_EQ(templ.typeNames, (std::vector<std::string_view>{"NiTriStrips", "NiBinaryExtraData", "NiUnusedType"}));
    EXPECT_EQ(templ.as<NiTriStrips>(0)->shaderName, "shader");
    EXPECT_EQ(templ.as<NiBinaryExtraData>(1)->data.size(), 3u);
}

TEST(TemplateReader, RefusesForeignFiles)
{
    Console console = Console::capturing();
    TemplateTable v4;
    v4.image = test::Nif4Builder::texturedQuad().build();
    EXPECT_EQ(readTemplate(console, v4), -1);
    EXPECT_EQ(console.captured(), "Wrong NIF version\n");

    // A mesh converted by this program holds NiTriShape, which no template has.
    JobFixture f;
    ASSERT_EQ(f.read(test::Nif4Builder::texturedQuad("a.dds")), 0);
    TemplateTable converted;
    converted.image = f.write();
    Console console2 = Console::capturing();
    EXPECT_EQ(readTemplate(console2, converted), -1);
    EXPECT_EQ(console2.captured(), "Unknown object: NiTriShape\n");
}

TEST(TemplateReader, RefusesEveryTruncation)
{
    const auto bytes = templateFile(templateTypesOnly(everyWrittenType()));
    for (std::size_t n = 0; n + 8 < bytes.size(); ++n) {
        Console console = Console::capturing();
        TemplateTable templ;
        templ.image.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        ASSERT_EQ(readTemplate(console, templ), -1) << "accepted a template cut at " << n;
        ASSERT_FALSE(console.captured().empty());
        EXPECT_EQ(templ.size(), 0u);
    }
}

TEST(TemplateReader, RefusesLinksTypeIndicesAndPoolsBeyondTheTables)
{
    auto refused = [](std::vector<std::uint8_t> bytes, const char* why) {
        Console console = Console::capturing();
        TemplateTable templ;
        templ.image = std::move(bytes);
        EXPECT_EQ(readTemplate(console, templ), -1) << why;
        EXPECT_NE(console.captured().find("Damaged template"), std::string::npos) << console.captured();
    };
    refused(templateFile({{"bhkCollisionObject", bhkCollisionObject{0, 1, 5}}}), "body link beyond one block");

    NiTextKeyExtraData keys;
    keys.keys.assign(101, TextKey{0, "k"});
    refused(templateFile({{"NiTextKeyExtraData", keys}}), "101 text keys");
    NiTextKeyExtraData half;
    half.keys.assign(60, TextKey{0, "k"});
    refused(templateFile({{"NiTextKeyExtraData", half}, {"NiTextKeyExtraData", half}}), "pool shared by blocks");

    NiNode crowded;
    crowded.extraData.assign(101, 0);
    refused(templateFile({{"NiNode", crowded}}), "101 extra data links");

    auto bytes = templateFile({{"BSXFlags", BSXFlags{"BSX", 1}}});
    // The single block's type index sits before the unknown u32 and the block (4 + 3 + 4 bytes) and the footer.
    const std::size_t index = bytes.size() - 8 - 11 - 4 - 2;
    bytes[index] = 1;
    refused(bytes, "type index beyond the type names");
}

TEST(TemplateReader, TestTemplateHoldsTheBlocksTheCollisionStepTakes)
{
    Console console = Console::capturing();
    TemplateTable templ;
    templ.image = buildTestTemplate();
    ASSERT_EQ(readTemplate(console, templ), 0) << console.captured();
    EXPECT_EQ(templ.typeName(0), "NiNode");
    EXPECT_EQ(templ.typeName(1), "BSXFlags");
    for (int i = 2; i <= 7; ++i)
        EXPECT_EQ(templ.typeName(static_cast<std::size_t>(i)), "NiStringExtraData");
    EXPECT_EQ(templ.as<NiNode>(0)->children, std::vector<Link>{8});
    const int collision = templ.find("bhkCollisionObject");
    ASSERT_GE(collision, 0);
    const auto* body = templ.as<bhkRigidBodyT>(templ.as<bhkCollisionObject>(static_cast<std::size_t>(collision))->body);
    ASSERT_NE(body, nullptr);
    EXPECT_TRUE(body->constraints.empty());
    const auto* shape = templ.as<bhkNiTriStripsShape>(body->shape);
    ASSERT_NE(shape, nullptr);
    EXPECT_NE(templ.as<NiTriStripsData>(shape->stripsData.at(0)), nullptr);
}

} // namespace
} // namespace lw::meshshift::testing

namespace lw::meshshift::testing {
namespace {

// Random damage to a valid template: refused with a message or read whole;
// never a read past the image (the sanitizer build watches).
TEST(TemplateReader, DamagedCopiesAreRefusedOrRead)
{
    const auto original = templateFile(templateTypesOnly(everyWrittenType()));
    std::uint32_t state = 0x9E3779B9u;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (int round = 0; round < 3000; ++round) {
        Console console = Console::capturing();
        TemplateTable templ;
        templ.image = original;
        const int flips = 1 + static_cast<int>(next() % 4);
        for (int i = 0; i < flips; ++i)
            templ.image[next() % templ.image.size()] = static_cast<std::uint8_t>(next());
        if (readTemplate(console, templ) != 0)
            ASSERT_FALSE(console.captured().empty()) << round;
        else
            ASSERT_LE(templ.size(), kMaxBlocks);
    }
}

} // namespace
} // namespace lw::meshshift::testing
