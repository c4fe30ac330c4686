#pragma once
// Textures stored inside a mesh (NiPixelData, with an NiPalette for 8-bit
// indices) become DDS files beside the textures copied for the mesh, so the
// converted NiSourceTexture can name a file like any other texture.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "common/io/byte_cursor.hpp"
#include "meshshift/nif20/block_model.hpp"
#include "meshshift/textures/dds_file.hpp"

namespace lw::meshshift {

struct MeshJob;

// The fields of a version-4 NiPixelData that a conversion needs.
struct PixelDataBlock {
    std::uint32_t format = 0;        // 0 RGB, 1 RGBA, 2 palette, 3 palette with alpha, 4-6 DXT1, DXT3, DXT5
    std::uint32_t bytesPerPixel = 0;
    Link palette = kNoLink;
    Bytes mipmaps;                   // per level: width, height, offset into `pixels` (u32 each)
    Bytes pixels;
};

struct PaletteBlock {
    bool hasAlpha = false;
    Bytes entries;                   // 16 or 256 colours of red, green, blue, alpha
};

// The embedded-texture blocks of one source mesh, by block number.
struct EmbeddedTextures {
    std::map<Link, PixelDataBlock> pixelData;
    std::map<Link, PaletteBlock> palettes;
};

// The DDS image of pixel data block `block`, or nothing with the reason in
// `why` (a format without a DDS form, sizes that disagree, a missing palette).
std::optional<DdsImage> decodePixelData(const EmbeddedTextures& blocks, Link block, std::string& why);

// Writes the DDS file of pixel data block `block` (unless that file already
// exists) and its normal map; returns the name the converted mesh uses for
// it, or "" after a message when the pixels cannot be converted.
std::string convertEmbeddedTexture(MeshJob& job, Link block);

} // namespace lw::meshshift
