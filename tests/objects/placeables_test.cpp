// Containers and flora share the CONT records; activators.
#include <gtest/gtest.h>

#include "modshift/driver/save_steps.hpp"
#include "object_fixture.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

Fields npco(std::int32_t count, std::string_view item)
{
    return Fields().i32(count).fixed(item, 32);
}

// Books and misc items and weapons to put in containers, then the containers.
void containerPlugin(Tes3Builder& b)
{
    for (const char* name : {"bk_1", "bk_2", "bk_3"})
        b.record("BOOK").text("NAME", name).text("MODL", "b\\book.nif").end();
    b.record("MISC").text("NAME", "misc_cup").text("MODL", "m\\cup.nif").end();
    b.record("WEAP").text("NAME", "w_axe").text("MODL", "w\\axe.nif").end();

    b.record("CONT").text("NAME", "plant_one").text("FNAM", "Plant").text("MODL", "c\\plant.nif")
        .u32("FLAG", 0x9).f32("CNDT", 0.0f).sub("NPCO", npco(1, "bk_1")).end();
    b.record("CONT").text("NAME", "organic_three").text("MODL", "c\\basket.nif").u32("FLAG", 0x3)
        .f32("CNDT", 25.5f).sub("NPCO", npco(2, "bk_1")).sub("NPCO", npco(-1, "bk_2"))
        .sub("NPCO", npco(1, "bk_3")).end();
    b.record("CONT").text("NAME", "organic_lost").text("MODL", "c\\basket.nif").u32("FLAG", 0x1)
        .sub("NPCO", npco(1, "ingred_a")).sub("NPCO", npco(1, "ingred_b")).sub("NPCO", npco(1, "ingred_c")).end();
    b.record("CONT").text("NAME", "chest").text("FNAM", "Chest").text("MODL", "c\\chest.nif").u32("FLAG", 0x8).end();
    b.record("CONT").text("NAME", "organic_two").text("MODL", "c\\basket.nif").u32("FLAG", 0x1)
        .sub("NPCO", npco(1, "bk_1")).sub("NPCO", npco(1, "ingred_a")).end();
    b.record("CONT").text("NAME", "crate").text("FNAM", "Crate").text("MODL", "c\\crate.nif").u32("FLAG", 0x2)
        .sub("NPCO", npco(1, "misc_cup")).sub("NPCO", npco(1, "w_axe")).end();
}

