// Meshes whose structure is hostile, through the real meshshift with every
// variant of the collision step: node links that form cycles (the walks of
// the collision step must not recurse forever), links to missing, dropped or
// wrongly typed blocks, and counts past the end of the file. Every run ends
// by itself with status 0, or with -1 and a message.
#include <gtest/gtest.h>

#include <functional>

#include "support/installation.hpp"
#include "support/nif4_builder.hpp"

namespace lw::test {
namespace {

using N = Nif4Builder;
constexpr std::uint32_t kMax = 0xFFFFFFFFu;

// A node's fields up to its children: name, no extra data or controller,
// flags, 16 floats of placement and velocity, no properties, no bounding box.
N::Bytes nodeStart()
{
    N::Bytes b;
    b.str("Root").u32(kMax).u32(kMax).u16(0);
    for (int i = 0; i < 16; ++i)
        b.f32(0);
    return b;
}

TEST(HostileMesh, EveryVariantEndsCleanlyOnDamagedStructure)
{
    const std::pair<const char*, std::function<void(N&)>> cases[] = {
        {"root is its own child", [](N& n) { n.node(0).children.push_back(0); }},
        {"collision nodes in a cycle below a switch showing a missing child",
         [](N& n) {
             N::Node collision = N::named<N::Node>("Collision");
             collision.rootCollisionNode = true;
             const auto rc = n.add(collision);
             const auto inner = n.add(N::named<N::Node>("Inner"));
             n.node(rc).children = {inner, 1, rc};
             n.node(inner).children = {0, rc, inner};
             n.node(0).children = {n.addRaw("NiSwitchNode", nodeStart().links({rc, 0, 1}).links({}).u32(kMax).b), rc};
         }},
        {"links to missing blocks",
         [](N& n) {
             n.node(0).children = {1, 99, kMax - 1, 0x80000000u};
             n.triShape(1).skin = 12345;
             n.node(0).extraData = 999;
         }},
        {"links to blocks of the wrong type and to dropped ones",
         [](N& n) {
             n.triShape(1).data = n.addRaw("NiShadeProperty", N::Bytes().str("").u32(kMax).u32(kMax).u16(1).b);
             n.node(0).children = {1, 2, 6, n.triShape(1).data};
             n.triShape(1).properties = {1, 6, 0};
         }},
        {"maximum counts over short arrays",
         [](N& n) {
             auto& d = std::get<N::TriShapeData>(n.block(6));
             d.numVertices = 65535;
             d.numTrianglePoints = kMax;
         }},
        {"child count past the end", [](N& n) { n.addRaw("NiNode", nodeStart().u32(0x10000000).u32(0).b); }},
        {"key count past the end", [](N& n) { n.addRaw("NiFloatData", N::Bytes().u32(kMax).u32(2).b); }},
        {"visibility keys past the end", [](N& n) { n.addRaw("NiVisData", N::Bytes().u32(0x40000000).b); }},
    };
    const std::vector<std::string> variants[] = {{"-l", "1"}, {"-l", "2"}, {"-l", "5", "-h"}, {"-f"}, {"-c"}};
    Installation env;
    env.dir.writeFile("mw/Data Files/Textures/tx_a.dds", "texture");
    int i = 0;
    for (const auto& [what, change] : cases) {
        N nif = N::texturedQuad(); // root 0 -> shape 1 -> data 6
        change(nif);
        const std::string name = "h" + std::to_string(i++) + ".nif";
        env.dir.writeFile("mw/Data Files/Meshes/" + name, nif.build());
        for (const auto& v : variants) {
            std::vector<std::string> args = {name, "-d", "out\\" + name};
            args.insert(args.end(), v.begin(), v.end());
            const RunResult r = env.run("meshshift", args);
            ASSERT_TRUE(r.exitedWith(0) || r.exitedWith(-1)) << what << " " << v[0] << ": " << r.describe();
            const bool messaged = r.out.find("Error parsing file!") != std::string::npos ||
                                  r.out.find("error in Havok!") != std::string::npos ||
                                  r.out.find("does not exist") != std::string::npos;
            EXPECT_TRUE(r.exitCode == 0 || messaged) << what << ": a failure without its message\n" << r.out;
            EXPECT_EQ(r.out.find("Not enough memory"), std::string::npos) << what << "\n" << r.out;
        }
    }
}

} // namespace
} // namespace lw::test
