// The collision step and its strip walk; expected values worked by hand.
#include <functional>

#include "meshshift/mesh_fixture.hpp"
#include "meshshift/collision/strip_builder.hpp"

namespace lw::meshshift::collision::test {
namespace {

using B = lw::test::Nif4Builder;
using CollisionFixture = testing::JobFixture;
using testing::Nif20Block;
using testing::Nif20File;

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

const B::TriShapeData kUnit = triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});

// A quarter turn about z: (x, y, z) -> (-y, x, z).
constexpr std::array<float, 9> kQuarterTurn{0, -1, 0, 1, 0, 0, 0, 0, 1};

B::AVObject placed(B::Vec3 translation, std::array<float, 9> rotation = {1, 0, 0, 0, 1, 0, 0, 0, 1}, float scale = 1,
                   std::uint16_t flags = 0)
{
    B::AVObject av;
    av.translation = translation;
    av.rotation = rotation;
    av.scale = scale;
    av.flags = flags;
    return av;
}

const B::AVObject kHidden = placed({}, kQuarterTurn, 1, 1);

// Root NiNode `name` with shapes and nodes added below it.
struct Scene {
    B nif;
    std::uint32_t root;
    explicit Scene(std::string name = "Scene") { root = nif.add(B::named<B::Node>(std::move(name))); }
    std::uint32_t shape(std::uint32_t parent, B::TriShapeData data = kUnit, B::AVObject av = B::AVObject())
    {
        B::TriShape t;
        static_cast<B::AVObject&>(t) = av;
        t.data = nif.add(std::move(data));
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
    // 5 source blocks, 6 appended: BSX, UPB, strips data, strips shape, rigid body, collision object.
    ASSERT_EQ(f.blocks.size(), 11u);
    const Nif20Block& root = f.blocks[0];
    EXPECT_EQ(root.u("flags") & 2u, 2u);
    EXPECT_EQ(root.links("extraData"), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(f.blocks.at(1).u("value"), 2u);
    EXPECT_EQ(root.links("children"), (std::vector<std::uint32_t>{8, 10}));
    const Nif20Block& body = f.blocks.at(f.blocks.at(root.u("collision")).u("body"));
    EXPECT_EQ(body.u("layer"), 1u);
    EXPECT_EQ(body.u("motionSystem"), 7u);
    const Nif20Block& shape = f.blocks.at(body.u("shape"));
    EXPECT_EQ(shape.u("material"), 9u);
    const Nif20Block& data = f.blocks.at(shape.links("stripsData").at(0));
    EXPECT_EQ(data.all("vertices"), (std::vector<double>{1, 2, 3, 8, 2, 3, 1, 9, 3, 0, 0, 0, 7, 0, 0, 0, 0, 7}));
    EXPECT_EQ(data.all("points"), (std::vector<double>{1, 2, 0, 0, 4, 4, 5, 3}));
    EXPECT_EQ(data.u("numTriangles"), 6u);
    EXPECT_EQ(data.all("centre"), (std::vector<double>{1, 2, 3}));
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
         const auto a = s.node(s.root, placed({10, 0, 0}, kQuarterTurn, 2));
         const auto b = s.node(a, placed({0, 5, 0}));
         // (0,0,0) -> +(1,0,0) -> +(0,5,0) = (1,5,0) -> turn (-5,1,0) x2 (-10,2,0) +(10,0,0) = (0,2,0)
         s.shape(b, triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), placed({1, 0, 0}));
         s.shape(a, triangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1}));
         s.shape(s.root, kUnit, kHidden);
     },
     1, {0, 2, 0, 0, 4, 0, -2, 2, 0, 10, 0, 0, 10, 2, 0, 10, 0, 2}, 3},
    {"every RootCollisionNode gives strips, at any depth, and none is written",
     [](Scene& s) {
         s.shape(s.root);
         const auto first = s.node(s.root, placed({0, 0, 100}), true);
         const auto inner = s.node(first, placed({0, 0, 0}, kQuarterTurn, 3));
         s.shape(inner, triangle({1, 0, 0}, {0, 1, 0}, {0, 0, 1}), kHidden); // hidden counts here
         s.shape(s.node(s.root, placed({7, 0, 0}), true));
     },
     // (1,0,0) -> turn (0,1,0) -> turn (-1,0,0) x3 (-3,0,0) +(0,0,100)
     1, {-3, 0, 100, 0, -3, 100, 0, 0, 103, 7, 0, 0, 8, 0, 0, 7, 1, 0}, 1},
    {"weapon with a turned grandparent: its box surrounds the drawn shape",
     [](Scene& s) {
         const auto parent = s.node(s.node(s.root, placed({0, 0, 7}, kQuarterTurn)), placed({7, 0, 0}));
         // (0,0,0),(14,0,0),(0,7,0) -> (7,0,0),(21,0,0),(7,7,0) -> (0,7,7),(0,21,7),(-7,7,7)
         s.shape(parent, triangle({0, 0, 0}, {14, 0, 0}, {0, 7, 0}));
     },
     5, {-0.5, 2, 1, 0.5, 1, 0}, 3},
    {"a scaled shape's box is scaled with it, wholly below zero in x",
     [](Scene& s) { s.shape(s.root, triangle({0, 0, 0}, {7, 0, 0}, {0, 14, 0}), placed({-14, 0, 0}, kQuarterTurn, 2)); },
     // (0,0,0) -> (-14,0,0); (7,0,0) -> (-14,14,0); (0,14,0) -> (-42,0,0): x -42..-14, y 0..14
     4, {-4, 1, 0, 2, 1, 0}, 1},
};

