#include "meshshift/nif4/nif4_reader.hpp"

#include <algorithm>
#include <type_traits>
#include <variant>
#include <vector>
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
    Link nextExtra = kNoLink; // the next-extra-data link of a dropped extra-data block

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

    void objectNet(ObjectNet& o, bool kept = true)
    {
        o.name = sizedString();
        // Every kept block with these fields gets its own extra-data list.
        if (kept && ++job_.objectNetCount > kMaxObjectNetBlocks)
            fail("more than " + std::to_string(kMaxObjectNetBlocks) + " named blocks");
        o.extraData.assign(1, link());
        o.controller = link();
    }

    void avObject(AVObject& o, bool kept = true)
    {
        objectNet(o, kept);
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
            // The pixel data link follows only when the texture says it is stored inside.
            t.internalByte = in_.u8();
            if (t.internalByte != 0)
                t.pixelData = link();
        }
        t.pixelLayout = in_.u32();
        t.useMipmaps = in_.u32();
        t.alphaFormat = in_.u32();
        t.isStatic = in_.u8();
    }

    void pixelData(PixelDataBlock& p)
    {
        p.format = in_.u32();
        in_.skip(4 * 4 + 4 + 8); // channel masks, bits per pixel, fast-compare bytes
        p.palette = link();
        const std::uint32_t levels = in_.u32();
        p.bytesPerPixel = in_.u32();
        p.mipmaps = array(levels, 12);
        p.pixels = array(in_.u32(), 1);
    }

    void palette(PaletteBlock& p)
    {
        p.hasAlpha = in_.u8() != 0;
        p.entries = array(in_.u32() == 16 ? 16 : 256, 4);
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

    // The vertex arrays every version-4 geometry data block starts with.
    void vertexData(NiTriShapeData& d)
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
    }

    // Fails unless every triangle corner names a vertex.
    void checkTriangles(const NiTriShapeData& d)
    {
        const std::size_t n = d.numVertices;
        if (ok()) {
            for (std::size_t i = 0; i < std::size_t{d.numTriangles} * 3; ++i) {
                if (u16At(d.triangles, i) >= n) {
                    fail("a triangle names vertex " + std::to_string(u16At(d.triangles, i)) + " of " + std::to_string(n));
                    break;
                }
            }
        }
    }

    void shapeData(NiTriShapeData& d)
    {
        vertexData(d);
        d.numTriangles = in_.u16();
        d.numTrianglePoints = in_.u32();
        d.triangles = array(std::size_t{d.numTriangles} * 3, 2);
        checkTriangles(d);
        d.numMatchGroups = in_.u16();
        const std::size_t start = in_.position();
        for (std::uint32_t g = 0; g < d.numMatchGroups && ok(); ++g)
            array(in_.u16(), 2);
        if (ok())
            d.matchGroups = in_.whole().subspan(start, in_.position() - start);
    }

    // Strips become a list of triangles: each next point makes a triangle with
    // the two before it, every second one turned so all face the same way; a
    // triangle with two equal corners covers nothing and is left out.
    void stripsData(NiTriShapeData& d)
    {
        vertexData(d);
        in_.u16(); // triangle count: recounted below
        const std::uint16_t strips = in_.u16();
        const ByteView lengths = array(strips, 2);
        std::size_t points = 0;
        for (std::size_t i = 0; ok() && i < strips; ++i)
            points += u16At(lengths, i);
        const ByteView corners = array(points, 2);
        std::string triangles;
        std::size_t first = 0;
        for (std::size_t s = 0; ok() && s < strips; first += u16At(lengths, s), ++s) {
            for (std::size_t i = 0; i + 2 < u16At(lengths, s); ++i) {
                const std::size_t at = first + i;
                const std::uint16_t a = u16At(corners, at);
                const std::uint16_t b = u16At(corners, at + (i % 2 ? 2 : 1));
                const std::uint16_t c = u16At(corners, at + (i % 2 ? 1 : 2));
                if (a == b || b == c || a == c)
                    continue;
                for (std::uint16_t v : {a, b, c}) {
                    triangles.push_back(static_cast<char>(v & 0xFF));
                    triangles.push_back(static_cast<char>(v >> 8));
                }
            }
        }
        if (triangles.size() / 6 > 0xFFFF)
            fail("the strips make " + std::to_string(triangles.size() / 6) + " triangles (at most 65535 fit)");
        if (!ok())
            return;
        d.numTriangles = static_cast<std::uint16_t>(triangles.size() / 6);
        d.numTrianglePoints = 3u * d.numTriangles;
        const std::string_view kept = job_.keepString(std::move(triangles));
        d.triangles = ByteView(reinterpret_cast<const std::uint8_t*>(kept.data()), kept.size());
        checkTriangles(d); // corners of left-out triangles name nothing drawn
    }

    void stringExtra(NiStringExtraData& e)
    {
        e.name = {};
        e.nextExtraData = link();
        in_.skip(4); // number of bytes
        e.text = sizedString();
    }

    // Reads the fields a layout text describes (see kLayouts below). The
    // description is ours, so a malformed one is a programming error; the
    // file's counts are checked against what is left of the file.
    void layout(std::string_view ops)
    {
        std::size_t at = 0;
        std::uint32_t count = 0, last = 0;
        run(ops, at, count, last);
    }

