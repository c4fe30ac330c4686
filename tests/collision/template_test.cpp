// The shipped template: read to its last byte by the independent reader, and
// refused by the template reader when cut short or given a type past its list.
#include <gtest/gtest.h>

#include "collision/collision_fixture.hpp"

namespace lw::meshshift::collision::test {
namespace {

TEST(ShippedTemplate, IsWholeAndShortenedOrMistypedCopiesAreRefused)
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
    // The last block's type index set to the type count, one past the list.
    std::vector<std::uint8_t> bad = bytes;
    const auto u16At = [&bad](std::size_t at) { return std::size_t{bad[at]} | std::size_t{bad[at + 1]} << 8; };
    const std::size_t blocks = u16At(48);     // after the header line, version, endian and user version
    std::size_t at = 56;                      // past the block count and user version 2
    for (int text = 0; text < 3; ++text)      // creator and export info
        at += 1 + bad[at];
    const std::size_t types = u16At(at);
    for (std::size_t t = 0, length = 0; t < types; ++t, at += 4 + length)
        length = u16At(at + 2);
    bad[at + 2 + 2 * (blocks - 1)] = static_cast<std::uint8_t>(types);
    Console console = Console::capturing();
    TemplateTable templ;
    templ.image = bad;
    EXPECT_EQ(readTemplate(console, templ), -1);
    EXPECT_NE(console.captured().find("block type index"), std::string::npos) << console.captured();
}

} // namespace
} // namespace lw::meshshift::collision::test
