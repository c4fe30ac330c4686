// The shipped template through the template reader: whole, and cut short.
#include <gtest/gtest.h>

#include "collision/collision_fixture.hpp"

namespace lw::meshshift::collision::test {
namespace {

TEST(ShippedTemplate, HoldsTheBlocksTheCollisionStepTakes)
{
    Console console = Console::capturing();
    TemplateTable t;
    t.image = shippedTemplateBytes();
    ASSERT_EQ(readTemplate(console, t), 0) << console.captured();
    EXPECT_EQ(t.typeName(0), "NiNode");
    EXPECT_EQ(t.typeName(1), "BSXFlags");
    for (std::size_t b = 2; b <= 7; ++b)
        EXPECT_EQ(t.typeName(b), "NiStringExtraData") << b;
    const int object = t.find("bhkCollisionObject");
    ASSERT_GE(object, 0);
    const bhkRigidBodyT* body = t.as<bhkRigidBodyT>(t.as<bhkCollisionObject>(static_cast<std::size_t>(object))->body);
    ASSERT_NE(body, nullptr);
    EXPECT_NE(t.as<bhkNiTriStripsShape>(body->shape), nullptr);
    EXPECT_EQ(lw::test::readNif20(t.image).bytesLeft, 0u); // the independent reader reads it to the end
}

TEST(ShippedTemplate, EveryShortenedCopyIsRefused)
{
    const std::vector<std::uint8_t> bytes = shippedTemplateBytes();
    for (std::size_t n = 0; n + 8 < bytes.size(); n += 7) {
        Console console = Console::capturing();
        TemplateTable templ;
        templ.image.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        ASSERT_EQ(readTemplate(console, templ), -1) << "accepted a template cut at " << n;
        EXPECT_FALSE(console.captured().empty());
    }
}

} // namespace
} // namespace lw::meshshift::collision::test
