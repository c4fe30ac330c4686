#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <string>

#include "collision/collision_fixture.hpp"
#include "meshshift/collision/collision_step.hpp"

namespace lw::meshshift::collision::test {
namespace {

using B = Nif4Builder;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

std::uint32_t bits(double v) { return std::bit_cast<std::uint32_t>(static_cast<float>(v)); }

B::TriShapeData triangle(B::Vec3 a, B::Vec3 b, B::Vec3 c)
{
    B::TriShapeData d;
    d.vertices = {a, b, c};
    d.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    d.centre = {1, 2, 3};
    d.radius = 4;
    d.triangles = {{0, 1, 2}};
    return d;
}

B::AVObject placed(B::Vec3 translation, std::array<float, 9> rotation = {1, 0, 0, 0, 1, 0, 0, 0, 1})
{
    B::AVObject av;
    av.translation = translation;
    av.rotation = rotation;
    return av;
}

// Root NiNode `name` with shapes and nodes added below it.
struct Scene {
    B nif;
    std::uint32_t root;
    explicit Scene(std::string name = "Scene")
    {
        B::Node n;
        n.name = std::move(name);
        root = nif.add(n);
    }
    std::uint32_t shape(std::uint32_t parent, B::TriShapeData data, B::AVObject av = B::AVObject())
    {
        const std::uint32_t d = nif.add(std::move(data));
        B::TriShape t;
        static_cast<B::AVObject&>(t) = av;
        t.data = d;
        const std::uint32_t s = nif.add(t);
        nif.node(parent).children.push_back(s);
        return s;
    }
    std::uint32_t node(std::uint32_t parent, B::AVObject av = B::AVObject(), bool rootCollision = false)
    {
        B::Node n;
        static_cast<B::AVObject&>(n) = av;
        n.rootCollisionNode = rootCollision;
        const std::uint32_t added = nif.add(n);
        nif.node(parent).children.push_back(added);
        return added;
    }
};

const Nif20Block& linked(const Nif20File& f, std::uint32_t link)
{
    EXPECT_LT(link, f.blocks.size());
    return f.blocks.at(link);
}

// Every link field of every block names a written block or none.
void expectLinksInRange(const Nif20File& f)
{
    for (const Nif20Block& b : f.blocks)
        for (const auto& [key, values] : b.num) {
            const bool isLink = key == "children" || key == "extraData" || key == "controller" ||
                                key == "collision" || key == "properties" || key == "effects" || key == "data" ||
                                key == "target" || key == "body" || key == "shape" || key == "subShapes" ||
                                key == "stripsData" || key == "sequences" || key == "objectPalette" ||
                                key == "nextController" || key == "extraTargets" || key == "textKeys" ||
                                key == "manager" || key == "stringPalette" || key == "objects";
            if (!isLink)
                continue;
            for (double v : values)
                EXPECT_TRUE(v == kNone || v < static_cast<double>(f.blocks.size())) << b.type << "." << key << " = " << v;
        }
}

TEST(CollisionStep, StaticGetsStripsCollisionFromItsShapes)
{
    CollisionFixture fx;
    Scene s;
    s.shape(s.root, triangle({0, 0, 0}, {7, 0, 0}, {0, 7, 0}), placed({1, 2, 3}));
    s.shape(s.root, triangle({0, 0, 0}, {7, 0, 0}, {0, 0, 7}));
    ASSERT_TRUE(fx.load(s.nif));
    fx.job.options.material = 9;
    Nif20File f = fx.convert();
    EXPECT_EQ(fx.console.captured(), "HAVOK done\n");
    expectLinksInRange(f);

    // 5 source blocks, 6 appended: BSX, UPB, strips data, strips shape, rigid body, collision object.
    ASSERT_EQ(f.blocks.size(), 11u);
    const Nif20Block& root = f.blocks[0];
    EXPECT_EQ(root.type, "NiNode");
    EXPECT_EQ(root.u("flags") & 2u, 2u);
    EXPECT_EQ(root.links("extraData"), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(linked(f, 1).type, "BSXFlags");
    EXPECT_EQ(linked(f, 1).u("value"), 2u);
    EXPECT_EQ(linked(f, 2).s("name"), "UPB");
    EXPECT_EQ(root.links("children"), (std::vector<std::uint32_t>{8, 10})); // source entries after the appended

    const Nif20Block& object = linked(f, root.u("collision"));
    ASSERT_EQ(object.type, "bhkCollisionObject");
    EXPECT_EQ(object.u("target"), 0u);
    const Nif20Block& body = linked(f, object.u("body"));
    ASSERT_EQ(body.type, "bhkRigidBodyT");
    EXPECT_EQ(body.u("layer"), 1u);
    EXPECT_EQ(body.u("layerCopy"), 1u);
    EXPECT_EQ(body.u("motionSystem"), 7u);
    EXPECT_EQ(body.u("qualityType"), 1u);
    EXPECT_EQ(body.f("mass"), 0.0);
    const Nif20Block& shape = linked(f, body.u("shape"));
    ASSERT_EQ(shape.type, "bhkNiTriStripsShape");
    EXPECT_EQ(shape.u("material"), 9u);
    const Nif20Block& data = linked(f, shape.links("stripsData").at(0));
    ASSERT_EQ(data.type, "NiTriStripsData");
    EXPECT_EQ(data.u("numVertices"), 6u);
    EXPECT_EQ(data.u("hasVertices"), 1u);
    // First shape moved by its translation, second one in place.
    EXPECT_EQ(data.all("vertices"), (std::vector<double>{1, 2, 3, 8, 2, 3, 1, 9, 3, 0, 0, 0, 7, 0, 0, 0, 0, 7}));
    EXPECT_EQ(data.all("points"), (std::vector<double>{1, 2, 0, 0, 4, 4, 5, 3}));
    EXPECT_EQ(data.u("numTriangles"), 6u);
    EXPECT_EQ(data.u("numStrips"), 1u);
    EXPECT_EQ(data.all("centre"), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(data.f("radius"), 4.0);
    EXPECT_EQ(data.u("uvSetByte"), 0u);
    EXPECT_EQ(data.u("hasColors"), 0u);
}

TEST(CollisionStep, RootCollisionNodeGivesTheStripsAndIsNotWritten)
{
    for (bool wholeScene : {false, true}) {
        CollisionFixture fx;
        Scene s;
        s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
        const std::uint32_t rc = s.node(s.root, placed({0, 0, 100}), true);
        s.shape(rc, triangle({5, 5, 5}, {6, 5, 5}, {5, 6, 5}), placed({10, 0, 0}));
        ASSERT_TRUE(fx.load(s.nif));
        fx.job.options.wholeScene = wholeScene;
        Nif20File f = fx.convert();
        expectLinksInRange(f);
        EXPECT_TRUE(f.ofType("RootCollisionNode").empty());
        EXPECT_EQ(f.ofType("NiTriShape").size(), 1u);
        EXPECT_EQ(f.ofType("NiTriShapeData").size(), 1u);
        EXPECT_EQ(f.blocks[0].links("children").size(), 1u);
        const Nif20Block& data = f.first("NiTriStripsData");
        if (wholeScene)
            EXPECT_EQ(data.all("vertices"), (std::vector<double>{0, 0, 0, 1, 0, 0, 0, 1, 0}));
        else // in the space of the RootCollisionNode's parent
            EXPECT_EQ(data.all("vertices"), (std::vector<double>{15, 5, 105, 16, 5, 105, 15, 6, 105}));
    }
}

TEST(CollisionStep, CollisionShapeDataSharedWithAVisibleShapeStays)
{
    CollisionFixture fx;
    Scene s;
    const std::uint32_t visible = s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    const std::uint32_t rc = s.node(s.root, B::AVObject(), true);
    B::TriShape hiddenShape;
    hiddenShape.data = s.nif.triShape(visible).data;
    const std::uint32_t hidden = s.nif.add(hiddenShape);
    s.nif.node(rc).children = {hidden};
    ASSERT_TRUE(fx.load(s.nif));
    Nif20File f = fx.convert();
    ASSERT_EQ(f.ofType("NiTriShape").size(), 1u);
    const Nif20Block& shape = *f.ofType("NiTriShape")[0];
    EXPECT_EQ(linked(f, shape.u("data")).type, "NiTriShapeData");
}

TEST(CollisionStep, NoCollisionOptionKeepsExtraDataAndStillDropsRootCollision)
{
    CollisionFixture fx;
    Scene s;
    s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    const std::uint32_t rc = s.node(s.root, B::AVObject(), true);
    s.shape(rc, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    ASSERT_TRUE(fx.load(s.nif));
    fx.job.options.noCollision = true;
    Nif20File f = fx.convert();
    EXPECT_TRUE(f.ofType("bhkCollisionObject").empty());
    EXPECT_TRUE(f.ofType("bhkRigidBodyT").empty());
    EXPECT_TRUE(f.ofType("NiTriStripsData").empty());
    EXPECT_TRUE(f.ofType("RootCollisionNode").empty());
    EXPECT_EQ(f.blocks[0].links("extraData"), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(f.blocks[0].u("collision"), kNone);
    EXPECT_EQ(f.blocks.size(), 5u); // root, BSX, UPB, shape, data
}

TEST(CollisionStep, WeaponGetsOneBoxPerShapeInWalkOrder)
{
    CollisionFixture fx;
    Scene s;
    // Vertices spanning x from -7 to 21: centre 1, half size 2.
    s.shape(s.root, triangle({-7, 0, 0}, {21, 7, 0}, {0, 0, 14}));
    // A child node turned a quarter about z and moved; its shape moved too.
    const std::uint32_t child = s.node(s.root, placed({0, 0, 70}, {0, -1, 0, 1, 0, 0, 0, 0, 1}));
    s.shape(child, triangle({0, 0, 0}, {14, 0, 0}, {0, 0, 0}), placed({7, 0, 0}));
    const std::uint32_t rc = s.node(s.root, B::AVObject(), true);
    s.shape(rc, triangle({0, 0, 0}, {100, 0, 0}, {0, 100, 0}));
    ASSERT_TRUE(fx.load(s.nif));
    fx.options(5, 5, 4, 3);
    Nif20File f = fx.convert();
    expectLinksInRange(f);

    const Nif20Block& root = f.blocks[0];
    ASSERT_EQ(root.links("extraData").size(), 3u);
    EXPECT_EQ(linked(f, root.links("extraData")[0]).u("value"), 3u);
    EXPECT_EQ(linked(f, root.links("extraData")[1]).s("string"), fx.job.templ.as<NiStringExtraData>(3)->text);
    EXPECT_EQ(linked(f, root.links("extraData")[2]).s("name"), "Src");

    const Nif20Block& body = f.first("bhkRigidBodyT");
    EXPECT_EQ(body.u("layer"), 5u);
    EXPECT_EQ(body.u("layerCopy"), 5u);
    EXPECT_EQ(body.u("motionSystem"), 4u);
    EXPECT_EQ(body.u("qualityType"), 3u);
    EXPECT_EQ(bits(body.f("mass")), bits(5.0));
    EXPECT_EQ(bits(body.f("inertia", 0)), bits(5.0));
    EXPECT_EQ(bits(body.f("inertia", 5)), bits(0.5));
    EXPECT_EQ(bits(body.f("inertia", 10)), bits(5.0));
    EXPECT_EQ(bits(body.f("linearDamping")), bits(0.1));
    EXPECT_EQ(bits(body.f("angularDamping")), bits(0.05));
    EXPECT_EQ(bits(body.f("friction")), bits(0.3));
    EXPECT_EQ(bits(body.f("restitution")), bits(0.3));
    EXPECT_EQ(bits(body.f("maxLinearVelocity")), bits(250.0));
    EXPECT_EQ(bits(body.f("maxAngularVelocity")), 0x41FB53C3u);
    EXPECT_EQ(bits(body.f("penetrationDepth")), bits(0.15));

    const Nif20Block& list = linked(f, body.u("shape"));
    ASSERT_EQ(list.type, "bhkListShape");
    EXPECT_EQ(list.u("material"), 5u);
    EXPECT_EQ(list.all("unknownFloats"), std::vector<double>(6, 0.0));
    EXPECT_EQ(list.all("unknownInts"), std::vector<double>(7, 0.0));
    ASSERT_EQ(list.links("subShapes").size(), 2u); // the RootCollisionNode's shape makes no box
    EXPECT_EQ(f.ofType("bhkBoxShape").size(), 2u);

    std::vector<std::vector<double>> centres, halves;
    for (std::uint32_t link : list.links("subShapes")) {
        const Nif20Block& placed = linked(f, link);
        ASSERT_EQ(placed.type, "bhkConvexTransformShape");
        EXPECT_EQ(placed.u("material"), 0x00u);
        EXPECT_EQ(placed.u("unknownByte"), 0xCDu);
        EXPECT_EQ(placed.u("unknownShort"), 0xCCCCu);
        EXPECT_EQ(placed.all("unknownFloats"), std::vector<double>(3, 0.0));
        const auto& t = placed.all("transform");
        EXPECT_EQ(std::vector<double>(t.begin(), t.begin() + 12),
                  (std::vector<double>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}));
        EXPECT_EQ(t[15], 1.0);
        centres.push_back({t[12], t[13], t[14]});
        const Nif20Block& box = linked(f, placed.u("shape"));
        ASSERT_EQ(box.type, "bhkBoxShape");
        EXPECT_EQ(box.u("material"), 5u);
        EXPECT_EQ(bits(box.f("radius")), bits(0.1));
        EXPECT_EQ(box.all("unknownShorts"), std::vector<double>(4, 0.0));
        EXPECT_EQ(bits(box.f("lastFloat")), 0x3E124925u);
        halves.push_back(box.all("dimensions"));
    }
    // Box 1: x -7..21, y 0..7, z 0..14.
    EXPECT_EQ(centres[0], (std::vector<double>{1.0, 0.5, 1.0}));
    EXPECT_EQ(halves[0], (std::vector<double>{2.0, 0.5, 1.0}));
    // Box 2: shape x 7..21 at y 0, turned to x 0, y 7..21, then raised by 70.
    EXPECT_EQ(centres[1], (std::vector<double>{0.0, 2.0, 10.0}));
    EXPECT_EQ(halves[1], (std::vector<double>{0.0, 1.0, 0.0}));
}

TEST(CollisionStep, ClutterWithHavokOffOptionGetsOnlyTheAlternativeExtraData)
{
    CollisionFixture fx;
    Scene s;
    s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    ASSERT_TRUE(fx.load(s.nif));
    fx.options(0, 4, 4, 3);
    fx.job.options.alternativeExtra = true;
    Nif20File f = fx.convert();
    EXPECT_TRUE(f.ofType("BSXFlags").empty());
    ASSERT_EQ(f.blocks[0].links("extraData").size(), 1u);
    EXPECT_EQ(linked(f, f.blocks[0].links("extraData")[0]).s("string"),
              fx.job.templ.as<NiStringExtraData>(6)->text);
    const Nif20Block& body = f.first("bhkRigidBodyT");
    EXPECT_EQ(bits(body.f("mass")), bits(1.0));
    EXPECT_EQ(bits(body.f("inertia", 5)), bits(0.1));
    EXPECT_EQ(body.u("layer"), 4u);
}

TEST(CollisionStep, DoorGetsTheTemplateRootAndTheAnimationGraph)
{
    CollisionFixture fx;
    Scene s("DoorPanel1"); // 10 characters under the template root "Door" (4)
    s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    ASSERT_TRUE(fx.load(s.nif));
    fx.options(12, 2, 6, 2);
    Nif20File f = fx.convert();
    expectLinksInRange(f);

    // Appended: root, BSX, UPB, 14 graph blocks, box, convex, list, body, object = 22.
    const std::uint32_t oldRoot = 22;
    ASSERT_EQ(f.blocks.size(), 22u + 3u);
    const Nif20Block& root = f.blocks[0];
    EXPECT_EQ(root.type, "NiNode");
    EXPECT_EQ(root.s("name"), "Door");
    EXPECT_EQ(root.links("children"), (std::vector<std::uint32_t>{oldRoot}));
    EXPECT_EQ(root.u("collision"), kNone);
    EXPECT_EQ(root.links("extraData"), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(linked(f, 1).u("value"), 3u);
    EXPECT_EQ(linked(f, 2).s("string"), fx.job.templ.as<NiStringExtraData>(7)->text);
    const Nif20Block& parent = f.blocks[oldRoot];
    EXPECT_EQ(parent.s("name"), "DoorPanel1");
    EXPECT_EQ(linked(f, parent.u("collision")).u("target"), oldRoot);
    EXPECT_EQ(parent.u("controller"), kNone);

    // Appended in the documented order.
    const std::vector<std::string> graph{"NiControllerManager", "NiMultiTargetTransformController",
        "NiControllerSequence", "NiTransformInterpolator", "NiStringPalette", "NiTransformInterpolator",
        "NiTransformData", "NiTextKeyExtraData", "NiControllerSequence", "NiTransformInterpolator",
        "NiTransformInterpolator", "NiTransformData", "NiTextKeyExtraData", "NiDefaultAVObjectPalette"};
    for (std::size_t i = 0; i < graph.size(); ++i)
        EXPECT_EQ(f.blocks[3 + i].type, graph[i]) << i;

    const Nif20Block& manager = linked(f, root.u("controller"));
    ASSERT_EQ(manager.type, "NiControllerManager");
    EXPECT_EQ(root.u("controller"), 3u);
    EXPECT_EQ(manager.u("target"), 0u);
    EXPECT_EQ(manager.links("sequences"), (std::vector<std::uint32_t>{5, 11}));
    const Nif20Block& controller = linked(f, manager.u("nextController"));
    EXPECT_EQ(controller.type, "NiMultiTargetTransformController");
    EXPECT_EQ(controller.u("target"), 0u);
    EXPECT_EQ(controller.all("extraTargets"), (std::vector<double>{0, oldRoot}));

    const Nif20Block& palette = f.blocks[7];
    const std::string expected = std::string("Door\0NiTransformController\0DoorPanel1\0", 38);
    EXPECT_EQ(palette.s("palette"), expected);
    EXPECT_EQ(palette.u("length"), 38u);
    EXPECT_EQ(expected.substr(27, 10), "DoorPanel1");

    for (std::uint32_t seqLink : manager.links("sequences")) {
        const Nif20Block& seq = linked(f, seqLink);
        EXPECT_EQ(seq.u("manager"), 3u);
        EXPECT_EQ(seq.s("targetName"), "Door");
        EXPECT_EQ(seq.u("stringPalette"), 7u);
        EXPECT_EQ(linked(f, seq.u("textKeys")).type, "NiTextKeyExtraData");
        for (int b = 0; b < 2; ++b) {
            const std::string p = "block" + std::to_string(b);
            EXPECT_EQ(seq.u(p + ".controller"), 4u);
            EXPECT_EQ(seq.u(p + ".stringPalette"), 7u);
            EXPECT_EQ(seq.u(p + ".offsets", 0), b == 0 ? 0u : 27u);
            EXPECT_EQ(seq.u(p + ".offsets", 2), 5u);
            EXPECT_EQ(linked(f, seq.u(p + ".interpolator")).type, "NiTransformInterpolator");
        }
        const Nif20Block& moving = linked(f, seq.u("block1.interpolator"));
        EXPECT_EQ(linked(f, moving.u("data")).type, "NiTransformData");
        EXPECT_EQ(linked(f, seq.u("block0.interpolator")).u("data"), kNone);
    }
    const Nif20Block& objects = linked(f, manager.u("objectPalette"));
    EXPECT_EQ(objects.s("object0.name"), "Door");
    EXPECT_EQ(objects.s("object1.name"), "DoorPanel1");
    EXPECT_EQ(objects.all("objects"), (std::vector<double>{0, oldRoot}));

    const Nif20Block& body = f.first("bhkRigidBodyT");
    EXPECT_EQ(body.u("layer"), 2u);
    EXPECT_EQ(body.f("mass"), 0.0);
    EXPECT_EQ(body.u("motionSystem"), 6u);
    EXPECT_EQ(body.u("qualityType"), 2u);
}

TEST(CollisionStep, DoorWithHavokOffOptionHasNoAnimationGraph)
{
    CollisionFixture fx;
    Scene s;
    s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    ASSERT_TRUE(fx.load(s.nif));
    fx.options(12, 2, 6, 2);
    fx.job.options.alternativeExtra = true;
    Nif20File f = fx.convert();
    EXPECT_EQ(f.blocks[0].s("name"), "Door");
    EXPECT_EQ(f.blocks[0].u("controller"), kNone);
    EXPECT_TRUE(f.ofType("NiControllerManager").empty());
    EXPECT_EQ(f.blocks[0].links("extraData").size(), 1u);
}

TEST(CollisionStep, SceneWhoseRootIsNoNodeGetsTheTemplateParent)
{
    CollisionFixture fx;
    B reordered; // the shape is block 0, its data follows
    B::TriShape lonely;
    static_cast<B::AVObject&>(lonely) = placed({0, 0, 7});
    lonely.name = "Lonely";
    lonely.data = 1;
    reordered.add(lonely);
    reordered.add(triangle({0, 0, 0}, {7, 0, 0}, {0, 7, 0}));
    ASSERT_TRUE(fx.load(reordered));
    Nif20File f = fx.convert();
    expectLinksInRange(f);
    const Nif20Block& root = f.blocks[0];
    EXPECT_EQ(root.type, "NiNode");
    EXPECT_EQ(root.s("name"), "Scene Root");
    EXPECT_EQ(root.links("children"), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(f.blocks[1].type, "NiTriShape");
    EXPECT_EQ(f.blocks[1].all("translation"), (std::vector<double>{0, 0, 7})); // not the root: kept
    EXPECT_EQ(linked(f, root.u("collision")).u("target"), 0u);
    // The shape's own placement goes into the strips.
    EXPECT_EQ(f.first("NiTriStripsData").all("vertices"), (std::vector<double>{0, 0, 7, 7, 0, 7, 0, 7, 7}));
}

TEST(CollisionStep, UnsupportedPropertiesAndEffectsAreDropped)
{
    CollisionFixture fx;
    Scene s;
    const std::uint32_t shape = s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    const std::uint32_t specular = s.nif.add(B::SpecularProperty{});
    B::MaterialProperty mat;
    mat.name = "Mat";
    const std::uint32_t material = s.nif.add(mat);
    const std::uint32_t colours = s.nif.add(B::VertexColorProperty{});
    B::SourceTexture env;
    env.fileName = "env.tga";
    const std::uint32_t texture = s.nif.add(env);
    B::TextureEffect effect;
    effect.sourceTexture = texture;
    const std::uint32_t effectBlock = s.nif.add(effect);
    s.nif.triShape(shape).properties = {specular, material, colours};
    s.nif.node(s.root).effects = {effectBlock};
    s.nif.node(s.root).children.push_back(effectBlock);
    ASSERT_TRUE(fx.load(s.nif));
    Nif20File f = fx.convert();
    expectLinksInRange(f);
    EXPECT_TRUE(f.ofType("NiSpecularProperty").empty());
    EXPECT_TRUE(f.ofType("NiVertexColorProperty").empty());
    EXPECT_TRUE(f.ofType("NiTextureEffect").empty());
    EXPECT_TRUE(f.ofType("NiSourceTexture").empty());
    const Nif20Block& written = *f.ofType("NiTriShape")[0];
    ASSERT_EQ(written.links("properties").size(), 1u);
    EXPECT_EQ(linked(f, written.links("properties")[0]).type, "NiMaterialProperty");
    EXPECT_TRUE(f.blocks[0].links("effects").empty());
}

TEST(CollisionNumbering, AppendedBlocksFollowTheRootOrComeFirst)
{
    BlockTable blocks;
    std::deque<BlockRecord> records;
    for (int i = 0; i < 9; ++i) {
        records.emplace_back(NiNode{});
        blocks.append("NiNode", &records.back());
    }
    OutputNumbering n = buildOutputNumbering(blocks, 5, false, 0);
    EXPECT_EQ(n.order, (std::vector<Link>{0, 5, 6, 7, 8, 1, 2, 3, 4}));
    EXPECT_EQ(n.remap, (std::vector<std::int32_t>{0, 5, 6, 7, 8, 1, 2, 3, 4}));

    // Layer 2: appended first; the new root (entry 6 here) swaps into block 0.
    n = buildOutputNumbering(blocks, 5, true, 6);
    EXPECT_EQ(n.order, (std::vector<Link>{6, 5, 7, 8, 0, 1, 2, 3, 4}));

    // A new parent swaps with entry 0; dropped entries take no number.
    blocks.drop(2);
    blocks.drop(7);
    n = buildOutputNumbering(blocks, 5, false, 5);
    EXPECT_EQ(n.order, (std::vector<Link>{5, 0, 6, 8, 1, 3, 4}));
    EXPECT_EQ(n.remap[2], -1);
    EXPECT_EQ(n.remap[7], -1);
    EXPECT_EQ(n.remap[0], 1);
}

TEST(CollisionStep, MoreThanAHundredBoxesAreRefused)
{
    CollisionFixture fx;
    Scene s;
    for (int i = 0; i < 101; ++i)
        s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    ASSERT_TRUE(fx.load(s.nif));
    fx.options(5, 5, 4, 3);
    EXPECT_EQ(buildCollision(fx.job), -1);
    EXPECT_EQ(fx.console.captured(), "too many boxes!\nerror building Havok data\n");

    CollisionFixture hundred;
    Scene t;
    for (int i = 0; i < 100; ++i)
        t.shape(t.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    ASSERT_TRUE(hundred.load(t.nif));
    hundred.options(5, 5, 4, 3);
    Nif20File f = hundred.convert();
    EXPECT_EQ(f.first("bhkListShape").links("subShapes").size(), 100u);
}

TEST(CollisionStep, LongNamesOverflowingThePaletteAreRefused)
{
    for (std::size_t length : {100u, 101u}) { // 4 + length + 24 bytes against 128
        CollisionFixture fx;
        Scene s(std::string(length, 'n'));
        s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
        ASSERT_TRUE(fx.load(s.nif));
        fx.options(12, 2, 6, 2);
        const int result = buildCollision(fx.job);
        if (length == 100) {
            EXPECT_EQ(result, 0) << fx.console.captured();
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(fx.console.captured(), "string palette too long!\n");
        }
    }
}

TEST(CollisionStep, FullExtraDataListIsRefused)
{
    CollisionFixture fx;
    Scene s;
    s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    ASSERT_TRUE(fx.load(s.nif));
    fx.job.blocks.as<NiNode>(0)->extraData.assign(99, kNoLink);
    fx.options(5, 5, 4, 3); // BSX fits as the 100th, the weapon's first block does not
    EXPECT_EQ(buildCollision(fx.job), -1);
    EXPECT_EQ(fx.console.captured(), "too many extra data!\n");
}

TEST(CollisionStep, StripsFailuresAreReportedInOrder)
{
    CollisionFixture fx;
    Scene s;
    B::TriShapeData big;
    big.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    big.triangles.assign(4096, {0, 1, 2});
    s.shape(s.root, big);
    ASSERT_TRUE(fx.load(s.nif));
    EXPECT_EQ(buildCollision(fx.job), -1);
    EXPECT_EQ(fx.console.captured(),
              "too many triangles!\nerror in collision strips data!\nerror building Havok data\n");
    EXPECT_EQ(fx.console.waits(), 1);
}

TEST(CollisionStep, TemplateThatDoesNotFitIsRefused)
{
    {
        CollisionFixture fx;
        Scene s;
        s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
        ASSERT_TRUE(fx.load(s.nif));
        fx.job.templ.as<bhkRigidBodyT>(10)->constraints = {0};
        EXPECT_EQ(buildCollision(fx.job), -1);
        EXPECT_EQ(fx.console.captured(), "error building Havok data\n");
    }
    {
        CollisionFixture fx;
        Scene s;
        ASSERT_TRUE(fx.load(s.nif));
        fx.job.templ.typeNames[fx.job.templ.blocks[8].typeIndex] = "bhkCollisionObjecT";
        EXPECT_EQ(buildCollision(fx.job), -1);
        EXPECT_EQ(fx.console.captured(), "error building Havok data\n");
    }
}

// A quarter turn about z: (x, y, z) -> (-y, x, z).
constexpr std::array<float, 9> kQuarterTurn{0, -1, 0, 1, 0, 0, 0, 0, 1};

B::AVObject scaled(B::Vec3 translation, std::array<float, 9> rotation, float scale, std::uint16_t flags = 0)
{
    B::AVObject av = placed(translation, rotation);
    av.scale = scale;
    av.flags = flags;
    return av;
}

struct CoverCase {
    const char* name;
    std::function<void(Scene&)> build;
    std::int32_t layer;
    std::vector<double> expected; // strip vertices, or per box centre x y z then half x y z
    std::size_t writtenNodes;     // NiNode blocks in the output
};

// Worked by hand, shape first, then each ancestor: v -> scale (R v) + T.
const CoverCase kCoverCases[] = {
    {"nested static: shapes two and three levels down below a turned, scaled, moved node",
     [](Scene& s) {
         const auto a = s.node(s.root, scaled({10, 0, 0}, kQuarterTurn, 2));
         const auto b = s.node(a, placed({0, 5, 0}));
         // (0,0,0) -> +(1,0,0) -> +(0,5,0) = (1,5,0) -> turn (-5,1,0) x2 (-10,2,0) +(10,0,0) = (0,2,0)
         s.shape(b, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), placed({1, 0, 0}));
         s.shape(a, triangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1}));
         s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), scaled({}, kQuarterTurn, 1, 1)); // hidden
     },
     1, {0, 2, 0, 0, 4, 0, -2, 2, 0, 10, 0, 0, 10, 2, 0, 10, 0, 2}, 3},
    {"every RootCollisionNode gives strips, at any depth, and none is written",
     [](Scene& s) {
         s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
         const auto first = s.node(s.root, placed({0, 0, 100}), true);
         const auto inner = s.node(first, scaled({0, 0, 0}, kQuarterTurn, 3));
         s.shape(inner, triangle({1, 0, 0}, {0, 1, 0}, {0, 0, 1}), scaled({}, kQuarterTurn, 1, 1)); // hidden counts here
         const auto second = s.node(s.root, placed({7, 0, 0}), true);
         s.shape(second, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
     },
     // (1,0,0) -> turn (0,1,0) -> turn (-1,0,0) x3 (-3,0,0) +(0,0,100)
     1, {-3, 0, 100, 0, -3, 100, 0, 0, 103, 7, 0, 0, 8, 0, 0, 7, 1, 0}, 1},
    {"a scene with only a hidden shape gets an empty strip",
     [](Scene& s) { s.shape(s.root, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), scaled({}, kQuarterTurn, 1, 1)); },
     1, {}, 1},
    {"weapon with a turned grandparent: its box surrounds the drawn shape",
     [](Scene& s) {
         const auto grand = s.node(s.root, placed({0, 0, 7}, kQuarterTurn));
         const auto parent = s.node(grand, placed({7, 0, 0}));
         // (0,0,0),(14,0,0),(0,7,0) -> (7,0,0),(21,0,0),(7,7,0) -> (0,7,7),(0,21,7),(-7,7,7)
         s.shape(parent, triangle({0, 0, 0}, {14, 0, 0}, {0, 7, 0}));
     },
     5, {-0.5, 2, 1, 0.5, 1, 0}, 3},
    {"a scaled shape's box is scaled with it",
     [](Scene& s) { s.shape(s.root, triangle({0, 0, 0}, {7, 0, 0}, {0, 14, 0}), scaled({0, 0, 0}, kQuarterTurn, 2)); },
     // (7,0,0) -> (0,14,0); (0,14,0) -> (-28,0,0): x -28..0, y 0..14
     4, {-2, 1, 0, 2, 1, 0}, 1},
};

TEST(CollisionStep, CollisionCoversTheWholeDrawnObject)
{
    for (const CoverCase& c : kCoverCases) {
        SCOPED_TRACE(c.name);
        CollisionFixture fx;
        Scene s;
        c.build(s);
        ASSERT_TRUE(fx.load(s.nif));
        fx.options(0, c.layer, 7, 1);
        Nif20File f = fx.convert();
        expectLinksInRange(f);
        EXPECT_TRUE(f.ofType("RootCollisionNode").empty());
        EXPECT_EQ(f.ofType("NiNode").size(), c.writtenNodes);
        std::vector<double> got;
        if (c.layer == 1) {
            const Nif20Block& data = f.first("NiTriStripsData");
            got = data.has("vertices") ? data.all("vertices") : std::vector<double>{};
            EXPECT_EQ(data.u("numVertices"), got.size() / 3);
        } else {
            for (std::uint32_t link : f.first("bhkListShape").links("subShapes")) {
                const auto& t = linked(f, link).all("transform");
                got.insert(got.end(), t.begin() + 12, t.begin() + 15);
                const auto& half = linked(f, linked(f, link).u("shape")).all("dimensions");
                got.insert(got.end(), half.begin(), half.end());
            }
        }
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.expected[i], 1e-5) << "value " << i;
    }
}

} // namespace
} // namespace lw::meshshift::collision::test

namespace lw::meshshift::collision::test {
namespace {

TEST(CollisionStep, NodeCyclesAndStrayLinksAreWalkedSafely)
{
    CollisionFixture fx;
    Scene s;
    const std::uint32_t child = s.node(s.root);
    s.shape(child, triangle({0, 0, 0}, {7, 0, 0}, {0, 7, 0}));
    ASSERT_TRUE(fx.load(s.nif));
    // A damaged scene: the child lists itself, the root and a block that does not exist.
    NiNode* node = fx.job.blocks.as<NiNode>(child);
    ASSERT_NE(node, nullptr);
    node->children.push_back(child);
    node->children.push_back(0);
    node->children.push_back(5000);
    fx.options(0, 4, 4, 3);
    ASSERT_EQ(buildCollision(fx.job), 0) << fx.console.captured();
    int boxes = 0;
    for (const BlockEntry& e : fx.job.blocks)
        boxes += e.typeName == "bhkBoxShape";
    EXPECT_EQ(boxes, 1);
}

} // namespace
} // namespace lw::meshshift::collision::test
