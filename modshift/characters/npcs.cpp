// NPC_ records: each Morrowind NPC becomes an Oblivion NPC whose race, class,
// hair, eyes and packages come from fixed tables, whose inventory points at the
// items this run converted, and whose face comes from the FaceGen writer.
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "common/io/byte_cursor.hpp"
#include "modshift/characters/faces.hpp"
#include "modshift/characters/npc_tables.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/objects/item_lookup.hpp"
#include "modshift/tes3/identifiers.hpp"

namespace lw::modshift {

namespace {

using namespace npc;

constexpr std::size_t kNpcCapacity = 5000;
constexpr std::size_t kMaxPackages = 7;
constexpr std::size_t kMaxInventory = 1000;
constexpr std::size_t kFullStatisticsSize = 52;

struct NpcValues {
    std::optional<std::string_view> editorId;
    bool refused = false;
    std::optional<std::string_view> fullName;
    std::optional<std::string_view> head;
    std::string_view skeleton = kSkeleton;
    bool female = false;
    bool essential = false;
    bool respawn = false;
    bool autoCalc = false;
    std::uint32_t faction = 0;
    std::int8_t rank = 0;
    bool fullStatistics = false;
    std::uint32_t race = kDefaultRace;
    std::uint32_t classId = kDefaultClass;
    std::uint16_t spellPoints = 50;
    std::uint16_t fatigue = 50;
    std::uint16_t barterGold = 0;
    std::int16_t level = 1;
    std::uint8_t aggression = 5;
    std::uint32_t services = 0;
    std::array<std::uint8_t, 21> skills{};
    std::uint32_t health = 50;
    std::array<std::uint8_t, 8> attributes{};
    std::vector<std::uint32_t> packages;
    std::vector<std::pair<std::uint32_t, std::int32_t>> inventory;

