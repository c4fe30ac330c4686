#pragma once
// A small template mesh for tests, written with the program's own writer: the
// blocks the collision step takes by position (root, BSXFlags, the layer extra
// data, a second node, the collision object with its rigid body and strips
// shape), so runs of the real program can use it.

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "meshshift/driver/mesh_job.hpp"
#include "meshshift/nif20/nif_writer.hpp"

namespace lw::meshshift::testing {

// Writes the blocks of `job` (entry order) and returns the file.
inline std::vector<std::uint8_t> writeBlocks(MeshJob& job)
{
    std::vector<std::uint8_t> out;
    if (writeScene(job, out) != 0)
        out.clear();
    return out;
}

inline std::vector<std::uint8_t> buildTestTemplate()
{
    Console console = Console::capturing();
    auto platform = makeSystemPlatform();
    MeshJob job(console, *platform);
    auto add = [&](std::string_view type, BlockRecord r) { job.blocks.append(type, job.keepRecord(std::move(r))); };

    NiNode root;
    root.name = "TemplateRoot";
    root.children = {8};
    add("NiNode", root);
    add("BSXFlags", BSXFlags{"BSX", 2});
    const char* extras[] = {"Layer1", "Layer5a", "Layer5b", "Layer4", "Alternative", "Layer2"};
    for (const char* e : extras)
        add("NiStringExtraData", NiStringExtraData{"UPB", kNoLink, e});
    NiNode parent;
    parent.name = "CollisionParent";
    parent.children = {kNoLink};
    add("NiNode", parent);
    add("bhkCollisionObject", bhkCollisionObject{kNoLink, 1, 10});
    bhkRigidBodyT body;
    body.shape = 11;
    body.layer = body.layerCopy = 1;
    body.mass = 0;
    body.friction = 0.3f;
    body.motionSystem = 7;
    body.qualityType = 1;
    add("bhkRigidBodyT", body);
    bhkNiTriStripsShape shape;
    shape.radius = 0.1f;
    shape.scale = {1, 1, 1};
    shape.stripsData = {12};
    shape.dataLayers = {0};
    add("bhkNiTriStripsShape", shape);
    NiTriStripsData strips;
    strips.numVertices = 3;
    strips.hasVertices = 1;
    strips.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    strips.numTriangles = 1;
    strips.stripLengths = {3};
    strips.hasPoints = 1;
    strips.points = {0, 1, 2};
    add("NiTriStripsData", strips);
    return writeBlocks(job);
}

} // namespace lw::meshshift::testing
