#pragma once
// The scene in memory: a table of up to 2048 blocks, each a type name and a
// typed record. The mesh reader fills it with the source blocks (entry i is
// source block i), the collision step appends template and generated blocks
// and drops others, and the writer walks it in output order.
//
// Records keep small fields by value. Names are views into the loaded image
// (source or template) or into the job's string store; big source arrays
// (vertices, triangles, ...) stay byte views into the source image. Arrays of
// template blocks are owned vectors so the collision step can fill them.
//
// Links are block-table entry numbers (kNoLink for none). Template blocks hold
// template block numbers until the collision step relinks them.
//
// Every block type written in the version-20 layout describes that layout once,
// in `template <class S> void sync(S&)`: the template reader drives it with a
// reading stream, the writer with a writing stream that renumbers links (see
// nif20/sync_stream.hpp for the stream operations).

#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace lw::meshshift {

using Link = std::uint32_t;
inline constexpr Link kNoLink = 0xFFFFFFFFu;

inline constexpr std::size_t kMaxBlocks = 2048;        // block-table capacity
inline constexpr std::size_t kMaxObjectNetBlocks = 1000; // extra-data lists of one source mesh
inline constexpr std::size_t kMaxExtraDataLinks = 100;  // links in one extra-data list
inline constexpr std::size_t kMaxPoolEntries = 100;     // keys/entries of one kind in the template
inline constexpr std::size_t kMaxOutputBlockTypes = 128;

using ByteView = std::span<const std::uint8_t>;
using Vec3 = std::array<float, 3>;
using Matrix33 = std::array<float, 9>; // row by row

// Kinds of template entries whose total over the template is limited.
enum class Pool { RotationKeys, TranslationKeys, FloatKeys, TextKeys, ControlledBlocks, PaletteObjects };

// Little-endian decoding of array elements kept as byte views.
inline float floatAt(ByteView bytes, std::size_t index)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(bytes[index * 4 + static_cast<std::size_t>(i)]) << (8 * i);
    return std::bit_cast<float>(v);
}
inline std::uint16_t u16At(ByteView bytes, std::size_t index)
{
    return static_cast<std::uint16_t>(bytes[index * 2] | (bytes[index * 2 + 1] << 8));
}

// ---------------------------------------------------------------------------
// Field groups

struct ObjectNet {
    std::string_view name;
    std::vector<Link> extraData; // source blocks: exactly one entry (maybe kNoLink)
    Link controller = kNoLink;

    template <class S>
    void syncObjectNet(S& s)
    {
        s.text(name);
        s.links32(extraData, kMaxExtraDataLinks);
        s.link(controller);
    }
};

// Appends a link to an extra-data list; false when the list is full.
inline bool appendExtraData(ObjectNet& object, Link link)
{
    if (object.extraData.size() >= kMaxExtraDataLinks)
        return false;
    object.extraData.push_back(link);
    return true;
}

struct AVObject : ObjectNet {
    std::uint16_t flags = 0;
    Vec3 translation{};
    Matrix33 rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
    float scale = 1.0f;
    std::vector<Link> properties;
    Link collision = kNoLink;

    template <class S>
    void syncAVObject(S& s)
    {
        syncObjectNet(s);
        s.u16(flags);
        s.f32s(translation);
        s.f32s(rotation);
        s.f32(scale);
        s.links32(properties, kMaxBlocks);
        s.link(collision);
    }
};

struct ControllerGroup {
    Link nextController = kNoLink;
    std::uint16_t flags = 0;
    float frequency = 0, phase = 0, startTime = 0, stopTime = 0;
    Link target = kNoLink;

    template <class S>
    void syncController(S& s)
    {
        s.link(nextController);
        s.u16(flags);
        s.f32(frequency);
        s.f32(phase);
        s.f32(startTime);
        s.f32(stopTime);
        s.link(target);
    }
};

