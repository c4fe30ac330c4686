// The real programs run together from a whole installation: the log of a run
// over good, damaged and missing meshes against the plugin; statuses, waits
// and the options that only print, through the process boundary.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "support/installation.hpp"
#include "support/nif20_reader.hpp"
#include "support/nif4_builder.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::test {
namespace {

TEST(Programs, LogOfARunWithFailedMeshesAgreesWithThePlugin)
{
    Installation inst;
    const auto quad = Nif4Builder::texturedQuad("textures\\tx_a.tga").build();
    inst.dir.writeFile("mw/Data Files/Meshes/x/good.nif", quad);
    inst.dir.writeFile("mw/Data Files/Meshes/x/bad_one.nif", std::vector<std::uint8_t>(quad.begin(), quad.begin() + 60));
    inst.dir.writeFile("ob/Data/Meshes/conv/x/tree.nif", "converted before");
    inst.dir.writeFile("mw/Data Files/Sound/b/bell.wav", "RIFF");
    inst.dir.writeFile("prog/statics.ini", "listed=0x00012345\n");
    Tes3Builder b;
    b.header("Anna", "");
    for (const char* name : {"DoorMarker", "good", "bad_one", "lost", "tree", "listed"})
        b.record("STAT").text("NAME", name).text("MODL", std::string("x\\") + name + ".nif").end();
    for (const char* sound : {"b\\bell.wav", "h\\hum.wav"})
        b.record("SOUN").text("NAME", sound + 2).text("FNAM", sound).end();
    b.record("SCPT").text("NAME", "My_Script").end();
    for (int i = 0; i < 257; ++i)
        b.record("LTEX").text("NAME", "t" + std::to_string(i)).i32("INTV", i).end();
    inst.dir.writeFile("work/Mod.esp", b.bytes());

    // An input that stays open: only --no-wait, passed on to every meshshift, lets the run end.
    const RunResult r = inst.run("modshift", {"--no-wait", "Mod.esp"}, {{}, true, std::chrono::seconds(120)});
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();
    const std::string log = inst.dir.readText("work/Mod_ob.log");
    const std::string entries = log.substr(0, log.find("\nsummary\n"));
    EXPECT_EQ(entries, "missing asset: sound " + inst.source() + "\\Sound\\h\\hum.wav\n"
                       "capacity: too many land textures!\n"
                       "not converted: STAT \"DoorMarker\" (marker)\n"
                       "mesh failed: x\\bad_one.nif (meshshift ended with status 255)\n"
                       "not converted: STAT \"bad_one\" (mesh not converted)\n"
                       "mesh failed: x\\lost.nif (not found in the source data folder or the archive)\n"
                       "not converted: STAT \"lost\" (mesh not converted)\n"
                       "not converted: STAT \"listed\" (replaced through statics.ini)\n"
                       "not converted: SCPT \"My_Script\" (type not converted)\n");

    // The summary against the plugin read back and the source counts of the plugin built above.
    const std::vector<std::uint8_t> plugin = inst.dir.readBytes("work/Mod_ob.esp");
    const auto f = readTes4(plugin);
    ASSERT_TRUE(f.ok()) << f.error;
    std::map<std::string, std::pair<int, int>> expected = {{"STAT", {6, 0}}, {"SOUN", {2, 0}}, {"LTEX", {257, 0}},
                                                             {"SCPT", {1, 0}}};
    for (const auto* rec : f.allRecords())
        ++expected[rec->tag].second;
    EXPECT_EQ(expected["STAT"].second, 2); // good and tree
    const std::string heading = "\nsummary\ntype    source  written\n";
    ASSERT_EQ(log.substr(entries.size(), heading.size()), heading);
    std::istringstream summary(log.substr(entries.size() + heading.size()));
    std::map<std::string, std::pair<int, int>> rows;
    std::string tag;
    int source = 0, written = 0;
    while (summary >> tag >> source >> written)
        rows[tag] = {source, written};
    EXPECT_EQ(rows, expected);
    EXPECT_TRUE(log.ends_with("\nmeshes: 1 converted, 1 reused, 2 failed\nfiles copied: 1\n")) << log;
    // Same inputs, same plugin: a second run (now reusing the good mesh) writes the same bytes.
    ASSERT_TRUE(inst.run("modshift", {"--no-wait", "Mod.esp"}).exitedWith(0));
    EXPECT_EQ(inst.dir.readBytes("work/Mod_ob.esp"), plugin);
}

// A mesh named on the command line from the current folder is written beside
// it, its name's extension giving way to "_ob.nif".
TEST(Programs, MeshOfTheCurrentFolderIsWrittenBesideIt)
{
    Installation inst;
    inst.dir.writeFile("work/dir/rock.nif", Nif4Builder::texturedQuad("textures\\tx_a.tga").build());
    const RunResult r = inst.run("meshshift", {"--no-wait", "dir/rock.nif"});
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();
    EXPECT_TRUE(readNif20(inst.dir.readBytes("work/dir/rock_ob.nif")).complete) << r.out;
}

// Statuses as the shell sees them; help, version and wrong options leave
// every file as it was. With an input that stays open (an idle console) only
// --no-wait lets a failing run end: without it the programs wait until stopped.
TEST(Programs, StatusesWaitsAndOptionsThatOnlyPrint)
{
    Installation inst;
    const struct {
        const char* program;
        std::vector<std::string> args;
        int status; // -1: still waiting at the end of the time limit
        const char* begins;
        bool openInput = false;
    } rows[] = {
        {"modshift", {"--help"}, 0, "usage: modshift"},
        {"modshift", {"--version"}, 0, "modshift (Lorewright) v0.93\n"},
        {"modshift", {"--bogus"}, 2, "unknown option --bogus\nusage: modshift"},
        {"modshift", {}, 2, "Welcome in Lorewright"},
        {"modshift", {"absent.esp"}, 1, "Welcome in Lorewright"},
        {"modshift", {}, -1, "Welcome in Lorewright", true},
        {"modshift", {"--no-wait"}, 2, "Welcome in Lorewright", true},
        {"meshshift", {"--help"}, 0, "usage: meshshift"},
        {"meshshift", {"--version"}, 0, "meshshift (Meshwright) v1.02\n"},
        {"meshshift", {"--bogus", "x.nif"}, 255, "\nWelcome to Meshwright v1.02\nUnknown argument \"--bogus\"!\nusage:"},
        {"meshshift", {}, -1, "\nWelcome to Meshwright", true},
        {"meshshift", {"--no-wait"}, 255, "\nWelcome to Meshwright", true},
    };
    const auto before = inst.dir.listFiles();
    for (const auto& row : rows) {
        const RunResult r = inst.run(row.program, row.args,
                                     {{}, row.openInput, std::chrono::seconds(row.status == -1 ? 2 : 60)});
        EXPECT_TRUE(row.status == -1 ? r.timedOut : r.exitedWith(row.status)) << row.program << " " << r.describe();
        EXPECT_TRUE(r.out.starts_with(row.begins)) << r.out;
        EXPECT_TRUE(!row.openInput || row.status == -1 || r.out.ends_with("press enter...")) << r.out; // no wait, but the prompt
    }
    EXPECT_EQ(inst.dir.listFiles(), before);
}

} // namespace
} // namespace lw::test
