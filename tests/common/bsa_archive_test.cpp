#include <gtest/gtest.h>

#include "common/bsa/bsa_archive.hpp"
#include "common/console/console.hpp"
#include "common/io/byte_writer.hpp"
#include "common/platform/platform.hpp"
#include "support/bsa_builder.hpp"
#include "support/temp_dir.hpp"

namespace lw {
namespace {

using test::BsaBuilder;

std::vector<std::uint8_t> bytesOf(std::string_view text)
{
    return {text.begin(), text.end()};
}

class BsaArchiveTest : public ::testing::Test {
protected:
    // Writes the archive to disk and opens it in a modshift-style reader.
    int open(const std::vector<std::uint8_t>& image, bool prompt = false)
    {
        archivePath = dir.writeFile("Morrowind.bsa", image).string();
        console = Console::capturing(); // fresh text and wait count
        archive = std::make_unique<BsaArchive>(*platform, console, prompt);
        return archive->open(archivePath);
    }

    test::TempDir dir{"lw-bsa"};
    std::unique_ptr<Platform> platform = makeSystemPlatform();
    Console console = Console::capturing();
    std::unique_ptr<BsaArchive> archive;
    std::string archivePath;
};

TEST_F(BsaArchiveTest, FindsEntriesIgnoringCaseButNotSlashes)
{
    BsaBuilder bsa;
    bsa.add("meshes\\a.nif", "mesh a").add("textures\\tx_a.dds", "texture").add("meshes\\a.nif", "second copy");
    ASSERT_EQ(open(bsa.build()), 0);
    EXPECT_EQ(archive->entryCount(), 3u);
    EXPECT_TRUE(archive->isOpen());

    std::string query = "Textures\\TX_A.dds";
    auto bytes = archive->read(query);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, bytesOf("texture"));
    EXPECT_EQ(query, "textures\\tx_a.dds"); // lower-cased in place for the caller

    std::string first = "MESHES\\A.NIF";
    EXPECT_EQ(archive->read(first), bytesOf("mesh a")); // the first of equal names wins

    std::string slashed = "textures/tx_a.dds";
    EXPECT_FALSE(archive->read(slashed));
    EXPECT_EQ(archive->extract(slashed, (dir / "out.dds").string()), -1);
    EXPECT_FALSE(dir.exists("out.dds"));
    EXPECT_EQ(console.captured(), "");
    EXPECT_EQ(console.waits(), 0);

    archive->close();
    EXPECT_FALSE(archive->isOpen());
    std::string again = "TEXTURES\\TX_A.DDS";
    EXPECT_FALSE(archive->read(again));
    EXPECT_EQ(again, "TEXTURES\\TX_A.DDS"); // no archive: the query is left alone
}

TEST_F(BsaArchiveTest, ExtractReplacesTheDestinationAndReportsOneItCannotCreate)
{
    BsaBuilder bsa;
    bsa.add("icons\\x.tga", std::vector<std::uint8_t>{0, 1, 2, 0xFF}).add("empty.txt", "");
    ASSERT_EQ(open(bsa.build()), 0);

    dir.writeFile("x.tga", "an older, longer file");
    std::string entry = "ICONS\\X.TGA";
    EXPECT_EQ(archive->extract(entry, (dir / "x.tga").string()), 0);
    EXPECT_EQ(dir.readBytes("x.tga"), (std::vector<std::uint8_t>{0, 1, 2, 0xFF}));
    std::string empty = "empty.txt";
    EXPECT_EQ(archive->extract(empty, (dir / "empty.out").string()), 0);
    EXPECT_TRUE(dir.readBytes("empty.out").empty());

    // No folder is created for the destination.
    const std::string blocked = (dir / "no/such/folder/x.tga").string();
    EXPECT_EQ(archive->extract(entry, blocked), -1);
    EXPECT_EQ(console.captured(), "Can't create " + blocked + "!\n");
    EXPECT_EQ(console.waits(), 1);
}

TEST_F(BsaArchiveTest, EntryLimitIs15000)
{
    BsaBuilder full;
    full.addNumbered(15000);
    ASSERT_EQ(open(full.build()), 0);
    EXPECT_EQ(archive->entryCount(), 15000u);
    std::string last = "FILE14999";
    EXPECT_EQ(archive->read(last), bytesOf("14999"));

    full.add("one too many", "x");
    EXPECT_EQ(open(full.build(), true), -1);
    EXPECT_EQ(console.captured(), "Too many files in BSA! (15001>15000)\npress enter...");
    EXPECT_EQ(console.waits(), 1);
    EXPECT_EQ(archive->entryCount(), 0u);
    EXPECT_FALSE(archive->isOpen());
}

TEST_F(BsaArchiveTest, EmptyArchiveOpensAndFindsNothing)
{
    ASSERT_EQ(open(BsaBuilder().build()), 0);
    EXPECT_EQ(archive->entryCount(), 0u);
    std::string query = "Meshes\\A.nif";
    EXPECT_FALSE(archive->read(query));
    EXPECT_EQ(archive->extract(query, (dir / "a.nif").string()), -1);
    EXPECT_EQ(console.captured(), "");
}

TEST_F(BsaArchiveTest, OpenFailuresAndTheirWaits)
{
    // Missing: message, no wait; later lookups fail silently.
    BsaArchive reader(*platform, console, false);
    const std::string missing = (dir / "missing.bsa").string();
    EXPECT_EQ(reader.open(missing), -1);
    EXPECT_EQ(console.captured(), "No BSA file " + missing + "\n");
    EXPECT_EQ(console.waits(), 0);
    console.clearCaptured();
    std::string query = "a";
    EXPECT_EQ(reader.extract(query, (dir / "a").string()), -1);
    EXPECT_EQ(console.captured(), "");

    std::vector<std::uint8_t> image = BsaBuilder().add("a", "x").build();
    image[1] = 0x02; // version 0x200
    EXPECT_EQ(open(image), -1);
    EXPECT_EQ(console.captured(), "bad BSA file version!\n");
    EXPECT_EQ(console.waits(), 1);
    EXPECT_EQ(open(image, true), -1);
    EXPECT_EQ(console.captured(), "bad BSA file version!\npress enter...");
}

TEST_F(BsaArchiveTest, OpensAnArchiveWhosePathDiffersInCase)
{
    dir.writeFile("Data Files/Morrowind.bsa", BsaBuilder().add("a", "x").build());
    BsaArchive reader(*platform, console, false);
    EXPECT_EQ(reader.open((dir / "data files").string() + "\\MORROWIND.BSA"), 0);
    EXPECT_EQ(reader.entryCount(), 1u);
}

// A damaged directory must be refused at open with one message and a wait.
class DamagedBsaTest : public BsaArchiveTest {
protected:
    void expectRefused(const std::vector<std::uint8_t>& image, const char* what)
    {
        SCOPED_TRACE(what);
        EXPECT_EQ(open(image, true), -1);
        EXPECT_EQ(console.captured(), "Damaged BSA file " + archivePath + "!\npress enter...");
        EXPECT_EQ(console.waits(), 1);
        EXPECT_EQ(archive->entryCount(), 0u);
    }

