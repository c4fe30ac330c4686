// modshift's run in-process against an in-memory platform: the names of a
// run and every way a run ends (message, exit status, waits, files left).

#include <gtest/gtest.h>

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

// The output can be made to fail only when the plugin is written, after its
// empty start.
struct Platform : FakePlatform {
    bool refuseSecondWrite = false;
    int writes = 0;
    bool writeFile(std::string_view path, const std::vector<std::uint8_t>& bytes) override
    {
        const bool refused = path == "/m/Foo_ob.esp" && ++writes == 2 && refuseSecondWrite;
        return !refused && FakePlatform::writeFile(path, bytes);
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
        std::function<void(Platform&)> setup;
        std::string ending; // console text the run ends with
        int status;
        int waits;
        bool outputs; // output and log exist
    };
    const std::vector<Row> rows = {
        {"no plugin", {}, nullptr, kBanner + "missing ESP/ESM/ESS file!\npress enter...", 2, 1, false},
        {"no configuration", {"/m/Foo.esp"}, [](Platform& p) { p.files.erase("/prog/meshshift.ini"); },
         "does not exist!\nerror parsing INI file\npress enter...", 1, 1, false},
        {"no input", {"/m/Foo.esp"}, [](Platform& p) { p.files.erase("/m/Foo.esp"); },
         "reading /m/Foo.esp\nfile does not exist!\npress enter...", 1, 1, false},
        {"upper-case extension", {"/m/Foo.ESP"}, [](Platform& p) { p.files["/m/Foo.ESP"] = plugin(); },
         "reading /m/Foo.ESP\nunsupported file format!\npress enter...", 1, 1, false},
        {"output cannot be created", {"/m/Foo.esp"}, [](Platform& p) { p.unwritable.insert("/m/Foo_ob.esp"); },
         "reading /m/Foo.esp\nerror saving file!\npress enter...", 1, 1, false},
        {"out of memory", {"/m/Foo.esp"}, [](Platform& p) { p.outOfMemoryOn = "/m/Foo.esp"; },
         "reading /m/Foo.esp\nnot enough memory!\npress enter...", 1, 1, true},
        {"fault", {"/m/Foo.esp"}, [](Platform& p) { p.faultOn = "/m/Foo.esp"; },
         "reading /m/Foo.esp\ninternal error: injected fault\npress enter...", 1, 1, false},
        {"size past the end", {"/m/Foo.esp"}, [](Platform& p) { p.files["/m/Foo.esp"].pop_back(); },
         "Error parsing file!\npress enter...", 1, 1, true},
        {"no records", {"/m/Foo.esp"}, [](Platform& p) { p.files["/m/Foo.esp"] = {'T', 'E', 'S', '3'}; },
         "no records in file!\nError parsing file!\npress enter...", 1, 1, true},
        {"output refused at the end", {"/m/Foo.esp"}, [](Platform& p) { p.refuseSecondWrite = true; },
         "teleport door\nerror saving file!\npress enter...", 1, 1, true},
        {"converted", {"/m/Foo.esp", "ignored.esp"}, nullptr, "Save Done.\npress enter...", 0, 1, true},
        {"converted, no wait", {"--no-wait", "/m/Foo.esp"}, nullptr, "Save Done.\npress enter...", 0, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Platform p;
        p.put("/prog/meshshift.ini", kIni);
        p.files["/m/Foo.esp"] = plugin();
        if (row.setup)
            row.setup(p);
        std::vector<std::string> args = {"/prog/modshift"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        Console console = Console::capturing("\n");
        EXPECT_EQ(runModshift(args, p, console), row.status);
        const std::string& out = console.captured();
        EXPECT_TRUE(out.ends_with(row.ending)) << out;
        EXPECT_TRUE(out.starts_with(kBanner)) << out;
        EXPECT_EQ(console.waits(), row.waits);
        EXPECT_EQ(p.files.count("/m/Foo_ob.esp"), row.outputs ? 1u : 0u);
        EXPECT_EQ(p.files.count("/m/Foo_ob.log"), row.outputs ? 1u : 0u);
        if (row.outputs) { // the empty start, and a log once the converters ran
            EXPECT_EQ(p.files["/m/Foo_ob.esp"].empty(), row.status != 0);
            EXPECT_EQ(p.files["/m/Foo_ob.log"].empty(), row.status != 0 && !p.refuseSecondWrite);
        }
    }
}

} // namespace
} // namespace lw::modshift
