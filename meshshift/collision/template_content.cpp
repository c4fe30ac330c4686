#include "meshshift/collision/template_content.hpp"

#include <bit>
#include <numbers>

#include "meshshift/driver/mesh_job.hpp"

namespace lw::meshshift::collision {
namespace {

constexpr std::uint32_t kNoOffset = 0xFFFFFFFFu; // a string-palette offset that names nothing
constexpr float kQuarterTurn = std::numbers::pi_v<float> / 2.0f;
constexpr std::uint16_t kControllerFlags = 0x000C; // active, clamped at the end

void add(MeshJob& job, std::string_view type, BlockRecord record)
{
    job.blocks.append(type, job.keepRecord(std::move(record)));
}

NiStringExtraData text(std::string_view name, std::string_view value)
{
    NiStringExtraData d;
    d.name = name;
    d.text = value;
    return d;
}

ControllerGroup controllerGroup(Link next, Link target)
{
    ControllerGroup g;
    g.nextController = next;
    g.flags = kControllerFlags;
    g.frequency = 1.0f;
    g.startTime = 0.0f;
    g.stopTime = 1.0f;
    g.target = target;
    return g;
}

NiControllerSequence sequence(std::string_view name, Link rootInterpolator, Link doorInterpolator, Link keys)
{
    NiControllerSequence s;
    s.name = name;
    ControlledBlock root;
    root.interpolator = rootInterpolator;
    root.controller = 14;
    root.stringPalette = 17;
    root.offsets = {0, kNoOffset, 5, kNoOffset, kNoOffset};
    ControlledBlock door = root;
    door.interpolator = doorInterpolator;
    door.offsets[0] = 27;
    s.controlledBlocks = {root, door};
    s.arrayGrowBy = 1;
    s.weight = 1.0f;
    s.textKeys = keys;
    s.cycleType = 2; // clamp: the door stays open (or shut) at the end
    s.frequency = 1.0f;
    s.startTime = 0.0f;
    s.stopTime = 1.0f;
    s.manager = 13;
    s.targetName = "Door";
    s.stringPalette = 17;
    return s;
}

NiTransformInterpolator restPose(Link data)
{
    NiTransformInterpolator i;
    i.rotation = {1, 0, 0, 0}; // w, x, y, z
    i.scale = 1.0f;
    i.data = data;
    return i;
}

// A turn about the vertical axis from `from` to `to` radians in one second.
NiTransformData turn(float from, float to)
{
    NiTransformData d;
    d.rotationType = 4; // separate x, y and z angle curves
    d.xyzRotationCount = 1;
    FloatKeyGroup& z = d.xyzRotations[2];
    z.type = 1; // linear
    z.keys = {FloatKey{0.0f, from, 0, 0, {}}, FloatKey{1.0f, to, 0, 0, {}}};
    return d;
}

NiTextKeyExtraData startEnd()
{
    NiTextKeyExtraData k;
    k.keys = {TextKey{0.0f, "start"}, TextKey{1.0f, "end"}};
    return k;
}

} // namespace

void buildShippedTemplate(MeshJob& job)
{
    job.blocks.clear();

    NiNode root; // 0
    root.name = "Door";
    root.controller = 13;
    root.flags = 0x000E;
    root.children = {9};
    root.collision = 8;
    add(job, "NiNode", root);

    BSXFlags bsx; // 1
    bsx.name = "BSX";
    bsx.value = 2; // collision; the step makes it 3 (Havok and collision) for movable objects
    add(job, "BSXFlags", bsx);

    add(job, "NiStringExtraData", text("UPB", "Mass = 0.000000\r\nFriction = 0.300000\r\nUnyielding = 1\r\n")); // 2
    add(job, "NiStringExtraData", text("UPB", "Mass = 5.000000\r\nFriction = 0.300000\r\nUnyielding = 0\r\n")); // 3
    add(job, "NiStringExtraData", text("Src", "Morrowind mesh")); // 4
    add(job, "NiStringExtraData", text("UPB", "Mass = 1.000000\r\nFriction = 0.300000\r\nUnyielding = 0\r\n")); // 5
    add(job, "NiStringExtraData", text("UPB", "Mass = 0.000000\r\nUnyielding = 1\r\nDisable_Collisions = 0\r\n")); // 6
    add(job, "NiStringExtraData", text("UPB", "Mass = 0.000000\r\nFriction = 0.300000\r\nKeyframed = 1\r\n")); // 7

    bhkCollisionObject object; // 8
    object.target = 0;
    object.flags = 1; // active
    object.body = 10;
    add(job, "bhkCollisionObject", object);

    NiNode parent; // 9
    parent.name = "Scene Root";
    parent.flags = 0x000E;
    add(job, "NiNode", parent);

    bhkRigidBodyT body; // 10: a fixed static, the values of the strips variant
    body.shape = 11;
    body.layer = 1;     // static
    body.layerCopy = 1;
    body.unknownInts1 = {0, 1, 0, 0, 0x80000000u};
    body.unknownShorts1 = {0xBE01, 0xFFFF, 35899, 16336}; // simple contact response, no callback delay
    body.unknownShorts2 = {0, 21280, 2481, 62977, 65535, 44, 0};
    body.rotation = {0, 0, 0, 1}; // x, y, z, w
    body.mass = 0.0f;
    body.linearDamping = 0.1f;
    body.angularDamping = 0.05f;
    body.friction = 0.3f;
    body.restitution = 0.3f;
    body.maxLinearVelocity = 250.0f;
    body.maxAngularVelocity = std::bit_cast<float>(0x41FB53C3u);
    body.penetrationDepth = 0.15f;
    body.motionSystem = 7;       // fixed
    body.deactivatorType = 2;    // spatial: movable bodies fall asleep when still
    body.solverDeactivation = 2; // low
    body.qualityType = 1;        // fixed
    body.unknownInts2 = {512, 160, 161};
    add(job, "bhkRigidBodyT", body);

    bhkNiTriStripsShape shape; // 11
    shape.radius = 0.1f;
    shape.unknownInts = {0, 0, 0, 0, 0, 1};
    shape.scale = {1, 1, 1};
    shape.stripsData = {12};
    shape.dataLayers = {1}; // static
    add(job, "bhkNiTriStripsShape", shape);

    NiTriStripsData strips; // 12
    strips.hasVertices = 1;
    strips.hasNormals = 1;
    strips.consistency = 0x4000; // static
    add(job, "NiTriStripsData", strips);

    NiControllerManager manager; // 13
    static_cast<ControllerGroup&>(manager) = controllerGroup(14, 0);
    manager.cumulative = 0;
    manager.sequences = {15, 21};
    manager.objectPalette = 26;
    add(job, "NiControllerManager", manager);

    NiMultiTargetTransformController controller; // 14
    static_cast<ControllerGroup&>(controller) = controllerGroup(kNoLink, 0);
    controller.extraTargets = {0, 9};
    add(job, "NiMultiTargetTransformController", controller);

    add(job, "NiControllerSequence", sequence("Open", 16, 18, 20)); // 15
    add(job, "NiTransformInterpolator", restPose(kNoLink));        // 16
    NiStringPalette palette;                                        // 17
    palette.palette = std::string_view("Door\0NiTransformController\0Scene Root\0", 38);
    palette.length = 38;
    add(job, "NiStringPalette", palette);
    add(job, "NiTransformInterpolator", restPose(19));              // 18
    add(job, "NiTransformData", turn(0.0f, kQuarterTurn));          // 19
    add(job, "NiTextKeyExtraData", startEnd());                     // 20
    add(job, "NiControllerSequence", sequence("Close", 22, 23, 25)); // 21
    add(job, "NiTransformInterpolator", restPose(kNoLink));         // 22
    add(job, "NiTransformInterpolator", restPose(24));              // 23
    add(job, "NiTransformData", turn(kQuarterTurn, 0.0f));          // 24
    add(job, "NiTextKeyExtraData", startEnd());                     // 25

    NiDefaultAVObjectPalette objects; // 26
    objects.objects = {PaletteObject{"Door", 0}, PaletteObject{"Scene Root", 9}};
    add(job, "NiDefaultAVObjectPalette", objects);
}

} // namespace lw::meshshift::collision