struct FloatKey {
    float time = 0, value = 0, forward = 0, backward = 0;
    std::array<float, 3> tbc{};
};
struct FloatKeyGroup {
    std::uint32_t type = 0; // interpolation; present only when there are keys
    std::vector<FloatKey> keys;

    template <class S>
    void sync(S& s)
    {
        s.count32(keys, 8);
        s.pool(Pool::FloatKeys, keys.size());
        if (keys.empty())
            return;
        s.u32(type);
        for (auto& k : keys) {
            s.f32(k.time);
            s.f32(k.value);
            if (type == 2) {
                s.f32(k.forward);
                s.f32(k.backward);
            } else if (type == 3) {
                s.f32s(k.tbc);
            }
        }
    }
};

// ---------------------------------------------------------------------------
// Scene blocks (read from the source mesh; NiNode, NiMaterialProperty,
// NiTexturingProperty, NiSourceTexture and NiStringExtraData also from the template)

struct NiNode : AVObject { // also RootCollisionNode
    std::vector<Link> children;
    std::vector<Link> effects;

    template <class S>
    void sync(S& s)
    {
        syncAVObject(s);
        s.links32(children, kMaxBlocks);
        s.links32(effects, kMaxBlocks);
    }
};

struct GeometryBase : AVObject {
    Link data = kNoLink;
    Link skinInstance = kNoLink;
    std::uint8_t hasShader = 0;
    std::string_view shaderName;
    Link shaderLink = kNoLink;

    template <class S>
    void sync(S& s)
    {
        syncAVObject(s);
        s.link(data);
        s.link(skinInstance);
        s.u8(hasShader);
        if (hasShader) {
            s.text(shaderName);
            s.link(shaderLink);
        }
    }
};
struct NiTriShape : GeometryBase {};
struct NiTriStrips : GeometryBase {};

struct TextureDesc {
    Link source = kNoLink;
    std::uint32_t clampMode = 0, filterMode = 0, uvSet = 0;
    std::uint8_t hasTransform = 0;
    std::array<float, 2> translation{}, tiling{};
    float rotation = 0;
    std::uint32_t transformType = 0;
    std::array<float, 2> centre{};
    std::array<std::uint16_t, 3> ps2{}; // version 4 only (PS2 L, PS2 K, one more)

    template <class S>
    void sync(S& s)
    {
        s.link(source);
        s.u32(clampMode);
        s.u32(filterMode);
        s.u32(uvSet);
        s.u8(hasTransform);
        if (hasTransform) {
            s.f32s(translation);
            s.f32s(tiling);
            s.f32(rotation);
            s.u32(transformType);
            s.f32s(centre);
        }
    }
};
struct TextureSlot {
    std::uint8_t has = 0; // written as 1 when set
    TextureDesc desc;
};
struct ShaderTexture {
    std::uint8_t has = 0;
    TextureDesc desc;
    std::uint32_t mapIndex = 0;
};

struct NiTexturingProperty : ObjectNet {
    enum Slot { Base, Dark, Detail, Gloss, Glow, BumpMap, Decal0, Decal1, Decal2, Decal3, SlotCount };
    std::uint16_t flags = 0; // version 4 only
    std::uint32_t applyMode = 0;
    std::uint32_t textureCount = 0;
    std::array<TextureSlot, SlotCount> slots{};
    float lumaScale = 0, lumaOffset = 0;
    std::array<float, 4> bumpMatrix{};
    std::vector<ShaderTexture> shaderTextures; // version 20 only

    // Slots present for a texture count: seven always, decal 1 to 3 from 8, 9, 10 on.
    static int slotsFor(std::uint32_t count) { return count >= 10 ? 10 : count >= 9 ? 9 : count >= 8 ? 8 : 7; }

