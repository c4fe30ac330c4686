#pragma once
// Pieces of the collision step, shared by its source files and open to tests.
//
// The step appends template records (the record itself, not a copy) and
// records it builds to the block table, so every appended entry lies at or
// above the entry count the step started with, in append order.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "meshshift/collision/strip_builder.hpp"
#include "meshshift/nif20/block_model.hpp"

namespace lw {
class Console;
}

namespace lw::meshshift {
struct MeshJob;
struct MeshOptions;
struct TemplateTable;
} // namespace lw::meshshift

namespace lw::meshshift::collision {

inline constexpr std::size_t kMaxBoxes = 100;
inline constexpr std::size_t kStringPaletteCapacity = 128;

// Template block numbers the step takes by position.
enum TemplatePosition : std::size_t {
    kTemplateRoot = 0,
    kTemplateBsxFlags = 1,
    kTemplateExtraOther = 2,
    kTemplateExtraLayer5a = 3,
    kTemplateExtraLayer5b = 4,
    kTemplateExtraLayer4 = 5,
    kTemplateExtraHavokOff = 6,
    kTemplateExtraLayer2 = 7,
};

// The state of one run of the step.
struct CollisionRun {
    CollisionRun(MeshJob& job);

    MeshJob& job;
    BlockTable& blocks;
    TemplateTable& templ;
    const MeshOptions& options;
    Console& console;

    std::size_t countAtEntry = 0;
    Link parent = kNoLink; // the node that receives the collision object
    NiNode* parentNode = nullptr;
    Link host = kNoLink;   // the node whose extra-data list receives the extra data
    NiNode* hostNode = nullptr;
    Link templateManager = kNoLink; // template block 0's controller, as read

    // Appends an entry; kNoLink after "too many blocks!" when the table is full.
    Link append(std::string_view typeName, BlockRecord* record);
    // Appends template block `block` under the template's name for it;
    // kNoLink after a message when the template has no such block.
    Link appendTemplate(std::size_t block);
    // Appends an extra-data block to the host's list; false after a message.
    bool appendExtra(std::size_t templateBlock);

    // Prints a complaint about the template and returns -1.
    int templateMisfit(std::size_t block, std::string_view wanted);
};

// The rotation, scale and translation a block contributes to collision
// geometry: v -> scale (R v) + T. The writer puts a root node (entry 0 when it
// is a NiNode) at the origin with no rotation, so such a root counts as
// unrotated and unmoved here too (its scale stays: the game draws it), or the
// collision would sit apart from the visible mesh.
struct Placement {
    Matrix33 rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
    Vec3 translation{};
    float scale = 1.0f;
    Vec3 apply(const Vec3& v) const
    {
        Vec3 r = matrixTimesVector(rotation, v);
        for (float& c : r)
            c *= scale;
        return r + translation;
    }
    Vec3 rotate(const Vec3& v) const { return matrixTimesVector(rotation, v); }
    bool isIdentity() const
    {
        return rotation == Matrix33{1, 0, 0, 0, 1, 0, 0, 0, 1} && translation == Vec3{} && scale == 1.0f;
    }
};
Placement placementOf(const BlockTable& blocks, Link entry);

// A shape and the placements that carry its vertices into the collision's
// space, the shape's own first, then each ancestor up to the root.
struct PlacedShape {
    Link shape = kNoLink;
    std::vector<Placement> chain;
    Vec3 apply(Vec3 v) const;
    Vec3 rotate(Vec3 v) const;
    float scale() const;
};

// The NiTriShapes below `start` at any depth, in depth-first child order. A
// RootCollisionNode met on the way is passed over (it is collision, not the
// drawn object); hidden shapes and nodes count only inside a
// RootCollisionNode, where everything is hidden anyway. Placements of the
// nodes from `start` down are always applied; the ones above `start` only
// when they move, turn or scale.
std::vector<PlacedShape> shapesUnder(const BlockTable& blocks, Link start);

// Fills `data` from the NiTriShapes below the collision sources. 1, or -1
// after the builder's message.
int fillStripsData(MeshJob& job, const std::vector<Link>& sources, NiTriStripsData& data, StripBuilder& builder);

// Builds one box per NiTriShape below the collision parent (see shapesUnder)
// and their list shape; the list shape's entry, or
// kNoLink after a message.
Link buildBoxList(CollisionRun& run);

// Appends the template's animation graph for layer 2 and wires it to the new
// root (the host) and the collision parent; 0, or -1 after a message.
int buildAnimatedGraph(CollisionRun& run);

// The output numbering: without layer 2, entry 0 first, then the appended
// entries in append order, then the other source entries; with layer 2 the
// appended entries first. Dropped entries get no number. `root` is the entry
// that must be written as block 0 (it swaps places with whatever would have
// been there).
OutputNumbering buildOutputNumbering(const BlockTable& blocks, std::size_t countAtEntry, bool appendedFirst,
                                     Link root);

} // namespace lw::meshshift::collision
