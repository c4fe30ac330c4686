#include <gtest/gtest.h>

#include <array>
#include <string>

#include "character_fixture.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/tes3/identifiers.hpp"

namespace lw::modshift {
namespace {

using lw::test::CharacterRun;
using lw::test::Fields;
using lw::test::Tes3Builder;
using lw::test::Tes4Record;

// The 52-byte statistics block with every skill set to `skill`.
Fields fullStatistics(std::uint16_t level, std::uint8_t skill = 20)
{
    Fields f;
    f.u16(level);
    for (std::uint8_t a = 0; a < 8; ++a)
        f.u8(static_cast<std::uint8_t>(60 + a)); // attributes
    for (int s = 0; s < 27; ++s)
        f.u8(skill);
    f.u8(0);       // 37: unused
    f.u16(321);    // 38: health
    f.u16(111);    // 40: spell points
    f.u16(222);    // 42: fatigue
    f.u8(0).u8(0); // 44, 45: disposition, reputation
    f.i8(3);       // 46: rank
    f.u8(0);
    f.u32(0x00012345); // 48: gold
    return f;
}

Fields autoStatistics(std::uint16_t level, std::int8_t rank, std::uint32_t gold)
{
    Fields f;
    f.u16(level).u8(50).u8(0).i8(rank).zeros(3).u32(gold);
    return f;
}

// Sets one byte of a 52-byte statistics block.
Fields withByte(const Fields& base, std::size_t at, std::uint8_t value)
{
    std::vector<std::uint8_t> d = base.data();
    d.at(at) = value;
    Fields f;
    f.bytes(d);
    return f;
}

Fields aidt(std::uint8_t fight, std::uint32_t services)
{
    Fields f;
    f.u8(30).u8(0).u8(fight).u8(10).zeros(4).u32(services);
    return f;
}

Fields wander(std::uint16_t distance)
{
    Fields f;
    f.u16(distance).u16(5).u8(0).zeros(10).u8(1);
    return f;
}

Fields npco(std::int32_t count, std::string_view id)
{
    Fields f;
    f.i32(count).fixed(id, 32);
    return f;
}

// The data size the record header must state: the texts with their zero bytes,
// 717 for the fixed subrecords with all headers, 14 per inventory item, 10 per
// package, 14 for SNAM.
std::uint32_t npcSize(std::string_view editorId, std::string_view full, std::string_view skeleton,
                      std::size_t items, std::size_t packages, bool snam)
{
    return static_cast<std::uint32_t>(editorId.size() + 1 + full.size() + 1 + skeleton.size() + 1 +
                                      717 + 14 * items + 10 * packages + (snam ? 14 : 0));
}
constexpr std::string_view kNormal = "Characters\\_Male\\skeleton.nif";

struct NpcRun : CharacterRun {
    NpcRun()
    {
        c->characters.eyeKhajiit1 = 0x01000CE6;
        c->characters.eyeBlack = 0x01000CE7;
        c->characters.eyeGrey = 0x01000CE8;
    }
    std::vector<const Tes4Record*> npcs(lw::test::Tes4File& f)
    {
        const lw::test::Tes4Group* g = f.topGroup("NPC_");
        return g ? g->records() : std::vector<const Tes4Record*>{};
    }
};

TEST(Npcs, NoNpcWritesNoGroup)
{
    NpcRun run;
    Tes3Builder b;
    b.header();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveNpcs(*run.c), 0);
    EXPECT_EQ(run.text(), "\nSaving NPCs\nfound 0 NPC\n");
    EXPECT_TRUE(run.c->out.bytes().empty());
}

TEST(Npcs, PlayerAndBremAreCountedButNotWritten)
{
    NpcRun run;
    Tes3Builder b;
    for (const char* id : {"player", "brem", "Player", "BREM", "guard"})
        b.record("NPC_").text("NAME", id).text("FNAM", "Someone").end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveNpcs(*run.c), 0);
    // Each written NPC reports the face files it could not find.
    EXPECT_EQ(run.text(), "\nSaving NPCs\nfound 5 NPC\n"
                          "No FGS file\nNo FG file\nNo FGS file\nNo FG file\nNo FGS file\nNo FG file\n");
    auto f = run.output();
    auto npcs = run.npcs(f);
    ASSERT_EQ(npcs.size(), 3u);
    EXPECT_EQ(npcs[0]->field("EDID")->text(), "0Player");
    EXPECT_EQ(npcs[1]->field("EDID")->text(), "0BREM");
    EXPECT_EQ(npcs[2]->field("EDID")->text(), "0guard");
    EXPECT_EQ(npcs[0]->formId, 0x01000CE6u);
    EXPECT_EQ(npcs[2]->formId, 0x01000CE8u);