    template <class S>
    void sync(S& s)
    {
        syncObjectNet(s);
        s.u32(applyMode);
        s.u32(textureCount);
        for (int i = 0; i < slotsFor(textureCount); ++i) {
            TextureSlot& slot = slots[static_cast<std::size_t>(i)];
            s.flag8(slot.has);
            if (slot.has) {
                slot.desc.sync(s);
                if (i == BumpMap) {
                    s.f32(lumaScale);
                    s.f32(lumaOffset);
                    s.f32s(bumpMatrix);
                }
            }
        }
        s.count32(shaderTextures, 1);
        for (auto& t : shaderTextures) {
            s.u8(t.has);
            if (t.has) {
                t.desc.sync(s);
                s.u32(t.mapIndex);
            }
        }
    }
};

struct NiSourceTexture : ObjectNet {
    std::uint8_t useExternal = 1;
    std::string_view fileName; // external file name, or the original file name
    Link pixelData = kNoLink;
    std::uint8_t internalByte = 0; // version 4, internal form only
    std::uint32_t pixelLayout = 0, useMipmaps = 0, alphaFormat = 0;
    std::uint8_t isStatic = 0;
    std::uint8_t directRender = 0;

    template <class S>
    void sync(S& s)
    {
        syncObjectNet(s);
        s.u8(useExternal);
        s.text(fileName);
        s.link(pixelData);
        s.u32(pixelLayout);
        s.u32(useMipmaps);
        s.u32(alphaFormat);
        s.u8(isStatic);
        s.u8(directRender);
    }
};

struct NiMaterialProperty : ObjectNet {
    std::uint16_t flags = 0; // version 4 only
    Vec3 ambient{}, diffuse{}, specular{}, emissive{};
    float glossiness = 0, alpha = 1;

    template <class S>
    void sync(S& s)
    {
        syncObjectNet(s);
        s.f32s(ambient);
        s.f32s(diffuse);
        s.f32s(specular);
        s.f32s(emissive);
        s.f32(glossiness);
        s.f32(alpha);
    }
};

struct NiAlphaProperty : ObjectNet {
    std::uint16_t flags = 0;
    std::uint8_t threshold = 0;
};
struct NiZBufferProperty : ObjectNet {
    std::uint16_t flags = 0;
    std::uint32_t depthFunction = 3;
};
struct NiSpecularProperty : ObjectNet {
    std::uint16_t flags = 0;
};
struct NiVertexColorProperty : ObjectNet {
    std::uint16_t flags = 0;
    std::uint32_t vertexMode = 0, lightingMode = 0;
};

// Written in the version-20 layout; the version-4 flags are not kept.
struct NiStencilProperty : ObjectNet {
    std::uint8_t enabled = 0;
    std::uint32_t function = 0, reference = 0, mask = 0, failAction = 0, zFailAction = 0, passAction = 0;
    std::uint32_t drawMode = 0; // 3: both faces drawn

    template <class S>
    void sync(S& s)
    {
        syncObjectNet(s);
        s.u8(enabled);
        s.u32(function);
        s.u32(reference);
        s.u32(mask);
        s.u32(failAction);
        s.u32(zFailAction);
        s.u32(passAction);
        s.u32(drawMode);
    }
};

struct NiTextureEffect : AVObject {
    Matrix33 projectionMatrix{};
    Vec3 projectionTranslation{};
    std::uint32_t filtering = 0, clamping = 0, textureType = 0, coordinateGeneration = 0;
    Link sourceTexture = kNoLink;
    std::uint8_t clippingPlane = 0;
    Vec3 planeNormal{};
    float planeConstant = 0;
    std::array<std::uint16_t, 3> ps2{};
};

struct NiStringExtraData {
    std::string_view name;     // empty for source blocks
    Link nextExtraData = kNoLink; // version 4 only, not written
    std::string_view text;

    template <class S>
    void sync(S& s)
    {
        s.text(name);
        s.text(text);
    }
};

