#pragma once
// Item lookup: a TES3 item identifier (as an NPC inventory or a container holds
// it) to the form identifier of the record this run converted it into. The
// tables of books, weapons, armour, misc items and lights are searched in that
// order; within a table the first entry with that converted identifier wins,
// and entries without EditorID or with form identifier 0 never match. Only
// tables filled by converters that already ran can answer.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace lw::modshift {

struct Tables;

// The form identifier, or nothing when no converted item matches.
std::optional<std::uint32_t> lookupItem(const Tables& tables, std::string_view identifier);

// One TES3 inventory entry (NPCO): a signed count at offset 0, then the item
// identifier, a text of up to 32 bytes ended by a zero byte or by the
// subrecord. A subrecord shorter than 4 bytes gives nothing.
struct InventoryEntry {
    std::int32_t count = 0;
    std::string_view identifier;
};
std::optional<InventoryEntry> readInventoryEntry(std::span<const std::uint8_t> npco);

} // namespace lw::modshift