private:
    // Runs ops from `at` to the end or to the closing bracket of the group
    // that `at` is inside of.
    void run(std::string_view ops, std::size_t& at, std::uint32_t& count, std::uint32_t& last)
    {
        while (at < ops.size() && ok()) {
            const char op = ops[at++];
            std::uint32_t times = 1;
            if (op >= '0' && op <= '9') {
                times = static_cast<std::uint32_t>(op - '0');
                while (at < ops.size() && ops[at] >= '0' && ops[at] <= '9')
                    times = times * 10 + static_cast<std::uint32_t>(ops[at++] - '0');
                for (std::uint32_t i = 0; i < times && ok(); ++i) {
                    std::size_t single = at;
                    one(ops, single, count, last);
                    if (i + 1 == times)
                        at = single;
                }
                continue;
            }
            if (op == ']' || op == ')')
                return;
            --at;
            one(ops, at, count, last);
        }
    }

    // Skips to just past the bracket that closes the group opened before `at`.
    static void skipGroup(std::string_view ops, std::size_t& at)
    {
        for (int depth = 1; at < ops.size() && depth > 0; ++at)
            depth += (ops[at] == '[' || ops[at] == '(') ? 1 : (ops[at] == ']' || ops[at] == ')') ? -1 : 0;
    }

    void one(std::string_view ops, std::size_t& at, std::uint32_t& count, std::uint32_t& last)
    {
        ObjectNet net;
        AVObject av;
        switch (ops[at++]) {
        case 'b': last = in_.u8(); break;
        case 'h': last = in_.u16(); break;
        case 'i': last = in_.u32(); break;
        case 'f': in_.f32(); break;
        case 'l': last = link(); break;
        case 's': sizedString(); break;
        case 'o': objectNet(net, false); break;
        case 'a': avObject(av, false); break;
        case 'c': layout("lhffffl"); break; // controller: next, flags, frequency, phase, start, stop, target
        case 'x': nextExtra = link(); in_.u32(); break; // extra data: next, byte count
        case '#': count = last; break;
        case 'K': keyGroup(static_cast<std::uint32_t>(ops[at++] - '0')); break;
        case 'g': geometryData(count); break;
        case 'Q': rotationKeys(); break;
        case 'M': morphs(); break;
        case '[': {
            const std::size_t body = at;
            const std::uint32_t n = count;
            for (std::uint32_t i = 0; i < n && ok(); ++i) {
                const std::size_t before = in_.position();
                std::size_t pos = body;
                std::uint32_t innerCount = count;
                run(ops, pos, innerCount, last);
                if (in_.position() == before) // nothing read: a count of nothing ends here
                    break;
            }
            at = body;
            skipGroup(ops, at);
            break;
        }
        case '(': {
            if (last != 0) {
                run(ops, at, count, last);
            } else {
                skipGroup(ops, at);
            }
            break;
        }
        default: fail("no layout"); break;
        }
    }

    // Keys of `width` floats each: count, then (when there are keys) the
    // interpolation, then per key time, value, and the interpolation's extras.
    void keyGroup(std::uint32_t width)
    {
        const std::uint32_t n = in_.u32();
        if (n == 0 || !ok())
            return;
        const std::uint32_t type = in_.u32();
        const std::size_t each = 4 * (1 + width + (type == 2 ? 2 * width : 0) + (type == 3 ? 3 : 0));
        array(n, each);
    }

    // Rotation keys: quaternions, or three float key groups (type 4).
    void rotationKeys()
    {
        const std::uint32_t n = in_.u32();
        if (n == 0 || !ok())
            return;
        const std::uint32_t type = in_.u32();
        if (type == 4) {
            in_.f32(); // order
            for (int axis = 0; axis < 3; ++axis)
                keyGroup(1);
            return;
        }
        array(n, type == 3 ? 32 : 20);
    }

    void morphs()
    {
        const std::uint32_t morphCount = in_.u32();
        const std::uint32_t vertexCount = in_.u32();
        in_.u8(); // relative targets
        for (std::uint32_t m = 0; m < morphCount && ok(); ++m) {
            const std::uint32_t keys = in_.u32();
            const std::uint32_t type = in_.u32();
            array(keys, 4 * (2 + (type == 2 ? 2 : 0) + (type == 3 ? 3 : 0)));
            array(vertexCount, 12);
        }
    }

    // The version-4 geometry data fields every geometry type shares; the
    // vertex count becomes the current count.
    void geometryData(std::uint32_t& count)
    {
        const std::size_t n = in_.u16();
        if (bool32())
            array(n, 12);
        if (bool32())
            array(n, 12);
        in_.skip(16); // bounding sphere
        if (bool32())
            array(n, 16);
        const std::size_t uvSets = in_.u16();
        if (bool32())
            array(uvSets * n, 8);
        count = static_cast<std::uint32_t>(n);
    }