// Source geometry: arrays are byte views into the source image.
struct NiTriShapeData {
    std::uint16_t numVertices = 0;
    bool hasVertices = false;
    ByteView vertices;   // N x 3 f32
    bool hasNormals = false;
    ByteView normals;    // N x 3 f32
    Vec3 centre{};
    float radius = 0;
    bool hasColors = false;
    ByteView colors;     // N x 4 f32
    std::uint16_t numUvSets = 0;
    bool hasUv = false;
    ByteView uvs;        // numUvSets x N x 2 f32, set after set
    std::uint16_t numTriangles = 0;
    std::uint32_t numTrianglePoints = 0;
    ByteView triangles;  // T x 3 u16
    std::uint16_t numMatchGroups = 0;
    ByteView matchGroups; // each group: u16 count, that many u16

    Vec3 vertex(std::size_t i) const { return {floatAt(vertices, 3 * i), floatAt(vertices, 3 * i + 1), floatAt(vertices, 3 * i + 2)}; }
    Vec3 normal(std::size_t i) const { return {floatAt(normals, 3 * i), floatAt(normals, 3 * i + 1), floatAt(normals, 3 * i + 2)}; }
    std::array<std::uint16_t, 3> triangle(std::size_t i) const
    {
        return {u16At(triangles, 3 * i), u16At(triangles, 3 * i + 1), u16At(triangles, 3 * i + 2)};
    }
};

// ---------------------------------------------------------------------------
// Template blocks (version-20 layout; the collision step copies and changes them)

struct BSXFlags {
    std::string_view name;
    std::uint32_t value = 0;

    template <class S>
    void sync(S& s)
    {
        s.text(name);
        s.u32(value);
    }
};

struct NiBinaryExtraData {
    std::string_view name;
    std::string_view data;

    template <class S>
    void sync(S& s)
    {
        s.text(name);
        s.text(data);
    }
};

struct PackedTriangle {
    std::array<std::uint16_t, 3> vertices{};
    std::uint16_t welding = 0;
    Vec3 normal{};
};
struct hkPackedNiTriStripsData {
    std::vector<PackedTriangle> triangles;
    std::vector<Vec3> vertices;

    template <class S>
    void sync(S& s)
    {
        s.count32(triangles, 20);
        for (auto& t : triangles) {
            s.u16s(t.vertices);
            s.u16(t.welding);
            s.f32s(t.normal);
        }
        s.count32(vertices, 12);
        for (auto& v : vertices)
            s.f32s(v);
    }
};

struct bhkPackedNiTriStripsShape {
    std::uint16_t numSubShapes = 0;
    std::vector<std::uint8_t> subShapes; // 12 bytes per sub-shape, passed through
    std::array<float, 9> unknownFloats{};
    float radius = 0;
    Vec3 scale{};
    Link data = kNoLink;

    template <class S>
    void sync(S& s)
    {
        s.u16(numSubShapes);
        s.bytes(subShapes, std::size_t{12} * numSubShapes);
        s.f32s(unknownFloats);
        s.f32(radius);
        s.f32s(scale);
        s.link(data);
    }
};

struct bhkNiTriStripsShape {
    std::uint32_t material = 0;
    float radius = 0;
    std::array<std::uint32_t, 6> unknownInts{};
    Vec3 scale{};
    std::uint32_t unknownInt2 = 0;
    std::vector<Link> stripsData;
    std::vector<std::uint32_t> dataLayers;

    template <class S>
    void sync(S& s)
    {
        s.u32(material);
        s.f32(radius);
        s.u32s(unknownInts);
        s.f32s(scale);
        s.u32(unknownInt2);
        s.links32(stripsData, kMaxBlocks);
        s.count32(dataLayers, 4);
        for (auto& d : dataLayers)
            s.u32(d);
    }
};

struct bhkMoppBvTreeShape {
    Link shape = kNoLink;
    std::uint32_t material = 0;
    std::array<std::uint8_t, 8> unknownBytes{};
    float unknownFloat = 0;
    std::vector<std::uint8_t> moppData;
    Vec3 origin{};
    float scale = 0;

    template <class S>
    void sync(S& s)
    {
        s.link(shape);
        s.u32(material);
        s.u8s(unknownBytes);
        s.f32(unknownFloat);
        s.count32(moppData, 1);
        s.bytes(moppData, moppData.size());
        s.f32s(origin);
        s.f32(scale);
    }
};