    const RecordTable& t = run.c->tables.npcs;
    ASSERT_EQ(t.size(), 5u);
    EXPECT_TRUE(t[0].editorId.empty());
    EXPECT_TRUE(t[1].editorId.empty());
    EXPECT_EQ(t.find("player"), 0u);
    EXPECT_EQ(t.find("Player"), 0x01000CE6u);
    EXPECT_EQ(t.find("guard"), 0x01000CE8u);
}

TEST(Npcs, DefaultsAndLayoutOfTheAutoCalculatedForm)
{
    NpcRun run;
    Tes3Builder b;
    b.record("NPC_")
        .text("NAME", "trader_01")
        .text("FNAM", "Ulf")
        .text("RNAM", "Sload")
        .text("CNAM", "Weaver")
        .text("ANAM", "Mages Guild")
        .sub("NPDT", autoStatistics(12, 4, 0x00054321))
        .end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveNpcs(*run.c), 0);
    auto f = run.output();
    auto npcs = run.npcs(f);
    ASSERT_EQ(npcs.size(), 1u);
    const Tes4Record& r = *npcs[0];
    EXPECT_EQ(r.layout(), "EDID FULL MODL MODB ACBS SNAM RNAM CNTO AIDT CNAM DATA HNAM ENAM HCLR "
                          "FGGS FGGA FGTS FNAM");
    EXPECT_EQ(r.flags, 0u);
    EXPECT_EQ(r.lastWord, 0u);
    EXPECT_EQ(r.field("EDID")->text(), "0traderU01");
    EXPECT_EQ(r.field("FULL")->text(), "Ulf");
    EXPECT_EQ(r.field("MODL")->text(), "Characters\\_Male\\skeleton.nif");
    EXPECT_EQ(r.field("MODB")->u32(), 0x428ECD0Cu);

    const auto* acbs = r.field("ACBS");
    ASSERT_EQ(acbs->size(), 16u);
    EXPECT_EQ(acbs->u32(0), 0u);
    EXPECT_EQ(acbs->u16(4), 50u); // spell points
    EXPECT_EQ(acbs->u16(6), 50u); // fatigue
    EXPECT_EQ(acbs->u16(8), 0x4321u);
    EXPECT_EQ(acbs->i16(10), 12);
    EXPECT_EQ(acbs->u16(12), 1u);
    EXPECT_EQ(acbs->u16(14), 0u);

    // The source's own rank of the auto-calculated form.
    EXPECT_EQ(r.field("SNAM")->u32(0), 0x00022296u);
    EXPECT_EQ(r.field("SNAM")->u32(4), 0x42444F04u);

    // Default race row: any other race.
    EXPECT_EQ(r.field("RNAM")->u32(), 0x00038010u);
    EXPECT_EQ(r.field("CNAM")->u32(), 0x00023C0Du);
    EXPECT_EQ(r.field("HNAM")->u32(), 0x0018A891u);
    EXPECT_EQ(r.field("ENAM")->u32(), 0x00027306u);
    EXPECT_EQ(r.field("HCLR")->u32(), 0x0005213Du);
    EXPECT_EQ(r.field("CNTO")->u32(0), 0x000352BAu);
    EXPECT_EQ(r.field("CNTO")->i32(4), 1);

    const auto* ai = r.field("AIDT");
    ASSERT_EQ(ai->size(), 12u);
    EXPECT_EQ(ai->u8(0), 5u);
    EXPECT_EQ(ai->u8(1), 50u);
    EXPECT_EQ(ai->u8(2), 50u);
    EXPECT_EQ(ai->u8(3), 50u);
    EXPECT_EQ(ai->u32(4), 0u);
    EXPECT_EQ(ai->u8(8), 0u); // teaches Armorer
    EXPECT_EQ(ai->u8(9), 5u); // at 5
    EXPECT_EQ(ai->u16(10), 0u);

    const auto* data = r.field("DATA");
    ASSERT_EQ(data->size(), 33u);
    for (std::size_t i = 0; i < 21; ++i)
        EXPECT_EQ(data->u8(i), 5u) << i;
    EXPECT_EQ(data->u32(21), 50u);
    // Level 12: 46 for the seven attributes, Luck 50.
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_EQ(data->u8(25 + i), 46u) << i;
    EXPECT_EQ(data->u8(32), 50u);

    // The record size is the 717 constant plus the texts (and SNAM).
    EXPECT_EQ(r.dataSize, npcSize("0traderU01", "Ulf", kNormal, 0, 0, true));
    // No face table: "zero.fg" and the default race file were asked for.
    EXPECT_EQ(run.text(), "\nSaving NPCs\nfound 1 NPC\nNo FGS file\nNo FG file\n");
    EXPECT_EQ(run.platform.reads("prog\\faces\\Imperial.fgs"), 1u);
    EXPECT_EQ(run.platform.reads("prog\\faces\\zero.fg"), 1u);
}