private:
    MeshJob& job_;
    ByteCursor& in_;
    std::uint32_t blockCount_;
};

// The blocks the version-20 scene does not carry are read by a layout text
// and dropped; links to them then name nothing. The letters:
//   b h i f   u8, u16, u32, f32          l   link (checked)      s  sized text
//   o a       NiObjectNET / NiAVObject fields                      c  controller fields
//   x         extra-data fields                                    g  geometry data fields
//   #         the value just read is the count for what follows
//   [..]      repeated count times      (..)  only when the value just read is not 0
//   K1 K3 K4  key group of 1, 3 or 4 floats per value              Q  rotation keys
//   M  morph targets
//   a number before a letter repeats it.
// Nodes that become plain nodes give only the fields that follow the node's own.
enum class Kind { Dropped, PlainNode, SwitchNode, AvoidNode };
struct Layout {
    std::string_view type;
    Kind kind;
    std::string_view fields;
};
constexpr Layout kLayouts[] = {
    {"NiBSAnimationNode", Kind::PlainNode, ""},
    {"NiBSParticleNode", Kind::PlainNode, ""},
    {"NiBillboardNode", Kind::PlainNode, ""},
    {"NiBone", Kind::PlainNode, ""},
    {"NiCollisionSwitch", Kind::PlainNode, ""},
    {"NiSortAdjustNode", Kind::PlainNode, "il"},
    {"AvoidNode", Kind::AvoidNode, ""},
    {"NiSwitchNode", Kind::SwitchNode, ""},
    {"NiLODNode", Kind::SwitchNode, "3fi#[ff]"},
    // geometry the converted scene does not draw
    {"NiAutoNormalParticles", Kind::Dropped, "all"},
    {"NiRotatingParticles", Kind::Dropped, "all"},
    {"NiAutoNormalParticlesData", Kind::Dropped, "ghfhi([f])"},
    {"NiRotatingParticlesData", Kind::Dropped, "ghfhi([f])i([4f])"},
    {"NiParticleMeshes", Kind::Dropped, "all"},
    {"NiParticleMeshesData", Kind::Dropped, "ghfhi([f])i([4f])l"},
    // an environment-mapped shape has no transform of its own to place it by
    {"NiEnvMappedTriShape", Kind::Dropped, "oh16fi#[l]ll"},
    {"NiEnvMappedTriShapeData", Kind::Dropped, "gh#i[3h]h#[h#[h]]"},
    {"NiSkinInstance", Kind::Dropped, "lli#[l]"},
    {"NiSkinData", Kind::Dropped, "13fi#l[17fh#[hf]]"},
    // controllers and their data
    {"NiKeyframeController", Kind::Dropped, "cl"},
    {"NiVisController", Kind::Dropped, "cl"},
    {"NiAlphaController", Kind::Dropped, "cl"},
    {"NiMaterialColorController", Kind::Dropped, "cl"},
    {"NiRollController", Kind::Dropped, "cl"},
    {"NiLookAtController", Kind::Dropped, "cl"},
    {"NiUVController", Kind::Dropped, "chl"},
    {"NiGeomMorpherController", Kind::Dropped, "clb"},
    {"NiFlipController", Kind::Dropped, "ciffi#[l]"},
    {"NiPathController", Kind::Dropped, "ciffhll"},
    {"NiParticleSystemController", Kind::Dropped, "c6f3f4f3fb3fbb3flhfhffh#h[3f3f3fhh]lllb"},
    {"NiBSPArrayController", Kind::Dropped, "c6f3f4f3fb3fbb3flhfhffh#h[3f3f3fhh]lllb"},
    {"NiKeyframeData", Kind::Dropped, "QK3K1"},
    {"NiPosData", Kind::Dropped, "K3"},
    {"NiFloatData", Kind::Dropped, "K1"},
    {"NiColorData", Kind::Dropped, "K4"},
    {"NiUVData", Kind::Dropped, "K1K1K1K1"},
    {"NiVisData", Kind::Dropped, "i#[fb]"},
    {"NiMorphData", Kind::Dropped, "M"},
    {"NiSequenceStreamHelper", Kind::Dropped, "o"},
    // particle modifiers
    {"NiGravity", Kind::Dropped, "llffi3f3f"},
    {"NiParticleGrowFade", Kind::Dropped, "llff"},
    {"NiParticleColorModifier", Kind::Dropped, "lll"},
    {"NiParticleRotation", Kind::Dropped, "llb3ff"},
    {"NiParticleBomb", Kind::Dropped, "llffffi3f3f"},
    {"NiPlanarCollider", Kind::Dropped, "llfff3f3f3f4f"},
    {"NiSphericalCollider", Kind::Dropped, "llff3f"},
    {"NiParticleCollider", Kind::Dropped, "llf"},
    {"NiParticleMeshModifier", Kind::Dropped, "lli#[l]"},
    {"NiEmitterModifier", Kind::Dropped, "ll"},
    // lights and cameras
    {"NiAmbientLight", Kind::Dropped, "ai#[i]10f"},
    {"NiDirectionalLight", Kind::Dropped, "ai#[i]10f"},
    {"NiPointLight", Kind::Dropped, "ai#[i]13f"},
    {"NiSpotLight", Kind::Dropped, "ai#[i]15f"},
    {"NiCamera", Kind::Dropped, "a11fli"},
    // properties the version-20 scene has no use for
    {"NiWireframeProperty", Kind::Dropped, "oh"},
    {"NiDitherProperty", Kind::Dropped, "oh"},
    {"NiShadeProperty", Kind::Dropped, "oh"},
    {"NiFogProperty", Kind::Dropped, "ohf3f"},
    {"NiTextureModeProperty", Kind::Dropped, "ohhh"},
    {"NiTextureProperty", Kind::Dropped, "ohl"},
    // extra data
    {"NiTextKeyExtraData", Kind::Dropped, "xi#[fs]"},
    {"NiVertWeightsExtraData", Kind::Dropped, "xh#[f]"},
    // embedded textures: read by Reader::pixelData and Reader::palette into the job
    {"NiPixelData", Kind::Dropped, ""},
    {"NiPalette", Kind::Dropped, ""},
};

