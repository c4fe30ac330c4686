// Path grid conversion.
//
// TES3 PGRD subrecords read (the point count comes from the cell's slot):
//   PGRP  per point 16 bytes: x:i32 y:i32 z:i32 flags:u8 connections:u8 unused[2]
//         (exteriors: relative to the cell's south-west corner)
//   PGRC  u32 target indices; point i owns the next `connections` entries
//
// TES4 PGRD written:
//   DATA  n:u16
//   PGRP  per kept point: x:f32 y:f32 z:f32 (world) connections:u8 0xCD 0xCD 0xCD
//   PGAG  ceil(n / 8) zero bytes
//   PGRR  u16 new index of each inner connection's target, by source (when any)
//   PGRI  per outside connection: source:u16 0:u16 x:f32 y:f32 z:f32 (when any)

#include "modshift/world/path_grid.hpp"

#include <array>
#include <bit>
#include <vector>

#include "common/io/byte_cursor.hpp"
#include "modshift/driver/conversion.hpp"

namespace lw::modshift {

namespace {

constexpr std::size_t kPointBytes = 16;
// What the TES4 subrecords hold under their 16-bit sizes: 2 bytes per inner
// connection (PGRR), 16 per outside connection (PGRI) and per point (PGRP).
constexpr std::size_t kInnerCapacity = 32767;
constexpr std::size_t kOutsideCapacity = 4095;
// The cell parse leaves out larger grids; a larger count cannot come from it.
constexpr std::int32_t kMaxPoints = 4095;
constexpr std::int32_t kCellSize = 8192;
constexpr std::int32_t kQuadrantSize = 4096;
constexpr std::int32_t kVertexSpacing = 128;

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t z = 0;
    std::int32_t connections = 0; // as read; lowered for every outside connection
    std::int32_t newIndex = -1;
};

struct Outside {
    std::size_t source;
    std::size_t target;
};

int damaged(Conversion& c, int interior, int cellX, int cellY)
{
    if (interior >= 0)
        c.console.print("damaged path grid in interior %i!\n", interior);
    else
        c.console.print("damaged path grid in cell (%i,%i)!\n", cellX, cellY);
    return -1;
}

} // namespace

