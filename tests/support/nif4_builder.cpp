#include "support/nif4_builder.hpp"

#include <algorithm>
#include <bit>

namespace lw::test {

using B = Nif4Builder;

B::Bytes& B::Bytes::f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }
B::Bytes& B::Bytes::str(const std::string& s)
{
    u32(static_cast<std::uint32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
}
B::Bytes& B::Bytes::links(const std::vector<std::uint32_t>& l)
{
    u32(static_cast<std::uint32_t>(l.size()));
    for (auto v : l)
        u32(v);
    return *this;
}

namespace {

// Little-endian output of its own, so the fixture does not lean on the code under test.
struct Out : B::Bytes {
    template <std::size_t N>
    void f(const std::array<float, N>& a)
    {
        for (float v : a)
            f32(v);
    }
    // NiObjectNET: name, no extra data, no controller (properties add flags).
    Out& object(const std::string& name, std::uint32_t extra = B::kNone, std::uint32_t controller = B::kNone)
    {
        str(name).u32(extra).u32(controller);
        return *this;
    }
    // NiAVObject: then translation, rotation, scale, velocity, properties, no bounding box.
    void av(const B::AVObject& o)
    {
        object(o.name, o.extraData, o.controller).u16(o.flags);
        f(o.translation);
        f(o.rotation);
        f32(o.scale).f32(0).f32(0).f32(0).links(o.properties).u32(0);
    }

    void operator()(const B::Node& n)
    {
        av(n);
        links(n.children).links(n.effects);
    }
    void operator()(const B::TriShape& s)
    {
        av(s);
        u32(s.data).u32(s.skin);
    }
    void operator()(const B::TexturingProperty& t)
    {
        object(t.name).u16(0).u32(t.applyMode).u32(t.textureCount);
        for (std::size_t i = 0; i < std::min<std::size_t>(std::max<std::uint32_t>(t.textureCount, 7), 10); ++i) {
            const auto& slot = t.slots[i];
            u32(slot ? 1 : 0);
            if (!slot)
                continue;
            u32(slot->source).u32(slot->clampMode).u32(slot->filterMode).u32(slot->uvSet).u16(0).u16(0).u16(0);
            if (i == 5) {
                f32(t.lumaScale).f32(t.lumaOffset);
                f(t.bumpMatrix);
            }
        }
    }
    void operator()(const B::SourceTexture& t)
    {
        object(t.name).u8(t.external ? 1 : 0);
        t.external ? str(t.fileName) : u8(1).u32(t.pixelData); // stored inside, then the link
        u32(t.pixelLayout).u32(t.useMipmaps).u32(t.alphaFormat).u8(t.isStatic);
    }
    void operator()(const B::MaterialProperty& m)
    {
        object(m.name).u16(1);
        for (const auto& c : {m.ambient, m.diffuse, m.specular, m.emissive})
            f(c);
        f32(m.glossiness).f32(m.alpha);
    }
    void operator()(const B::AlphaProperty& a) { object(a.name).u16(a.flags).u8(a.threshold); }
    void operator()(const B::TriShapeData& d)
    {
        u16(d.numVertices.value_or(static_cast<std::uint16_t>(d.vertices.size())));
        for (const auto* group : {&d.vertices, &d.normals}) {
            u32(group->empty() ? 0 : 1);
            for (const auto& v : *group)
                f(v);
        }
        f(d.centre);
        f32(d.radius).u32(0).u16(static_cast<std::uint16_t>(d.uvSets.size())).u32(d.uvSets.empty() ? 0 : 1);
        for (const auto& set : d.uvSets)
            for (const auto& uv : set)
                f(uv);
        u16(static_cast<std::uint16_t>(d.triangles.size()));
        u32(d.numTrianglePoints.value_or(static_cast<std::uint32_t>(d.triangles.size() * 3)));
        for (const auto& t : d.triangles)
            u16(t[0]).u16(t[1]).u16(t[2]);
        u16(0); // no match groups
    }
};

} // namespace

std::vector<std::uint8_t> B::build() const
{
    static const char* const names[] = {"NiNode", "NiTriShape", "NiTexturingProperty", "NiSourceTexture",
                                        "NiMaterialProperty", "NiAlphaProperty", "NiTriShapeData"};
    Out o;
    o.b.assign(headerLine.begin(), headerLine.end());
    o.u8(0x0A).u32(version).u32(static_cast<std::uint32_t>(blocks_.size()));
    for (const auto& e : blocks_) {
        const auto* n = std::get_if<Node>(&e.block);
        o.str(e.rawName ? *e.rawName : n && n->rootCollisionNode ? "RootCollisionNode" : names[e.block.index()]);
        if (e.rawName)
            o.b.insert(o.b.end(), e.raw.begin(), e.raw.end());
        else
            std::visit(o, e.block);
    }
    o.links({0});
    return o.b;
}

B::TriShapeData B::quadData(float h)
{
    TriShapeData d;
    d.vertices = {{-h, -h, 0}, {h, -h, 0}, {h, h, 0}, {-h, h, 0}};
    d.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    d.radius = h * 1.41421356f;
    d.uvSets = {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
    d.triangles = {{0, 1, 2}, {0, 2, 3}};
    return d;
}

B B::texturedQuad(const std::string& texture)
{
    B nif;
    nif.add(named<Node>("Scene"));
    nif.add(named<TriShape>("Quad"));
    TexturingProperty texturing;
    texturing.slots[0] = TextureDesc{3};
    nif.add(texturing);
    SourceTexture source;
    source.fileName = texture;
    nif.add(source);
    nif.add(named<MaterialProperty>("Mat"));
    nif.add(AlphaProperty{});
    nif.add(quadData());
    nif.node(0).children = {1};
    nif.triShape(1).properties = {2, 4, 5};
    nif.triShape(1).data = 6;
    return nif;
}

std::vector<std::uint8_t> B::pixelData(std::uint32_t format, std::uint32_t bytesPerPixel, std::uint32_t palette,
                                       const std::vector<std::array<std::uint32_t, 3>>& levels,
                                       const std::vector<std::uint8_t>& pixels)
{
    Bytes b;
    b.u32(format).u32(0).u32(0).u32(0).u32(0).u32(bytesPerPixel * 8).u32(0).u32(0);
    b.u32(palette).u32(static_cast<std::uint32_t>(levels.size())).u32(bytesPerPixel);
    for (const auto& l : levels)
        b.u32(l[0]).u32(l[1]).u32(l[2]);
    b.u32(static_cast<std::uint32_t>(pixels.size())).b.insert(b.b.end(), pixels.begin(), pixels.end());
    return b.b;
}

} // namespace lw::test
