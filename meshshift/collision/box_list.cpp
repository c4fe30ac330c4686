// The box list of movable and animated objects: one box around each
// NiTriShape below the collision parent, each placed by a convex transform,
// all gathered in one list shape.
#include <bit>
#include <vector>

#include "common/console/console.hpp"
#include "meshshift/collision/collision_step.hpp"
#include "meshshift/driver/mesh_job.hpp"

namespace lw::meshshift::collision {
namespace {

constexpr float kHavokScale = 7.0f; // mesh units per Havok unit

struct BoxWalk {
    CollisionRun& run;
    std::vector<Link> subShapes;
    std::vector<bool> visited; // a node met twice (a damaged mesh's cycle) is walked once
    bool failed = false;
};

// One box around the shape's vertices, in the space of the node walked.
void makeBox(BoxWalk& walk, Link shapeEntry, const Placement& nodePlace)
{
    CollisionRun& run = walk.run;
    const NiTriShape* shape = run.blocks.as<NiTriShape>(shapeEntry);
    const NiTriShapeData* data = shape ? run.blocks.as<NiTriShapeData>(shape->data) : nullptr;
    if (!data || !data->hasVertices || data->numVertices == 0 ||
        data->vertices.size() < std::size_t{12} * data->numVertices)
        return;
    if (walk.subShapes.size() >= kMaxBoxes) {
        run.console.print("too many boxes!\n");
        walk.failed = true;
        return;
    }

    const Placement shapePlace = placementOf(run.blocks, shapeEntry);
    Vec3 lo{}, hi{};
    for (std::size_t i = 0; i < data->numVertices; ++i) {
        const Vec3 w = nodePlace.apply(shapePlace.apply(data->vertex(i)));
        for (std::size_t k = 0; k < 3; ++k) {
            if (i == 0 || w[k] < lo[k])
                lo[k] = w[k];
            if (i == 0 || w[k] > hi[k])
                hi[k] = w[k];
        }
    }
    Vec3 centre{}, half{};
    for (std::size_t k = 0; k < 3; ++k) {
        centre[k] = (lo[k] + hi[k]) / (2.0f * kHavokScale);
        half[k] = (hi[k] - lo[k]) * 1.0f / (2.0f * kHavokScale);
    }

    bhkBoxShape box;
    box.material = static_cast<std::uint32_t>(run.options.material);
    box.radius = 0.1f;
    box.dimensions = half;
    box.lastFloat = std::bit_cast<float>(0x3E124925u); // 1/7
    const Link boxEntry = run.append("bhkBoxShape", run.job.keepRecord(BlockRecord{box}));
    if (boxEntry == kNoLink) {
        walk.failed = true;
        return;
    }

    bhkConvexTransformShape placed;
    placed.shape = boxEntry;
    placed.material = 0x00;
    placed.unknownByte = 0xCD;
    placed.unknownShort = 0xCCCC;
    placed.transform = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, centre[0], centre[1], centre[2], 1};
    const Link placedEntry = run.append("bhkConvexTransformShape", run.job.keepRecord(BlockRecord{placed}));
    if (placedEntry == kNoLink) {
        walk.failed = true;
        return;
    }
    walk.subShapes.push_back(placedEntry);
}

void walkNode(BoxWalk& walk, Link nodeEntry)
{
    CollisionRun& run = walk.run;
    if (nodeEntry >= walk.visited.size() || walk.visited[nodeEntry])
        return;
    walk.visited[nodeEntry] = true;
    const NiNode* node = run.blocks.as<NiNode>(nodeEntry);
    if (!node)
        return;
    const Placement place = placementOf(run.blocks, nodeEntry);
    for (Link child : node->children) {
        if (walk.failed)
            return;
        if (child >= run.blocks.size())
            continue;
        const std::string_view type = run.blocks[child].typeName;
        if (type == "NiNode")
            walkNode(walk, child);
        else if (type == "NiTriShape")
            makeBox(walk, child, place);
    }
}

} // namespace

Link buildBoxList(CollisionRun& run)
{
    BoxWalk walk{run, {}, std::vector<bool>(kMaxBlocks, false)};
    walkNode(walk, run.parent);
    if (walk.failed)
        return kNoLink;

    bhkListShape list;
    list.subShapes = walk.subShapes;
    list.material = static_cast<std::uint32_t>(run.options.material);
    list.unknownInts.assign(7, 0);
    return run.append("bhkListShape", run.job.keepRecord(BlockRecord{list}));
}

} // namespace lw::meshshift::collision
