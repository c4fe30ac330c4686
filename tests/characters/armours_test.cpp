#include <gtest/gtest.h>

#include <string>

#include "character_fixture.hpp"
#include "modshift/characters/armour_table.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/objects/item_lookup.hpp"

namespace lw::modshift {
namespace {

using lw::test::CharacterRun;
using lw::test::Fields;
using lw::test::Tes3Builder;
using lw::test::Tes4Record;

Fields aodt(float weight, std::int32_t value, std::int32_t health, std::int32_t rating)
{
    Fields f;
    f.i32(3).f32(weight).i32(value).i32(health).i32(0).i32(rating);
    return f;
}

std::vector<const Tes4Record*> armours(const lw::test::Tes4File& f)
{
    const lw::test::Tes4Group* g = f.topGroup("ARMO");
    return g ? g->records() : std::vector<const Tes4Record*>{};
}

// Puts the shipped files of every row into the program folder.
void shipArmour(lw::test::MemoryPlatform& p)
{
    for (const ArmourReplacement& row : kArmourReplacements) {
        for (std::string_view m : row.models)
            p.put("prog\\Meshes\\Armor\\" + std::string(m), "nif " + std::string(m));
        p.put("prog\\Textures\\Menus\\Icons\\Armor\\" + std::string(row.icon), "dds");
    }
}

TEST(Armour, ReplacementRowWrittenWithShippedFiles)
{
    CharacterRun run;
    shipArmour(run.platform);
    Tes3Builder b;
    b.record("ARMO")
        .text("NAME", "bonemold_boots")
        .text("MODL", "a\\A_Bonemold_Boot_GND.nif")
        .text("FNAM", "Bonemold Boots")
        .sub("AODT", aodt(12.5f, 420, 300, 30))
        .text("ITEX", "a\\tx_bonemold_boots.tga")
        .end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveArmours(*run.c), 0);
    EXPECT_EQ(run.text(), "\nSaving armors\nfound 1 armors\nNo BSA file M:\\Morrowind\\Data Files\\Morrowind.bsa\n");

    auto f = run.output();
    auto a = armours(f);
    ASSERT_EQ(a.size(), 1u);
    const Tes4Record& r = *a[0];
    EXPECT_EQ(r.layout(), "EDID FULL BMDT MODL MODB MOD2 MO2B ICON MOD3 MO3B MOD4 MO4B ICO2 DATA");
    EXPECT_EQ(r.formId, 0x01000CE6u);
    EXPECT_EQ(r.field("EDID")->text(), "0bonemoldUboots");
    EXPECT_EQ(r.field("FULL")->text(), "Bonemold Boots");
    EXPECT_EQ(r.field("BMDT")->u32(), 0x00000020u);
    const std::string body = "Armor\\BrannocsArmor\\bonemold\\m\\boots.nif";
    const std::string ground = "Armor\\BrannocsArmor\\bonemold\\m\\boots_gnd.nif";
    const std::string icon = "Armor\\BrannocsArmor\\bonemold\\boots.dds";
    EXPECT_EQ(r.field("MODL")->text(), body);
    EXPECT_EQ(r.field("MOD2")->text(), ground);
    EXPECT_EQ(r.field("MOD3")->text(), body);
    EXPECT_EQ(r.field("MOD4")->text(), ground);
    EXPECT_EQ(r.field("ICON")->text(), icon);
    EXPECT_EQ(r.field("ICO2")->text(), icon);
    for (const char* bound : {"MODB", "MO2B", "MO3B", "MO4B"})
        EXPECT_EQ(r.field(bound)->u32(), 0u) << bound;
    const auto* data = r.field("DATA");
    ASSERT_EQ(data->size(), 14u);
    EXPECT_EQ(data->u16(0), 3000u); // rating 30, times 100 once
    EXPECT_EQ(data->u32(2), 420u);
    EXPECT_EQ(data->u32(6), 300u);
    EXPECT_EQ(data->f32(10), 12.5f);
    std::size_t size = 16 + 15 + 42 + 2 * (body.size() + 17) + 2 * (ground.size() + 17) +
                       2 * icon.size() + 14;
    EXPECT_EQ(r.dataSize, size);

    // The shipped files were copied into the target, folders first.
    const std::string target = "T:\\Oblivion\\Data\\Meshes\\Armor\\BrannocsArmor\\bonemold\\m\\";
    EXPECT_TRUE(run.platform.has(target + "boots.nif"));
    EXPECT_TRUE(run.platform.has(target + "boots_gnd.nif"));
    EXPECT_TRUE(run.platform.has(
        "T:\\Oblivion\\Data\\Textures\\Menus\\Icons\\Armor\\BrannocsArmor\\bonemold\\boots.dds"));
    int made = run.platform.logIndex("mkdir T:\\Oblivion\\Data\\Meshes\\Armor\\BrannocsArmor\\bonemold\\m");
    int copied = run.platform.logIndex("copy prog\\Meshes\\Armor\\BrannocsArmor\\bonemold\\m\\boots.nif -> " +
                                       target + "boots.nif");
    ASSERT_GE(made, 0);
    EXPECT_LT(made, copied);
    EXPECT_EQ(run.c->tables.armours.find("bonemoldUboots"), 0x01000CE6u);
    EXPECT_EQ(lookupItem(run.c->tables, "bonemold_boots"), 0x01000CE6u);

