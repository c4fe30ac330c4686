// End-to-end runs of the built modshift from a temporary program folder (a
// copy of the build's program folder), with standard input from the null
// device: exit status, console text and the plugin it writes, read back with
// the independent TES4 walker.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"
#include "support/tes3_builder.hpp"
#include "support/tes4_reader.hpp"

namespace {

namespace fs = std::filesystem;
using lw::test::Fields;
using lw::test::RunResult;
using lw::test::TempDir;
using lw::test::Tes3Builder;

const std::string kBanner = "Welcome in Lorewright v0.93\n\n";

class ModshiftRun : public ::testing::Test {
protected:
    TempDir dir{"modshift-run"};
    fs::path prog;

    void SetUp() override
    {
        prog = dir.makeDir("prog");
        fs::copy(LW_BIN_DIR, prog, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        fs::remove(prog / "meshshift.ini");
        dir.makeDir("mw/Data Files");
        dir.makeDir("ob/Data");
        writeIni();
    }

    void writeIni()
    {
        dir.writeFile("prog/meshshift.ini", "Morrowind=" + (dir / "mw/Data Files").string() +
                                                "\nArchive=Morrowind.bsa\nOblivion=" +
                                                (dir / "ob/Data").string() + "\nFolder=conv\n");
    }

    RunResult run(const std::vector<std::string>& args)
    {
        lw::test::RunOptions options;
        options.workingDir = dir.path();
        options.timeout = std::chrono::seconds(60);
        RunResult r = lw::test::runProgram(lw::test::programPath(prog, "modshift"), args, options);
        EXPECT_TRUE(r.exitedWith(0)) << r.describe();
        return r;
    }
};

std::vector<std::uint8_t> smallPlugin(std::string_view author, std::string_view description)
{
    // Records no converter writes anything for: the output holds what every
    // run writes, and nothing of this plugin beyond its header.
    Tes3Builder b;
    b.header(author, description, 2);
    b.record("GMST").text("NAME", "sWhatever").sub("STRV", Fields().chars("x")).end();
    b.record("SCPT").sub("SCHD", Fields().fixed("noop", 52)).end();
    return b.bytes();
}

void expectEndsWith(const std::string& text, const std::string& tail)
{
    ASSERT_GE(text.size(), tail.size()) << text;
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
}

TEST_F(ModshiftRun, MissingArgument)
{
    RunResult r = run({});
    EXPECT_EQ(r.out, kBanner + "missing ESP/ESM/ESS file!\npress enter...");
}

TEST_F(ModshiftRun, MissingConfiguration)
{
    fs::remove(prog / "meshshift.ini");
    RunResult r = run({"Foo.esp"});
    // The program folder as modshift cuts it from its own path, separator included.
    const std::string self = lw::test::programPath(prog, "modshift").string();
    std::string ini = self.substr(0, self.find_last_of("\\/") + 1) + "meshshift.ini";
    EXPECT_EQ(r.out, kBanner + "ini file " + ini + " does not exist!\nerror parsing INI file\npress enter...");
}

TEST_F(ModshiftRun, MissingInputAndWrongExtension)
{
    RunResult missing = run({"Foo.esp"});
    EXPECT_EQ(missing.out, kBanner + "reading Foo.esp\nfile does not exist!\npress enter...");

    dir.writeFile("Foo.ESP", smallPlugin("a", "b"));
    RunResult upper = run({"Foo.ESP"});
    EXPECT_EQ(upper.out, kBanner + "reading Foo.ESP\nunsupported file format!\npress enter...");
    EXPECT_FALSE(dir.exists("Foo_ob.ESP"));
    EXPECT_FALSE(dir.exists("Foo_ob.esp"));
    EXPECT_FALSE(dir.exists("Foo_ob.log"));
}

TEST_F(ModshiftRun, ParseFailureLeavesEmptyOutputAndLog)
{
    Tes3Builder b;
    b.header("me", "");
    b.record("STAT").subWithSize("NAME", 100, Fields().u8('x')).end();
    dir.writeFile("mods/Bad.esp", b.bytes());
    RunResult r = run({"mods/Bad.esp"});
    EXPECT_EQ(r.out, kBanner +
                         "reading mods/Bad.esp\nParsing Mod file\n"
                         "  size past end NAME(3), size=100, prev=-1, parent=2, left=-99\n"
                         "Error parsing file!\npress enter...");
    ASSERT_TRUE(dir.exists("mods/Bad_ob.esp"));
    EXPECT_TRUE(dir.readBytes("mods/Bad_ob.esp").empty());
    ASSERT_TRUE(dir.exists("mods/Bad_ob.log"));
    EXPECT_TRUE(dir.readBytes("mods/Bad_ob.log").empty());

    // A size past the end of the plugin is refused the same way.
    Tes3Builder cut;
    cut.header("me", "");
    cut.record("STAT").text("NAME", "rock").endWithSize(5000);
    dir.writeFile("mods/Cut.esp", cut.bytes());
    RunResult c = run({"mods/Cut.esp"});
    EXPECT_NE(c.out.find("Parsing Mod file\nsize past end STAT(2), size=5000"), std::string::npos)
        << c.out;
    expectEndsWith(c.out, "Error parsing file!\npress enter...");
    EXPECT_TRUE(dir.readBytes("mods/Cut_ob.esp").empty());
}

TEST_F(ModshiftRun, ConvertsAPluginIntoAWellFormedTes4Plugin)
{
    dir.writeFile("mods/Foo.esp", smallPlugin("Olaf", ""));
    RunResult r = run({"mods/Foo.esp"});
    std::string head = kBanner + "reading mods/Foo.esp\nParsing Mod file\nSaving file\nsaving...\n";
    EXPECT_EQ(r.out.substr(0, head.size()), head);
    EXPECT_NE(r.out.find("\nSaving file Header\nheader size=62\n"), std::string::npos) << r.out;
    expectEndsWith(r.out, "0 teleport door\nSave Done.\npress enter...");

    ASSERT_TRUE(dir.exists("mods/Foo_ob.esp"));
    ASSERT_TRUE(dir.exists("mods/Foo_ob.log"));
    EXPECT_TRUE(dir.readBytes("mods/Foo_ob.log").empty());
    std::vector<std::uint8_t> bytes = dir.readBytes("mods/Foo_ob.esp");
    auto f = lw::test::readTes4(bytes);
    ASSERT_TRUE(f.ok()) << f.error;

    // The file header, byte for byte.
    const std::vector<std::uint8_t> header = {
        'T', 'E', 'S', '4', 62, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        'H', 'E', 'D', 'R', 12, 0, 0, 0, 0x80, 0x3F};
    ASSERT_GE(bytes.size(), 82u);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), bytes.begin()));
    std::vector<std::uint8_t> rest(bytes.begin() + 34, bytes.begin() + 82);
    const std::vector<std::uint8_t> expectedRest = {
        0, 0, 0, 0, 'C', 'N', 'A', 'M', 5, 0, 'O', 'l', 'a', 'f', 0,
        'M', 'A', 'S', 'T', 13, 0, 'O', 'b', 'l', 'i', 'v', 'i', 'o', 'n', '.', 'e', 's', 'm', 0,
        'D', 'A', 'T', 'A', 8, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(rest, expectedRest);

    // The count at offset 30 is what follows the header; the reader checked it
    // against the records and groups it walked.
    std::uint32_t count = bytes[30] | bytes[31] << 8 | bytes[32] << 16 | static_cast<std::uint32_t>(bytes[33]) << 24;
    EXPECT_EQ(static_cast<std::int64_t>(count), f.counted);
    // Only top-level groups follow the header, and new records number upwards
    // from the first identifier in file order.
    for (const auto& e : f.entries)
        EXPECT_TRUE(e.isGroup);
    std::uint32_t next = 0x01000CE6;
    for (const auto* rec : f.allRecords()) {
        if (rec->formId >= 0x01000000u) {
            EXPECT_EQ(rec->formId, next++) << rec->tag;
        }
    }
}

