#pragma once
// Per-type list files ("statics.ini", "weapons.ini", ...): lines of
//   TES3 identifier = form identifier in hexadecimal
// that map a TES3 record onto a record of the game master, which then stands in
// for it. The identifier is everything from the line start up to the "=",
// blanks included. The value must begin with "0" or have "x" as its second
// character, else the whole file counts as malformed and the table stays empty.
// Lines with value 0 are dropped. Lookups are exact and case-sensitive; the
// first line with an identifier wins. The table has no fixed size limit.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lw {
class Platform;
}

namespace lw::modshift {

class ListTable {
public:
    struct Entry {
        std::string identifier;
        std::uint32_t value = 0;
    };

    // Empties the table, then reads and parses the file. False when the file
    // cannot be read or is malformed; the table is then empty.
    bool load(Platform& platform, const std::string& path);
    // Empties the table, then parses `text`. False (and empty) when malformed.
    bool parse(std::span<const std::uint8_t> text);
    void clear();

    // The value of the first entry with exactly this identifier, or 0.
    std::uint32_t lookup(std::string_view identifier) const;

    std::size_t size() const { return entries_.size(); }
    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::uint32_t> index_;
};

} // namespace lw::modshift
