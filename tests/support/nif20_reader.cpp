#include "support/nif20_reader.hpp"

#include <algorithm>
#include <bit>
#include <cctype>
#include <iterator>
#include <map>
#include <sstream>

namespace lw::test {
namespace {

// Reads fields and records them in the current block under their names.
struct In {
    const std::vector<std::uint8_t>& b;
    std::size_t pos = 0;
    Nif20Block* blk = nullptr;

    std::uint32_t raw(std::size_t n)
    {
        if (n > b.size() - pos)
            throw std::runtime_error("file ends at " + std::to_string(b.size()) + ", " + std::to_string(n) + " bytes wanted at " +
                        std::to_string(pos));
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < n && n <= 4; ++i)
            v |= std::uint32_t{b[pos + i]} << (8 * i);
        pos += n;
        return v;
    }
    std::string chars(std::size_t n)
    {
        raw(n);
        return std::string(reinterpret_cast<const char*>(b.data()) + pos - n, n);
    }
    // n values of a kind (b h i: u8 u16 u32, f: f32) under one key, present even when n is 0.
    void values(const std::string& key, std::size_t n, char kind)
    {
        const std::size_t size = kind == 'b' ? 1 : kind == 'h' ? 2 : 4;
        auto& out = blk->num[key];
        for (std::size_t i = 0; i < n; ++i)
            out.push_back(kind == 'f' ? static_cast<double>(std::bit_cast<float>(raw(4))) : raw(size));
    }
};

// The value a count term stands for: a number, or the last value read under
// a field's name (0 when none), compared with a number when the term holds
// "=" (equal), "!" (not equal), ">" (greater) or "&" (any of the bits).
std::size_t term(const Nif20Block& blk, const std::string& t)
{
    if (std::isdigit(static_cast<unsigned char>(t[0])))
        return std::stoul(t);
    const std::size_t op = std::min(t.find_first_of("=!>&"), t.size());
    const auto it = blk.num.find(t.substr(0, op));
    const auto v = static_cast<std::size_t>(it == blk.num.end() || it->second.empty() ? 0 : it->second.back());
    if (op == t.size())
        return v;
    const std::size_t n = std::stoul(t.substr(op + 1));
    return t[op] == '=' ? v == n : t[op] == '!' ? v != n : t[op] == '>' ? v > n : (v & n) != 0;
}

std::vector<std::string> split(const std::string& text)
{
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// Where the repeat opened just before `at` ends (the index of its "]").
std::size_t closing(const std::vector<std::string>& items, std::size_t at)
{
    for (int depth = 1;; ++at)
        if ((depth += items[at][0] == '[' ? 1 : items[at] == "]" ? -1 : 0) == 0)
            return at;
}

// A texture slot's fields, each name beginning with `p`.
std::string slot(const std::string& p, const std::string& extra = "")
{
    return "b:" + p + ".has [" + p + ".has i:" + p + ".source i:" + p + ".clampMode i:" + p + ".filterMode i:" + p +
           ".uvSet b:" + p + ".hasTransform [" + p + ".hasTransform f2:" + p + ".translation f2:" + p + ".tiling f:" +
           p + ".rotation i:" + p + ".transformType f2:" + p + ".centre ] " + extra + " ] ";
}

// A key group of `width` floats per key, with the interpolation's extras.
std::string keys(const std::string& p, const std::string& width)
{
    return "i:" + p + ".count i*" + p + ".count>0:" + p + ".type [" + p + ".count f:" + p + ".time f" + width + ":" +
           p + ".value f" + width + "*" + p + ".type=2:" + p + ".forward f" + width + "*" + p + ".type=2:" + p +
           ".backward f3*" + p + ".type=3:" + p + ".tbc ] ";
}

const std::map<std::string, std::string> kLayouts = { // by block type; o a c are groups of fields
    {"o", "s:name L:extraData i:controller"},
    {"a", "o h:flags f3:translation f9:rotation f:scale L:properties i:collision"},
    {"c", "i:nextController h:controllerFlags f:frequency f:phase f:startTime f:stopTime i:target"},
    {"NiNode", "a L:children L:effects"},
    {"RootCollisionNode", "a L:children L:effects"},
    {"NiSourceTexture", "o b:useExternal s:fileName i:pixelData i:pixelLayout i:useMipmaps i:alphaFormat b:isStatic "
                        "b:directRender"},
    {"NiZBufferProperty", "o h:flags i:depthFunction"},
    {"NiAlphaProperty", "o h:flags b:threshold"},
    {"NiStencilProperty", "o b:enabled i:function i:reference i:mask i:failAction i:zFailAction i:passAction "
                          "i:drawMode"},
    {"NiMaterialProperty", "o f3:ambient f3:diffuse f3:specular f3:emissive f:glossiness f:alpha"},
    {"NiTexturingProperty", "o i:applyMode i:textureCount " + slot("base") + slot("dark") + slot("detail") +
                                slot("gloss") + slot("glow") +
                                slot("bump", "f:bump.lumaScale f:bump.lumaOffset f4:bump.matrix") + slot("decal0") +
                                "[textureCount>7 " + slot("decal1") + "] [textureCount>8 " + slot("decal2") +
                                "] [textureCount>9 " + slot("decal3") + "] i:shaderTextures [shaderTextures " +
                                slot("shader#", "i:shader#.mapIndex") + "]"},
    {"BSXFlags", "s:name i:value"},
    {"NiStringExtraData", "s:name s:string"},
    {"NiTextKeyExtraData", "s:name i:keys.count [keys.count f:keys.time s:key# ]"},
    {"bhkCollisionObject", "i:target h:flags i:body"},
    {"bhkRigidBodyT", "i:shape b:layer b:collisionFilter h:unknownShort i5:unknownInts1 h4:unknownShorts1 "
                      "b:layerCopy b:collisionFilterCopy h7:unknownShorts2 f4:translation f4:rotation "
                      "f4:linearVelocity f4:angularVelocity f12:inertia f4:centre f:mass f:linearDamping "
                      "f:angularDamping f:friction f:restitution f:maxLinearVelocity f:maxAngularVelocity "
                      "f:penetrationDepth b:motionSystem b:deactivatorType b:solverDeactivation b:qualityType "
                      "i3:unknownInts2 L:constraints i:unknownInt3"},
    {"bhkBoxShape", "i:material f:radius h4:unknownShorts f3:dimensions f:lastFloat"},
    {"bhkConvexTransformShape", "i:shape b:material b:unknownByte h:unknownShort f3:unknownFloats f16:transform"},
    {"bhkPackedNiTriStripsShape", "h:numSubShapes b12*numSubShapes:subShapes f9:unknownFloats f:radius f3:scale "
                                  "i:data"},
    {"hkPackedNiTriStripsData", "i:numTriangles [numTriangles h3:triangles h:welding f3:normals ] i:numVertices "
                                "f3*numVertices:vertices"},
    {"NiTriShape", "a i:data i:skinInstance b:hasShader s*hasShader:shaderName i*hasShader:shaderLink"},
    {"NiTriShapeData", "i:groupId h:numVertices b:keepFlags b:compressFlags b:hasVertices f3*numVertices*hasVertices:"
                       "vertices b:numUvSets b:tangentSpace b:hasNormals f3*numVertices*hasNormals:normals f3:centre "
                       "f:radius b:hasColors f4*numVertices*hasColors:colors f2*numUvSets*numVertices:uvs "
                       "h:consistency i:additionalData h:numTriangles i:numTrianglePoints b:hasTriangles "
                       "h3*numTriangles*hasTriangles:triangles h:numMatchGroups [numMatchGroups h:matchGroup#.count "
                       "h*matchGroup#.count:matchGroup# ]"},
    {"NiTriStripsData", "s:groupId h:numVertices h:flags b:hasVertices f3*numVertices*hasVertices:vertices "
                        "b:uvSetByte b:tangentSpace b:hasNormals f3*numVertices*hasNormals:normals "
                        "f6*numVertices*hasNormals*tangentSpace&16:tangents f3:centre f:radius b:hasColors "
                        "f4*numVertices*hasColors:colors f2*uvSetByte*numVertices:uvs h:consistency "
                        "i:additionalData h:numTriangles h:numStrips [numStrips h:stripLength# ] b:hasPoints "
                        "[numStrips h*stripLength#*hasPoints:points ]"},
    {"bhkListShape", "L:subShapes i:material f6:unknownFloats i:unknownInts.count i*unknownInts.count:unknownInts"},
    {"bhkMoppBvTreeShape", "i:shape i:material b8:unknownBytes f:unknownFloat i:moppDataSize b*moppDataSize:moppData "
                           "f3:origin f:scale"},
    {"bhkNiTriStripsShape", "i:material f:radius i6:unknownInts f3:scale i:unknownInt2 L:stripsData "
                            "i:dataLayers.count i*dataLayers.count:dataLayers"},
    {"NiMultiTargetTransformController", "c h:extraTargets.count i*extraTargets.count:extraTargets"},
    {"NiControllerManager", "c b:cumulative L:sequences i:objectPalette"},
    {"NiControllerSequence", "s:name i:controlledBlocks.count i:arrayGrowBy [controlledBlocks.count "
                             "i:block#.interpolator i:block#.controller b:block#.priority i:block#.stringPalette "
                             "i5:block#.offsets ] f:weight i:textKeys i:cycleType f:frequency f:startTime "
                             "f:stopTime i:manager s:targetName i:stringPalette"},
    {"NiTransformInterpolator", "f3:translation f4:rotation f:scale i:data"},
    {"NiTransformData", "i:rotationKeys.count i*rotationKeys.count>0:rotationType [rotationType=4 " +
                            keys("xRotation", "") + keys("yRotation", "") + keys("zRotation", "") +
                            "] [rotationKeys.count*rotationType!4 f:rotationKeys.time f4:rotationKeys.value "
                            "f3*rotationType=3:rotationKeys.tbc ] " +
                            keys("translationKeys", "3") + keys("scales", "")},
    {"NiDefaultAVObjectPalette", "i:unknownInt i:objects.count [objects.count s:object#.name i:objects ]"},
    {"NiStringPalette", "s:palette i:length"},
};

// Reads fields by a layout: space-separated items, each a kind, a count and a
// name. Kinds: b h i f (u8, u16, u32, f32), s (sized text), L (u32 count and
// links), o a c (the NiObjectNET, NiAVObject and controller groups), [ (the
// items up to the matching "]", repeated; "#" in them is the repeat's index).
// The count (1 when left out) is a product of "*"-separated terms (see term):
// "f3*numVertices*hasVertices" is 3 floats per vertex when there are vertices.
void read(In& in, const std::vector<std::string>& items)
{
    for (std::size_t at = 0; at < items.size(); ++at) {
        const std::string& item = items[at];
        const std::size_t colon = std::min(item.find(':'), item.size());
        std::size_t n = 1;
        for (std::size_t t = 1; t < colon;) {
            const std::size_t next = std::min(item.find('*', t), colon);
            if (next > t)
                n *= term(*in.blk, item.substr(t, next - t));
            t = next + 1;
        }
        const std::string name = item.substr(std::min(colon + 1, item.size()));
        if (item[0] == '[') {
            const std::size_t end = closing(items, at + 1);
            for (std::size_t i = 0; i < n; ++i) {
                std::vector<std::string> body(items.begin() + static_cast<std::ptrdiff_t>(at + 1),
                                              items.begin() + static_cast<std::ptrdiff_t>(end));
                for (std::string& b : body)
                    for (std::size_t h = b.find('#'); h != std::string::npos; h = b.find('#'))
                        b.replace(h, 1, std::to_string(i));
                read(in, body);
            }
            at = end;
        } else if (item[0] == 'o' || item[0] == 'a' || item[0] == 'c') {
            read(in, split(kLayouts.at(item)));
        } else if (item[0] == 's') {
            for (std::size_t i = 0; i < n; ++i)
                in.blk->text[name] = in.chars(in.raw(4));
        } else if (item[0] == 'L') {
            in.values(name + ".count", 1, 'i');
            in.values(name, term(*in.blk, name + ".count"), 'i');
        } else {
            in.values(name, n, item[0]);
        }
    }
}

} // namespace

std::vector<const Nif20Block*> Nif20File::ofType(const std::string& type) const
{
    std::vector<const Nif20Block*> out;
    for (const auto& b : blocks)
        if (b.type == type)
            out.push_back(&b);
    return out;
}

const Nif20Block& Nif20File::first(const std::string& type) const
{
    const auto all = ofType(type);
    if (all.empty())
        throw std::out_of_range("no block of type " + type);
    return *all.front();
}

Nif20File readNif20(const std::vector<std::uint8_t>& bytes)
{
    Nif20File f;
    In in{bytes, 0, nullptr};
    try {
        if (in.chars(39) != "Gamebryo File Format, Version 20.0.0.5\n" || in.raw(4) != 0x14000005)
            throw std::runtime_error("not a version 20.0.0.5 header");
        in.raw(5); // endian, user version
        const std::uint32_t blocks = in.raw(4);
        in.raw(4); // user version 2
        for (int text = 0; text < 3; ++text)
            in.raw(in.raw(1)); // creator, export info
        std::vector<std::string> types(in.raw(2));
        for (std::string& t : types)
            t = in.chars(in.raw(4));
        std::vector<std::uint32_t> typeIndices;
        for (std::uint32_t i = 0; i < blocks; ++i)
            typeIndices.push_back(in.raw(2));
        in.raw(4);
        for (const std::uint32_t t : typeIndices) {
            if (t >= types.size())
                throw std::runtime_error("block " + std::to_string(f.blocks.size()) + " has type index " + std::to_string(t));
            Nif20Block& b = f.blocks.emplace_back();
            b.type = types[t];
            b.offset = in.pos;
            in.blk = &b;
            const auto layout = kLayouts.find(b.type);
            if (layout == kLayouts.end() || b.type.size() == 1)
                throw std::runtime_error("a block of type " + b.type + ", which this reader does not know");
            read(in, split(layout->second));
            b.size = in.pos - b.offset;
        }
        in.raw(4 * std::size_t{in.raw(4)}); // the roots
        f.complete = true;
    } catch (const std::runtime_error& e) {
        f.error = e.what();
    }
    f.bytesLeft = bytes.size() - in.pos;
    return f;
}

} // namespace lw::test
