// modshift's start-up and save driver run in-process against an in-memory
// platform: every start-up failure, the file names and the files left behind.

#include <gtest/gtest.h>

#include "common/console/console.hpp"
#include "support/fake_platform.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/run.hpp"
#include "modshift/driver/run_paths.hpp"
#include "modshift/driver/save_steps.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::modshift {
namespace {

using lw::test::FakePlatform;
using lw::test::Fields;
using lw::test::Tes3Builder;

const char* const kBanner = "Welcome in Lorewright v0.93\n\n";
const char* const kIni = "Morrowind=C:\\mw\\Data Files\r\nArchive=Morrowind.bsa\r\n"
                         "Oblivion=C:\\ob\\Data\r\nFolder=conv";

struct RunOutcome {
    std::string out;
    int waits = 0;
    int result = -1;
};

RunOutcome run(FakePlatform& p, std::vector<std::string> args)
{
    Console console = Console::capturing();
    RunOutcome r;
    r.result = runModshift(args, p, console);
    r.out = console.captured();
    r.waits = console.waits();
    return r;
}

FakePlatform withIni()
{
    FakePlatform p;
    p.put("/prog/meshshift.ini", kIni);
    return p;
}

std::vector<std::uint8_t> minimalPlugin()
{
    Tes3Builder b;
    b.header("Anna", "");
    b.record("GMST").text("NAME", "sSomething").end();
    return b.bytes();
}

TEST(RunPaths, NamesDerivedFromTheArguments)
{
    EXPECT_EQ(programFolderOf("C:\\tools\\modshift.exe"), "C:\\tools\\");
    EXPECT_EQ(programFolderOf("./bin/modshift"), "./bin/");
    EXPECT_EQ(programFolderOf("modshift"), "");
    EXPECT_EQ(programFolderOf("/modshift"), ""); // no separator after the first character
    EXPECT_EQ(programFolderOf(""), "");

    EXPECT_EQ(pluginKindOf("C:\\mods\\Foo.esp"), PluginKind::Esp);
    EXPECT_EQ(outputPathOf("C:\\mods\\Foo.esp", PluginKind::Esp), "C:\\mods\\Foo_ob.esp");
    EXPECT_EQ(logPathOf("C:\\mods\\Foo_ob.esp"), "C:\\mods\\Foo_ob.log");
    EXPECT_EQ(pluginNameOf("C:\\mods\\Foo.esp"), "Foo");
    EXPECT_EQ(pluginNameOf("mods/sub.dir/Foo.Bar.esm"), "Foo.Bar");
    EXPECT_EQ(pluginKindOf("Foo.esm"), PluginKind::Esm);
    EXPECT_EQ(outputPathOf("Foo.esm", PluginKind::Esm), "Foo_ob.esm");
    EXPECT_EQ(pluginNameOf("Foo.esm"), "Foo");
    EXPECT_EQ(pluginKindOf("Foo.ESP"), PluginKind::Unsupported);
    EXPECT_EQ(pluginKindOf("Foo.esp "), PluginKind::Unsupported);
    EXPECT_EQ(pluginKindOf("esp"), PluginKind::Unsupported);
    EXPECT_EQ(pluginNameOf("a"), "");

    // No length limit on any of them.
    std::string deep = "/" + std::string(600, 'd') + "/" + std::string(300, 'n') + ".esp";
    EXPECT_EQ(outputPathOf(deep, PluginKind::Esp), deep.substr(0, deep.size() - 4) + "_ob.esp");
    EXPECT_EQ(pluginNameOf(deep), std::string(300, 'n'));
}

TEST(RunFlow, StartUpFailuresPrintTheirMessageAndWait)
{
    {
        FakePlatform p = withIni();
        RunOutcome r = run(p, {"/prog/modshift"});
        EXPECT_EQ(r.out, std::string(kBanner) + "missing ESP/ESM/ESS file!\npress enter...");
        EXPECT_EQ(r.waits, 1);
        EXPECT_EQ(r.result, 0);
    }
    {
        FakePlatform p;
        RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.esp"});
        EXPECT_EQ(r.out, std::string(kBanner) +
                             "ini file /prog/meshshift.ini does not exist!\n"
                             "error parsing INI file\npress enter...");
        EXPECT_EQ(r.waits, 1);
    }
    {
        FakePlatform p;
        p.put("/prog/meshshift.ini", "a=1\nb=2\nc=3\n");
        RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.esp"});
        EXPECT_EQ(r.out, std::string(kBanner) + "error parsing INI file\npress enter...");
    }
    {
        FakePlatform p = withIni();
        RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.esp"});
        EXPECT_EQ(r.out,
                  std::string(kBanner) + "reading /m/Foo.esp\nfile does not exist!\npress enter...");
        EXPECT_EQ(r.waits, 1);
        EXPECT_EQ(p.files.size(), 1u);
    }
    {
        FakePlatform p = withIni();
        p.files["/m/Foo.ESP"] = minimalPlugin();
        RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.ESP", "ignored"});
        EXPECT_EQ(r.out, std::string(kBanner) +
                             "reading /m/Foo.ESP\nunsupported file format!\npress enter...");
        EXPECT_EQ(p.files.size(), 2u); // no output, no log
    }
    {
        FakePlatform p = withIni();
        p.files["/m/Foo.esp"] = minimalPlugin();
        p.unwritable.insert("/m/Foo_ob.esp");
        RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.esp"});
        EXPECT_EQ(r.out, std::string(kBanner) +
                             "reading /m/Foo.esp\nerror saving file!\npress enter...");
        EXPECT_EQ(p.files.count("/m/Foo_ob.log"), 0u);
    }
}

TEST(RunFlow, BareProgramNameUsesTheRunningProgramsFolder)
{
    FakePlatform p = withIni();
    p.files["Foo.esp"] = minimalPlugin();
    RunOutcome r = run(p, {"modshift", "Foo.esp"});
    EXPECT_NE(r.out.find("Save Done.\n"), std::string::npos) << r.out;
    EXPECT_EQ(p.files.count("Foo_ob.esp"), 1u);

    // The folder named in the program's own path wins over the running one.
    FakePlatform q = withIni();
    q.runningFolder = "/elsewhere/";
    q.files["Foo.esp"] = minimalPlugin();
    RunOutcome s = run(q, {"/prog/modshift", "Foo.esp"});
    EXPECT_NE(s.out.find("Save Done.\n"), std::string::npos) << s.out;
}

TEST(RunFlow, OutOfMemoryLeavesEmptyOutputAndLog)
{
    FakePlatform p = withIni();
    p.files["/m/Foo.esm"] = minimalPlugin();
    p.outOfMemoryOn = "/m/Foo.esm";
    RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.esm"});
    EXPECT_EQ(r.out,
              std::string(kBanner) + "reading /m/Foo.esm\nnot enough memory!\npress enter...");
    ASSERT_EQ(p.files.count("/m/Foo_ob.esm"), 1u);
    EXPECT_TRUE(p.files["/m/Foo_ob.esm"].empty());
    ASSERT_EQ(p.files.count("/m/Foo_ob.log"), 1u);
    EXPECT_TRUE(p.files["/m/Foo_ob.log"].empty());
}

TEST(RunFlow, AFaultEndsTheRunWithAMessageAndThePrompt)
{
    FakePlatform p = withIni();
    p.files["/m/Foo.esp"] = minimalPlugin();
    p.faultOn = "/m/Foo.esp";
    RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.esp"});
    EXPECT_EQ(r.out, std::string(kBanner) +
                         "reading /m/Foo.esp\ninternal error: injected fault\npress enter...");
    EXPECT_EQ(r.waits, 1);
    EXPECT_EQ(r.result, 0);
}

TEST(RunFlow, ParseFailureLeavesEmptyOutputAndLog)
{
    FakePlatform p = withIni();
    Tes3Builder b;
    b.header("Ann", "");
    b.record("STAT").subWithSize("NAME", 100, Fields().u8('x')).end();
    p.files["/m/Foo.esp"] = b.bytes();
    p.files["/m/Foo_ob.esp"] = {1, 2, 3}; // an older output is truncated
    RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.esp"});
    EXPECT_EQ(r.out, std::string(kBanner) +
                         "reading /m/Foo.esp\nParsing Mod file\n"
                         "  size past end NAME(3), size=100, prev=-1, parent=2, left=-99\n"
                         "Error parsing file!\npress enter...");
    EXPECT_TRUE(p.files.at("/m/Foo_ob.esp").empty());
    EXPECT_TRUE(p.files.at("/m/Foo_ob.log").empty());
    EXPECT_TRUE(p.started.empty());
}

TEST(RunFlow, AFileWithoutRecordsIsRefusedLikeAParseFailure)
{
    // Empty, or a tail too short for any record header: no plugin at all.
    for (std::vector<std::uint8_t> bytes : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{'T', 'E', 'S', '3', 0}}) {
        FakePlatform p = withIni();
        p.files["/m/Foo.esp"] = bytes;
        RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.esp"});
        EXPECT_EQ(r.out, std::string(kBanner) +
                             "reading /m/Foo.esp\nParsing Mod file\nno records in file!\n"
                             "Error parsing file!\npress enter...");
        EXPECT_TRUE(p.files.at("/m/Foo_ob.esp").empty());
        EXPECT_TRUE(p.files.at("/m/Foo_ob.log").empty());
        EXPECT_EQ(r.waits, 1);
    }
}

