// Sounds and land textures: records that carry a file instead of a mesh.
#include <gtest/gtest.h>

#include "modshift/driver/save_steps.hpp"
#include "object_fixture.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

Fields volume(std::uint8_t v)
{
    return Fields().u8(v).u8(0).u8(255);
}

TEST(Sounds, WritesAttenuationFlagsAndTheKeptFolderPath)
{
    ObjectRun run;
    run.platform.put("M:\\Morrowind\\Data Files\\Sound\\Fx\\magic\\altr hit.wav", "RIFF");
    Tes3Builder b;
    b.record("SOUN").text("NAME", "alteration hit").text("FNAM", "Fx\\magic\\altr hit.wav").sub("DATA", volume(255)).end();
    b.record("SOUN").text("NAME", "half").text("FNAM", "Fx\\magic\\altr hit.wav").sub("DATA", volume(127)).end();
    b.record("SOUN").text("NAME", "three").text("FNAM", "Fx\\missing.mp3").sub("DATA", volume(191)).end();
    b.record("SOUN").text("NAME", "silent").sub("DATA", volume(0)).end();
    b.record("SOUN").text("FNAM", "Fx\\nameless.wav").end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveSounds(*run.c), 0);

    EXPECT_EQ(run.text(), "\nSaving sounds\nfound 5 sounds\n..."
                          "Sound file M:\\Morrowind\\Data Files\\Sound\\Fx\\missing.wav does not exist\n"
                          "..Sound file M:\\Morrowind\\Data Files\\Sound\\Fx\\nameless.wav does not exist\n\n");
    EXPECT_EQ(run.platform.textOf("O:\\Oblivion\\Data\\Sound\\fx\\mw\\Fx\\magic\\altrShit.wav"), "RIFF");

    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "SOUN");
    ASSERT_EQ(recs.size(), 4u) << "every named sound is written, and only those";
    const std::int16_t attenuation[] = {0, 300, 150, 2400};
    for (std::size_t i = 0; i < 4; ++i) {
        const Tes4Record& r = *recs[i];
        EXPECT_EQ(r.layout(), "EDID FNAM SNDX");
        const Tes4Subrecord* x = r.field("SNDX");
        ASSERT_EQ(x->size(), 12u);
        EXPECT_EQ(x->u32(0), 0u);
        EXPECT_EQ(x->u32(4), 0x40u);
        EXPECT_EQ(x->i16(8), attenuation[i]);
        EXPECT_EQ(x->u16(10), 0u);
        EXPECT_EQ(r.dataSize, r.field("EDID")->text().size() + r.field("FNAM")->text().size() + 32);
    }
    EXPECT_EQ(recs[0]->field("EDID")->text(), "0alterationShit");
    EXPECT_EQ(recs[0]->field("FNAM")->text(), "fx\\mw\\Fx\\magic\\altrShit.wav");
    EXPECT_EQ(recs[2]->field("FNAM")->text(), "fx\\mw\\Fx\\missing.wav");
    EXPECT_EQ(recs[3]->field("FNAM")->size(), 1u) << "no FNAM: an empty file name";
    EXPECT_EQ(run.c->tables.sounds.find("silent"), recs[3]->formId);
}

TEST(LandTextures, FillSlotsByIndexAndTakeListedRecords)
{
    ObjectRun run;
    run.listFile("land.ini", "rock=0x00000C0F\n");
    run.platform.put("M:\\Morrowind\\Data Files\\Textures\\tx_grass.dds", "grass");
    run.platform.put("P:\\prog\\template_n.dds", "flat normal");
    Tes3Builder b;
    b.record("LTEX").text("NAME", "grass").i32("INTV", 0).text("DATA", "tx_grass.tga").end();
    b.record("LTEX").text("NAME", "rock").i32("INTV", 5).text("DATA", "tx_rock.tga").end();
    b.record("LTEX").text("NAME", "dirt").text("DATA", "tx_dirt.tga").i32("INTV", -1).end();
    b.record("LTEX").text("NAME", "unindexed").text("DATA", "tx_x.tga").end();
    b.record("LTEX").text("NAME", "high").i32("INTV", 254).text("DATA", "tx_high.tga").end();
    ASSERT_TRUE(run.load(b));
    run.c->objects.landTextures.fill(0xDEAD); // left over: cleared when the group begins
    EXPECT_EQ(saveLandTextures(*run.c), 0);

    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "LTEX");
    ASSERT_EQ(recs.size(), 3u);
    const Tes4Record& grass = *recs[0];
    EXPECT_EQ(grass.layout(), "EDID ICON HNAM SNAM");
    EXPECT_EQ(grass.field("ICON")->text(), "mw\\txUgrass.dds");
    EXPECT_EQ(grass.field("HNAM")->data, (std::vector<std::uint8_t>{4, 30, 30}));
    EXPECT_EQ(grass.field("SNAM")->data, (std::vector<std::uint8_t>{30}));
    EXPECT_EQ(grass.dataSize, 6u + 15 + 30);

    const auto& slots = run.c->objects.landTextures;
    EXPECT_EQ(slots[1], grass.formId);
    EXPECT_EQ(slots[6], 0x00000C0Fu) << "the listed record, not written";
    EXPECT_EQ(slots[0], recs[1]->formId) << "index -1 fills slot 0";
    EXPECT_EQ(slots[255], recs[2]->formId);
    EXPECT_EQ(slots[2], 0u);
    EXPECT_EQ(slots[3], 0u);

    EXPECT_EQ(run.platform.textOf("O:\\Oblivion\\Data\\Textures\\Landscape\\mw\\txUgrass.dds"), "grass");
    EXPECT_EQ(run.platform.textOf("O:\\Oblivion\\Data\\Textures\\Landscape\\mw\\txUgrass_n.dds"), "flat normal");
    EXPECT_FALSE(run.platform.has("O:\\Oblivion\\Data\\Textures\\Landscape\\mw\\txUrock_n.dds"))
        << "a listed texture is not copied";
    EXPECT_EQ(run.text(), "\nSaving land textures\nfound 5 land textures\n"
                          "No BSA file M:\\Morrowind\\Data Files\\Morrowind.bsa\n"
                          "Texture file tx_grass.dds copied\n"
                          "skipping\n"); // the one without an index
}

TEST(LandTextures, IndexOutOfRangeStopsWithAWellFormedGroup)
{
    ObjectRun run;
    Tes3Builder b;
    b.record("LTEX").text("NAME", "a").i32("INTV", 3).text("DATA", "a.dds").end();
    b.record("LTEX").text("NAME", "b").i32("INTV", 255).text("DATA", "b.dds").end();
    b.record("LTEX").text("NAME", "c").i32("INTV", 4).text("DATA", "c.dds").end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveLandTextures(*run.c), -1);
    EXPECT_NE(run.text().find("invalid land textures index!\n"), std::string::npos);
    EXPECT_EQ(run.c->out.depth(), 0);
    Tes4File f = run.output();
    auto recs = ObjectRun::group(f, "LTEX");
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(run.c->objects.landTextures[4], recs[0]->formId) << "slots filled so far stay";
    EXPECT_EQ(run.c->objects.landTextures[5], 0u);
    EXPECT_FALSE(run.c->archive.isOpen());

    ObjectRun low;
    Tes3Builder lb;
    lb.record("LTEX").text("NAME", "a").i32("INTV", -2).end();
    ASSERT_TRUE(low.load(lb));
    EXPECT_EQ(saveLandTextures(*low.c), -1);
    EXPECT_NE(low.text().find("invalid land textures index!\n"), std::string::npos);
}

} // namespace
} // namespace lw::test
