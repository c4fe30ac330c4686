#include <gtest/gtest.h>

#include <chrono>

#include "common/console/console.hpp"
#include "modshift/tes3/identifiers.hpp"
#include "modshift/tes3/record_table.hpp"
#include "modshift/tes3/record_tree.hpp"
#include "support/tes3_builder.hpp"

namespace lw::modshift {
namespace {

using lw::test::Fields;
using lw::test::Tes3Builder;

TEST(Identifiers, ConvertByteByByte)
{
    EXPECT_EQ(convertIdentifier("Rock01"), "Rock01");
    EXPECT_EQ(convertIdentifier("a_b"), "aUb");
    EXPECT_EQ(convertIdentifier("a.b"), "aPb");
    EXPECT_EQ(convertIdentifier("a-b"), "aTb");
    EXPECT_EQ(convertIdentifier("a b,c"), "aSbVc");
    EXPECT_EQ(convertIdentifier("x\\y/z.nif"), "x\\y/zPnif");
    EXPECT_EQ(convertIdentifier("caf\xE9!'#"), "cafXXXX");
    EXPECT_EQ(convertIdentifier(std::string_view("ab\0cd", 5)), "ab");
    EXPECT_EQ(convertIdentifier(""), "");
    // Every byte value maps to a safe character.
    for (int b = 0; b < 256; ++b) {
        char c = convertIdentifierByte(static_cast<std::uint8_t>(b));
        bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '\\' || c == '/';
        EXPECT_TRUE(safe) << b;
        if (b >= 0x80) {
            EXPECT_EQ(c, 'X') << b;
        }
    }
}

TEST(Identifiers, InPlaceStopsAtTheZeroByte)
{
    std::vector<std::uint8_t> text = {'a', '-', 'b', 0, '.', '.'};
    convertIdentifierInPlace(text);
    EXPECT_EQ(text, (std::vector<std::uint8_t>{'a', 'T', 'b', 0, '.', '.'}));
}

struct Plugin {
    std::vector<std::uint8_t> image;
    RecordTree tree;
};

std::unique_ptr<Plugin> load(std::vector<std::uint8_t> bytes)
{
    auto p = std::make_unique<Plugin>();
    p->image = std::move(bytes);
    Console console = Console::capturing();
    EXPECT_EQ(parseRecordTree(p->image, p->tree, console), 0) << console.captured();
    return p;
}

TEST(Identifiers, EditorIdIsMadeInPlace)
{
    Tes3Builder b;
    b.record("STAT").text("NAME", "in_rock 01").text("MODL", "x").end();
    b.record("STAT").chars("NAME", "noZero").end();
    b.record("STAT").sub("NAME", Fields()).end();
    auto p = load(b.bytes());
    std::string_view id = makeEditorId(p->tree, 1);
    EXPECT_EQ(id, "0inUrockS01");
    // The converted text stays at the data address for later readers.
    EXPECT_EQ(p->tree.text(1), "inUrockS01");
    EXPECT_EQ(id.data() + 1, reinterpret_cast<const char*>(p->tree.data(1).data()));
    // Neighbouring subrecords are untouched.
    EXPECT_EQ(p->tree.text(2), "x");
    // A NAME without a zero byte ends at its size.
    EXPECT_EQ(makeEditorId(p->tree, 4), "0noZero");
    EXPECT_EQ(p->tree.node(5).tag, makeTag("STAT"));
    // Making it again gives the same EditorID.
    EXPECT_EQ(makeEditorId(p->tree, 1), "0inUrockS01");
    EXPECT_EQ(makeEditorId(p->tree, 6), "0");
}

TEST(RecordTable, FirstMatchWinsAndFormIdZeroNeverMatches)
{
    // EditorIDs live in memory owned by the test; the table only views them.
    std::vector<std::string> ids = {"0aTb", "0aTb", "0table", "0gone", "0gone", "0x"};
    RecordTable t(10);
    for (std::size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(t.add(static_cast<std::int32_t>(i * 3)), i);
    t.setEditorId(0, ids[0]);
    t.setFormId(0, 0x01000CE6);
    t.setEditorId(1, ids[1]);
    t.setFormId(1, 0x01000CE7);
    t.setEditorId(2, ids[2]);
    t.setFormId(2, 0x00012345);
    t.setEditorId(3, ids[3]); // left with form identifier 0
    t.setEditorId(4, ids[4]);
    t.setFormId(4, 0x01000D00);
    t.setFormId(5, 0x01000D01); // no EditorID: refused

    EXPECT_EQ(t.find(convertIdentifier("a-b")), 0x01000CE6u);
    EXPECT_EQ(t.findIndex("aTb"), 0u);
    EXPECT_EQ(t.find("TABLE"), 0u); // case-sensitive
    EXPECT_EQ(t.find("table"), 0x00012345u);
    EXPECT_EQ(t.findIndex("gone"), 4u); // form identifier 0 is skipped
    EXPECT_EQ(t.find("x"), 0u);
    EXPECT_EQ(t.find(""), 0u);
    EXPECT_EQ(t[5].node, 15);
    EXPECT_EQ(t.size(), 6u);

    // Giving the skipped entry a form identifier lets it win again.
    t.setFormId(3, 0x00000042);
    EXPECT_EQ(t.findIndex("gone"), 3u);
    // Clearing an entry's form identifier hands the match to the next one.
    t.setFormId(0, 0);
    EXPECT_EQ(t.findIndex("aTb"), 1u);
    // Renaming an entry moves it out of its old key.
    t.setEditorId(1, ids[2]);
    EXPECT_FALSE(t.findIndex("aTb").has_value());
    EXPECT_EQ(t.findIndex("table"), 1u);

    t.clear();
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(t.find("table"), 0u);
}

TEST(RecordTable, LookupTimeDoesNotGrowWithTheTable)
{
    // 200,000 entries whose lookups all hit the last ones: a scan would take
    // tens of billions of comparisons; the index answers at once.
    constexpr std::size_t n = 200000;
    std::vector<std::string> ids;
    ids.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        ids.push_back("0id" + std::to_string(i));
    RecordTable t(n);
    for (std::size_t i = 0; i < n; ++i) {
        t.add(static_cast<std::int32_t>(i));
        t.setEditorId(i, ids[i]);
        t.setFormId(i, 0x01000000u + static_cast<std::uint32_t>(i));
    }
    auto start = std::chrono::steady_clock::now();
    std::uint64_t sum = 0;
    for (std::size_t i = n - 1; i >= n - 50000; --i)
        sum += t.find(std::string_view(ids[i]).substr(1));
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GT(sum, 0u);
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    EXPECT_EQ(t.find("id199999"), 0x01000000u + 199999);
}

TEST(RecordTable, EveryTableStartsEmptyWithItsCapacity)
{
    Tables tables;
    EXPECT_EQ(tables.statics.capacity(), 5000u);
    EXPECT_EQ(tables.doors.capacity(), 500u);
    EXPECT_EQ(tables.npcs.capacity(), 5000u);
    EXPECT_EQ(tables.leveledCreatures.capacity(), 500u);
    tables.books.add(1);
    tables.creatures.add(2);
    tables.clearAll();
    EXPECT_TRUE(tables.books.empty());
    EXPECT_TRUE(tables.creatures.empty());
}

} // namespace
} // namespace lw::modshift