TEST_F(ModshiftRun, EsmOutputAndRepeatability)
{
    dir.writeFile("Foo.esm", smallPlugin("", ""));
    dir.writeFile("Foo.esp", smallPlugin("", ""));
    RunResult a = run({"Foo.esm"});
    expectEndsWith(a.out, "Save Done.\npress enter...");
    ASSERT_TRUE(dir.exists("Foo_ob.esm"));
    ASSERT_TRUE(dir.exists("Foo_ob.log"));
    std::vector<std::uint8_t> esm = dir.readBytes("Foo_ob.esm");
    auto f = lw::test::readTes4(esm);
    ASSERT_TRUE(f.ok()) << f.error;
    EXPECT_EQ(f.header.flags, 0u);
    EXPECT_EQ(f.header.layout(), "HEDR CNAM MAST DATA");
    EXPECT_EQ(f.header.field("CNAM")->text(), "DEFAULT");
    EXPECT_EQ(f.header.dataSize, 65u);
    EXPECT_EQ(f.header.count("MAST"), 1u);

    // Same input, same bytes: the .esp output of the same plugin and a second
    // run of the .esm are identical to the first.
    RunResult b = run({"Foo.esp"});
    EXPECT_EQ(dir.readBytes("Foo_ob.esp"), esm);
    RunResult again = run({"Foo.esm"});
    EXPECT_EQ(dir.readBytes("Foo_ob.esm"), esm);
}

TEST_F(ModshiftRun, ProgramFoundThroughTheSearchPathFindsItsOwnFolder)
{
#ifdef _WIN32
    GTEST_SKIP() << "started through the POSIX shell only";
#else
    // argv[0] is the bare name "modshift"; the working folder holds no
    // meshshift.ini, so only the program's real folder can provide it.
    dir.writeFile("Foo.esp", smallPlugin("a", ""));
    lw::test::RunOptions options;
    options.workingDir = dir.path();
    options.timeout = std::chrono::seconds(60);
    RunResult r = lw::test::runProgram(
        "/bin/sh", {"-c", "PATH=\"" + prog.string() + ":$PATH\" exec modshift Foo.esp"}, options);
    ASSERT_TRUE(r.exitedWith(0)) << r.describe();
    expectEndsWith(r.out, "Save Done.\npress enter...");
    EXPECT_TRUE(dir.exists("Foo_ob.esp"));
#endif
}

TEST_F(ModshiftRun, LongPathsAreNotCut)
{
    std::string folder = "mods";
    for (int i = 0; i < 6; ++i)
        folder += "/" + std::string(40, static_cast<char>('a' + i));
    std::string input = folder + "/" + std::string(90, 'P') + ".esp";
    ASSERT_GT(input.size(), 300u);
    dir.writeFile(input, smallPlugin("x", "y"));
    RunResult r = run({input});
    expectEndsWith(r.out, "Save Done.\npress enter...");
    std::string output = input.substr(0, input.size() - 4) + "_ob.esp";
    ASSERT_TRUE(dir.exists(output));
    EXPECT_TRUE(dir.exists(input.substr(0, input.size() - 4) + "_ob.log"));
    auto f = lw::test::readTes4(dir.readBytes(output));
    EXPECT_TRUE(f.ok()) << f.error;
}

} // namespace