TEST(RunFlow, SuccessfulRunWritesAWellFormedPlugin)
{
    FakePlatform p = withIni();
    p.files["/m/Foo.esp"] = minimalPlugin();
    RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.esp"});
    const std::string head = std::string(kBanner) +
                             "reading /m/Foo.esp\nParsing Mod file\nSaving file\nsaving...\n";
    EXPECT_EQ(r.out.substr(0, head.size()), head);
    EXPECT_NE(r.out.find("\nSaving file Header\nheader size=62\n"), std::string::npos) << r.out;
    const std::string tail = "teleport door\nSave Done.\npress enter...";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
    EXPECT_EQ(r.waits, 1);

    ASSERT_EQ(p.files.count("/m/Foo_ob.esp"), 1u);
    auto f = lw::test::readTes4(p.files["/m/Foo_ob.esp"]);
    ASSERT_TRUE(f.ok()) << f.error;
    EXPECT_EQ(f.header.layout(), "HEDR CNAM MAST DATA");
    EXPECT_EQ(f.header.field("CNAM")->text(), "Anna");
    EXPECT_TRUE(p.files.at("/m/Foo_ob.log").empty());
    // Every record after the header got its identifier from the counter, in
    // the order written.
    std::uint32_t expect = 0x01000CE6;
    for (const auto* rec : f.allRecords()) {
        if (rec->formId >= 0x01000000u) {
            EXPECT_EQ(rec->formId, expect++);
        }
    }
}

