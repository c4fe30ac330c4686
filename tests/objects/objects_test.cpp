// The object converters: one plugin per kind, read back with the independent
// TES4 reader. Expected values are worked out by hand from the record layouts.
#include <gtest/gtest.h>

#include "modshift/driver/save_steps.hpp"
#include "modshift/objects/list_file.hpp"
#include "support/conversion_run.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

Fields wpdt(std::int16_t type, std::int16_t health, std::array<std::uint8_t, 6> damage)
{
    Fields f;
    // weight, value, type, health, speed 1.2, reach 1.5, enchantment points
    f.f32(2.5f).i32(100).i16(type).i16(health).f32(1.2f).f32(1.5f).i16(50);
    for (std::uint8_t d : damage)
        f.u8(d);
    return f.u32(0x3);
}

TEST(Weapons, EveryTypeAndTheDataFieldsInOrder)
{
    // Source types (short blade, long blade, two-handed long blade, blunt,
    // two-handed close blunt, two-handed wide blunt, spear, axe, two-handed axe,
    // bow, crossbow, thrown, arrow, bolt) and unknown values, against the
    // target's blade 1H 0, blade 2H 1, blunt 1H 2, blunt 2H 3, bow 5.
    const std::vector<std::pair<std::int16_t, std::uint32_t>> types = {
        {0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 3}, {6, 1}, {7, 2},
        {8, 3}, {9, 5}, {10, 5}, {11, 5}, {12, 5}, {13, 5}, {14, 5}, {-1, 5}};
    ConversionRun run;
    Tes3Builder b;
    for (auto [type, _] : types)
        b.record("WEAP").text("NAME", "w" + std::to_string(type)).text("MODL", "w\\a.nif")
            .sub("WPDT", wpdt(type, type == 0 ? -7 : 100, {200, 0, 10, 20, 1, 2})).end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveWeapons(*run.c), 0);
    auto recs = run.records("WEAP");
    ASSERT_EQ(recs.size(), types.size());
    for (std::size_t i = 0; i < types.size(); ++i)
        EXPECT_EQ(recs[i]->field("DATA")->u32(0), types[i].second) << "source type " << types[i].first;

    // Speed 1.2 / 1.5, reach 1.5 / 1.25, flags, value, health 100 / 6, weight,
    // damage (-56 + 0 + 10 + 20 + 1 + 2) / 6; health -7 / 6 truncates toward zero.
    const Tes4Subrecord* d = recs[1]->field("DATA");
    ASSERT_EQ(d->size(), 30u);
    EXPECT_EQ(std::tuple(d->f32(4), d->f32(8), d->u32(12), d->i32(16), d->i32(20), d->f32(24), d->i16(28)),
              std::tuple(0.8f, 1.2f, 3u, 100, 16, 2.5f, std::int16_t{-3}));
    EXPECT_EQ(recs[0]->field("DATA")->i32(20), -1);
    EXPECT_EQ(recs[0]->layout(), "EDID FULL MODL MODB DATA");
    EXPECT_EQ(recs[0]->field("MODL")->text(), "Weapons\\mw\\w\\a.nif");
    EXPECT_EQ(recs[0]->field("MODB")->u32(), 0x417F48ACu);
    EXPECT_EQ(run.platform.started.at(0),
              "P:\\prog\\meshshift.exe \"w\\a.nif\" -m 5 -l 5 -s 4 -q 3 -d Weapons\\mw\\w\\a.nif");
}

