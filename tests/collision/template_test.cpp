#include <gtest/gtest.h>

#include <filesystem>
#include <numbers>
#include <set>

#include "collision/collision_fixture.hpp"
#include "support/temp_dir.hpp"

namespace lw::meshshift::collision::test {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

TEST(ShippedTemplate, ReadsBackWithEveryBlockWhereTheCollisionStepLooks)
{
    Console console = Console::capturing();
    TemplateTable t;
    t.image = shippedTemplateBytes();
    ASSERT_EQ(readTemplate(console, t), 0) << console.captured();
    ASSERT_EQ(t.size(), 27u);

    NiNode* root = t.as<NiNode>(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(t.typeName(0), "NiNode");
    ASSERT_EQ(root->children.size(), 1u);
    EXPECT_EQ(t.typeName(root->children[0]), "NiNode");
    EXPECT_EQ(t.typeName(1), "BSXFlags");
    EXPECT_EQ(t.as<BSXFlags>(1)->value, 2u);
    for (std::size_t b = 2; b <= 7; ++b)
        EXPECT_EQ(t.typeName(b), "NiStringExtraData") << b;

    const int objectBlock = t.find("bhkCollisionObject");
    ASSERT_GE(objectBlock, 0);
    const bhkCollisionObject* object = t.as<bhkCollisionObject>(static_cast<std::size_t>(objectBlock));
    EXPECT_EQ(t.typeName(object->body), "bhkRigidBodyT");
    const bhkRigidBodyT* body = t.as<bhkRigidBodyT>(object->body);
    EXPECT_TRUE(body->constraints.empty());
    const bhkNiTriStripsShape* shape = t.as<bhkNiTriStripsShape>(body->shape);
    ASSERT_NE(shape, nullptr);
    ASSERT_EQ(shape->stripsData.size(), 1u);
    const NiTriStripsData* data = t.as<NiTriStripsData>(shape->stripsData[0]);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->uvSetCount(), 0u);
    EXPECT_EQ(data->additionalData, kNoLink);

    // The door graph, as the collision step walks it.
    const NiControllerManager* manager = t.as<NiControllerManager>(root->controller);
    ASSERT_NE(manager, nullptr);
    const auto* controller = t.as<NiMultiTargetTransformController>(manager->nextController);
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->nextController, kNoLink);
    EXPECT_EQ(controller->extraTargets.size(), 2u);
    ASSERT_EQ(manager->sequences.size(), 2u);
    std::set<Link> seen;
    for (Link s : manager->sequences) {
        const NiControllerSequence* seq = t.as<NiControllerSequence>(s);
        ASSERT_NE(seq, nullptr);
        ASSERT_EQ(seq->controlledBlocks.size(), 2u);
        const auto* still = t.as<NiTransformInterpolator>(seq->controlledBlocks[0].interpolator);
        const auto* moving = t.as<NiTransformInterpolator>(seq->controlledBlocks[1].interpolator);
        ASSERT_TRUE(still && moving);
        EXPECT_EQ(still->data, kNoLink);
        EXPECT_NE(t.as<NiTransformData>(moving->data), nullptr);
        EXPECT_NE(t.as<NiTextKeyExtraData>(seq->textKeys), nullptr);
        EXPECT_NE(t.as<NiStringPalette>(seq->controlledBlocks[0].stringPalette), nullptr);
        // The step appends each of these once: no block may be shared between the sequences.
        for (Link l : {s, seq->controlledBlocks[0].interpolator, seq->controlledBlocks[1].interpolator, moving->data,
                       seq->textKeys})
            EXPECT_TRUE(seen.insert(l).second) << l;
    }
    const auto* objects = t.as<NiDefaultAVObjectPalette>(manager->objectPalette);
    ASSERT_NE(objects, nullptr);
    EXPECT_EQ(objects->objects.size(), 2u);
}

TEST(ShippedTemplate, ProgramFolderHoldsTheGeneratedFile)
{
    const std::filesystem::path file = std::filesystem::path(LW_BIN_DIR) / "bhktemp.nif";
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_EQ(lw::test::readFileBytes(file), shippedTemplateBytes());
    EXPECT_EQ(shippedTemplateBytes(), shippedTemplateBytes());
}

TEST(ShippedTemplate, IndependentReaderSeesAConsistentDoorAnimation)
{
    Nif20File f = lw::test::readNif20(shippedTemplateBytes());
    ASSERT_TRUE(f.complete) << f.error;
    ASSERT_EQ(f.blocks.size(), 27u);
    EXPECT_EQ(f.bytesLeft, 0u);
    EXPECT_EQ(f.blocks[0].s("name"), "Door");
    EXPECT_EQ(f.blocks[9].s("name"), "Scene Root");

    const Nif20Block& open = f.blocks[15];
    const Nif20Block& close = f.blocks[21];
    EXPECT_EQ(open.s("name"), "Open");
    EXPECT_EQ(close.s("name"), "Close");
    for (const Nif20Block* seq : {&open, &close}) {
        EXPECT_EQ(seq->u("cycleType"), 2u);
        EXPECT_EQ(seq->f("stopTime"), 1.0);
        EXPECT_EQ(seq->s("targetName"), "Door");
        const Nif20Block& keys = f.blocks.at(seq->u("textKeys"));
        EXPECT_EQ(keys.s("key0"), "start");
        EXPECT_EQ(keys.s("key1"), "end");
        EXPECT_EQ(keys.all("keys.time"), (std::vector<double>{0.0, 1.0}));
    }
    // The palette offsets the sequences name point at the right words.
    const std::string palette = f.blocks[17].s("palette");
    EXPECT_EQ(palette.size(), f.blocks[17].u("length"));
    EXPECT_EQ(std::string(palette.c_str() + open.u("block0.offsets", 0)), "Door");
    EXPECT_EQ(std::string(palette.c_str() + open.u("block0.offsets", 2)), "NiTransformController");
    EXPECT_EQ(std::string(palette.c_str() + open.u("block1.offsets", 0)), "Scene Root");

    const Nif20Block& opening = f.blocks[19];
    EXPECT_EQ(opening.u("rotationType"), 4u);
    EXPECT_EQ(opening.u("xRotation.count"), 0u);
    EXPECT_EQ(opening.u("zRotation.count"), 2u);
    EXPECT_EQ(opening.all("zRotation.value"),
              (std::vector<double>{0.0, static_cast<double>(std::numbers::pi_v<float> / 2.0f)}));
    EXPECT_EQ(f.blocks[24].all("zRotation.value"),
              (std::vector<double>{static_cast<double>(std::numbers::pi_v<float> / 2.0f), 0.0}));

    const Nif20Block& strips = f.blocks[12];
    EXPECT_EQ(strips.u("uvSetByte"), 0u);
    EXPECT_EQ(strips.u("additionalData"), kNone);
    EXPECT_EQ(f.blocks[10].links("constraints").size(), 0u);
    EXPECT_EQ(f.blocks[10].u("constraints.count"), 0u);
}

} // namespace
} // namespace lw::meshshift::collision::test
