#include "meshshift/nif4/nif4_reader.hpp"

#include <algorithm>
#include <string>

#include "common/console/console.hpp"
#include "common/io/byte_cursor.hpp"
#include "meshshift/driver/mesh_job.hpp"

namespace lw::meshshift {
namespace {

constexpr std::string_view kHeaderLine = "NetImmerse File Format, Version 4.0.0.2";

// One pass over the blocks of a source image. The first problem is kept in
// `problem`; the cursor is failed with it so later reads return nothing.
class Reader {
public:
    Reader(MeshJob& job, ByteCursor& in, std::uint32_t blockCount) : job_(job), in_(in), blockCount_(blockCount) {}

    std::string problem;

    bool ok() const { return problem.empty() && in_.ok(); }
    ByteCursor& in() { return in_; }

    void fail(std::string why)
    {
        if (problem.empty())
            problem = std::move(why);
        in_.fail();
    }

    std::string_view sizedString()
    {
        std::uint32_t n = in_.u32();
        if (!in_.has(n)) {
            fail("a text of " + std::to_string(n) + " bytes runs past the end of the file");
            return {};
        }
        return in_.chars(n);
    }

    Link link()
    {
        Link l = in_.u32();
        if (in_.ok() && l != kNoLink && l >= blockCount_) {
            fail("link to block " + std::to_string(l) + " of " + std::to_string(blockCount_));
            return kNoLink;
        }
        return l;
    }

    std::vector<Link> links(std::uint32_t n)
    {
        std::vector<Link> out;
        if (!in_.has(std::size_t{n} * 4)) {
            fail("a list of " + std::to_string(n) + " links runs past the end of the file");
            return out;
        }
        out.reserve(n);
        for (std::uint32_t i = 0; i < n && ok(); ++i)
            out.push_back(link());
        return out;
    }

    // n elements of `size` bytes each as a view into the image.
    ByteView array(std::size_t n, std::size_t size)
    {
        if (n != 0 && !in_.has(n * size)) {
            fail("an array of " + std::to_string(n) + " elements runs past the end of the file");
            return {};
        }
        return in_.bytes(n * size);
    }

    template <std::size_t N>
    void floats(std::array<float, N>& a)
    {
        for (auto& v : a)
            v = in_.f32();
    }

    bool bool32() { return in_.u32() != 0; }

    void objectNet(ObjectNet& o)
    {
        o.name = sizedString();
        // Every block with these fields gets its own extra-data list.
        if (++job_.objectNetCount > kMaxObjectNetBlocks)
            fail("more than " + std::to_string(kMaxObjectNetBlocks) + " named blocks");
        o.extraData.assign(1, link());
        o.controller = link();
    }

    void avObject(AVObject& o)
    {
        objectNet(o);
        o.flags = in_.u16();
        floats(o.translation);
        floats(o.rotation);
        o.scale = in_.f32();
        in_.skip(12); // velocity
        o.properties = links(in_.u32());
        if (bool32())
            in_.skip(64); // bounding box
        o.collision = kNoLink;
    }

    void node(NiNode& n)
    {
        avObject(n);
        n.children = links(in_.u32());
        n.effects = links(in_.u32());
    }

    void textureDesc(TextureDesc& d)
    {
        d.source = link();
        d.clampMode = in_.u32();
        d.filterMode = in_.u32();
        d.uvSet = in_.u32();
        for (auto& v : d.ps2)
            v = in_.u16();
    }

    void texturing(NiTexturingProperty& t)
    {
        objectNet(t);
        t.flags = in_.u16();
        t.applyMode = in_.u32();
        t.textureCount = in_.u32();
        for (int i = 0; i < NiTexturingProperty::slotsFor(t.textureCount) && ok(); ++i) {
            TextureSlot& slot = t.slots[static_cast<std::size_t>(i)];
            slot.has = bool32() ? 1 : 0;
            if (!slot.has)
                continue;
            textureDesc(slot.desc);
            if (i == NiTexturingProperty::BumpMap) {
                t.lumaScale = in_.f32();
                t.lumaOffset = in_.f32();
                floats(t.bumpMatrix);
            }
        }
    }

    void textureEffect(NiTextureEffect& e)
    {
        avObject(e);
        std::uint32_t affected = in_.u32();
        array(affected, 4); // affected nodes: not kept
        floats(e.projectionMatrix);
        floats(e.projectionTranslation);
        e.filtering = in_.u32();
        e.clamping = in_.u32();
        e.textureType = in_.u32();
        e.coordinateGeneration = in_.u32();
        e.sourceTexture = link();
        e.clippingPlane = in_.u8();
        floats(e.planeNormal);
        e.planeConstant = in_.f32();
        for (auto& v : e.ps2)
            v = in_.u16();
    }

    void sourceTexture(NiSourceTexture& t)
    {
        objectNet(t);
        t.useExternal = in_.u8();
        if (t.useExternal == 1) {
            t.fileName = sizedString();
        } else {
            t.internalByte = in_.u8();
            t.pixelData = link();
        }
        t.pixelLayout = in_.u32();
        t.useMipmaps = in_.u32();
        t.alphaFormat = in_.u32();
        t.isStatic = in_.u8();
    }

    void material(NiMaterialProperty& m)
    {
        objectNet(m);
        m.flags = in_.u16();
        floats(m.ambient);
        floats(m.diffuse);
        floats(m.specular);
        floats(m.emissive);
        m.glossiness = in_.f32();
        m.alpha = in_.f32();
    }