TEST(Books, SkillsTextAndData)
{
    // Source skill -> target skill: first, second, a dropped one, the last, and
    // numbers outside the source's skills.
    const std::vector<std::pair<std::int32_t, std::int8_t>> skills = {
        {0, 3}, {1, 0}, {2, -1}, {12, 11}, {26, 5}, {27, -1}, {-1, -1}};
    ConversionRun run;
    Tes3Builder b;
    for (auto [skill, _] : skills)
        b.record("BOOK").text("NAME", "bk" + std::to_string(skill)).text("MODL", "b\\a.nif")
            .chars("TEXT", "<FONT COLOR=\"0\"><DIV>Hello<BR>there")
            .sub("BKDT", Fields().f32(3.0f).i32(25).u32(0x101).i32(skill).u32(9)).end();
    ASSERT_TRUE(run.load(b));
    saveBooks(*run.c);
    auto recs = run.records("BOOK");
    ASSERT_EQ(recs.size(), skills.size());
    for (std::size_t i = 0; i < skills.size(); ++i)
        EXPECT_EQ(static_cast<std::int8_t>(recs[i]->field("DATA")->u8(1)), skills[i].second) << skills[i].first;
    const Tes4Subrecord* d = recs[0]->field("DATA");
    EXPECT_EQ(std::tuple(d->u8(0), d->i32(2), d->f32(6)), std::tuple(0x01, 25, 3.0f)) << "the scroll field's low byte";
    EXPECT_EQ(recs[0]->field("DESC")->text(), "Hello<BR>there");
    EXPECT_EQ(recs[0]->field("MODL")->text(), "Clutter\\Books\\mw\\b\\a.nif");
}

TEST(Containers, OrganicOnesWithFewerThanTwoItemsBecomePlants)
{
    ConversionRun run;
    Tes3Builder b;
    for (const char* name : {"bk_1", "bk_2"})
        b.record("BOOK").text("NAME", name).text("MODL", "b\\book.nif").end();
    auto npco = [](std::int32_t count, std::string_view item) { return Fields().i32(count).fixed(item, 32); };
    b.record("CONT").text("NAME", "plant").text("FNAM", "Plant").text("MODL", "c\\p.nif").u32("FLAG", 0x9)
        .sub("NPCO", npco(1, "bk_1")).end();
    b.record("CONT").text("NAME", "basket").text("MODL", "c\\b.nif").u32("FLAG", 0x3).f32("CNDT", 25.5f)
        .sub("NPCO", npco(2, "bk_1")).sub("NPCO", npco(-1, "bk_2")).end();
    b.record("CONT").text("NAME", "chest").text("MODL", "c\\c.nif").u32("FLAG", 0x8).end();
    ASSERT_TRUE(run.load(b));
    saveBooks(*run.c);
    saveContainers(*run.c);
    saveFlora(*run.c);
    auto conts = run.records("CONT");
    ASSERT_EQ(conts.size(), 2u);
    const Tes4Record& basket = *conts[0];
    EXPECT_EQ(basket.field("EDID")->text(), "0basket") << "organic with two items stays a container";
    EXPECT_EQ(basket.layout(), "EDID FULL MODL MODB DATA SNAM QNAM CNTO CNTO");
    // Respawns, weight, open and close sounds, the items with their counts.
    EXPECT_EQ(std::tuple(basket.field("DATA")->u8(0), basket.field("DATA")->f32(1), basket.field("SNAM")->u32(),
                         basket.field("QNAM")->u32(), basket.field("CNTO", 0)->u32(0), basket.field("CNTO", 0)->i32(4),
                         basket.field("CNTO", 1)->u32(0), basket.field("CNTO", 1)->i32(4)),
              std::tuple(0x2, 25.5f, 0x0005E163u, 0x000627D6u, run.c->tables.books.find("bkU1"), 2,
                         run.c->tables.books.find("bkU2"), -1));
    EXPECT_EQ(conts[1]->field("DATA")->u8(0), 0u);
    auto plants = run.records("FLOR");
    ASSERT_EQ(plants.size(), 1u);
    EXPECT_EQ(plants[0]->layout(), "EDID FULL MODL MODB PFIG PFPC");
    EXPECT_EQ(plants[0]->field("FULL")->text(), "Plant");
    EXPECT_EQ(run.c->tables.flora.find("plant"), plants[0]->formId);
    EXPECT_EQ(run.c->tables.containers.find("plant"), 0u);
}

