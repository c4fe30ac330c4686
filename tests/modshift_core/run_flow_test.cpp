// modshift's run in-process on the in-memory platform: its names, every way a
// run ends, and containers holding items of every converted type.
#include <gtest/gtest.h>

#include <functional>

#include "common/console/console.hpp"
#include "modshift/driver/run.hpp"
#include "modshift/driver/run_paths.hpp"
#include "modshift/tes3/identifiers.hpp"
#include "support/fake_platform.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace lw::modshift {
namespace {

using lw::test::FakePlatform;
using lw::test::Fields;
using lw::test::Tes3Builder;

const std::string kBanner = "Welcome in Lorewright v0.93\n\n";

// Can refuse the plugin's final write, after its empty start was written.
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
    // The run below covers the usual names; these are the edges it does not reach.
    EXPECT_EQ(programFolderOf("/modshift"), ""); // no separator after the first character
    EXPECT_EQ(pluginNameOf("mods/sub.dir/Foo.Bar.esm"), "Foo.Bar");
    EXPECT_EQ(outputPathOf("C:\\mods\\Foo.esm", PluginKind::Esm), "C:\\mods\\Foo_ob.esm");
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

// Each item keeps its place in the container, in NPCO order.
TEST(ContainerContents, EveryConvertedItemTypeKeepsItsPlace)
{
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        // contents; the top groups from BOOK up to DOOR
        {{"misc_a", "light_b", "weap_c", "book_d", "bonemold_chuzei_helm"}, {"BOOK", "DOOR"}},
        {{"book_d", "bonemold_chuzei_helm"}, {"BOOK", "CONT", "DOOR"}}, // nothing later: the container stays in place
    };
    for (const auto& [contents, groups] : cases) {
        FakePlatform p;
        p.exitStatus = 0; // every mesh converts
        p.put("/prog/meshshift.ini", "Morrowind=/mw\nArchive=M.bsa\nOblivion=/ob\nFolder=c\n");
        Tes3Builder b;
        b.header("me", "");
        b.record("MISC").text("NAME", "misc_a").text("MODL", "m.nif").sub("MCDT", Fields().f32(1).i32(2).u32(0)).end();
        b.record("LIGH").text("NAME", "light_b").text("MODL", "l.nif")
            .sub("LHDT", Fields().f32(1).i32(1).i32(-1).u32(128).u32(0).u32(0x2)).end();
        b.record("WEAP").text("NAME", "weap_c").text("MODL", "w.nif").sub("WPDT", Fields().zeros(32)).end();
        b.record("BOOK").text("NAME", "book_d").text("MODL", "b.nif").sub("BKDT", Fields().zeros(20)).end();
        b.record("ARMO").text("NAME", "bonemold_chuzei_helm").text("MODL", "a.nif").sub("AODT", Fields().zeros(24)).end();
        b.record("DOOR").text("NAME", "door_f").text("MODL", "d.nif").end();
        auto& chest = b.record("CONT").text("NAME", "chest").text("MODL", "c.nif");
        for (std::size_t i = 0; i < contents.size(); ++i)
            chest.sub("NPCO", Fields().i32(static_cast<std::int32_t>(i + 1)).fixed(contents[i], 32));
        p.files["/m/C.esp"] = b.bytes();
        Console console = Console::capturing();
        runModshift(std::vector<std::string>{"/prog/modshift", "/m/C.esp"}, p, console);
        lw::test::Tes4File f = lw::test::readTes4(p.files["/m/C_ob.esp"]);
        ASSERT_TRUE(f.ok()) << f.error << console.captured();
        auto records = f.allRecords("CONT");
        ASSERT_EQ(records.size(), 1u) << console.captured();
        ASSERT_EQ(records[0]->count("CNTO"), contents.size()) << console.captured();
        for (std::size_t i = 0; i < contents.size(); ++i) {
            const lw::test::Tes4Record* item = f.byFormId(records[0]->field("CNTO", i)->u32(0));
            ASSERT_NE(item, nullptr) << contents[i];
            EXPECT_EQ(item->field("EDID")->text(), "0" + convertIdentifier(contents[i]));
            EXPECT_EQ(records[0]->field("CNTO", i)->u32(4), i + 1);
        }
        std::vector<std::string> order;
        for (const lw::test::Tes4Group* g : f.topGroups())
            if ((g->labelTag() == "BOOK" || !order.empty()) && (order.empty() || order.back() != "DOOR"))
                order.push_back(g->labelTag());
        EXPECT_EQ(order, groups) << contents[0];
    }
}

} // namespace
} // namespace lw::modshift
