// NPCs, armour, leveled creatures and faces, read back with the independent
// TES4 reader. Expected values are worked out by hand from the record layouts.
#include <gtest/gtest.h>

#include "modshift/characters/faces.hpp"
#include "modshift/driver/save_steps.hpp"
#include "support/conversion_run.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

// The 52-byte statistics block: level, attributes 60..67, every skill 20.
Fields fullStatistics(std::size_t skillAt = 0, std::uint8_t skill = 20)
{
    // Level 30; health 321, spell points 111, fatigue 222; gold 0x12345.
    const std::vector<std::uint8_t> twenties(28, 20);
    std::vector<std::uint8_t> d = Fields().u16(30).bytes(std::vector<std::uint8_t>{60, 61, 62, 63, 64, 65, 66, 67})
                                      .bytes(twenties).u16(321).u16(111).u16(222)
                                      .bytes(std::span(twenties).first(4)).u32(0x12345).data();
    if (skillAt != 0)
        d[skillAt] = skill;
    return Fields().bytes(d);
}

std::vector<const Tes4Record*> convertNpcs(ConversionRun& run, Tes3Builder& b)
{
    EXPECT_TRUE(run.load(b));
    EXPECT_EQ(saveNpcs(*run.c), 0);
    return run.records("NPC_");
}

TEST(Npcs, AutoCalculatedAttributesRiseEveryTwoLevelsUpToSeventy)
{
    // 40 at level 1, one more every two levels, 70 from level 60 on; Luck 50.
    const std::vector<std::pair<std::uint16_t, std::uint8_t>> levels = {
        {0, 40}, {1, 40}, {2, 41}, {3, 41}, {12, 46}, {13, 46}, {59, 69}, {60, 70}, {61, 70}, {200, 70}};
    ConversionRun run;
    Tes3Builder b;
    for (auto [level, _] : levels)
        b.record("NPC_").text("NAME", "n" + std::to_string(level))
            .sub("NPDT", Fields().u16(level).u8(50).u8(0).i8(4).zeros(3).u32(0x00054321)).end();
    auto npcs = convertNpcs(run, b);
    ASSERT_EQ(npcs.size(), levels.size());
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const Tes4Subrecord* data = npcs[i]->field("DATA");
        for (std::size_t a = 0; a < 7; ++a)
            EXPECT_EQ(data->u8(25 + a), levels[i].second) << "level " << levels[i].first << " attribute " << a;
        EXPECT_EQ(data->u8(32), 50u) << "Luck";
        EXPECT_EQ(npcs[i]->field("ACBS")->u16(8), 0x4321u) << "barter gold, low 16 bits";
    }
}

TEST(Npcs, FullStatisticsMapEverySkillFromItsOwnPlace)
{
    // Target skill order against the source's offsets (10 + the source skill number): Armorer 1,
    // Athletics 8, Blade from Long Blade 5, Block 0, Blunt from Axe 6, Hand to Hand 26, Heavy Armor 3,
    // Alchemy 16, Alteration 11, Conjuration 13, Destruction 10, Illusion 12, Mysticism 14, Restoration
    // 15, Acrobatics 20, Light Armor 21, Marksman 23, Mercantile 24, Security 18, Sneak 19, Speechcraft 25.
    const std::array<std::size_t, 21> source{11, 18, 15, 10, 16, 36, 13, 26, 21, 23, 20,
                                             22, 24, 25, 30, 31, 33, 34, 28, 29, 35};
    ConversionRun run;
    Tes3Builder b;
    for (std::size_t pos = 0; pos < source.size(); ++pos)
        b.record("NPC_").text("NAME", "n" + std::to_string(pos)).sub("NPDT", fullStatistics(source[pos], 44)).end();
    auto npcs = convertNpcs(run, b);
    ASSERT_EQ(npcs.size(), source.size());
    for (std::size_t pos = 0; pos < source.size(); ++pos) {
        EXPECT_EQ(npcs[pos]->field("DATA")->u8(pos), 44u) << pos;
        EXPECT_EQ(npcs[pos]->field("AIDT")->u8(8), pos) << "teaches its best skill";
    }
    const Tes4Subrecord* data = npcs[0]->field("DATA");
    for (std::size_t a = 0; a < 8; ++a)
        EXPECT_EQ(data->u8(25 + a), 60u + a) << "attribute " << a;
    const Tes4Subrecord* acbs = npcs[0]->field("ACBS");
    EXPECT_EQ(std::tuple(data->u32(21), acbs->u16(4), acbs->u16(6), acbs->u16(8), acbs->i16(10)),
              std::tuple(321u, 111, 222, 0x2345, std::int16_t{30}));
}

