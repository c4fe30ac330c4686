#pragma once
// Writers of the binary data files the character converters read from the
// program folder: FaceGen face and race files, DDS textures and NIF 20.0.0.5
// armour meshes. All content is generated here; nothing comes from the games.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lw::tools {

using Bytes = std::vector<std::uint8_t>;

// Face file: a 40-byte header, then 50 + 30 + 50 signed 16-bit values (each
// coefficient times 1000). `seedName` picks a repeatable set of moderate
// values; an empty name gives the average face (all zero).
Bytes makeFaceFile(std::string_view seedName);
// Race file: 50 + 30 float32 race geometry values (neutral: all zero).
Bytes makeRaceFile();

// Uncompressed 32-bit DDS with a full mipmap chain, made by sampling
// `pixel(x, y, size)` (returns 0xAARRGGBB) at every level.
using PixelFunction = std::uint32_t (*)(double u, double v, const void* context);
Bytes makeDds(unsigned size, PixelFunction pixel, const void* context);

enum class EyeStyle { Khajiit, Black, Grey };
Bytes makeEyeTexture(EyeStyle style);
Bytes makeFlatNormalMap(unsigned size);
// An inventory icon: a plain emblem in the material's colour on transparency.
Bytes makeArmourIcon(bool bonemold, std::string_view piece);

// A NIF 20.0.0.5 mesh of one armour piece: a root NiNode holding one or more
// boxes (NiTriShape with its NiTriShapeData and a NiMaterialProperty). Worn
// pieces sit where that body part is; ground pieces rest on the ground at the
// origin.
Bytes makeArmourMesh(std::string_view relativePath);

} // namespace lw::tools
