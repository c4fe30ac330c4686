// Lights (models optional, carriable ones need one) and doors.
#include <gtest/gtest.h>

#include "modshift/driver/save_steps.hpp"
#include "modshift/objects/item_lookup.hpp"
#include "object_fixture.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

Fields lhdt(std::uint32_t flags, std::uint32_t radius = 128)
{
    return Fields().f32(1.5f).i32(12).i32(-1).u32(radius).u8(10).u8(20).u8(30).u8(0).u32(flags);
}

TEST(Lights, TranslatesTheDataAndKeepsModelsOnlyWhenUsable)
{
    ObjectRun run;
    run.platform.statusFor["l\\bad.nif"] = 3;
    Tes3Builder b;
    b.record("LIGH").text("NAME", "torch").text("FNAM", "Torch").text("MODL", "l\\torch.nif")
        .sub("LHDT", lhdt(0x2)).end();
    b.record("LIGH").text("NAME", "glow").sub("LHDT", lhdt(0x2, 300)).end();            // no model at all
    b.record("LIGH").text("NAME", "lost").text("MODL", "l\\bad.nif").sub("LHDT", lhdt(0x2)).end();
    b.record("LIGH").text("NAME", "empty").text("MODL", "").sub("LHDT", lhdt(0x3)).end();
    b.record("LIGH").text("NAME", "fixed").text("MODL", "l\\bad.nif").sub("LHDT", lhdt(0x1)).end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveLights(*run.c), 0);

    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "LIGH");
    ASSERT_EQ(recs.size(), 3u);
    const Tes4Record& torch = *recs[0];
    EXPECT_EQ(torch.layout(), "EDID FULL MODL MODB DATA FNAM");
    EXPECT_EQ(torch.field("MODL")->text(), "Lights\\mw\\l\\torch.nif");
    EXPECT_EQ(torch.field("MODB")->u32(), 0x42CD2DC6u);
    const Tes4Subrecord* d = torch.field("DATA");
    ASSERT_EQ(d->size(), 32u);
    EXPECT_EQ(d->i32(0), -1);
    EXPECT_EQ(d->u32(4), 256u) << "radius doubled";
    EXPECT_EQ(d->u32(8), 0x001E140Au) << "colour bytes unchanged";
    EXPECT_EQ(d->u32(12), 2u);
    EXPECT_EQ(d->f32(16), 0.0f);
    EXPECT_EQ(d->f32(20), 90.0f);
    EXPECT_EQ(d->i32(24), 12);
    EXPECT_EQ(d->f32(28), 1.5f);
    EXPECT_EQ(torch.field("FNAM")->size(), 4u);
    EXPECT_EQ(torch.field("FNAM")->u32(), 0x3EA8F5C3u);
    EXPECT_EQ(torch.dataSize, 6u + 55 + 5 + 7 + 21 + 17);

    EXPECT_EQ(recs[1]->layout(), "EDID DATA FNAM") << "a pure light source";
    EXPECT_EQ(recs[1]->field("DATA")->u32(4), 600u);
    EXPECT_EQ(recs[1]->dataSize, 5u + 55);
    EXPECT_EQ(recs[2]->field("EDID")->text(), "0fixed");
    EXPECT_EQ(recs[2]->layout(), "EDID DATA FNAM") << "failed mesh, cannot be carried: no model";

    // Carriable lights without a usable model are gone for inventories and references.
    EXPECT_FALSE(lookupItem(run.c->tables, "lost"));
    EXPECT_FALSE(lookupItem(run.c->tables, "empty"));
    EXPECT_TRUE(run.c->tables.lights[2].editorId.empty());
    EXPECT_EQ(lookupItem(run.c->tables, "torch"), 0x01000CE6u);

    EXPECT_EQ(run.text(), "\nSaving lights\nfound 5 lights\n"
                          "No BSA file M:\\Morrowind\\Data Files\\Morrowind.bsa\n"
                          ".parse header\nparse header\nparse header\nparse header\n"
                          ".parse header\nparse header\n"
                          ".parse header\nparse header\nparse header\n"
                          ".parse header\nparse header\nparse header\n"
                          ".parse header\nparse header\nparse header\n"
                          "\n");
}

TEST(Lights, IconsAreAnnouncedAndAnEarlierMeshIsKept)
{
    ObjectRun run;
    run.platform.put("O:\\Oblivion\\Data\\Meshes\\Lights\\mw\\l\\lamp.nif", "from an earlier run");
    run.platform.put("O:\\Oblivion\\Data\\Textures\\Menus\\Icons\\Lights\\mw\\l\\lamp.dds", "icon");
    Tes3Builder b;
    b.record("LIGH").text("NAME", "lamp").text("ITEX", "l\\lamp.tga").text("MODL", "l\\lamp.nif")
        .sub("LHDT", lhdt(0x2)).end();
    ASSERT_TRUE(run.load(b));
    saveLights(*run.c);
    EXPECT_TRUE(run.platform.commands.empty());
    EXPECT_NE(run.text().find("parse header\nIcon file lamp.dds already exists\nITEX!\nparse header\n"
                              "Mesh file lamp.nif already exists\n"),
              std::string::npos)
        << run.text();
    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "LIGH");
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0]->layout(), "EDID MODL MODB ICON DATA FNAM");
    EXPECT_EQ(recs[0]->field("ICON")->text(), "Lights\\mw\\l\\lamp.dds");
}

TEST(Doors, RefusesPrisonMarkersAndAnnouncesConversions)
{
    ObjectRun run;
    run.platform.put("O:\\Oblivion\\Data\\Meshes\\mw\\d\\old.nif", "converted before");
    Tes3Builder b;
    b.record("DOOR").text("NAME", "PrisonMarker").text("MODL", "d\\prison.nif").end();
    b.record("DOOR").text("NAME", "ex_door").text("FNAM", "Door").text("MODL", "d\\ex_door.nif").end();
    b.record("DOOR").text("NAME", "old").text("MODL", "d\\old.nif").end();
    ASSERT_TRUE(run.load(b));
    saveDoors(*run.c);

    const std::string cmd = "P:\\prog\\meshshift.exe \"d\\ex_door.nif\" -m 12 -l 2 -s 6 -q 2 -d mw\\d\\exUdoor.nif";
    EXPECT_EQ(run.platform.commands, std::vector<std::string>{cmd});
    EXPECT_EQ(run.text(), "\nSaving doors\nfound 3 doors\nskipping\ndoor: " + cmd +
                              "\nMesh file old.nif already exists\n");
    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "DOOR");
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0]->layout(), "EDID FULL MODL MODB SNAM ANAM FNAM");
    EXPECT_EQ(recs[0]->field("MODL")->text(), "mw\\d\\exUdoor.nif");
    EXPECT_EQ(recs[0]->field("MODB")->u32(), 0x42D06B9Au);
    EXPECT_EQ(recs[0]->field("SNAM")->u32(), 0x00086944u);
    EXPECT_EQ(recs[0]->field("ANAM")->u32(), 0x00086945u);
    EXPECT_EQ(recs[0]->field("FNAM")->size(), 1u);
    EXPECT_EQ(recs[0]->field("FNAM")->u8(), 0u);
    EXPECT_EQ(recs[0]->dataSize, 8u + 16 + 51 + 4 + 7);
    EXPECT_EQ(recs[1]->layout(), "EDID MODL MODB SNAM ANAM FNAM");
    EXPECT_TRUE(run.c->tables.doors[0].editorId.empty());
    EXPECT_EQ(run.c->tables.doors.find("PrisonMarker"), 0u);
}

} // namespace
} // namespace lw::test