TEST(Armour, RatingValueHealthAndWeight)
{
    // rating x 100 in 16 bits, kept between 0 and 65535.
    const std::vector<std::pair<std::int32_t, std::uint16_t>> ratings = {{30, 3000}, {655, 65500}, {700, 65535}, {-5, 0}};
    const char* names[] = {"bonemold_boots", "dreugh_shield", "dreugh_cuirass", "bonemold_greaves"};
    ConversionRun run;
    Tes3Builder b;
    for (std::size_t i = 0; i < ratings.size(); ++i)
        b.record("ARMO").text("NAME", names[i]).text("MODL", "x.nif")
            .sub("AODT", Fields().i32(3).f32(12.5f).i32(420).i32(300).i32(0).i32(ratings[i].first)).end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveArmours(*run.c), 0);
    auto recs = run.records("ARMO");
    ASSERT_EQ(recs.size(), ratings.size());
    for (std::size_t i = 0; i < ratings.size(); ++i)
        EXPECT_EQ(recs[i]->field("DATA")->u16(0), ratings[i].second) << ratings[i].first;
    const Tes4Subrecord* data = recs[0]->field("DATA");
    EXPECT_EQ(std::tuple(data->u32(2), data->u32(6), data->f32(10)), std::tuple(420u, 300u, 12.5f));
    EXPECT_EQ(recs[0]->field("MODL")->text(), "Armor\\BrannocsArmor\\bonemold\\m\\boots.nif");
}

TEST(LeveledCreatures, EntriesAndTheHundredEntryLimit)
{
    for (int entries : {2, 99, 100}) {
        ConversionRun run;
        run.platform.put("P:\\prog\\creatures.ini", "mudcrab=0x0001B04A\r\n");
        Tes3Builder b;
        b.record("CREA").text("NAME", "mudcrab").text("MODL", "r\\x.nif").end();
        b.record("LEVC").text("NAME", "big").u32("DATA", 3).u8("NNAM", 25);
        for (int i = 0; i < entries; ++i)
            b.text("CNAM", "mudcrab").sub("INTV", Fields().u16(static_cast<std::uint16_t>(i + 5)));
        b.end();
        ASSERT_TRUE(run.load(b));
        ASSERT_EQ(saveCreatures(*run.c), 0);
        EXPECT_EQ(saveLeveledCreatures(*run.c), entries == 100 ? -1 : 0) << entries;
        auto lists = run.records("LVLC");
        ASSERT_EQ(lists.size(), entries == 100 ? 0u : 1u) << entries;
        if (entries == 100)
            continue;
        EXPECT_EQ(std::tuple(lists[0]->count("LVLO"), lists[0]->field("LVLD")->u8(), lists[0]->field("LVLF")->u8()),
                  std::tuple(static_cast<std::size_t>(entries), 25, 3));
        EXPECT_EQ(lists[0]->field("LVLO", 1)->data,
                  (std::vector<std::uint8_t>{6, 0, 0x15, 0x10, 0x4A, 0xB0, 0x01, 0x00, 1, 0, 0x15, 0x10}));
    }
}

TEST(FaceGen, FaceValuesInThousandthsMinusTheRace)
{
    // A face file: 40 header bytes, then 130 16-bit values; a race file: 80 floats.
    Fields faceFile = Fields().bytes(std::vector<std::uint8_t>(40, 0xEE)), raceFile;
    for (int i = 0; i < 130; ++i)
        faceFile.i16(static_cast<std::int16_t>(i == 0 ? 1500 : i == 50 ? -250 : i == 80 ? 777 : 0));
    for (int i = 0; i < 80; ++i)
        raceFile.f32(i == 0 ? 0.25f : i == 49 ? 9.0f : i == 50 ? 0.5f : i == 79 ? -2.0f : 0.0f);
    std::vector<std::uint8_t> face = faceFile.data(), race = raceFile.data();
    FaceGenValues v = computeFaceGen(&face, &race);
    EXPECT_EQ(std::tuple(v.symmetric[0], v.symmetric[49], v.asymmetric[0], v.asymmetric[29], v.texture[0]),
              std::tuple(1.25f, -9.0f, static_cast<float>(-0.25 - 0.5), 2.0f, static_cast<float>(0.777)));
}

} // namespace
} // namespace lw::test