TEST(CollisionStep, CollisionCoversTheWholeDrawnObjectWithinItsCapacities)
{
    for (const CoverCase& c : kCoverCases) {
        SCOPED_TRACE(c.name);
        CollisionFixture fx;
        Scene s;
        c.build(s);
        ASSERT_TRUE(fx.load(s.nif));
        fx.job.options.layer = c.layer;
        Nif20File f = fx.convert();
        EXPECT_TRUE(f.ofType("RootCollisionNode").empty());
        EXPECT_EQ(f.ofType("NiNode").size(), c.writtenNodes);
        std::vector<double> got;
        if (c.layer == 1) {
            const Nif20Block& data = f.first("NiTriStripsData");
            got = data.has("vertices") ? data.all("vertices") : std::vector<double>{};
            EXPECT_EQ(data.u("numVertices"), got.size() / 3);
        } else {
            for (std::uint32_t link : f.first("bhkListShape").links("subShapes")) {
                const auto& t = f.blocks.at(link).all("transform");
                got.insert(got.end(), t.begin() + 12, t.begin() + 15);
                const auto& half = f.blocks.at(f.blocks.at(link).u("shape")).all("dimensions");
                got.insert(got.end(), half.begin(), half.end());
            }
        }
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.expected[i], 1e-5) << "value " << i;
    }
}

TEST(CollisionStep, DoorGetsTheTemplateRootAndTheAnimationGraph)
{
    CollisionFixture fx;
    Scene s("DoorPanel1"); // 10 characters under the template root "Door" (4)
    s.shape(s.root);
    ASSERT_TRUE(fx.load(s.nif));
    fx.job.options.layer = 2;
    fx.job.options.material = 12;
    fx.job.options.quality = 2;
    fx.job.options.motionSystem = 6;
    Nif20File f = fx.convert();
    // Appended: root, BSX, UPB, 14 graph blocks, box, convex, list, body, object = 22.
    const std::uint32_t oldRoot = 22;
    ASSERT_EQ(f.blocks.size(), 25u);
    EXPECT_EQ(f.blocks[0].s("name"), "Door");
    EXPECT_EQ(f.blocks[0].u("flags"), 14u);
    EXPECT_EQ(f.blocks[0].links("children"), (std::vector<std::uint32_t>{oldRoot}));
    const Nif20Block& object = f.blocks.at(f.blocks[oldRoot].u("collision"));
    EXPECT_EQ(object.u("target"), oldRoot);
    EXPECT_EQ(f.blocks.at(object.u("body")).f("maxAngularVelocity"), static_cast<double>(31.4159f)); // the game's default
    EXPECT_EQ(f.blocks[7].s("palette"), std::string("Door\0NiTransformController\0DoorPanel1\0", 38));
    EXPECT_EQ(f.blocks[7].u("length"), 38u);
    const Nif20Block& manager = f.blocks.at(f.blocks[0].u("controller"));
    EXPECT_EQ(f.blocks.at(manager.u("nextController")).all("extraTargets"), (std::vector<double>{0, oldRoot}));
    for (std::uint32_t seqLink : manager.links("sequences")) {
        const Nif20Block& seq = f.blocks.at(seqLink);
        EXPECT_EQ(seq.s("targetName"), "Door");
        EXPECT_EQ(seq.u("block0.offsets", 0), 0u);
        EXPECT_EQ(seq.u("block1.offsets", 0), 27u); // 4 + 1 + 21 + 1
        EXPECT_EQ(seq.u("block1.offsets", 2), 5u);
    }
    EXPECT_EQ(f.blocks.at(manager.u("objectPalette")).all("objects"), (std::vector<double>{0, oldRoot}));
}

