// The system platform on a real temporary folder, with paths spelled the way
// the programs spell them: the folder itself, then "\" separators.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/platform/platform.hpp"
#include "support/temp_dir.hpp"

namespace lw {
namespace {

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
    EXPECT_EQ(platform->findFile(""), std::nullopt);
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

#else

TEST_F(PlatformTest, WindowsNamesPathsAndExitStatus)
{
    EXPECT_EQ(platform->meshConverterName(), "meshshift.exe");
    EXPECT_EQ(platform->nativePath("C:\\x\\y"), "C:\\x\\y");
    EXPECT_EQ(platform->runProcess(winPath("missing.exe") + " x"), std::nullopt);
    EXPECT_EQ(platform->runProcess("cmd.exe /c exit 3"), 3);
    EXPECT_EQ(platform->runProcess("cmd.exe /c exit -1"), -1); // as modshift sees it
    EXPECT_TRUE(platform->runProcess("cmd.exe /c echo shared console> \"" + winPath("out.txt") + "\""));
    EXPECT_EQ(dir.readText("out.txt"), "shared console\r\n");
}

#endif

} // namespace
} // namespace lw
