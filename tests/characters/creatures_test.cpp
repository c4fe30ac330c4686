#include <gtest/gtest.h>

#include <string>

#include "character_fixture.hpp"
#include "modshift/driver/save_steps.hpp"

namespace lw::modshift {
namespace {

using lw::test::CharacterRun;
using lw::test::Fields;
using lw::test::Tes3Builder;
using lw::test::Tes4Record;

Fields level(std::uint16_t v)
{
    Fields f;
    f.u16(v);
    return f;
}

void creatures(Tes3Builder& b)
{
    for (const char* id : {"mudcrab", "kagouti", "cliff racer", "dreugh"})
        b.record("CREA").text("NAME", id).text("MODL", "r\\x.nif").text("FNAM", id).end();
}

const char* kCreatureList = "mudcrab=0x0001B04A\r\ncliff racer=0x00023AA0\r\n";

TEST(Creatures, MappedThroughTheListFileOnly)
{
    CharacterRun run;
    run.platform.put("prog\\creatures.ini", kCreatureList);
    Tes3Builder b;
    creatures(b);
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveCreatures(*run.c), 0);
    EXPECT_EQ(run.text(), "\nSaving creatures\nfound 4 creatures\n");
    const RecordTable& t = run.c->tables.creatures;
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t.find("mudcrab"), 0x0001B04Au);
    EXPECT_EQ(t.find("cliffSracer"), 0x00023AA0u);
    EXPECT_TRUE(t[1].editorId.empty());
    EXPECT_EQ(t[1].formId, 0u);
    // The group holds no record.
    auto f = run.output();
    const lw::test::Tes4Group* g = f.topGroup("CREA");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->size, 20u);
    EXPECT_EQ(run.c->out.peekFormId(), 0x01000CE6u);
}

TEST(Creatures, WithoutListFileEveryLeveledListIsSkipped)
{
    CharacterRun run;
    Tes3Builder b;
    creatures(b);
    b.record("LEVC").text("NAME", "lev_crab").u32("DATA", 1).u8("NNAM", 0).text("CNAM", "mudcrab")
        .sub("INTV", level(1)).end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveCreatures(*run.c), 0);
    ASSERT_EQ(saveLeveledCreatures(*run.c), 0);
    EXPECT_EQ(run.text(), "\nSaving creatures\nfound 4 creatures\n"
                          "\nSaving leveled creatures\nfound 1 leveled creatures\nskipping\n");
    auto f = run.output();
    ASSERT_NE(f.topGroup("CREA"), nullptr);
    EXPECT_EQ(f.topGroup("CREA")->size, 20u);
    ASSERT_NE(f.topGroup("LVLC"), nullptr);
    EXPECT_TRUE(f.topGroup("LVLC")->records().empty());
    EXPECT_EQ(run.c->tables.creatures.find("mudcrab"), 0u);
}

