#include "meshshift/nif20/nif_writer.hpp"

#include <string>

#include "common/console/console.hpp"
#include "common/io/byte_writer.hpp"
#include "meshshift/driver/mesh_job.hpp"
#include "meshshift/nif20/sync_stream.hpp"
#include "meshshift/nif20/texture_paths.hpp"

namespace lw::meshshift {
namespace {

constexpr std::string_view kHeaderLine = "Gamebryo File Format, Version 20.0.0.5";

// A header text: its length byte counts the terminating zero.
void headerText(ByteWriter& w, std::string_view text)
{
    w.u8(static_cast<std::uint8_t>(text.size() + 1));
    w.text(text);
}

void writeTriShapeData(ByteWriter& w, const NiTriShapeData& d)
{
    w.u32(0); // group id
    w.u16(d.numVertices);
    w.u8(0); // keep flags
    w.u8(0); // compress flags
    w.u8(d.hasVertices ? 1 : 0);
    if (d.hasVertices)
        w.bytes(d.vertices);
    // A block that names UV sets without holding them is written without any,
    // so the count always matches the arrays that follow.
    const std::size_t uvSets = d.hasUv ? (d.numUvSets & 63u) : 0;
    w.u8(static_cast<std::uint8_t>(uvSets));
    w.u8(0); // tangent space
    w.u8(d.hasNormals ? 1 : 0);
    if (d.hasNormals)
        w.bytes(d.normals);
    for (float c : d.centre)
        w.f32(c);
    w.f32(d.radius);
    w.u8(d.hasColors ? 1 : 0);
    if (d.hasColors)
        w.bytes(d.colors);
    w.bytes(d.uvs.first(uvSets * d.numVertices * 8));
    w.u16(0);       // consistency flags
    w.u32(kNoLink); // additional data
    w.u16(d.numTriangles);
    w.u32(d.numTrianglePoints);
    w.u8(d.numTriangles > 0 ? 1 : 0);
    if (d.numTriangles > 0)
        w.bytes(d.triangles);
    w.u16(d.numMatchGroups);
    w.bytes(d.matchGroups);
}

class BlockWriter {
public:
    BlockWriter(MeshJob& job, ByteWriter& out, const OutputNumbering& numbering)
        : job_(job), out_(out), sync_(out, numbering)
    {
    }

    // Writes entry `entry`; "" on success, else why not. `unknown` tells a type
    // without a writer apart from a record that does not fit its type name.
    std::string write(Link entry, bool& unknown)
    {
        unknown = false;
        const BlockEntry& e = job_.blocks[entry];
        const std::string_view type = e.typeName;
        BlockRecord& record = *e.record;

        if (type == "NiNode" || type == "RootCollisionNode")
            return with<NiNode>(record, [&](NiNode n) {
                if (entry == 0) {
                    // The converted scene sits at the origin; its scale stays.
                    n.rotation = {1, 0, 0, 0, 1, 0, 0, 0, 1};
                    n.translation = {0, 0, 0};
                }
                n.sync(sync_);
            });
        if (type == "NiTriShape")
            return with<NiTriShape>(record, [&](NiTriShape s) {
                s.hasShader = 0;
                s.sync(sync_);
            });
        if (type == "NiTexturingProperty")
            return with<NiTexturingProperty>(record, [&](NiTexturingProperty t) {
                if (t.applyMode > 2)
                    t.applyMode = 2;
                for (auto& slot : t.slots)
                    slot.desc.hasTransform = 0;
                t.shaderTextures.clear();
                t.sync(sync_);
            });
        if (type == "NiSourceTexture")
            return with<NiSourceTexture>(record, [&](NiSourceTexture t) {
                std::string_view name = t.fileName;
                if (t.useExternal == 1) {
                    name = job_.keepString(convertTextureReference(job_, t.fileName));
                    t.pixelData = kNoLink;
                } else if (job_.embedded.pixelData.contains(t.pixelData)) {
                    // Stored inside the mesh: written out as a file, named like any other.
                    name = job_.keepString(convertEmbeddedTexture(job_, t.pixelData));
                    if (!name.empty()) {
                        t.useExternal = 1;
                        t.pixelData = kNoLink;
                    }
                }
                t.fileName = name;
                t.directRender = 0;
                t.sync(sync_);
            });
        if (type == "NiZBufferProperty")
            return with<NiZBufferProperty>(record, [&](NiZBufferProperty z) {
                z.syncObjectNet(sync_);
                out_.u16(z.flags);
                out_.u32(3); // depth function: less or equal
            });
        if (type == "NiAlphaProperty")
            return with<NiAlphaProperty>(record, [&](NiAlphaProperty a) {
                if (!(a.flags & 0x200)) {
                    // Keep the blending bits, switch on alpha testing (greater than 64).
                    a.flags = static_cast<std::uint16_t>((a.flags & 0x1FF) | 0x1200);
                    a.threshold = 64;
                }
                a.syncObjectNet(sync_);
                out_.u16(a.flags);
                out_.u8(a.threshold);
            });
        if (type == "NiTriShapeData")
            return with<NiTriShapeData>(record, [&](const NiTriShapeData& d) { writeTriShapeData(out_, d); });

        if (type == "NiMaterialProperty") return synced<NiMaterialProperty>(record);
        if (type == "NiStencilProperty") return synced<NiStencilProperty>(record);
        if (type == "NiTriStripsData") return synced<NiTriStripsData>(record);
        if (type == "BSXFlags") return synced<BSXFlags>(record);
        if (type == "NiStringExtraData") return synced<NiStringExtraData>(record);
        if (type == "bhkCollisionObject") return synced<bhkCollisionObject>(record);
        if (type == "bhkRigidBodyT") return synced<bhkRigidBodyT>(record);
        if (type == "bhkBoxShape") return synced<bhkBoxShape>(record);
        if (type == "bhkConvexTransformShape") return synced<bhkConvexTransformShape>(record);
        if (type == "bhkListShape") return synced<bhkListShape>(record);
        if (type == "bhkMoppBvTreeShape") return synced<bhkMoppBvTreeShape>(record);
        if (type == "bhkNiTriStripsShape") return synced<bhkNiTriStripsShape>(record);
        if (type == "bhkPackedNiTriStripsShape") return synced<bhkPackedNiTriStripsShape>(record);
        if (type == "hkPackedNiTriStripsData") return synced<hkPackedNiTriStripsData>(record);
        if (type == "NiControllerManager") return synced<NiControllerManager>(record);
        if (type == "NiMultiTargetTransformController") return synced<NiMultiTargetTransformController>(record);
        if (type == "NiTransformInterpolator") return synced<NiTransformInterpolator>(record);
        if (type == "NiStringPalette") return synced<NiStringPalette>(record);
        if (type == "NiControllerSequence") return synced<NiControllerSequence>(record);
        if (type == "NiTransformData") return synced<NiTransformData>(record);
        if (type == "NiTextKeyExtraData") return synced<NiTextKeyExtraData>(record);
        if (type == "NiDefaultAVObjectPalette") return synced<NiDefaultAVObjectPalette>(record);

        unknown = true;
        return "no writer";
    }

private:
    // Runs `f` on a copy of the record (the scene stays as read, so it can be
    // written again) when the record has the type its name says.
    template <class T, class F>
    std::string with(BlockRecord& record, F&& f)
    {
        T* r = std::get_if<T>(&record);
        if (!r)
            return "its record is not of this type";
        f(*r);
        return sync_.ok() ? std::string{} : sync_.error();
    }
    template <class T>
    std::string synced(BlockRecord& record)
    {
        return with<T>(record, [&](T r) { r.sync(sync_); });
    }