struct bhkRigidBodyT {
    Link shape = kNoLink;
    std::uint8_t layer = 0, collisionFilter = 0;
    std::uint16_t unknownShort = 0;
    std::array<std::uint32_t, 5> unknownInts1{};
    std::array<std::uint16_t, 4> unknownShorts1{};
    std::uint8_t layerCopy = 0, collisionFilterCopy = 0;
    std::array<std::uint16_t, 7> unknownShorts2{};
    std::array<float, 4> translation{}, rotation{}, linearVelocity{}, angularVelocity{};
    std::array<float, 12> inertia{};
    std::array<float, 4> centre{};
    float mass = 0, linearDamping = 0, angularDamping = 0, friction = 0, restitution = 0;
    float maxLinearVelocity = 0, maxAngularVelocity = 0, penetrationDepth = 0;
    std::uint8_t motionSystem = 0, deactivatorType = 0, solverDeactivation = 0, qualityType = 0;
    std::array<std::uint32_t, 3> unknownInts2{};
    std::vector<Link> constraints;
    std::uint32_t unknownInt3 = 0;

    template <class S>
    void sync(S& s)
    {
        s.link(shape);
        s.u8(layer);
        s.u8(collisionFilter);
        s.u16(unknownShort);
        s.u32s(unknownInts1);
        s.u16s(unknownShorts1);
        s.u8(layerCopy);
        s.u8(collisionFilterCopy);
        s.u16s(unknownShorts2);
        s.f32s(translation);
        s.f32s(rotation);
        s.f32s(linearVelocity);
        s.f32s(angularVelocity);
        s.f32s(inertia);
        s.f32s(centre);
        s.f32(mass);
        s.f32(linearDamping);
        s.f32(angularDamping);
        s.f32(friction);
        s.f32(restitution);
        s.f32(maxLinearVelocity);
        s.f32(maxAngularVelocity);
        s.f32(penetrationDepth);
        s.u8(motionSystem);
        s.u8(deactivatorType);
        s.u8(solverDeactivation);
        s.u8(qualityType);
        s.u32s(unknownInts2);
        s.links32(constraints, kMaxBlocks);
        s.u32(unknownInt3);
    }
};

struct bhkCollisionObject {
    Link target = kNoLink;
    std::uint16_t flags = 0;
    Link body = kNoLink;

    template <class S>
    void sync(S& s)
    {
        s.link(target);
        s.u16(flags);
        s.link(body);
    }
};

struct NiTriStripsData {
    std::string_view groupId;
    std::uint16_t numVertices = 0;
    std::uint16_t flags = 0;
    std::uint8_t hasVertices = 0;
    std::vector<float> vertices; // 3 per vertex
    std::uint8_t uvSetByte = 0;  // low six bits: number of UV sets
    std::uint8_t tangentSpace = 0; // mask 0x10: tangents and bitangents follow the normals
    std::uint8_t hasNormals = 0;
    std::vector<float> normals, tangents, bitangents; // 3 per vertex
    Vec3 centre{};
    float radius = 0;
    std::uint8_t hasColors = 0;
    std::vector<float> colors; // 4 per vertex
    std::vector<float> uvs;    // 2 per vertex per UV set
    std::uint16_t consistency = 0;
    Link additionalData = kNoLink;
    std::uint16_t numTriangles = 0;
    std::vector<std::uint16_t> stripLengths;
    std::uint8_t hasPoints = 0;
    std::vector<std::uint16_t> points; // every strip's points, strip after strip

    std::size_t uvSetCount() const { return uvSetByte & 63u; }
    std::size_t pointCount() const
    {
        std::size_t n = 0;
        for (auto l : stripLengths)
            n += l;
        return n;
    }

