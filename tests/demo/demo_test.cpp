// The demo as a user meets it (package_test.cmake does it with the unpacked
// package): the plugin converted with standard input closed, the summary
// checked against what the sample plugin holds, every mesh read back with the
// independent NIF 20.0.0.5 reader, the plugin with the TES4 walker, and a
// second conversion must give the same plugin bytes.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

#include "support/nif20_reader.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"
#include "support/tes4_reader.hpp"

namespace {

namespace fs = std::filesystem;
using lw::test::RunResult;
using lw::test::TempDir;

const fs::path kBuild = fs::path(LW_BIN_DIR).parent_path();

RunResult run(const fs::path& program, const std::vector<std::string>& args, const fs::path& dir)
{
    lw::test::RunOptions options;
    options.workingDir = dir;
    options.timeout = std::chrono::minutes(5);
    return lw::test::runProgram(program, args, options);
}

std::map<std::string, int> recordsPerType(const std::string& summary)
{
    std::map<std::string, int> counts;
    std::regex line(R"(\n    (\w{4})\s+(\d+))");
    for (std::sregex_iterator it(summary.begin(), summary.end(), line), end; it != end; ++it)
        counts[(*it)[1]] = std::stoi((*it)[2]);
    return counts;
}

class Demo : public ::testing::Test {
protected:
    static inline TempDir* dir = nullptr;
    static inline RunResult generate, convert, summary;

    static void SetUpTestSuite()
    {
        dir = new TempDir("demo");
        generate = run(lw::test::programPath(kBuild / "tools", "lw_demo_data"),
                       {"generate", (dir->path() / "demo").string(), LW_BIN_DIR}, dir->path());
        convert = run(lw::test::programPath(dir->path() / "demo" / "program", "modshift"),
                      {"Morrowind/Data Files/LorewrightDemo.esp"}, dir->path() / "demo");
        summary = run(lw::test::programPath(kBuild / "tools", "lw_demo_data"), {"summary", (dir->path() / "demo").string()},
                      dir->path());
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
};

TEST_F(Demo, ConvertsAndSumsUp)
{
    ASSERT_TRUE(generate.exitedWith(0)) << generate.describe() << generate.err;
    ASSERT_TRUE(convert.exitedWith(0)) << convert.describe();
    EXPECT_NE(convert.out.find("Save Done.\n"), std::string::npos) << convert.out;
    ASSERT_TRUE(summary.exitedWith(0)) << summary.describe() << summary.out;

    // What the sample plugin holds, type by type (markers and left-out
    // records are not written).
    const std::map<std::string, int> expected = {
        {"TES4", 1}, {"EYES", 3}, {"SOUN", 3}, {"LTEX", 2}, {"ACTI", 2}, {"ARMO", 2}, {"BOOK", 2},
        {"CONT", 1}, {"DOOR", 1}, {"LIGH", 2}, {"MISC", 2}, {"STAT", 4}, {"FLOR", 1}, {"WEAP", 1},
        {"NPC_", 4}, {"LVLC", 1}, {"REGN", 2}, {"WRLD", 1},
        // 2 interiors, the persistent world cell, 4 exterior cells x 4 quadrants.
        {"CELL", 19}, {"LAND", 16}};
    std::map<std::string, int> counts = recordsPerType(summary.out);
    for (const auto& [tag, n] : expected)
        EXPECT_EQ(counts[tag], n) << tag << "\n" << summary.out;
    // 13 meshes of the sample converted, and the 4 replacement armour meshes.
    EXPECT_NE(summary.out.find("17 meshes"), std::string::npos) << summary.out;
    EXPECT_NE(summary.out.find("2 sounds"), std::string::npos) << summary.out;
}

TEST_F(Demo, OutputsReadBackAndRepeatExactly)
{
    ASSERT_TRUE(convert.exitedWith(0)) << convert.describe();
    const fs::path plugin = dir->path() / "demo" / "Morrowind" / "Data Files" / "LorewrightDemo_ob.esp";
    const std::vector<std::uint8_t> first = lw::test::readFileBytes(plugin);
    lw::test::Tes4File file = lw::test::readTes4(first);
    EXPECT_TRUE(file.ok()) << file.error;
    EXPECT_EQ(file.headerCount, file.counted);

    int meshes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir->path() / "demo" / "Oblivion" / "Data")) {
        if (entry.path().extension() != ".nif")
            continue;
        ++meshes;
        lw::test::Nif20File nif = lw::test::readNif20(lw::test::readFileBytes(entry.path()));
        EXPECT_TRUE(nif.complete && nif.error.empty()) << entry.path() << ": " << nif.error;
        EXPECT_EQ(nif.version, 0x14000005u) << entry.path();
    }
    EXPECT_EQ(meshes, 17);

    // A second run over the same data: every mesh exists now, nothing is
    // copied again, and the plugin comes out byte for byte the same.
    RunResult again = run(lw::test::programPath(dir->path() / "demo" / "program", "modshift"),
                          {"Morrowind/Data Files/LorewrightDemo.esp"},
                          dir->path() / "demo");
    ASSERT_TRUE(again.exitedWith(0)) << again.describe();
    EXPECT_NE(again.out.find("already exists"), std::string::npos);
    EXPECT_EQ(lw::test::readFileBytes(plugin), first);
}

} // namespace