TEST(Npcs, FullStatisticsSkillTableAndBlade)
{
    Fields base = fullStatistics(30);
    NpcRun run;
    Tes3Builder b;
    // 0: Long Blade 50, Short Blade 100: Blade 100; Axe (16) gives Blunt, not 14.
    b.record("NPC_").text("NAME", "a").sub("NPDT",
        withByte(withByte(withByte(withByte(base, 15, 50), 32, 100), 16, 77), 14, 99)).end();
    // 1: Short Blade 200 is -56 as a signed byte and never replaces Long Blade 50.
    b.record("NPC_").text("NAME", "b").sub("NPDT", withByte(withByte(base, 15, 50), 32, 200)).end();
    // 2: Long Blade 250 (unsigned) stays.
    b.record("NPC_").text("NAME", "c").sub("NPDT", withByte(withByte(base, 15, 250), 32, 127)).end();
    // 3: Block (position 3) and Blade (position 2) both highest: the lower position wins.
    b.record("NPC_").text("NAME", "d").sub("NPDT", withByte(withByte(base, 15, 90), 10, 90)).end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveNpcs(*run.c), 0);
    auto f = run.output();
    auto npcs = run.npcs(f);
    ASSERT_EQ(npcs.size(), 4u);

    const auto* d0 = npcs[0]->field("DATA");
    EXPECT_EQ(d0->u8(2), 100u);
    EXPECT_EQ(d0->u8(4), 77u); // Blunt from Axe
    EXPECT_EQ(d0->u32(21), 321u);
    for (std::size_t a = 0; a < 8; ++a)
        EXPECT_EQ(d0->u8(25 + a), 60u + a);
    const auto* acbs = npcs[0]->field("ACBS");
    EXPECT_EQ(acbs->u16(4), 111u);
    EXPECT_EQ(acbs->u16(6), 222u);
    EXPECT_EQ(acbs->u16(8), 0x2345u); // low 16 bits of the gold
    EXPECT_EQ(acbs->i16(10), 30);
    // Teaches: Blade at 100 is the greatest.
    EXPECT_EQ(npcs[0]->field("AIDT")->u8(8), 2u);
    EXPECT_EQ(npcs[0]->field("AIDT")->u8(9), 100u);

    EXPECT_EQ(npcs[1]->field("DATA")->u8(2), 50u);
    EXPECT_EQ(npcs[2]->field("DATA")->u8(2), 250u);
    EXPECT_EQ(npcs[3]->field("AIDT")->u8(8), 2u);
    EXPECT_EQ(npcs[3]->field("AIDT")->u8(9), 90u);

    // Every skill maps from its own source offset.
    const std::array<std::size_t, 21> source{11, 18, 15, 10, 16, 36, 13, 26, 21, 23, 20,
                                             22, 24, 25, 30, 31, 33, 34, 28, 29, 35};
    for (std::size_t pos = 0; pos < 21; ++pos) {
        NpcRun one;
        Tes3Builder ob;
        ob.record("NPC_").text("NAME", "x").sub("NPDT", withByte(fullStatistics(1, 1), source[pos], 44)).end();
        ASSERT_TRUE(one.load(ob));
        ASSERT_EQ(saveNpcs(*one.c), 0);
        auto of = one.output();
        auto rec = one.npcs(of);
        ASSERT_EQ(rec.size(), 1u);
        EXPECT_EQ(rec[0]->field("DATA")->u8(pos), 44u) << pos;
        EXPECT_EQ(rec[0]->field("AIDT")->u8(8), pos) << pos;
    }
}

