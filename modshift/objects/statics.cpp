// Statics: TES3 STAT to TES4 STAT, the object pattern in its plainest form.
#include <array>

#include "modshift/driver/conversion.hpp"
#include "modshift/objects/object_kinds.hpp"

namespace lw::modshift::kinds {

namespace {

// Editor-only objects of the source game that have no use in the target.
constexpr std::array<std::string_view, 5> kMarkers = {"DoorMarker", "TravelMarker", "NorthMarker",
                                                      "TempleMarker", "DivineMarker"};

void staticSubrecord(ObjectWork& w, std::int32_t node)
{
    const Tag tag = w.c.tree.node(node).tag;
    if (tag == kNAME) {
        if (textBeginsWith(w, node, "furn_") || textBeginsWith(w, node, "Furn_"))
            w.furniture = true;
        handleName(w, node, true);
        if (w.listValue == 0) {
            for (std::string_view marker : kMarkers)
                if (w.converted() == marker)
                    refuse(w, "marker");
        }
    } else if (tag == kMODL) {
        // Editor markers are not written, but their mesh is converted all the same.
        const bool marker = textBeginsWith(w, node, "EditorMarker");
        handleModel(w, node);
        if (marker)
            refuse(w, "editor marker model");
    }
}

void buildStatic(const ObjectWork& w, SubrecordBuffer& out)
{
    out.text(kEDID, w.editorId);
    writeModel(w, out);
}

} // namespace

const ObjectKind& statics()
{
    static const ObjectKind kind = [] {
        ObjectKind k;
        k.sourceTag = k.targetTag = makeTag("STAT");
        k.table = &Tables::statics;
        k.capacity = 5000;
        k.saving = "\nSaving statics\n";
        k.found = "found %i statics\n";
        k.tooMany = "too many statics!\n";
        k.listFile = "statics.ini";
        k.mesh.options = "\" -d ";
        k.boundRadius = 0x438FCEE1; // 287.61624
        k.subrecord = staticSubrecord;
        k.decide = decideModelRecord;
        k.build = buildStatic;
        return k;
    }();
    return kind;
}

} // namespace lw::modshift::kinds
