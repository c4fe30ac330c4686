// Weapons, misc items and books: data mapping, display names, icons, text.
#include <gtest/gtest.h>

#include "modshift/driver/save_steps.hpp"
#include "object_fixture.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

Fields wpdt(std::int16_t type, std::array<std::uint8_t, 6> damage, std::int16_t health = 100,
            float speed = 1.5f, float reach = 1.25f)
{
    Fields f;
    f.f32(2.5f).i32(100).i16(type).i16(health).f32(speed).f32(reach).i16(50);
    for (std::uint8_t d : damage)
        f.u8(d);
    f.u32(0x3);
    return f;
}

TEST(Weapons, MapsTheDataSubrecord)
{
    ObjectRun run;
    Tes3Builder b;
    b.record("WEAP").text("NAME", "bow").text("FNAM", "Long Bow").text("MODL", "w\\bow.nif")
        .sub("WPDT", wpdt(9, {10, 20, 10, 20, 10, 20})).end();
    b.record("WEAP").text("NAME", "minus").text("MODL", "w\\m.nif").sub("WPDT", wpdt(-1, {200, 0, 0, 0, 0, 0}, -7)).end();
    b.record("WEAP").text("NAME", "t14").text("MODL", "w\\t.nif").sub("WPDT", wpdt(14, {0, 0, 0, 0, 0, 6})).end();
    b.record("WEAP").text("NAME", "spear").text("MODL", "w\\s.nif").sub("WPDT", wpdt(6, {}, 5, 3.0f, 2.5f)).end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveWeapons(*run.c), 0);

    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "WEAP");
    ASSERT_EQ(recs.size(), 4u);
    const Tes4Subrecord* d = recs[0]->field("DATA");
    ASSERT_EQ(d->size(), 30u);
    EXPECT_EQ(d->u32(0), 5u) << "type 9 (bow)";
    EXPECT_EQ(d->f32(4), 1.0f);
    EXPECT_EQ(d->f32(8), 1.0f);
    EXPECT_EQ(d->u32(12), 3u);
    EXPECT_EQ(d->i32(16), 100);
    EXPECT_EQ(d->i32(20), 16) << "health / 6";
    EXPECT_EQ(d->f32(24), 2.5f);
    EXPECT_EQ(d->i16(28), 15) << "damage: sum / 6";

    d = recs[1]->field("DATA");
    EXPECT_EQ(d->u32(0), 5u);
    EXPECT_EQ(d->i32(20), -1) << "-7 / 6 truncates toward zero";
    EXPECT_EQ(d->i16(28), -9) << "200 counts as -56";
    EXPECT_EQ(recs[2]->field("DATA")->u32(0), 5u);
    EXPECT_EQ(recs[2]->field("DATA")->i16(28), 1);
    EXPECT_EQ(recs[3]->field("DATA")->u32(0), 1u) << "spears are two-handed blades";
    EXPECT_EQ(recs[3]->field("DATA")->f32(4), 2.0f);
    EXPECT_EQ(recs[3]->field("DATA")->f32(8), 2.0f);

    EXPECT_EQ(recs[0]->layout(), "EDID FULL MODL MODB DATA");
    EXPECT_EQ(recs[0]->field("FULL")->text(), "Long Bow");
    EXPECT_EQ(recs[1]->field("FULL")->text(), "minus") << "no FNAM: the converted identifier";
    EXPECT_EQ(recs[0]->field("MODL")->text(), "Weapons\\mw\\w\\bow.nif");
    EXPECT_EQ(recs[0]->field("MODB")->u32(), 0x417F48ACu);
    EXPECT_EQ(recs[0]->dataSize, 4u + 8 + 20 + 67);
    EXPECT_EQ(run.platform.commands.at(0),
              "P:\\prog\\meshshift.exe \"w\\bow.nif\" -m 5 -l 5 -s 4 -q 3 -d Weapons\\mw\\w\\bow.nif");
    EXPECT_EQ(run.text(), "\nSaving weapons\nfound 4 weapons\n"
                          "No BSA file M:\\Morrowind\\Data Files\\Morrowind.bsa\n\n");
}