TEST(Npcs, PackagesServicesFlagsAndFaction)
{
    NpcRun run;
    Tes3Builder b;
    b.record("NPC_").text("NAME", "far").sub("AI_W", wander(1000)).end();
    b.record("NPC_").text("NAME", "near").sub("AI_W", wander(999)).end();
    b.record("NPC_").text("NAME", "still").sub("AI_W", wander(0)).end();
    b.record("NPC_")
        .text("NAME", "shop")
        .sub("AIDT", aidt(70, 0xFFFFFFFF))
        .sub("AI_W", wander(500))
        .u32("FLAG", 0x01 | 0x04 | 0x08)
        .u32("FLAG", 0x02 | 0x10)
        .text("ANAM", "Fighters Guild")
        .sub("NPDT", withByte(fullStatistics(5), 46, 0xFE))
        .end();
    b.record("NPC_").text("NAME", "other").text("ANAM", "Thieves Guild").end();
    {
        auto& r = b.record("NPC_").text("NAME", "busy").sub("AIDT", aidt(1, 1));
        for (int i = 0; i < 9; ++i)
            r.sub("AI_W", wander(static_cast<std::uint16_t>(10 + i)));
        r.end();
    }
    {
        auto& r = b.record("NPC_").text("NAME", "roam");
        for (int i = 0; i < 8; ++i)
            r.sub("AI_W", wander(static_cast<std::uint16_t>(i == 6 ? 1500 : 20)));
        r.end();
    }
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveNpcs(*run.c), 0);
    auto f = run.output();
    auto n = run.npcs(f);
    ASSERT_EQ(n.size(), 7u);
    ASSERT_EQ(n[0]->count("PKID"), 1u);
    EXPECT_EQ(n[0]->field("PKID")->u32(), 0x000983B1u);
    ASSERT_EQ(n[1]->count("PKID"), 1u);
    EXPECT_EQ(n[1]->field("PKID")->u32(), 0x0002251Bu);
    EXPECT_EQ(n[2]->count("PKID"), 0u);

    const Tes4Record& shop = *n[3];
    ASSERT_EQ(shop.count("PKID"), 2u);
    EXPECT_EQ(shop.field("PKID", 0)->u32(), 0x0002251Bu);
    EXPECT_EQ(shop.field("PKID", 1)->u32(), 0x00009D8Eu);
    EXPECT_EQ(shop.field("AIDT")->u8(0), 70u);
    EXPECT_EQ(shop.field("AIDT")->u32(4), 0x00037FFFu);
    // female, respawn (0x04 becomes 0x08), then essential and auto-calc from a
    // second FLAG that clears nothing.
    EXPECT_EQ(shop.field("ACBS")->u32(), 0x01u | 0x02u | 0x08u | 0x10u);
    EXPECT_EQ(shop.field("HNAM")->u32(), 0x0018A891u);
    // Rank -2 sign-extended into the second word.
    EXPECT_EQ(shop.field("SNAM")->u32(0), 0x0002228Fu);
    EXPECT_EQ(shop.field("SNAM")->u32(4), 0x42444EFEu);
    EXPECT_EQ(shop.dataSize, npcSize("0shop", "shop", kNormal, 0, 2, true));

    EXPECT_EQ(n[4]->count("SNAM"), 0u);
    // Nine wander packages and the service package: six wanders, then services.
    const Tes4Record& busy = *n[5];
    ASSERT_EQ(busy.count("PKID"), 7u);
    EXPECT_EQ(busy.field("PKID", 5)->u32(), 0x0002251Bu);
    EXPECT_EQ(busy.field("PKID", 6)->u32(), 0x00009D8Eu);
    // Without services all seven places hold wanders.
    ASSERT_EQ(n[6]->count("PKID"), 7u);
    EXPECT_EQ(n[6]->field("PKID", 6)->u32(), 0x000983B1u);
}

