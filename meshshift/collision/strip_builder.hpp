#pragma once
// The collision strips mesh: the triangles of several shapes turned into one
// triangle strip over one combined vertex array.
//
// Per shape, vertices that lie at the same place are welded (every corner that
// names a later copy is renamed to the lowest vertex number at that place), and
// the welded triangles are walked greedily over shared edges. Each run starts
// at a triangle on the border of the mesh and grows by the first available
// triangle, in triangle order, that continues the strip; runs and shapes are
// joined by repeated points. The tie-breaks are fixed, so a mesh always gives
// the same strip.
//
// Capacities (checked before anything of a shape is stored):
//   vertices of all shapes together   fewer than 8192
//   triangles of one shape            fewer than 4096
//   strip points of all shapes        at most 8192
// Every array is allocated once, for those limits, when the builder is made.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace lw {
class Console;
}

namespace lw::meshshift::collision {

// x, y, z; the same type as the block model's.
using Vec3 = std::array<float, 3>;

// Three corners of a triangle, as vertex numbers of its own shape.
using StripTriangle = std::array<std::uint16_t, 3>;

// A 3 by 3 matrix of 9 floats stored row by row.
using Matrix3 = std::array<float, 9>;

// result[i] = m[3i] v.x + m[3i+1] v.y + m[3i+2] v.z
Vec3 matrixTimesVector(const Matrix3& m, const Vec3& v);
Vec3 operator+(const Vec3& a, const Vec3& b);

inline constexpr std::uint32_t kStripVertexLimit = 8192;   // total must stay below
inline constexpr std::uint32_t kStripTriangleLimit = 4096; // per shape, must stay below
inline constexpr std::uint32_t kStripPointCapacity = 8192; // points in the one strip

class StripBuilder {
public:
    StripBuilder();

    // The limits of one more shape of `vertexCount` vertices and
    // `triangleCount` triangles: 0, or -1 after printing the refusal and
    // waiting for one key. Lets a caller refuse a shape before copying it.
    int checkShape(std::uint32_t vertexCount, std::size_t triangleCount, Console& console);

    // Forgets every shape added so far (the capacity stays).
    void reset();

    // Adds one shape of `vertexCount` vertices. `positions` are the shape's own
    // vertex positions, used only for welding; empty when the shape stores no
    // vertices (then nothing is welded). Returns 0, or -1 after printing the
    // refusal and waiting for one key: too many vertices in all, too many
    // triangles in this shape, a corner that names no vertex of this shape, or
    // a strip longer than its capacity. Nothing is stored for a refused shape
    // before the limits are checked; the points of a partly built shape stay
    // (the caller abandons the whole strip then).
    int addShape(std::uint32_t vertexCount, std::span<const Vec3> positions,
                 std::span<const StripTriangle> triangles, Console& console);

    // The strip so far: points are numbers into the combined vertex array.
    std::span<const std::uint16_t> points() const { return {points_.data(), pointCount_}; }
    // Vertices of the shapes added so far (the next shape's vertex base).
    std::uint32_t vertexBase() const { return vertexBase_; }

private:
    int weldAndCheck(std::uint32_t vertexCount, std::span<const Vec3> positions,
                     std::span<const StripTriangle> triangles, Console& console);
    void weld(std::uint32_t vertexCount, std::span<const Vec3> positions);
    void prepareWalk(std::uint32_t vertexCount);
    int stripRun(Console& console);
    bool append(std::uint16_t point);
    std::uint32_t pickStartTriangle();
    // 1 when a triangle was added, 0 when none continues the run, -1 when the
    // points are full.
    int growOnce();
    int refuse(Console& console, const char* message);

    // Whole-strip state.
    std::vector<std::uint16_t> points_;
    std::uint32_t pointCount_ = 0;
    std::uint32_t vertexBase_ = 0;

    // One shape's working arrays, sized for the limits.
    std::uint32_t triangleCount_ = 0;
    std::vector<StripTriangle> welded_;
    std::vector<std::uint8_t> available_;
    std::vector<std::uint8_t> hasLoneCorner_;
    std::vector<std::uint16_t> useCounts_;
    std::vector<std::uint16_t> representative_;
    std::vector<std::uint16_t> order_;
    // Triangles around each vertex, ascending (offsets into incident_).
    std::vector<std::uint32_t> incidentStart_;
    std::vector<std::uint16_t> incident_;
    // First position in each vertex's incident list that may still be available.
    std::vector<std::uint32_t> incidentCursor_;
    std::uint32_t firstAvailable_ = 0;
    std::uint32_t lastLoneCandidate_ = 0; // one past the last candidate
};

} // namespace lw::meshshift::collision
