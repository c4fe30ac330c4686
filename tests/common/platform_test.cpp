#include <gtest/gtest.h>

#include <filesystem>

#include "common/platform/platform.hpp"
#include "support/temp_dir.hpp"

namespace lw {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> bytesOf(std::string_view text)
{
    return {text.begin(), text.end()};
}

class PlatformTest : public ::testing::Test {
protected:
    // A path inside the temporary folder spelled the way the programs spell
    // them: the folder itself, then "\" separators.
    std::string winPath(std::string_view relative) const
    {
        std::string path = dir.str();
        if (!relative.empty()) {
            path += '\\';
            path += relative;
        }
        return path;
    }

    test::TempDir dir{"lw-platform"};
    std::unique_ptr<Platform> platform = makeSystemPlatform();
};

TEST_F(PlatformTest, FindsFilesAndFoldersReportingTheirOwnName)
{
    dir.writeFile("Data Files/Textures/TX_Rock.dds", "rock");
    EXPECT_EQ(platform->findFile(winPath("Data Files\\Textures\\TX_Rock.dds")), "TX_Rock.dds");
    EXPECT_EQ(platform->findFile(winPath("data files\\textures\\tx_rock.DDS")), "TX_Rock.dds");
    EXPECT_EQ(platform->findFile(winPath("DATA FILES\\textures")), "Textures");
    EXPECT_EQ(platform->findFile(winPath("Data Files\\Textures\\TX_Rock.dd")), std::nullopt);
    EXPECT_EQ(platform->findFile(winPath("Data Files\\Textures\\*.dds")), std::nullopt);
    EXPECT_EQ(platform->findFile(""), std::nullopt);
    EXPECT_EQ(platform->readFile(winPath("DATA FILES/TEXTURES\\tx_rock.dds")), bytesOf("rock"));
}

#if !defined(_WIN32)

TEST_F(PlatformTest, ResolvesEachMissingComponentCaseInsensitivelyAndDeterministically)
{
    dir.makeDir("Data/Meshes/ABC");
    dir.makeDir("Data/Meshes/abc");
    dir.makeDir("Data/Meshes/Abc");
    dir.makeDir("Data/meshes");
    const std::string root = dir.str();
    // Exact spelling first, then the byte-wise smallest of the other spellings.
    EXPECT_EQ(platform->nativePath(winPath("Data\\Meshes\\abc")), root + "/Data/Meshes/abc");
    EXPECT_EQ(platform->nativePath(winPath("Data\\Meshes\\aBC")), root + "/Data/Meshes/ABC");
    EXPECT_EQ(platform->nativePath(winPath("DATA\\MESHES\\x")), root + "/Data/Meshes/x");
    EXPECT_EQ(platform->nativePath(winPath("data\\meshes")), root + "/Data/meshes");
    // Missing parts are kept as given, so the result can name a new file.
    EXPECT_EQ(platform->nativePath(winPath("DATA\\New\\Deeper\\f.nif")), root + "/Data/New/Deeper/f.nif");
    EXPECT_EQ(platform->nativePath(winPath("data\\.\\MESHES\\..\\meshes\\")), root + "/Data/./Meshes/../meshes/");
    EXPECT_EQ(platform->nativePath("relative\\x"), "relative/x");
}

class ProcessTest : public PlatformTest {
protected:
    // A shell script that records its arguments, one per line, and exits with `status`.
    std::string script(std::string_view relative, int status)
    {
        const fs::path file = dir.writeFile(relative, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\nexit " + std::to_string(status) + "\n");
        fs::permissions(file, fs::perms::owner_all);
        return file.string();
    }
};

TEST_F(ProcessTest, ReportsTheExitStatusAndPassesArguments)
{
    script("Tools/prog", 3);
    EXPECT_EQ(platform->runProcess(winPath("tools\\PROG") + " \"a b\" -d x\\y"), 3);
    EXPECT_EQ(dir.readText("Tools/prog.args"), "a b\n-d\nx\\y\n");
    script("zero", 0);
    EXPECT_EQ(platform->runProcess(winPath("zero")), 0);
    script("minus", 255); // a program that returns -1 shows as 255 here
    EXPECT_EQ(platform->runProcess(winPath("minus")), 255);
    EXPECT_EQ(platform->runProcess("/bin/sh -c \"kill -9 $$\""), 128 + 9);
}

#else

TEST_F(PlatformTest, WindowsNamesAndPaths)
{
    EXPECT_EQ(platform->meshConverterName(), "meshshift.exe");
    EXPECT_EQ(platform->nativePath("C:\\x\\y"), "C:\\x\\y");
    EXPECT_EQ(platform->runProcess(winPath("missing.exe") + " x"), std::nullopt);
}

TEST_F(PlatformTest, ReportsTheChildsExitStatus)
{
    EXPECT_EQ(platform->runProcess("cmd.exe /c exit 3"), 3);
    EXPECT_EQ(platform->runProcess("cmd.exe /c exit 0"), 0);
    // A program that ends with -1 reports -1, as modshift sees it.
    EXPECT_EQ(platform->runProcess("cmd.exe /c exit -1"), -1);
    EXPECT_TRUE(platform->runProcess("cmd.exe /c echo shared console> \"" + winPath("out.txt") + "\""));
    EXPECT_EQ(dir.readText("out.txt"), "shared console\r\n");
}

#endif

} // namespace
} // namespace lw
