#pragma once
// A TES4 plugin reader sharing no code with the program: walks every byte,
// checks group, record and subrecord (XXXX) sizes and the record count; the
// first problem is kept in `error`, not thrown.

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
    // Little-endian at a byte offset; past the data throws.
    std::uint8_t u8(std::size_t pos = 0) const { return static_cast<std::uint8_t>(at(pos, 1)); }
    std::uint16_t u16(std::size_t pos = 0) const { return static_cast<std::uint16_t>(at(pos, 2)); }
    std::int16_t i16(std::size_t pos = 0) const { return static_cast<std::int16_t>(u16(pos)); }
    std::uint32_t u32(std::size_t pos = 0) const { return at(pos, 4); }
    std::int32_t i32(std::size_t pos = 0) const { return static_cast<std::int32_t>(u32(pos)); }
    float f32(std::size_t pos = 0) const { return std::bit_cast<float>(at(pos, 4)); }
    std::string text() const;          // up to the first zero byte
    bool isZeroTerminatedText() const; // one zero byte, the last

private:
    std::uint32_t at(std::size_t pos, int n) const;
};

struct Tes4Record {
    std::string tag;
    std::size_t offset = 0; // file offset of the 20-byte header
    std::uint32_t dataSize = 0, flags = 0, formId = 0, lastWord = 0;
    bool compressed = false;               // flag 0x40000: subrecords not read
    std::vector<std::uint8_t> data;        // the whole data after the header
    std::vector<Tes4Subrecord> subrecords; // empty when compressed

    const Tes4Subrecord* field(std::string_view tag, std::size_t nth = 0) const; // or null
    std::size_t count(std::string_view tag) const;
    std::string layout() const; // the tags in order, e.g. "EDID MODL OBND"
};

struct Tes4Entry;

struct Tes4Group {
    std::size_t offset = 0; // file offset of the 20-byte header
    std::uint32_t size = 0, label = 0, groupType = 0;
    std::vector<Tes4Entry> children; // records and groups, in file order

    std::string labelTag() const;
    std::vector<const Tes4Record*> records() const; // direct children only
    std::vector<const Tes4Group*> groups() const;
    std::vector<const Tes4Record*> allRecords() const; // at any depth, in file order
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
    std::vector<const Tes4Record*> allRecords(std::string_view tag = {}) const;
    const Tes4Record* byFormId(std::uint32_t formId) const;
};

Tes4File readTes4(std::span<const std::uint8_t> bytes);
// Records and groups with no file header and no count check.
Tes4File readTes4Body(std::span<const std::uint8_t> bytes);

} // namespace lw::test
