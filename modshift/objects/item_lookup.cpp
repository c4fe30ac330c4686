#include "modshift/objects/item_lookup.hpp"

#include <algorithm>

#include "common/io/byte_cursor.hpp"
#include "modshift/tes3/identifiers.hpp"
#include "modshift/tes3/record_table.hpp"

namespace lw::modshift {

std::optional<std::uint32_t> lookupItem(const Tables& tables, std::string_view identifier)
{
    const std::string converted = convertIdentifier(identifier);
    for (const RecordTable* table : {&tables.books, &tables.weapons, &tables.armours, &tables.misc,
                                     &tables.lights}) {
        if (std::uint32_t formId = table->find(converted); formId != 0)
            return formId;
    }
    return std::nullopt;
}

std::optional<InventoryEntry> readInventoryEntry(std::span<const std::uint8_t> npco)
{
    ByteCursor cursor(npco);
    InventoryEntry entry;
    entry.count = cursor.i32();
    if (cursor.failed())
        return std::nullopt;
    std::string_view rest = cursor.chars(std::min<std::size_t>(cursor.remaining(), 32));
    entry.identifier = rest.substr(0, rest.find('\0'));
    return entry;
}

} // namespace lw::modshift
