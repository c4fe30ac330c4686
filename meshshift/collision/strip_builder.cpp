#include "meshshift/collision/strip_builder.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <initializer_list>
#include <tuple>

#include "common/console/console.hpp"

namespace lw::meshshift::collision {

Vec3 matrixTimesVector(const Matrix3& m, const Vec3& v)
{
    return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
            m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

Vec3 operator+(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

namespace {

// Welding merges vertices whose coordinates compare equal as floats: -0 equals
// +0, and a NaN equals nothing. Mapping -0 to +0 makes equal floats equal bit
// patterns, so sorting by bits groups exactly the vertices the float test would.
std::uint32_t weldKey(float v)
{
    return std::bit_cast<std::uint32_t>(v == 0.0f ? 0.0f : v);
}

bool hasNaN(const Vec3& v) { return std::isnan(v[0]) || std::isnan(v[1]) || std::isnan(v[2]); }

} // namespace

StripBuilder::StripBuilder()
    : points_(kStripPointCapacity),
      welded_(kStripTriangleLimit),
      available_(kStripTriangleLimit),
      hasLoneCorner_(kStripTriangleLimit),
      useCounts_(kStripVertexLimit),
      representative_(kStripVertexLimit),
      order_(kStripVertexLimit),
      incidentStart_(kStripVertexLimit + 1),
      incident_(3 * kStripTriangleLimit),
      incidentCursor_(kStripVertexLimit)
{
}

void StripBuilder::reset()
{
    pointCount_ = 0;
    vertexBase_ = 0;
    triangleCount_ = 0;
}

int StripBuilder::refuse(Console& console, const char* message)
{
    console.write(message);
    console.waitKey();
    return -1;
}

int StripBuilder::checkShape(std::uint32_t vertexCount, std::size_t triangleCount, Console& console)
{
    if (vertexBase_ + std::uint64_t{vertexCount} >= kStripVertexLimit)
        return refuse(console, "too many vertices!\n");
    if (triangleCount >= kStripTriangleLimit)
        return refuse(console, "too many triangles!\n");
    return 0;
}

int StripBuilder::addShape(std::uint32_t vertexCount, std::span<const Vec3> positions,
                           std::span<const StripTriangle> triangles, Console& console)
{
    if (weldAndCheck(vertexCount, positions, triangles, console) < 0)
        return -1;
    prepareWalk(vertexCount);
    std::uint32_t remaining = triangleCount_;
    while (remaining > 0) {
        int consumed = stripRun(console);
        if (consumed < 0)
            return -1;
        remaining -= static_cast<std::uint32_t>(consumed);
    }
    vertexBase_ += vertexCount;
    return 0;
}

int StripBuilder::weldAndCheck(std::uint32_t vertexCount, std::span<const Vec3> positions,
                               std::span<const StripTriangle> triangles, Console& console)
{
    // Limits first, before any working array is touched.
    if (checkShape(vertexCount, triangles.size(), console) < 0)
        return -1;
    // A corner must name a vertex of its own shape: a number past the shape's
    // vertices would make the strip point at another shape's vertices or past
    // the vertex array of the written mesh.
    for (const StripTriangle& t : triangles)
        for (std::uint16_t corner : t)
            if (corner >= vertexCount)
                return refuse(console, "too many triangle points!\n");
    if (!positions.empty() && positions.size() < vertexCount)
        return refuse(console, "too many triangle points!\n");

    triangleCount_ = static_cast<std::uint32_t>(triangles.size());
    std::copy(triangles.begin(), triangles.end(), welded_.begin());
    weld(vertexCount, positions);
    return 0;
}

void StripBuilder::weld(std::uint32_t vertexCount, std::span<const Vec3> positions)
{
    for (std::uint32_t i = 0; i < vertexCount; ++i)
        representative_[i] = static_cast<std::uint16_t>(i);
    if (positions.empty())
        return;

    // Every group of vertices at one place is named by its lowest number: sort
    // the vertex numbers by position (ties by number) and let each group's
    // first member stand for the rest.
    std::uint32_t sortable = 0;
    for (std::uint32_t i = 0; i < vertexCount; ++i)
        if (!hasNaN(positions[i]))
            order_[sortable++] = static_cast<std::uint16_t>(i);
    auto key = [&](std::uint16_t i) {
        const Vec3& v = positions[i];
        return std::make_tuple(weldKey(v[0]), weldKey(v[1]), weldKey(v[2]), i);
    };
    std::sort(order_.begin(), order_.begin() + sortable,
              [&](std::uint16_t a, std::uint16_t b) { return key(a) < key(b); });
    for (std::uint32_t k = 1; k < sortable; ++k) {
        std::uint16_t prev = order_[k - 1];
        std::uint16_t cur = order_[k];
        if (positions[prev] == positions[cur])
            representative_[cur] = representative_[prev];
    }

    for (std::uint32_t t = 0; t < triangleCount_; ++t)
        for (std::uint16_t& corner : welded_[t])
            corner = representative_[corner];
}

void StripBuilder::prepareWalk(std::uint32_t vertexCount)
{
    std::fill_n(useCounts_.begin(), vertexCount, std::uint16_t{0});
    for (std::uint32_t t = 0; t < triangleCount_; ++t)
        for (std::uint16_t corner : welded_[t])
            ++useCounts_[corner];

    std::uint32_t offset = 0;
    for (std::uint32_t v = 0; v < vertexCount; ++v) {
        incidentStart_[v] = offset;
        incidentCursor_[v] = offset;
        offset += useCounts_[v];
    }
    incidentStart_[vertexCount] = offset;
    // Filled in triangle order, so every vertex's list is ascending.
    for (std::uint32_t t = 0; t < triangleCount_; ++t)
        for (std::uint16_t corner : welded_[t])
            incident_[incidentCursor_[corner]++] = static_cast<std::uint16_t>(t);
    for (std::uint32_t v = 0; v < vertexCount; ++v)
        incidentCursor_[v] = incidentStart_[v];

    for (std::uint32_t t = 0; t < triangleCount_; ++t) {
        const StripTriangle& c = welded_[t];
        available_[t] = 1;
        hasLoneCorner_[t] =
            (useCounts_[c[0]] == 1 || useCounts_[c[1]] == 1 || useCounts_[c[2]] == 1) ? 1 : 0;
    }
    firstAvailable_ = 0;
    lastLoneCandidate_ = triangleCount_;
}

bool StripBuilder::append(std::uint16_t point)
{
    if (pointCount_ >= kStripPointCapacity)
        return false;
    points_[pointCount_++] = point;
    return true;
}

std::uint32_t StripBuilder::pickStartTriangle()
{
    // The last available triangle with a corner used only once (a border of
    // the mesh), else the first available one. Triangles only ever become
    // unavailable, so both searches resume where they stopped last time.
    while (lastLoneCandidate_ > 0 &&
           !(available_[lastLoneCandidate_ - 1] && hasLoneCorner_[lastLoneCandidate_ - 1]))
        --lastLoneCandidate_;
    if (lastLoneCandidate_ > 0)
        return lastLoneCandidate_ - 1;
    while (!available_[firstAvailable_])
        ++firstAvailable_;
    return firstAvailable_;
}

int StripBuilder::stripRun(Console& console)
{
    const std::uint32_t start = pickStartTriangle();
    const StripTriangle& s = welded_[start];
    auto lone = [&](std::uint16_t v) { return useCounts_[v] == 1; };

    // Begin on a corner used only once, so the strip opens at the border.
    StripTriangle first = s;
    if (lone(s[1]))
        first = {s[1], s[2], s[0]};
    else if (lone(s[2]))
        first = {s[2], s[0], s[1]};

    // A run after another is joined on by repeating the last point and this
    // run's first point: the triangles in between are degenerate. The join
    // copy already carries its vertex base; everything from `runFrom` on gets
    // this shape's base at the end.
    std::uint32_t runFrom = 0;
    if (pointCount_ > 0) {
        if (!append(points_[pointCount_ - 1]))
            return refuse(console, "too many strip points!\n");
        runFrom = pointCount_;
        if (!append(first[0]))
            return refuse(console, "too many strip points!\n");
    }
    if (!append(first[0]) || !append(first[1]) || !append(first[2]))
        return refuse(console, "too many strip points!\n");
    std::uint16_t& last = points_[pointCount_ - 1];
    std::uint16_t& beforeLast = points_[pointCount_ - 2];
    if (useCounts_[last] < useCounts_[beforeLast])
        std::swap(last, beforeLast);
    available_[start] = 0;

    int consumed = 1;
    for (;;) {
        int grown = growOnce();
        if (grown < 0)
            return refuse(console, "too many strip points!\n");
        if (grown == 0)
            break;
        ++consumed;
    }
    for (std::uint32_t i = runFrom; i < pointCount_; ++i)
        points_[i] = static_cast<std::uint16_t>(points_[i] + vertexBase_);
    return consumed;
}

int StripBuilder::growOnce()
{
    // Every point of the run so far is a raw corner of this shape: a run
    // writes three points before it grows.
    const std::uint16_t y = points_[pointCount_ - 1];
    const std::uint16_t x = points_[pointCount_ - 2];
    const std::uint16_t z = points_[pointCount_ - 3];

    // Each search takes the first available triangle around y, in triangle order.
    std::uint32_t& cursor = incidentCursor_[y];
    const std::uint32_t end = incidentStart_[y + 1u];
    while (cursor < end && !available_[incident_[cursor]])
        ++cursor;

    auto take = [&](std::uint16_t t, std::initializer_list<std::uint16_t> added) {
        available_[t] = 0;
        for (std::uint16_t p : added)
            if (!append(p))
                return -1;
        return 1;
    };

    // Edge x-y: the triangle continues the strip with its third corner.
    for (std::uint32_t k = cursor; k < end; ++k) {
        const std::uint16_t t = incident_[k];
        if (!available_[t])
            continue;
        const auto [p, q, r] = welded_[t];
        if (x == p && y == q) return take(t, {r});
        if (x == q && y == p) return take(t, {r});
        if (x == q && y == r) return take(t, {p});
        if (x == r && y == q) return take(t, {p});
        if (x == r && y == p) return take(t, {q});
        if (x == p && y == r) return take(t, {q});
    }
    // Edge y-z: repeating z turns the strip's winding onto that edge.
    for (std::uint32_t k = cursor; k < end; ++k) {
        const std::uint16_t t = incident_[k];
        if (!available_[t])
            continue;
        const auto [p, q, r] = welded_[t];
        if (y == p && z == q) return take(t, {z, r});
        if (y == q && z == p) return take(t, {z, r});
        if (y == q && z == r) return take(t, {z, p});
        if (y == r && z == q) return take(t, {z, p});
        if (y == r && z == p) return take(t, {z, q});
        if (y == p && z == r) return take(t, {z, q});
    }
    // Shared vertex y only: the whole triangle follows, starting at y.
    if (cursor < end) {
        const std::uint16_t t = incident_[cursor];
        const auto [p, q, r] = welded_[t];
        if (y == p) return take(t, {p, q, r});
        if (y == q) return take(t, {q, r, p});
        return take(t, {r, p, q});
    }
    return 0;
}

} // namespace lw::meshshift::collision