    template <class S>
    void sync(S& s)
    {
        s.text(groupId);
        s.u16(numVertices);
        s.u16(flags);
        s.u8(hasVertices);
        s.floats(vertices, hasVertices ? 3 * std::size_t{numVertices} : 0);
        s.u8(uvSetByte);
        s.u8(tangentSpace);
        s.u8(hasNormals);
        s.floats(normals, hasNormals ? 3 * std::size_t{numVertices} : 0);
        const bool tangentsPresent = hasNormals && (tangentSpace & 0x10);
        s.floats(tangents, tangentsPresent ? 3 * std::size_t{numVertices} : 0);
        s.floats(bitangents, tangentsPresent ? 3 * std::size_t{numVertices} : 0);
        s.f32s(centre);
        s.f32(radius);
        s.u8(hasColors);
        s.floats(colors, hasColors ? 4 * std::size_t{numVertices} : 0);
        s.floats(uvs, 2 * uvSetCount() * std::size_t{numVertices});
        s.u16(consistency);
        s.link(additionalData);
        s.u16(numTriangles);
        s.count16(stripLengths, 2);
        for (auto& l : stripLengths)
            s.u16(l);
        s.u8(hasPoints);
        s.shorts(points, hasPoints ? pointCount() : 0);
    }
};

struct NiControllerManager : ControllerGroup {
    std::uint8_t cumulative = 0;
    std::vector<Link> sequences;
    Link objectPalette = kNoLink;

    template <class S>
    void sync(S& s)
    {
        syncController(s);
        s.u8(cumulative);
        s.links32(sequences, kMaxBlocks);
        s.link(objectPalette);
    }
};

struct ControlledBlock {
    Link interpolator = kNoLink;
    Link controller = kNoLink;
    std::uint8_t priority = 0;
    Link stringPalette = kNoLink;
    // node name, property type, controller type, controller ID, interpolator ID
    std::array<std::uint32_t, 5> offsets{};
};
struct NiControllerSequence {
    std::string_view name;
    std::vector<ControlledBlock> controlledBlocks;
    std::uint32_t arrayGrowBy = 0;
    float weight = 0;
    Link textKeys = kNoLink;
    std::uint32_t cycleType = 0;
    float frequency = 0, startTime = 0, stopTime = 0;
    Link manager = kNoLink;
    std::string_view targetName;
    Link stringPalette = kNoLink;

    template <class S>
    void sync(S& s)
    {
        s.text(name);
        s.count32(controlledBlocks, 29);
        s.pool(Pool::ControlledBlocks, controlledBlocks.size());
        s.u32(arrayGrowBy);
        for (auto& b : controlledBlocks) {
            s.link(b.interpolator);
            s.link(b.controller);
            s.u8(b.priority);
            s.link(b.stringPalette);
            s.u32s(b.offsets);
        }
        s.f32(weight);
        s.link(textKeys);
        s.u32(cycleType);
        s.f32(frequency);
        s.f32(startTime);
        s.f32(stopTime);
        s.link(manager);
        s.text(targetName);
        s.link(stringPalette);
    }
};

struct NiMultiTargetTransformController : ControllerGroup {
    std::vector<Link> extraTargets; // u16 count; each renumbered, none kept in place

    template <class S>
    void sync(S& s)
    {
        syncController(s);
        s.linkArray16(extraTargets);
    }
};

struct NiTransformInterpolator {
    Vec3 translation{};
    std::array<float, 4> rotation{};
    float scale = 1;
    Link data = kNoLink;

    template <class S>
    void sync(S& s)
    {
        s.f32s(translation);
        s.f32s(rotation);
        s.f32(scale);
        s.link(data);
    }
};

struct NiStringPalette {
    std::string_view palette;
    std::uint32_t length = 0;

    template <class S>
    void sync(S& s)
    {
        s.text(palette);
        s.u32(length);
    }
};

