// The TES4 file header record, first in every plugin written:
//
//   "TES4" size:u32 flags:u32(0) formId:u32(0) 0:u32
//   HEDR(12)  version:f32(1.0) recordCount:u32 nextObjectId:u32(0)
//   [CNAM author\0]  [SNAM description\0]  MAST "Oblivion.esm\0"  DATA(8 zero bytes)
//
// Author and description come from the source plugin's HEDR (the last one in
// the tree): author at byte 8 in a 32-byte field, description at byte 40 in a
// 256-byte field. A field without a zero byte is cut at its own end rather than
// running into the next field. The record count is written as 0 and patched
// once every converter has run; it is not counted itself.

#include <string>

#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"

namespace lw::modshift {

namespace {

constexpr std::size_t kAuthorAt = 8;
constexpr std::size_t kAuthorField = 32;
constexpr std::size_t kDescriptionAt = 40;
constexpr std::size_t kDescriptionField = 256;

// The text in a fixed field of `data`: up to its first zero byte, the field's
// end or the data's end, whichever comes first.
std::string fieldText(std::span<const std::uint8_t> data, std::size_t at, std::size_t width)
{
    ByteCursor cursor(data);
    if (!cursor.seek(at))
        return {};
    std::string_view field = cursor.chars(std::min(width, cursor.remaining()));
    return std::string(field.substr(0, std::min(field.find('\0'), field.size())));
}

} // namespace

int writeFileHeader(Conversion& c)
{
    c.console.print("\nSaving file Header\n");

    std::string author;
    std::string description;
    const std::vector<std::int32_t>& headers = c.tree.find(makeTag("HEDR"));
    if (!headers.empty()) {
        std::span<const std::uint8_t> data = c.tree.data(headers.back());
        author = fieldText(data, kAuthorAt, kAuthorField);
        description = fieldText(data, kDescriptionAt, kDescriptionField);
    }
    if (author.empty() && description.empty())
        author = "DEFAULT";

    SubrecordBuffer subrecords;
    ByteWriter& hedr = subrecords.begin(makeTag("HEDR"));
    hedr.f32(1.0f);
    hedr.u32(0); // record count, patched at the end
    hedr.u32(0); // next object identifier
    subrecords.finish();
    if (!author.empty())
        subrecords.text(makeTag("CNAM"), author);
    if (!description.empty())
        subrecords.text(makeTag("SNAM"), description);
    subrecords.text(makeTag("MAST"), "Oblivion.esm");
    subrecords.raw(makeTag("DATA"), std::vector<std::uint8_t>(8, 0));

    auto size = static_cast<std::uint32_t>(subrecords.size());
    c.console.print("header size=%i\n", static_cast<int>(size));

    std::size_t start = c.out.position();
    ByteWriter& out = c.out.raw();
    out.u32(makeTag("TES4"));
    out.u32(size);
    out.u32(0); // flags: 0 for .esm output too
    out.u32(0); // form identifier
    out.u32(0);
    out.bytes(subrecords.bytes());
    c.out.setCountFieldPosition(start + 20 + 6 + 4);
    return 0;
}

} // namespace lw::modshift
