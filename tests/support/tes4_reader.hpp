#pragma once
// An independent reader of TES4 plugins for tests, sharing no code with the
// program: it walks every byte, checks each group's size against its contents
// and its parent, each record's data size against its subrecords (XXXX size
// prefixes included) and a whole plugin's record count; the first problem
// found is kept as text (error), not thrown.

#include <bit>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lw::test {

struct Tes4Subrecord {
    std::string tag;
    std::size_t offset = 0;        // file offset of the subrecord header
    std::vector<std::uint8_t> data;

    std::size_t size() const { return data.size(); }
    // Fields at a byte offset inside the data; reading past the data throws.
    std::uint8_t u8(std::size_t pos = 0) const { return static_cast<std::uint8_t>(at(pos, 1)); }
    std::uint16_t u16(std::size_t pos = 0) const { return static_cast<std::uint16_t>(at(pos, 2)); }
    std::int16_t i16(std::size_t pos = 0) const { return static_cast<std::int16_t>(u16(pos)); }
    std::uint32_t u32(std::size_t pos = 0) const { return at(pos, 4); }
    std::int32_t i32(std::size_t pos = 0) const { return static_cast<std::int32_t>(u32(pos)); }
    float f32(std::size_t pos = 0) const { return std::bit_cast<float>(at(pos, 4)); }
    // The data up to its first zero byte (all of it when there is none).
    std::string text() const;
    // True when the data is a text followed by exactly one zero byte, its last.
    bool isZeroTerminatedText() const;

private:
    std::uint32_t at(std::size_t pos, int n) const; // little-endian, bounds-checked
};

struct Tes4Record {
    std::string tag;
    std::size_t offset = 0; // file offset of the 20-byte header
    std::uint32_t dataSize = 0, flags = 0, formId = 0, lastWord = 0;
    bool compressed = false;               // flag 0x40000: subrecords not read
    std::vector<std::uint8_t> data;        // the whole data after the header
    std::vector<Tes4Subrecord> subrecords; // empty when compressed

    // The n-th subrecord with this tag, or null.
    const Tes4Subrecord* field(std::string_view tag, std::size_t nth = 0) const;
    std::size_t count(std::string_view tag) const;
    // The subrecord tags in order, e.g. "EDID MODL OBND".
    std::string layout() const;
};

struct Tes4Entry;

struct Tes4Group {
    std::size_t offset = 0; // file offset of the 20-byte header
    std::uint32_t size = 0, label = 0, groupType = 0;
    std::vector<Tes4Entry> children; // records and groups, in file order

    std::string labelTag() const; // the label as four characters
    std::vector<const Tes4Record*> records() const; // direct children only
    std::vector<const Tes4Group*> groups() const;
    // Every record inside, at any depth, in file order.
    std::vector<const Tes4Record*> allRecords() const;
};

struct Tes4Entry {
    bool isGroup = false;
    Tes4Record record; // when !isGroup
    Tes4Group group;   // when isGroup
};

struct Tes4File {
    std::string error; // empty when every check passed
    bool ok() const { return error.empty(); }

    bool hasHeader = false;
    Tes4Record header; // the TES4 file header record
    std::vector<Tes4Entry> entries; // everything after the header, top level
    std::int64_t counted = 0;       // records and groups after the header
    int maxDepth = 0;               // deepest group nesting seen

    const Tes4Group* topGroup(std::string_view labelTag) const;
    std::vector<const Tes4Group*> topGroups() const;
    // Every record after the header, at any depth, in file order.
    std::vector<const Tes4Record*> allRecords(std::string_view tag = {}) const;
    const Tes4Record* byFormId(std::uint32_t formId) const;
};

// Reads a whole plugin: a TES4 header record first, then records and groups;
// checks the record count at offset 30 against what follows.
Tes4File readTes4(std::span<const std::uint8_t> bytes);
// Reads a sequence of records and groups with no file header (for writer
// output that has none); no count check.
Tes4File readTes4Body(std::span<const std::uint8_t> bytes);

} // namespace lw::test