struct QuatKey {
    float time = 0;
    std::array<float, 4> value{};
    std::array<float, 3> tbc{};
};
struct VectorKey {
    float time = 0;
    Vec3 value{}, forward{}, backward{};
    std::array<float, 3> tbc{};
};
struct NiTransformData {
    std::uint32_t rotationType = 0;
    std::vector<QuatKey> rotationKeys;         // every type but 4
    std::uint32_t xyzRotationCount = 0;         // the stored count for type 4
    std::array<FloatKeyGroup, 3> xyzRotations;  // type 4
    std::uint32_t translationType = 0;
    std::vector<VectorKey> translationKeys;
    FloatKeyGroup scales;

    template <class S>
    void sync(S& s)
    {
        // Rotation keys: the count, then (when keys exist) their type.
        std::uint32_t count = rotationType == 4 ? xyzRotationCount : static_cast<std::uint32_t>(rotationKeys.size());
        s.u32(count);
        if (count > 0)
            s.u32(rotationType);
        if (count > 0 && rotationType == 4) {
            xyzRotationCount = count;
            for (auto& g : xyzRotations)
                g.sync(s);
        } else {
            s.resize(rotationKeys, count, 20);
            s.pool(Pool::RotationKeys, rotationKeys.size());
            for (auto& k : rotationKeys) {
                s.f32(k.time);
                s.f32s(k.value);
                if (rotationType == 3)
                    s.f32s(k.tbc);
            }
        }
        s.count32(translationKeys, 16);
        s.pool(Pool::TranslationKeys, translationKeys.size());
        if (!translationKeys.empty())
            s.u32(translationType);
        for (auto& k : translationKeys) {
            s.f32(k.time);
            s.f32s(k.value);
            if (translationType == 2) {
                s.f32s(k.forward);
                s.f32s(k.backward);
            } else if (translationType == 3) {
                s.f32s(k.tbc);
            }
        }
        scales.sync(s);
    }
};

struct TextKey {
    float time = 0;
    std::string_view text;
};
struct NiTextKeyExtraData {
    std::string_view name;
    std::vector<TextKey> keys;

    template <class S>
    void sync(S& s)
    {
        s.text(name);
        s.count32(keys, 8);
        s.pool(Pool::TextKeys, keys.size());
        for (auto& k : keys) {
            s.f32(k.time);
            s.text(k.text);
        }
    }
};

struct PaletteObject {
    std::string_view name;
    Link object = kNoLink;
};
struct NiDefaultAVObjectPalette {
    std::uint32_t unknownInt = 0;
    std::vector<PaletteObject> objects;

    template <class S>
    void sync(S& s)
    {
        s.u32(unknownInt);
        s.count32(objects, 8);
        s.pool(Pool::PaletteObjects, objects.size());
        for (auto& o : objects) {
            s.text(o.name);
            s.link(o.object);
        }
    }
};

// ---------------------------------------------------------------------------
// Shapes built by the collision step (box list)

struct bhkBoxShape {
    std::uint32_t material = 0;
    float radius = 0;
    std::array<std::uint16_t, 4> unknownShorts{};
    Vec3 dimensions{};
    float lastFloat = 0;

    template <class S>
    void sync(S& s)
    {
        s.u32(material);
        s.f32(radius);
        s.u16s(unknownShorts);
        s.f32s(dimensions);
        s.f32(lastFloat);
    }
};

struct bhkConvexTransformShape {
    Link shape = kNoLink;
    std::uint8_t material = 0, unknownByte = 0;
    std::uint16_t unknownShort = 0;
    Vec3 unknownFloats{};
    std::array<float, 16> transform{};

    template <class S>
    void sync(S& s)
    {
        s.link(shape);
        s.u8(material);
        s.u8(unknownByte);
        s.u16(unknownShort);
        s.f32s(unknownFloats);
        s.f32s(transform);
    }
};

struct bhkListShape {
    std::vector<Link> subShapes;
    std::uint32_t material = 0;
    std::array<float, 6> unknownFloats{};
    std::vector<std::uint32_t> unknownInts;

