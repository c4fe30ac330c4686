// Whole meshes converted with each record type's option string, read back
// block by block.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "collision/collision_fixture.hpp"

namespace lw::meshshift::collision::test {
namespace {

using B = Nif4Builder;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

struct RecordOptions {
    const char* type;
    std::int32_t material, layer, motion, quality;
};

class RecordTypeMesh : public ::testing::TestWithParam<RecordOptions> {};

// A root with a textured-less quad, a child node with another quad, a
// RootCollisionNode with its own shape, and properties of every kind the
// target drops or keeps.
B sampleMesh()
{
    B nif;
    B::Node root;
    root.name = "MeshRoot";
    const std::uint32_t r = nif.add(root);
    B::MaterialProperty mat;
    mat.name = "Mat";
    const std::uint32_t material = nif.add(mat);
    const std::uint32_t specular = nif.add(B::SpecularProperty{});
    const std::uint32_t alpha = nif.add(B::AlphaProperty{});
    const std::uint32_t data1 = nif.add(B::quadData(8.0f));
    B::TriShape quad;
    quad.name = "Quad";
    quad.data = data1;
    quad.properties = {material, specular, alpha};
    const std::uint32_t shape1 = nif.add(quad);
    B::Node child;
    child.name = "Handle";
    child.translation = {0, 0, 20};
    const std::uint32_t c = nif.add(child);
    const std::uint32_t data2 = nif.add(B::quadData(2.0f));
    B::TriShape handle;
    handle.name = "HandleQuad";
    handle.data = data2;
    const std::uint32_t shape2 = nif.add(handle);
    B::Node collision;
    collision.rootCollisionNode = true;
    const std::uint32_t rc = nif.add(collision);
    const std::uint32_t data3 = nif.add(B::quadData(30.0f));
    B::TriShape hull;
    hull.data = data3;
    const std::uint32_t shape3 = nif.add(hull);
    nif.node(r).children = {shape1, c, rc};
    nif.node(c).children = {shape2};
    nif.node(rc).children = {shape3};
    return nif;
}

TEST_P(RecordTypeMesh, ConvertsCompletelyAndReadsBackBlockByBlock)
{
    const RecordOptions o = GetParam();
    std::vector<std::uint8_t> first;
    for (int run = 0; run < 2; ++run) {
        CollisionFixture fx;
        ASSERT_TRUE(fx.load(sampleMesh()));
        fx.options(o.material, o.layer, o.motion, o.quality);
        ASSERT_EQ(buildCollision(fx.job), 0) << fx.console.captured();
        std::vector<std::uint8_t> bytes;
        ASSERT_EQ(writeScene(fx.job, bytes), 0) << fx.console.captured();
        if (run == 0) {
            first = bytes;
            continue;
        }
        EXPECT_EQ(bytes, first) << "same inputs, same bytes";
    }

    Nif20File f = lw::test::readNif20(first);
    ASSERT_TRUE(f.complete) << f.error;
    EXPECT_EQ(f.bytesLeft, 0u);
    EXPECT_EQ(f.numBlocks, f.blocks.size());
    EXPECT_EQ(f.roots, (std::vector<std::uint32_t>{0}));
    std::set<std::string> types(f.blockTypes.begin(), f.blockTypes.end());
    EXPECT_EQ(types.size(), f.blockTypes.size()) << "a type listed twice";
    for (std::uint16_t index : f.typeIndices)
        EXPECT_LT(index, f.blockTypes.size());

    for (const char* gone : {"RootCollisionNode", "NiSpecularProperty"})
        EXPECT_TRUE(f.ofType(gone).empty()) << gone;
    EXPECT_EQ(f.ofType("NiTriShape").size(), 2u);
    EXPECT_EQ(f.ofType("NiTriShapeData").size(), 2u);

    const bool door = o.layer == 2;
    const bool boxes = o.layer == 2 || o.layer == 4 || o.layer == 5;
    const Nif20Block& root = f.blocks[0];
    ASSERT_EQ(root.type, "NiNode");
    EXPECT_EQ(root.s("name"), door ? "Door" : "MeshRoot");

    ASSERT_EQ(f.ofType("bhkCollisionObject").size(), 1u);
    const Nif20Block& object = f.first("bhkCollisionObject");
    const Nif20Block& parent = f.blocks.at(object.u("target"));
    EXPECT_EQ(parent.s("name"), "MeshRoot");
    EXPECT_EQ(f.blocks.at(parent.u("collision")).type, "bhkCollisionObject");
    EXPECT_EQ(parent.u("flags") & 2u, 2u);

    const Nif20Block& body = f.blocks.at(object.u("body"));
    ASSERT_EQ(body.type, "bhkRigidBodyT");
    EXPECT_EQ(body.u("layer"), static_cast<std::uint32_t>(o.layer));
    EXPECT_EQ(body.u("motionSystem"), static_cast<std::uint32_t>(o.motion));
    EXPECT_EQ(body.u("qualityType"), static_cast<std::uint32_t>(o.quality));
    const Nif20Block& shape = f.blocks.at(body.u("shape"));
    if (boxes) {
        ASSERT_EQ(shape.type, "bhkListShape");
        EXPECT_EQ(shape.u("material"), static_cast<std::uint32_t>(o.material));
        EXPECT_EQ(shape.links("subShapes").size(), 2u);
        EXPECT_TRUE(f.ofType("NiTriStripsData").empty());
    } else {
        ASSERT_EQ(shape.type, "bhkNiTriStripsShape");
        const Nif20Block& strips = f.blocks.at(shape.links("stripsData").at(0));
        EXPECT_EQ(strips.u("numVertices"), 4u); // the RootCollisionNode's quad
        EXPECT_EQ(strips.f("vertices", 0), -30.0);
    }

    const Nif20Block& host = f.blocks[0];
    const auto extra = host.links("extraData");
    ASSERT_FALSE(extra.empty());
    const Nif20Block& bsx = f.blocks.at(extra[0]);
    ASSERT_EQ(bsx.type, "BSXFlags");
    EXPECT_EQ(bsx.u("value"), boxes ? 3u : 2u);
    EXPECT_EQ(extra.size(), o.layer == 5 ? 3u : 2u);
    EXPECT_EQ(f.ofType("NiControllerManager").size(), door ? 1u : 0u);
    if (door) {
        EXPECT_EQ(root.links("children"), (std::vector<std::uint32_t>{object.u("target")}));
        EXPECT_EQ(f.blocks.at(root.u("controller")).type, "NiControllerManager");
    }
}

INSTANTIATE_TEST_SUITE_P(OptionStrings, RecordTypeMesh,
                         ::testing::Values(RecordOptions{"statics", 0, 1, 7, 1}, RecordOptions{"books", 0, 4, 4, 3},
                                           RecordOptions{"misc", 0, 4, 4, 3}, RecordOptions{"weapons", 5, 5, 4, 3},
                                           RecordOptions{"lights", 9, 5, 4, 3}, RecordOptions{"doors", 12, 2, 6, 2}),
                         [](const ::testing::TestParamInfo<RecordOptions>& p) { return std::string(p.param.type); });

} // namespace
} // namespace lw::meshshift::collision::test

