// Morrowind BSA archive, version 0x100. Layout (little-endian u32 throughout):
//
//   0            version (0x100)
//   4            H: size of the directory after this 12-byte header, up to the hash table
//   8            N: number of entries
//   12           N x (size, offset of the data from the start of the data section)
//   12 + 8N      N x offset of the entry's path in the name block
//   12 + 12N     name block: zero-terminated lower-case paths ("textures\x.dds")
//   12 + H       N x 8 bytes of hashes (not needed: entries are found by path)
//   12 + H + 8N  data section
//
// Every count and offset is checked against the file before anything is
// trusted, so a damaged archive is refused at open and no later read can leave
// the file.

#include "common/bsa/bsa_archive.hpp"

#include <new>

#include "common/console/console.hpp"
#include "common/io/byte_cursor.hpp"
#include "common/platform/platform.hpp"

namespace lw {

namespace {

constexpr std::uint32_t kVersion = 0x100;
constexpr std::uint32_t kMaxEntries = 15000;
constexpr std::uint64_t kHeaderSize = 12;

struct Entry {
    std::uint32_t size = 0;
    std::uint64_t position = 0; // absolute position of the data in the file
    std::size_t nameOffset = 0; // into the name block
    std::size_t nameLength = 0;
};

void lowerAscii(std::string& text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
}

} // namespace

struct BsaArchive::Impl {
    Platform& platform;
    Console& console;
    bool promptBeforeWait;
    std::string path;
    std::unique_ptr<RandomAccessFile> file;
    std::vector<Entry> entries;
    std::vector<std::uint8_t> names;

    void wait()
    {
        if (promptBeforeWait)
            console.print("press enter...");
        console.waitKey();
    }

    void reset()
    {
        file.reset();
        entries.clear();
        names.clear();
    }

    int refuseDamaged()
    {
        console.print("Damaged BSA file %s!\n", path.c_str());
        reset();
        wait();
        return -1;
    }

    std::string_view nameOf(const Entry& e) const
    {
        return {reinterpret_cast<const char*>(names.data()) + e.nameOffset, e.nameLength};
    }

    const Entry* find(std::string& entryPath) const
    {
        if (entries.empty())
            return nullptr;
        lowerAscii(entryPath);
        for (const Entry& e : entries) {
            if (nameOf(e) == entryPath)
                return &e;
        }
        return nullptr;
    }

    // The entry's bytes; nothing after the messages and the wait on failure.
    std::optional<std::vector<std::uint8_t>> load(const Entry& e)
    {
        std::optional<std::vector<std::uint8_t>> bytes;
        try {
            bytes = file->read(e.position, e.size);
        } catch (const std::bad_alloc&) {
            console.print("Not enough memory!\n");
            wait();
            return std::nullopt;
        }
        if (!bytes) {
            // The directory was checked at open: the file changed since.
            console.print("Damaged BSA file %s!\n", path.c_str());
            wait();
        }
        return bytes;
    }
};

BsaArchive::BsaArchive(Platform& platform, Console& console, bool promptBeforeWait)
    : impl_(new Impl{platform, console, promptBeforeWait, {}, {}, {}, {}})
{
}

BsaArchive::~BsaArchive()
{
    delete impl_;
}

int BsaArchive::open(const std::string& path)
{
    Impl& s = *impl_;
    s.reset();
    s.path = path;
    s.file = s.platform.openForReading(path);
    if (!s.file) {
        s.console.print("No BSA file %s\n", path.c_str());
        return -1;
    }
    const std::uint64_t fileSize = s.file->size();
    std::optional<std::vector<std::uint8_t>> header = s.file->read(0, fileSize < kHeaderSize ? fileSize : kHeaderSize);
    if (!header)
        return s.refuseDamaged();
    ByteCursor head{Bytes(*header)};
    const std::uint32_t version = head.u32();
    if (head.ok() && version != kVersion) {
        s.console.print("bad BSA file version!\n");
        s.reset();
        s.wait();
        return -1;
    }
    const std::uint32_t hashOffset = head.u32();
    const std::uint32_t count = head.u32();
    if (!head.ok())
        return s.refuseDamaged();
    if (count > kMaxEntries) {
        s.console.print("Too many files in BSA! (%i>%i)\n", static_cast<int>(count), static_cast<int>(kMaxEntries));
        s.reset();
        s.wait();
        return -1;
    }

    // The directory must fit: records and name offsets inside H, the hash
    // table after it, all inside the file.
    const std::uint64_t n = count;
    const std::uint64_t dataStart = kHeaderSize + std::uint64_t{hashOffset} + 8 * n;
    if (std::uint64_t{hashOffset} < 12 * n || dataStart > fileSize)
        return s.refuseDamaged();

    std::optional<std::vector<std::uint8_t>> directory;
    try {
        directory = s.file->read(kHeaderSize, hashOffset);
        if (directory) {
            s.entries.resize(count);
            s.names.assign(directory->begin() + static_cast<std::ptrdiff_t>(12 * n), directory->end());
        }
    } catch (const std::bad_alloc&) {
        s.console.print("Not enough memory!\n");
        s.reset();
        s.wait();
        return -1;
    }
    if (!directory)
        return s.refuseDamaged();

    ByteCursor records{Bytes(*directory)};
    for (Entry& e : s.entries) {
        e.size = records.u32();
        e.position = dataStart + records.u32();
        if (e.position + e.size > fileSize)
            return s.refuseDamaged();
    }
    for (Entry& e : s.entries) {
        const std::uint32_t nameOffset = records.u32();
        if (nameOffset >= s.names.size())
            return s.refuseDamaged();
        ByteCursor name{Bytes(s.names).subspan(nameOffset)};
        std::size_t length = 0;
        while (!name.atEnd() && name.u8() != 0)
            ++length;
        // The name must end with its zero byte inside the name block.
        if (nameOffset + length >= s.names.size())
            return s.refuseDamaged();
        e.nameOffset = nameOffset;
        e.nameLength = length;
    }
    if (!records.ok())
        return s.refuseDamaged();
    return 0;
}

void BsaArchive::close()
{
    impl_->reset();
}

bool BsaArchive::isOpen() const
{
    return impl_->file != nullptr;
}

std::size_t BsaArchive::entryCount() const
{
    return impl_->entries.size();
}

int BsaArchive::extract(std::string& entryPath, const std::string& destination)
{
    Impl& s = *impl_;
    const Entry* e = s.find(entryPath);
    if (!e)
        return -1;
    std::optional<std::vector<std::uint8_t>> bytes = s.load(*e);
    if (!bytes)
        return -1;
    if (!s.platform.writeFile(destination, *bytes)) {
        s.console.print("Can't create %s!\n", destination.c_str());
        s.wait();
        return -1;
    }
    return 0;
}

std::optional<std::vector<std::uint8_t>> BsaArchive::read(std::string& entryPath)
{
    Impl& s = *impl_;
    const Entry* e = s.find(entryPath);
    if (!e)
        return std::nullopt;
    return s.load(*e);
}

} // namespace lw
