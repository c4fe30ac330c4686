#pragma once
// Reads a TES4 plugin as the report needs it: every group and record, with its
// subrecords (oversized ones behind XXXX included) and compressed record data
// inflated. Every size is checked against what holds it; a damaged plugin is
// refused with a message that says where.
//
// File layout: a TES4 header record, then top-level groups.
//   record: tag(4) dataSize(4) flags(4) formId(4) lastWord(4) data[dataSize]
//   group:  "GRUP" groupSize(4, header included) label(4) type(4) stamp(4) children
//   subrecord: tag(4) length(2) data[length]; "XXXX" (length 4) gives the next
//   subrecord's 32-bit length, which then stands as 0.
//   compressed record (flag 0x40000): uncompressed size(4), zlib stream.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lw::report {

struct Field {
    std::string tag;
    std::vector<std::uint8_t> data;

    std::optional<std::uint32_t> u32(std::size_t at = 0) const;
    std::optional<float> f32(std::size_t at = 0) const;
    std::string text() const; // up to the first zero byte
};

struct Record {
    std::string tag;
    std::uint32_t flags = 0;
    std::uint32_t formId = 0;
    std::size_t offset = 0;
    std::vector<Field> fields;
    // Labels and types of the groups that hold the record, outermost first.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> groups;

    const Field* field(std::string_view tag, std::size_t nth = 0) const;
    // Whether the record stands in the top-level group of this record type.
    bool insideTopGroup(std::string_view groupTag) const;
};

struct Plugin {
    Record header;
    std::vector<Record> records; // in file order, header excluded
    std::size_t groupCount = 0;
    std::size_t topGroupCount = 0;
    std::size_t bytes = 0;
};

// The plugin, or nothing with `error` set.
std::optional<Plugin> readPlugin(std::span<const std::uint8_t> bytes, std::string& error);

} // namespace lw::report
