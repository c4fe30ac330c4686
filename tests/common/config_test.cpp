#include <gtest/gtest.h>

#include "common/config/config.hpp"
#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "support/temp_dir.hpp"

namespace lw {
namespace {

class ConfigTest : public ::testing::Test {
protected:
    // Writes `text` as the configuration file and reads it back.
    int read(std::string_view text)
    {
        const std::string file = dir.writeFile("meshshift.ini", text).string();
        console.clearCaptured();
        return readConfig(*platform, console, file, config);
    }

    test::TempDir dir{"lw-config"};
    std::unique_ptr<Platform> platform = makeSystemPlatform();
    Console console = Console::capturing();
    Config config;
};

TEST_F(ConfigTest, ReadsFourValuesByPositionWithCrLfOrLf)
{
    const char* const crlf = "Morrowind=C:\\Games\\Morrowind\\Data Files\r\n"
                             "BSA=Morrowind.bsa\r\n"
                             "Oblivion=C:\\Games\\Oblivion\\Data\r\n"
                             "Subfolder=mw";
    ASSERT_EQ(read(crlf), 0);
    EXPECT_EQ(config.sourceData, "C:\\Games\\Morrowind\\Data Files");
    EXPECT_EQ(config.archiveName, "Morrowind.bsa");
    EXPECT_EQ(config.targetData, "C:\\Games\\Oblivion\\Data");
    EXPECT_EQ(config.assetSubfolder, "mw");
    EXPECT_EQ(config.archivePath(), "C:\\Games\\Morrowind\\Data Files\\Morrowind.bsa");
    EXPECT_EQ(console.captured(), "");

    const Config first = config;
    std::string lf = crlf;
    for (std::size_t at; (at = lf.find('\r')) != std::string::npos;)
        lf.erase(at, 1);
    ASSERT_EQ(read(lf + "\n"), 0);
    EXPECT_EQ(config.sourceData, first.sourceData);
    EXPECT_EQ(config.archiveName, first.archiveName);
    EXPECT_EQ(config.targetData, first.targetData);
    EXPECT_EQ(config.assetSubfolder, first.assetSubfolder);
}

TEST_F(ConfigTest, ValuesAreTakenVerbatimUpToAControlOrHighByte)
{
    // Labels and lines without "=" are skipped unread; blanks stay in values;
    // a "=" inside a value belongs to it; empty values are fine.
    ASSERT_EQ(read("; comment line\n"
                   "anything at all = /data/mw \n"
                   "\n"
                   "x=a=b\tignored=\n"
                   "y=\n"
                   "z=sub\ntrailing text=ignored\n"),
              0);
    EXPECT_EQ(config.sourceData, " /data/mw ");
    EXPECT_EQ(config.archiveName, "a=b");
    // The text after the TAB is skipped like a label: its "=" opens value 3.
    EXPECT_EQ(config.targetData, "");
    EXPECT_EQ(config.assetSubfolder, "");

    ASSERT_EQ(read("a=caf\xE9 cr\xE8me\nb=x\nc=y\nd=z\xFF"), 0);
    EXPECT_EQ(config.sourceData, "caf");
    EXPECT_EQ(config.archiveName, "x");
    EXPECT_EQ(config.assetSubfolder, "z");
    // A byte above 0x7F ends a value like a line end: the scan goes on after it.
    ASSERT_EQ(read("a=x\x80=second\nb=third\nc=fourth\n"), 0);
    EXPECT_EQ(config.sourceData, "x");
    EXPECT_EQ(config.archiveName, "second");
    EXPECT_EQ(config.targetData, "third");
    EXPECT_EQ(config.assetSubfolder, "fourth");
}

TEST_F(ConfigTest, IncompleteFilesFailWithoutAMessage)
{
    EXPECT_EQ(read("a=1\nb=2\nc=3\n"), -1);
    EXPECT_EQ(console.captured(), "");
    EXPECT_EQ(config.sourceData, "1");
    EXPECT_EQ(config.targetData, "3");
    EXPECT_EQ(config.assetSubfolder, "");

    // The third value runs to the end of the file: refused.
    EXPECT_EQ(read("a=1\nb=2\nc=3"), -1);
    EXPECT_EQ(config.archiveName, "2");
    EXPECT_EQ(config.targetData, "");
    EXPECT_EQ(read(""), -1);
    EXPECT_EQ(read("no equals sign at all\n"), -1);
    EXPECT_EQ(console.captured(), "");

    // A zero byte ends the text as the end of the file would.
    EXPECT_EQ(read(std::string("a=1\nb=2\nc=3", 11) + std::string(1, '\0') + "\nd=4\n"), -1);
    ASSERT_EQ(read(std::string("a=1\nb=2\nc=3\nd=4") + std::string(1, '\0') + "junk"), 0);
    EXPECT_EQ(config.assetSubfolder, "4");
}

TEST_F(ConfigTest, SizeLimitIs2048Bytes)
{
    const std::string head = "a=1\nb=2\nc=3\nd=";
    std::string text = head + std::string(2048 - head.size(), 'v');
    ASSERT_EQ(text.size(), 2048u);
    ASSERT_EQ(read(text), 0);
    EXPECT_EQ(config.assetSubfolder.size(), 2048 - head.size());

    EXPECT_EQ(read(text + "v"), -1);
    EXPECT_EQ(console.captured(), "meshshift.ini too big!\n");
    EXPECT_EQ(config.sourceData, "");
}

TEST_F(ConfigTest, MissingFileIsReported)
{
    const std::string missing = (dir / "nowhere.ini").string();
    EXPECT_EQ(readConfig(*platform, console, missing, config), -1);
    EXPECT_EQ(console.captured(), "ini file " + missing + " does not exist!\n");
    EXPECT_EQ(console.waits(), 0); // the caller decides about the wait
}

} // namespace
} // namespace lw
