// modshift's run in-process against an in-memory platform: the names of a
// run, every way a run ends (message, exit status, waits, files left), the
// options, and the conversion log of a run that leaves things out.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "common/console/console.hpp"
#include "modshift/driver/run.hpp"
#include "modshift/driver/run_paths.hpp"
#include "support/fake_platform.hpp"
#include "support/tes3_builder.hpp"

namespace lw::modshift {
namespace {

using lw::test::FakePlatform;
using lw::test::Tes3Builder;

const std::string kBanner = "Welcome in Lorewright v0.93\n\n";

struct Outcome {
    std::string out;
    int waits = 0;
    int status = -1;
};

Outcome run(FakePlatform& p, std::vector<std::string> args)
{
    Console console = Console::capturing("\n");
    Outcome r;
    r.status = runModshift(args, p, console);
    r.out = console.captured();
    r.waits = console.waits();
    return r;
}

struct UnwritableAtTheEnd : FakePlatform {
    int writes = 0;
    bool writeFile(std::string_view path, const std::vector<std::uint8_t>& bytes) override
    {
        return (path == "/m/Foo_ob.esp" && ++writes == 2) ? false : FakePlatform::writeFile(path, bytes);
    }
};

std::vector<std::uint8_t> plugin()
{
    Tes3Builder b;
    b.header("Anna", "");
    b.record("GMST").text("NAME", "sSomething").end();
    return b.bytes();
}

TEST(RunPaths, NamesDerivedFromTheArguments)
{
    EXPECT_EQ(programFolderOf("C:\\tools\\modshift.exe"), "C:\\tools\\");
    EXPECT_EQ(programFolderOf("/modshift"), ""); // no separator after the first character
    EXPECT_EQ(outputPathOf("C:\\mods\\Foo.esp", PluginKind::Esp), "C:\\mods\\Foo_ob.esp");
    EXPECT_EQ(logPathOf("C:\\mods\\Foo_ob.esp"), "C:\\mods\\Foo_ob.log");
    EXPECT_EQ(pluginNameOf("mods/sub.dir/Foo.Bar.esm"), "Foo.Bar");
    EXPECT_EQ(outputPathOf("Foo.esm", PluginKind::Esm), "Foo_ob.esm");
    EXPECT_EQ(pluginKindOf("Foo.ESP"), PluginKind::Unsupported);
    const std::string deep = "/" + std::string(600, 'd') + "/" + std::string(300, 'n') + ".esp";
    EXPECT_EQ(pluginNameOf(deep), std::string(300, 'n')); // no length limit
}

// Every way a run ends: the console text after the banner, the exit status,
// the waits, and whether the output and log exist (empty when the run failed).
TEST(RunFlow, EveryPathEndsWithItsMessageStatusAndWait)
{
    const std::string kIni = "Morrowind=C:\\mw\\Data Files\nArchive=Morrowind.bsa\nOblivion=C:\\ob\\Data\nFolder=c";
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::function<void(FakePlatform&)> setup;
        std::string ending; // console text the run ends with
        int status;
        int waits;
        bool outputs; // output and log exist
    };
    const std::vector<Row> rows = {
        {"no plugin", {}, nullptr, kBanner + "missing ESP/ESM/ESS file!\npress enter...", 2, 1, false},
        {"no plugin, no wait", {"--no-wait"}, nullptr, kBanner + "missing ESP/ESM/ESS file!\npress enter...", 2, 0,
         false},
        {"no configuration", {"/m/Foo.esp"}, [](FakePlatform& p) { p.files.erase("/prog/meshshift.ini"); },
         "does not exist!\nerror parsing INI file\npress enter...", 1, 1, false},
        {"no input", {"/m/Foo.esp"}, [](FakePlatform& p) { p.files.erase("/m/Foo.esp"); },
         "reading /m/Foo.esp\nfile does not exist!\npress enter...", 1, 1, false},
        {"upper-case extension", {"/m/Foo.ESP"}, [](FakePlatform& p) { p.files["/m/Foo.ESP"] = plugin(); },
         "reading /m/Foo.ESP\nunsupported file format!\npress enter...", 1, 1, false},
        {"output cannot be created", {"/m/Foo.esp"}, [](FakePlatform& p) { p.unwritable.insert("/m/Foo_ob.esp"); },
         "reading /m/Foo.esp\nerror saving file!\npress enter...", 1, 1, false},
        {"out of memory", {"/m/Foo.esp"}, [](FakePlatform& p) { p.outOfMemoryOn = "/m/Foo.esp"; },
         "reading /m/Foo.esp\nnot enough memory!\npress enter...", 1, 1, true},
        {"fault", {"/m/Foo.esp"}, [](FakePlatform& p) { p.faultOn = "/m/Foo.esp"; },
         "reading /m/Foo.esp\ninternal error: injected fault\npress enter...", 1, 1, false},
        {"size past the end", {"/m/Foo.esp"}, [](FakePlatform& p) { p.files["/m/Foo.esp"].pop_back(); },
         "Error parsing file!\npress enter...", 1, 1, true},
        {"no records", {"/m/Foo.esp"}, [](FakePlatform& p) { p.files["/m/Foo.esp"] = {'T', 'E', 'S', '3'}; },
         "no records in file!\nError parsing file!\npress enter...", 1, 1, true},
        {"converted", {"/m/Foo.esp", "ignored.esp"}, nullptr, "Save Done.\npress enter...", 0, 1, true},
        {"converted, no wait", {"--no-wait", "/m/Foo.esp"}, nullptr, "Save Done.\npress enter...", 0, 0, true},
        // Asked for help or the version, or a mistyped option: no banner, no wait, no file.
        {"help", {"/m/Foo.esp", "--help"}, nullptr, "master files\n  --help: this text\n  --version: the version\n"
         "Exit status: 0 when the plugin was written, 1 when it could not be, 2 for a wrong\ncommand line.\n", 0, 0, false},
        {"version", {"--version", "/m/Foo.esp"}, nullptr, "modshift (Lorewright) v0.93\n", 0, 0, false},
        {"unknown option", {"/m/Foo.esp", "--no-mesh"}, nullptr, "wrong\ncommand line.\n", 2, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePlatform p;
        p.put("/prog/meshshift.ini", kIni);
        p.files["/m/Foo.esp"] = plugin();
        if (row.setup)
            row.setup(p);
        std::vector<std::string> args = {"/prog/modshift"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        Outcome r = run(p, args);
        EXPECT_TRUE(r.out.ends_with(row.ending)) << r.out;
        const bool onlyPrints = std::ranges::any_of(row.args, [](auto& a) { return a.starts_with("--h") || a.starts_with("--v") || a == "--no-mesh"; });
        EXPECT_NE(r.out.starts_with(kBanner), onlyPrints) << r.out;
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.waits, row.waits);
        EXPECT_EQ(p.files.count("/m/Foo_ob.esp"), row.outputs ? 1u : 0u);
        EXPECT_EQ(p.files.count("/m/Foo_ob.log"), row.outputs ? 1u : 0u);
        if (row.outputs && row.status != 0) {
            EXPECT_TRUE(p.files["/m/Foo_ob.esp"].empty());
            EXPECT_TRUE(p.files["/m/Foo_ob.log"].empty());
        }
    }

    // Written at the start, refused at the end: a failure, with its log.
    UnwritableAtTheEnd p;
    p.put("/prog/meshshift.ini", kIni);
    p.files["/m/Foo.esp"] = plugin();
    Outcome r = run(p, {"/prog/modshift", "/m/Foo.esp"});
    EXPECT_TRUE(r.out.ends_with("teleport door\nerror saving file!\npress enter...")) << r.out;
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(p.files["/m/Foo_ob.log"].empty());
}

} // namespace
} // namespace lw::modshift