    void shapeData(NiTriShapeData& d)
    {
        d.numVertices = in_.u16();
        const std::size_t n = d.numVertices;
        d.hasVertices = bool32();
        if (d.hasVertices)
            d.vertices = array(n, 12);
        d.hasNormals = bool32();
        if (d.hasNormals)
            d.normals = array(n, 12);
        floats(d.centre);
        d.radius = in_.f32();
        d.hasColors = bool32();
        if (d.hasColors)
            d.colors = array(n, 16);
        d.numUvSets = in_.u16();
        d.hasUv = bool32();
        if (d.hasUv)
            d.uvs = array(std::size_t{d.numUvSets} * n, 8);
        d.numTriangles = in_.u16();
        d.numTrianglePoints = in_.u32();
        d.triangles = array(std::size_t{d.numTriangles} * 3, 2);
        if (ok()) {
            for (std::size_t i = 0; i < std::size_t{d.numTriangles} * 3; ++i) {
                if (u16At(d.triangles, i) >= n) {
                    fail("a triangle names vertex " + std::to_string(u16At(d.triangles, i)) + " of " + std::to_string(n));
                    break;
                }
            }
        }
        d.numMatchGroups = in_.u16();
        const std::size_t start = in_.position();
        for (std::uint32_t g = 0; g < d.numMatchGroups && ok(); ++g)
            array(in_.u16(), 2);
        if (ok())
            d.matchGroups = in_.whole().subspan(start, in_.position() - start);
    }

    void stringExtra(NiStringExtraData& e)
    {
        e.name = {};
        e.nextExtraData = link();
        in_.skip(4); // number of bytes
        e.text = sizedString();
    }

private:
    MeshJob& job_;
    ByteCursor& in_;
    std::uint32_t blockCount_;
};

// Reads the block of type `name` into a new record; null for an unknown type.
BlockRecord* readBlock(Reader& r, MeshJob& job, std::string_view name)
{
    auto make = [&](auto record, auto&& fill) {
        fill(record);
        return job.keepRecord(std::move(record));
    };
    if (name == "NiNode" || name == "RootCollisionNode")
        return make(NiNode{}, [&](NiNode& n) { r.node(n); });
    if (name == "NiTriShape")
        return make(NiTriShape{}, [&](NiTriShape& s) {
            r.avObject(s);
            s.data = r.link();
            s.skinInstance = r.link();
        });
    if (name == "NiTexturingProperty")
        return make(NiTexturingProperty{}, [&](NiTexturingProperty& t) { r.texturing(t); });
    if (name == "NiTextureEffect")
        return make(NiTextureEffect{}, [&](NiTextureEffect& e) { r.textureEffect(e); });
    if (name == "NiSourceTexture")
        return make(NiSourceTexture{}, [&](NiSourceTexture& t) { r.sourceTexture(t); });
    if (name == "NiMaterialProperty")
        return make(NiMaterialProperty{}, [&](NiMaterialProperty& m) { r.material(m); });
    if (name == "NiAlphaProperty")
        return make(NiAlphaProperty{}, [&](NiAlphaProperty& a) {
            r.objectNet(a);
            a.flags = r.in().u16();
            a.threshold = r.in().u8();
        });
    if (name == "NiZBufferProperty")
        return make(NiZBufferProperty{}, [&](NiZBufferProperty& z) {
            r.objectNet(z);
            z.flags = r.in().u16();
            z.depthFunction = 3;
        });
    if (name == "NiSpecularProperty")
        return make(NiSpecularProperty{}, [&](NiSpecularProperty& p) {
            r.objectNet(p);
            p.flags = r.in().u16();
        });
    if (name == "NiVertexColorProperty")
        return make(NiVertexColorProperty{}, [&](NiVertexColorProperty& p) {
            r.objectNet(p);
            p.flags = r.in().u16();
            p.vertexMode = r.in().u32();
            p.lightingMode = r.in().u32();
        });
    if (name == "NiTriShapeData")
        return make(NiTriShapeData{}, [&](NiTriShapeData& d) { r.shapeData(d); });
    if (name == "NiStringExtraData")
        return make(NiStringExtraData{}, [&](NiStringExtraData& e) { r.stringExtra(e); });
    return nullptr;
}

} // namespace

int readSourceMesh(MeshJob& job)
{
    job.blocks.clear();
    job.objectNetCount = 0;
    ByteCursor in(job.sourceImage);

    // Byte by byte, so a short file fails like a different one.
    for (char expected : kHeaderLine) {
        if (!in.has(1) || static_cast<char>(in.u8()) != expected) {
            job.console.print("Wrong NIF version, not a v4\n");
            return -1;
        }
    }
    in.skip(5); // line feed, version
    const std::uint32_t count = in.u32();
    if (!in.ok()) {
        job.console.print("The mesh ends inside its header\n");
        return -1;
    }
    // Each block needs at least the four bytes of its type name's length.
    if (count > kMaxBlocks || count > in.remaining() / 4) {
        job.console.print("The mesh declares %u blocks (at most %u fit)\n", count,
                          static_cast<unsigned>(std::min<std::size_t>(kMaxBlocks, in.remaining() / 4)));
        return -1;
    }

    Reader r(job, in, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string_view name = r.sizedString();
        if (!r.ok()) {
            job.console.print("Block %u: %s\n", i, r.problem.c_str());
            return -1;
        }
        BlockRecord* record = readBlock(r, job, name);
        if (!record) {
            job.console.print("Unknown object: %.*s\n", static_cast<int>(name.size()), name.data());
            return -1;
        }
        job.blocks.append(name, record);
        if (!r.ok()) {
            const std::string why = r.problem.empty() ? "the block runs past the end of the file" : r.problem;
            job.console.print("Block %u (%.*s): %s\n", i, static_cast<int>(name.size()), name.data(), why.c_str());
            return -1;
        }
    }
    return 0;
}

} // namespace lw::meshshift
