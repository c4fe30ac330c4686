// Every Morrowind block family the scene may hold, built field by field,
// converted with collision and read back independently to the last byte.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "mesh_fixture.hpp"

namespace lw::meshshift::testing {
namespace {

using B = Nif4Builder;
using CollisionFixture = JobFixture;
using Bytes = B::Bytes;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// Field bytes from values: i h b f (u32, u16, u8, f32), s<text> (sized text),
// @k (link to the k-th block of the rows), - (no link), K<type><width> (two
// keys), O and A (NiObjectNET, NiAVObject: name "n", identity, no lists; A@k
// with controller @k), C (controller fields between next and target), G (three
// vertices with normals); "*k" repeats a value k times.
Bytes fields(Bytes b, const std::string& line, std::uint32_t first)
{
    std::istringstream words(line);
    for (std::string w; words >> w;) {
        const std::size_t star = w.find('*');
        const int times = star == std::string::npos ? 1 : std::stoi(w.substr(star + 1));
        const std::string v = w.substr(1, star == std::string::npos ? std::string::npos : star - 1);
        const auto u = [&] { return static_cast<std::uint32_t>(std::stoul(v, nullptr, 0)); };
        for (int i = 0; i < times; ++i) {
            switch (w[0]) {
            case 'i': b.u32(u()); break;
            case 'h': b.u16(static_cast<std::uint16_t>(u())); break;
            case 'b': b.u8(static_cast<std::uint8_t>(u())); break;
            case 'f': b.f32(std::stof(v)); break;
            case 's': b.str(v); break;
            case '@': b.u32(first + u()); break;
            case '-': b.u32(kNone); break;
            case 'K': { // key interpolation 2 adds two tangents per value, 3 three floats per key
                const int type = v[0] - '0', width = v[1] - '0';
                b.u32(2).u32(static_cast<std::uint32_t>(type));
                for (int k = 0; k < 2; ++k)
                    for (int f = 0; f <= width * (type == 2 ? 3 : 1) + (type == 3 ? 3 : 0); ++f)
                        b.f32(f == 0 ? static_cast<float>(k) : 0.25f);
                break;
            }
            case 'O': b.str("n").u32(kNone).u32(kNone); break;
            case 'A': b = fields(b, "sn - " + (v.empty() ? "-" : v) + " h0 f0*3 f1 f0*3 f1 f0*3 f1 f1 f0*3 i0 i0", first);
                break;
            case 'C': b = fields(b, "h8 f1 f0 f0 f2", first); break;
            case 'G': b = fields(b, "h3 i1 f0 f1 f2 f3 f4 f5 f6 f7 f8 i1 f0.5*9 f0*3 f9 i0 h0 i0", first); break;
            }
        }
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
    std::uint32_t next() const { return static_cast<std::uint32_t>(nif.size()); }
    // Appends blocks of {type, fields}; the first one's number.
    std::uint32_t rows(const std::vector<std::pair<std::string, std::string>>& blocks)
    {
        const std::uint32_t first = next();
        for (const auto& [type, line] : blocks)
            nif.addRaw(type, fields({}, line, first).b);
        return first;
    }
};

struct Family {
    const char* name;
    std::function<void(Mesh&)> build;
    std::size_t nodes, shapes; // NiNode and NiTriShape blocks written
    std::function<void(const Nif20File&)> check = {}; // what the family keeps
};

const Family kFamilies[] = {
    {"switch node (a book): the active page stays", // children: a second page and the visible shape
     [](Mesh& m) { m.nif.node(0).children = {m.rows({{"NiSwitchNode", "A i2 @1 i1 i0 i1"}, {"NiTriShape", "A i2 -"}})}; },
     2, 1},
    {"level of detail node: the first child stays",
     [](Mesh& m) {
         m.nif.node(0).children = {
             m.rows({{"NiLODNode", "A i2 i1 @1 i0 i7 f0*3 i2 f0 f50 f50 f900"}, {"NiNode", "A i0 i0"}})};
     },
     2, 1},
    {"animation node with a keyframe controller and its data",
     [](Mesh& m) {
         m.nif.node(0).children = {m.rows({{"NiBSAnimationNode", "A@1 i1 i1 i0"}, {"NiKeyframeController", "- C @0 @2"},
                                           {"NiKeyframeData", "i1 i4 f0 K11 K21 K31 K23 K31"}})};
     },
     2, 1},
    {"particles under a particle node",
     [](Mesh& m) {
         m.nif.node(0).children = {
             1, m.rows({{"NiBSParticleNode", "A@3 i2 @1 @5 i0"}, {"NiAutoNormalParticles", "A @2 -"},
                        {"NiAutoNormalParticlesData", "G h3 f1 h2 i1 f1 f2 f3"},
                        {"NiParticleSystemController", "- C @0 f1 f0*5 f1 f0 f0 f1*4 f1 f0 f1 b0 f5 f3 f0 b1 b0 f1*3 @0 "
                                                       "h1 f1 h0 f0 f0 h1 h1 f0*9 h0 h0 - @4 - b0"},
                        {"NiParticleGrowFade", "- @3 f0.5 f0.5"}, {"NiRotatingParticles", "A @6 -"},
                        {"NiRotatingParticlesData", "G h3 f1 h3 i0 i1 f0.5*12"}})};
     },
     2, 1},
    {"skinned shape: geometry stays, the skin goes",
     [](Mesh& m) {
         m.nif.triShape(1).skin = m.rows({{"NiSkinInstance", "@1 i0 i1 i0"},
                                          {"NiSkinData", "f1 f0*3 f1 f0*3 f1 f0*3 f1 i1 - f0*17 h2 h0 f1 h2 f1"}});
     },
     1, 1},
    {"controllers and their data",
     [](Mesh& m) {
         m.nif.node(0).controller = m.rows({
             {"NiVisController", "@2 C i0 @1"}, {"NiVisData", "i2 f0 b1 f1 b0"},
             {"NiAlphaController", "@4 C i0 @3"}, {"NiFloatData", "K11"},
             {"NiMaterialColorController", "@6 C i0 @5"}, {"NiPosData", "K23"},
             {"NiRollController", "@8 C i0 @7"}, {"NiFloatData", "K31"},
             {"NiUVController", "@10 C i0 h0 @9"}, {"NiUVData", "K11 K21 K31 K11"},
             {"NiGeomMorpherController", "@12 C i1 @11 b1"}, {"NiMorphData", "i1 i3 b1 i1 i2 f0 f1 f0 f0 f1*9"},
             {"NiLookAtController", "@13 C i0 i0"}, {"NiFlipController", "@14 C i0 i0 f0 f1 i0"},
             {"NiPathController", "@15 C i0 i1 f0 f0 h0 - -"}, {"NiParticleColorModifier", "- - @16"},
             {"NiColorData", "K14"},
         });
     },
     1, 1},
    {"properties: stencil written, the others dropped",
     [](Mesh& m) {
         const auto n = m.rows({{"NiStencilProperty", "O h0x4D b1 i3 i5 i0xFF i1 i2 i4 i3"}, {"NiWireframeProperty", "O h1"},
                                {"NiDitherProperty", "O h1"}, {"NiShadeProperty", "O h1"},
                                {"NiFogProperty", "O h1 f1 f0.5 f0.5 f0.5"}});
         m.nif.triShape(1).properties = {n, n + 1, n + 2, n + 3, n + 4};
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
    {"bone, sorting and collision switch nodes; env-mapped shape; particle meshes; old properties",
     [](Mesh& m) {
         const auto n = m.rows({{"NiBone", "A i1 @1 i0"}, {"NiSortAdjustNode", "A i1 @2 i0 i1 -"},
                                {"NiCollisionSwitch", "A i1 i1 i0"},
                                {"NiEnvMappedTriShape", "O h3 f1 f0*4 f1 f0*4 f1 f0*4 f1 i1 i1 @4 -"},
                                {"NiEnvMappedTriShapeData", "G h1 i3 h0 h1 h2 h2 h1 h0 h3 h2 h1 h0"},
                                {"NiParticleMeshes", "A @6 -"}, {"NiParticleMeshesData", "G h3 f1 h2 i1 f1 f2 f3 i0 -"},
                                {"NiParticleMeshModifier", "@10 - i1 @5"}, {"NiTextureModeProperty", "O h210 h0 h0xFFB5"},
                                {"NiTextureProperty", "O h1 -"}, {"NiParticleCollider", "@11 - f0.5"},
                                {"NiEmitterModifier", "- -"}});
         m.nif.node(0).children = {n};
         m.nif.triShape(1).properties = {n + 8, n + 9};
     },
     4, 1},
    {"extra-data chain, lights, camera, avoid and billboard nodes",
     [](Mesh& m) {
         // text keys -> vertex weights -> text "NCO" -> text "two"; what an AvoidNode holds is neither drawn nor solid
         const auto n = m.rows({{"NiTextKeyExtraData", "@1 i0 i1 f0 sstart"}, {"NiVertWeightsExtraData", "@11 i0 h2 f1 f0.5"},
                                {"NiAmbientLight", "A i1 i0 f1 f0.5*9"}, {"NiDirectionalLight", "A i1 i0 f1 f0.5*9"},
                                {"NiPointLight", "A i1 i0 f1 f0.5*12"}, {"NiSpotLight", "A i1 i0 f1 f0.5*14"},
                                {"NiCamera", "A f1*11 - i0"}, {"AvoidNode", "A i1 @8 i0"}, {"NiTriShape", "A @9 -"},
                                {"NiTriShapeData", "G h1 i3 h0 h1 h2 h0"}, {"NiBillboardNode", "A i0 i0"},
                                {"NiStringExtraData", "@12 i7 sNCO"}, {"NiStringExtraData", "- i7 stwo"}});
         m.nif.node(0).extraData = n;
         m.nif.node(0).effects = {n + 2, n + 3, n + 4, n + 5};
         m.nif.node(0).children = {1, n + 6, n + 7, n + 10};
     },
     2, 1,
     [](const Nif20File& f) { // the carried texts in chain order
         std::vector<std::string> texts;
         for (std::uint32_t e : f.blocks[0].links("extraData"))
             if (f.blocks.at(e).s("name").empty())
                 texts.push_back(f.blocks.at(e).s("string"));
         EXPECT_EQ(texts, (std::vector<std::string>{"NCO", "two"}));
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
            EXPECT_NE(b.type, "NiTextKeyExtraData");
        }
        if (family.check)
            family.check(f);
    }
}

// Strips are drawn as the triangles they make; worked out by hand, every
// second triangle turned and those with two equal corners left out.
TEST(BlockTypes, StripsBecomeATriangleShape)
{
    struct Case {
        std::string points; // strip count, their lengths, their points
        std::vector<double> triangles; // empty: refused
    };
    const Case cases[] = {
        {"h1 h5 h0 h1 h2 h3 h4", {0, 1, 2, 1, 3, 2, 2, 3, 4}},
        {"h2 h4 h3 h0 h1 h2 h3 h3 h2 h4", {0, 1, 2, 1, 3, 2, 3, 2, 4}},
        {"h2 h5 h2 h0 h1 h1 h2 h3 h4 h0", {1, 2, 3}},
        {"h1 h3 h0 h1 h5", {}},
    };
    for (const Case& c : cases) {
        Mesh m; // five vertices: (0,0) (1,0) (0,1) (1,1) (0,2)
        m.nif.node(0).children = {m.rows({{"NiTriStrips", "sStrips - - h4 f10 f0 f0 f1 f0*3 f1 f0*3 f1 f1 f0*3 i0 i0 @1 -"},
                                          {"NiTriStripsData", "h5 i1 f0 f0 f0 f1 f0 f0 f0 f1 f0 f1 f1 f0 f0 f2 f0 i0 "
                                                              "f0*3 f3 i0 h0 i0 h9 " + c.points}})};
        CollisionFixture fx;
        ASSERT_EQ(fx.load(m.nif), !c.triangles.empty()) << fx.console.captured();
        if (c.triangles.empty())
            continue;
        Nif20File f = fx.convert();
        const auto shapes = f.ofType("NiTriShape"); // beside the unlinked "Visible"
        ASSERT_EQ(shapes.size(), 2u);
        const Nif20Block& shape = *shapes[shapes[0]->s("name") == "Strips" ? 0 : 1];
        EXPECT_EQ(shape.u("flags"), 4u);
        EXPECT_EQ(shape.all("translation"), (std::vector<double>{10, 0, 0}));
        const Nif20Block& data = f.blocks.at(shape.u("data"));
        EXPECT_EQ(data.all("triangles"), c.triangles);
        EXPECT_EQ(data.u("numTrianglePoints"), c.triangles.size());
        const std::vector<double> solid = f.first("NiTriStripsData").all("vertices"); // placed like a shape
        ASSERT_FALSE(solid.empty());
        for (std::size_t i = 0; i < solid.size(); i += 3)
            EXPECT_TRUE(solid[i] == 10 || solid[i] == 11) << solid[i];
    }
}

TEST(BlockTypes, ShortenedFilesLinksPastTheEndAndUnknownTypesAreRefused)
{
    Mesh all;
    for (const Family& family : kFamilies)
        if (family.nodes == 1) // the families that leave the root's children alone can share one mesh
            family.build(all);
    const std::vector<std::uint8_t> bytes = all.nif.build();
    CollisionFixture whole;
    ASSERT_TRUE(whole.load(all.nif)) << whole.console.captured();
    for (std::size_t n = 0; n + 8 < bytes.size(); ++n) {
        whole.job.sourceImage.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        ASSERT_EQ(readSourceMesh(whole.job), -1) << "accepted a mesh cut at " << n;
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
        EXPECT_FALSE(fx.load(m.nif)) << fx.console.captured();
    }
    for (const char* name : {"NiParticleSystem", "NiNod", "nitrishape"}) { // not of this version, or misspelt
        Mesh m;
        m.rows({{name, "i0"}});
        CollisionFixture fx;
        EXPECT_FALSE(fx.load(m.nif)) << name;
        EXPECT_EQ(fx.console.captured(), std::string("Unknown object: ") + name + "\n");
    }
}

} // namespace
} // namespace lw::meshshift::testing