TEST(Containers, SplitBetweenContainersAndFloraInTheDriversOrder)
{
    ObjectRun run;
    Tes3Builder b;
    containerPlugin(b);
    ASSERT_TRUE(run.load(b));
    saveBooks(*run.c);      // before containers
    saveContainers(*run.c);
    saveMisc(*run.c);       // misc items, lights and weapons come later
    saveFlora(*run.c);
    saveWeapons(*run.c);

    Tes4File f = run.output();
    auto conts = ObjectRun::group(f, "CONT");
    ASSERT_EQ(conts.size(), 3u);
    const std::uint32_t bk1 = run.c->tables.books.find("bkU1");
    const std::uint32_t bk2 = run.c->tables.books.find("bkU2");
    const std::uint32_t bk3 = run.c->tables.books.find("bkU3");

    const Tes4Record& three = *conts[0];
    EXPECT_EQ(three.field("EDID")->text(), "0organicUthree");
    EXPECT_EQ(three.layout(), "EDID FULL MODL MODB DATA SNAM QNAM CNTO CNTO CNTO");
    EXPECT_EQ(three.field("FULL")->text(), "organicUthree") << "no FNAM: the converted identifier";
    EXPECT_EQ(three.field("MODL")->text(), "mw\\c\\basket.nif");
    EXPECT_EQ(three.field("MODB")->u32(), 0x438C9B20u);
    ASSERT_EQ(three.field("DATA")->size(), 5u);
    EXPECT_EQ(three.field("DATA")->u8(0), 0x2) << "respawns";
    EXPECT_EQ(three.field("DATA")->f32(1), 25.5f);
    EXPECT_EQ(three.field("SNAM")->u32(), 0x0005E163u);
    EXPECT_EQ(three.field("QNAM")->u32(), 0x000627D6u);
    EXPECT_EQ(three.field("CNTO", 0)->u32(0), bk1);
    EXPECT_EQ(three.field("CNTO", 0)->i32(4), 2);
    EXPECT_EQ(three.field("CNTO", 1)->u32(0), bk2);
    EXPECT_EQ(three.field("CNTO", 1)->i32(4), -1) << "counts are copied unchanged";
    EXPECT_EQ(three.field("CNTO", 2)->u32(0), bk3);
    EXPECT_EQ(three.dataSize, 14u + 13 + 15 + 62 + 14 * 3);

    EXPECT_EQ(conts[1]->field("EDID")->text(), "0chest");
    EXPECT_EQ(conts[1]->layout(), "EDID FULL MODL MODB DATA SNAM QNAM");
    EXPECT_EQ(conts[1]->field("DATA")->u8(0), 0u);
    EXPECT_EQ(conts[2]->field("EDID")->text(), "0crate");
    EXPECT_EQ(conts[2]->layout(), "EDID FULL MODL MODB DATA SNAM QNAM")
        << "misc items and weapons are converted after containers";

    auto plants = ObjectRun::group(f, "FLOR");
    ASSERT_EQ(plants.size(), 1u);
    const Tes4Record& plant = *plants[0];
    EXPECT_EQ(plant.layout(), "EDID FULL MODL MODB PFIG PFPC");
    EXPECT_EQ(plant.field("EDID")->text(), "0plantUone");
    EXPECT_EQ(plant.field("FULL")->text(), "Plant");
    EXPECT_EQ(plant.field("PFIG")->u32(), 0x0006251Eu);
    EXPECT_EQ(plant.field("PFPC")->data, (std::vector<std::uint8_t>{50, 50, 50, 50}));
    EXPECT_EQ(plant.dataSize, 10u + 5 + 14 + 51);

    // References find the plant through the flora table only.
    EXPECT_EQ(run.c->tables.containers.find("plantUone"), 0u);
    EXPECT_EQ(run.c->tables.containers[0].editorId, "0plantUone");
    EXPECT_EQ(run.c->tables.flora.find("plantUone"), plant.formId);
    EXPECT_EQ(run.c->tables.flora.find("organicUthree"), 0u);
    EXPECT_EQ(run.c->tables.containers.find("organicUthree"), three.formId);
    for (const char* neither : {"organicUlost", "organicUtwo"}) {
        EXPECT_EQ(run.c->tables.containers.find(neither), 0u) << neither;
        EXPECT_EQ(run.c->tables.flora.find(neither), 0u) << neither;
    }

    const std::string basket = "Mesh file basket.nif already exists\n";
    const std::string containers = "\nSaving containers\nfound 6 containers\n"
                                   "skipping\n" + basket + "skipping\n" + basket + "skipping\n";
    const std::string flora = "\nSaving flora\nfound 6 plants\nMesh file plant.nif already exists\n" +
                              basket + "skipping\n" + basket + "skipping\n" +
                              "Mesh file chest.nif already exists\nskipping\n" + basket + "skipping\n" +
                              "Mesh file crate.nif already exists\nskipping\n";
    EXPECT_NE(run.text().find(containers), std::string::npos) << run.text();
    EXPECT_NE(run.text().find(flora), std::string::npos) << run.text();
}

TEST(Activators, FurnitureFlagAndEditorMarkers)
{
    ObjectRun run;
    Tes3Builder b;
    b.record("ACTI").text("NAME", "Active_De_Bed").text("FNAM", "Bed").text("MODL", "a\\bed.nif").end();
    b.record("ACTI").text("NAME", "active_de_bedroll").text("MODL", "a\\roll.nif").end();
    b.record("ACTI").text("NAME", "ACTIVE_DE_x").text("MODL", "a\\x.nif").end();
    b.record("ACTI").text("NAME", "marker").text("MODL", "EditorMarker_x.nif").end();
    b.record("ACTI").text("MODL", "a\\late.nif").text("NAME", "active_de_late").end();
    ASSERT_TRUE(run.load(b));
    saveActivators(*run.c);

    const std::string cmd = "P:\\prog\\meshshift.exe \"";
    EXPECT_EQ(run.platform.commands,
              (std::vector<std::string>{cmd + "a\\bed.nif\" -d mw\\a\\bed.nif -f",
                                        cmd + "a\\roll.nif\" -d mw\\a\\roll.nif -f",
                                        cmd + "a\\x.nif\" -d mw\\a\\x.nif",
                                        cmd + "EditorMarker_x.nif\" -d mw\\EditorMarkerUx.nif",
                                        cmd + "a\\late.nif\" -d mw\\a\\late.nif"}));
    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "ACTI");
    ASSERT_EQ(recs.size(), 4u);
    EXPECT_EQ(recs[0]->layout(), "EDID FULL MODL MODB");
    EXPECT_EQ(recs[0]->dataSize, 14u + 12 + 24 + 3 + 7);
    EXPECT_EQ(recs[1]->layout(), "EDID MODL MODB") << "FULL only with FNAM";
    EXPECT_EQ(recs[1]->field("MODB")->u32(), 0x438C9B20u);
    EXPECT_EQ(recs[3]->field("EDID")->text(), "0activeUdeUlate") << "NAME after MODL still names it";
    EXPECT_EQ(run.text(), "\nSaving activators\nfound 5 activators\nskipping\n");
    EXPECT_EQ(run.c->tables.activators.find("marker"), 0u);
}

} // namespace
} // namespace lw::test
