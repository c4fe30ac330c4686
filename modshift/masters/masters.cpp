#include "modshift/masters/masters.hpp"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "modshift/driver/conversion.hpp"
#include "modshift/objects/item_lookup.hpp"
#include "modshift/objects/mesh_convert.hpp"
#include "modshift/world/references.hpp"

namespace lw::modshift {

namespace {

constexpr Tag kTES3 = makeTag("TES3");
constexpr Tag kMAST = makeTag("MAST");
constexpr Tag kNAME = makeTag("NAME");
constexpr Tag kCELL = makeTag("CELL");
constexpr Tag kFRMR = makeTag("FRMR");
constexpr Tag kNPCO = makeTag("NPCO");
constexpr Tag kCNAM = makeTag("CNAM");
constexpr Tag kLEVC = makeTag("LEVC");
constexpr std::size_t kRecordHeader = 16;
// A master of up to 4 GB (node positions are 32-bit) holds fewer nodes than
// this, one per 8 bytes at most, so only memory bounds its tree.
constexpr std::size_t kMasterNodeLimit = std::size_t{1} << 31;

// The record types some converter writes and a reference, an inventory or a
// leveled list can name; nothing else is ever taken from a master.
constexpr std::array<Tag, 12> kPullable = {
    makeTag("ACTI"), makeTag("ARMO"), makeTag("BOOK"), makeTag("CONT"),
    makeTag("CREA"), makeTag("DOOR"), kLEVC,           makeTag("LIGH"),
    makeTag("MISC"), makeTag("NPC_"), makeTag("STAT"), makeTag("WEAP"),
};
// Records whose subrecords name other records.
constexpr std::array<Tag, 5> kUsers = {kCELL, makeTag("NPC_"), makeTag("CREA"), makeTag("CONT"), kLEVC};

bool pullable(Tag tag) { return std::find(kPullable.begin(), kPullable.end(), tag) != kPullable.end(); }

char lowerAscii(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

// The games compare identifiers without regard to case, so overriding does too.
struct CaselessHash {
    std::size_t operator()(std::string_view s) const
    {
        std::uint64_t h = 14695981039346656037ull; // FNV-1a
        for (char ch : s)
            h = (h ^ static_cast<std::uint8_t>(lowerAscii(ch))) * 1099511628211ull;
        return static_cast<std::size_t>(h);
    }
};
struct CaselessEqual {
    bool operator()(std::string_view a, std::string_view b) const
    {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
    }
};

std::string_view recordName(const RecordTree& tree, std::int32_t record)
{
    for (std::int32_t child : tree.children(record)) {
        if (tree.node(child).tag == kNAME)
            return tree.text(child);
    }
    return {};
}

// The identifiers a record names: base objects of a cell's references, items
// of an inventory or a container, entries of a leveled creature list.
void collectUses(const RecordTree& tree, std::int32_t record, std::vector<std::string_view>& out)
{
    const Tag tag = tree.node(record).tag;
    for (std::int32_t child : tree.children(record)) {
        const Tag sub = tree.node(child).tag;
        if (tag == kCELL && sub == kFRMR) {
            const ReferenceFields f = readReference(tree, child);
            if (f.name != -1)
                out.push_back(tree.text(f.name));
        } else if (sub == kNPCO && tag != kCELL) {
            if (auto entry = readInventoryEntry(tree.data(child)))
                out.push_back(entry->identifier);
        } else if (sub == kCNAM && tag == kLEVC) {
            out.push_back(tree.text(child));
        }
    }
}

} // namespace

std::vector<std::string_view> masterNames(const RecordTree& plugin)
{
    std::vector<std::string_view> names;
    if (plugin.count() == 0 || plugin.node(0).tag != kTES3)
        return names;
    for (std::int32_t child : plugin.children(0)) {
        if (plugin.node(child).tag == kMAST)
            names.push_back(plugin.text(child));
    }
    return names;
}

std::vector<PulledRecord> usedMasterRecords(const RecordTree& plugin, std::span<const MasterFile> masters)
{
    std::unordered_set<std::string_view, CaselessHash, CaselessEqual> ownNames;
    for (Tag tag : kPullable) {
        for (std::int32_t record : plugin.find(tag))
            ownNames.insert(recordName(plugin, record));
    }

    // Later definitions replace earlier ones: the last master wins, and so
    // does the last of two records with one identifier inside a master.
    std::unordered_map<std::string_view, PulledRecord, CaselessHash, CaselessEqual> winner;
    for (std::size_t m = 0; m < masters.size(); ++m) {
        const RecordTree& tree = masters[m].tree;
        for (std::int32_t r = tree.count() > 0 ? 0 : -1; r != -1; r = tree.node(r).next) {
            if (!pullable(tree.node(r).tag))
                continue;
            std::string_view name = recordName(tree, r);
            if (!name.empty())
                winner.insert_or_assign(name, PulledRecord{m, r});
        }
    }

    std::vector<std::string_view> work;
    for (Tag tag : kUsers) {
        for (std::int32_t record : plugin.find(tag))
            collectUses(plugin, record, work);
    }
    std::unordered_set<std::string_view, CaselessHash, CaselessEqual> seen;
    std::vector<PulledRecord> pulled;
    while (!work.empty()) {
        const std::string_view name = work.back();
        work.pop_back();
        if (name.empty() || ownNames.contains(name) || !seen.insert(name).second)
            continue;
        auto it = winner.find(name);
        if (it == winner.end())
            continue;
        const PulledRecord found = it->second;
        pulled.push_back(found);
        collectUses(masters[found.master].tree, found.node, work);
    }
    std::sort(pulled.begin(), pulled.end());
    return pulled;
}

bool appendPulledRecords(Conversion& c, std::span<const MasterFile> masters, std::span<const PulledRecord> pulled)
{
    const std::size_t base = c.plugin.size();
    std::size_t total = 0;
    for (const PulledRecord& p : pulled)
        total += kRecordHeader + masters[p.master].tree.node(p.node).size;
    if (total > UINT32_MAX - base)
        return false; // node positions are 32-bit

    c.plugin.reserve(base + total);
    for (const PulledRecord& p : pulled) {
        const MasterFile& m = masters[p.master];
        const Node& n = m.tree.node(p.node);
        const auto first = m.bytes.begin() + static_cast<std::ptrdiff_t>(n.offset - kRecordHeader);
        c.plugin.insert(c.plugin.end(), first, first + static_cast<std::ptrdiff_t>(kRecordHeader + n.size));
    }

    // The copies parse as they did inside their masters: the parser decides by
    // tag and size alone.
    RecordTree added;
    const std::span<std::uint8_t> addedBytes = std::span<std::uint8_t>(c.plugin).subspan(base);
    if (parseRecordTree(addedBytes, added, c.console) != 0 ||
        static_cast<std::size_t>(c.tree.count()) + added.nodes.size() >= RecordTree::kCapacity) {
        c.plugin.resize(base);
        c.tree.image = c.plugin;
        return false;
    }

    // The plugin's own nodes stay exactly as parsed: the first added record
    // is not linked to the plugin's last one, so nothing that follows a
    // plugin record's siblings meets an added record.
    const std::int32_t shift = c.tree.count();
    auto moved = [shift](std::int32_t index) { return index == -1 ? -1 : index + shift; };
    c.tree.nodes.reserve(c.tree.nodes.size() + added.nodes.size());
    for (Node n : added.nodes) {
        n.parent = moved(n.parent);
        n.firstChild = moved(n.firstChild);
        n.previous = moved(n.previous);
        n.next = moved(n.next);
        n.offset += static_cast<std::uint32_t>(base);
        c.tree.nodes.push_back(n);
    }
    c.tree.image = c.plugin;
    c.tree.buildIndex();
    return true;
}

void pullFromMasters(Conversion& c)
{
    const std::vector<std::string_view> names = masterNames(c.tree);
    std::vector<MasterFile> masters;
    masters.reserve(names.size());
    for (std::string_view name : names) {
        const std::string shown(name);
        const std::size_t before = masters.size();
        // A master names a file of the data folder, never one elsewhere.
        if (name.empty() || unsafeModelPath(name)) {
            c.console.print("master %s not found!\n", shown.c_str());
            continue;
        }
        try {
            std::optional<std::vector<std::uint8_t>> bytes =
                c.platform.readFile(c.config.sourceData + "\\" + shown);
            if (!bytes) {
                c.console.print("master %s not found!\n", shown.c_str());
                continue;
            }
            c.console.print("reading master %s\n", shown.c_str());
            MasterFile& m = masters.emplace_back();
            m.name = shown;
            m.bytes = std::move(*bytes);
            if (parseRecordTree(m.bytes, m.tree, c.console, kMasterNodeLimit) != 0 || m.tree.count() == 0) {
                c.console.print("error parsing master %s, left out!\n", shown.c_str());
                masters.pop_back();
            }
        } catch (const std::bad_alloc&) {
            masters.resize(before);
            c.console.print("not enough memory for master %s, left out!\n", shown.c_str());
        }
    }
    if (masters.empty())
        return;

    const std::vector<PulledRecord> pulled = usedMasterRecords(c.tree, masters);
    if (!pulled.empty() && !appendPulledRecords(c, masters, pulled)) {
        c.console.print("too many records with the masters, masters left out!\n");
        return;
    }
    for (std::size_t m = 0; m < masters.size(); ++m) {
        const auto used = std::count_if(pulled.begin(), pulled.end(), [m](const PulledRecord& p) { return p.master == m; });
        c.console.print("%i records used from master %s\n", static_cast<int>(used), masters[m].name.c_str());
    }
}

} // namespace lw::modshift
