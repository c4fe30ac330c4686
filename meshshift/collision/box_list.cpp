// The box list of movable and animated objects: one box around each
// NiTriShape below the collision parent at any depth, each placed by a convex
// transform, all gathered in one list shape.
#include <bit>
#include <vector>

#include "common/console/console.hpp"
#include "meshshift/collision/collision_step.hpp"
#include "meshshift/driver/mesh_job.hpp"

namespace lw::meshshift::collision {
namespace {

constexpr float kHavokScale = 7.0f; // mesh units per Havok unit

// One box around the shape's vertices placed by all its ancestors; false
// after a message.
bool makeBox(CollisionRun& run, const PlacedShape& placed, std::vector<Link>& subShapes)
{
    const NiTriShape* shape = run.blocks.as<NiTriShape>(placed.shape);
    const NiTriShapeData* data = shape ? run.blocks.as<NiTriShapeData>(shape->data) : nullptr;
    if (!data || !data->hasVertices || data->numVertices == 0 ||
        data->vertices.size() < std::size_t{12} * data->numVertices)
        return true;
    if (subShapes.size() >= kMaxBoxes) {
        run.console.print("too many boxes!\n");
        return false;
    }

    Vec3 lo{}, hi{};
    for (std::size_t i = 0; i < data->numVertices; ++i) {
        const Vec3 w = placed.apply(data->vertex(i));
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
    if (boxEntry == kNoLink)
        return false;

    bhkConvexTransformShape moved;
    moved.shape = boxEntry;
    moved.material = 0x00;
    moved.unknownByte = 0xCD;
    moved.unknownShort = 0xCCCC;
    moved.transform = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, centre[0], centre[1], centre[2], 1};
    const Link placedEntry = run.append("bhkConvexTransformShape", run.job.keepRecord(BlockRecord{moved}));
    if (placedEntry == kNoLink)
        return false;
    subShapes.push_back(placedEntry);
    return true;
}

} // namespace

Link buildBoxList(CollisionRun& run)
{
    std::vector<Link> subShapes;
    for (const PlacedShape& placed : shapesUnder(run.blocks, run.parent))
        if (!makeBox(run, placed, subShapes))
            return kNoLink;

    bhkListShape list;
    list.subShapes = subShapes;
    list.material = static_cast<std::uint32_t>(run.options.material);
    list.unknownInts.assign(7, 0);
    return run.append("bhkListShape", run.job.keepRecord(BlockRecord{list}));
}

} // namespace lw::meshshift::collision
