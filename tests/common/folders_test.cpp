#include <gtest/gtest.h>

#include "common/fs/folders.hpp"
#include "common/platform/platform.hpp"
#include "support/temp_dir.hpp"

namespace lw {
namespace {

// Records the folders asked for; touches nothing.
class RecordingPlatform final : public Platform {
public:
    std::vector<std::string> created;

    bool createDirectory(std::string_view path) override
    {
        created.emplace_back(path);
        return true;
    }
    std::string nativePath(std::string_view path) override { return std::string(path); }
    std::optional<std::string> findFile(std::string_view) override { return std::nullopt; }
    bool copyFileNoReplace(std::string_view, std::string_view) override { return false; }
    std::optional<std::vector<std::uint8_t>> readFile(std::string_view) override { return std::nullopt; }
    bool writeFile(std::string_view, const std::vector<std::uint8_t>&) override { return false; }
    std::optional<int> runProcess(std::string_view) override { return std::nullopt; }
    std::string_view meshConverterName() const override { return "meshshift"; }
};

using Folders = std::vector<std::string>;

TEST(CreateFolderPath, CreatesOutermostFirstAndSkipsTheDriveRoot)
{
    RecordingPlatform p;
    std::string path = "C:\\Data\\Meshes\\a\\b";
    createFolderPath(p, path);
    EXPECT_EQ(p.created, (Folders{"C:\\Data", "C:\\Data\\Meshes", "C:\\Data\\Meshes\\a", "C:\\Data\\Meshes\\a\\b"}));
    EXPECT_EQ(path, "C:\\Data\\Meshes\\a\\b");

    p.created.clear();
    std::string relative = "x\\y";
    createFolderPath(p, relative);
    EXPECT_EQ(p.created, (Folders{"x", "x\\y"}));
}

TEST(CreateFolderPath, RewritesSlashesInTheCallersText)
{
    RecordingPlatform p;
    std::string path = "D:/Oblivion/Data/textures/mw";
    createFolderPath(p, path);
    // The separator of the drive root is not a cut, so it stays as written.
    EXPECT_EQ(path, "D:/Oblivion\\Data\\textures\\mw");
    EXPECT_EQ(p.created, (Folders{"D:/Oblivion", "D:/Oblivion\\Data", "D:/Oblivion\\Data\\textures",
                                  "D:/Oblivion\\Data\\textures\\mw"}));
    std::string relative = "a/b/c";
    createFolderPath(p, relative);
    EXPECT_EQ(relative, "a\\b\\c");

    // A leading separator is a root, not a folder of its own.
    p.created.clear();
    std::string absolute = "/srv/data";
    createFolderPath(p, absolute);
    EXPECT_EQ(p.created, (Folders{"/srv", "/srv\\data"}));
    EXPECT_EQ(absolute, "/srv\\data");

    p.created.clear();
    std::string empty;
    createFolderPath(p, empty);
    EXPECT_TRUE(p.created.empty());
}

TEST(CreateFolderPath, CreatesForAFilePathOnlyTheFoldersInFront)
{
    RecordingPlatform p;
    std::string file = "out/meshes\\sub/rock.nif";
    createFoldersFor(p, file);
    EXPECT_EQ(p.created, (Folders{"out", "out\\meshes", "out\\meshes\\sub"}));
    EXPECT_EQ(file, "out\\meshes\\sub/rock.nif");

    p.created.clear();
    std::string bare = "rock.nif";
    createFoldersFor(p, bare);
    EXPECT_TRUE(p.created.empty());
}

TEST(CreateFolderPath, BuildsRealFoldersAndReusesThoseOfAnotherCase)
{
    test::TempDir dir("lw-folders");
    dir.makeDir("Data/Meshes");
    std::unique_ptr<Platform> platform = makeSystemPlatform();
    std::string path = dir.str() + "\\data\\meshes\\MW\\Clutter";
    createFolderPath(*platform, path);
    createFolderPath(*platform, path); // twice: nothing changes, nothing breaks
    EXPECT_TRUE(dir.exists("Data/Meshes/MW/Clutter"));
    // Listing files shows nothing; the folders themselves are what matters.
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Data/Meshes/MW/Clutter"));
#if !defined(_WIN32)
    EXPECT_FALSE(dir.exists("data"));
    EXPECT_FALSE(dir.exists("Data/meshes"));
#endif
}

} // namespace
} // namespace lw
