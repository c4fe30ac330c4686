// Reading TES3 plugins: the record tree and identifiers.
#include <gtest/gtest.h>

#include <functional>

#include "common/console/console.hpp"
#include "modshift/tes3/identifiers.hpp"
#include "modshift/tes3/record_tree.hpp"
#include "support/tes3_builder.hpp"

namespace lw::modshift {
namespace {

using lw::test::Fields;
using lw::test::Tes3Builder;
using Links = std::array<std::int32_t, 4>; // parent, first child, previous, next

struct Parsed {
    std::vector<std::uint8_t> image;
    RecordTree tree;
    Console console = Console::capturing();
    int result = -2;
    Links links(std::int32_t i) const
    {
        const Node& n = tree.node(i);
        return {n.parent, n.firstChild, n.previous, n.next};
    }
};

// The tree points into the image, so both live in one heap object.
std::unique_ptr<Parsed> parse(std::vector<std::uint8_t> bytes)
{
    auto p = std::make_unique<Parsed>();
    p->image = std::move(bytes);
    p->result = parseRecordTree(p->image, p->tree, p->console);
    return p;
}

TEST(RecordTree, NodesAreLinkedInFileOrderAndUnknownTagsSteppedOver)
{
    Tes3Builder b;
    b.record("TES3").sub("HEDR", lw::test::hedrData("me", "desc")).text("MAST", "Morrowind.esm");
    b.sub("DATA", Fields().u32(1).u32(2)).end();
    b.record("CELL").text("NAME", "c").record("STAT").text("NAME", "inner").end().text("DATA", "x").end();
    b.record("STAT").end(); // empty record: a leaf
    b.record("DOOR").text("NAME", "d").raw(std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7}).end();
    b.record("NPC_").text("NAME", "n").sub("AI_A", Fields().zeros(33)).sub("NAM1", Fields().u8(7));
    b.text("FNAM", "f").sub("NAM1", Fields()).end();
    b.record("XHLT").text("NAME", "skipped").end();
    b.record("CELL").record("STAT").sub("ZZZZ", Fields().u16(3)).end().end();
    b.record("XHLT").end();
    b.raw(std::vector<std::uint8_t>(7, 0xAB)); // short tails are ignored
    auto p = parse(b.bytes());
    ASSERT_EQ(p->result, 0) << p->console.captured();
    EXPECT_EQ(p->console.captured(),
              "unknown NAM1 stepped over\nunknown XHLT stepped over\nunknown ZZZZ stepped over\n");
    const RecordTree& t = p->tree;
    ASSERT_EQ(t.count(), 21);
    // TES3(0){HEDR 1, MAST 2, DATA 3} CELL(4){NAME 5, STAT 6{NAME 7}, DATA 8} STAT(9) DOOR(10){NAME 11}
    // NPC_(12){NAME 13, AI_A 14, NAM1 15, FNAM 16, NAM1 17} CELL(18){STAT 19{ZZZZ 20}}
    const std::vector<std::pair<std::int32_t, Links>> expected = {
        {0, {-1, 1, -1, 4}},   {1, {0, -1, -1, 2}},   {3, {0, -1, 2, -1}},     {4, {-1, 5, 0, 9}},
        {6, {4, 7, 5, 8}},     {7, {6, -1, -1, -1}},  {8, {4, -1, 6, -1}},     {9, {-1, -1, 4, 10}},
        {10, {-1, 11, 9, 12}}, {15, {12, -1, 14, 16}}, {18, {-1, 19, 12, -1}}, {20, {19, -1, -1, -1}},
    };
    for (const auto& [i, links] : expected)
        EXPECT_EQ(p->links(i), links) << "node " << i;
    EXPECT_EQ(t.node(0).offset, 16u);
    EXPECT_EQ(t.node(0).size, 8u + 300 + 8 + 14 + 8 + 8);
    EXPECT_EQ(t.node(14).size, 33u);
    EXPECT_EQ(t.text(2), "Morrowind.esm");
    EXPECT_EQ(t.data(3)[4], 2);
    EXPECT_EQ(t.data(15)[0], 7);
    EXPECT_EQ(t.text(16), "f");
    EXPECT_EQ(t.data(20)[0], 3);
    EXPECT_EQ(t.find(makeTag("STAT")), (std::vector<std::int32_t>{6, 9, 19}));
}

TEST(RecordTree, DamagedPluginsAreRefusedWithTheirPlace)
{
    struct Case {
        const char* name;
        std::function<void(Tes3Builder&)> build;
        std::string message; // the start of what is printed; none: the plugin is taken
    };
    const std::vector<Case> cases = {
        {"unknown first record", [](Tes3Builder& b) { b.record("XHLT").end().record("STAT").end(); },
         "unknown XHLT(0), size=0, prev=-1, next=-1, parent=-1, left=24\n"},
        {"subrecord one byte past its record",
         [](Tes3Builder& b) {
             b.record("STAT").subWithSize("NAME", 4, Fields().chars("abc")).end();
             b.record("STAT").text("NAME", "padding").end();
         },
         "  size past end NAME(1), size=4, prev=-1, parent=0, left=-1\n"},
        {"unknown subrecord past its record",
         [](Tes3Builder& b) {
             b.record("TES3").end().record("STAT").subWithSize("NAM1", 9, Fields().zeros(8)).end();
             b.record("STAT").text("NAME", "padding").end();
         },
         "unknown NAM1 stepped over\n  size past end NAM1(2), size=9"},
        {"unknown record past the file",
         [](Tes3Builder& b) { b.record("TES3").end().record("XHLT").text("NAME", "a").endWithSize(11); },
         "unknown XHLT stepped over\nsize past end XHLT(1), size=11"},
        {"record past the file", [](Tes3Builder& b) { b.record("STAT").text("NAME", "a").endWithSize(11); },
         "size past end STAT(0), size=11"},
        {"size near 4 GiB", [](Tes3Builder& b) { b.record("STAT").subWithSize("NAME", 0xFFFFFFF8u).end(); },
         "  size past end NAME(1)"},
        {"record header cut short",
         [](Tes3Builder& b) { b.raw(Fields().chars("STAT").u32(0).u32(0).data()); }, "size past end STAT(0)"},
        {"subrecord ending exactly with its record: taken",
         [](Tes3Builder& b) {
             b.record("STAT").subWithSize("NAME", 3, Fields().chars("abc")).end();
             b.record("STAT").text("NAME", "padding").end();
         },
         ""},
    };
    for (const Case& c : cases) {
        Tes3Builder b;
        c.build(b);
        auto p = parse(b.bytes());
        EXPECT_EQ(p->result, c.message.empty() ? 0 : -1) << c.name;
        EXPECT_EQ(p->console.captured().rfind(c.message, 0), 0u) << c.name << ": " << p->console.captured();
    }
}

TEST(RecordTree, DeepNestingIsWalkedWithoutRecursion)
{
    Tes3Builder deep;
    for (int i = 0; i < 200000; ++i)
        deep.record("CELL");
    deep.text("NAME", "bottom");
    auto p = parse(deep.bytes());
    ASSERT_EQ(p->result, 0);
    EXPECT_EQ(p->tree.node(200000).parent, 199999);
}

TEST(Identifiers, ConvertByteByByteAndMakeEditorIdsInPlace)
{
    const std::vector<std::pair<std::string_view, std::string>> cases = {
        {"RockZz01", "RockZz01"}, {"a_b", "aUb"}, {"a.b", "aPb"}, {"a-b", "aTb"}, {"a b,c", "aSbVc"},
        {"x\\y/z.nif", "x\\y/zPnif"}, {"caf\xE9!'#", "cafXXXX"}, {std::string_view("ab\0cd", 5), "ab"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(convertIdentifier(in), out) << in;

    Tes3Builder b;
    b.record("STAT").text("NAME", "in_rock 01").text("MODL", "x").end();
    b.record("STAT").chars("NAME", "noZero").end();
    auto p = parse(b.bytes());
    ASSERT_EQ(p->result, 0);
    RecordTree& tree = p->tree;
    std::string_view id = makeEditorId(tree, 1);
    EXPECT_EQ(id, "0inUrockS01");
    // The converted text stays at the data address; the neighbour is untouched.
    EXPECT_EQ(tree.text(1), "inUrockS01");
    EXPECT_EQ(id.data() + 1, reinterpret_cast<const char*>(tree.data(1).data()));
    EXPECT_EQ(tree.text(2), "x");
    EXPECT_EQ(makeEditorId(tree, 1), "0inUrockS01");
    EXPECT_EQ(makeEditorId(tree, 4), "0noZero"); // no zero byte: ends at its size
}

} // namespace
} // namespace lw::modshift