TEST(Npcs, MagesGuildRankThreeBytes)
{
    NpcRun run;
    Tes3Builder b;
    b.record("NPC_").text("NAME", "mage").text("ANAM", "Mages Guild").sub("NPDT", fullStatistics(9)).end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveNpcs(*run.c), 0);
    auto f = run.output();
    auto n = run.npcs(f);
    ASSERT_EQ(n.size(), 1u);
    const auto& d = n[0]->field("SNAM")->data;
    EXPECT_EQ(d, (std::vector<std::uint8_t>{0x96, 0x22, 0x02, 0x00, 0x03, 0x4F, 0x44, 0x42}));
}

TEST(Npcs, InventoryThroughTheItemLookup)
{
    NpcRun run;
    Tes3Builder b;
    b.record("WEAP").text("NAME", "iron sword").end();
    b.record("NPC_")
        .text("NAME", "fighter")
        .sub("NPCO", npco(1, "iron sword"))
        .sub("NPCO", npco(2, "not converted"))
        .sub("NPCO", npco(-3, "iron sword"))
        .end();
    ASSERT_TRUE(run.load(b));
    // The weapon converter ran before: its table knows the sword.
    std::size_t w = run.c->tables.weapons.add(0);
    run.c->tables.weapons.setEditorId(w, makeEditorId(run.c->tree, 1));
    run.c->tables.weapons.setFormId(w, 0x01000D00);
    ASSERT_EQ(saveNpcs(*run.c), 0);
    auto f = run.output();
    auto n = run.npcs(f);
    ASSERT_EQ(n.size(), 1u);
    ASSERT_EQ(n[0]->count("CNTO"), 3u);
    EXPECT_EQ(n[0]->field("CNTO", 0)->u32(0), 0x000352BAu);
    EXPECT_EQ(n[0]->field("CNTO", 1)->u32(0), 0x01000D00u);
    EXPECT_EQ(n[0]->field("CNTO", 1)->i32(4), 1);
    EXPECT_EQ(n[0]->field("CNTO", 2)->u32(0), 0x01000D00u);
    EXPECT_EQ(n[0]->field("CNTO", 2)->i32(4), -3);
    EXPECT_EQ(n[0]->dataSize, npcSize("0fighter", "fighter", kNormal, 2, 0, false));
    // Without FNAM the converted identifier names the NPC.
    EXPECT_EQ(n[0]->field("FULL")->text(), "fighter");
}

TEST(Npcs, InventoryKeepsTheFirstThousandItems)
{
    NpcRun run;
    Tes3Builder b;
    b.record("WEAP").text("NAME", "dagger").end();
    b.record("NPC_").text("NAME", "hoarder");
    for (int i = 0; i < 1005; ++i)
        b.sub("NPCO", npco(i + 1, "dagger"));
    b.end();
    ASSERT_TRUE(run.load(b));
    std::size_t w = run.c->tables.weapons.add(0);
    run.c->tables.weapons.setEditorId(w, makeEditorId(run.c->tree, 1));
    run.c->tables.weapons.setFormId(w, 0x01000D01);
    ASSERT_EQ(saveNpcs(*run.c), 0);
    auto f = run.output();
    auto n = run.npcs(f);
    ASSERT_EQ(n.size(), 1u);
    ASSERT_EQ(n[0]->count("CNTO"), 1001u);
    EXPECT_EQ(n[0]->field("CNTO", 1000)->i32(4), 1000);
    EXPECT_EQ(n[0]->dataSize, npcSize("0hoarder", "hoarder", kNormal, 1000, 0, false));
}