    // A second run copies nothing over what is there.
    run.platform.put(target + "boots.nif", "edited by the user");
    CharacterRun second;
    second.platform.files = run.platform.files;
    Tes3Builder b2;
    b2.record("ARMO").text("NAME", "bonemold_boots").text("MODL", "x.nif").end();
    ASSERT_TRUE(second.load(b2));
    ASSERT_EQ(saveArmours(*second.c), 0);
    EXPECT_EQ(second.platform.files[target + "boots.nif"],
              std::vector<std::uint8_t>({'e', 'd', 'i', 't', 'e', 'd', ' ', 'b', 'y', ' ', 't', 'h', 'e',
                                         ' ', 'u', 's', 'e', 'r'}));
}

TEST(Armour, CaseMismatchListedAndMissingFields)
{
    CharacterRun run;
    shipArmour(run.platform);
    run.platform.put("prog\\armors.ini", "iron_cuirass=0x00012345\r\ndreugh_helm=0x00054321\r\n");
    Tes3Builder b;
    b.record("ARMO").text("NAME", "Bonemold_Boots").text("MODL", "x.nif").end();
    b.record("ARMO").text("NAME", "iron_cuirass").text("MODL", "x.nif").end();
    b.record("ARMO").text("NAME", "dreugh_helm").text("MODL", "x.nif").end();
    // Matched, but no FNAM, MODL, ITEX or AODT.
    b.record("ARMO").text("NAME", "dreugh_shield").end();
    b.record("ARMO").text("NAME", "dreugh_cuirass").sub("AODT", aodt(1.0f, 1, 1, 700)).end();
    b.record("ARMO").text("NAME", "bonemold_greaves").sub("AODT", aodt(1.0f, 1, 1, -5)).end();
    ASSERT_TRUE(run.load(b));
    ASSERT_EQ(saveArmours(*run.c), 0);
    EXPECT_EQ(run.text(), "\nSaving armors\nfound 6 armors\nNo BSA file M:\\Morrowind\\Data Files\\Morrowind.bsa\n"
                          "skipping\nskipping\nskipping\n");
    auto f = run.output();
    auto a = armours(f);
    ASSERT_EQ(a.size(), 3u);

    const RecordTable& t = run.c->tables.armours;
    EXPECT_TRUE(t[0].editorId.empty());
    EXPECT_EQ(lookupItem(run.c->tables, "Bonemold_Boots"), std::nullopt);
    // Listed pieces are not written, but lookups find the listed record,
    // even when a row matches too.
    EXPECT_EQ(lookupItem(run.c->tables, "iron_cuirass"), 0x00012345u);
    EXPECT_EQ(lookupItem(run.c->tables, "dreugh_helm"), 0x00054321u);

    const Tes4Record& shield = *a[0];
    EXPECT_EQ(shield.field("FULL")->text(), "dreughUshield");
    EXPECT_EQ(shield.field("MODL")->text(), "Armor\\BrannocsArmor\\dreugh\\shield.nif");
    EXPECT_EQ(shield.field("MOD2")->text(), "Armor\\BrannocsArmor\\dreugh\\shield_gnd.nif");
    EXPECT_EQ(shield.count("ICON"), 0u);
    EXPECT_EQ(shield.count("ICO2"), 0u);
    EXPECT_EQ(shield.field("BMDT")->u32(), 0x00002000u);
    EXPECT_EQ(shield.field("DATA")->data, std::vector<std::uint8_t>(14, 0));
    EXPECT_TRUE(run.platform.has("T:\\Oblivion\\Data\\Meshes\\Armor\\BrannocsArmor\\dreugh\\shield.nif"));

    EXPECT_EQ(a[1]->field("DATA")->u16(0), 65535u); // 700 x 100 does not fit
    EXPECT_EQ(a[2]->field("DATA")->u16(0), 0u);     // no negative protection
}

TEST(Armour, NoArmourAndTooMany)
{
    {
        CharacterRun run;
        Tes3Builder b;
        b.header();
        ASSERT_TRUE(run.load(b));
        EXPECT_EQ(saveArmours(*run.c), 0);
        EXPECT_EQ(run.text(), "\nSaving armors\nfound 0 armors\n");
        EXPECT_TRUE(run.c->out.bytes().empty());
    }
    CharacterRun run;
    Tes3Builder b;
    for (int i = 0; i < 1001; ++i)
        b.record("ARMO").text("NAME", "bonemold_boots").end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveArmours(*run.c), -1);
    EXPECT_EQ(run.text(), "\nSaving armors\ntoo many armoons!\n");
    EXPECT_TRUE(run.c->out.bytes().empty());
}

} // namespace
} // namespace lw::modshift
