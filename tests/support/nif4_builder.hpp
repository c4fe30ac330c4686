#pragma once
// Builds Morrowind meshes (NIF 4.0.0.2) for tests, fuzz seeds and demo data.
// Add blocks in file order; each add returns the new block's number, which
// later blocks use as a link (links may also be set after adding, through
// node() and triShape()). Fields not set keep plain defaults (identity
// rotation, scale 1, no links). build() gives the file: header line, version,
// block count, every block with its type name, and the roots (block 0).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace lw::test {

// The fields of each block type that tests set.
namespace nif4 {

inline constexpr std::uint32_t kNoneLink = 0xFFFFFFFFu;
using Vec3 = std::array<float, 3>;

struct AVObject {
    std::string name;
    std::uint32_t extraData = kNoneLink, controller = kNoneLink;
    std::uint16_t flags = 0;
    Vec3 translation{0, 0, 0};
    std::array<float, 9> rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
    float scale = 1.0f;
    std::vector<std::uint32_t> properties;
};
struct Node : AVObject {
    std::vector<std::uint32_t> children, effects;
    bool rootCollisionNode = false; // written as "RootCollisionNode"
};
struct TriShape : AVObject {
    std::uint32_t data = kNoneLink, skin = kNoneLink;
};
struct TextureDesc {
    std::uint32_t source = kNoneLink, clampMode = 3, filterMode = 2, uvSet = 0;
};
struct TexturingProperty {
    std::string name;
    std::uint32_t applyMode = 2;
    std::uint32_t textureCount = 7; // 8, 9, 10 add decal 1, 2, 3
    // base, dark, detail, gloss, glow, bump map, decal 0 .. decal 3
    std::array<std::optional<TextureDesc>, 10> slots{};
    float lumaScale = 1, lumaOffset = 0;
    std::array<float, 4> bumpMatrix{1, 0, 0, 1};
};
struct SourceTexture {
    std::string name;
    bool external = true;
    std::string fileName;                // external form
    std::uint32_t pixelData = kNoneLink;     // internal form
    std::uint32_t pixelLayout = 5, useMipmaps = 2, alphaFormat = 3;
    std::uint8_t isStatic = 1;
};
struct MaterialProperty {
    std::string name;
    Vec3 ambient{1, 1, 1}, diffuse{1, 1, 1}, specular{0, 0, 0}, emissive{0, 0, 0};
    float glossiness = 10, alpha = 1;
};
struct AlphaProperty {
    std::string name;
    std::uint16_t flags = 0x00ED;
    std::uint8_t threshold = 0;
};
struct TriShapeData {
    std::vector<Vec3> vertices;   // has vertices when not empty
    std::vector<Vec3> normals;    // has normals when not empty
    Vec3 centre{0, 0, 0};
    float radius = 0;
    std::vector<std::vector<std::array<float, 2>>> uvSets; // has UV when not empty
    std::vector<std::array<std::uint16_t, 3>> triangles;
    // Counts that disagree with the arrays (nothing: derived from them).
    std::optional<std::uint16_t> numVertices;
    std::optional<std::uint32_t> numTrianglePoints;
};
} // namespace nif4

class Nif4Builder {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    using Vec3 = std::array<float, 3>;

    using AVObject = nif4::AVObject;
    using Node = nif4::Node;
    using TriShape = nif4::TriShape;
    using TextureDesc = nif4::TextureDesc;
    using TexturingProperty = nif4::TexturingProperty;
    using SourceTexture = nif4::SourceTexture;
    using MaterialProperty = nif4::MaterialProperty;
    using AlphaProperty = nif4::AlphaProperty;
    using TriShapeData = nif4::TriShapeData;
    using Block = std::variant<Node, TriShape, TexturingProperty, SourceTexture, MaterialProperty, AlphaProperty,
                               TriShapeData>;

    // Little-endian field bytes, written field by field, for addRaw:
    //   nif.addRaw("NiShadeProperty", Nif4Builder::Bytes().str("").u32(kNone).u32(kNone).u16(1).b);
    struct Bytes {
        std::vector<std::uint8_t> b;
        Bytes& u8(std::uint8_t v) { return b.push_back(v), *this; }
        Bytes& u16(std::uint16_t v) { return u8(static_cast<std::uint8_t>(v)).u8(static_cast<std::uint8_t>(v >> 8)); }
        Bytes& u32(std::uint32_t v) { return u16(static_cast<std::uint16_t>(v)).u16(static_cast<std::uint16_t>(v >> 16)); }
        Bytes& f32(float v);
        Bytes& str(const std::string& s);
        Bytes& links(const std::vector<std::uint32_t>& l);
    };

    // Appends a block; returns its number.
    std::uint32_t add(Block block) { return push({std::move(block), std::nullopt, {}}); }
    // Appends a block of any type name with the given field bytes (other types, damaged blocks).
    std::uint32_t addRaw(std::string type, std::vector<std::uint8_t> fields)
    {
        return push({Node{}, std::move(type), std::move(fields)});
    }

    Block& block(std::uint32_t index) { return blocks_.at(index).block; }
    Node& node(std::uint32_t index) { return std::get<Node>(block(index)); }
    TriShape& triShape(std::uint32_t index) { return std::get<TriShape>(block(index)); }
    std::size_t size() const { return blocks_.size(); }

    std::string headerLine = "NetImmerse File Format, Version 4.0.0.2";
    std::uint32_t version = 0x04000002;

    std::vector<std::uint8_t> build() const;

    template <class T>
    static T named(std::string name)
    {
        T block{};
        block.name = std::move(name);
        return block;
    }

    // A quad of two triangles in the z = 0 plane, with normals and one UV set.
    static TriShapeData quadData(float halfSize = 1.0f);
    // Root NiNode "Scene" (0) with NiTriShape "Quad" (1), whose properties are
    // a NiTexturingProperty (2) naming `texture` (external NiSourceTexture 3),
    // a NiMaterialProperty (4) and a NiAlphaProperty (5); its data is block 6.
    static Nif4Builder texturedQuad(const std::string& texture = "textures\\tx_a.tga");
    // NiPixelData fields: format, four masks, bits per pixel, 8 compare bytes, palette,
    // level count, bytes per pixel, each level (width, height, offset), pixel count, pixels.
    static std::vector<std::uint8_t> pixelData(std::uint32_t format, std::uint32_t bytesPerPixel, std::uint32_t palette,
                                               const std::vector<std::array<std::uint32_t, 3>>& levels,
                                               const std::vector<std::uint8_t>& pixels);

private:
    struct Entry {
        Block block;
        std::optional<std::string> rawName;
        std::vector<std::uint8_t> raw;
    };
    std::uint32_t push(Entry e)
    {
        blocks_.push_back(std::move(e));
        return static_cast<std::uint32_t>(blocks_.size() - 1);
    }
    std::vector<Entry> blocks_;
};

} // namespace lw::test