TEST(Npcs, RacesHairAndSeededEyes)
{
    auto build = [](Tes3Builder& b) {
        const char* races[] = {"Breton", "Nord", "Khajiit", "Imperial", "Argonian",
                               "Dark Elf", "Breton", "Redguard", "Wood Elf", "High Elf"};
        int i = 0;
        for (const char* race : races) {
            b.record("NPC_").text("NAME", "n" + std::to_string(i)).text("RNAM", race);
            if (i % 2 == 1)
                b.u32("FLAG", 1);
            b.end();
            ++i;
        }
        b.record("NPC_").text("NAME", "player").text("RNAM", "Breton").end();
    };
    NpcRun run;
    Tes3Builder b;
    build(b);
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveNpcs(*run.c), 0);
    auto f = run.output();
    auto n = run.npcs(f);
    ASSERT_EQ(n.size(), 10u);

    // The same draws, in NPC order, from a generator seeded the same way.
    Random rng;
    rng.seed();
    const std::uint32_t khajiit1 = 0x01000CE6, black = 0x01000CE7, grey = 0x01000CE8;
    std::uint32_t breton[] = {0x00027308, 0x00027309, 0x00027306};
    EXPECT_EQ(n[0]->field("ENAM")->u32(), breton[rng.next(3)]);
    EXPECT_EQ(n[1]->field("ENAM")->u32(), rng.next(2) == 0 ? grey : 0x00027308u);
    EXPECT_EQ(n[2]->field("ENAM")->u32(), rng.next(2) == 0 ? 0x000375C8u : khajiit1);
    std::uint32_t imperial[] = {0x00027309, 0x00027306, black};
    EXPECT_EQ(n[3]->field("ENAM")->u32(), imperial[rng.next(3)]);
    EXPECT_EQ(n[4]->field("ENAM")->u32(), 0x0003E91Eu); // fixed: no draw
    EXPECT_EQ(n[5]->field("ENAM")->u32(), 0x00027307u);
    EXPECT_EQ(n[6]->field("ENAM")->u32(), breton[rng.next(3)]);
    EXPECT_EQ(n[7]->field("ENAM")->u32(), rng.next(2) == 0 ? 0x00027306u : black);
    EXPECT_EQ(n[8]->field("ENAM")->u32(), rng.next(2) == 0 ? 0x00027306u : black);
    EXPECT_EQ(n[9]->field("ENAM")->u32(), breton[rng.next(3)]);
    // The skipped player drew nothing.
    EXPECT_EQ(run.c->rng.state(), rng.state());

    EXPECT_EQ(n[1]->field("HCLR")->u32(), 0x00337484u);
    EXPECT_EQ(n[1]->field("HNAM")->u32(), 0x0002C4D0u); // female Nord
    EXPECT_EQ(n[2]->field("RNAM")->u32(), 0x000223C7u);
    EXPECT_EQ(n[2]->field("HNAM")->u32(), 0x000653D4u); // male Khajiit
    EXPECT_EQ(n[2]->field("MODL")->text(), "Characters\\_Male\\SkeletonBeast.nif");
    EXPECT_EQ(n[4]->field("MODL")->text(), "Characters\\_Male\\SkeletonBeast.nif");
    EXPECT_EQ(n[3]->field("HNAM")->u32(), 0x000950EBu); // female Imperial
    EXPECT_EQ(n[5]->field("HNAM")->u32(), 0x0001DA82u);
    EXPECT_EQ(n[5]->field("MODL")->text(), "Characters\\_Male\\skeleton.nif");
    // Race files: Nord, then Breton, Imperial for the beast races.
    EXPECT_EQ(run.platform.reads("prog\\faces\\Nord.fgs"), 1u);
    EXPECT_EQ(run.platform.reads("prog\\faces\\Breton.fgs"), 1u);
    EXPECT_EQ(run.platform.reads("prog\\faces\\DarkElf.fgs"), 1u);

    // Same plugin, same eyes, same bytes.
    NpcRun again;
    Tes3Builder b2;
    build(b2);
    ASSERT_TRUE(again.load(b2));
    ASSERT_EQ(saveNpcs(*again.c), 0);
    EXPECT_EQ(again.c->out.bytes(), run.c->out.bytes());
}

