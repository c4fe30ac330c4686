#pragma once
// TES3 identifiers and asset paths become safe names byte by byte: letters,
// digits, "\" and "/" stay; "-" "." " " "_" "," become T P S U V; anything else X.
// An EditorID is "0" followed by the converted NAME.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lw::modshift {

class RecordTree;

char convertIdentifierByte(std::uint8_t byte);
std::string convertIdentifier(std::string_view source);
void convertIdentifierInPlace(std::span<std::uint8_t> text);

// Converts the NAME subrecord's text in place and writes "0" into the byte in
// front of it (the last byte of the TES3 subrecord header, no longer needed);
// returns the EditorID, which starts at that byte and ends before the text's
// zero byte (or at the end of the subrecord).
std::string_view makeEditorId(RecordTree& tree, std::int32_t nameNode);

} // namespace lw::modshift