int writePathGrid(Conversion& c, int interior, int cellX, int cellY, int ox, int oy)
{
    std::int32_t grid = -1;
    std::int32_t count = 0;
    if (interior >= 0) {
        if (static_cast<std::size_t>(interior) >= c.world.interiors.size())
            return 0;
        const InteriorCell& cell = c.world.interiors[static_cast<std::size_t>(interior)];
        grid = cell.pathGrid;
        count = cell.pathGridPoints;
        cellX = cellY = ox = oy = 0;
    } else {
        if (!ExteriorGrid::contains(cellX, cellY))
            return 0;
        const ExteriorCell& cell = c.world.exterior.at(cellX, cellY);
        grid = cell.pathGrid;
        count = cell.pathGridPoints;
    }
    if (grid < 0 || grid >= c.tree.count())
        return 0;
    if (count <= 0)
        return 0;
    if (count > kMaxPoints)
        return damaged(c, interior, cellX, cellY);

    std::int32_t pointsNode = -1;
    std::int32_t connectionsNode = -1;
    for (std::int32_t child : c.tree.children(grid)) {
        Tag tag = c.tree.node(child).tag;
        if (tag == makeTag("PGRP") && pointsNode < 0)
            pointsNode = child;
        else if (tag == makeTag("PGRC") && connectionsNode < 0 && pointsNode >= 0)
            connectionsNode = child;
    }
    if (pointsNode < 0)
        return 0;

    const auto n = static_cast<std::size_t>(count);
    std::vector<Point> points(n);
    const std::int32_t minX = ox * kVertexSpacing;
    const std::int32_t minY = oy * kVertexSpacing;
    std::int32_t kept = 0;
    {
        ByteCursor in(c.tree.data(pointsNode));
        if (!in.has(n * kPointBytes))
            return damaged(c, interior, cellX, cellY);
        for (Point& p : points) {
            p.x = in.i32() & ~1;
            p.y = in.i32() & ~1;
            p.z = in.i32() & ~1;
            in.skip(1);
            p.connections = in.u8();
            in.skip(2);
            if (p.connections == 0)
                continue;
            const bool inQuadrant = interior >= 0 || (p.x >= minX && p.x < minX + kQuadrantSize &&
                                                      p.y >= minY && p.y < minY + kQuadrantSize);
            if (inQuadrant)
                p.newIndex = kept++;
        }
    }

    std::vector<std::uint16_t> inner;
    std::vector<Outside> outside;
    {
        ByteCursor in(connectionsNode >= 0 ? c.tree.data(connectionsNode) : std::span<std::uint8_t>{});
        for (std::size_t i = 0; i < n; ++i) {
            Point& source = points[i];
            const std::int32_t links = source.connections;
            for (std::int32_t l = 0; l < links; ++l) {
                const std::uint32_t target = in.u32();
                if (in.failed())
                    return damaged(c, interior, cellX, cellY);
                if (source.newIndex < 0)
                    continue;
                if (target < n && points[target].newIndex >= 0) {
                    inner.push_back(static_cast<std::uint16_t>(points[target].newIndex));
                } else {
                    // Leaves the grid. A target past the point list has no
                    // position to connect to: the connection is dropped.
                    --source.connections;
                    if (target < n)
                        outside.push_back({i, target});
                }
            }
            if (inner.size() > kInnerCapacity) {
                c.console.print("Too many PGRR nodes! (%i>%i)\n", static_cast<int>(inner.size()),
                                static_cast<int>(kInnerCapacity));
                c.log.capacity("Too many PGRR nodes!");
                c.console.print("Press enter...\n");
                c.console.waitKey();
                return -1;
            }
            if (outside.size() > kOutsideCapacity) {
                c.console.print("Too many PGRI nodes!\n");
                c.log.capacity("Too many PGRI nodes!");
                c.console.print("Press enter...\n");
                c.console.waitKey();
                return -1;
            }
        }
    }
    if (kept == 0)
        return 0;

    const std::int32_t worldX = interior >= 0 ? 0 : cellX * kCellSize;
    const std::int32_t worldY = interior >= 0 ? 0 : cellY * kCellSize;
    auto worldPosition = [&](ByteWriter& w, const Point& p) {
        w.f32(static_cast<float>(std::int64_t{p.x} + worldX));
        w.f32(static_cast<float>(std::int64_t{p.y} + worldY));
        w.f32(static_cast<float>(p.z));
    };

    SubrecordBuffer sub;
    sub.u16(makeTag("DATA"), static_cast<std::uint16_t>(kept));
    {
        // Up to 4095 points in each of some 18,000 grids: every point's 16
        // bytes are laid out together and appended in one go.
        ByteWriter& w = sub.begin(makeTag("PGRP"));
        for (const Point& p : points) {
            if (p.newIndex < 0)
                continue;
            std::array<std::uint8_t, 16> bytes{};
            auto put = [&](std::size_t at, float v) {
                const auto u = std::bit_cast<std::uint32_t>(v);
                for (std::size_t i = 0; i < 4; ++i)
                    bytes[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
            };
            put(0, static_cast<float>(std::int64_t{p.x} + worldX));
            put(4, static_cast<float>(std::int64_t{p.y} + worldY));
            put(8, static_cast<float>(p.z));
            bytes[12] = static_cast<std::uint8_t>(p.connections);
            bytes[13] = bytes[14] = bytes[15] = 0xCD;
            w.bytes(bytes);
        }
        sub.finish();
    }
    sub.begin(makeTag("PGAG")).zeros((static_cast<std::size_t>(kept) + 7) / 8);
    sub.finish();
    if (!inner.empty()) {
        ByteWriter& w = sub.begin(makeTag("PGRR"));
        for (std::uint16_t v : inner)
            w.u16(v);
        sub.finish();
    }
    if (!outside.empty()) {
        ByteWriter& w = sub.begin(makeTag("PGRI"));
        for (const Outside& o : outside) {
            w.u16(static_cast<std::uint16_t>(points[o.source].newIndex));
            w.u16(0);
            worldPosition(w, points[o.target]);
        }
        sub.finish();
    }
    c.out.writeRecord(makeTag("PGRD"), 0, c.out.nextFormId(), sub);
    return 0;
}

} // namespace lw::modshift