TEST(Lights, DataFadeAndModelsOnlyWhenUsable)
{
    ConversionRun run;
    run.platform.statusFor["l\\bad.nif"] = 3;
    auto lhdt = [](std::uint32_t flags, std::uint32_t radius) {
        return Fields().f32(1.5f).i32(12).i32(-1).u32(radius).u8(10).u8(20).u8(30).u8(0).u32(flags);
    };
    Tes3Builder b;
    b.record("LIGH").text("NAME", "torch").text("MODL", "l\\torch.nif").sub("LHDT", lhdt(0x2, 129)).end();
    b.record("LIGH").text("NAME", "lost").text("MODL", "l\\bad.nif").sub("LHDT", lhdt(0x2, 1)).end();
    b.record("LIGH").text("NAME", "fixed").text("MODL", "l\\bad.nif").sub("LHDT", lhdt(0x1, 1)).end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveLights(*run.c), 0);
    auto recs = run.records("LIGH");
    ASSERT_EQ(recs.size(), 2u) << "a carriable light needs its mesh";
    EXPECT_EQ(recs[0]->layout(), "EDID MODL MODB DATA FNAM");
    // Time, radius doubled, colour, flags, field of view, value, weight.
    const Tes4Subrecord* d = recs[0]->field("DATA");
    EXPECT_EQ(std::tuple(d->i32(0), d->u32(4), d->u32(8), d->u32(12), d->f32(20), d->i32(24), d->f32(28)),
              std::tuple(-1, 258u, 0x001E140Au, 2u, 90.0f, 12, 1.5f));
    EXPECT_FLOAT_EQ(recs[0]->field("FNAM")->f32(), 0.33f) << "fade";
    EXPECT_EQ(recs[1]->layout(), "EDID DATA FNAM") << "failed mesh, fixed in place: no model";
}

TEST(Sounds, AttenuationFlagsAndTheKeptFolderPath)
{
    ConversionRun run;
    run.platform.put("M:\\Morrowind\\Data Files\\Sound\\Fx\\magic\\altr hit.wav", "RIFF");
    const std::vector<std::pair<std::uint8_t, std::int16_t>> volumes = {{255, 0}, {127, 300}, {191, 150}, {0, 2400}};
    Tes3Builder b;
    for (auto [v, _] : volumes)
        b.record("SOUN").text("NAME", "s " + std::to_string(v)).text("FNAM", "Fx\\magic\\altr hit.wav")
            .sub("DATA", Fields().u8(v).u8(0).u8(255)).end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveSounds(*run.c), 0);
    EXPECT_EQ(run.platform.textOf("O:\\Oblivion\\Data\\Sound\\fx\\mw\\Fx\\magic\\altrShit.wav"), "RIFF");
    auto recs = run.records("SOUN");
    ASSERT_EQ(recs.size(), volumes.size());
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        const Tes4Subrecord* x = recs[i]->field("SNDX");
        EXPECT_EQ(x->u32(4), 0x40u);
        EXPECT_EQ(x->i16(8), volumes[i].second) << "volume " << int(volumes[i].first);
    }
    EXPECT_EQ(recs[0]->field("FNAM")->text(), "fx\\mw\\Fx\\magic\\altrShit.wav");
}

TEST(ListFile, ValuesAsUsersWriteThem)
{
    struct Row {
        std::string text;
        bool ok;
        std::vector<std::pair<std::string, std::uint32_t>> lookups;
    };
    const std::vector<Row> rows = {
        {"ex_rock=0x0001A2B3\r\nbench=0X00ABCDEF\nlast=0xfa", true,
         {{"ex_rock", 0x0001A2B3}, {"bench", 0x00ABCDEF}, {"last", 0xFA}, {"EX_ROCK", 0}}},
        {"a=01F\nb=0x0\nd=00000012\n", true, {{"a", 0x1F}, {"b", 0}, {"d", 0x12}}},
        {"first=0x1\nfirst=0x2\n", true, {{"first", 1}}},
        {"good=0x10\nbad= 0x20\n", false, {{"good", 0}}},
        {"a=0x10\nb=12\n", false, {{"a", 0}}},
    };
    for (const Row& row : rows) {
        ListTable t;
        EXPECT_EQ(t.parse({reinterpret_cast<const std::uint8_t*>(row.text.data()), row.text.size()}), row.ok)
            << row.text;
        for (const auto& [name, value] : row.lookups)
            EXPECT_EQ(t.lookup(name), value) << row.text << " / " << name;
    }
}

} // namespace
} // namespace lw::test
