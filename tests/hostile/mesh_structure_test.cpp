// Meshes whose structure is hostile, through the real meshshift with every
// variant of the collision step: node links that form cycles (the box-list
// walk and the strip source must not recurse forever), links to missing,
// dropped or wrongly typed blocks, zero and maximum counts, and sizes past
// the end of the file. Every run ends by itself, quickly, with status 0 or
// with -1 and a message.
#include <gtest/gtest.h>

#include "hostile_env.hpp"
#include "support/nif4_builder.hpp"

namespace lw::test::hostile {
namespace {

using N = Nif4Builder;
constexpr std::uint32_t kMax = 0xFFFFFFFFu;

// Raw little-endian bytes for damaged blocks.
struct Raw {
    std::vector<std::uint8_t> b;
    Raw& u8(std::uint8_t v)
    {
        b.push_back(v);
        return *this;
    }
    Raw& u16(std::uint16_t v) { return u8(static_cast<std::uint8_t>(v)).u8(static_cast<std::uint8_t>(v >> 8)); }
    Raw& u32(std::uint32_t v) { return u16(static_cast<std::uint16_t>(v)).u16(static_cast<std::uint16_t>(v >> 16)); }
    Raw& zeros(std::size_t n)
    {
        b.insert(b.end(), n, 0);
        return *this;
    }
    Raw& str(std::string_view s)
    {
        u32(static_cast<std::uint32_t>(s.size()));
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
};

// A scene root with one textured quad, and `extra` to shape it further.
N quadScene()
{
    return N::texturedQuad("textures\\tx_a.tga");
}

struct Case {
    std::string what;
    std::vector<std::uint8_t> bytes;
};

std::vector<Case> hostileMeshes()
{
    std::vector<Case> cases;
    {
        N nif = quadScene(); // root 0 -> shape 1
        nif.node(0).children.push_back(0);
        cases.push_back({"root is its own child", nif.build()});
    }
    {
        N nif = quadScene();
        const auto a = nif.add(N::named<N::Node>("A"));
        const auto b = nif.add(N::named<N::Node>("B"));
        nif.node(0).children.push_back(a);
        nif.node(a).children = {b, 1};
        nif.node(b).children = {0, a};
        cases.push_back({"cycle through three nodes", nif.build()});
    }
    {
        N nif = quadScene();
        N::Node collision = N::named<N::Node>("Collision");
        collision.rootCollisionNode = true;
        const auto rc = nif.add(collision);
        const auto inner = nif.add(N::named<N::Node>("Inner"));
        nif.node(0).children.push_back(rc);
        nif.node(rc).children = {inner, 1, rc};
        nif.node(inner).children = {0, rc, inner};
        cases.push_back({"collision node in a cycle", nif.build()});
    }
    {
        N nif = quadScene();
        nif.node(0).children = {1, 99, kMax - 1, 0x80000000u};
        nif.triShape(1).properties.push_back(77);
        nif.triShape(1).data = 500;
        nif.triShape(1).skin = 12345;
        nif.node(0).effects = {4444};
        nif.node(0).extraData = 999;
        nif.node(0).controller = 998;
        cases.push_back({"links to missing blocks", nif.build()});
    }
    {
        N nif = quadScene();
        // Morrowind collision whose shape another shape shares, an effect
        // with the visible shape's texture, properties the writer drops, and
        // visible links to all of them.
        N::Node collision = N::named<N::Node>("Collision");
        collision.rootCollisionNode = true;
        const auto rc = nif.add(collision);
        const auto hidden = nif.add(N::named<N::TriShape>("Hidden"));
        nif.triShape(hidden).data = 6; // the visible quad's data
        nif.node(rc).children = {hidden};
        N::TextureEffect effect = N::named<N::TextureEffect>("Effect");
        effect.sourceTexture = 3; // the visible quad's texture
        effect.affectedNodes = {0, rc};
        const auto fx = nif.add(effect);
        const auto spec = nif.add(N::SpecularProperty{});
        const auto vc = nif.add(N::VertexColorProperty{});
        nif.node(0).children = {1, rc, hidden, fx};
        nif.node(0).effects = {fx, fx};
        nif.node(0).properties = {spec, vc, spec};
        nif.triShape(1).properties.push_back(vc);
        cases.push_back({"links to dropped blocks", nif.build()});
    }
    {
        N nif = quadScene();
        nif.triShape(1).data = 0;              // a node as geometry
        nif.node(0).children = {1, 2, 6};       // a property and data as children
        nif.triShape(1).properties = {1, 6, 0}; // shapes and nodes as properties
        cases.push_back({"links to blocks of the wrong type", nif.build()});
    }
    {
        N nif;
        nif.roots = {};
        cases.push_back({"no blocks, no roots", nif.build()});
    }
    {
        N nif;
        nif.add(N::named<N::Node>("Empty"));
        cases.push_back({"a lone empty node", nif.build()});
    }
    {
        N nif = quadScene();
        N::TriShapeData empty;
        std::get<N::TriShapeData>(nif.block(6)) = empty;
        cases.push_back({"geometry without vertices or triangles", nif.build()});
    }
    {
        N nif = quadScene();
        auto& d = std::get<N::TriShapeData>(nif.block(6));
        d.triangles = {{0, 1, 60000}, {65535, 65535, 65535}, {3, 3, 3}};
        cases.push_back({"triangles naming vertices that do not exist", nif.build()});
    }
    {
        N nif = quadScene();
        auto& d = std::get<N::TriShapeData>(nif.block(6));
        d.numVertices = 65535;
        d.numTrianglePoints = kMax;
        cases.push_back({"maximum counts over short arrays", nif.build()});
    }
    {
        N nif = quadScene();
        nif.roots = {0, 0, 1, kMax};
        cases.push_back({"repeated and missing roots", nif.build()});
    }
    {
        std::vector<std::uint8_t> b = quadScene().build();
        // The block count right after the header line and version.
        const std::size_t at = std::string("NetImmerse File Format, Version 4.0.0.2\n").size() + 4;
        for (int i = 0; i < 4; ++i)
            b[at + static_cast<std::size_t>(i)] = 0xFF;
        cases.push_back({"block count 0xFFFFFFFF", b});
    }
    {
        N nif;
        nif.addRaw("NiNode", Raw().str("Root").u32(kMax).u32(kMax).u16(0).zeros(4 * 16).u32(kMax).b);
        cases.push_back({"property count past the end", nif.build()});
    }
    {
        N nif;
        nif.addRaw("NiNode", Raw().str("Root").u32(kMax).u32(kMax).u16(0).zeros(4 * 16).u32(0).u32(0)
                                 .u32(0x10000000).u32(0).b);
        cases.push_back({"child count past the end", nif.build()});
    }
    {
        N nif = quadScene();
        nif.addRaw(std::string(300, 'N'), {});
        cases.push_back({"a long unknown type name", nif.build()});
    }
    {
        std::vector<std::uint8_t> b = quadScene().build();
        const std::size_t at = std::string("NetImmerse File Format, Version 4.0.0.2\n").size() + 8;
        b[at] = b[at + 1] = b[at + 2] = 0xFF;
        b[at + 3] = 0x7F; // first type name's length
        cases.push_back({"type name length past the end", b});
    }
    {
        std::vector<std::uint8_t> b = quadScene().build();
        b.resize(b.size() / 2);
        cases.push_back({"cut in the middle", b});
    }
    return cases;
}

TEST(HostileMesh, EveryVariantEndsCleanlyOnDamagedStructure)
{
    HostileEnv env;
    env.dir.writeFile("mw/Data Files/Textures/tx_a.dds", "texture");
    const std::vector<std::vector<std::string>> variants = {
        {"-l", "1"}, {"-l", "2"}, {"-l", "4"}, {"-l", "5", "-h"}, {"-f"}, {"-c"},
    };
    int i = 0;
    for (const Case& c : hostileMeshes()) {
        const std::string name = "h" + std::to_string(i++) + ".nif";
        env.dir.writeFile("mw/Data Files/Meshes/" + name, c.bytes);
        for (const auto& v : variants) {
            std::vector<std::string> args = {name, "-d", "out\\" + name};
            args.insert(args.end(), v.begin(), v.end());
            const RunResult r = env.meshshift(args);
            ASSERT_TRUE(endedCleanly(r)) << c.what << " " << v[0] << ": " << r.describe() << r.out;
            EXPECT_TRUE(r.exitedWith(0) || r.exitedWith(kMeshFailed)) << c.what << ": " << r.describe();
            if (r.exitCode != 0) {
                EXPECT_TRUE(r.out.find("Error parsing file!") != std::string::npos ||
                            r.out.find("error in Havok!") != std::string::npos ||
                            r.out.find("does not exist") != std::string::npos)
                    << c.what << ": a failure without its message\n" << r.out;
            }
            EXPECT_EQ(r.out.find("Not enough memory"), std::string::npos) << c.what << "\n" << r.out;
        }
    }
}

} // namespace
} // namespace lw::test::hostile
