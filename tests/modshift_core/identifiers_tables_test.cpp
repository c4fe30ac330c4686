#include <gtest/gtest.h>

#include "common/console/console.hpp"
#include "modshift/driver/run.hpp"
#include "modshift/tes3/identifiers.hpp"
#include "modshift/tes3/record_table.hpp"
#include "modshift/tes3/record_tree.hpp"
#include "support/fake_platform.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::modshift {
namespace {

using lw::test::Fields;
using lw::test::Tes3Builder;

TEST(Identifiers, ConvertByteByByteAndMakeEditorIdsInPlace)
{
    const std::vector<std::pair<std::string_view, std::string>> cases = {
        {"Rock01", "Rock01"}, {"a_b", "aUb"}, {"a.b", "aPb"}, {"a-b", "aTb"}, {"a b,c", "aSbVc"},
        {"x\\y/z.nif", "x\\y/zPnif"}, {"caf\xE9!'#", "cafXXXX"}, {std::string_view("ab\0cd", 5), "ab"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(convertIdentifier(in), out) << in;

    Tes3Builder b;
    b.record("STAT").text("NAME", "in_rock 01").text("MODL", "x").end();
    b.record("STAT").chars("NAME", "noZero").end();
    std::vector<std::uint8_t> image = b.bytes();
    RecordTree tree;
    Console console = Console::capturing();
    ASSERT_EQ(parseRecordTree(image, tree, console), 0);
    std::string_view id = makeEditorId(tree, 1);
    EXPECT_EQ(id, "0inUrockS01");
    // The converted text stays at the data address; the neighbour is untouched.
    EXPECT_EQ(tree.text(1), "inUrockS01");
    EXPECT_EQ(id.data() + 1, reinterpret_cast<const char*>(tree.data(1).data()));
    EXPECT_EQ(tree.text(2), "x");
    EXPECT_EQ(makeEditorId(tree, 1), "0inUrockS01");
    EXPECT_EQ(makeEditorId(tree, 4), "0noZero"); // no zero byte: ends at its size
}

TEST(RecordTable, FirstMatchWinsAndFormIdZeroNeverMatches)
{
    std::vector<std::string> ids = {"0aTb", "0aTb", "0table", "0gone", "0gone", "0x"};
    const std::uint32_t formIds[] = {0x01000CE6, 0x01000CE7, 0x00012345, 0, 0x01000D00, 0x01000D01};
    RecordTable t(10);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        t.add(static_cast<std::int32_t>(i * 3));
        if (i != 5)
            t.setEditorId(i, ids[i]); // the last one is refused: no EditorID
        t.setFormId(i, formIds[i]);
    }
    EXPECT_EQ(t.find(convertIdentifier("a-b")), 0x01000CE6u);
    EXPECT_EQ(t.find("TABLE"), 0u); // case-sensitive
    EXPECT_EQ(t.find("table"), 0x00012345u);
    EXPECT_EQ(t.findIndex("gone"), 4u); // form identifier 0 is passed over
    EXPECT_EQ(t.find("x"), 0u);
    t.setFormId(0, 0);
    EXPECT_EQ(t.findIndex("aTb"), 1u);
    t.setEditorId(1, ids[2]); // renamed: out of its old key, the first "table" now
    EXPECT_FALSE(t.findIndex("aTb").has_value());
    EXPECT_EQ(t.findIndex("table"), 1u);
}

// Whole runs over plugins whose container holds items of every converted
// type: each keeps its place in the container, in NPCO order.
TEST(ContainerContents, EveryConvertedItemTypeKeepsItsPlace)
{
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        // contents; the top groups from BOOK up to DOOR
        {{"misc_a", "light_b", "weap_c", "book_d", "bonemold_chuzei_helm"}, {"BOOK", "DOOR"}},
        {{"book_d", "bonemold_chuzei_helm"}, {"BOOK", "CONT", "DOOR"}}, // nothing later: the container stays in place
    };
    for (const auto& [contents, groups] : cases) {
        lw::test::FakePlatform p;
        p.exitStatus = 0;
        p.put("/prog/meshshift.ini", "Morrowind=/mw\nArchive=M.bsa\nOblivion=/ob\nFolder=c\n");
        Tes3Builder b;
        b.header("me", "");
        b.record("MISC").text("NAME", "misc_a").text("MODL", "m.nif").sub("MCDT", Fields().f32(1).i32(2).u32(0)).end();
        b.record("LIGH").text("NAME", "light_b").text("MODL", "l.nif")
            .sub("LHDT", Fields().f32(1).i32(1).i32(-1).u32(128).u32(0).u32(0x2)).end();
        b.record("WEAP").text("NAME", "weap_c").text("MODL", "w.nif").sub("WPDT", Fields().zeros(32)).end();
        b.record("BOOK").text("NAME", "book_d").text("MODL", "b.nif").sub("BKDT", Fields().zeros(20)).end();
        b.record("ARMO").text("NAME", "bonemold_chuzei_helm").text("MODL", "a.nif").sub("AODT", Fields().zeros(24)).end();
        b.record("DOOR").text("NAME", "door_f").text("MODL", "d.nif").end();
        auto& chest = b.record("CONT").text("NAME", "chest").text("MODL", "c.nif");
        for (std::size_t i = 0; i < contents.size(); ++i)
            chest.sub("NPCO", Fields().i32(static_cast<std::int32_t>(i + 1)).fixed(contents[i], 32));
        p.files["/m/C.esp"] = b.bytes();
        Console console = Console::capturing();
        runModshift(std::vector<std::string>{"/prog/modshift", "/m/C.esp"}, p, console);
        lw::test::Tes4File f = lw::test::readTes4(p.files["/m/C_ob.esp"]);
        ASSERT_TRUE(f.ok()) << f.error << console.captured();
        auto records = f.allRecords("CONT");
        ASSERT_EQ(records.size(), 1u) << console.captured();
        ASSERT_EQ(records[0]->count("CNTO"), contents.size()) << console.captured();
        for (std::size_t i = 0; i < contents.size(); ++i) {
            const lw::test::Tes4Record* item = f.byFormId(records[0]->field("CNTO", i)->u32(0));
            ASSERT_NE(item, nullptr) << contents[i];
            EXPECT_EQ(item->field("EDID")->text(), "0" + convertIdentifier(contents[i]));
            EXPECT_EQ(records[0]->field("CNTO", i)->u32(4), i + 1);
        }
        std::vector<std::string> order;
        for (const lw::test::Tes4Group* g : f.topGroups())
            if ((g->labelTag() == "BOOK" || !order.empty()) && (order.empty() || order.back() != "DOOR"))
                order.push_back(g->labelTag());
        EXPECT_EQ(order, groups) << contents[0];
    }
}

} // namespace
} // namespace lw::modshift