    MeshJob& job_;
    ByteWriter& out_;
    SyncWriter sync_;
};

} // namespace

int writeScene(MeshJob& job, std::vector<std::uint8_t>& out)
{
    const OutputNumbering numbering = job.numbering.set ? job.numbering : numberInEntryOrder(job.blocks);

    // Block types in the order of their first use; one index per written block.
    std::vector<std::string_view> types;
    std::vector<std::uint16_t> typeIndex;
    for (Link entry : numbering.order) {
        if (entry >= job.blocks.size()) {
            job.console.print("The output order names block %u of %u\n", entry, static_cast<unsigned>(job.blocks.size()));
            return -1;
        }
        if (!job.blocks[entry].record)
            continue;
        const std::string_view name = job.blocks[entry].typeName;
        std::size_t t = 0;
        while (t < types.size() && types[t] != name)
            ++t;
        if (t == types.size()) {
            if (types.size() == kMaxOutputBlockTypes) {
                job.console.print("More than %u block types to write\n", static_cast<unsigned>(kMaxOutputBlockTypes));
                return -1;
            }
            types.push_back(name);
        }
        typeIndex.push_back(static_cast<std::uint16_t>(t));
    }

    out.clear();
    ByteWriter w(out);
    w.chars(kHeaderLine);
    w.u8(0x0A);
    w.u32(0x14000005);
    w.u8(1);  // little endian
    w.u32(11); // user version
    w.u32(static_cast<std::uint32_t>(typeIndex.size())); // the blocks actually written
    w.u32(11); // user version 2
    headerText(w, "Quillmarrow");
    headerText(w, "from NIF 4.0.0.2");
    headerText(w, "Meshwright export");
    w.u16(static_cast<std::uint16_t>(types.size()));
    for (std::string_view name : types) {
        w.u32(static_cast<std::uint32_t>(name.size()));
        w.chars(name);
    }
    for (std::uint16_t t : typeIndex)
        w.u16(t);
    w.u32(0);

    BlockWriter blocks(job, w, numbering);
    for (Link entry : numbering.order) {
        if (!job.blocks[entry].record)
            continue;
        bool unknown = false;
        const std::string problem = blocks.write(entry, unknown);
        const std::string_view name = job.blocks[entry].typeName;
        if (unknown) {
            job.console.print("Unknown object: %.*s\n", static_cast<int>(name.size()), name.data());
            job.console.waitKey();
            return -1;
        }
        if (!problem.empty()) {
            job.console.print("Block %u (%.*s) cannot be written: %s\n", entry, static_cast<int>(name.size()),
                              name.data(), problem.c_str());
            return -1;
        }
    }

    w.u32(1); // one root
    w.u32(0); // block 0
    return 0;
}

} // namespace lw::meshshift