TEST(Weapons, IconsGoBelowTheTypeFolderWithThePlaceholderWhenMissing)
{
    ObjectRun run;
    run.platform.put("P:\\prog\\iconWeap.dds", "placeholder");
    run.platform.put("M:\\Morrowind\\Data Files\\Icons\\w\\tx_dagger.dds", "dagger icon");
    Tes3Builder b;
    b.record("WEAP").text("NAME", "dagger").text("ITEX", "w\\tx_dagger.tga").text("MODL", "w\\d.nif")
        .sub("WPDT", wpdt(0, {})).end();
    b.record("WEAP").text("NAME", "lost").text("ITEX", "w\\tx lost.tga").text("MODL", "w\\l.nif")
        .sub("WPDT", wpdt(0, {})).end();
    ASSERT_TRUE(run.load(b));
    saveWeapons(*run.c);

    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "WEAP");
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0]->layout(), "EDID FULL MODL MODB ICON DATA");
    EXPECT_EQ(recs[0]->field("ICON")->text(), "Weapons\\mw\\w\\txUdagger.dds");
    EXPECT_EQ(recs[0]->dataSize, 7u + 6 + 18 + 67 + 26 + 7);
    EXPECT_EQ(run.platform.textOf("O:\\Oblivion\\Data\\Textures\\Menus\\Icons\\Weapons\\mw\\w\\txUdagger.dds"),
              "dagger icon");
    EXPECT_EQ(recs[1]->field("ICON")->text(), "Weapons\\mw\\w\\txSlost.dds");
    EXPECT_EQ(run.platform.textOf("O:\\Oblivion\\Data\\Textures\\Menus\\Icons\\Weapons\\mw\\w\\txSlost.dds"),
              "placeholder");
    EXPECT_NE(run.text().find("Icon file tx_dagger.dds copied\n"), std::string::npos);
}

TEST(Weapons, AListedWeaponIsNeitherWrittenNorConverted)
{
    ObjectRun run;
    run.listFile("weapons.ini", "iron sword=0x000229B7\n");
    Tes3Builder b;
    b.record("WEAP").text("NAME", "iron sword").text("MODL", "w\\sword.nif").sub("WPDT", wpdt(1, {})).end();
    ASSERT_TRUE(run.load(b));
    saveWeapons(*run.c);
    EXPECT_TRUE(run.platform.commands.empty());
    EXPECT_NE(run.text().find("skipping\n"), std::string::npos);
    Tes4File f = run.output();
    EXPECT_TRUE(ObjectRun::group(f, "WEAP").empty());
    EXPECT_EQ(run.c->tables.weapons.find("ironSsword"), 0x000229B7u);
}

TEST(Misc, PrintsTheCommandLineAndMapsItsData)
{
    ObjectRun run;
    Tes3Builder b;
    b.record("MISC").text("NAME", "gold").text("FNAM", "Gold").text("MODL", "m\\gold.nif")
        .sub("MCDT", Fields().f32(0.25f).i32(7).u32(0)).end();
    b.record("MISC").text("NAME", "bare").text("MODL", "m\\gold.nif").end();
    ASSERT_TRUE(run.load(b));
    saveMisc(*run.c);

    const std::string cmd = "P:\\prog\\meshshift.exe \"m\\gold.nif\" -m 0 -l 4 -s 4 -q 3 -d Clutter\\mw\\m\\gold.nif";
    EXPECT_EQ(run.text(), "\nSaving misc items\nfound 2 misc items\n"
                          "No BSA file M:\\Morrowind\\Data Files\\Morrowind.bsa\n" +
                              cmd + "\nMesh file gold.nif already exists\n\n");
    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "MISC");
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0]->layout(), "EDID FULL MODL MODB DATA");
    EXPECT_EQ(recs[0]->field("DATA")->size(), 8u);
    EXPECT_EQ(recs[0]->field("DATA")->i32(0), 7);
    EXPECT_EQ(recs[0]->field("DATA")->f32(4), 0.25f);
    EXPECT_EQ(recs[0]->field("MODB")->u32(), 0x42133859u);
    EXPECT_EQ(recs[0]->dataSize, 5u + 4 + 21 + 45);
    // Without MCDT the item is still written, its value and weight 0.
    EXPECT_EQ(recs[1]->field("DATA")->i32(0), 0);
    EXPECT_EQ(recs[1]->field("FULL")->text(), "bare");
}

