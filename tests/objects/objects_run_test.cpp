// End-to-end: the built modshift, starting the built meshshift, over a fixture
// plugin and fixture data folders (loose files and an archive), from a copy
// of the program folder, with standard input from the null device.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/bsa_builder.hpp"
#include "support/nif4_builder.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::test {
namespace {

namespace fs = std::filesystem;

const std::string kMeshBanner = "Welcome to Meshwright";

class ObjectsRun : public ::testing::Test {
protected:
    TempDir dir{"lw-objects-run"};
    std::string progName = "prog"; // the program folder inside the temporary folder
    fs::path prog;

    void SetUp() override
    {
        prog = dir.makeDir(progName);
        fs::copy(LW_BIN_DIR, prog, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        dir.writeFile(progName + "/meshshift.ini", "Morrowind=" + (dir / "mw/Data Files").string() +
                                                "\nArchive=Morrowind.bsa\nOblivion=" +
                                                (dir / "ob/Data").string() + "\nFolder=conv\n");
        dir.writeFile(progName + "/weapons.ini", "iron sword=0x000229B7\n");
        dir.makeDir("ob/Data");

        const std::vector<std::uint8_t> quad = Nif4Builder::texturedQuad("textures\\tx_a.tga").build();
        dir.writeFile("mw/Data Files/Meshes/x/Ex_Rock.nif", quad);
        for (const char* mesh : {"f/bench.nif", "w/dagger.nif", "m/cup.nif", "b/book.nif", "c/chest.nif",
                                 "d/door.nif", "a/bed.nif"})
            dir.writeFile(std::string("mw/Data Files/Meshes/") + mesh, quad);
        dir.writeFile("mw/Data Files/Sound/Fx/magic/altr hit.wav", "RIFF sound");
        BsaBuilder bsa;
        bsa.add("meshes\\editormarker.nif", quad);
        bsa.add("icons\\w\\tx_dagger.dds", "archived icon");
        bsa.add("textures\\tx_grass.dds", "archived texture");
        bsa.write(dir / "mw/Data Files/Morrowind.bsa");
    }

    RunResult run()
    {
        RunOptions options;
        options.workingDir = dir.path();
        options.timeout = std::chrono::minutes(2);
        RunResult r = runProgram(programPath(prog, "modshift"), {(dir / "objects.esp").string()}, options);
        EXPECT_TRUE(r.exitedWith(0)) << r.describe();
        return r;
    }
    std::string target(std::string_view relative) const { return "ob/Data/" + std::string(relative); }
};

std::vector<std::uint8_t> plugin()
{
    Tes3Builder b;
    b.header("lw", "objects", 0);
    b.record("SOUN").text("NAME", "altr hit").text("FNAM", "Fx\\magic\\altr hit.wav")
        .sub("DATA", Fields().u8(127).u8(0).u8(255)).end();
    b.record("LTEX").text("NAME", "grass").i32("INTV", 0).text("DATA", "TX_Grass.tga").end();
    b.record("ACTI").text("NAME", "Active_De_Bed").text("FNAM", "Bed").text("MODL", "a\\bed.nif").end();
    b.record("BOOK").text("NAME", "bk_a").text("FNAM", "A").text("MODL", "b\\book.nif")
        .chars("TEXT", "<FONT COLOR=\"0\"><DIV ALIGN=\"LEFT\">Hello")
        .sub("BKDT", Fields().f32(1).i32(5).u32(0).i32(6).u32(0)).end();
    b.record("CONT").text("NAME", "chest").text("FNAM", "Chest").text("MODL", "c\\chest.nif").u32("FLAG", 0x8)
        .sub("NPCO", Fields().i32(1).fixed("bk_a", 32)).sub("NPCO", Fields().i32(1).fixed("misc_cup", 32)).end();
    b.record("DOOR").text("NAME", "door").text("MODL", "d\\door.nif").end();
    b.record("LIGH").text("NAME", "lost torch").text("MODL", "l\\nowhere.nif")
        .sub("LHDT", Fields().f32(1).i32(1).i32(-1).u32(128).u32(0).u32(0x2)).end();
    b.record("MISC").text("NAME", "misc_cup").text("MODL", "m\\cup.nif").text("ITEX", "m\\tx_cup.tga")
        .sub("MCDT", Fields().f32(1).i32(2).u32(0)).end();
    b.record("STAT").text("NAME", "ex_rock").text("MODL", "x\\Ex_Rock.NIF").end();
    b.record("STAT").text("NAME", "DoorMarker").text("MODL", "x\\Ex_Rock.nif").end();
    b.record("STAT").text("NAME", "marker").text("MODL", "EditorMarker.nif").end();
    b.record("WEAP").text("NAME", "dagger").text("MODL", "w\\dagger.nif").text("ITEX", "w\\tx_dagger.tga")
        .sub("WPDT", Fields().f32(1).i32(10).i16(0).i16(60).f32(1.5f).f32(1.25f).i16(0)
                         .u8(6).u8(6).u8(6).u8(6).u8(6).u8(6).u32(0)).end();
    b.record("WEAP").text("NAME", "iron sword").text("MODL", "w\\sword.nif").end();
    return b.bytes();
}

std::size_t occurrences(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(ObjectsRun, ConvertsEveryTypeWithItsMeshesAndAssetsAndASecondRunConvertsNothing)
{
    dir.writeFile("objects.esp", plugin());
    const RunResult first = run();
    const std::string& out = first.out;

    // One meshshift per converted mesh; none for markers, listed records or a
    // second record with the same mesh.
    EXPECT_EQ(occurrences(out, kMeshBanner), 9u) << out; // the light's mesh is missing: it fails
    EXPECT_NE(out.find("\nSaving statics\nfound 3 statics\n"), std::string::npos) << out;
    EXPECT_NE(out.find("door: " + lw::test::programPath(prog, "meshshift").string() + " \"d\\door.nif\" -m 12 -l 2 -s 6 -q 2 -d conv\\d\\door.nif\n"),
              std::string::npos) << out;
    EXPECT_EQ(out.find("Icon file tx_dagger.dds"), std::string::npos) << "taken from the archive quietly";

    const std::vector<std::uint8_t> bytes = dir.readBytes("objects_ob.esp");
    const Tes4File f = readTes4(bytes);
    ASSERT_TRUE(f.ok()) << f.error;
    auto count = [&](const char* label) {
        const Tes4Group* g = f.topGroup(label);
        return g ? g->records().size() : 0u;
    };
    EXPECT_EQ(count("SOUN"), 1u);
    EXPECT_EQ(count("LTEX"), 1u);
    EXPECT_EQ(count("ACTI"), 1u);
    EXPECT_EQ(count("BOOK"), 1u);
    EXPECT_EQ(count("CONT"), 1u);
    EXPECT_EQ(count("DOOR"), 1u);
    EXPECT_EQ(count("LIGH"), 0u) << "a carriable light whose mesh failed";
    EXPECT_EQ(count("MISC"), 1u);
    EXPECT_EQ(count("STAT"), 1u) << "DoorMarker and the EditorMarker model are refused";
    EXPECT_EQ(count("WEAP"), 1u) << "the listed sword is not written";

    const Tes4Record* rock = f.topGroup("STAT")->records()[0];
    EXPECT_EQ(rock->field("MODL")->text(), "conv\\x\\ExURock.nif");
    const Tes4Record* chest = f.topGroup("CONT")->records()[0];
    ASSERT_EQ(chest->count("CNTO"), 2u) << "the book and the misc item";
    EXPECT_EQ(chest->field("CNTO")->u32(), f.topGroup("BOOK")->records()[0]->formId);
    EXPECT_EQ(chest->field("CNTO", 1)->u32(), f.topGroup("MISC")->records()[0]->formId);
    EXPECT_EQ(f.topGroup("BOOK")->records()[0]->field("DESC")->text(), "Hello");

    // The converted meshes, NIF 20.0.0.5, below the asset subfolder (meshshift
    // names the folder "meshes"; modshift's existence test ignores case).
    for (const char* mesh : {"meshes/conv/x/ExURock.nif", "meshes/conv/EditorMarker.nif", "meshes/conv/a/bed.nif",
                             "meshes/Clutter/Books/conv/b/book.nif", "meshes/conv/c/chest.nif",
                             "meshes/conv/d/door.nif", "meshes/Clutter/conv/m/cup.nif", "meshes/Weapons/conv/w/dagger.nif"}) {
        ASSERT_TRUE(dir.exists(target(mesh))) << mesh;
        const std::string head = dir.readText(target(mesh)).substr(0, 40);
        EXPECT_NE(head.find("20.0.0.5"), std::string::npos) << mesh << ": " << head;
    }
    EXPECT_FALSE(dir.exists(target("meshes/Lights/conv/l/nowhere.nif")));

    // Icons, textures with their normal maps, sounds.
    EXPECT_EQ(dir.readText(target("Textures/Menus/Icons/Weapons/conv/w/txUdagger.dds")), "archived icon");
    EXPECT_EQ(dir.readBytes(target("Textures/Menus/Icons/Clutter/conv/m/txUcup.dds")),
              dir.readBytes("prog/iconWeap.dds"));
    EXPECT_EQ(dir.readText(target("Textures/Landscape/conv/TXUGrass.dds")), "archived texture");
    EXPECT_EQ(dir.readBytes(target("Textures/Landscape/conv/TXUGrass_n.dds")), dir.readBytes("prog/template_n.dds"));
    EXPECT_EQ(dir.readText(target("Sound/fx/conv/Fx/magic/altrShit.wav")), "RIFF sound");

    // A second run finds every mesh and asset in place: same plugin, and
    // meshshift only for the light's mesh, which failed the first time.
    const RunResult second = run();
    EXPECT_EQ(occurrences(second.out, kMeshBanner), 1u) << second.out;
    EXPECT_EQ(occurrences(second.out, "already exists\n"), 9u + 2) << second.out; // meshes (the chest twice), icons
    EXPECT_EQ(dir.readBytes("objects_ob.esp"), bytes);
}

TEST_F(ObjectsRun, ListFilesInTheProgramFolderReplaceRecords)
{
    Tes3Builder b;
    b.header("lw", "lists", 0);
    b.record("STAT").text("NAME", "ex_rock").text("MODL", "x\\Ex_Rock.nif").end();
    b.record("STAT").text("NAME", "furn_bench").text("MODL", "f\\bench.nif").end();
    dir.writeFile("objects.esp", b.bytes());

    // Hex without "x", and a zero value that leaves its record alone.
    dir.writeFile("prog/statics.ini", "ex_rock=0001A2B3\r\nfurn_bench=0x0\r\n");
    RunResult r = run();
    EXPECT_EQ(occurrences(r.out, kMeshBanner), 1u) << r.out;
    EXPECT_NE(r.out.find("\nSaving statics\nfound 2 statics\nskipping\n"), std::string::npos) << r.out;
    Tes4File f = readTes4(dir.readBytes("objects_ob.esp"));
    ASSERT_TRUE(f.ok()) << f.error;
    ASSERT_NE(f.topGroup("STAT"), nullptr);
    ASSERT_EQ(f.topGroup("STAT")->records().size(), 1u);
    EXPECT_EQ(f.topGroup("STAT")->records()[0]->field("EDID")->text(), "0furnUbench");
    EXPECT_FALSE(dir.exists(target("meshes/conv/x/ExURock.nif")));

    // A blank after "=" makes the whole file count for nothing: both are converted.
    dir.writeFile("prog/statics.ini", "ex_rock= 0x0001A2B3\n");
    r = run();
    f = readTes4(dir.readBytes("objects_ob.esp"));
    ASSERT_TRUE(f.ok()) << f.error;
    EXPECT_EQ(f.topGroup("STAT")->records().size(), 2u);
    EXPECT_TRUE(dir.exists(target("meshes/conv/x/ExURock.nif")));

    // A decimal value, no "x": the same.
    dir.writeFile("prog/statics.ini", "ex_rock=12345\n");
    r = run();
    f = readTes4(dir.readBytes("objects_ob.esp"));
    EXPECT_EQ(f.topGroup("STAT")->records().size(), 2u);
}

// The mesh converter's path is not quoted on its command line; a program
// folder with blanks in its name must work all the same.
class ObjectsRunWithBlanks : public ObjectsRun {
protected:
    ObjectsRunWithBlanks() { progName = "Program Files/Lore wright"; }
};

TEST_F(ObjectsRunWithBlanks, StartsTheMeshConverterFromAFolderWithBlanks)
{
    Tes3Builder b;
    b.header("lw", "blanks", 0);
    b.record("STAT").text("NAME", "ex_rock").text("MODL", "x\\Ex_Rock.nif").end();
    dir.writeFile("objects.esp", b.bytes());
    const RunResult r = run();
    EXPECT_EQ(occurrences(r.out, kMeshBanner), 1u) << r.out;
    EXPECT_EQ(r.out.find("Can't start"), std::string::npos) << r.out;
    EXPECT_TRUE(dir.exists(target("meshes/conv/x/ExURock.nif")));
    const Tes4File f = readTes4(dir.readBytes("objects_ob.esp"));
    ASSERT_TRUE(f.ok()) << f.error;
    ASSERT_NE(f.topGroup("STAT"), nullptr);
    EXPECT_EQ(f.topGroup("STAT")->records().size(), 1u);
}

} // namespace
} // namespace lw::test
