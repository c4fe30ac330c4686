// Statics: the object pattern itself, run over a fixture plugin.
#include <gtest/gtest.h>

#include "modshift/driver/save_steps.hpp"
#include "object_fixture.hpp"

namespace lw::test {
namespace {

using namespace lw::modshift;

void staticsPlugin(Tes3Builder& b)
{
    b.record("STAT").text("NAME", "ex_rock").text("MODL", "x\\ex_rock.nif").end();
    b.record("STAT").text("NAME", "DoorMarker").text("MODL", "marker_door.nif").end();
    b.record("STAT").text("NAME", "em").text("MODL", "EditorMarker.nif").end();
    b.record("STAT").text("NAME", "furn_bench").text("MODL", "f\\bench.NIF").end();
    b.record("STAT").text("NAME", "FURN_bench").text("MODL", "f\\bench2.nif").end();
    b.record("STAT").text("NAME", "listed").text("MODL", "l.nif").end();
    b.record("STAT").text("NAME", "TravelMarker").text("MODL", "marker_travel.nif").end();
    b.record("STAT").text("NAME", "noModel").end();
    b.record("STAT").text("MODL", "nameless.nif").end();
}

TEST(Statics, WritesRecordsRefusesMarkersAndUsesTheListFile)
{
    ObjectRun run;
    run.listFile("statics.ini", "listed=0x00012345\nTravelMarker=0x00000AAA\n");
    Tes3Builder b;
    staticsPlugin(b);
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveStatics(*run.c), 0);

    EXPECT_EQ(run.text(), "\nSaving statics\nfound 9 statics\n"
                          "skipping\n"   // DoorMarker
                          "skipping\n"   // EditorMarker model
                          "skipping\n"   // listed
                          "skipping\n"   // TravelMarker, listed
                          "skipping\n"   // no model
                          "skipping\n"); // no name
    const std::string cmd = "P:\\prog\\meshshift.exe \"";
    EXPECT_EQ(run.platform.commands,
              (std::vector<std::string>{cmd + "x\\ex_rock.nif\" -d mw\\x\\exUrock.nif",
                                        cmd + "EditorMarker.nif\" -d mw\\EditorMarker.nif",
                                        cmd + "f\\bench.nif\" -d mw\\f\\bench.nif -f",
                                        cmd + "f\\bench2.nif\" -d mw\\f\\bench2.nif",
                                        cmd + "nameless.nif\" -d mw\\nameless.nif"}))
        << "markers stop at NAME; EditorMarker models are still converted; .NIF normalised";

    Tes4File f = run.output();
    const Tes4Group* g = f.topGroup("STAT");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->groupType, 0u);
    auto recs = g->records();
    ASSERT_EQ(recs.size(), 3u);
    const char* names[] = {"0exUrock", "0furnUbench", "0FURNUbench"};
    const char* models[] = {"mw\\x\\exUrock.nif", "mw\\f\\bench.nif", "mw\\f\\bench2.nif"};
    for (std::size_t i = 0; i < 3; ++i) {
        const Tes4Record& r = *recs[i];
        EXPECT_EQ(r.layout(), "EDID MODL MODB");
        EXPECT_EQ(r.formId, 0x01000CE6u + i);
        EXPECT_EQ(r.flags, 0u);
        EXPECT_EQ(r.field("EDID")->text(), names[i]);
        EXPECT_TRUE(r.field("EDID")->isZeroTerminatedText());
        EXPECT_EQ(r.field("MODL")->text(), models[i]);
        EXPECT_EQ(r.field("MODB")->u32(), 0x438FCEE1u);
        EXPECT_EQ(r.dataSize, std::string(names[i]).size() + std::string(models[i]).size() + 24);
    }

    const RecordTable& t = run.c->tables.statics;
    ASSERT_EQ(t.size(), 9u);
    EXPECT_EQ(t.find("exUrock"), 0x01000CE6u);
    EXPECT_TRUE(t[1].editorId.empty()) << "a refused marker has no EditorID";
    EXPECT_EQ(t.find("DoorMarker"), 0u);
    EXPECT_EQ(t.find("listed"), 0x12345u) << "references get the listed record";
    EXPECT_EQ(t.find("TravelMarker"), 0xAAAu) << "a listed marker is resolved, not refused";
    EXPECT_EQ(t.find("em"), 0u);
    EXPECT_EQ(t.find("noModel"), 0u);
}

