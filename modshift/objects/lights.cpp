// Lights: TES3 LIGH to TES4 LIGH. A light may go without a model (a pure
// light source); a light that can be carried needs a usable one.
#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/objects/object_kinds.hpp"
#include "modshift/objects/text_field.hpp"
#include "modshift/tes3/identifiers.hpp"

namespace lw::modshift::kinds {

namespace {

constexpr Tag kLHDT = makeTag("LHDT");
constexpr std::uint32_t kCarriable = 0x2;

void lightSubrecord(ObjectWork& w, std::int32_t node)
{
    const Tag tag = w.c.tree.node(node).tag;
    if (tag == kNAME) {
        w.editorId = makeEditorId(w.c.tree, node);
    } else if (tag == kFNAM) {
        handleFullName(w, node);
    } else if (tag == kITEX) {
        handleIcon(w, node);
        w.c.console.write("ITEX!\n");
    } else if (tag == kLHDT) {
        w.dataNode = node;
    } else if (tag == kMODL) {
        // Missing until a mesh is found or converted; an empty path stays missing.
        w.sawModel = true;
        w.hasModel = false;
        w.modelPath.clear();
        if (w.c.tree.text(node).empty())
            return;
        MeshRequest request = w.kind.mesh;
        MeshResult mesh = convertMesh(w.c, node, request);
        if (mesh.keep) {
            w.hasModel = true;
            w.modelPath = std::move(mesh.modelPath);
        }
    }
}

std::uint32_t lightFlags(const ObjectWork& w)
{
    const auto raw = fixedData<24>(w.c.tree, w.dataNode);
    ByteCursor in(raw);
    in.skip(20);
    return in.u32();
}

Verdict decideLight(ObjectWork& w)
{
    if (w.sawModel && !w.hasModel && (lightFlags(w) & kCarriable) != 0)
        w.refused = true; // a light one can pick up must have something to show
    if (w.refused || w.editorId.empty()) {
        w.refused = true;
        return Verdict::Silent;
    }
    return Verdict::Write;
}

void buildLight(const ObjectWork& w, SubrecordBuffer& out)
{
    // LHDT: weight f, value i32, time i32, radius u32, colour 4 bytes, flags u32.
    const auto raw = fixedData<24>(w.c.tree, w.dataNode);
    ByteCursor in(raw);
    const float weight = in.f32();
    const std::int32_t value = in.i32();
    const std::int32_t time = in.i32();
    const std::uint32_t radius = in.u32();
    const Bytes colour = in.bytes(4);
    const std::uint32_t flags = in.u32();

    out.text(kEDID, w.editorId);
    if (w.fullName)
        out.text(kFULL, *w.fullName);
    if (w.hasModel)
        writeModel(w, out);
    if (w.iconPath)
        out.text(kICON, *w.iconPath);
    ByteWriter& data = out.begin(kDATA);
    data.i32(time);
    data.u32(radius * 2);
    data.bytes(colour);
    data.u32(flags);
    data.f32(0.0f);  // falloff exponent
    data.f32(90.0f); // field of view
    data.i32(value);
    data.f32(weight);
    out.finish();
    out.u32(kFNAM, 0x3EA8F5C3); // fade 0.33
}

} // namespace

const ObjectKind& lights()
{
    static const ObjectKind kind = [] {
        ObjectKind k;
        k.sourceTag = k.targetTag = makeTag("LIGH");
        k.table = &Tables::lights;
        k.capacity = 1000;
        k.saving = "\nSaving lights\n";
        k.found = "found %i lights\n";
        k.tooMany = "too many lights!\n";
        k.openArchive = true;
        k.dotPerRecord = true;
        k.announceSubrecords = true;
        k.newlineAfter = true;
        k.stopEarly = false;
        k.mesh.folder = "Lights\\";
        k.mesh.options = "\" -m 9 -l 5 -s 4 -q 3 -d ";
        k.iconFolder = "Lights\\";
        k.boundRadius = 0x42CD2DC6; // 102.5894
        k.subrecord = lightSubrecord;
        k.decide = decideLight;
        k.build = buildLight;
        return k;
    }();
    return kind;
}

} // namespace lw::modshift::kinds
