#include "character_data.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

namespace lw::tools {

namespace {

void put16(Bytes& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void putF(Bytes& b, float f) { put32(b, std::bit_cast<std::uint32_t>(f)); }
// Byte by byte, as ByteWriter::chars, for GCC 12's -O3 overflow misreading.
void putChars(Bytes& b, std::string_view s)
{
    for (char c : s)
        b.push_back(static_cast<std::uint8_t>(c));
}

// A small repeatable generator for the face values.
class Sequence {
public:
    explicit Sequence(std::string_view name)
    {
        std::uint32_t h = 2166136261u;
        for (char c : name)
            h = (h ^ static_cast<std::uint8_t>(c)) * 16777619u;
        state_ = h ? h : 1u;
    }
    // A whole number from -limit to limit.
    int next(int limit)
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<int>(state_ % static_cast<std::uint32_t>(2 * limit + 1)) - limit;
    }

private:
    std::uint32_t state_;
};

std::uint32_t argb(double a, double r, double g, double b)
{
    auto c = [](double v) {
        return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    };
    return c(a) << 24 | c(r) << 16 | c(g) << 8 | c(b);
}

} // namespace

Bytes makeFaceFile(std::string_view seedName)
{
    Bytes b;
    putChars(b, "FRFG0001");
    put32(b, 0);  // geometry basis
    put32(b, 0);  // texture basis
    put32(b, 50); // symmetric geometry values
    put32(b, 30); // asymmetric geometry values
    put32(b, 50); // symmetric texture values
    put32(b, 0);  // asymmetric texture values
    put32(b, 0);
    put32(b, 0);
    Sequence seq(seedName);
    auto values = [&](int count, int limit) {
        for (int i = 0; i < count; ++i)
            put16(b, static_cast<std::uint16_t>(static_cast<std::int16_t>(seedName.empty() ? 0 : seq.next(limit))));
    };
    values(50, 600);
    values(30, 150);
    values(50, 600);
    return b;
}

Bytes makeRaceFile()
{
    Bytes b;
    for (int i = 0; i < 80; ++i)
        putF(b, 0.0f);
    return b;
}

Bytes makeDds(unsigned size, PixelFunction pixel, const void* context)
{
    unsigned levels = 1;
    for (unsigned s = size; s > 1; s /= 2)
        ++levels;
    Bytes b;
    putChars(b, "DDS ");
    put32(b, 124);
    put32(b, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000); // caps, height, width, pitch, format, mipmaps
    put32(b, size);
    put32(b, size);
    put32(b, size * 4); // pitch
    put32(b, 0);        // depth
    put32(b, levels);
    for (int i = 0; i < 11; ++i)
        put32(b, 0);
    put32(b, 32);        // pixel format size
    put32(b, 0x41);      // RGB with alpha
    put32(b, 0);         // no FourCC
    put32(b, 32);        // bits per pixel
    put32(b, 0x00FF0000);
    put32(b, 0x0000FF00);
    put32(b, 0x000000FF);
    put32(b, 0xFF000000);
    put32(b, 0x1000 | 0x400000 | 0x8); // texture, mipmap, complex
    for (int i = 0; i < 4; ++i)
        put32(b, 0);
    for (unsigned s = size; s >= 1; s /= 2) {
        for (unsigned y = 0; y < s; ++y)
            for (unsigned x = 0; x < s; ++x)
                put32(b, pixel((x + 0.5) / s, (y + 0.5) / s, context));
        if (s == 1)
            break;
    }
    return b;
}

Bytes makeEyeTexture(EyeStyle style)
{
    static const auto kPixel = [](double u, double v, const void* ctx) -> std::uint32_t {
        const auto st = *static_cast<const EyeStyle*>(ctx);
        double dx = u - 0.5, dy = v - 0.5;
        double r = std::sqrt(dx * dx + dy * dy);
        bool pupil = st == EyeStyle::Khajiit ? (std::fabs(dx) < 0.035 && std::fabs(dy) < 0.2) : r < 0.09;
        if (pupil)
            return argb(1, 0.02, 0.02, 0.02);
        if (r < 0.28) {
            double shade = 0.75 + 0.25 * (1.0 - r / 0.28); // lighter towards the pupil
            switch (st) {
            case EyeStyle::Khajiit:
                return argb(1, 0.85 * shade, 0.62 * shade, 0.12 * shade);
            case EyeStyle::Black:
                return argb(1, 0.10 * shade, 0.08 * shade, 0.07 * shade);
            case EyeStyle::Grey:
                return argb(1, 0.55 * shade, 0.58 * shade, 0.62 * shade);
            }
        }
        if (r < 0.30)
            return argb(1, 0.15, 0.13, 0.12); // iris rim
        return argb(1, 0.93, 0.91, 0.88);     // white of the eye
    };
    return makeDds(64, kPixel, &style);
}

Bytes makeFlatNormalMap(unsigned size)
{
    static const auto kPixel = [](double, double, const void*) -> std::uint32_t {
        return 0xFF8080FFu; // straight-out normal, full specular in alpha
    };
    return makeDds(size, kPixel, nullptr);
}

Bytes makeArmourIcon(bool bonemold, std::string_view piece)
{
    struct Icon {
        bool bonemold;
        int bands;
    };
    int bands = 1;
    if (piece.find("cuirass") != std::string_view::npos)
        bands = 3;
    else if (piece.find("greaves") != std::string_view::npos)
        bands = 2;
    else if (piece.find("boots") != std::string_view::npos || piece.find("gauntlets") != std::string_view::npos)
        bands = 4;
    else if (piece.find("shield") != std::string_view::npos)
        bands = 5;
    Icon icon{bonemold, bands};
    static const auto kPixel = [](double u, double v, const void* ctx) -> std::uint32_t {
        const Icon& ic = *static_cast<const Icon*>(ctx);
        double dx = std::fabs(u - 0.5), dy = std::fabs(v - 0.5);
        if (std::max(dx, dy) > 0.42)
            return 0x00000000u; // transparent around the emblem
        double r = ic.bonemold ? 0.80 : 0.22, g = ic.bonemold ? 0.74 : 0.44, b = ic.bonemold ? 0.56 : 0.42;
        if (std::max(dx, dy) > 0.37)
            return argb(1, r * 0.45, g * 0.45, b * 0.45); // border
        int band = static_cast<int>((v - 0.13) / 0.74 * (2 * ic.bands + 1));
        double shade = band % 2 == 1 ? 0.8 : 1.0;
        return argb(1, r * shade, g * shade, b * shade);
    };
    return makeDds(64, kPixel, &icon);
}

namespace {

struct Box {
    std::array<float, 3> centre;
    std::array<float, 3> half;
};

std::vector<Box> piecesOf(std::string_view path)
{
    auto has = [&path](std::string_view s) { return path.find(s) != std::string_view::npos; };
    if (has("helmet") || has("chuzei"))
        return {{{0, 0, 118}, {11, 12, 12}}};
    if (has("cuirass"))
        return {{{0, 0, 92}, {18, 11, 18}}};
    if (has("greaves"))
        return {{{-7, 0, 52}, {6, 7, 22}}, {{7, 0, 52}, {6, 7, 22}}};
    if (has("boots"))
        return {{{-7, 3, 8}, {5, 10, 8}}, {{7, 3, 8}, {5, 10, 8}}};
    if (has("gauntlets") || has("bracer"))
        return {{{-28, 0, 75}, {4, 4, 8}}, {{28, 0, 75}, {4, 4, 8}}};
    if (has("shield"))
        return {{{-26, 8, 80}, {16, 2, 22}}};
    return {{{0, 0, 64}, {10, 10, 10}}};
}

void sizedString(Bytes& b, std::string_view s)
{
    put32(b, static_cast<std::uint32_t>(s.size()));
    putChars(b, s);
}
void headerText(Bytes& b, std::string_view s)
{
    b.push_back(static_cast<std::uint8_t>(s.size() + 1));
    putChars(b, s);
    b.push_back(0);
}
void avObject(Bytes& b, std::string_view name, std::vector<std::uint32_t> properties)
{
    sizedString(b, name);
    put32(b, 0);           // no extra data
    put32(b, 0xFFFFFFFFu); // no controller
    put16(b, 14);          // flags
    for (int i = 0; i < 3; ++i)
        putF(b, 0.0f); // translation
    for (int i = 0; i < 9; ++i)
        putF(b, i % 4 == 0 ? 1.0f : 0.0f); // identity rotation
    putF(b, 1.0f);
    put32(b, static_cast<std::uint32_t>(properties.size()));
    for (std::uint32_t p : properties)
        put32(b, p);
    put32(b, 0xFFFFFFFFu); // no collision object
}

} // namespace

Bytes makeArmourMesh(std::string_view relativePath)
{
    std::vector<Box> boxes = piecesOf(relativePath);
    if (relativePath.find("_gnd") != std::string_view::npos) {
        // Ground pieces: centred on the origin, resting on the ground.
        float minZ = 1e9f, minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
        for (const Box& bx : boxes) {
            minZ = std::min(minZ, bx.centre[2] - bx.half[2]);
            minX = std::min(minX, bx.centre[0] - bx.half[0]);
            maxX = std::max(maxX, bx.centre[0] + bx.half[0]);
            minY = std::min(minY, bx.centre[1] - bx.half[1]);
            maxY = std::max(maxY, bx.centre[1] + bx.half[1]);
        }
        for (Box& bx : boxes) {
            bx.centre[0] -= (minX + maxX) / 2;
            bx.centre[1] -= (minY + maxY) / 2;
            bx.centre[2] -= minZ;
        }
    }

    // Four vertices per box face, so each face has its own normal.
    std::vector<std::array<float, 3>> vertices, normals;
    std::vector<std::array<std::uint16_t, 3>> triangles;
    for (const Box& bx : boxes) {
        for (int axis = 0; axis < 3; ++axis) {
            for (int sign : {-1, 1}) {
                int u = (axis + 1) % 3, v = (axis + 2) % 3;
                auto base = static_cast<std::uint16_t>(vertices.size());
                const int corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
                for (const auto& c : corners) {
                    std::array<float, 3> p = bx.centre;
                    p[axis] += static_cast<float>(sign) * bx.half[axis];
                    p[u] += static_cast<float>(c[0]) * bx.half[u];
                    p[v] += static_cast<float>(c[1] * sign) * bx.half[v];
                    vertices.push_back(p);
                    std::array<float, 3> n{0, 0, 0};
                    n[axis] = static_cast<float>(sign);
                    normals.push_back(n);
                }
                triangles.push_back({base, static_cast<std::uint16_t>(base + 1), static_cast<std::uint16_t>(base + 2)});
                triangles.push_back({base, static_cast<std::uint16_t>(base + 2), static_cast<std::uint16_t>(base + 3)});
            }
        }
    }
    std::array<float, 3> lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    for (const auto& p : vertices)
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], p[i]);
            hi[i] = std::max(hi[i], p[i]);
        }
    std::array<float, 3> centre{(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    float radius = 0;
    for (const auto& p : vertices) {
        float d = std::sqrt((p[0] - centre[0]) * (p[0] - centre[0]) + (p[1] - centre[1]) * (p[1] - centre[1]) +
                            (p[2] - centre[2]) * (p[2] - centre[2]));
        radius = std::max(radius, d);
    }

    const bool bonemold = relativePath.find("bonemold") != std::string_view::npos;
    Bytes b;
    putChars(b, "Gamebryo File Format, Version 20.0.0.5\n");
    put32(b, 0x14000005);
    b.push_back(1); // little endian
    put32(b, 11);   // user version
    put32(b, 4);    // blocks
    put32(b, 11);   // user version 2
    headerText(b, "Lorewright");
    headerText(b, "placeholder armour");
    headerText(b, "");
    const std::array<std::string_view, 4> types{"NiNode", "NiTriShape", "NiMaterialProperty", "NiTriShapeData"};
    put16(b, static_cast<std::uint16_t>(types.size()));
    for (std::string_view t : types)
        sizedString(b, t);
    for (std::uint16_t i = 0; i < 4; ++i)
        put16(b, i); // block i has type i
    put32(b, 0);

    // 0: NiNode
    avObject(b, "Scene Root", {});
    put32(b, 1);
    put32(b, 1); // child: the shape
    put32(b, 0); // no effects
    // 1: NiTriShape
    avObject(b, "Armour", {2});
    put32(b, 3);           // data
    put32(b, 0xFFFFFFFFu); // no skin
    b.push_back(0);        // no shader
    // 2: NiMaterialProperty
    sizedString(b, "Material");
    put32(b, 0);
    put32(b, 0xFFFFFFFFu);
    std::array<float, 3> colour = bonemold ? std::array<float, 3>{0.80f, 0.74f, 0.56f}
                                           : std::array<float, 3>{0.22f, 0.44f, 0.42f};
    for (int k = 0; k < 2; ++k) // ambient, diffuse
        for (float c : colour)
            putF(b, c);
    for (int k = 0; k < 6; ++k) // specular, emissive
        putF(b, 0.0f);
    putF(b, 10.0f); // glossiness
    putF(b, 1.0f);  // alpha
    // 3: NiTriShapeData
    put32(b, 0); // group
    put16(b, static_cast<std::uint16_t>(vertices.size()));
    b.push_back(0); // keep flags
    b.push_back(0); // compress flags
    b.push_back(1);
    for (const auto& p : vertices)
        for (float f : p)
            putF(b, f);
    put16(b, 0); // no UV sets, no tangent space
    b.push_back(1);
    for (const auto& n : normals)
        for (float f : n)
            putF(b, f);
    for (float f : centre)
        putF(b, f);
    putF(b, radius);
    b.push_back(0);         // no vertex colours
    put16(b, 0);            // consistency: mutable
    put32(b, 0xFFFFFFFFu);  // no additional data
    put16(b, static_cast<std::uint16_t>(triangles.size()));
    put32(b, static_cast<std::uint32_t>(triangles.size() * 3));
    b.push_back(1);
    for (const auto& t : triangles)
        for (std::uint16_t i : t)
            put16(b, i);
    put16(b, 0); // no match groups
    // Footer: one root, block 0.
    put32(b, 1);
    put32(b, 0);
    return b;
}

} // namespace lw::tools