TEST(RunFlow, UnwritableOutputAtTheEndIsReported)
{
    // The output could be created at start but not written at the end.
    struct Flaky : FakePlatform {
        int writes = 0;
        bool writeFile(std::string_view path, const std::vector<std::uint8_t>& bytes) override
        {
            if (path == "/m/Foo_ob.esp" && ++writes == 2)
                return false;
            return FakePlatform::writeFile(path, bytes);
        }
    } p;
    p.put("/prog/meshshift.ini", kIni);
    p.files["/m/Foo.esp"] = minimalPlugin();
    RunOutcome r = run(p, {"/prog/modshift", "/m/Foo.esp"});
    const std::string tail = "teleport door\nerror saving file!\npress enter...";
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail) << r.out;
    EXPECT_EQ(r.out.find("Save Done."), std::string::npos);
}

TEST(SaveDriver, StepsRunInTheirOrder)
{
    const std::vector<int (*)(Conversion&)> expected = {
        parseFaces,     writeFileHeader, saveEyes,      saveSounds,    parseRegions,
        parseCells,     saveLandTextures, saveActivators, saveArmours, saveBooks,
        saveContainers, saveDoors,       saveLights,    saveMisc,      saveStatics,
        saveFlora,      saveWeapons,     saveContainersAfterItems, saveNpcs, saveCreatures, saveLeveledCreatures,
        saveRegions,    saveInteriorCells, saveWorldspace, connectTeleportDoors};
    auto steps = saveSteps();
    ASSERT_EQ(steps.size(), expected.size());
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(steps[i].run, expected[i]) << i << " " << steps[i].name;
}

TEST(SaveDriver, RandomSequenceIsFixedAfterSeeding)
{
    Random a;
    a.seed();
    Random b;
    b.next(7);
    b.seed();
    EXPECT_EQ(a.state(), b.state());
    // The same state reproduced by hand: 1000 warm-up steps from all ones.
    std::uint32_t s = 0xFFFFFFFF;
    auto step = [&s](std::uint32_t n) {
        s = (s & 0x10000) ? ((s * 2u + 1u) ^ 0x800u) : s * 2u;
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(s & 0xFFFF) * n) >> 16);
    };
    for (int i = 0; i < 1000; ++i)
        step(0);
    EXPECT_EQ(a.state(), s);
    for (std::uint32_t n : {1u, 2u, 10u, 100u, 65535u, 65536u, 0u}) {
        EXPECT_EQ(a.next(n), step(n)) << n;
        EXPECT_LT(a.next(n), n == 0 ? 1u : n);
        step(n);
    }
}

} // namespace
} // namespace lw::modshift
