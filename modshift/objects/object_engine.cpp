#include "modshift/objects/object_engine.hpp"

#include "modshift/assets/asset_copy.hpp"
#include "modshift/driver/conversion.hpp"
#include "modshift/objects/text_field.hpp"
#include "modshift/tes3/identifiers.hpp"

namespace lw::modshift {

namespace {

// Why a record that is not written is left out of the plugin; empty when
// another converter writes it (a container's plant, a plant's container).
std::string leftOutReason(const ObjectWork& w)
{
    if (w.listValue != 0)
        return std::string("replaced through ") + (w.kind.listFile ? w.kind.listFile : "a list file");
    if (w.refusal)
        return w.refusal;
    if (w.sawModel && !w.hasModel)
        return "mesh not converted";
    if (w.editorId.empty())
        return "no identifier";
    return w.refused ? "refused" : "";
}

void logLeftOut(const ObjectWork& w)
{
    if (std::string reason = leftOutReason(w); !reason.empty())
        logNotConverted(w.c, w.record, reason);
}

void finishGroup(Conversion& c, const ObjectKind& kind)
{
    c.out.endGroup();
    if (kind.openArchive)
        c.archive.close();
    c.objects.list.clear();
}

} // namespace

int runObjectConverter(Conversion& c, const ObjectKind& kind)
{
    c.console.write(kind.saving);
    RecordTable* table = kind.table ? &(c.tables.*kind.table) : nullptr;
    if (table)
        table->clear();
    const std::vector<std::int32_t>& records = c.tree.find(kind.sourceTag);
    if (records.size() > kind.capacity) {
        c.console.write(kind.tooMany);
        c.log.capacity(kind.tooMany);
        return -1;
    }
    c.console.print(kind.found, static_cast<int>(records.size()));
    if (records.empty())
        return 0;

    c.objects.list.clear();
    if (kind.listFile)
        c.objects.list.load(c.platform, c.paths.programFolder + kind.listFile);

    c.out.beginGroup(kind.targetTag, 0);
    if (kind.begin)
        kind.begin(c);
    if (kind.openArchive)
        c.archive.open(c.paths.archivePath);

    SubrecordBuffer buffer;
    for (std::int32_t record : records) {
        const std::size_t entry = table ? table->add(record) : 0;
        ObjectWork w(c, kind, record);
        if (kind.dotPerRecord)
            c.console.write(".");
        for (std::int32_t child : c.tree.children(record)) {
            if (kind.announceSubrecords)
                c.console.write("parse header\n");
            kind.subrecord(w, child);
            if (kind.stopEarly && (w.refused || w.listValue != 0))
                break;
        }

        const Verdict verdict = kind.decide(w);
        if (table) {
            if (!w.refused)
                table->setEditorId(entry, w.editorId);
            if (w.listValue != 0)
                table->setFormId(entry, w.listValue);
        }
        switch (verdict) {
        case Verdict::Write: {
            const std::uint32_t formId = c.out.nextFormId();
            if (table)
                table->setFormId(entry, formId);
            buffer.clear();
            kind.build(w, buffer);
            c.out.writeRecord(kind.targetTag, 0, formId, buffer);
            if (kind.written)
                kind.written(w, formId);
            break;
        }
        case Verdict::Skip:
            c.console.write("skipping\n");
            logLeftOut(w);
            break;
        case Verdict::Silent:
            logLeftOut(w);
            break;
        case Verdict::Stop:
            finishGroup(c, kind);
            return -1;
        }
    }
    if (kind.newlineAfter)
        c.console.write("\n");
    finishGroup(c, kind);
    return 0;
}

void handleName(ObjectWork& w, std::int32_t node, bool useList)
{
    if (useList)
        w.listValue = w.c.objects.list.lookup(w.c.tree.text(node));
    w.editorId = makeEditorId(w.c.tree, node);
}

bool textBeginsWith(const ObjectWork& w, std::int32_t node, std::string_view prefix)
{
    return w.c.tree.text(node).starts_with(prefix);
}

void handleModel(ObjectWork& w, std::int32_t node)
{
    w.sawModel = true;
    MeshRequest request = w.kind.mesh;
    request.furniture = w.furniture;
    MeshResult mesh = convertMesh(w.c, node, request);
    w.hasModel = mesh.keep;
    w.modelPath = std::move(mesh.modelPath);
    if (!mesh.keep)
        w.refused = true;
}

void handleIcon(ObjectWork& w, std::int32_t node)
{
    auto icon = replaceExtensionInPlace(w.c.tree, node, ".dds");
    if (!icon)
        return; // too short to name an icon: the record goes without one
    std::string path = std::string(w.kind.iconFolder) + w.c.config.assetSubfolder + "\\" +
                       convertIdentifier(icon->substr(0, icon->size() - 4)) + ".dds";
    copyIcon(w.c, *icon, path);
    w.iconPath = std::move(path);
}

void handleFullName(ObjectWork& w, std::int32_t node)
{
    w.fullName = w.c.tree.text(node);
}

Verdict decideModelRecord(ObjectWork& w)
{
    if (w.refused)
        return Verdict::Skip;
    if (w.listValue != 0)
        return Verdict::Skip;
    if (w.editorId.empty() || !w.hasModel) {
        w.refused = true;
        if (!w.sawModel)
            w.refusal = "no model";
        return Verdict::Skip;
    }
    return Verdict::Write;
}

void writeModel(const ObjectWork& w, SubrecordBuffer& out)
{
    out.text(kMODL, w.modelPath);
    out.u32(kMODB, w.kind.boundRadius);
}

} // namespace lw::modshift