const Layout* layoutOf(std::string_view name)
{
    for (const Layout& l : kLayouts)
        if (l.type == name)
            return &l;
    return nullptr;
}

// Calls `f` with every link a source record holds.
template <class F>
void forEachLink(const BlockRecord& record, F&& f)
{
    std::visit(
        [&](const auto& r) {
            using T = std::decay_t<decltype(r)>;
            if constexpr (std::is_base_of_v<ObjectNet, T>) {
                for (Link l : r.extraData)
                    f(l);
                f(r.controller);
            }
            if constexpr (std::is_base_of_v<AVObject, T>)
                for (Link l : r.properties)
                    f(l);
            if constexpr (std::is_same_v<T, NiNode>) {
                for (Link l : r.children)
                    f(l);
                for (Link l : r.effects)
                    f(l);
            }
            if constexpr (std::is_base_of_v<GeometryBase, T>) {
                f(r.data);
                f(r.skinInstance);
            }
            if constexpr (std::is_same_v<T, NiTexturingProperty>)
                for (const TextureSlot& slot : r.slots)
                    if (slot.has)
                        f(slot.desc.source);
            if constexpr (std::is_same_v<T, NiSourceTexture>)
                f(r.pixelData);
            if constexpr (std::is_same_v<T, NiTextureEffect>)
                f(r.sourceTexture);
            if constexpr (std::is_same_v<T, NiStringExtraData>)
                f(r.nextExtraData);
        },
        record);
}

