#include "support/nif20_reader.hpp"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <map>

namespace lw::test {
namespace {

struct Short : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads fields and records them in the current block under their names.
class In {
public:
    In(const std::vector<std::uint8_t>& b) : b_(b) {}

    std::size_t pos = 0;
    Nif20Block* blk = nullptr;

    std::size_t left() const { return b_.size() - pos; }
    void need(std::size_t n) const
    {
        if (n > left())
            throw Short("file ends at " + std::to_string(b_.size()) + ", " + std::to_string(n) + " bytes wanted at " +
                        std::to_string(pos));
    }
    std::uint32_t raw(int n)
    {
        need(static_cast<std::size_t>(n));
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v |= static_cast<std::uint32_t>(b_[pos + static_cast<std::size_t>(i)]) << (8 * i);
        pos += static_cast<std::size_t>(n);
        return v;
    }
    std::string chars(std::size_t n)
    {
        need(n);
        std::string s(reinterpret_cast<const char*>(b_.data() + pos), n);
        pos += n;
        return s;
    }

    void put(const std::string& key, double v) { blk->num[key].push_back(v); }
    std::uint32_t u8(const std::string& key) { return number(key, 1); }
    std::uint32_t u16(const std::string& key) { return number(key, 2); }
    std::uint32_t u32(const std::string& key) { return number(key, 4); }
    float f32(const std::string& key)
    {
        const float v = std::bit_cast<float>(raw(4));
        put(key, v);
        return v;
    }
    // n values under one key (present even when n is 0).
    void f32n(const std::string& key, std::size_t n) { many(key, n, 0); }
    void u8n(const std::string& key, std::size_t n) { many(key, n, 1); }
    void u16n(const std::string& key, std::size_t n) { many(key, n, 2); }
    void u32n(const std::string& key, std::size_t n) { many(key, n, 4); }
    void str(const std::string& key)
    {
        const std::uint32_t n = raw(4);
        blk->text[key] = chars(n);
    }
    void linksU32(const std::string& key)
    {
        const std::uint32_t n = raw(4);
        put(key + ".count", n);
        need(std::size_t{n} * 4);
        u32n(key, n);
    }

private:
    std::uint32_t number(const std::string& key, int bytes)
    {
        const std::uint32_t v = raw(bytes);
        put(key, v);
        return v;
    }
    void many(const std::string& key, std::size_t n, int bytes)
    {
        need(n * static_cast<std::size_t>(bytes == 0 ? 4 : bytes));
        blk->num[key];
        for (std::size_t i = 0; i < n; ++i)
            bytes == 0 ? static_cast<void>(f32(key)) : static_cast<void>(number(key, bytes));
    }

