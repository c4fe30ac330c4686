// The collision step: BSXFlags and the layer's extra data, the collision
// object with its rigid body and shape, the door animation graph, the drops
// and the output numbering. Everything but the shape geometry comes from the
// template: its records are appended as they are and a few of their values
// changed.
#include "meshshift/collision/collision.hpp"

#include <bit>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "common/console/console.hpp"
#include "meshshift/collision/collision_step.hpp"
#include "meshshift/driver/mesh_job.hpp"

namespace lw::meshshift {
namespace collision {

CollisionRun::CollisionRun(MeshJob& j)
    : job(j), blocks(j.blocks), templ(j.templ), options(j.options), console(j.console)
{
}

Link CollisionRun::append(std::string_view typeName, BlockRecord* record)
{
    Link entry = blocks.append(typeName, record);
    if (entry == kNoLink)
        console.print("too many blocks!\n");
    return entry;
}

Link CollisionRun::appendTemplate(std::size_t block)
{
    if (block >= templ.size() || !templ.blocks[block].record) {
        console.print("template has no block %zu\n", block);
        return kNoLink;
    }
    return append(templ.typeName(block), templ.blocks[block].record);
}

bool CollisionRun::appendExtra(std::size_t templateBlock)
{
    Link entry = appendTemplate(templateBlock);
    if (entry == kNoLink)
        return false;
    if (!appendExtraData(*hostNode, entry)) {
        console.print("too many extra data!\n");
        return false;
    }
    return true;
}

int CollisionRun::templateMisfit(std::size_t block, std::string_view wanted)
{
    console.print("template block %zu is not the %.*s the collision needs\n", block,
                  static_cast<int>(wanted.size()), wanted.data());
    return -1;
}

Placement placementOf(const BlockTable& blocks, Link entry)
{
    Placement p;
    if (entry >= blocks.size() || !blocks[entry].record)
        return p;
    const AVObject* av = std::visit(
        [](auto& r) -> const AVObject* {
            if constexpr (std::is_base_of_v<AVObject, std::decay_t<decltype(r)>>)
                return &r;
            else
                return nullptr;
        },
        *blocks[entry].record);
    if (!av)
        return p;
    p.scale = av->scale;
    if (entry == 0 && (blocks[0].typeName == "NiNode" || blocks[0].typeName == "RootCollisionNode"))
        return p;
    p.rotation = av->rotation;
    p.translation = av->translation;
    return p;
}

Vec3 PlacedShape::apply(Vec3 v) const
{
    for (const Placement& p : chain)
        v = p.apply(v);
    return v;
}

Vec3 PlacedShape::rotate(Vec3 v) const
{
    for (const Placement& p : chain)
        v = p.rotate(v);
    return v;
}

float PlacedShape::scale() const
{
    float s = 1.0f;
    for (const Placement& p : chain)
        s *= p.scale;
    return s;
}

namespace {

struct ShapeWalk {
    const BlockTable& blocks;
    bool inCollisionNode;
    std::vector<Placement> above; // nearest ancestor of the start first
    std::vector<Placement> down;  // the start first, then each node walked into
    std::vector<bool> visited;    // a node met twice (a damaged mesh's cycle) is walked once
    std::vector<PlacedShape> found;

    bool hidden(Link entry) const
    {
        const AVObject* av = blocks.as<NiNode>(entry);
        if (!av)
            av = blocks.as<NiTriShape>(entry);
        return !inCollisionNode && av && (av->flags & 0x0001);
    }

