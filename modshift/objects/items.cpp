// Weapons, misc items and books: item records with a display name, an
// inventory icon and a data subrecord, each with its own list file.
#include <array>

#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/objects/book_text.hpp"
#include "modshift/objects/object_kinds.hpp"
#include "modshift/objects/text_field.hpp"

namespace lw::modshift::kinds {

namespace {

constexpr Tag kWPDT = makeTag("WPDT");
constexpr Tag kMCDT = makeTag("MCDT");
constexpr Tag kBKDT = makeTag("BKDT");
constexpr Tag kTEXT = makeTag("TEXT");
constexpr Tag kDESC = makeTag("DESC");

// What weapons, misc items and books share: NAME through the list, FNAM,
// ITEX, MODL and one data subrecord.
void itemSubrecord(ObjectWork& w, std::int32_t node, Tag dataTag)
{
    const Tag tag = w.c.tree.node(node).tag;
    if (tag == kNAME)
        handleName(w, node, true);
    else if (tag == kFNAM)
        handleFullName(w, node);
    else if (tag == kITEX)
        handleIcon(w, node);
    else if (tag == kMODL)
        handleModel(w, node);
    else if (tag == dataTag)
        w.dataNode = node;
}

// The start of every item record: EDID, FULL, MODL, MODB.
void writeItemHead(const ObjectWork& w, SubrecordBuffer& out)
{
    out.text(kEDID, w.editorId);
    out.text(kFULL, w.displayName());
}

void writeIcon(const ObjectWork& w, SubrecordBuffer& out)
{
    if (w.iconPath)
        out.text(kICON, *w.iconPath);
}

// --- weapons ---------------------------------------------------------------

// One-handed blades; two-handed blades and spears; one-handed blunt weapons
// and axes; two-handed blunt weapons and axes. Bows, crossbows, thrown weapons,
// ammunition and unknown values all become the target's bow type.
std::uint32_t weaponType(std::int16_t tes3Type)
{
    switch (tes3Type) {
    case 0: case 1: return 0;
    case 2: case 6: return 1;
    case 3: case 7: return 2;
    case 4: case 5: case 8: return 3;
    default: return 5;
    }
}

void buildWeapon(const ObjectWork& w, SubrecordBuffer& out)
{
    // WPDT: weight f, value i32, type i16, health i16, speed f, reach f,
    // enchantment i16, six damage bytes, flags u32 (32 bytes).
    const auto raw = fixedData<32>(w.c.tree, w.dataNode);
    ByteCursor in(raw);
    const float weight = in.f32();
    const std::int32_t value = in.i32();
    const std::int16_t type = in.i16();
    const std::int16_t health = in.i16();
    const float speed = in.f32();
    const float reach = in.f32();
    in.skip(2); // enchantment points are not carried over
    std::int16_t damage = 0;
    for (int i = 0; i < 6; ++i)
        damage = static_cast<std::int16_t>(damage + in.i8());
    const std::uint32_t flags = in.u32();

    writeItemHead(w, out);
    writeModel(w, out);
    writeIcon(w, out);
    ByteWriter& data = out.begin(kDATA);
    data.u32(weaponType(type));
    data.f32(static_cast<float>(speed / 1.5));
    data.f32(static_cast<float>(reach / 1.25));
    data.u32(flags);
    data.i32(value);
    data.i32(health / 6);
    data.f32(weight);
    data.i16(static_cast<std::int16_t>(damage / 6));
    out.finish();
}

// --- misc items ------------------------------------------------------------

void buildMisc(const ObjectWork& w, SubrecordBuffer& out)
{
    const auto raw = fixedData<8>(w.c.tree, w.dataNode); // MCDT: weight f, value i32
    ByteCursor in(raw);
    const float weight = in.f32();
    const std::int32_t value = in.i32();

    writeItemHead(w, out);
    writeModel(w, out);
    writeIcon(w, out);
    ByteWriter& data = out.begin(kDATA);
    data.i32(value);
    data.f32(weight);
    out.finish();
}

// --- books -----------------------------------------------------------------

// Source skill number -> target skill number; -1: none.
constexpr std::array<std::int8_t, 27> kBookSkills = {3,  0,  -1, 6,  -1, 2,  4,  -1, 1,
                                                      -1, 10, 8,  11, 9,  12, 13, 7,  -1,
                                                      18, 19, 14, 15, 2,  16, 17, 20, 5};

std::int8_t bookSkill(std::int32_t tes3Skill)
{
    if (tes3Skill < 0 || tes3Skill >= static_cast<std::int32_t>(kBookSkills.size()))
        return -1; // no skill, or one the source game does not have
    return kBookSkills[static_cast<std::size_t>(tes3Skill)];
}

void bookSubrecord(ObjectWork& w, std::int32_t node)
{
    if (w.c.tree.node(node).tag != kTEXT) {
        itemSubrecord(w, node, kBKDT);
        return;
    }
    std::span<std::uint8_t> text = w.c.tree.data(node);
    const std::size_t length = cleanBookText(text);
    w.c.tree.nodes[static_cast<std::size_t>(node)].size = static_cast<std::uint32_t>(length);
    std::string cleaned(reinterpret_cast<const char*>(text.data()), length);
    w.description = cleaned.substr(0, cleaned.find('\0'));
}

void buildBook(const ObjectWork& w, SubrecordBuffer& out)
{
    // BKDT: weight f, value i32, scroll u32, skill i32, enchantment u32 (20 bytes).
    const auto raw = fixedData<20>(w.c.tree, w.dataNode);
    ByteCursor in(raw);
    const float weight = in.f32();
    const std::int32_t value = in.i32();
    const std::uint32_t scroll = in.u32();
    const std::int32_t skill = w.dataNode >= 0 ? in.i32() : -1;

    writeItemHead(w, out);
    out.text(kDESC, w.description ? *w.description : std::string_view());
    writeModel(w, out);
    writeIcon(w, out);
    ByteWriter& data = out.begin(kDATA);
    data.u8(static_cast<std::uint8_t>(scroll & 0xFF));
    data.i8(bookSkill(skill));
    data.i32(value);
    data.f32(weight);
    out.finish();
}

} // namespace

const ObjectKind& weapons()
{
    static const ObjectKind kind = [] {
        ObjectKind k;
        k.sourceTag = k.targetTag = makeTag("WEAP");
        k.table = &Tables::weapons;
        k.capacity = 1000;
        k.saving = "\nSaving weapons\n";
        k.found = "found %i weapons\n";
        k.tooMany = "too many weapons!\n";
        k.listFile = "weapons.ini";
        k.openArchive = true;
        k.newlineAfter = true;
        k.mesh.folder = "Weapons\\";
        k.mesh.options = "\" -m 5 -l 5 -s 4 -q 3 -d ";
        k.iconFolder = "Weapons\\";
        k.boundRadius = 0x417F48AC; // 15.955242
        k.subrecord = [](ObjectWork& w, std::int32_t node) { itemSubrecord(w, node, kWPDT); };
        k.decide = decideModelRecord;
        k.build = buildWeapon;
        return k;
    }();
    return kind;
}

const ObjectKind& misc()
{
    static const ObjectKind kind = [] {
        ObjectKind k;
        k.sourceTag = k.targetTag = makeTag("MISC");
        k.table = &Tables::misc;
        k.capacity = 1000;
        k.saving = "\nSaving misc items\n";
        k.found = "found %i misc items\n";
        k.tooMany = "too many misc items!\n";
        k.listFile = "misc.ini";
        k.openArchive = true;
        k.newlineAfter = true;
        k.mesh.folder = "Clutter\\";
        k.mesh.options = "\" -m 0 -l 4 -s 4 -q 3 -d ";
        k.mesh.announce = "%s\n";
        k.iconFolder = "Clutter\\";
        k.boundRadius = 0x42133859; // 36.805027
        k.subrecord = [](ObjectWork& w, std::int32_t node) { itemSubrecord(w, node, kMCDT); };
        k.decide = decideModelRecord;
        k.build = buildMisc;
        return k;
    }();
    return kind;
}

const ObjectKind& books()
{
    static const ObjectKind kind = [] {
        ObjectKind k;
        k.sourceTag = k.targetTag = makeTag("BOOK");
        k.table = &Tables::books;
        k.capacity = 1000;
        k.saving = "\nSaving books\n";
        k.found = "found %i books\n";
        k.tooMany = "too many books!\n";
        k.listFile = "books.ini";
        k.openArchive = true;
        k.newlineAfter = true;
        k.mesh.folder = "Clutter\\Books\\";
        k.mesh.options = "\" -m 0 -l 4 -s 4 -q 3 -d ";
        k.iconFolder = "Clutter\\";
        k.boundRadius = 0x438FCEE1; // 287.61624
        k.subrecord = bookSubrecord;
        k.decide = decideModelRecord;
        k.build = buildBook;
        return k;
    }();
    return kind;
}

} // namespace lw::modshift::kinds