    template <class S>
    void sync(S& s)
    {
        s.links32(subShapes, kMaxBlocks);
        s.u32(material);
        s.f32s(unknownFloats);
        s.count32(unknownInts, 4);
        for (auto& v : unknownInts)
            s.u32(v);
    }
};

// ---------------------------------------------------------------------------
// Block records and the block table

using BlockRecord = std::variant<NiNode, NiTriShape, NiTriStrips, NiTexturingProperty, NiSourceTexture,
    NiMaterialProperty, NiAlphaProperty, NiZBufferProperty, NiSpecularProperty, NiVertexColorProperty,
    NiStencilProperty, NiTextureEffect, NiStringExtraData, NiTriShapeData, BSXFlags, NiBinaryExtraData, hkPackedNiTriStripsData,
    bhkPackedNiTriStripsShape, bhkNiTriStripsShape, bhkMoppBvTreeShape, bhkRigidBodyT, bhkCollisionObject,
    NiTriStripsData, NiControllerManager, NiControllerSequence, NiMultiTargetTransformController,
    NiTransformInterpolator, NiStringPalette, NiTransformData, NiTextKeyExtraData, NiDefaultAVObjectPalette,
    bhkBoxShape, bhkConvexTransformShape, bhkListShape>;

// The NiObjectNET fields of a record, when its type has them.
inline ObjectNet* objectNetOf(BlockRecord& record)
{
    return std::visit([](auto& r) -> ObjectNet* {
        if constexpr (std::is_base_of_v<ObjectNet, std::decay_t<decltype(r)>>)
            return &r;
        else
            return nullptr;
    }, record);
}

struct BlockEntry {
    std::string_view typeName; // empty once dropped
    BlockRecord* record = nullptr; // none once dropped
};

class BlockTable {
public:
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    BlockEntry& operator[](std::size_t i) { return entries_[i]; }
    const BlockEntry& operator[](std::size_t i) const { return entries_[i]; }
    auto begin() { return entries_.begin(); }
    auto end() { return entries_.end(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }
    void clear() { entries_.clear(); }

    // Appends an entry; its number, or kNoLink when the table is full.
    Link append(std::string_view typeName, BlockRecord* record)
    {
        if (entries_.size() >= kMaxBlocks)
            return kNoLink;
        entries_.push_back({typeName, record});
        return static_cast<Link>(entries_.size() - 1);
    }

    // The record of entry `link` as type T, or null (no such entry, dropped, other type).
    template <class T>
    T* as(Link link) const
    {
        if (link >= entries_.size() || !entries_[link].record)
            return nullptr;
        return std::get_if<T>(entries_[link].record);
    }

    // The first entry whose type name equals `name` exactly (dropped entries have
    // an empty name and never match), or -1.
    int findType(std::string_view name) const
    {
        if (name.empty())
            return -1;
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].typeName == name)
                return static_cast<int>(i);
        return -1;
    }

    // Drops an entry: no record, empty type name.
    void drop(Link link)
    {
        if (link < entries_.size())
            entries_[link] = {};
    }

private:
    std::vector<BlockEntry> entries_;
};

// The order in which the writer numbers and writes blocks. Left unset, the
// writer numbers every entry that has a record in entry order.
struct OutputNumbering {
    bool set = false;
    std::vector<std::int32_t> remap; // per entry: output number, or -1 when dropped
    std::vector<Link> order;         // per output position: the entry written there

    // Output number of a link, or kNoLink when it names nothing written.
    Link renumber(Link link) const
    {
        if (link >= remap.size() || remap[link] < 0)
            return kNoLink;
        return static_cast<Link>(remap[link]);
    }
};

// Numbers every entry with a record in entry order.
inline OutputNumbering numberInEntryOrder(const BlockTable& blocks)
{
    OutputNumbering n;
    n.set = true;
    n.remap.assign(blocks.size(), -1);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (!blocks[i].record)
            continue;
        n.remap[i] = static_cast<std::int32_t>(n.order.size());
        n.order.push_back(static_cast<Link>(i));
    }
    return n;
}

} // namespace lw::meshshift
