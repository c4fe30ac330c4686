#pragma once
// A picture of the converted exterior: one pixel per landscape vertex spacing
// (128 units), north up. Land heights as grey shading, cell grid lines, region
// outlines in their map colours, references as red dots, teleport doors as
// yellow squares.

#include <cstdint>
#include <string>
#include <vector>

#include "lorereport/report/plugin_reader.hpp"

namespace lw::report {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // row-major, top row first

    void set(int x, int y, std::uint32_t rgbColour);
    std::uint32_t at(int x, int y) const;
};

struct WorldMap {
    Image image;
    int minCellX = 0, minCellY = 0; // the TES4 cell at the image's south-west corner
    int cellsX = 0, cellsY = 0;
    // Pixel of a world position (x east, y north), for tests and drawing.
    int pixelX(double worldX) const;
    int pixelY(double worldY) const;
};

constexpr int kPixelsPerCell = 32;
constexpr std::uint32_t kGridColour = 0x303030;
constexpr std::uint32_t kReferenceColour = 0xE02020;
constexpr std::uint32_t kDoorColour = 0xFFD800;
constexpr std::uint32_t kBackground = 0x101828;

// Nothing (empty image) when the plugin has no exterior cells.
WorldMap drawWorldMap(const Plugin& plugin);

// Writes the image as an 8-bit RGB PNG; false with `error` set on failure.
bool writePng(const Image& image, const std::string& path, std::string& error);

} // namespace lw::report
