// Archive lookups, the configuration file, folder creation and command lines
// on the in-memory platform; the system platform on a real temporary folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/bsa/bsa_archive.hpp"
#include "common/config/config.hpp"
#include "common/console/console.hpp"
#include "common/fs/folders.hpp"
#include "common/platform/platform.hpp"
#include "support/bsa_builder.hpp"
#include "support/fake_platform.hpp"
#include "support/temp_dir.hpp"

namespace lw {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

TEST(BsaArchive, LooksUpNamesInAnyCaseButNotWithOtherSlashes)
{
    test::FakePlatform platform;
    Console console = Console::capturing();
    test::BsaBuilder bsa;
    bsa.add("meshes\\a.nif", "mesh a").add("textures\\tx_z_az.dds", "z").add("meshes\\a.nif", "second copy");
    const std::vector<std::uint8_t> good = bsa.build();
    platform.files["M.bsa"] = good;
    BsaArchive archive(platform, console, false);
    ASSERT_EQ(archive.open("M.bsa"), 0);
    const std::vector<std::pair<std::string, std::optional<std::string>>> lookups = {
        {"Textures\\TX_Z_AZ.DDS", "z"}, {"textures\\tx_z_az.dds", "z"}, {"MESHES\\A.NIF", "mesh a"},
        {"textures/tx_z_az.dds", std::nullopt}, {"textures\\tx_z_a.dds", std::nullopt}};
    for (auto [name, expected] : lookups)
        EXPECT_EQ(archive.read(name), expected ? std::optional(bytesOf(*expected)) : std::nullopt) << name;
    EXPECT_EQ(console.captured(), "");

    // Every cut short archive is refused cleanly; the whole one opens.
    for (std::size_t size = 0; size < good.size(); ++size) {
        platform.files["M.bsa"].assign(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        ASSERT_EQ(archive.open("M.bsa"), -1) << "cut at " << size;
    }
}

TEST(Config, FourValuesByPosition)
{
    struct Row {
        std::string text;
        int result;
        std::array<std::string, 4> values;
    };
    const std::vector<Row> rows = {
        {"Morrowind=C:\\Mw\\Data Files\r\nBSA=Morrowind.bsa\r\nOblivion=C:\\Ob\\Data\r\nSubfolder=mw", 0,
         {"C:\\Mw\\Data Files", "Morrowind.bsa", "C:\\Ob\\Data", "mw"}},
        {"; comment\nany = /data/mw \n\nx=a=b\ny=\nz=sub\n", 0, {" /data/mw ", "a=b", "", "sub"}},
        {"a=caf\xE9 cr\xE8me\nb=x\nc=y\nd=z\xFF", 0, {"caf", "x", "y", "z"}},
        {"a=x\x80=second\nb=third\nc=fourth\n", 0, {"x", "second", "third", "fourth"}},
        {"a=1\nb=2\nc=3\n", -1, {"1", "2", "3", ""}},
        {"a=1\nb=2\nc=3", -1, {"1", "2", "", ""}},
        {"a=1\nb=2\nc=3\nd=4" + std::string(1, '\0') + "junk", 0, {"1", "2", "3", "4"}},
        {"a=1\nb=2\nc=3\nd=" + std::string(2048 - 14, 'v'), 0, {"1", "2", "3", std::string(2048 - 14, 'v')}},
        {"a=1\nb=2\nc=3\nd=" + std::string(2049 - 14, 'v'), -1, {"", "", "", ""}},
    };
    for (const Row& row : rows) {
        test::FakePlatform platform;
        Console console = Console::capturing();
        platform.put("lw.ini", row.text);
        Config config;
        EXPECT_EQ(readConfig(platform, console, "lw.ini", config), row.result) << row.text;
        const std::array<std::string, 4> values = {config.sourceData, config.archiveName, config.targetData,
                                                   config.assetSubfolder};
        EXPECT_EQ(values, row.values) << row.text;
    }
}

TEST(CreateFolderPath, OutermostFirstAtEitherSlash)
{
    using Folders = std::vector<std::string>;
    const std::vector<std::tuple<std::string, Folders, std::string>> rows = {
        {"C:\\Data\\Meshes\\a", {"C:\\Data", "C:\\Data\\Meshes", "C:\\Data\\Meshes\\a"}, "C:\\Data\\Meshes\\a"},
        {"D:/Ob/Data", {"D:/Ob", "D:/Ob\\Data"}, "D:/Ob\\Data"},
        {"/srv/data", {"/srv", "/srv\\data"}, "/srv\\data"},
        {"", {}, ""},
    };
    for (const auto& [path, folders, rewritten] : rows) {
        test::FakePlatform platform;
        std::string text = path;
        createFolderPath(platform, text);
        EXPECT_EQ(platform.folders, folders) << path;
        EXPECT_EQ(text, rewritten) << path;
    }
}

TEST(SplitCommandLine, QuotesBlanksAndBackslashes)
{
    using Args = std::vector<std::string>;
    const std::vector<std::pair<std::string, Args>> rows = {
        {"P:\\prog\\meshshift.exe \"w\\a b.nif\" -m 5 -d W\\a.nif",
         {"P:\\prog\\meshshift.exe", "w\\a b.nif", "-m", "5", "-d", "W\\a.nif"}},
        {"  p\t a  \"\" x", {"p", "a", "", "x"}},
        {"p a\"b c\"d \"say \"\"hi\"\"\"", {"p", "ab cd", "say \"hi\""}},
        {"p a\\\\b a\\\"b a\\\\\"b c\"", {"p", "a\\\\b", "a\"b", "a\\b c"}},
        {"C:\\lw\\\"quoted part\"\\m.exe x", {"C:\\lw\\quoted part\\m.exe", "x"}},
    };
    for (const auto& [line, args] : rows)
        EXPECT_EQ(splitCommandLine(line), args) << line;
}

// Paths spelled the way the programs spell them: the folder, then "\" separators.
struct PlatformTest : ::testing::Test {
    std::string winPath(std::string_view relative) const { return dir.str() + "\\" + std::string(relative); }

    test::TempDir dir{"lw-platform"};
    std::unique_ptr<Platform> platform = makeSystemPlatform();
};

TEST_F(PlatformTest, FindsFilesAndFoldersReportingTheirOwnName)
{
    dir.writeFile("Data Files/Textures/TX_Rock.dds", "rock");
    const std::vector<std::pair<std::string, std::optional<std::string>>> rows = {
        {"Data Files\\Textures\\TX_Rock.dds", "TX_Rock.dds"}, {"data files\\textures\\tx_rock.DDS", "TX_Rock.dds"},
        {"DATA FILES\\textures", "Textures"}, {"Data Files\\Textures\\TX_Rock.dd", std::nullopt},
        {"Data Files\\Textures\\*.dds", std::nullopt}};
    for (const auto& [path, found] : rows)
        EXPECT_EQ(platform->findFile(winPath(path)), found) << path;
    EXPECT_EQ(platform->readFile(winPath("DATA FILES/TEXTURES\\tx_rock.dds")),
              (std::vector<std::uint8_t>{'r', 'o', 'c', 'k'}));
}

#if !defined(_WIN32)

TEST_F(PlatformTest, ResolvesEachMissingComponentCaseInsensitivelyAndDeterministically)
{
    for (const char* folder : {"Data/Meshes/ABC", "Data/Meshes/abc", "Data/Meshes/Abc", "Data/meshes"})
        dir.makeDir(folder);
    // Exact spelling first, then the byte-wise smallest of the other spellings;
    // missing parts are kept as given, so the result can name a new file.
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"Data\\Meshes\\abc", "/Data/Meshes/abc"}, {"Data\\Meshes\\aBC", "/Data/Meshes/ABC"},
        {"DATA\\MESHES\\x", "/Data/Meshes/x"}, {"data\\meshes", "/Data/meshes"},
        {"DATA\\New\\Deeper\\f.nif", "/Data/New/Deeper/f.nif"},
        {"data\\.\\MESHES\\..\\meshes\\", "/Data/./Meshes/../meshes/"}};
    for (const auto& [path, native] : rows)
        EXPECT_EQ(platform->nativePath(winPath(path)), dir.str() + native) << path;
    EXPECT_EQ(platform->nativePath("relative\\x"), "relative/x");
}

TEST_F(PlatformTest, ReportsTheExitStatusAndPassesArguments)
{
    for (const auto& [name, status] : std::vector<std::pair<std::string, int>>{{"Tools/prog", 3}, {"minus", 255}}) {
        const std::filesystem::path file = dir.writeFile(name, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; "
                                                               "done > \"$0.args\"\nexit " + std::to_string(status) + "\n");
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    }
    EXPECT_EQ(platform->runProcess(winPath("tools\\PROG") + " \"a b\" -d x\\y"), 3);
    EXPECT_EQ(dir.readText("Tools/prog.args"), "a b\n-d\nx\\y\n");
    EXPECT_EQ(platform->runProcess(winPath("minus")), 255); // a program that returns -1 shows as 255 here
    EXPECT_EQ(platform->runProcess("/bin/sh -c \"kill -9 $$\""), 128 + 9);
}

#endif

} // namespace
} // namespace lw