// Marks every entry reachable from `from` through links.
void reach(const BlockTable& blocks, Link from, std::vector<bool>& seen)
{
    std::vector<Link> todo{from};
    while (!todo.empty()) {
        const Link e = todo.back();
        todo.pop_back();
        if (e >= blocks.size() || seen[e])
            continue;
        seen[e] = true;
        if (blocks[e].record)
            forEachLink(*blocks[e].record, [&](Link l) { todo.push_back(l); });
    }
}

// Drops what only the children that switch nodes do not show lead to.
void dropUnshown(BlockTable& blocks, const std::vector<Link>& pruned)
{
    if (pruned.empty() || blocks.empty())
        return;
    std::vector<bool> shown(blocks.size(), false), hidden(blocks.size(), false);
    reach(blocks, 0, shown);
    for (Link child : pruned)
        reach(blocks, child, hidden);
    for (std::size_t e = 0; e < blocks.size(); ++e)
        if (hidden[e] && !shown[e])
            blocks.drop(static_cast<Link>(e));
}

// Version 4 chains an object's extra-data blocks, each naming the next;
// the version-20 object lists them all. The list holds the whole chain in
// order (a link to a dropped block is not written).
void chainExtraData(BlockTable& blocks, const std::vector<Link>& next)
{
    for (std::size_t e = 0; e < blocks.size(); ++e) {
        if (!blocks[e].record)
            continue;
        std::visit(
            [&](auto& r) {
                if constexpr (std::is_base_of_v<ObjectNet, std::decay_t<decltype(r)>>) {
                    if (r.extraData.empty())
                        return;
                    for (Link l = r.extraData.back(); l < next.size() && next[l] != kNoLink;
                         l = next[l]) {
                        // A chain that loops or runs too long ends at the first repeat or the cap.
                        if (std::find(r.extraData.begin(), r.extraData.end(), next[l]) != r.extraData.end() ||
                            r.extraData.size() + 1 >= kMaxExtraDataLinks)
                            break;
                        r.extraData.push_back(next[l]);
                    }
                }
            },
            *blocks[e].record);
    }
}