    const std::vector<std::uint8_t>& b_;
};

void objectNet(In& in)
{
    in.str("name");
    in.linksU32("extraData");
    in.u32("controller");
}

void avObject(In& in)
{
    objectNet(in);
    in.u16("flags");
    in.f32n("translation", 3);
    in.f32n("rotation", 9);
    in.f32("scale");
    in.linksU32("properties");
    in.u32("collision");
}

void controller(In& in)
{
    in.u32("nextController");
    in.u16("controllerFlags");
    in.f32("frequency");
    in.f32("phase");
    in.f32("startTime");
    in.f32("stopTime");
    in.u32("target");
}

void textureDesc(In& in, const std::string& p)
{
    in.u32(p + ".source");
    in.u32(p + ".clampMode");
    in.u32(p + ".filterMode");
    in.u32(p + ".uvSet");
    if (in.u8(p + ".hasTransform")) {
        in.f32n(p + ".translation", 2);
        in.f32n(p + ".tiling", 2);
        in.f32(p + ".rotation");
        in.u32(p + ".transformType");
        in.f32n(p + ".centre", 2);
    }
}

// A key group of values of `width` floats: "<p>.count", "<typeKey>" when there
// are keys, then per key "<p>.time", ".value" and the interpolation's extras.
void keys(In& in, const std::string& p, std::size_t width, const std::string& typeKey)
{
    const auto n = in.u32(p + ".count");
    const auto type = n == 0 ? 0 : in.u32(typeKey);
    for (std::uint32_t i = 0; i < n; ++i) {
        in.f32(p + ".time");
        in.f32n(p + ".value", width);
        if (type == 2) {
            in.f32n(p + ".forward", width);
            in.f32n(p + ".backward", width);
        } else if (type == 3) {
            in.f32n(p + ".tbc", 3);
        }
    }
}
void floatKeys(In& in, const std::string& p) { keys(in, p, 1, p + ".type"); }

// Layouts, one per type: space-separated fields, each a kind, a count and a
// name. Kinds: b h i f (u8, u16, u32, f32), s (sized text), L (u32 count and
// links); o, a and c stand for the NiObjectNET, NiAVObject and controller
// groups. The count (1 when left out) is a number times the values of fields
// read before, "*"-separated: "f3*numVertices*hasVertices" is 3 floats per
// vertex when there are vertices.
const std::map<std::string, std::string> kFixed = {
    {"NiNode", "a L:children L:effects"},
    {"RootCollisionNode", "a L:children L:effects"},
    {"NiSourceTexture", "o b:useExternal s:fileName i:pixelData i:pixelLayout i:useMipmaps i:alphaFormat b:isStatic "
                        "b:directRender"},
    {"NiZBufferProperty", "o h:flags i:depthFunction"},
    {"NiAlphaProperty", "o h:flags b:threshold"},
    {"NiStencilProperty", "o b:enabled i:function i:reference i:mask i:failAction i:zFailAction i:passAction "
                          "i:drawMode"},
    {"NiMaterialProperty", "o f3:ambient f3:diffuse f3:specular f3:emissive f:glossiness f:alpha"},
    {"BSXFlags", "s:name i:value"},
    {"NiStringExtraData", "s:name s:string"},
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
    {"NiTriShape", "a i:data i:skinInstance b:hasShader s*hasShader:shaderName i*hasShader:shaderLink"},
    {"NiTriShapeData", "i:groupId h:numVertices b:keepFlags b:compressFlags b:hasVertices f3*numVertices*hasVertices:"
                       "vertices b:numUvSets b:tangentSpace b:hasNormals f3*numVertices*hasNormals:normals f3:centre "
                       "f:radius b:hasColors f4*numVertices*hasColors:colors f2*numUvSets*numVertices:uvs "
                       "h:consistency i:additionalData h:numTriangles i:numTrianglePoints b:hasTriangles "
                       "h3*numTriangles*hasTriangles:triangles h:numMatchGroups"}, // then code
    {"bhkListShape", "L:subShapes i:material f6:unknownFloats i:unknownInts.count i*unknownInts.count:unknownInts"},
    {"bhkMoppBvTreeShape", "i:shape i:material b8:unknownBytes f:unknownFloat i:moppDataSize b*moppDataSize:moppData "
                           "f3:origin f:scale"},
    {"bhkNiTriStripsShape", "i:material f:radius i6:unknownInts f3:scale i:unknownInt2 L:stripsData "
                            "i:dataLayers.count i*dataLayers.count:dataLayers"},
    {"NiMultiTargetTransformController", "c h:extraTargets.count i*extraTargets.count:extraTargets"},
    {"NiControllerManager", "c b:cumulative L:sequences i:objectPalette"},
    {"NiTransformInterpolator", "f3:translation f4:rotation f:scale i:data"},
    {"NiStringPalette", "s:palette i:length"},
};

void fixed(In& in, const std::string& fields)
{
    std::size_t at = 0;
    while (at < fields.size()) {
        std::size_t end = fields.find(' ', at);
        if (end == std::string::npos)
            end = fields.size();
        const std::string field = fields.substr(at, end - at);
        at = end + 1;
        const std::size_t colon = std::min(field.find(':'), field.size());
        const char kind = field[0];
        const std::string name = colon == field.size() ? "" : field.substr(colon + 1);
        std::size_t n = 1;
        for (std::size_t t = 1; t < colon;) {
            std::size_t next = std::min(field.find('*', t), colon);
            const std::string term = field.substr(t, next - t);
            if (!term.empty())
                n *= std::isdigit(static_cast<unsigned char>(term[0])) ? std::stoul(term) : in.blk->u(term);
            t = next + 1;
        }
        switch (kind) {
        case 'o': objectNet(in); break;
        case 'a': avObject(in); break;
        case 'c': controller(in); break;
        case 's':
            for (std::size_t i = 0; i < n; ++i)
                in.str(name);
            break;
        case 'L': in.linksU32(name); break;
        case 'b': in.u8n(name, n); break;
        case 'h': in.u16n(name, n); break;
        case 'i': in.u32n(name, n); break;
        default: in.f32n(name, n); break;
        }
    }
}

// Reads one block of `type`; false when the type is not one this reader knows.
bool readBlock(In& in, const std::string& type)
{
    if (auto it = kFixed.find(type); it != kFixed.end())
        fixed(in, it->second);
    if (type == "NiTexturingProperty") {
        objectNet(in);
        in.u32("applyMode");
        const auto count = in.u32("textureCount");
        static const char* const slots[] = {"base", "dark", "detail", "gloss", "glow", "bump", "decal0", "decal1", "decal2", "decal3"};
        const int present = count >= 10 ? 10 : count >= 9 ? 9 : count >= 8 ? 8 : 7;
        for (int i = 0; i < present; ++i) {
            const std::string p = slots[i];
            if (in.u8(p + ".has")) {
                textureDesc(in, p);
                if (i == 5) {
                    in.f32("bump.lumaScale");
                    in.f32("bump.lumaOffset");
                    in.f32n("bump.matrix", 4);
                }
            }
        }
        const auto shaders = in.u32("shaderTextures");
        for (std::uint32_t i = 0; i < shaders; ++i) {
            const std::string p = "shader" + std::to_string(i);
            if (in.u8(p + ".has")) {
                textureDesc(in, p);
                in.u32(p + ".mapIndex");
            }
        }
    } else if (type == "NiTriShapeData") {
        for (std::uint32_t g = 0; g < in.blk->u("numMatchGroups"); ++g)
            in.u16n("matchGroup" + std::to_string(g), in.raw(2));
    } else if (type == "NiTriStripsData") {
        fixed(in, "s:groupId h:numVertices h:flags b:hasVertices f3*numVertices*hasVertices:vertices b:uvSetByte "
                  "b:tangentSpace b:hasNormals f3*numVertices*hasNormals:normals");
        const bool tangents = in.blk->u("hasNormals") && (in.blk->u("tangentSpace") & 0x10);
        in.f32n("tangents", tangents ? 3 * in.blk->u("numVertices") : 0);
        in.f32n("bitangents", tangents ? 3 * in.blk->u("numVertices") : 0);
        fixed(in, "f3:centre f:radius b:hasColors f4*numVertices*hasColors:colors f2*uvSetByte*numVertices:uvs "
                  "h:consistency i:additionalData h:numTriangles h:numStrips h*numStrips:stripLengths");
        std::size_t points = 0;
        for (double l : in.blk->all("stripLengths"))
            points += static_cast<std::size_t>(l);
        if (in.u8("hasPoints"))
            in.u16n("points", points);
    } else if (type == "hkPackedNiTriStripsData") {
        const auto t = in.u32("numTriangles");
        for (std::uint32_t i = 0; i < t; ++i) {
            in.u16n("triangles", 3);
            in.u16("welding");
            in.f32n("normals", 3);
        }
        in.f32n("vertices", std::size_t{3} * in.u32("numVertices"));
    } else if (type == "NiControllerSequence") {
        in.str("name");
        const auto n = in.u32("controlledBlocks.count");
        in.u32("arrayGrowBy");
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::string p = "block" + std::to_string(i);
            in.u32(p + ".interpolator");
            in.u32(p + ".controller");
            in.u8(p + ".priority");
            in.u32(p + ".stringPalette");
            in.u32n(p + ".offsets", 5);
        }
        in.f32("weight");
        in.u32("textKeys");
        in.u32("cycleType");
        in.f32("frequency");
        in.f32("startTime");
        in.f32("stopTime");
        in.u32("manager");
        in.str("targetName");
        in.u32("stringPalette");
    } else if (type == "NiTransformData") {
        const auto rotations = in.u32("rotationKeys.count");
        if (rotations > 0) {
            const auto type4 = in.u32("rotationType");
            if (type4 == 4) {
                floatKeys(in, "xRotation");
                floatKeys(in, "yRotation");
                floatKeys(in, "zRotation");
            } else {
                for (std::uint32_t i = 0; i < rotations; ++i) {
                    in.f32("rotationKeys.time");
                    in.f32n("rotationKeys.value", 4);
                    if (type4 == 3)
                        in.f32n("rotationKeys.tbc", 3);
                }
            }
        }
        keys(in, "translationKeys", 3, "translationType");
        floatKeys(in, "scales");
    } else if (type == "NiTextKeyExtraData") {
        in.str("name");
        const auto n = in.u32("keys.count");
        for (std::uint32_t i = 0; i < n; ++i) {
            in.f32("keys.time");
            in.str("key" + std::to_string(i));
        }
    } else if (type == "NiDefaultAVObjectPalette") {
        in.u32("unknownInt");
        const auto n = in.u32("objects.count");
        for (std::uint32_t i = 0; i < n; ++i) {
            in.str("object" + std::to_string(i) + ".name");
            in.u32("objects");
        }
    } else {
        return kFixed.count(type) > 0;
    }
    return true;
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
    for (const auto& b : blocks)
        if (b.type == type)
            return b;
    throw std::out_of_range("no block of type " + type);
}

Nif20File readNif20(const std::vector<std::uint8_t>& bytes)
{
    Nif20File f;
    In in(bytes);
    Nif20Block header;
    in.blk = &header;
    try {
        f.headerLine = in.chars(38);
        if (in.raw(1) != 0x0A)
            throw Short("no line feed after the header line");
        f.version = in.raw(4);
        f.endian = static_cast<std::uint8_t>(in.raw(1));
        f.userVersion = in.raw(4);
        f.numBlocks = in.raw(4);
        f.userVersion2 = in.raw(4);
        for (std::string* t : {&f.creator, &f.exportInfo1, &f.exportInfo2}) {
            const auto n = in.raw(1);
            f.headerTextLengths.push_back(static_cast<std::uint8_t>(n));
            *t = in.chars(n);
            if (!t->empty() && t->back() == '\0')
                t->pop_back();
        }
        const auto types = in.raw(2);
        for (std::uint32_t i = 0; i < types; ++i)
            f.blockTypes.push_back(in.chars(in.raw(4)));
        for (std::uint32_t i = 0; i < f.numBlocks; ++i)
            f.typeIndices.push_back(static_cast<std::uint16_t>(in.raw(2)));
        f.unknown = in.raw(4);
        for (std::uint32_t i = 0; i < f.numBlocks; ++i) {
            if (f.typeIndices[i] >= f.blockTypes.size())
                throw Short("block " + std::to_string(i) + " has type index " + std::to_string(f.typeIndices[i]));
            f.blocks.push_back({});
            Nif20Block& b = f.blocks.back();
            b.type = f.blockTypes[f.typeIndices[i]];
            b.offset = in.pos;
            in.blk = &b;
            if (!readBlock(in, b.type))
                throw Short("block " + std::to_string(i) + " has type " + b.type + ", which this reader does not know");
            b.size = in.pos - b.offset;
        }
        const auto roots = in.raw(4);
        for (std::uint32_t i = 0; i < roots; ++i)
            f.roots.push_back(in.raw(4));
        f.complete = true;
    } catch (const Short& e) {
        f.error = e.what();
    }
    f.bytesLeft = in.left();
    return f;
}

} // namespace lw::test