std::vector<Vec3> distinctPositions(std::uint32_t n)
{
    std::vector<Vec3> v(n);
    for (std::uint32_t i = 0; i < n; ++i)
        v[i] = {static_cast<float>(i), static_cast<float>(i % 7), static_cast<float>(i % 13)};
    return v;
}

struct Shape {
    std::vector<Vec3> positions;
    std::vector<StripTriangle> triangles;
};

int add(StripBuilder& b, const Shape& s, Console& c)
{
    return b.addShape(static_cast<std::uint32_t>(s.positions.size()), s.positions, s.triangles, c);
}

TEST(StripBuilder, LimitsAreCheckedBeforeAnythingIsStored)
{
    Shape separate{distinctPositions(6000), {}};
    for (std::uint16_t i = 0; i < 2000; ++i) // 3 + 1999 * 5 points: more than 8192
        separate.triangles.push_back({static_cast<std::uint16_t>(3 * i), static_cast<std::uint16_t>(3 * i + 1),
                                      static_cast<std::uint16_t>(3 * i + 2)});
    struct Case {
        const char* name;
        std::vector<Shape> shapes; // the last one is refused
        const char* message;
    };
    const Case cases[] = {
        {"4096 triangles in one shape", {{distinctPositions(3), std::vector<StripTriangle>(4096, {0, 1, 2})}}, "too many triangles!\n"},
        {"8192 vertices in all", {{distinctPositions(8191), {}}, {distinctPositions(1), {}}}, "too many vertices!\n"},
        {"a strip past its capacity", {separate}, "too many strip points!\n"},
    };
    for (const Case& c : cases) {
        StripBuilder b;
        Console console = Console::capturing("x");
        for (std::size_t i = 0; i + 1 < c.shapes.size(); ++i)
            ASSERT_EQ(add(b, c.shapes[i], console), 0) << c.name;
        EXPECT_EQ(add(b, c.shapes.back(), console), -1) << c.name;
        EXPECT_EQ(console.captured(), c.message) << c.name;
        EXPECT_EQ(console.waits(), 1) << c.name;
    }
}

// The template reader refuses a block type index one past the type list (the last block's set to the type count).
TEST(TemplateReader, RefusesATypeIndexPastTheTypeList)
{
    CollisionFixture fx;
    TemplateTable templ;
    templ.image = fx.job.templ.image;
    std::vector<std::uint8_t>& bad = templ.image;
    const auto u16At = [&bad](std::size_t at) { return std::size_t{bad[at]} | std::size_t{bad[at + 1]} << 8; };
    const std::size_t blocks = u16At(48); // after the header line, version, endian and user version
    std::size_t at = 56;                  // past the block count and user version 2
    for (int text = 0; text < 3; ++text)  // creator and export info
        at += 1 + bad[at];
    const std::size_t types = u16At(at);
    for (std::size_t t = 0, length = 0; t < types; ++t, at += 4 + length)
        length = u16At(at + 2);
    bad[at + 2 + 2 * (blocks - 1)] = static_cast<std::uint8_t>(types);
    EXPECT_EQ(readTemplate(fx.console, templ), -1);
    EXPECT_NE(fx.console.captured().find("block type index"), std::string::npos) << fx.console.captured();
}

} // namespace
} // namespace lw::meshshift::collision::test
