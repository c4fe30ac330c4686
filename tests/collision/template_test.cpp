// The shipped template: read to its last byte by the independent reader, and
// refused by the template reader when cut short.
#include <gtest/gtest.h>

#include "collision/collision_fixture.hpp"

namespace lw::meshshift::collision::test {
namespace {

TEST(ShippedTemplate, IsWholeAndEveryShortenedCopyIsRefused)
{
    const std::vector<std::uint8_t> bytes = shippedTemplateBytes();
    const Nif20File whole = lw::test::readNif20(bytes);
    EXPECT_TRUE(whole.complete) << whole.error;
    EXPECT_EQ(whole.bytesLeft, 0u);
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