namespace lw::meshshift::collision::test {
namespace {

// Links bent at random (to other blocks, to none, past the table) never make
// the step or the writer read out of bounds; they convert or refuse.
TEST(CollisionRobustness, RandomlyBentLinksConvertOrRefuse)
{
    std::uint32_t state = 777;
    auto next = [&](std::uint32_t mod) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % mod;
    };
    const std::int32_t layers[] = {1, 2, 4, 5, 13};
    int written = 0;
    for (int round = 0; round < 150; ++round) {
        CollisionFixture fx;
        ASSERT_TRUE(fx.load(sampleMesh()));
        const auto count = static_cast<std::uint32_t>(fx.job.blocks.size());
        auto bent = [&]() -> Link {
            const std::uint32_t pick = next(4);
            return pick == 0 ? kNoLink : pick == 1 ? count + next(3000) : next(count);
        };
        for (int change = 0; change < 3; ++change) {
            const Link at = next(count);
            if (NiNode* node = fx.job.blocks.as<NiNode>(at)) {
                if (!node->children.empty())
                    node->children[next(static_cast<std::uint32_t>(node->children.size()))] = bent();
                else
                    node->children.push_back(bent());
            } else if (NiTriShape* shape = fx.job.blocks.as<NiTriShape>(at)) {
                shape->data = bent();
            }
        }
        fx.options(static_cast<std::int32_t>(next(13)), layers[next(5)], 4, 3);
        fx.job.options.wholeScene = next(2) == 1;
        if (buildCollision(fx.job) != 0)
            continue;
        std::vector<std::uint8_t> bytes;
        if (writeScene(fx.job, bytes) == 0) {
            ++written;
            Nif20File f = lw::test::readNif20(bytes);
            EXPECT_TRUE(f.complete) << "round " << round << ": " << f.error;
        }
    }
    RecordProperty("written", written);
    EXPECT_GT(written, 0);
}

} // namespace
} // namespace lw::meshshift::collision::test
