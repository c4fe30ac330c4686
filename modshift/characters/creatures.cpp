// Creatures are not rebuilt: "creatures.ini" maps them onto creatures of the
// game master, and only the table of those mappings is filled. Leveled
// creature lists that name mapped creatures become LVLC records.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/objects/list_file.hpp"
#include "modshift/tes3/identifiers.hpp"

namespace lw::modshift {

namespace {

constexpr std::size_t kCreatureCapacity = 500;
constexpr std::size_t kLeveledCapacity = 500;
constexpr std::size_t kListEntryLimit = 100; // a list may hold 99 entries

struct LeveledEntry {
    std::uint32_t formId;
    std::uint16_t level;
};

struct LeveledValues {
    std::optional<std::string_view> editorId;
    std::uint8_t flags = 1;
    std::uint8_t chanceNone = 0;
    std::vector<LeveledEntry> entries;
    // Form identifier of the creature the next INTV gives a level to; 0 (none)
    // before the first CNAM and after a CNAM that names no mapped creature.
    std::uint32_t current = 0;
};

void writeLeveledList(Conversion& c, std::size_t entry, const LeveledValues& v)
{
    SubrecordBuffer sub;
    sub.text(makeTag("EDID"), *v.editorId);
    sub.u8(makeTag("LVLD"), v.chanceNone);
    sub.u8(makeTag("LVLF"), v.flags);
    for (const LeveledEntry& e : v.entries) {
        ByteWriter& w = sub.begin(makeTag("LVLO"));
        w.u16(e.level);
        w.u16(0x1015);
        w.u32(e.formId);
        w.u16(1); // count
        w.u16(0x1015);
        sub.finish();
    }
    std::uint32_t formId = c.out.nextFormId();
    c.tables.leveledCreatures.setFormId(entry, formId);
    c.out.writeRecord(makeTag("LVLC"), 0, formId, sub);
}

} // namespace

int saveCreatures(Conversion& c)
{
    RecordTable& table = c.tables.creatures;
    table.clear();
    c.console.print("\nSaving creatures\n");
    const std::vector<std::int32_t>& records = c.tree.find(makeTag("CREA"));
    if (records.size() > kCreatureCapacity) {
        c.console.print("too many creatures!\n");
        c.log.capacity("too many creatures!");
        return -1;
    }
    for (std::int32_t record : records)
        table.add(record);
    c.console.print("found %i creatures\n", static_cast<int>(table.size()));
    if (table.empty())
        return 0;

    ListTable list;
    list.load(c.platform, c.paths.programFolder + "creatures.ini");
    c.out.beginGroup(makeTag("CREA"), 0);
    for (std::size_t i = 0; i < table.size(); ++i) {
        for (std::int32_t child : c.tree.children(table[i].node)) {
            if (c.tree.node(child).tag != makeTag("NAME"))
                continue;
            std::uint32_t mapped = list.lookup(c.tree.text(child));
            std::string_view editorId = makeEditorId(c.tree, child);
            if (mapped != 0) {
                table.setEditorId(i, editorId);
                table.setFormId(i, mapped);
                break;
            }
        }
        logNotConverted(c, table[i].node, table[i].formId != 0 ? "replaced through creatures.ini" : "not in creatures.ini");
    }
    c.out.endGroup(); // holds no record: creatures stand for master records
    return 0;
}

int saveLeveledCreatures(Conversion& c)
{
    RecordTable& table = c.tables.leveledCreatures;
    table.clear();
    c.console.print("\nSaving leveled creatures\n");
    const std::vector<std::int32_t>& records = c.tree.find(makeTag("LEVC"));
    if (records.size() > kLeveledCapacity) {
        c.console.print("too many leveled creatures!\n");
        c.log.capacity("too many leveled creatures!");
        return -1;
    }
    for (std::int32_t record : records)
        table.add(record);
    c.console.print("found %i leveled creatures\n", static_cast<int>(table.size()));
    if (table.empty())
        return 0;

    const RecordTable& creatures = c.tables.creatures;
    c.out.beginGroup(makeTag("LVLC"), 0);
    for (std::size_t i = 0; i < table.size(); ++i) {
        LeveledValues v;
        for (std::int32_t child : c.tree.children(table[i].node)) {
            const Tag tag = c.tree.node(child).tag;
            std::span<const std::uint8_t> data = c.tree.data(child);
            if (tag == makeTag("NAME")) {
                v.editorId = makeEditorId(c.tree, child);
            } else if (tag == makeTag("DATA")) {
                ByteCursor cur(data);
                if (cur.has(1))
                    v.flags = cur.u8();
            } else if (tag == makeTag("NNAM")) {
                ByteCursor cur(data);
                if (cur.has(1))
                    v.chanceNone = cur.u8();
            } else if (tag == makeTag("CNAM")) {
                std::optional<std::size_t> found =
                    creatures.findIndex(convertIdentifier(c.tree.text(child)));
                v.current = 0;
                if (found)
                    v.current = creatures[*found].formId;
            } else if (tag == makeTag("INTV")) {
                if (v.current == 0)
                    continue;
                ByteCursor cur(data);
                std::uint16_t level = cur.u16();
                if (!cur.ok())
                    continue;
                v.entries.push_back(LeveledEntry{v.current, level});
                if (v.entries.size() >= kListEntryLimit) {
                    c.console.print("too many items in list!\n");
                    c.log.capacity("too many items in list!");
                    // Close the group so the plugin written so far stays well formed.
                    c.out.endGroup();
                    return -1;
                }
            }
        }
        if (v.editorId)
            table.setEditorId(i, *v.editorId);
        if (v.editorId && !v.entries.empty()) {
            c.console.print("%.*s, %i\n", static_cast<int>(v.editorId->size()),
                            v.editorId->data(), static_cast<int>(v.entries.size()));
            writeLeveledList(c, i, v);
        } else {
            c.console.print("skipping\n");
            logNotConverted(c, table[i].node, v.editorId ? "no creature of the list converted" : "no identifier");
        }
    }
    c.out.endGroup();
    return 0;
}

} // namespace lw::modshift
