#include <gtest/gtest.h>

#include "common/console/console.hpp"
#include "support/fake_platform.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::modshift {
namespace {

using lw::test::Fields;
using lw::test::Tes3Builder;

struct HeaderRun {
    lw::test::FakePlatform platform;
    Console console = Console::capturing();
    Conversion c{platform, console};
};

// Parses the plugin and writes only the file header.
std::unique_ptr<HeaderRun> writeHeaderOf(std::vector<std::uint8_t> plugin)
{
    auto r = std::make_unique<HeaderRun>();
    r->c.plugin = std::move(plugin);
    EXPECT_EQ(parseRecordTree(r->c.plugin, r->c.tree, r->console), 0);
    r->c.out.reset();
    r->console.clearCaptured();
    EXPECT_EQ(writeFileHeader(r->c), 0);
    return r;
}

std::vector<std::uint8_t> le32(std::uint32_t v)
{
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// The expected record, assembled independently of the writer.
std::vector<std::uint8_t> expectedHeader(std::string_view author, std::string_view description)
{
    std::vector<std::uint8_t> sub;
    auto field = [&sub](std::string_view tag, std::vector<std::uint8_t> data) {
        sub.insert(sub.end(), tag.begin(), tag.end());
        sub.push_back(static_cast<std::uint8_t>(data.size()));
        sub.push_back(static_cast<std::uint8_t>(data.size() >> 8));
        sub.insert(sub.end(), data.begin(), data.end());
    };
    auto text = [](std::string_view s) {
        std::vector<std::uint8_t> v(s.begin(), s.end());
        v.push_back(0);
        return v;
    };
    field("HEDR", {0, 0, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0});
    if (!author.empty())
        field("CNAM", text(author));
    if (!description.empty())
        field("SNAM", text(description));
    field("MAST", text("Oblivion.esm"));
    field("DATA", std::vector<std::uint8_t>(8, 0));
    std::vector<std::uint8_t> out = {'T', 'E', 'S', '4'};
    auto size = le32(static_cast<std::uint32_t>(sub.size()));
    out.insert(out.end(), size.begin(), size.end());
    out.insert(out.end(), 12, 0);
    out.insert(out.end(), sub.begin(), sub.end());
    return out;
}

TEST(FileHeader, AuthorOnly)
{
    Tes3Builder b;
    b.header("Olaf", "");
    auto r = writeHeaderOf(b.bytes());
    EXPECT_EQ(r->c.out.bytes(), expectedHeader("Olaf", ""));
    EXPECT_EQ(r->c.out.bytes()[4], 62);
    EXPECT_EQ(r->console.captured(), "\nSaving file Header\nheader size=62\n");
    EXPECT_EQ(r->c.out.countFieldPosition(), 30u);
    EXPECT_EQ(r->c.out.recordCount(), 0);
}

TEST(FileHeader, NoAuthorNoDescriptionGivesDefault)
{
    Tes3Builder b;
    b.header("", "");
    auto r = writeHeaderOf(b.bytes());
    EXPECT_EQ(r->c.out.bytes(), expectedHeader("DEFAULT", ""));
    EXPECT_EQ(r->console.captured(), "\nSaving file Header\nheader size=65\n");

    // No HEDR at all: the same.
    Tes3Builder none;
    none.record("GMST").text("NAME", "x").end();
    auto n = writeHeaderOf(none.bytes());
    EXPECT_EQ(n->c.out.bytes(), expectedHeader("DEFAULT", ""));
}

TEST(FileHeader, DescriptionOnlyWritesNoAuthor)
{
    Tes3Builder b;
    b.header("", "My plugin");
    auto r = writeHeaderOf(b.bytes());
    EXPECT_EQ(r->c.out.bytes(), expectedHeader("", "My plugin"));
    EXPECT_EQ(r->console.captured(), "\nSaving file Header\nheader size=67\n");
    auto f = lw::test::readTes4(r->c.out.bytes());
    ASSERT_TRUE(f.ok()) << f.error;
    EXPECT_EQ(f.header.layout(), "HEDR SNAM MAST DATA");
}

TEST(FileHeader, FullFieldsAreCutAtTheirEnds)
{
    // A 32-byte author and a 256-byte description, neither with a zero byte.
    std::string author(32, 'a');
    std::string description(256, 'd');
    Tes3Builder b;
    b.record("TES3").sub("HEDR", Fields().f32(1.3f).u32(0).chars(author).chars(description).u32(77)).end();
    auto r = writeHeaderOf(b.bytes());
    EXPECT_EQ(r->c.out.bytes(), expectedHeader(author, description));
    EXPECT_EQ(r->console.captured(), "\nSaving file Header\nheader size=353\n");
}

TEST(FileHeader, LastHedrWinsAndShortHedrIsSafe)
{
    Tes3Builder b;
    b.header("first", "one");
    b.record("TES3").sub("HEDR", lw::test::hedrData("second", "two")).end();
    auto r = writeHeaderOf(b.bytes());
    EXPECT_EQ(r->c.out.bytes(), expectedHeader("second", "two"));

    // A HEDR cut inside the author field gives what is there.
    Tes3Builder s;
    s.record("TES3").sub("HEDR", Fields().f32(1.3f).u32(0).chars("Bo")).end();
    auto t = writeHeaderOf(s.bytes());
    EXPECT_EQ(t->c.out.bytes(), expectedHeader("Bo", ""));
}

} // namespace
} // namespace lw::modshift
