// Every Morrowind block family the scene may hold, built from the format
// description field by field, converted with collision and read back by the
// independent reader to the last byte.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "collision/collision_fixture.hpp"

namespace lw::meshshift::collision::test {
namespace {

using B = Nif4Builder;
using Bytes = B::Bytes;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

Bytes& objectNet(Bytes& b, std::uint32_t controller = kNone) { return b.str("n").u32(kNone).u32(controller); }
// NiAVObject fields: flags, translation, rotation, scale, velocity, properties, no bounding box.
Bytes& avObject(Bytes& b, std::vector<std::uint32_t> properties = {}, std::uint32_t controller = kNone)
{
    objectNet(b, controller).u16(0).f32(0).f32(0).f32(0);
    for (float r : {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f})
        b.f32(r);
    return b.f32(1).f32(0).f32(0).f32(0).links(properties).u32(0);
}
Bytes node(std::vector<std::uint32_t> children, std::uint32_t controller = kNone, std::vector<std::uint32_t> effects = {})
{
    Bytes b;
    avObject(b, {}, controller).links(children).links(effects);
    return b;
}
// NiTimeController fields: next, flags, frequency, phase, start, stop, target.
Bytes controller(std::uint32_t target, std::uint32_t next = kNone)
{
    return std::move(Bytes().u32(next).u16(8).f32(1).f32(0).f32(0).f32(2).u32(target));
}
// Geometry data of 3 vertices with positions and normals.
Bytes& geometry(Bytes& b)
{
    b.u16(3).u32(1);
    for (int i = 0; i < 9; ++i)
        b.f32(static_cast<float>(i));
    b.u32(1);
    for (int i = 0; i < 9; ++i)
        b.f32(0.5f);
    return b.f32(0).f32(0).f32(0).f32(9).u32(0).u16(0).u32(0);
}
// A float key group of two keys of interpolation `type`, each value `width` floats.
Bytes& keys(Bytes& b, std::uint32_t type, int width)
{
    b.u32(2).u32(type);
    for (int k = 0; k < 2; ++k) {
        b.f32(static_cast<float>(k));
        for (int i = 0; i < width * (type == 2 ? 3 : 1) + (type == 3 ? 3 : 0); ++i)
            b.f32(0.25f);
    }
    return b;
}

// The scene: root NiNode (block 0) -> visible shape (1) with its data (2);
// each family adds blocks from 3 on and links them in.
struct Mesh {
    B nif;
    Mesh()
    {
        nif.add(B::named<B::Node>("Root"));
        B::TriShape shape = B::named<B::TriShape>("Visible");
        shape.data = 2;
        nif.add(shape);
        B::TriShapeData d;
        d.vertices = {{0, 0, 0}, {7, 0, 0}, {0, 7, 0}};
        d.triangles = {{0, 1, 2}};
        nif.add(d);
        nif.node(0).children = {1};
    }
    std::uint32_t raw(const std::string& type, const Bytes& b) { return nif.addRaw(type, b.b); }
    std::uint32_t next() const { return static_cast<std::uint32_t>(nif.size()); }
};

struct Family {
    const char* name;
    std::function<void(Mesh&)> build;
    std::size_t nodes, shapes; // NiNode and NiTriShape blocks written
    std::function<void(const Nif20File&)> check = {}; // what the family keeps
};

const Family kFamilies[] = {
    {"switch node (a book): the active page stays",
     [](Mesh& m) {
         const auto sw = m.next(); // children: a second page and the visible shape
         Bytes b = node({sw + 1, 1});
         m.raw("NiSwitchNode", b.u32(1)); // index 1: the second page
         B::TriShape page = B::named<B::TriShape>("Page");
         page.data = 2;
         m.nif.add(page);
         m.nif.node(0).children = {sw};
     },
     2, 1},
    {"level of detail node: the first child stays",
     [](Mesh& m) {
         Bytes b = node({1, m.next() + 1});
         m.nif.node(0).children = {m.raw("NiLODNode", b.u32(7).f32(0).f32(0).f32(0).u32(2).f32(0).f32(50).f32(50).f32(900))};
         m.raw("NiNode", node({}));
     },
     2, 1},
    {"animation node with a keyframe controller and its data",
     [](Mesh& m) {
         const auto n = m.next();
         m.nif.node(0).children = {m.raw("NiBSAnimationNode", node({1}, n + 1))};
         m.raw("NiKeyframeController", controller(n).u32(n + 2));
         Bytes data;
         data.u32(1).u32(4).f32(0); // XYZ rotations: order, then three key groups
         keys(keys(keys(data, 1, 1), 2, 1), 3, 1);
         keys(data, 2, 3);
         keys(data, 3, 1);
         m.raw("NiKeyframeData", data);
     },
     2, 1},
    {"particles under a particle node",
     [](Mesh& m) {
         const auto n = m.next();
         m.nif.node(0).children = {1, m.raw("NiBSParticleNode", node({n + 1, n + 5}, n + 3))};
         Bytes p;
         avObject(p).u32(n + 2).u32(kNone);
         m.raw("NiAutoNormalParticles", p);
         Bytes d;
         geometry(d).u16(3).f32(1).u16(2).u32(1).f32(1).f32(2).f32(3);
         m.raw("NiAutoNormalParticlesData", d);
         Bytes c = controller(n);
         c.f32(1).f32(0).f32(0).f32(0).f32(0).f32(0).f32(1).f32(0).f32(0).f32(1).f32(1).f32(1).f32(1);
         c.f32(1).f32(0).f32(1).u8(0).f32(5).f32(3).f32(0).u8(1).u8(0).f32(1).f32(1).f32(1).u32(n);
         c.u16(1).f32(1).u16(0).f32(0).f32(0).u16(1).u16(1);
         for (int i = 0; i < 9; ++i)
             c.f32(0);
         c.u16(0).u16(0).u32(kNone).u32(n + 4).u32(kNone).u8(0);
         m.raw("NiParticleSystemController", c);
         m.raw("NiParticleGrowFade", Bytes().u32(kNone).u32(n + 3).f32(0.5f).f32(0.5f));
         Bytes r;
         avObject(r).u32(n + 6).u32(kNone);
         m.raw("NiRotatingParticles", r);
         Bytes rd;
         geometry(rd).u16(3).f32(1).u16(3).u32(0).u32(1);
         for (int i = 0; i < 12; ++i)
             rd.f32(0.5f);
         m.raw("NiRotatingParticlesData", rd);
     },
     2, 1},
    {"skinned shape: geometry stays, the skin goes",
     [](Mesh& m) {
         const auto n = m.next();
         m.nif.triShape(1).skin = n;
         m.raw("NiSkinInstance", Bytes().u32(n + 1).u32(0).links({0}));
         Bytes d;
         for (int i = 0; i < 13; ++i)
             d.f32(i % 4 == 0 ? 1.0f : 0.0f);
         d.u32(1).u32(kNone);
         for (int i = 0; i < 17; ++i)
             d.f32(0);
         m.raw("NiSkinData", d.u16(2).u16(0).f32(1).u16(2).f32(1));
     },
     1, 1},
    {"controllers and their data",
     [](Mesh& m) {
         const auto n = m.next();
         m.nif.node(0).controller = n;
         const char* const withData[] = {"NiVisController", "NiAlphaController", "NiMaterialColorController",
                                         "NiRollController"};
         const char* const data[] = {"NiVisData", "NiFloatData", "NiPosData", "NiFloatData"};
         for (std::uint32_t i = 0; i < 4; ++i) {
             m.raw(withData[i], controller(0, n + 2 * i + 2).u32(n + 2 * i + 1));
             Bytes d;
             if (i == 0)
                 d.u32(2).f32(0).u8(1).f32(1).u8(0);
             else
                 keys(d, i, i == 2 ? 3 : 1);
             m.raw(data[i], d);
         }
         m.raw("NiUVController", controller(0, n + 10).u16(0).u32(n + 9));
         Bytes uv;
         keys(keys(keys(keys(uv, 1, 1), 2, 1), 3, 1), 1, 1);
         m.raw("NiUVData", uv);
         m.raw("NiGeomMorpherController", controller(1, n + 12).u32(n + 11).u8(1));
         Bytes morph;
         morph.u32(1).u32(3).u8(1).u32(1).u32(2).f32(0).f32(1).f32(0).f32(0);
         for (int i = 0; i < 9; ++i)
             morph.f32(1);
         m.raw("NiMorphData", morph);
         m.raw("NiLookAtController", controller(0, n + 13).u32(0));
         m.raw("NiFlipController", controller(0, n + 14).u32(0).f32(0).f32(1).links({}));
         m.raw("NiPathController", controller(0, n + 15).u32(1).f32(0).f32(0).u16(0).u32(kNone).u32(kNone));
         m.raw("NiParticleColorModifier", Bytes().u32(kNone).u32(kNone).u32(n + 16));
         Bytes colours;
         m.raw("NiColorData", keys(colours, 1, 4));
     },
     1, 1},
    {"properties: stencil written, the others dropped",
     [](Mesh& m) {
         const auto n = m.next();
         m.nif.triShape(1).properties = {n, n + 1, n + 2, n + 3, n + 4};
         Bytes s;
         objectNet(s).u16(0x4D).u8(1).u32(3).u32(5).u32(0xFFu).u32(1).u32(2).u32(4).u32(3);
         m.raw("NiStencilProperty", s);
         for (const char* type : {"NiWireframeProperty", "NiDitherProperty", "NiShadeProperty"}) {
             Bytes p;
             m.raw(type, objectNet(p).u16(1));
         }
         Bytes fog;
         m.raw("NiFogProperty", objectNet(fog).u16(1).f32(1).f32(0.5f).f32(0.5f).f32(0.5f));
     },
     1, 1,
     [](const Nif20File& f) {
         const Nif20Block& s = f.first("NiStencilProperty");
         EXPECT_EQ(s.all("enabled"), (std::vector<double>{1}));
         // function, reference, mask, fail, z fail, pass, draw mode (3: both faces)
         for (auto [key, value] : {std::pair{"function", 3u}, {"reference", 5u}, {"mask", 0xFFu}, {"failAction", 1u},
                                   {"zFailAction", 2u}, {"passAction", 4u}, {"drawMode", 3u}})
             EXPECT_EQ(s.u(key), value) << key;
         EXPECT_EQ(f.ofType("NiTriShape")[0]->links("properties").size(), 1u);
     }},
    {"text keys, vertex weights, lights, camera, strips, avoid and billboard nodes",
     [](Mesh& m) {
         const auto n = m.next();
         m.nif.node(0).extraData = n;
         m.raw("NiTextKeyExtraData", Bytes().u32(n + 1).u32(0).u32(1).f32(0).str("start"));
         m.raw("NiVertWeightsExtraData", Bytes().u32(kNone).u32(0).u16(2).f32(1).f32(0.5f));
         m.nif.node(0).effects = {n + 2, n + 3, n + 4, n + 5};
         const char* const lights[] = {"NiAmbientLight", "NiDirectionalLight", "NiPointLight", "NiSpotLight"};
         for (int i = 0; i < 4; ++i) {
             Bytes l;
             avObject(l).links({0}).f32(1);
             for (int k = 0; k < 9 + (i >= 2 ? 3 : 0) + (i == 3 ? 2 : 0); ++k)
                 l.f32(0.5f);
             m.raw(lights[i], l);
         }
         Bytes cam;
         avObject(cam);
         for (int k = 0; k < 11; ++k)
             cam.f32(1);
         m.nif.node(0).children = {1, m.raw("NiCamera", cam.u32(kNone).u32(0)), n + 7, n + 9, n + 10};
         Bytes strips;
         avObject(strips).u32(n + 8).u32(kNone);
         m.raw("NiTriStrips", strips);
         Bytes sd;
         m.raw("NiTriStripsData", geometry(sd).u16(1).u16(1).u16(3).u16(0).u16(1).u16(2));
         m.raw("AvoidNode", node({}));
         m.raw("NiBillboardNode", node({}));
     },
     3, 1},
    {"embedded texture with its palette",
     [](Mesh& m) {
         const auto n = m.next();
         m.nif.triShape(1).properties = {n};
         B::TexturingProperty t;
         t.slots[0] = B::TextureDesc{};
         t.slots[0]->source = n + 1;
         m.nif.add(t);
         B::SourceTexture s;
         s.external = false;
         s.pixelData = n + 2;
         m.nif.add(s);
         Bytes px;
         px.u32(7).u32(0).u32(0).u32(0).u32(0).u32(8); // a format without a DDS form: no file
         for (int i = 0; i < 8; ++i)
             px.u8(34);
         px.u32(n + 3).u32(1).u32(1).u32(2).u32(2).u32(0).u32(4).u8(0).u8(1).u8(2).u8(3);
         m.raw("NiPixelData", px);
         Bytes pal;
         pal.u8(0).u32(16);
         for (int i = 0; i < 64; ++i)
             pal.u8(static_cast<std::uint8_t>(i));
         m.raw("NiPalette", pal);
     },
     1, 1,
     [](const Nif20File& f) { // without a file name, the texture stays empty
         const Nif20Block& texture = f.first("NiSourceTexture");
         EXPECT_EQ(texture.u("useExternal"), 0u);
         EXPECT_EQ(texture.s("fileName"), "");
         EXPECT_EQ(texture.u("pixelData"), kNone);
     }},
};

TEST(BlockTypes, EveryFamilyConvertsToWhatTheNewSceneCarries)
{
    for (const Family& family : kFamilies) {
        SCOPED_TRACE(family.name);
        Mesh m;
        family.build(m);
        CollisionFixture fx;
        ASSERT_TRUE(fx.load(m.nif)) << fx.console.captured();
        Nif20File f = fx.convert();
        EXPECT_EQ(f.bytesLeft, 0u);
        EXPECT_EQ(f.ofType("NiNode").size(), family.nodes);
        ASSERT_EQ(f.ofType("NiTriShape").size(), family.shapes);
        const Nif20Block& shape = *f.ofType("NiTriShape")[0];
        EXPECT_EQ(shape.s("name"), "Visible");
        EXPECT_EQ(shape.u("skinInstance"), kNone);
        EXPECT_EQ(f.blocks.at(shape.u("data")).all("vertices"), (std::vector<double>{0, 0, 0, 7, 0, 0, 0, 7, 0}));
        // The collision is the visible shape alone.
        EXPECT_EQ(f.first("NiTriStripsData").all("vertices"), (std::vector<double>{0, 0, 0, 7, 0, 0, 0, 7, 0}));
        for (const Nif20Block& b : f.blocks) {
            EXPECT_TRUE(!b.has("controller") || b.u("controller") == kNone) << b.type;
            EXPECT_TRUE(!b.has("effects") || b.all("effects").empty()) << b.type;
        }
        const std::vector<std::uint32_t> extra = f.blocks[0].links("extraData");
        for (std::uint32_t e : extra)
            EXPECT_NE(f.blocks.at(e).type, "NiTextKeyExtraData");
        if (family.check)
            family.check(f);
    }
}

TEST(BlockTypes, ShortenedFilesAndUnknownTypesAreRefused)
{
    Mesh all;
    for (const Family& family : kFamilies)
        if (family.nodes == 1) // the families that leave the root's children alone can share one mesh
            family.build(all);
    const std::vector<std::uint8_t> bytes = all.nif.build();
    CollisionFixture whole;
    ASSERT_TRUE(whole.load(all.nif)) << whole.console.captured();
    for (std::size_t n = 0; n + 8 < bytes.size(); ++n) {
        CollisionFixture fx;
        fx.job.sourceImage.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        ASSERT_EQ(readSourceMesh(fx.job), -1) << "accepted a mesh cut at " << n;
    }
    // Links and triangle corners one past what exists (one less is the mesh above, which loads).
    const std::function<void(Mesh&)> onePast[] = {
        [](Mesh& m) { m.nif.node(0).children = {1, m.next()}; },
        [](Mesh& m) { std::get<B::TriShapeData>(m.nif.block(2)).triangles = {{0, 1, 3}}; },
    };
    for (const auto& change : onePast) {
        Mesh m;
        change(m);
        CollisionFixture fx;
        EXPECT_FALSE(fx.load(m.nif));
    }
    for (const char* name : {"NiParticleSystem", "NiNod", "NiTriShapeDat", "NiSwitchNodeX", "nitrishape"}) {
        Mesh m;
        m.raw(name, Bytes().u32(0));
        CollisionFixture fx;
        EXPECT_FALSE(fx.load(m.nif)) << name;
        EXPECT_EQ(fx.console.captured(), std::string("Unknown object: ") + name + "\n");
    }
}

} // namespace
} // namespace lw::meshshift::collision::test
