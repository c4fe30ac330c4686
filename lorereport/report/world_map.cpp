#include "lorereport/report/world_map.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <map>
#include <png.h>

namespace lw::report {

namespace {

constexpr std::uint32_t kCellChildren = 6;
constexpr double kCellSize = 4096.0;
constexpr int kVertices = 33;

struct CellLand {
    int x = 0, y = 0;
    std::vector<double> heights; // 33 x 33, row 0 south; empty without land
};

// The VHGT subrecord as heights: an offset, then per row the first value is
// the difference to the row below and the others to their west neighbour.
std::vector<double> decodeHeights(const Field& vhgt)
{
    if (vhgt.data.size() < 4 + kVertices * kVertices)
        return {};
    double rowStart = vhgt.f32(0).value_or(0.0f);
    std::vector<double> h(kVertices * kVertices);
    for (int row = 0; row < kVertices; ++row) {
        double v = 0;
        for (int col = 0; col < kVertices; ++col) {
            auto d = static_cast<std::int8_t>(vhgt.data[4 + static_cast<std::size_t>(row * kVertices + col)]);
            if (col == 0) {
                rowStart += d;
                v = rowStart;
            } else {
                v += d;
            }
            h[static_cast<std::size_t>(row * kVertices + col)] = v * 8.0;
        }
    }
    return h;
}

std::uint32_t cellOf(const Record& r)
{
    for (auto it = r.groups.rbegin(); it != r.groups.rend(); ++it)
        if (it->second == kCellChildren)
            return it->first;
    return 0;
}

void line(Image& img, int x0, int y0, int x1, int y1, std::uint32_t colour)
{
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        img.set(x0, y0, colour);
        if (x0 == x1 && y0 == y1)
            return;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

} // namespace

void Image::set(int x, int y, std::uint32_t c)
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return;
    std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    rgb[i] = static_cast<std::uint8_t>(c >> 16);
    rgb[i + 1] = static_cast<std::uint8_t>(c >> 8);
    rgb[i + 2] = static_cast<std::uint8_t>(c);
}

std::uint32_t Image::at(int x, int y) const
{
    std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return static_cast<std::uint32_t>(rgb[i]) << 16 | static_cast<std::uint32_t>(rgb[i + 1]) << 8 | rgb[i + 2];
}

int WorldMap::pixelX(double worldX) const
{
    return static_cast<int>(std::floor((worldX - minCellX * kCellSize) / kCellSize * kPixelsPerCell));
}

int WorldMap::pixelY(double worldY) const
{
    int fromSouth = static_cast<int>(std::floor((worldY - minCellY * kCellSize) / kCellSize * kPixelsPerCell));
    return image.height - 1 - fromSouth;
}

WorldMap drawWorldMap(const Plugin& plugin)
{
    WorldMap map;
    std::map<std::uint32_t, CellLand> cells; // by the CELL's form identifier
    for (const Record& r : plugin.records) {
        if (r.tag != "CELL" || r.groups.empty() || r.groups.front().second != 0)
            continue;
        const Field* xclc = r.field("XCLC");
        if (!xclc || (r.flags & 0x400)) // the persistent world cell has no place
            continue;
        CellLand cell;
        cell.x = static_cast<std::int32_t>(xclc->u32(0).value_or(0));
        cell.y = static_cast<std::int32_t>(xclc->u32(4).value_or(0));
        cells[r.formId] = cell;
    }
    if (cells.empty())
        return map;
    for (const Record& r : plugin.records) {
        if (r.tag != "LAND")
            continue;
        auto it = cells.find(cellOf(r));
        if (it != cells.end())
            if (const Field* vhgt = r.field("VHGT"))
                it->second.heights = decodeHeights(*vhgt);
    }

    int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
    double low = 1e30, high = -1e30;
    for (const auto& [id, c] : cells) {
        minX = std::min(minX, c.x);
        maxX = std::max(maxX, c.x);
        minY = std::min(minY, c.y);
        maxY = std::max(maxY, c.y);
        for (double h : c.heights) {
            low = std::min(low, h);
            high = std::max(high, h);
        }
    }
    map.minCellX = minX;
    map.minCellY = minY;
    map.cellsX = maxX - minX + 1;
    map.cellsY = maxY - minY + 1;
    Image& img = map.image;
    img.width = map.cellsX * kPixelsPerCell + 1;
    img.height = map.cellsY * kPixelsPerCell + 1;
    img.rgb.assign(static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height) * 3, 0);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            img.set(x, y, kBackground);

    const double span = high > low ? high - low : 1.0;
    for (const auto& [id, c] : cells) {
        if (c.heights.empty())
            continue;
        for (int row = 0; row < kVertices; ++row)
            for (int col = 0; col < kVertices; ++col) {
                double h = c.heights[static_cast<std::size_t>(row * kVertices + col)];
                auto grey = static_cast<std::uint32_t>(60 + std::lround(170.0 * (h - low) / span));
                int px = (c.x - minX) * kPixelsPerCell + col;
                int py = img.height - 1 - ((c.y - minY) * kPixelsPerCell + row);
                img.set(px, py, grey << 16 | grey << 8 | grey);
            }
    }
    for (int i = 0; i <= map.cellsX; ++i)
        line(img, i * kPixelsPerCell, 0, i * kPixelsPerCell, img.height - 1, kGridColour);
    for (int i = 0; i <= map.cellsY; ++i)
        line(img, 0, img.height - 1 - i * kPixelsPerCell, img.width - 1, img.height - 1 - i * kPixelsPerCell,
             kGridColour);

    for (const Record& r : plugin.records) {
        if (r.tag != "REGN")
            continue;
        const Field* rpld = r.field("RPLD");
        const Field* rclr = r.field("RCLR");
        if (!rpld || rpld->data.size() < 16)
            continue;
        std::uint32_t c = rclr ? rclr->u32(0).value_or(0) : 0xFFFFFF;
        // Stored as the bytes red, green, blue.
        std::uint32_t colour = (c & 0xFF) << 16 | (c & 0xFF00) | ((c >> 16) & 0xFF);
        std::size_t n = rpld->data.size() / 8;
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t j = (i + 1) % n;
            line(img, map.pixelX(rpld->f32(8 * i).value_or(0)), map.pixelY(rpld->f32(8 * i + 4).value_or(0)),
                 map.pixelX(rpld->f32(8 * j).value_or(0)), map.pixelY(rpld->f32(8 * j + 4).value_or(0)), colour);
        }
    }

    for (const Record& r : plugin.records) {
        if ((r.tag != "REFR" && r.tag != "ACHR") || !r.insideTopGroup("WRLD"))
            continue;
        const Field* data = r.field("DATA");
        if (!data)
            continue;
        int px = map.pixelX(data->f32(0).value_or(0));
        int py = map.pixelY(data->f32(4).value_or(0));
        if (r.field("XTEL")) {
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    img.set(px + dx, py + dy, kDoorColour);
        } else {
            img.set(px, py, kReferenceColour);
            img.set(px + 1, py, kReferenceColour);
            img.set(px, py + 1, kReferenceColour);
            img.set(px + 1, py + 1, kReferenceColour);
        }
    }
    return map;
}

bool writePng(const Image& image, const std::string& path, std::string& error)
{
    if (image.width <= 0 || image.height <= 0) {
        error = "there is no exterior to draw";
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot create " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        std::fclose(f);
        error = "cannot write " + path;
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, image.rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    bool ok = std::fclose(f) == 0;
    if (!ok)
        error = "cannot write " + path;
    return ok;
}

} // namespace lw::report