    void walk(Link nodeEntry)
    {
        if (nodeEntry >= visited.size() || visited[nodeEntry])
            return;
        visited[nodeEntry] = true;
        const NiNode* node = blocks.as<NiNode>(nodeEntry);
        if (!node)
            return;
        down.push_back(placementOf(blocks, nodeEntry));
        for (Link child : node->children) {
            if (child >= blocks.size() || hidden(child))
                continue;
            const std::string_view type = blocks[child].typeName;
            if (type == "NiTriShape") {
                PlacedShape placed{child, {placementOf(blocks, child)}};
                placed.chain.insert(placed.chain.end(), down.rbegin(), down.rend());
                placed.chain.insert(placed.chain.end(), above.begin(), above.end());
                found.push_back(std::move(placed));
            } else if (type != "RootCollisionNode" && blocks.as<NiNode>(child)) {
                walk(child);
            }
        }
        down.pop_back();
    }
};

// The node whose children list names `entry` first, or kNoLink.
Link parentOf(const BlockTable& blocks, Link entry)
{
    for (std::size_t e = 0; e < blocks.size(); ++e)
        if (const NiNode* node = blocks.as<NiNode>(static_cast<Link>(e)))
            for (Link child : node->children)
                if (child == entry)
                    return static_cast<Link>(e);
    return kNoLink;
}

} // namespace

std::vector<PlacedShape> shapesUnder(const BlockTable& blocks, Link start)
{
    ShapeWalk walk{blocks, start < blocks.size() && blocks[start].typeName == "RootCollisionNode", {}, {},
                   std::vector<bool>(blocks.size(), false), {}};
    std::vector<bool> climbed(blocks.size(), false);
    for (Link up = parentOf(blocks, start); up < blocks.size() && !climbed[up]; up = parentOf(blocks, up)) {
        climbed[up] = true;
        const Placement p = placementOf(blocks, up);
        if (!p.isIdentity())
            walk.above.push_back(p);
    }
    walk.walk(start);
    return std::move(walk.found);
}

OutputNumbering buildOutputNumbering(const BlockTable& blocks, std::size_t countAtEntry, bool appendedFirst,
                                     Link root)
{
    OutputNumbering n;
    n.set = true;
    n.remap.assign(blocks.size(), -1);
    auto give = [&](std::size_t entry) {
        if (entry < blocks.size() && blocks[entry].record)
            n.order.push_back(static_cast<Link>(entry));
    };
    if (appendedFirst) {
        for (std::size_t e = countAtEntry; e < blocks.size(); ++e)
            give(e);
        give(0);
    } else {
        give(0);
        for (std::size_t e = countAtEntry; e < blocks.size(); ++e)
            give(e);
    }
    for (std::size_t e = 1; e < countAtEntry; ++e)
        give(e);

    // The written root is block 0.
    for (std::size_t pos = 1; pos < n.order.size(); ++pos)
        if (n.order[pos] == root) {
            std::swap(n.order[pos], n.order[0]);
            break;
        }
    for (std::size_t pos = 0; pos < n.order.size(); ++pos)
        n.remap[n.order[pos]] = static_cast<std::int32_t>(pos);
    return n;
}

namespace {

std::vector<Link> rootCollisionNodes(const BlockTable& blocks)
{
    std::vector<Link> nodes;
    for (std::size_t e = 0; e < blocks.size(); ++e)
        if (blocks[e].typeName == "RootCollisionNode")
            nodes.push_back(static_cast<Link>(e));
    return nodes;
}

bool isBoxLayer(std::int32_t layer) { return layer == 2 || layer == 4 || layer == 5; }

// Rigid-body values of movable and animated objects (layers 5, 4 and 2).
void applyPreset(bhkRigidBodyT& body, std::int32_t layer)
{
    struct Preset {
        float mass, i0, i5, i10;
    };
    const Preset preset = layer == 5 ? Preset{5.0f, 5.0f, 0.5f, 5.0f}
                        : layer == 4 ? Preset{1.0f, 1.0f, 0.1f, 1.0f}
                                     : Preset{0.0f, 0.0f, 0.0f, 0.0f};
    body.mass = preset.mass;
    body.inertia[0] = preset.i0;
    body.inertia[5] = preset.i5;
    body.inertia[10] = preset.i10;
    body.linearDamping = 0.1f;
    body.angularDamping = 0.05f;
    body.friction = 0.3f;
    body.restitution = 0.3f;
    body.maxLinearVelocity = 250.0f;
    body.maxAngularVelocity = std::bit_cast<float>(0x41FB53C3u); // 31.4159
    body.penetrationDepth = 0.15f;
}

// The node that carries the collision object.
int chooseCollisionParent(CollisionRun& run)
{
    if (run.blocks.empty()) {
        run.console.print("the mesh has no blocks\n");
        return -1;
    }
    if (run.blocks.findType("NiNode") == 0) {
        run.parent = 0;
        run.parentNode = run.blocks.as<NiNode>(0);
        return 0;
    }
    // The scene root is no NiNode: a template node becomes the parent of it.
    NiNode* root = run.templ.as<NiNode>(kTemplateRoot);
    if (!root)
        return run.templateMisfit(kTemplateRoot, "NiNode");
    if (root->children.empty())
        return run.templateMisfit(kTemplateRoot, "NiNode with a child");
    const Link childBlock = root->children[0];
    NiNode* node = run.templ.as<NiNode>(childBlock);
    if (!node || run.templ.typeName(childBlock) != "NiNode")
        return run.templateMisfit(childBlock, "NiNode");
    run.parent = run.appendTemplate(childBlock);
    if (run.parent == kNoLink)
        return -1;
    if (node->children.empty())
        node->children.push_back(0);
    else
        node->children[0] = 0;
    run.parentNode = node;
    return 0;
}

// The node whose extra-data list gets the appended extra data.
int chooseHost(CollisionRun& run)
{
    NiNode* templateRoot = run.templ.as<NiNode>(kTemplateRoot);
    if (templateRoot)
        run.templateManager = templateRoot->controller; // before it is cleared below
    if (run.options.layer != 2) {
        run.host = run.parent;
        run.hostNode = run.parentNode;
        return 0;
    }
    if (!templateRoot || run.templ.typeName(kTemplateRoot) != "NiNode")
        return run.templateMisfit(kTemplateRoot, "NiNode");
    run.host = run.appendTemplate(kTemplateRoot);
    if (run.host == kNoLink)
        return -1;
    if (templateRoot->children.empty())
        templateRoot->children.push_back(run.parent);
    else
        templateRoot->children[0] = run.parent;
    templateRoot->controller = kNoLink;
    templateRoot->collision = kNoLink;
    templateRoot->extraData.clear();
    run.hostNode = templateRoot;
    return 0;
}

// BSXFlags and the layer's extra data (or the -h block).
int appendExtraData(CollisionRun& run)
{
    const std::int32_t layer = run.options.layer;
    if (!run.options.alternativeExtra) {
        BSXFlags* flags = run.templ.as<BSXFlags>(kTemplateBsxFlags);
        if (!flags)
            return run.templateMisfit(kTemplateBsxFlags, "BSXFlags");
        if (isBoxLayer(layer))
            flags->value = 3;
        if (!run.appendExtra(kTemplateBsxFlags))
            return -1;
    }
    if (run.options.alternativeExtra)
        return run.appendExtra(kTemplateExtraHavokOff) ? 0 : -1;
    if (layer == 5)
        return run.appendExtra(kTemplateExtraLayer5a) && run.appendExtra(kTemplateExtraLayer5b) ? 0 : -1;
    if (layer == 4)
        return run.appendExtra(kTemplateExtraLayer4) ? 0 : -1;
    if (layer != 2)
        return run.appendExtra(kTemplateExtraOther) ? 0 : -1;
    if (!run.appendExtra(kTemplateExtraLayer2))
        return -1;
    return buildAnimatedGraph(run);
}

// Collision object, rigid body and shape.
int buildCollisionObject(CollisionRun& run)
{
    const int objectBlock = run.templ.find("bhkCollisionObject");
    if (objectBlock < 0)
        return -1;
    bhkCollisionObject* object = run.templ.as<bhkCollisionObject>(static_cast<std::size_t>(objectBlock));
    if (!object)
        return -1;
    // The first entry that holds the parent's record (the parent is a NiNode
    // record appended at most once, so this is its entry).
    for (std::size_t e = 0; e < run.blocks.size(); ++e)
        if (run.blocks[e].record && run.blocks.as<NiNode>(static_cast<Link>(e)) == run.parentNode) {
            object->target = static_cast<Link>(e);
            break;
        }
    const Link bodyBlock = object->body;
    bhkRigidBodyT* body = run.templ.as<bhkRigidBodyT>(bodyBlock);
    if (!body || !body->constraints.empty())
        return -1;

    const std::int32_t layer = run.options.layer;
    body->layer = static_cast<std::uint8_t>(layer);
    body->layerCopy = static_cast<std::uint8_t>(layer);
    body->motionSystem = static_cast<std::uint8_t>(run.options.motionSystem);
    body->qualityType = static_cast<std::uint8_t>(run.options.quality);

    if (isBoxLayer(layer)) {
        applyPreset(*body, layer);
        const Link list = buildBoxList(run);
        if (list == kNoLink)
            return -1;
        body->shape = list;
    } else {
        const Link shapeBlock = body->shape;
        bhkNiTriStripsShape* shape = run.templ.as<bhkNiTriStripsShape>(shapeBlock);
        if (!shape || shape->stripsData.empty())
            return -1;
        const Link dataBlock = shape->stripsData[0];
        NiTriStripsData* data = run.templ.as<NiTriStripsData>(dataBlock);
        if (!data)
            return -1;
        shape->material = static_cast<std::uint32_t>(run.options.material);

        std::vector<Link> sources = run.options.wholeScene ? std::vector<Link>{} : rootCollisionNodes(run.blocks);
        if (sources.empty())
            sources.push_back(run.parent);
        StripBuilder builder;
        if (fillStripsData(run.job, sources, *data, builder) < 0) {
            run.console.print("error in collision strips data!\n");
            return -1;
        }
        const Link dataEntry = run.appendTemplate(dataBlock);
        if (dataEntry == kNoLink)
            return -1;
        shape->stripsData[0] = dataEntry;
        const Link shapeEntry = run.appendTemplate(shapeBlock);
        if (shapeEntry == kNoLink)
            return -1;
        body->shape = shapeEntry;
    }

    const Link bodyEntry = run.appendTemplate(bodyBlock);
    if (bodyEntry == kNoLink)
        return -1;
    object->body = bodyEntry;
    const Link objectEntry = run.appendTemplate(static_cast<std::size_t>(objectBlock));
    if (objectEntry == kNoLink)
        return -1;
    run.parentNode->collision = objectEntry;
    return 0;
}

// Whether a NiTriShape still in the table names `data`.
bool dataStillUsed(const BlockTable& blocks, Link data)
{
    for (std::size_t e = 0; e < blocks.size(); ++e) {
        const NiTriShape* shape = blocks.as<NiTriShape>(static_cast<Link>(e));
        if (shape && shape->data == data)
            return true;
    }
    return false;
}

// Adds `entry` and everything below it through child links to `out`.
void collectSubtree(const BlockTable& blocks, Link entry, std::vector<bool>& taken, std::vector<Link>& out)
{
    if (entry >= blocks.size() || taken[entry] || !blocks[entry].record)
        return;
    taken[entry] = true;
    out.push_back(entry);
    if (const NiNode* node = blocks.as<NiNode>(entry))
        for (Link child : node->children)
            collectSubtree(blocks, child, taken, out);
}

// Every RootCollisionNode is Morrowind's collision; Havok replaces them. Each
// goes with everything below it.
void dropRootCollision(CollisionRun& run)
{
    std::vector<bool> taken(run.blocks.size(), false);
    std::vector<Link> subtree;
    for (Link node : rootCollisionNodes(run.blocks))
        collectSubtree(run.blocks, node, taken, subtree);
    std::vector<Link> shapeData;
    for (Link entry : subtree)
        if (const NiTriShape* shape = run.blocks.as<NiTriShape>(entry))
            shapeData.push_back(shape->data);
    for (Link entry : subtree)
        run.blocks.drop(entry);
    // A data block that a visible shape also uses stays, or that shape would
    // lose its geometry.
    for (Link data : shapeData)
        if (data < run.blocks.size() && !dataStillUsed(run.blocks, data))
            run.blocks.drop(data);
}

// Properties and effects the target game does not take.
void dropUnsupported(CollisionRun& run)
{
    for (std::size_t e = 0; e < run.blocks.size(); ++e) {
        const std::string_view type = run.blocks[e].typeName;
        if (type == "NiSpecularProperty" || type == "NiVertexColorProperty") {
            run.blocks.drop(static_cast<Link>(e));
        } else if (type == "NiTextureEffect") {
            if (const NiTextureEffect* effect = run.blocks.as<NiTextureEffect>(static_cast<Link>(e)))
                run.blocks.drop(effect->sourceTexture);
            run.blocks.drop(static_cast<Link>(e));
        }
    }
}

} // namespace
} // namespace collision

int buildCollision(MeshJob& job)
{
    using namespace collision;
    CollisionRun run(job);
    run.countAtEntry = job.blocks.size();

    if (chooseCollisionParent(run) < 0)
        return -1;
    if (!run.parentNode) {
        job.console.print("the collision parent is no node\n");
        return -1;
    }
    run.parentNode->flags = static_cast<std::uint16_t>(run.parentNode->flags | 0x0002);
    if (chooseHost(run) < 0)
        return -1;
    if (appendExtraData(run) < 0)
        return -1;
    if (!job.options.noCollision && buildCollisionObject(run) < 0) {
        job.console.print("error building Havok data\n");
        return -1;
    }
    dropRootCollision(run);
    dropUnsupported(run);

    const bool layer2 = job.options.layer == 2;
    const Link root = layer2 ? run.host : run.parent;
    job.numbering = buildOutputNumbering(job.blocks, run.countAtEntry, layer2, root);
    job.console.print("HAVOK done\n");
    return 0;
}

} // namespace lw::meshshift