TEST(Statics, ASecondRunStartsNothingAndWritesTheSameRecords)
{
    ObjectRun run;
    Tes3Builder b;
    staticsPlugin(b);
    const std::vector<std::uint8_t> plugin = b.bytes();
    ASSERT_TRUE(run.load(plugin));
    saveStatics(*run.c);
    const std::vector<std::uint8_t> first = run.c->out.bytes();
    const std::size_t started = run.platform.commands.size();

    run.reset();
    ASSERT_TRUE(run.load(plugin));
    saveStatics(*run.c);
    EXPECT_EQ(run.platform.commands.size(), started);
    EXPECT_EQ(run.c->out.bytes(), first);
    EXPECT_NE(run.text().find("Mesh file exUrock.nif already exists\n"), std::string::npos);
    EXPECT_NE(run.text().find("Mesh file EditorMarker.nif already exists\n"), std::string::npos);
}

TEST(Statics, AFailedMeshRefusesTheRecord)
{
    ObjectRun run;
    run.platform.statusFor["b.nif"] = 1;
    Tes3Builder b;
    b.record("STAT").text("NAME", "a").text("MODL", "a.nif").end();
    b.record("STAT").text("NAME", "b").text("MODL", "b.nif").end();
    ASSERT_TRUE(run.load(b));
    saveStatics(*run.c);
    Tes4File f = run.output();
    ASSERT_EQ(ObjectRun::group(f, "STAT").size(), 1u);
    EXPECT_EQ(run.c->tables.statics.find("b"), 0u);
    EXPECT_TRUE(run.c->tables.statics[1].editorId.empty());
}

TEST(Statics, ACorruptListFileMeansNoList)
{
    ObjectRun run;
    run.listFile("statics.ini", "a=0x10\nb= 0x20\n");
    Tes3Builder b;
    b.record("STAT").text("NAME", "a").text("MODL", "a.nif").end();
    ASSERT_TRUE(run.load(b));
    saveStatics(*run.c);
    Tes4File f = run.output();
    EXPECT_EQ(ObjectRun::group(f, "STAT").size(), 1u);
}

TEST(Statics, NoneFoundWritesNoGroupAndTooManyWriteNothing)
{
    ObjectRun run;
    Tes3Builder empty;
    empty.record("MISC").text("NAME", "x").end();
    ASSERT_TRUE(run.load(empty));
    EXPECT_EQ(saveStatics(*run.c), 0);
    EXPECT_EQ(run.text(), "\nSaving statics\nfound 0 statics\n");
    EXPECT_TRUE(run.c->out.bytes().empty());

    ObjectRun big;
    Tes3Builder b;
    for (int i = 0; i < 5001; ++i)
        b.record("STAT").text("NAME", "s" + std::to_string(i)).text("MODL", "s.nif").end();
    ASSERT_TRUE(big.load(b));
    EXPECT_EQ(saveStatics(*big.c), -1);
    EXPECT_EQ(big.text(), "\nSaving statics\ntoo many statics!\n");
    EXPECT_TRUE(big.c->out.bytes().empty());
    EXPECT_TRUE(big.platform.commands.empty());
    EXPECT_EQ(big.c->tables.statics.size(), 0u);
}

TEST(Statics, FiveThousandFit)
{
    ObjectRun run;
    Tes3Builder b;
    for (int i = 0; i < 5000; ++i)
        b.record("STAT").text("NAME", "s" + std::to_string(i)).text("MODL", "s.nif").end();
    ASSERT_TRUE(run.load(b));
    EXPECT_EQ(saveStatics(*run.c), 0);
    Tes4File f = run.output();
    EXPECT_EQ(ObjectRun::group(f, "STAT").size(), 5000u);
    EXPECT_EQ(run.platform.commands.size(), 1u) << "one mesh, converted once";
}

} // namespace
} // namespace lw::test
