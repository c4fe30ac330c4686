#pragma once
// Builds Morrowind meshes (NIF 4.0.0.2) for tests, fuzz seeds and demo data.
//
// Add blocks in file order; each add returns the new block's number, which
// later blocks use as a link. Fields not set keep plain defaults (identity
// rotation, scale 1, no links). build() gives the file bytes: header line,
// version, block count, every block with its type name, and the footer of
// roots (block 0 unless changed).
//
//   Nif4Builder nif;
//   auto root = nif.add(Nif4Builder::named<Nif4Builder::Node>("Scene"));
//   auto data = nif.add(Nif4Builder::quadData());
//   auto shape = nif.add(Nif4Builder::named<Nif4Builder::TriShape>("Quad"));
//   nif.node(root).children = {shape};   // links may be set after adding
//   nif.triShape(shape).data = data;
//   std::vector<std::uint8_t> bytes = nif.build();

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace lw::test {

// The fields of each block type, as written in the file.
namespace nif4 {

inline constexpr std::uint32_t kNoneLink = 0xFFFFFFFFu;
using Vec3 = std::array<float, 3>;

struct AVObject {
    std::string name;
    std::uint32_t extraData = kNoneLink;
    std::uint32_t controller = kNoneLink;
    std::uint16_t flags = 0;
    Vec3 translation{0, 0, 0};
    std::array<float, 9> rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
    float scale = 1.0f;
    Vec3 velocity{0, 0, 0};
    std::vector<std::uint32_t> properties;
    bool hasBoundingBox = false; // 64 bytes of box follow when set
};
struct Node : AVObject {
    std::vector<std::uint32_t> children;
    std::vector<std::uint32_t> effects;
    bool rootCollisionNode = false; // written as "RootCollisionNode"
};
struct TriShape : AVObject {
    std::uint32_t data = kNoneLink;
    std::uint32_t skin = kNoneLink;
};
struct TextureDesc {
    std::uint32_t source = kNoneLink;
    std::uint32_t clampMode = 3, filterMode = 2, uvSet = 0;
    std::array<std::uint16_t, 3> ps2{0, 0, 0};
};
struct TexturingProperty {
    std::string name;
    std::uint32_t extraData = kNoneLink, controller = kNoneLink;
    std::uint16_t flags = 0;
    std::uint32_t applyMode = 2;
    std::uint32_t textureCount = 7; // 8, 9, 10 add decal 1, 2, 3
    // base, dark, detail, gloss, glow, bump map, decal 0 .. decal 3
    std::array<std::optional<TextureDesc>, 10> slots{};
    float lumaScale = 1, lumaOffset = 0;
    std::array<float, 4> bumpMatrix{1, 0, 0, 1};
};
struct SourceTexture {
    std::string name;
    std::uint32_t extraData = kNoneLink, controller = kNoneLink;
    bool external = true;
    std::string fileName;           // external form
    std::uint8_t internalByte = 0;  // internal form
    std::uint32_t pixelData = kNoneLink; // internal form
    std::uint32_t pixelLayout = 5, useMipmaps = 2, alphaFormat = 3;
    std::uint8_t isStatic = 1;
};
struct MaterialProperty {
    std::string name;
    std::uint32_t extraData = kNoneLink, controller = kNoneLink;
    std::uint16_t flags = 1;
    Vec3 ambient{1, 1, 1}, diffuse{1, 1, 1}, specular{0, 0, 0}, emissive{0, 0, 0};
    float glossiness = 10, alpha = 1;
};
struct AlphaProperty {
    std::string name;
    std::uint32_t extraData = kNoneLink, controller = kNoneLink;
    std::uint16_t flags = 0x00ED;
    std::uint8_t threshold = 0;
};
struct StringExtraData {
    std::uint32_t next = kNoneLink;
    std::string text;
};
struct TriShapeData {
    std::vector<Vec3> vertices;   // has vertices when not empty
    std::vector<Vec3> normals;    // has normals when not empty
    Vec3 centre{0, 0, 0};
    float radius = 0;
    std::vector<std::array<float, 4>> colors;
    std::vector<std::vector<std::array<float, 2>>> uvSets; // has UV when not empty
    std::vector<std::array<std::uint16_t, 3>> triangles;
    std::vector<std::vector<std::uint16_t>> matchGroups;
    // Overrides for unusual files (nothing: derived from the arrays).
    std::optional<std::uint16_t> numVertices;
    std::optional<std::uint16_t> numUvSets;
    std::optional<bool> hasUv;
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
    using StringExtraData = nif4::StringExtraData;
    using TriShapeData = nif4::TriShapeData;

    using Block = std::variant<Node, TriShape, TexturingProperty, SourceTexture, MaterialProperty, AlphaProperty,
                               StringExtraData, TriShapeData>;

    // Appends a block; returns its number.
    std::uint32_t add(Block block);
    // Appends a block of any type name with the given field bytes (other types, damaged blocks).
    std::uint32_t addRaw(std::string typeName, std::vector<std::uint8_t> fields);

    // Little-endian field bytes for addRaw, written field by field:
    //   nif.addRaw("NiShadeProperty", Nif4Builder::Bytes().str("").u32(kNone).u32(kNone).u16(1).b);
    struct Bytes {
        std::vector<std::uint8_t> b;
        Bytes& u8(std::uint8_t v);
        Bytes& u16(std::uint16_t v);
        Bytes& u32(std::uint32_t v);
        Bytes& f32(float v);
        Bytes& str(const std::string& s);
        Bytes& links(const std::vector<std::uint32_t>& l);
    };

    // Changes a block added before (links to later blocks are set this way).
    Block& block(std::uint32_t index) { return blocks_.at(index).block; }
    Node& node(std::uint32_t index) { return std::get<Node>(block(index)); }
    TriShape& triShape(std::uint32_t index) { return std::get<TriShape>(block(index)); }
    std::size_t size() const { return blocks_.size(); }

    // Header values (for version tests).
    std::string headerLine = "NetImmerse File Format, Version 4.0.0.2";
    std::uint32_t version = 0x04000002;
    std::vector<std::uint32_t> roots{0};

    std::vector<std::uint8_t> build() const;

    // The bytes of one block's fields (without its type name).
    static std::vector<std::uint8_t> fields(const Block& block);
    static std::string typeName(const Block& block);

    // A block of type T with its name set.
    template <class T>
    static T named(std::string name)
    {
        T block{};
        block.name = std::move(name);
        return block;
    }

    // Ready-made pieces: a quad of two triangles in the z = 0 plane, with
    // normals and one UV set.
    static TriShapeData quadData(float halfSize = 1.0f);

    // A small textured scene: root NiNode "Scene" (block 0) with one NiTriShape
    // that has a NiTexturingProperty naming `texture` (external NiSourceTexture),
    // a NiMaterialProperty and a NiAlphaProperty.
    static Nif4Builder texturedQuad(const std::string& texture = "textures\\tx_a.tga");

private:
    struct Entry {
        Block block;
        std::optional<std::string> rawName;
        std::vector<std::uint8_t> raw;
    };
    std::vector<Entry> blocks_;
};

} // namespace lw::test
