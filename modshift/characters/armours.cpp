// ARMO records: only pieces with ready-made Oblivion meshes (the replacement
// table) are written; "armors.ini" maps other pieces onto master records.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "common/fs/folders.hpp"
#include "common/io/byte_cursor.hpp"
#include "modshift/characters/armour_table.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/driver/save_steps.hpp"
#include "modshift/objects/list_file.hpp"
#include "modshift/tes3/identifiers.hpp"

namespace lw::modshift {

namespace {

constexpr std::size_t kArmourCapacity = 1000;

struct ArmourValues {
    std::optional<std::string_view> editorId;
    std::uint32_t listed = 0;
    std::optional<std::string_view> fullName;
    std::optional<std::string> icon;
    const ArmourReplacement* row = nullptr;
    bool modelsSet = false;
    std::array<std::string, 4> models;
    // A record without AODT keeps these: no protection, no value, no weight.
    std::uint16_t rating = 0;
    std::uint32_t value = 0;
    std::uint32_t health = 0;
    float weight = 0.0f;
};

// Armour rating times 100 in 16 bits; ratings above 655 keep the largest value.
std::uint16_t scaledRating(std::int16_t rating)
{
    return static_cast<std::uint16_t>(std::clamp(static_cast<int>(rating) * 100, 0, 65535));
}

void copyShipped(Conversion& c, const std::string& relative, std::string_view sourceFolder,
                 std::string_view targetFolder)
{
    std::string from = c.paths.programFolder + std::string(sourceFolder) + relative;
    std::string to = c.config.targetData + std::string(targetFolder) + relative;
    createFoldersFor(c.platform, to);
    c.platform.copyFileNoReplace(from, to);
}

void setModels(Conversion& c, ArmourValues& v)
{
    for (std::size_t k = 0; k < v.models.size(); ++k) {
        std::string model(v.row->models[k]);
        copyShipped(c, model, "Meshes\\Armor\\", "\\Meshes\\Armor\\");
        v.models[k] = "Armor\\" + model;
    }
    v.modelsSet = true;
}

// Handles one subrecord; false when the walk stops (resolved through the list).
bool applySubrecord(Conversion& c, const ListTable& list, std::int32_t node, ArmourValues& v)
{
    RecordTree& tree = c.tree;
    const Tag tag = tree.node(node).tag;
    if (tag == makeTag("NAME")) {
        std::string identifier(tree.text(node));
        v.listed = list.lookup(identifier);
        v.row = findArmourReplacement(identifier);
        std::string_view editorId = makeEditorId(tree, node);
        if (!v.fullName)
            v.fullName = editorId.substr(1);
        if (v.listed != 0 || v.row)
            v.editorId = editorId;
        return v.listed == 0;
    }
    if (tag == makeTag("FNAM")) {
        v.fullName = tree.text(node);
    } else if (tag == makeTag("ITEX")) {
        if (v.row) {
            std::string icon(v.row->icon);
            copyShipped(c, icon, "Textures\\Menus\\Icons\\Armor\\",
                        "\\Textures\\Menus\\Icons\\Armor\\");
            v.icon = "Armor\\" + icon;
        }
    } else if (tag == makeTag("AODT")) {
        ByteCursor cur(tree.data(node));
        cur.seek(4);
        float weight = cur.f32();
        std::int32_t value = cur.i32();
        std::int32_t health = cur.i32();
        cur.seek(20);
        std::int16_t rating = cur.i16();
        if (cur.ok()) {
            v.weight = weight;
            v.value = static_cast<std::uint32_t>(value);
            v.health = static_cast<std::uint32_t>(health);
            v.rating = scaledRating(rating);
        }
    } else if (tag == makeTag("MODL")) {
        if (v.row)
            setModels(c, v);
    }
    return true;
}

void writeArmour(Conversion& c, std::size_t entry, const ArmourValues& v)
{
    SubrecordBuffer sub;
    sub.text(makeTag("EDID"), *v.editorId);
    sub.text(makeTag("FULL"), v.fullName ? *v.fullName : std::string_view{});
    sub.u32(makeTag("BMDT"), v.row->bipedFlags);
    static constexpr std::array<Tag, 4> kModel{makeTag("MODL"), makeTag("MOD2"), makeTag("MOD3"),
                                               makeTag("MOD4")};
    static constexpr std::array<Tag, 4> kBound{makeTag("MODB"), makeTag("MO2B"), makeTag("MO3B"),
                                               makeTag("MO4B")};
    for (std::size_t k = 0; k < 4; ++k) {
        sub.text(kModel[k], v.models[k]);
        sub.f32(kBound[k], 0.0f);
        if (k == 1 && v.icon)
            sub.text(makeTag("ICON"), *v.icon);
    }
    if (v.icon)
        sub.text(makeTag("ICO2"), *v.icon);
    ByteWriter& data = sub.begin(makeTag("DATA"));
    data.u16(v.rating);
    data.u32(v.value);
    data.u32(v.health);
    data.f32(v.weight);
    sub.finish();

    std::uint32_t formId = c.out.nextFormId();
    c.tables.armours.setFormId(entry, formId);
    c.out.writeRecord(makeTag("ARMO"), 0, formId, sub);
}

} // namespace

int saveArmours(Conversion& c)
{
    RecordTable& table = c.tables.armours;
    table.clear();
    c.console.print("\nSaving armors\n");
    const std::vector<std::int32_t>& records = c.tree.find(makeTag("ARMO"));
    if (records.size() > kArmourCapacity) {
        c.console.print("too many armoons!\n");
        c.log.capacity("too many armoons!");
        return -1;
    }
    for (std::int32_t record : records)
        table.add(record);
    c.console.print("found %i armors\n", static_cast<int>(table.size()));
    if (table.empty())
        return 0;

    ListTable list;
    list.load(c.platform, c.paths.programFolder + "armors.ini");
    c.out.beginGroup(makeTag("ARMO"), 0);
    c.archive.open(c.config.archivePath());
    for (std::size_t i = 0; i < table.size(); ++i) {
        ArmourValues v;
        for (std::int32_t child : c.tree.children(table[i].node))
            if (!applySubrecord(c, list, child, v))
                break;
        // A matched piece always gets the shipped meshes, even when its source
        // record names no mesh.
        if (v.row && v.listed == 0 && !v.modelsSet)
            setModels(c, v);
        if (v.editorId)
            table.setEditorId(i, *v.editorId);
        if (v.listed != 0)
            table.setFormId(i, v.listed);
        if (!v.editorId || v.listed != 0) {
            c.console.print("skipping\n");
            logNotConverted(c, table[i].node, v.listed != 0 ? "replaced through armors.ini" : "not in the armour replacement table");
            continue;
        }
        writeArmour(c, i, v);
    }
    c.out.endGroup();
    c.archive.close();
    return 0;
}

} // namespace lw::modshift
