#include "meshshift/textures/embedded_texture.hpp"

#include <algorithm>
#include <string_view>

#include "common/console/console.hpp"
#include "common/fs/folders.hpp"
#include "common/platform/platform.hpp"
#include "meshshift/driver/mesh_job.hpp"
#include "meshshift/nif20/texture_paths.hpp"

namespace lw::meshshift {
namespace {

std::uint32_t u32At(Bytes b, std::size_t index)
{
    ByteCursor in(b.subspan(index * 4, 4));
    return in.u32();
}

// The DDS form of each source pixel format and the bytes one source pixel takes
// (0 for the compressed formats, whose data is copied block for block).
struct Conversion {
    DdsFormat format;
    std::uint32_t sourceBytes;
};
std::optional<Conversion> conversionOf(std::uint32_t format, const PaletteBlock* palette)
{
    switch (format) {
    case 0: return Conversion{DdsFormat::Bgr24, 3};
    case 1: return Conversion{DdsFormat::Bgra32, 4};
    case 2:
    case 3:
        if (!palette)
            return std::nullopt;
        return Conversion{palette->hasAlpha ? DdsFormat::Bgra32 : DdsFormat::Bgr24, 1};
    case 4: return Conversion{DdsFormat::Dxt1, 0};
    case 5: return Conversion{DdsFormat::Dxt3, 0};
    case 6: return Conversion{DdsFormat::Dxt5, 0};
    default: return std::nullopt;
    }
}

// Appends one level's pixels in the DDS order: blue, green, red (, alpha).
void appendLevel(Bytes level, std::uint32_t sourceBytes, const PaletteBlock* palette, DdsFormat format,
                 std::vector<std::uint8_t>& out)
{
    if (sourceBytes == 0) {
        out.insert(out.end(), level.begin(), level.end());
        return;
    }
    const bool alpha = format == DdsFormat::Bgra32;
    for (std::size_t p = 0; p < level.size(); p += sourceBytes) {
        // red, green, blue, alpha of this pixel
        const std::uint8_t* c = palette ? &palette->entries[std::size_t{level[p]} * 4] : &level[p];
        out.insert(out.end(), {c[2], c[1], c[0]});
        if (alpha)
            out.push_back(c[3]);
    }
}

std::string describe(std::uint64_t w, std::uint64_t h) { return std::to_string(w) + "x" + std::to_string(h); }

} // namespace

std::optional<DdsImage> decodePixelData(const EmbeddedTextures& blocks, Link block, std::string& why)
{
    const PixelDataBlock& data = blocks.pixelData.at(block);
    const PaletteBlock* palette = nullptr;
    if (data.format == 2 || data.format == 3) {
        auto found = blocks.palettes.find(data.palette);
        if (found == blocks.palettes.end()) {
            why = "its palette is missing";
            return std::nullopt;
        }
        palette = &found->second;
    }
    const auto conversion = conversionOf(data.format, palette);
    if (!conversion) {
        why = "pixel format " + std::to_string(data.format) + " has no DDS form";
        return std::nullopt;
    }
    if (conversion->sourceBytes != 0 && data.bytesPerPixel != conversion->sourceBytes) {
        why = std::to_string(data.bytesPerPixel) + " bytes per pixel do not fit pixel format " + std::to_string(data.format);
        return std::nullopt;
    }
    const std::size_t levels = data.mipmaps.size() / 12;
    DdsImage image;
    image.format = conversion->format;
    image.mipCount = static_cast<std::uint32_t>(levels);
    image.width = levels ? u32At(data.mipmaps, 0) : 0;
    image.height = levels ? u32At(data.mipmaps, 1) : 0;
    if (image.width == 0 || image.height == 0) {
        why = "it has no pixels";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < levels; ++i) {
        const std::uint64_t w = u32At(data.mipmaps, i * 3), h = u32At(data.mipmaps, i * 3 + 1);
        const std::uint64_t offset = u32At(data.mipmaps, i * 3 + 2);
        // A DDS file has no sizes per level: each must halve the one before.
        const std::uint64_t wantW = std::max<std::uint64_t>(1, image.width >> std::min<std::size_t>(i, 32));
        const std::uint64_t wantH = std::max<std::uint64_t>(1, image.height >> std::min<std::size_t>(i, 32));
        if (w != wantW || h != wantH) {
            why = "mip level " + std::to_string(i) + " is " + describe(w, h) + ", not " + describe(wantW, wantH);
            return std::nullopt;
        }
        // No level takes less than half a byte a pixel: larger sizes cannot be in
        // the pixel data and are refused before they are multiplied out.
        if (w * h > 2 * std::uint64_t{data.pixels.size()} + 16) {
            why = "mip level " + std::to_string(i) + " is " + describe(w, h) + ", more than the pixel data holds";
            return std::nullopt;
        }
        const std::uint64_t size = conversion->sourceBytes ? w * h * conversion->sourceBytes
                                                           : ddsLevelSize(conversion->format, w, h);
        if (offset > data.pixels.size() || size > data.pixels.size() - offset) {
            why = "mip level " + std::to_string(i) + " needs " + std::to_string(size) + " bytes from " +
                  std::to_string(offset) + ", the pixel data holds " + std::to_string(data.pixels.size());
            return std::nullopt;
        }
        const Bytes level = data.pixels.subspan(offset, size);
        if (palette) {
            for (std::uint8_t index : level) {
                if (std::size_t{index} * 4 >= palette->entries.size()) {
                    why = "a pixel names colour " + std::to_string(index) + " of a palette of " +
                          std::to_string(palette->entries.size() / 4);
                    return std::nullopt;
                }
            }
        }
        appendLevel(level, conversion->sourceBytes, palette, conversion->format, image.pixels);
    }
    return image;
}

std::string convertEmbeddedTexture(MeshJob& job, Link block)
{
    std::string why;
    const auto image = decodePixelData(job.embedded, block, why);
    if (!image) {
        job.console.print("embedded texture %u: %s, the texture stays without a file\n", block, why.c_str());
        return {};
    }

    // Named after the mesh's path below the output meshes folder (without the
    // asset subfolder the textures folder adds again), or its file name when it
    // is written elsewhere, and the pixel block's number: the same mesh gives
    // the same names in every run, and no two meshes below it share one.
    // The output path's folders may have been respelled with either separator.
    const Config& config = job.config;
    auto backslashed = [](std::string path) {
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    };
    const std::string output = backslashed(job.outputPath);
    const std::string meshes = backslashed(config.targetData + "\\meshes\\"), asset = backslashed(config.assetSubfolder + "\\");
    std::string_view mesh = output;
    if (mesh.starts_with(meshes)) {
        mesh.remove_prefix(meshes.size());
        if (mesh.starts_with(asset))
            mesh.remove_prefix(asset.size());
    } else if (const std::size_t cut = mesh.find_last_of('\\'); cut != std::string_view::npos)
        mesh.remove_prefix(cut + 1);
    if (const std::size_t dot = mesh.find_last_of('.'); dot != std::string_view::npos &&
                                                        mesh.find('\\', dot) == std::string_view::npos)
        mesh = mesh.substr(0, dot);
    const std::string relative = mapNameCharacters(mesh) + "_" + std::to_string(block) + ".dds";

    std::string destination = config.targetData + "\\Textures\\" + config.assetSubfolder + "\\" + relative;
    if (!job.platform.findFile(destination)) {
        createFoldersFor(job.platform, destination);
        job.platform.writeFile(destination, encodeDds(*image));
    }
    placeNormalMap(job, destination);
    return "Textures\\" + config.assetSubfolder + "\\" + relative;
}

} // namespace lw::meshshift