    BsaBuilder sample()
    {
        BsaBuilder bsa;
        bsa.add("meshes\\a.nif", "aaaa").add("textures\\b.dds", "bbbbbbbb");
        return bsa;
    }
};

TEST_F(DamagedBsaTest, OffsetsOutsideTheFileAreRefused)
{
    const BsaBuilder bsa = sample();
    const std::vector<std::uint8_t> good = bsa.build();
    auto patched = [&](std::size_t at, std::uint32_t value) {
        std::vector<std::uint8_t> image = good;
        ByteWriter w(image);
        w.patchU32(at, value);
        return image;
    };

    expectRefused(patched(4, 0xFFFFFFF0), "directory size past the end");
    expectRefused(patched(4, 8), "directory smaller than its records");
    expectRefused(patched(8, 3), "more entries than the directory holds");
    expectRefused(patched(8, 14000), "many entries in a small file");
    expectRefused(patched(BsaBuilder::kRecordsAt + 8, 9), "entry size past the end");
    expectRefused(patched(BsaBuilder::kRecordsAt + 12, 0xFFFFFFFF), "data offset far past the end");
    expectRefused(patched(BsaBuilder::kRecordsAt + 8, 0xFFFFFFFF), "size overflowing 32 bits");
    expectRefused(patched(bsa.nameOffsetsAt() + 4, 0x7FFFFFFF), "name offset outside the name block");
    expectRefused(patched(bsa.nameOffsetsAt() + 4, static_cast<std::uint32_t>(bsa.hashesAt() - bsa.namesAt())),
                  "name offset at the end of the name block");

    std::vector<std::uint8_t> unterminated = good;
    unterminated[bsa.hashesAt() - 1] = 'x';
    expectRefused(unterminated, "last name without its zero byte");

    expectRefused(std::vector<std::uint8_t>{0x00, 0x01}, "shorter than the version");
    expectRefused(std::vector<std::uint8_t>{0x00, 0x01, 0, 0, 12, 0}, "header cut short");

    // The last entry's data ends exactly at the end of the file: fine.
    ASSERT_EQ(open(good), 0);
    std::string b = "textures\\b.dds";
    EXPECT_EQ(archive->read(b), bytesOf("bbbbbbbb"));
}

TEST_F(DamagedBsaTest, EveryTruncationAndByteFlipIsHandledCleanly)
{
    const BsaBuilder bsa = sample();
    const std::vector<std::uint8_t> good = bsa.build();
    // Cut anywhere before the last data byte: refused, never a crash.
    for (std::size_t size = 0; size < good.size(); ++size) {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        ASSERT_EQ(open(cut), -1) << "cut at " << size;
    }
    // Any single damaged directory byte either opens into entries that read
    // inside the file or is refused; either way reading stays in bounds.
    for (std::size_t at = 0; at < bsa.dataAt(); ++at) {
        for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0x7F}, std::uint8_t{0xFF}}) {
            std::vector<std::uint8_t> image = good;
            image[at] = value;
            if (open(image) != 0)
                continue;
            for (std::string name : {"meshes\\a.nif", "textures\\b.dds"}) {
                if (auto bytes = archive->read(name)) {
                    EXPECT_LE(bytes->size(), good.size());
                }
            }
        }
    }
}

TEST_F(DamagedBsaTest, AnArchiveThatShrinksAfterOpeningIsReported)
{
    ASSERT_EQ(open(sample().build(), true), 0);
    dir.writeFile("Morrowind.bsa", std::vector<std::uint8_t>(20, 0));
    std::string name = "textures\\b.dds";
    EXPECT_FALSE(archive->read(name));
    EXPECT_EQ(console.captured(), "Damaged BSA file " + archivePath + "!\npress enter...");
    EXPECT_EQ(archive->extract(name, (dir / "b.dds").string()), -1);
    EXPECT_FALSE(dir.exists("b.dds"));
}

} // namespace
} // namespace lw