TEST(LeveledCreatures, EntriesDefaultsAndSkips)
{
    CharacterRun run;
    run.platform.put("prog\\creatures.ini", kCreatureList);
    Tes3Builder b;
    creatures(b);
    // Mapped at 5, unmapped at 3, an INTV before any CNAM, a mapped one at 7.
    b.record("LEVC")
        .text("NAME", "lev_mixed")
        .u32("DATA", 3)
        .u8("NNAM", 25)
        .sub("INTV", level(9))
        .text("CNAM", "mudcrab")
        .sub("INTV", level(5))
        .text("CNAM", "kagouti")
        .sub("INTV", level(3))
        .text("CNAM", "cliff racer")
        .sub("INTV", level(7))
        .end();
    b.record("LEVC").text("NAME", "lev_plain").text("CNAM", "mudcrab").sub("INTV", level(2)).end();
    b.record("LEVC").text("NAME", "lev_none").text("CNAM", "kagouti").sub("INTV", level(2)).end();
    b.record("LEVC").text("CNAM", "mudcrab").sub("INTV", level(2)).end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveCreatures(*run.c), 0);
    run.console.clearCaptured();
    ASSERT_EQ(saveLeveledCreatures(*run.c), 0);
    EXPECT_EQ(run.text(), "\nSaving leveled creatures\nfound 4 leveled creatures\n"
                          "0levUmixed, 2\n0levUplain, 1\nskipping\nskipping\n");

    auto f = run.output();
    auto lists = f.topGroup("LVLC")->records();
    ASSERT_EQ(lists.size(), 2u);
    const Tes4Record& mixed = *lists[0];
    EXPECT_EQ(mixed.layout(), "EDID LVLD LVLF LVLO LVLO");
    EXPECT_EQ(mixed.formId, 0x01000CE6u);
    EXPECT_EQ(mixed.field("LVLD")->u8(), 25u);
    EXPECT_EQ(mixed.field("LVLF")->u8(), 3u);
    EXPECT_EQ(mixed.field("LVLO", 0)->data,
              (std::vector<std::uint8_t>{5, 0, 0x15, 0x10, 0x4A, 0xB0, 0x01, 0x00, 1, 0, 0x15, 0x10}));
    EXPECT_EQ(mixed.field("LVLO", 1)->u16(0), 7u);
    EXPECT_EQ(mixed.field("LVLO", 1)->u32(4), 0x00023AA0u);
    EXPECT_EQ(mixed.field("LVLO", 1)->u32(8), 0x10150001u);
    EXPECT_EQ(mixed.dataSize, 10u + 21u + 2u * 18u);

    const Tes4Record& plain = *lists[1];
    EXPECT_EQ(plain.field("LVLD")->u8(), 0u);
    EXPECT_EQ(plain.field("LVLF")->u8(), 1u);

    const RecordTable& t = run.c->tables.leveledCreatures;
    EXPECT_EQ(t.find("levUmixed"), 0x01000CE6u);
    EXPECT_EQ(t.find("levUplain"), 0x01000CE7u);
    EXPECT_EQ(t[2].editorId, "0levUnone");
    EXPECT_EQ(t[2].formId, 0u);
    EXPECT_EQ(t.find("levUnone"), 0u);
    EXPECT_TRUE(t[3].editorId.empty());
}

TEST(LeveledCreatures, NinetyNineEntriesFitAHundredStop)
{
    for (int entries : {99, 100}) {
        CharacterRun run;
        run.platform.put("prog\\creatures.ini", kCreatureList);
        Tes3Builder b;
        creatures(b);
        b.record("LEVC").text("NAME", "big");
        for (int i = 0; i < entries; ++i)
            b.text("CNAM", "mudcrab").sub("INTV", level(static_cast<std::uint16_t>(i)));
        b.end();
        b.record("LEVC").text("NAME", "after").text("CNAM", "mudcrab").sub("INTV", level(1)).end();
        ASSERT_TRUE(run.load(b));
        ASSERT_EQ(saveCreatures(*run.c), 0);
        run.console.clearCaptured();
        int result = saveLeveledCreatures(*run.c);
        // The group is closed either way, so the plugin stays well formed.
        EXPECT_EQ(run.c->out.depth(), 0);
        auto f = run.output();
        const lw::test::Tes4Group* g = f.topGroup("LVLC");
        ASSERT_NE(g, nullptr);
        if (entries == 99) {
            EXPECT_EQ(result, 0);
            ASSERT_EQ(g->records().size(), 2u);
            EXPECT_EQ(g->records()[0]->count("LVLO"), 99u);
            EXPECT_EQ(g->records()[0]->field("LVLO", 98)->u16(0), 98u);
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(run.text(), "\nSaving leveled creatures\nfound 2 leveled creatures\n"
                                  "too many items in list!\n");
            EXPECT_TRUE(g->records().empty());
            EXPECT_EQ(g->size, 20u);
        }
    }
}

TEST(Creatures, TooMany)
{
    CharacterRun run;
    Tes3Builder b;
    for (int i = 0; i < 501; ++i)
        b.record("CREA").text("NAME", "c").end();
    for (int i = 0; i < 501; ++i)
        b.record("LEVC").text("NAME", "l").end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveCreatures(*run.c), -1);
    EXPECT_EQ(saveLeveledCreatures(*run.c), -1);
    EXPECT_EQ(run.text(), "\nSaving creatures\ntoo many creatures!\n"
                          "\nSaving leveled creatures\ntoo many leveled creatures!\n");
    EXPECT_TRUE(run.c->out.bytes().empty());
}

} // namespace
} // namespace lw::modshift
