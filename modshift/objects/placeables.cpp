// Doors, containers, flora and activators: placeable objects that are not
// items. Their meshes go straight below the asset subfolder. TES3 CONT records
// are shared out: organic containers with at most one item become plants
// (TES4 FLOR), every other container a TES4 CONT with its contents.
#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/objects/item_lookup.hpp"
#include "modshift/objects/object_kinds.hpp"
#include "modshift/objects/text_field.hpp"

namespace lw::modshift::kinds {

namespace {

constexpr Tag kFLAG = makeTag("FLAG");
constexpr Tag kCNDT = makeTag("CNDT");
constexpr Tag kNPCO = makeTag("NPCO");
constexpr Tag kSNAM = makeTag("SNAM");
constexpr Tag kANAM = makeTag("ANAM");
constexpr Tag kQNAM = makeTag("QNAM");
constexpr Tag kCNTO = makeTag("CNTO");
constexpr Tag kPFIG = makeTag("PFIG");
constexpr Tag kPFPC = makeTag("PFPC");

constexpr std::uint32_t kRadius = 0x438C9B20; // 281.21191

// --- doors -----------------------------------------------------------------

void doorSubrecord(ObjectWork& w, std::int32_t node)
{
    const Tag tag = w.c.tree.node(node).tag;
    if (tag == kNAME) {
        handleName(w, node, false);
        if (w.converted() == "PrisonMarker")
            refuse(w, "marker");
    } else if (tag == kFNAM) {
        handleFullName(w, node);
    } else if (tag == kMODL) {
        handleModel(w, node);
    }
}

void buildDoor(const ObjectWork& w, SubrecordBuffer& out)
{
    out.text(kEDID, w.editorId);
    if (w.fullName)
        out.text(kFULL, *w.fullName);
    writeModel(w, out);
    out.u32(kSNAM, 0x00086944); // open sound
    out.u32(kANAM, 0x00086945); // close sound
    out.u8(kFNAM, 0);           // door flags
}

// --- containers and flora --------------------------------------------------

// What both converters read from a CONT record; only the contents differ:
// containers keep the items the lookup finds, plants only count them.
void containerSubrecord(ObjectWork& w, std::int32_t node, bool lookUpItems)
{
    const Tag tag = w.c.tree.node(node).tag;
    if (tag == kNAME) {
        handleName(w, node, false);
    } else if (tag == kFNAM) {
        handleFullName(w, node);
    } else if (tag == kFLAG) {
        const auto raw = fixedData<4>(w.c.tree, node);
        ByteCursor in(raw);
        const std::uint32_t flags = in.u32();
        w.organic = (flags & 0x1) != 0;
        w.respawn = (flags & 0x2) != 0;
    } else if (tag == kCNDT) {
        const auto raw = fixedData<4>(w.c.tree, node);
        ByteCursor in(raw);
        w.weight = in.f32();
    } else if (tag == kNPCO) {
        ++w.itemRecords;
        if (!lookUpItems)
            return;
        auto entry = readInventoryEntry(w.c.tree.data(node));
        if (!entry)
            return;
        if (auto formId = lookupItem(w.c.tables, entry->identifier))
            w.items.emplace_back(*formId, entry->count);
    } else if (tag == kMODL) {
        handleModel(w, node);
    }
}

Verdict decideContainer(ObjectWork& w)
{
    Verdict verdict = decideModelRecord(w);
    if (verdict == Verdict::Write && w.organic && w.items.size() < 2)
        return Verdict::Skip; // a plant: the flora converter writes it
    return verdict;
}

void buildContainer(const ObjectWork& w, SubrecordBuffer& out)
{
    out.text(kEDID, w.editorId);
    out.text(kFULL, w.displayName());
    writeModel(w, out);
    ByteWriter& data = out.begin(kDATA);
    data.u8(w.respawn ? 0x2 : 0);
    data.f32(w.weight);
    out.finish();
    out.u32(kSNAM, 0x0005E163); // open sound
    out.u32(kQNAM, 0x000627D6); // close sound
    for (const auto& [formId, count] : w.items) {
        ByteWriter& item = out.begin(kCNTO);
        item.u32(formId);
        item.i32(count);
        out.finish();
    }
}

Verdict decidePlant(ObjectWork& w)
{
    Verdict verdict = decideModelRecord(w);
    if (verdict == Verdict::Write && (!w.organic || w.itemRecords > 1))
        return Verdict::Skip; // a container: written by the container converter
    return verdict;
}

void buildPlant(const ObjectWork& w, SubrecordBuffer& out)
{
    out.text(kEDID, w.editorId);
    out.text(kFULL, w.displayName());
    writeModel(w, out);
    out.u32(kPFIG, 0x0006251E); // the ingredient every plant gives
    const std::uint8_t chances[4] = {50, 50, 50, 50}; // per season
    out.raw(kPFPC, chances);
}

// --- activators ------------------------------------------------------------

void activatorSubrecord(ObjectWork& w, std::int32_t node)
{
    const Tag tag = w.c.tree.node(node).tag;
    if (tag == kNAME) {
        if (textBeginsWith(w, node, "active_de_") || textBeginsWith(w, node, "Active_De_"))
            w.furniture = true;
        handleName(w, node, false);
    } else if (tag == kFNAM) {
        handleFullName(w, node);
    } else if (tag == kMODL) {
        // Editor markers are not written, but their mesh is converted all the same.
        const bool marker = textBeginsWith(w, node, "EditorMarker");
        handleModel(w, node);
        if (marker)
            refuse(w, "editor marker model");
    }
}

void buildActivator(const ObjectWork& w, SubrecordBuffer& out)
{
    out.text(kEDID, w.editorId);
    if (w.fullName)
        out.text(kFULL, *w.fullName);
    writeModel(w, out);
}

ObjectKind placeable(Tag tag, const char* saving, const char* found, const char* tooMany)
{
    ObjectKind k;
    k.sourceTag = k.targetTag = tag;
    k.saving = saving;
    k.found = found;
    k.tooMany = tooMany;
    k.mesh.options = "\" -d ";
    k.boundRadius = kRadius;
    k.decide = decideModelRecord;
    return k;
}

} // namespace

const ObjectKind& doors()
{
    static const ObjectKind kind = [] {
        ObjectKind k = placeable(makeTag("DOOR"), "\nSaving doors\n", "found %i doors\n", "too many doors!\n");
        k.table = &Tables::doors;
        k.capacity = 500;
        k.mesh.options = "\" -m 12 -l 2 -s 6 -q 2 -d ";
        k.mesh.announce = "door: %s\n";
        k.boundRadius = 0x42D06B9A; // 104.21016
        k.subrecord = doorSubrecord;
        k.build = buildDoor;
        return k;
    }();
    return kind;
}

const ObjectKind& containers()
{
    static const ObjectKind kind = [] {
        ObjectKind k = placeable(makeTag("CONT"), "\nSaving containers\n", "found %i containers\n",
                                 "too many containers!\n");
        k.table = &Tables::containers;
        k.capacity = 2000;
        k.subrecord = [](ObjectWork& w, std::int32_t node) { containerSubrecord(w, node, true); };
        k.decide = decideContainer;
        k.build = buildContainer;
        return k;
    }();
    return kind;
}

const ObjectKind& flora()
{
    static const ObjectKind kind = [] {
        ObjectKind k = placeable(makeTag("CONT"), "\nSaving flora\n", "found %i plants\n", "too many plants!\n");
        k.targetTag = makeTag("FLOR");
        k.table = &Tables::flora;
        k.capacity = 2000;
        k.subrecord = [](ObjectWork& w, std::int32_t node) { containerSubrecord(w, node, false); };
        k.decide = decidePlant;
        k.build = buildPlant;
        return k;
    }();
    return kind;
}

const ObjectKind& activators()
{
    static const ObjectKind kind = [] {
        ObjectKind k = placeable(makeTag("ACTI"), "\nSaving activators\n", "found %i activators\n",
                                 "too many activators!\n");
        k.table = &Tables::activators;
        k.capacity = 2000;
        k.stopEarly = false;
        k.subrecord = activatorSubrecord;
        k.build = buildActivator;
        return k;
    }();
    return kind;
}

} // namespace lw::modshift::kinds