TEST(Npcs, FaceFromTheHeadTableAndTheRaceFile)
{
    NpcRun run;
    run.platform.put("prog\\faces\\Heads.ini", "b_n_nord_m_head_01=nord01.fg\r\n");
    std::vector<std::uint8_t> face(40, 0);
    for (int i = 0; i < 130; ++i) {
        std::int16_t v = i == 0 ? 1500 : static_cast<std::int16_t>(i);
        face.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) & 0xFF));
        face.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
    }
    run.platform.put("prog\\faces\\nord01.fg", face);
    Fields race;
    race.f32(0.25f);
    for (int i = 1; i < 80; ++i)
        race.f32(static_cast<float>(i) / 8.0f);
    run.platform.put("prog\\faces\\Nord.fgs", race.data());
    ASSERT_EQ(parseFaces(*run.c), 0);
    Tes3Builder b;
    b.record("NPC_").text("NAME", "ulf").text("RNAM", "Nord").text("BNAM", "b_n_nord_m_head_01").end();
    b.record("NPC_").text("NAME", "sven").text("RNAM", "Nord").end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveNpcs(*run.c), 0);
    auto f = run.output();
    auto n = run.npcs(f);
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0]->field("FGGS")->f32(0), 1.25f);
    // FGGA takes face values 50 on and race values 50 on.
    EXPECT_EQ(n[0]->field("FGGA")->f32(4), static_cast<float>(0.051 - 51.0 / 8.0));
    EXPECT_EQ(n[0]->field("FGTS")->f32(0), static_cast<float>(0.080));
    // Without BNAM: "zero.fg", which is missing here; the race values remain.
    EXPECT_EQ(n[1]->field("FGGS")->f32(0), -0.25f);
    EXPECT_EQ(n[1]->field("FGTS")->f32(0), 0.0f);
    EXPECT_NE(run.text().find("No FG file\n"), std::string::npos);
}

TEST(Npcs, ShortSubrecordsAreReadSafely)
{
    NpcRun run;
    Tes3Builder b;
    std::size_t count = 0;
    for (const char* tag : {"FLAG", "AIDT", "AI_W", "NPCO", "NPDT", "NAME", "FNAM", "RNAM", "BNAM"}) {
        for (std::size_t size = 0; size < 14; ++size) {
            Fields f;
            for (std::size_t i = 0; i < size; ++i)
                f.u8(static_cast<std::uint8_t>(0xF0 + i));
            b.record("NPC_").text("NAME", "n" + std::to_string(count++)).sub(tag, f).end();
        }
    }
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveNpcs(*run.c), 0);
    auto f = run.output();
    // Each record's size and layout was checked by the reader.
    EXPECT_EQ(run.npcs(f).size(), count);
}

TEST(Npcs, WithoutNameNothingIsWritten)
{
    NpcRun run;
    Tes3Builder b;
    b.record("NPC_").text("FNAM", "Nameless").sub("NPDT", Fields().u8(7)).end();
    b.record("NPC_").text("NAME", "named").sub("NPDT", Fields().u8(7)).end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveNpcs(*run.c), 0);
    auto f = run.output();
    auto n = run.npcs(f);
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0]->field("EDID")->text(), "0named");
    // A one-byte NPDT holds no level: the default level 1 stays.
    EXPECT_EQ(n[0]->field("ACBS")->i16(10), 1);
    EXPECT_TRUE(run.c->tables.npcs[0].editorId.empty());
}

TEST(Npcs, TooManyNpcsWritesNothing)
{
    NpcRun run;
    Tes3Builder b;
    for (int i = 0; i < 5001; ++i)
        b.record("NPC_").text("NAME", "n").end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveNpcs(*run.c), -1);
    EXPECT_EQ(run.text(), "\nSaving NPCs\ntoo many NPC!\n");
    EXPECT_TRUE(run.c->out.bytes().empty());
    EXPECT_EQ(run.c->tables.npcs.find("n"), 0u);
}

} // namespace
} // namespace lw::modshift
