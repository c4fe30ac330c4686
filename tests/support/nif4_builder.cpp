#include "support/nif4_builder.hpp"

#include <bit>
#include <cstring>

namespace lw::test {
namespace {

// Little-endian output of its own, so the fixture does not lean on the code under test.
struct Out : Nif4Builder::Bytes {
    template <std::size_t N>
    void f32s(const std::array<float, N>& a)
    {
        for (float v : a)
            f32(v);
    }
    void objectNet(const std::string& name, std::uint32_t extra, std::uint32_t controller)
    {
        str(name);
        u32(extra);
        u32(controller);
    }
    void avObject(const Nif4Builder::AVObject& o)
    {
        objectNet(o.name, o.extraData, o.controller);
        u16(o.flags);
        f32s(o.translation);
        f32s(o.rotation);
        f32(o.scale);
        f32s(o.velocity);
        links(o.properties);
        u32(o.hasBoundingBox ? 1 : 0);
        if (o.hasBoundingBox) {
            u32(1);
            for (int i = 0; i < 15; ++i)
                f32(static_cast<float>(i));
        }
    }
};

struct FieldWriter {
    Out& o;
    void operator()(const Nif4Builder::Node& n) const
    {
        o.avObject(n);
        o.links(n.children);
        o.links(n.effects);
    }
    void operator()(const Nif4Builder::TriShape& s) const
    {
        o.avObject(s);
        o.u32(s.data);
        o.u32(s.skin);
    }
    void operator()(const Nif4Builder::TexturingProperty& t) const
    {
        o.objectNet(t.name, t.extraData, t.controller);
        o.u16(t.flags);
        o.u32(t.applyMode);
        o.u32(t.textureCount);
        const int slots = t.textureCount >= 10 ? 10 : t.textureCount >= 9 ? 9 : t.textureCount >= 8 ? 8 : 7;
        for (int i = 0; i < slots; ++i) {
            const auto& slot = t.slots[static_cast<std::size_t>(i)];
            o.u32(slot ? 1 : 0);
            if (!slot)
                continue;
            o.u32(slot->source);
            o.u32(slot->clampMode);
            o.u32(slot->filterMode);
            o.u32(slot->uvSet);
            for (auto v : slot->ps2)
                o.u16(v);
            if (i == 5) {
                o.f32(t.lumaScale);
                o.f32(t.lumaOffset);
                o.f32s(t.bumpMatrix);
            }
        }
    }
    void operator()(const Nif4Builder::SourceTexture& t) const
    {
        o.objectNet(t.name, t.extraData, t.controller);
        o.u8(t.external ? 1 : 0);
        if (t.external) {
            o.str(t.fileName);
        } else {
            o.u8(t.internalByte);
            o.u32(t.pixelData);
        }
        o.u32(t.pixelLayout);
        o.u32(t.useMipmaps);
        o.u32(t.alphaFormat);
        o.u8(t.isStatic);
    }
    void operator()(const Nif4Builder::MaterialProperty& m) const
    {
        o.objectNet(m.name, m.extraData, m.controller);
        o.u16(m.flags);
        o.f32s(m.ambient);
        o.f32s(m.diffuse);
        o.f32s(m.specular);
        o.f32s(m.emissive);
        o.f32(m.glossiness);
        o.f32(m.alpha);
    }
    void operator()(const Nif4Builder::AlphaProperty& a) const
    {
        o.objectNet(a.name, a.extraData, a.controller);
        o.u16(a.flags);
        o.u8(a.threshold);
    }
    void operator()(const Nif4Builder::StringExtraData& s) const
    {
        o.u32(s.next);
        o.u32(static_cast<std::uint32_t>(s.text.size() + 4));
        o.str(s.text);
    }
    void operator()(const Nif4Builder::TriShapeData& d) const
    {
        o.u16(d.numVertices.value_or(static_cast<std::uint16_t>(d.vertices.size())));
        o.u32(d.vertices.empty() ? 0 : 1);
        for (const auto& v : d.vertices)
            o.f32s(v);
        o.u32(d.normals.empty() ? 0 : 1);
        for (const auto& v : d.normals)
            o.f32s(v);
        o.f32s(d.centre);
        o.f32(d.radius);
        o.u32(d.colors.empty() ? 0 : 1);
        for (const auto& c : d.colors)
            o.f32s(c);
        o.u16(d.numUvSets.value_or(static_cast<std::uint16_t>(d.uvSets.size())));
        const bool hasUv = d.hasUv.value_or(!d.uvSets.empty());
        o.u32(hasUv ? 1 : 0);
        if (hasUv)
            for (const auto& set : d.uvSets)
                for (const auto& uv : set)
                    o.f32s(uv);
        o.u16(static_cast<std::uint16_t>(d.triangles.size()));
        o.u32(d.numTrianglePoints.value_or(static_cast<std::uint32_t>(d.triangles.size() * 3)));
        for (const auto& t : d.triangles)
            for (auto v : t)
                o.u16(v);
        o.u16(static_cast<std::uint16_t>(d.matchGroups.size()));
        for (const auto& g : d.matchGroups) {
            o.u16(static_cast<std::uint16_t>(g.size()));
            for (auto v : g)
                o.u16(v);
        }
    }
};

} // namespace

Nif4Builder::Bytes& Nif4Builder::Bytes::u8(std::uint8_t v)
{
    b.push_back(v);
    return *this;
}
Nif4Builder::Bytes& Nif4Builder::Bytes::u16(std::uint16_t v)
{
    return u8(static_cast<std::uint8_t>(v)).u8(static_cast<std::uint8_t>(v >> 8));
}
Nif4Builder::Bytes& Nif4Builder::Bytes::u32(std::uint32_t v)
{
    return u16(static_cast<std::uint16_t>(v)).u16(static_cast<std::uint16_t>(v >> 16));
}
Nif4Builder::Bytes& Nif4Builder::Bytes::f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }
Nif4Builder::Bytes& Nif4Builder::Bytes::str(const std::string& s)
{
    u32(static_cast<std::uint32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
}
Nif4Builder::Bytes& Nif4Builder::Bytes::links(const std::vector<std::uint32_t>& l)
{
    u32(static_cast<std::uint32_t>(l.size()));
    for (auto v : l)
        u32(v);
    return *this;
}

std::uint32_t Nif4Builder::add(Block block)
{
    blocks_.push_back({std::move(block), std::nullopt, {}});
    return static_cast<std::uint32_t>(blocks_.size() - 1);
}

std::uint32_t Nif4Builder::addRaw(std::string typeName, std::vector<std::uint8_t> fieldBytes)
{
    blocks_.push_back({StringExtraData{}, std::move(typeName), std::move(fieldBytes)});
    return static_cast<std::uint32_t>(blocks_.size() - 1);
}

std::vector<std::uint8_t> Nif4Builder::fields(const Block& block)
{
    Out o;
    std::visit(FieldWriter{o}, block);
    return o.b;
}

std::string Nif4Builder::typeName(const Block& block)
{
    static const char* const names[] = {"NiNode", "NiTriShape", "NiTexturingProperty", "NiSourceTexture",
                                        "NiMaterialProperty", "NiAlphaProperty", "NiStringExtraData",
                                        "NiTriShapeData"};
    if (const auto* n = std::get_if<Node>(&block); n && n->rootCollisionNode)
        return "RootCollisionNode";
    return names[block.index()];
}

std::vector<std::uint8_t> Nif4Builder::build() const
{
    Out o;
    o.b.insert(o.b.end(), headerLine.begin(), headerLine.end());
    o.u8(0x0A);
    o.u32(version);
    o.u32(static_cast<std::uint32_t>(blocks_.size()));
    for (const auto& e : blocks_) {
        o.str(e.rawName ? *e.rawName : typeName(e.block));
        const auto body = e.rawName ? e.raw : fields(e.block);
        o.b.insert(o.b.end(), body.begin(), body.end());
    }
    o.links(roots);
    return o.b;
}

Nif4Builder::TriShapeData Nif4Builder::quadData(float h)
{
    TriShapeData d;
    d.vertices = {{-h, -h, 0}, {h, -h, 0}, {h, h, 0}, {-h, h, 0}};
    d.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    d.centre = {0, 0, 0};
    d.radius = h * 1.41421356f;
    d.uvSets = {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
    d.triangles = {{0, 1, 2}, {0, 2, 3}};
    return d;
}

Nif4Builder Nif4Builder::texturedQuad(const std::string& texture)
{
    Nif4Builder nif;
    const auto root = nif.add(named<Node>("Scene"));
    const auto shape = nif.add(named<TriShape>("Quad"));
    const auto texturing = nif.add(TexturingProperty{});
    SourceTexture sourceTexture;
    sourceTexture.fileName = texture;
    const auto source = nif.add(sourceTexture);
    const auto material = nif.add(named<MaterialProperty>("Mat"));
    const auto alpha = nif.add(AlphaProperty{});
    const auto data = nif.add(quadData());
    nif.node(root).children = {shape};
    nif.triShape(shape).properties = {texturing, material, alpha};
    nif.triShape(shape).data = data;
    TextureDesc base;
    base.source = source;
    std::get<TexturingProperty>(nif.block(texturing)).slots[0] = base;
    return nif;
}

} // namespace lw::test
