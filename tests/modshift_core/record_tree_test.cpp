#include <gtest/gtest.h>

#include "common/console/console.hpp"
#include "modshift/tes3/record_tree.hpp"
#include "support/tes3_builder.hpp"

namespace lw::modshift {
namespace {

using lw::test::Fields;
using lw::test::Tes3Builder;

struct Parsed {
    std::vector<std::uint8_t> image;
    RecordTree tree;
    Console console = Console::capturing();
    int result = -2;
};

// The tree points into the image, so both live in one heap object.
std::unique_ptr<Parsed> parse(std::vector<std::uint8_t> bytes)
{
    auto p = std::make_unique<Parsed>();
    p->image = std::move(bytes);
    p->result = parseRecordTree(p->image, p->tree, p->console);
    return p;
}

void expectLinks(const RecordTree& t, std::int32_t i, std::int32_t parent, std::int32_t child,
                 std::int32_t prev, std::int32_t next)
{
    SCOPED_TRACE("node " + std::to_string(i));
    EXPECT_EQ(t.node(i).parent, parent);
    EXPECT_EQ(t.node(i).firstChild, child);
    EXPECT_EQ(t.node(i).previous, prev);
    EXPECT_EQ(t.node(i).next, next);
}

TEST(RecordTree, HeaderRecordWithThreeSubrecords)
{
    Tes3Builder b;
    b.record("TES3")
        .sub("HEDR", lw::test::hedrData("me", "desc"))
        .text("MAST", "Morrowind.esm")
        .sub("DATA", Fields().u32(1).u32(2))
        .end();
    auto p = parse(b.bytes());
    ASSERT_EQ(p->result, 0) << p->console.captured();
    const RecordTree& t = p->tree;
    ASSERT_EQ(t.count(), 4);
    EXPECT_EQ(t.node(0).tag, makeTag("TES3"));
    expectLinks(t, 0, -1, 1, -1, -1);
    expectLinks(t, 1, 0, -1, -1, 2);
    expectLinks(t, 2, 0, -1, 1, 3);
    expectLinks(t, 3, 0, -1, 2, -1);
    EXPECT_EQ(t.node(0).offset, 16u);
    EXPECT_EQ(t.node(1).offset, 24u);
    EXPECT_EQ(t.node(1).size, 300u);
    EXPECT_EQ(t.node(0).size, 8u + 300 + 8 + 14 + 8 + 8);
    EXPECT_EQ(t.text(2), "Morrowind.esm");
    EXPECT_EQ(t.data(3)[4], 2);
    EXPECT_TRUE(p->console.captured().empty());
}

TEST(RecordTree, TopLevelRecordsAreSiblingsButChildrenAreNotLinkedAcross)
{
    Tes3Builder b;
    b.record("STAT").text("NAME", "a").text("MODL", "a.nif").end();
    b.record("STAT").text("NAME", "b").end();
    auto p = parse(b.bytes());
    ASSERT_EQ(p->result, 0);
    const RecordTree& t = p->tree;
    ASSERT_EQ(t.count(), 5);
    expectLinks(t, 0, -1, 1, -1, 3);
    expectLinks(t, 1, 0, -1, -1, 2);
    expectLinks(t, 2, 0, -1, 1, -1);
    expectLinks(t, 3, -1, 4, 0, -1);
    expectLinks(t, 4, 3, -1, -1, -1);

    std::vector<std::int32_t> kids;
    for (std::int32_t c : t.children(0))
        kids.push_back(c);
    EXPECT_EQ(kids, (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(t.find(makeTag("STAT")), (std::vector<std::int32_t>{0, 3}));
    EXPECT_EQ(t.find(makeTag("NAME")), (std::vector<std::int32_t>{1, 4}));
    EXPECT_TRUE(t.find(makeTag("WEAP")).empty());
}

TEST(RecordTree, EmptyRecordIsALeafFollowedByItsSibling)
{
    Tes3Builder b;
    b.record("STAT").end();
    b.record("DOOR").text("NAME", "d").end();
    auto p = parse(b.bytes());
    ASSERT_EQ(p->result, 0);
    ASSERT_EQ(p->tree.count(), 3);
    expectLinks(p->tree, 0, -1, -1, -1, 1);
    expectLinks(p->tree, 1, -1, 2, 0, -1);
    int n = 0;
    for (std::int32_t c : p->tree.children(0)) {
        (void)c;
        ++n;
    }
    EXPECT_EQ(n, 0);
}

TEST(RecordTree, NestedRecordsAreFoundAndWalkedByIndex)
{
    Tes3Builder b;
    b.record("CELL").text("NAME", "c");
    b.record("STAT").text("NAME", "inner").end();
    b.text("DATA", "x");
    b.end();
    b.record("STAT").text("NAME", "outer").end();
    auto p = parse(b.bytes());
    ASSERT_EQ(p->result, 0) << p->console.captured();
    const RecordTree& t = p->tree;
    ASSERT_EQ(t.count(), 7);
    // CELL(0): NAME(1), STAT(2){NAME(3)}, DATA(4); STAT(5){NAME(6)}
    expectLinks(t, 0, -1, 1, -1, 5);
    expectLinks(t, 2, 0, 3, 1, 4);
    expectLinks(t, 3, 2, -1, -1, -1);
    expectLinks(t, 4, 0, -1, 2, -1);
    EXPECT_EQ(t.find(makeTag("STAT")), (std::vector<std::int32_t>{2, 5}));
    // Walking CELL's subrecords by increasing index passes through the nested
    // record's own subrecord before the node whose next is -1.
    std::vector<std::int32_t> walk;
    for (std::int32_t c : t.children(0))
        walk.push_back(c);
    EXPECT_EQ(walk, (std::vector<std::int32_t>{1, 2, 3}));
}

TEST(RecordTree, ShortTailsAreIgnored)
{
    // Trailing bytes after the last record.
    for (std::size_t tail = 1; tail < 8; ++tail) {
        Tes3Builder b;
        b.record("STAT").text("NAME", "a").end();
        b.raw(std::vector<std::uint8_t>(tail, 0xAB));
        auto p = parse(b.bytes());
        EXPECT_EQ(p->result, 0) << tail;
        EXPECT_EQ(p->tree.count(), 2) << tail;
    }
    // A short tail inside a record: the next record starts after the tail.
    Tes3Builder b;
    b.record("STAT").text("NAME", "a").raw(std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7}).end();
    b.record("DOOR").text("NAME", "d").end();
    auto p = parse(b.bytes());
    ASSERT_EQ(p->result, 0) << p->console.captured();
    ASSERT_EQ(p->tree.count(), 4);
    EXPECT_EQ(p->tree.node(2).tag, makeTag("DOOR"));
    EXPECT_EQ(p->tree.node(2).previous, 0);
    EXPECT_EQ(p->tree.text(3), "d");
}

TEST(RecordTree, RecordSmallerThanASubrecordHeaderHasNoChildren)
{
    Tes3Builder b;
    b.record("STAT").raw(std::vector<std::uint8_t>{'N', 'A', 'M', 'E', 0}).end();
    b.record("STAT").end();
    auto p = parse(b.bytes());
    ASSERT_EQ(p->result, 0);
    ASSERT_EQ(p->tree.count(), 2);
    EXPECT_EQ(p->tree.node(0).firstChild, -1);
    EXPECT_EQ(p->tree.node(0).size, 5u);
    EXPECT_EQ(p->tree.node(1).offset, 16u + 5 + 16);
}

TEST(RecordTree, EmptyPluginGivesAnEmptyTree)
{
    auto p = parse({});
    EXPECT_EQ(p->result, 0);
    EXPECT_EQ(p->tree.count(), 0);
    auto q = parse({1, 2, 3});
    EXPECT_EQ(q->result, 0);
    EXPECT_EQ(q->tree.count(), 0);
}

TEST(RecordTree, UnknownTagsAreRefusedWithAnIndentedMessage)
{
    {
        Tes3Builder b;
        b.record("STAT").text("NAME", "a").sub("AI_A", Fields().zeros(4)).end();
        auto p = parse(b.bytes());
        EXPECT_EQ(p->result, -1);
        // AI_A is node 2: 4 + 8 bytes of record data left after NAME = 22 - 10 - 12 = 0
        EXPECT_EQ(p->console.captured(),
                  "  unknown AI_A(2), size=4, prev=1, next=-1, parent=0, left=0\n");
    }
    {
        Tes3Builder b;
        b.record("STAT").text("name", "a").end();
        auto p = parse(b.bytes());
        EXPECT_EQ(p->result, -1);
        EXPECT_EQ(p->console.captured(),
                  "  unknown name(1), size=2, prev=-1, next=-1, parent=0, left=0\n");
    }
    {
        // At the top level: no indentation; left counts what follows.
        Tes3Builder b;
        b.record("XHLT").end();
        b.record("STAT").end();
        auto p = parse(b.bytes());
        EXPECT_EQ(p->result, -1);
        EXPECT_EQ(p->console.captured(),
                  "unknown XHLT(0), size=0, prev=-1, next=-1, parent=-1, left=24\n");
    }
    {
        // Two levels deep: four blanks.
        Tes3Builder b;
        b.record("CELL").record("STAT").sub("NAM1", Fields()).end().end();
        auto p = parse(b.bytes());
        EXPECT_EQ(p->result, -1);
        EXPECT_EQ(p->console.captured(),
                  "    unknown NAM1(2), size=0, prev=-1, next=-1, parent=1, left=0\n");
    }
}

TEST(RecordTree, SizesPastTheEndAreRefused)
{
    {
        // A subrecord running past its record.
        Tes3Builder b;
        b.record("STAT").subWithSize("NAME", 100, Fields().chars("abc")).end();
        b.record("STAT").text("NAME", "padding-padding-padding-padding-padding").end();
        auto p = parse(b.bytes());
        EXPECT_EQ(p->result, -1);
        EXPECT_EQ(p->console.captured().rfind("  size past end NAME(1), size=100", 0), 0u)
            << p->console.captured();
    }
    {
        // A record running past the file.
        Tes3Builder b;
        b.record("STAT").text("NAME", "a").endWithSize(1000);
        auto p = parse(b.bytes());
        EXPECT_EQ(p->result, -1);
        EXPECT_EQ(p->console.captured().rfind("size past end STAT(0), size=1000", 0), 0u)
            << p->console.captured();
    }
    {
        // A size near 4 GiB must not wrap around.
        Tes3Builder b;
        b.record("STAT").subWithSize("NAME", 0xFFFFFFF8u).end();
        auto p = parse(b.bytes());
        EXPECT_EQ(p->result, -1);
    }
    {
        // A record header cut short: 12 bytes left for a 16-byte header.
        Tes3Builder b;
        b.raw(Fields().chars("STAT").u32(0).u32(0).data());
        auto p = parse(b.bytes());
        EXPECT_EQ(p->result, -1);
    }
}

TEST(RecordTree, DeepNestingDoesNotExhaustTheStack)
{
    Tes3Builder b;
    for (int i = 0; i < 200000; ++i)
        b.record("CELL");
    b.text("NAME", "bottom");
    auto p = parse(b.bytes());
    ASSERT_EQ(p->result, 0);
    EXPECT_EQ(p->tree.count(), 200001);
    EXPECT_EQ(p->tree.node(200000).parent, 199999);
}

TEST(RecordTree, NodeCapacityRefusesThePlugin)
{
    // 4,999,999 nodes fit; the 5,000,000th fails the parse without a message.
    auto build = [](std::size_t subrecords) {
        Tes3Builder b;
        b.record("TES3");
        for (std::size_t i = 0; i < subrecords; ++i)
            b.sub("DELE", Fields());
        return b.bytes();
    };
    auto ok = parse(build(RecordTree::kCapacity - 2));
    EXPECT_EQ(ok->result, 0);
    EXPECT_EQ(ok->tree.count(), static_cast<std::int32_t>(RecordTree::kCapacity - 1));
    auto bad = parse(build(RecordTree::kCapacity - 1));
    EXPECT_EQ(bad->result, -1);
    EXPECT_TRUE(bad->console.captured().empty());
}

} // namespace
} // namespace lw::modshift

namespace lw::modshift {
namespace {

// Damaged copies of a valid plugin (bytes changed, cut short) must either
// parse into a consistent tree that stays inside the image, or be refused.
TEST(RecordTree, DamagedPluginsNeverLeaveTheImage)
{
    lw::test::Tes3Builder b;
    b.header("author", "description");
    b.record("CELL").text("NAME", "cell").sub("DATA", lw::test::Fields().u32(1).i32(-2).i32(3));
    b.record("STAT").text("NAME", "nested").end();
    b.end();
    b.record("NPC_").text("NAME", "guy").sub("NPDT", lw::test::Fields().zeros(52)).end();
    const std::vector<std::uint8_t> good = b.bytes();

    std::uint32_t seed = 12345;
    auto rnd = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> bad = good;
        int edits = 1 + static_cast<int>(rnd(4));
        for (int e = 0; e < edits; ++e)
            bad[rnd(static_cast<std::uint32_t>(bad.size()))] = static_cast<std::uint8_t>(rnd(256));
        if (rnd(4) == 0)
            bad.resize(rnd(static_cast<std::uint32_t>(bad.size())));
        RecordTree tree;
        Console console = Console::capturing();
        int result = parseRecordTree(bad, tree, console);
        ASSERT_TRUE(result == 0 || result == -1);
        if (result != 0) {
            ++refused;
            EXPECT_FALSE(console.captured().empty()) << round;
            continue;
        }
        for (std::int32_t i = 0; i < tree.count(); ++i) {
            const Node& n = tree.node(i);
            ASSERT_LE(std::size_t{n.offset} + n.size, bad.size()) << round;
            if (n.parent != -1) {
                const Node& p = tree.node(n.parent);
                ASSERT_GE(n.offset, p.offset);
                ASSERT_LE(std::size_t{n.offset} + n.size, std::size_t{p.offset} + p.size);
            }
            if (n.next != -1) {
                ASSERT_EQ(tree.node(n.next).previous, i);
            }
        }
    }
    EXPECT_GT(refused, 100);
}

} // namespace
} // namespace lw::modshift