Fields bkdt(std::int32_t skill, std::uint32_t scroll = 0)
{
    return Fields().f32(3.0f).i32(25).u32(scroll).i32(skill).u32(9);
}

TEST(Books, CleansTheTextAndMapsTheSkill)
{
    ObjectRun run;
    Tes3Builder b;
    b.record("BOOK").text("NAME", "bk_a").text("FNAM", "A Book").text("MODL", "b\\a.nif")
        .chars("TEXT", "<FONT COLOR=\"000000\" SIZE=\"3\"><DIV ALIGN=\"LEFT\">Hello").sub("BKDT", bkdt(4, 0x101)).end();
    b.record("BOOK").text("NAME", "bk_b").text("MODL", "b\\b.nif").sub("BKDT", bkdt(6)).end();
    b.record("BOOK").text("NAME", "bk_c").text("FNAM", "C").text("MODL", "b\\c.nif")
        .chars("TEXT", std::string("<font>ab\0cd", 11)).sub("BKDT", bkdt(27)).end();
    b.record("BOOK").text("NAME", "bk_d").text("FNAM", "D").text("MODL", "b\\d.nif").sub("BKDT", bkdt(-1)).end();
    b.record("BOOK").text("NAME", "bk_e").text("FNAM", "E").text("MODL", "b\\e.nif").sub("BKDT", bkdt(26)).end();
    ASSERT_TRUE(run.load(b));
    saveBooks(*run.c);

    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "BOOK");
    ASSERT_EQ(recs.size(), 5u);
    const Tes4Record& a = *recs[0];
    EXPECT_EQ(a.layout(), "EDID FULL DESC MODL MODB DATA");
    EXPECT_EQ(a.field("DESC")->text(), "Hello");
    EXPECT_TRUE(a.field("DESC")->isZeroTerminatedText());
    EXPECT_EQ(a.field("MODL")->text(), "Clutter\\Books\\mw\\b\\a.nif");
    EXPECT_EQ(a.field("MODB")->u32(), 0x438FCEE1u);
    const Tes4Subrecord* d = a.field("DATA");
    ASSERT_EQ(d->size(), 10u);
    EXPECT_EQ(d->u8(0), 0x01) << "the scroll field's lowest byte";
    EXPECT_EQ(static_cast<std::int8_t>(d->u8(1)), -1) << "skill 4 has no counterpart";
    EXPECT_EQ(d->i32(2), 25);
    EXPECT_EQ(d->f32(6), 3.0f);
    EXPECT_EQ(a.dataSize, 5u + 6 + 24 + 47 + 5 + 7);

    EXPECT_EQ(recs[1]->field("DATA")->u8(1), 4) << "skill 6 becomes 4";
    EXPECT_EQ(recs[1]->field("DESC")->size(), 1u) << "no TEXT: one zero byte";
    EXPECT_EQ(recs[1]->field("FULL")->text(), "bkUb") << "no FNAM: the converted identifier";
    EXPECT_EQ(recs[2]->field("DESC")->size(), 9u) << "up to the text's own zero byte";
    EXPECT_EQ(recs[2]->field("DESC")->text(), "<font>ab") << "lower-case font tags stay";
    EXPECT_EQ(static_cast<std::int8_t>(recs[2]->field("DATA")->u8(1)), -1) << "skill 27 is out of range";
    EXPECT_EQ(static_cast<std::int8_t>(recs[3]->field("DATA")->u8(1)), -1);
    EXPECT_EQ(recs[4]->field("DATA")->u8(1), 5);
}

} // namespace
} // namespace lw::test