// Reads the block of type `name` into a new record; null for an unknown type.
// `pruned` collects the children a switch node does not show. `written` is
// the type the record is written as.
BlockRecord* readBlock(Reader& r, MeshJob& job, std::string_view name, std::vector<Link>& pruned,
                       std::string_view& written)
{
    written = name;
    auto make = [&](auto record, auto&& fill) {
        fill(record);
        return job.keepRecord(std::move(record));
    };
    if (name == "NiNode" || name == "RootCollisionNode")
        return make(NiNode{}, [&](NiNode& n) { r.node(n); });
    // Strips are drawn like a shape of their triangles, and carried as one.
    if (name == "NiTriStrips" || name == "NiTriStripsData")
        written = name == "NiTriStrips" ? "NiTriShape" : "NiTriShapeData";
    if (name == "NiTriStripsData")
        return make(NiTriShapeData{}, [&](NiTriShapeData& d) { r.stripsData(d); });
    if (name == "NiTriShape" || name == "NiTriStrips")
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
    if (name == "NiStencilProperty")
        return make(NiStencilProperty{}, [&](NiStencilProperty& p) {
            r.objectNet(p);
            r.in().u16(); // flags: the version-20 block has none
            p.enabled = r.in().u8();
            p.function = r.in().u32();
            p.reference = r.in().u32();
            p.mask = r.in().u32();
            p.failAction = r.in().u32();
            p.zFailAction = r.in().u32();
            p.passAction = r.in().u32();
            p.drawMode = r.in().u32();
        });
    // Embedded textures stay out of the block table; the NiSourceTexture writer
    // turns them into files.
    if (name == "NiPixelData")
        r.pixelData(job.embedded.pixelData[static_cast<Link>(job.blocks.size())]);
    if (name == "NiPalette")
        r.palette(job.embedded.palettes[static_cast<Link>(job.blocks.size())]);
    const Layout* layout = layoutOf(name);
    if (!layout || layout->kind == Kind::Dropped)
        return nullptr;
    written = "NiNode";
    return make(NiNode{}, [&](NiNode& n) {
        r.node(n);
        if (layout->kind == Kind::SwitchNode) {
            // Only the shown child stays: the active one, else the first.
            const std::uint32_t active = r.in().u32();
            const std::size_t keep = active < n.children.size() ? active : 0;
            for (std::size_t i = 0; i < n.children.size(); ++i)
                if (i != keep)
                    pruned.push_back(n.children[i]);
            if (!n.children.empty())
                n.children = {n.children[keep]};
        } else if (layout->kind == Kind::AvoidNode) {
            pruned.insert(pruned.end(), n.children.begin(), n.children.end());
        }
        r.layout(layout->fields);
    });
}

} // namespace

int readSourceMesh(MeshJob& job)
{
    job.blocks.clear();
    job.objectNetCount = 0;
    job.embedded = {};
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
    std::vector<Link> pruned, avoided;
    std::vector<Link> nextExtra(count, kNoLink);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string_view name = r.sizedString();
        if (!r.ok()) {
            job.console.print("Block %u: %s\n", i, r.problem.c_str());
            return -1;
        }
        std::string_view written;
        BlockRecord* record = readBlock(r, job, name, pruned, written);
        const Layout* layout = layoutOf(name);
        if (!record && !layout) {
            job.console.print("Unknown object: %.*s\n", static_cast<int>(name.size()), name.data());
            return -1;
        }
        r.nextExtra = kNoLink;
        if (layout && layout->kind == Kind::Dropped)
            r.layout(layout->fields);
        nextExtra[i] = r.nextExtra;
        if (const NiStringExtraData* text = record ? std::get_if<NiStringExtraData>(record) : nullptr)
            nextExtra[i] = text->nextExtraData;
        if (layout && layout->kind == Kind::AvoidNode && i != 0)
            avoided.push_back(i);
        // A dropped block keeps its place (links stay entry numbers) without a record.
        job.blocks.append(record ? written : std::string_view(), record);
        if (!r.ok()) {
            const std::string why = r.problem.empty() ? "the block runs past the end of the file" : r.problem;
            job.console.print("Block %u (%.*s): %s\n", i, static_cast<int>(name.size()), name.data(), why.c_str());
            return -1;
        }
    }
    chainExtraData(job.blocks, nextExtra);
    // What an AvoidNode holds tells the game's actors where not to walk; it
    // is neither drawn nor solid, so it goes with everything only it uses.
    for (Link node : avoided)
        job.blocks.drop(node);
    dropUnshown(job.blocks, pruned);
    return 0;
}

} // namespace lw::meshshift
