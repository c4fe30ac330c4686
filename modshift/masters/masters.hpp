#pragma once
// Records of the plugin's masters (the files its header names by MAST) that
// the plugin uses. Each master is read from the Morrowind data folder and
// parsed once into a record tree of its own; an identifier index over all of
// them answers which record wins (the last master in MAST order that defines
// the identifier; a record of the plugin wins over every master). Starting
// from what the plugin uses (base objects of its references, inventory and
// container items, leveled creature entries) and going on through what each
// pulled record uses, the used records are found, each once. Their bytes are
// then copied behind the loaded plugin and their nodes appended to its tree,
// so every converter takes them after the plugin's own records, in master
// order and file order, and converts their names in place like its own.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "modshift/tes3/record_tree.hpp"

namespace lw::modshift {

struct Conversion;

struct MasterFile {
    std::string name;
    std::vector<std::uint8_t> bytes; // the nodes of `tree` point into these
    RecordTree tree;
};

// A record of masters[master] that the plugin uses.
struct PulledRecord {
    std::size_t master = 0;
    std::int32_t node = -1;
    auto operator<=>(const PulledRecord&) const = default;
};

// The MAST names of the plugin's header record, in their order.
std::vector<std::string_view> masterNames(const RecordTree& plugin);

// The master records the plugin uses, directly or through other used master
// records, each once, ordered by master and then by file position.
std::vector<PulledRecord> usedMasterRecords(const RecordTree& plugin,
                                            std::span<const MasterFile> masters);

// Appends the records' bytes to the loaded plugin and their nodes to its
// tree. False (and nothing changed) when the joined tree would not fit.
bool appendPulledRecords(Conversion& c, std::span<const MasterFile> masters,
                         std::span<const PulledRecord> pulled);

// The whole step, between parsing the plugin and saving: reads the masters
// (telling which were read and which not), pulls what is used and appends it.
// A master that is missing or damaged is left out with its message.
void pullFromMasters(Conversion& c);

} // namespace lw::modshift