    NpcValues() { skills.fill(5); }
};

const RaceRow& raceRow(std::uint32_t raceId)
{
    for (const RaceRow& row : kRaces)
        if (row.formId == raceId)
            return row;
    return kRaces.back();
}

// Attributes of an NPC whose source gives none (auto-calculated statistics):
// what an ordinary Oblivion NPC of that level has, 40 at level 1 rising by one
// every two levels up to 70, and the standard Luck of 50.
std::array<std::uint8_t, 8> plausibleAttributes(std::int16_t level)
{
    int lv = std::clamp<int>(level, 1, 60);
    auto value = static_cast<std::uint8_t>(40 + lv / 2);
    return {value, value, value, value, value, value, value, 50};
}

void readStatistics(std::span<const std::uint8_t> data, NpcValues& v)
{
    ByteCursor cur(data);
    if (cur.has(2))
        v.level = cur.i16();
    if (data.size() != kFullStatisticsSize) {
        // The auto-calculated form: level, disposition, reputation, rank,
        // three unused bytes, gold.
        if (cur.seek(4) && cur.has(1))
            v.rank = cur.i8();
        if (cur.seek(8) && cur.has(2))
            v.barterGold = cur.u16();
        return;
    }
    v.fullStatistics = true;
    auto byteAt = [&cur](std::size_t offset) {
        cur.seek(offset);
        return cur.u8();
    };
    for (std::size_t i = 0; i < v.attributes.size(); ++i)
        v.attributes[i] = byteAt(2 + i);
    for (std::size_t i = 0; i < v.skills.size(); ++i)
        v.skills[i] = byteAt(kSkillSource[i]);
    // Long Blade counts unsigned, Short Blade as a signed byte: 128-255 never win.
    auto shortBlade = static_cast<std::int8_t>(byteAt(kShortBladeOffset));
    if (shortBlade > static_cast<int>(v.skills[kBladePosition]))
        v.skills[kBladePosition] = static_cast<std::uint8_t>(shortBlade);
    cur.seek(38);
    v.health = cur.u16();
    v.spellPoints = cur.u16();
    v.fatigue = cur.u16();
    cur.seek(46);
    v.rank = cur.i8();
    cur.skip(1);
    v.barterGold = static_cast<std::uint16_t>(cur.u32() & 0xFFFF);
}

void applySubrecord(Conversion& c, std::int32_t node, NpcValues& v)
{
    RecordTree& tree = c.tree;
    const Tag tag = tree.node(node).tag;
    std::span<const std::uint8_t> data = tree.data(node);

    if (tag == makeTag("NAME")) {
        std::string_view editorId = makeEditorId(tree, node);
        std::string_view converted = editorId.substr(1);
        if (converted == "player" || converted == "brem") {
            v.refused = true;
            v.editorId.reset();
        } else {
            v.editorId = editorId;
        }
    } else if (tag == makeTag("FNAM")) {
        v.fullName = tree.text(node);
    } else if (tag == makeTag("ANAM")) {
        std::string_view faction = tree.text(node);
        if (faction == "Mages Guild")
            v.faction = kMagesGuild;
        else if (faction == "Fighters Guild")
            v.faction = kFightersGuild;
    } else if (tag == makeTag("BNAM")) {
        v.head = tree.text(node);
    } else if (tag == makeTag("CNAM")) {
        std::string_view name = tree.text(node);
        for (const ClassRow& row : kClasses)
            if (row.name == name)
                v.classId = row.formId;
    } else if (tag == makeTag("RNAM")) {
        std::string_view name = tree.text(node);
        for (const RaceRow& row : kRaces)
            if (!row.name.empty() && row.name == name)
                v.race = row.formId;
        if (name == "Argonian" || name == "Khajiit")
            v.skeleton = kBeastSkeleton;
    } else if (tag == makeTag("FLAG")) {
        ByteCursor cur(data);
        std::uint32_t flags = cur.u32();
        if (cur.ok()) {
            v.female = v.female || (flags & 0x01);
            v.essential = v.essential || (flags & 0x02);
            v.respawn = v.respawn || (flags & 0x04);
            v.autoCalc = v.autoCalc || (flags & 0x10);
        }
    } else if (tag == makeTag("AIDT")) {
        ByteCursor cur(data);
        if (cur.seek(2) && cur.has(1))
            v.aggression = cur.u8();
        if (cur.seek(8) && cur.has(4))
            v.services = cur.u32() & kServiceMask;
    } else if (tag == makeTag("AI_W")) {
        ByteCursor cur(data);
        std::uint16_t distance = cur.u16();
        if (cur.ok() && distance != 0 && v.packages.size() < kMaxPackages)
            v.packages.push_back(distance >= 1000 ? kWanderFar : kWanderNear);
    } else if (tag == makeTag("NPCO")) {
        std::optional<InventoryEntry> item = readInventoryEntry(data);
        if (!item || v.inventory.size() >= kMaxInventory)
            return;
        if (std::optional<std::uint32_t> formId = lookupItem(c.tables, item->identifier))
            v.inventory.emplace_back(*formId, item->count);
    } else if (tag == makeTag("NPDT")) {
        readStatistics(data, v);
    }
}

std::uint32_t chooseEyes(Conversion& c, const RaceRow& row)
{
    EyeChoice choice = row.eyes[0];
    if (row.eyeCount > 1)
        choice = row.eyes[c.rng.next(row.eyeCount)];
    switch (choice.kind) {
    case Eye::Khajiit1:
        return c.characters.eyeKhajiit1;
    case Eye::Black:
        return c.characters.eyeBlack;
    case Eye::Grey:
        return c.characters.eyeGrey;
    case Eye::Fixed:
        break;
    }
    return choice.formId;
}

void writeNpc(Conversion& c, std::size_t entry, NpcValues& v)
{
    if (v.services != 0) {
        // The service package takes the last place when the wanders fill them all.
        if (v.packages.size() == kMaxPackages)
            v.packages.pop_back();
        v.packages.push_back(kServices);
    }
    if (!v.fullStatistics)
        v.attributes = plausibleAttributes(v.level);

    std::size_t teaches = 0;
    for (std::size_t i = 1; i < v.skills.size(); ++i)
        if (v.skills[i] > v.skills[teaches])
            teaches = i;

    const RaceRow& race = raceRow(v.race);
    std::uint32_t eyes = chooseEyes(c, race);

    // Without FNAM the NPC is named by its converted identifier, like armour.
    std::string_view editorId = *v.editorId;
    std::string_view fullName = v.fullName ? *v.fullName : editorId.substr(1);

    SubrecordBuffer sub;
    sub.text(makeTag("EDID"), editorId);
    sub.text(makeTag("FULL"), fullName);
    sub.text(makeTag("MODL"), v.skeleton);
    sub.u32(makeTag("MODB"), 0x428ECD0C);

    std::uint32_t flags = (v.female ? 0x01u : 0u) | (v.essential ? 0x02u : 0u) |
                          (v.respawn ? 0x08u : 0u) | (v.autoCalc ? 0x10u : 0u);
    ByteWriter& acbs = sub.begin(makeTag("ACBS"));
    acbs.u32(flags);
    acbs.u16(v.spellPoints);
    acbs.u16(v.fatigue);
    acbs.u16(v.barterGold);
    acbs.i16(v.level);
    acbs.u16(1);
    acbs.u16(0);
    sub.finish();

    if (v.faction != 0) {
        ByteWriter& snam = sub.begin(makeTag("SNAM"));
        snam.u32(v.faction);
        snam.u32(0x42444F00u + static_cast<std::uint32_t>(static_cast<std::int32_t>(v.rank)));
        sub.finish();
    }
    sub.u32(makeTag("RNAM"), v.race);

    auto container = [&sub](std::uint32_t formId, std::int32_t count) {
        ByteWriter& w = sub.begin(makeTag("CNTO"));
        w.u32(formId);
        w.i32(count);
        sub.finish();
    };
    container(kGivenItem, 1);
    for (const auto& [formId, count] : v.inventory)
        container(formId, count);

    ByteWriter& aidt = sub.begin(makeTag("AIDT"));
    aidt.u8(v.aggression);
    aidt.u8(50); // confidence
    aidt.u8(50); // energy
    aidt.u8(50); // responsibility
    aidt.u32(v.services);
    aidt.u8(static_cast<std::uint8_t>(teaches));
    aidt.u8(v.skills[teaches]);
    aidt.u16(0);
    sub.finish();

    for (std::uint32_t package : v.packages)
        sub.u32(makeTag("PKID"), package);
    sub.u32(makeTag("CNAM"), v.classId);

    ByteWriter& stats = sub.begin(makeTag("DATA"));
    for (std::uint8_t skill : v.skills)
        stats.u8(skill);
    stats.u32(v.health);
    for (std::uint8_t attribute : v.attributes)
        stats.u8(attribute);
    sub.finish();

    sub.u32(makeTag("HNAM"), v.female ? race.hairFemale : race.hairMale);
    sub.u32(makeTag("ENAM"), eyes);
    sub.u32(makeTag("HCLR"), race.hairColour);
    writeFaceGen(c, sub, race.faceGenRace, v.head);

    std::uint32_t formId = c.out.nextFormId();
    c.tables.npcs.setEditorId(entry, editorId);
    c.tables.npcs.setFormId(entry, formId);
    c.out.writeRecord(makeTag("NPC_"), 0, formId, sub);
}

} // namespace

int saveNpcs(Conversion& c)
{
    c.console.print("\nSaving NPCs\n");
    RecordTable& table = c.tables.npcs;
    table.clear();
    const std::vector<std::int32_t>& records = c.tree.find(makeTag("NPC_"));
    if (records.size() > kNpcCapacity) {
        c.console.print("too many NPC!\n");
        c.log.capacity("too many NPC!");
        return -1;
    }
    for (std::int32_t record : records)
        table.add(record);
    c.console.print("found %i NPC\n", static_cast<int>(table.size()));
    if (table.empty())
        return 0;

    c.out.beginGroup(makeTag("NPC_"), 0);
    for (std::size_t i = 0; i < table.size(); ++i) {
        NpcValues v;
        for (std::int32_t child : c.tree.children(table[i].node))
            applySubrecord(c, child, v);
        if (v.refused || !v.editorId)
            continue; // "player", "brem", or no identifier at all
        writeNpc(c, i, v);
    }
    c.out.endGroup();
    return 0;
}

} // namespace lw::modshift
