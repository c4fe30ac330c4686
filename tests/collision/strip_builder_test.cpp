#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <string>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

#include "common/console/console.hpp"
#include "meshshift/collision/strip_builder.hpp"

namespace lw::meshshift::collision {
namespace {

using Points = std::vector<std::uint16_t>;

std::vector<Vec3> distinctPositions(std::uint32_t n)
{
    std::vector<Vec3> v(n);
    for (std::uint32_t i = 0; i < n; ++i)
        v[i] = {static_cast<float>(i), static_cast<float>(i % 7), static_cast<float>(i % 13)};
    return v;
}

Points pointsOf(const StripBuilder& b) { return {b.points().begin(), b.points().end()}; }

// The triangles a strip describes, as sorted corner triples, without the
// degenerate ones that only join runs.
std::map<std::array<std::uint16_t, 3>, int> stripTriangles(const Points& pts)
{
    std::map<std::array<std::uint16_t, 3>, int> out;
    for (std::size_t i = 0; i + 2 < pts.size(); ++i) {
        std::array<std::uint16_t, 3> t{pts[i], pts[i + 1], pts[i + 2]};
        if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2])
            continue;
        std::sort(t.begin(), t.end());
        ++out[t];
    }
    return out;
}

// Welding as the plain pairwise rule says it: each group of vertices at one
// place is named by its lowest number. Independent of the builder's sorting.
std::vector<StripTriangle> weldPairwise(const std::vector<Vec3>& v, std::vector<StripTriangle> tris)
{
    const std::size_t n = v.size();
    std::vector<bool> kept(n, true);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (!kept[i])
            continue;
        for (std::size_t j = i + 1; j < n; ++j) {
            if (v[i][0] == v[j][0] && v[i][1] == v[j][1] && v[i][2] == v[j][2]) {
                kept[j] = false;
                for (auto& t : tris)
                    for (auto& c : t)
                        if (c == j)
                            c = static_cast<std::uint16_t>(i);
            }
        }
    }
    return tris;
}

// Every (welded) input triangle appears in the strip, and every real strip
// triangle is one of them.
void expectCovers(const Points& pts, const std::vector<StripTriangle>& welded, std::uint16_t base = 0)
{
    std::map<std::array<std::uint16_t, 3>, int> wanted;
    for (StripTriangle t : welded) {
        for (auto& c : t)
            c = static_cast<std::uint16_t>(c + base);
        if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2])
            continue;
        std::sort(t.begin(), t.end());
        ++wanted[t];
    }
    auto got = stripTriangles(pts);
    for (const auto& [t, n] : wanted)
        EXPECT_TRUE(got.count(t)) << "missing triangle " << t[0] << " " << t[1] << " " << t[2];
    for (const auto& [t, n] : got)
        EXPECT_TRUE(wanted.count(t)) << "invented triangle " << t[0] << " " << t[1] << " " << t[2];
}

// The walk in its plain form: every search scans all triangles in order. The
// builder finds the same triangles through per-vertex lists; this checks that
// its shortcuts keep every tie-break.
Points plainStrip(const std::vector<std::pair<std::uint32_t, std::vector<StripTriangle>>>& shapes)
{
    Points pts;
    std::uint32_t base = 0;
    for (const auto& [n, welded] : shapes) {
        std::vector<int> use(n, 0);
        for (const auto& t : welded)
            for (auto c : t)
                ++use[c];
        std::vector<bool> avail(welded.size(), true);
        std::size_t remaining = welded.size();
        while (remaining > 0) {
            std::size_t start = welded.size();
            for (std::size_t t = 0; t < welded.size(); ++t)
                if (avail[t] && start == welded.size())
                    start = t;
            for (std::size_t t = 0; t < welded.size(); ++t)
                if (avail[t] && (use[welded[t][0]] == 1 || use[welded[t][1]] == 1 || use[welded[t][2]] == 1))
                    start = t;
            auto [p, q, r] = welded[start];
            StripTriangle w{p, q, r};
            if (use[q] == 1)
                w = {q, r, p};
            else if (use[r] == 1)
                w = {r, p, q};
            std::size_t from = pts.size();
            if (!pts.empty()) {
                pts.push_back(pts.back());
                from = pts.size();
                pts.push_back(w[0]);
            }
            pts.insert(pts.end(), w.begin(), w.end());
            if (use[pts.back()] < use[pts[pts.size() - 2]])
                std::swap(pts.back(), pts[pts.size() - 2]);
            avail[start] = false;
            --remaining;
            for (;;) {
                std::uint16_t y = pts.back(), x = pts[pts.size() - 2], z = pts[pts.size() - 3];
                bool found = false;
                for (std::size_t t = 0; t < welded.size() && !found; ++t) {
                    if (!avail[t])
                        continue;
                    auto [a, b, c] = welded[t];
                    std::vector<std::uint16_t> add;
                    if (x == a && y == b) add = {c};
                    else if (x == b && y == a) add = {c};
                    else if (x == b && y == c) add = {a};
                    else if (x == c && y == b) add = {a};
                    else if (x == c && y == a) add = {b};
                    else if (x == a && y == c) add = {b};
                    if (!add.empty()) {
                        pts.insert(pts.end(), add.begin(), add.end());
                        avail[t] = false;
                        found = true;
                    }
                }
                for (std::size_t t = 0; t < welded.size() && !found; ++t) {
                    if (!avail[t])
                        continue;
                    auto [a, b, c] = welded[t];
                    std::vector<std::uint16_t> add;
                    if (y == a && z == b) add = {z, c};
                    else if (y == b && z == a) add = {z, c};
                    else if (y == b && z == c) add = {z, a};
                    else if (y == c && z == b) add = {z, a};
                    else if (y == c && z == a) add = {z, b};
                    else if (y == a && z == c) add = {z, b};
                    if (!add.empty()) {
                        pts.insert(pts.end(), add.begin(), add.end());
                        avail[t] = false;
                        found = true;
                    }
                }
                for (std::size_t t = 0; t < welded.size() && !found; ++t) {
                    if (!avail[t])
                        continue;
                    auto [a, b, c] = welded[t];
                    std::vector<std::uint16_t> add;
                    if (y == a) add = {a, b, c};
                    else if (y == b) add = {b, c, a};
                    else if (y == c) add = {c, a, b};
                    if (!add.empty()) {
                        pts.insert(pts.end(), add.begin(), add.end());
                        avail[t] = false;
                        found = true;
                    }
                }
                if (!found)
                    break;
                --remaining;
            }
            for (std::size_t i = from; i < pts.size(); ++i)
                pts[i] = static_cast<std::uint16_t>(pts[i] + base);
        }
        base += n;
    }
    return pts;
}

// Processor time of `f`, so a busy machine does not fail a bound on the work.
template <class F>
double cpuMilliseconds(F&& f)
{
    const std::clock_t start = std::clock();
    f();
    return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

struct Shape {
    std::vector<Vec3> positions;
    std::vector<StripTriangle> triangles;
};

int add(StripBuilder& b, const Shape& s, Console& c)
{
    return b.addShape(static_cast<std::uint32_t>(s.positions.size()), s.positions, s.triangles, c);
}

TEST(StripBuilder, TwoTrianglesSharingAnEdgeGiveFourPoints)
{
    StripBuilder b;
    Console c = Console::capturing();
    Shape s{distinctPositions(4), {{0, 1, 2}, {2, 1, 3}}};
    ASSERT_EQ(add(b, s, c), 0);
    EXPECT_EQ(pointsOf(b), (Points{3, 2, 1, 0}));
    EXPECT_EQ(b.vertexBase(), 4u);
    EXPECT_EQ(c.captured(), "");
}

TEST(StripBuilder, SeparateTrianglesAreJoinedByRepeatedPoints)
{
    StripBuilder b;
    Console c = Console::capturing();
    Shape s{distinctPositions(6), {{0, 1, 2}, {3, 4, 5}}};
    ASSERT_EQ(add(b, s, c), 0);
    EXPECT_EQ(pointsOf(b), (Points{4, 5, 3, 3, 1, 1, 2, 0}));
}

TEST(StripBuilder, StartIsSwappedTowardsTheBusierCorner)
{
    StripBuilder b;
    Console c = Console::capturing();
    Shape s{distinctPositions(6), {{0, 1, 3}, {1, 4, 3}, {1, 2, 4}, {2, 5, 4}}};
    ASSERT_EQ(add(b, s, c), 0);
    EXPECT_EQ(pointsOf(b), (Points{5, 2, 4, 1, 3, 0}));
}

TEST(StripBuilder, LaterShapesJoinOnWithTheirVertexBase)
{
    StripBuilder b;
    Console c = Console::capturing();
    ASSERT_EQ(add(b, {distinctPositions(4), {{0, 1, 2}, {2, 1, 3}}}, c), 0);
    ASSERT_EQ(add(b, {distinctPositions(3), {{0, 1, 2}}}, c), 0);
    EXPECT_EQ(pointsOf(b), (Points{3, 2, 1, 0, 0, 5, 5, 6, 4}));
    EXPECT_EQ(b.vertexBase(), 7u);

    StripBuilder b10;
    Shape ten{distinctPositions(10), {{7, 8, 9}}};
    Shape four{distinctPositions(4), {{0, 1, 2}, {2, 1, 3}}};
    ASSERT_EQ(add(b10, ten, c), 0);
    const std::size_t before = b10.points().size();
    ASSERT_EQ(add(b10, four, c), 0);
    Points all = pointsOf(b10);
    // join copy of the last point, then 3 2 1 0 of the second shape (first twice), raised by 10
    EXPECT_EQ(Points(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
              (Points{all[before - 1], 13, 13, 12, 11, 10}));
}

TEST(StripBuilder, ShapesWithoutTrianglesStillCountTheirVertices)
{
    StripBuilder b;
    Console c = Console::capturing();
    ASSERT_EQ(add(b, {distinctPositions(5), {}}, c), 0);
    ASSERT_EQ(add(b, {distinctPositions(3), {{0, 1, 2}}}, c), 0);
    // The first run of the strip has no join even when it is not the first shape.
    EXPECT_EQ(pointsOf(b), (Points{6, 7, 5}));
}

TEST(StripBuilder, WeldingJoinsTrianglesThatMeetAtCopiedVertices)
{
    StripBuilder b;
    Console c = Console::capturing();
    std::vector<Vec3> pos = distinctPositions(6);
    pos[3] = pos[2];
    pos[4] = pos[1];
    ASSERT_EQ(add(b, {pos, {{0, 1, 2}, {3, 4, 5}}}, c), 0);
    // Same as two triangles sharing the edge 2-1: no join, lowest numbers used.
    EXPECT_EQ(pointsOf(b), (Points{5, 2, 1, 0}));
}

TEST(StripBuilder, WeldingComparesAsFloats)
{
    StripBuilder b;
    Console c = Console::capturing();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // -0 equals +0; a NaN equals nothing, not even another NaN with the same bits.
    std::vector<Vec3> pos{{0, 0, 0}, {1, 0, 0}, {nan, 0, 0}, {-0.0f, 0, 0}, {1, 0, 0}, {nan, 0, 0}};
    ASSERT_EQ(add(b, {pos, {{0, 1, 2}, {3, 4, 5}}}, c), 0);
    for (std::uint16_t p : b.points())
        EXPECT_TRUE(p != 3 && p != 4) << p;
    EXPECT_NE(std::find(b.points().begin(), b.points().end(), 5), b.points().end());
}

TEST(StripBuilder, ShapesWithoutPositionsAreNotWelded)
{
    StripBuilder b;
    Console c = Console::capturing();
    ASSERT_EQ(b.addShape(6, {}, std::vector<StripTriangle>{{0, 1, 2}, {3, 4, 5}}, c), 0);
    EXPECT_EQ(pointsOf(b), (Points{4, 5, 3, 3, 1, 1, 2, 0}));
}

TEST(StripBuilder, TriangleLimitIsCheckedBeforeAnythingIsStored)
{
    Console c = Console::capturing("xy");
    std::vector<Vec3> pos = distinctPositions(3);
    std::vector<StripTriangle> tris(4095, StripTriangle{0, 1, 2});

    StripBuilder ok;
    EXPECT_EQ(ok.addShape(3, pos, tris, c), 0);
    EXPECT_EQ(c.captured(), "");

    tris.push_back({0, 1, 2});
    StripBuilder refused;
    ASSERT_EQ(add(refused, {distinctPositions(4), {{0, 1, 2}, {2, 1, 3}}}, c), 0);
    EXPECT_EQ(refused.addShape(3, pos, tris, c), -1);
    EXPECT_EQ(c.captured(), "too many triangles!\n");
    EXPECT_EQ(c.waits(), 1);
    EXPECT_EQ(pointsOf(refused), (Points{3, 2, 1, 0}));
    EXPECT_EQ(refused.vertexBase(), 4u);
}

TEST(StripBuilder, VertexLimitCountsEveryShapeSoFar)
{
    Console c = Console::capturing();
    StripBuilder b;
    ASSERT_EQ(add(b, {distinctPositions(4000), {{0, 1, 2}}}, c), 0);
    ASSERT_EQ(add(b, {distinctPositions(4191), {{0, 1, 2}}}, c), 0); // 8191 in all
    EXPECT_EQ(b.vertexBase(), 8191u);
    EXPECT_EQ(b.addShape(1, distinctPositions(1), {}, c), -1); // would make 8192
    EXPECT_EQ(c.captured(), "too many vertices!\n");
    EXPECT_EQ(c.waits(), 1);

    Console c2 = Console::capturing();
    StripBuilder single;
    EXPECT_EQ(add(single, {distinctPositions(8192), {{0, 1, 2}}}, c2), -1);
    EXPECT_EQ(c2.captured(), "too many vertices!\n");
    EXPECT_TRUE(single.points().empty());
}

TEST(StripBuilder, CornersMustNameVerticesOfTheirShape)
{
    Console c = Console::capturing();
    StripBuilder b;
    EXPECT_EQ(add(b, {distinctPositions(3), {{0, 1, 3}}}, c), -1);
    EXPECT_EQ(c.captured(), "too many triangle points!\n");
    c.clearCaptured();
    EXPECT_EQ(b.addShape(3, {}, std::vector<StripTriangle>{{0, 1, 8192}}, c), -1);
    EXPECT_EQ(c.captured(), "too many triangle points!\n");
    EXPECT_EQ(c.waits(), 2);
    EXPECT_TRUE(b.points().empty());
}

TEST(StripBuilder, AStripLongerThanItsCapacityIsRefused)
{
    // Separate triangles cost five points each after the first: 2000 of them
    // need 9998 points, more than the 8192 the strip holds.
    Console c = Console::capturing();
    Shape s{distinctPositions(6000), {}};
    for (std::uint16_t i = 0; i < 2000; ++i)
        s.triangles.push_back({static_cast<std::uint16_t>(3 * i), static_cast<std::uint16_t>(3 * i + 1),
                               static_cast<std::uint16_t>(3 * i + 2)});
    StripBuilder b;
    EXPECT_EQ(add(b, s, c), -1);
    EXPECT_EQ(c.captured(), "too many strip points!\n");
    EXPECT_EQ(b.points().size(), kStripPointCapacity);

    // 1637 separate triangles need 3 + 1636 * 5 = 8183 points: they fit.
    s.triangles.resize(1637);
    StripBuilder fits;
    Console c2 = Console::capturing();
    ASSERT_EQ(add(fits, s, c2), 0);
    EXPECT_EQ(fits.points().size(), 8183u);
    expectCovers(pointsOf(fits), s.triangles);
}

// A ladder of quads: rows of two vertices, every vertex stored twice (the copy
// at the end) and the triangles naming either copy, so welding has work to do.
Shape ladder(std::uint32_t quads)
{
    Shape s;
    const std::uint32_t n = 2 * (quads + 1);
    for (std::uint32_t i = 0; i < n; ++i)
        s.positions.push_back({static_cast<float>(i % 2), static_cast<float>(i / 2), 0.0f});
    for (std::uint32_t i = 0; i < n; ++i)
        s.positions.push_back(s.positions[i]);
    for (std::uint32_t q = 0; q < quads; ++q) {
        auto v = [&](std::uint32_t k, bool copy) { return static_cast<std::uint16_t>(k + (copy ? n : 0)); };
        std::uint32_t a = 2 * q, b = a + 1, c = a + 2, d = a + 3;
        s.triangles.push_back({v(a, q % 2 == 1), v(b, false), v(c, false)});
        s.triangles.push_back({v(c, true), v(b, q % 3 == 0), v(d, false)});
    }
    return s;
}

TEST(StripBuilder, LargestShapeIsQuick)
{
    // 4095 triangles over 8191 vertices: a ladder of 2047 quads (4094
    // triangles, 4096 vertices stored twice = 8192 - 1 after dropping the
    // last copy) plus one fan triangle.
    Shape s = ladder(2047);
    s.positions.pop_back();
    s.triangles.push_back({0, 2, 4});
    ASSERT_EQ(s.positions.size(), 8191u);
    ASSERT_EQ(s.triangles.size(), 4095u);

    Console c = Console::capturing();
    StripBuilder b;
    const double ms = cpuMilliseconds([&] { ASSERT_EQ(add(b, s, c), 0); });
    EXPECT_LT(ms, 500.0);
    RecordProperty("cpu_ms", std::to_string(ms));
    std::vector<StripTriangle> welded = weldPairwise(s.positions, s.triangles);
    expectCovers(pointsOf(b), welded);
    EXPECT_EQ(pointsOf(b), plainStrip({{8191u, welded}}));
    // A welded ladder is one run: no repeated points apart from the fan triangle's.
    EXPECT_LT(b.points().size(), 4095u + 2 + 10);
}

TEST(StripBuilder, FanAroundOneVertexIsQuick)
{
    Shape s;
    s.positions.push_back({0, 0, 0});
    for (std::uint32_t i = 0; i < 4096; ++i) {
        float a = static_cast<float>(i) * 0.001f;
        s.positions.push_back({std::cos(a), std::sin(a), 0.0f});
    }
    for (std::uint16_t i = 1; i < 4096; ++i)
        s.triangles.push_back({0, i, static_cast<std::uint16_t>(i + 1)});
    Console c = Console::capturing();
    StripBuilder b;
    const double ms = cpuMilliseconds([&] { ASSERT_EQ(add(b, s, c), 0); });
    EXPECT_LT(ms, 500.0);
    RecordProperty("cpu_ms", std::to_string(ms));
    expectCovers(pointsOf(b), s.triangles);
    EXPECT_EQ(pointsOf(b), plainStrip({{4097u, s.triangles}}));
}

TEST(StripBuilder, RandomMeshesFollowThePlainWalkAndWeldToLowestNumbers)
{
    std::uint32_t state = 12345;
    auto next = [&](std::uint32_t mod) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % mod;
    };
    for (int round = 0; round < 200; ++round) {
        StripBuilder b;
        Console c = Console::capturing();
        std::vector<std::vector<StripTriangle>> welded;
        std::vector<std::uint16_t> bases;
        std::vector<std::vector<Vec3>> positions;
        for (int shape = 0; shape < 3; ++shape) {
            Shape s;
            std::uint32_t n = 3 + next(60);
            for (std::uint32_t i = 0; i < n; ++i) // few distinct places: many welds
                s.positions.push_back({static_cast<float>(next(5)), static_cast<float>(next(5)), 0.0f});
            std::uint32_t t = next(120);
            for (std::uint32_t i = 0; i < t; ++i)
                s.triangles.push_back({static_cast<std::uint16_t>(next(n)), static_cast<std::uint16_t>(next(n)),
                                       static_cast<std::uint16_t>(next(n))});
            bases.push_back(static_cast<std::uint16_t>(b.vertexBase()));
            ASSERT_EQ(add(b, s, c), 0);
            welded.push_back(weldPairwise(s.positions, s.triangles));
            positions.push_back(s.positions);
        }
        Points pts = pointsOf(b);
        std::vector<std::pair<std::uint32_t, std::vector<StripTriangle>>> plain;
        for (std::size_t k = 0; k < welded.size(); ++k)
            plain.emplace_back(static_cast<std::uint32_t>(positions[k].size()), welded[k]);
        EXPECT_EQ(pts, plainStrip(plain)) << "round " << round;
        std::vector<StripTriangle> all;
        for (std::size_t k = 0; k < welded.size(); ++k)
            for (StripTriangle t : welded[k]) {
                for (auto& corner : t)
                    corner = static_cast<std::uint16_t>(corner + bases[k]);
                all.push_back(t);
            }
        expectCovers(pts, all);
        // Every point names the lowest-numbered vertex at its place, in its own shape.
        for (std::uint16_t p : pts) {
            std::size_t k = 0;
            while (k + 1 < bases.size() && p >= bases[k + 1])
                ++k;
            const auto& pos = positions[k];
            std::size_t local = p - bases[k];
            ASSERT_LT(local, pos.size());
            for (std::size_t j = 0; j < local; ++j)
                EXPECT_FALSE(pos[j] == pos[local]) << "point " << p << " is a welded-away copy";
        }
    }
}

TEST(StripBuilder, ResetStartsAnEmptyStrip)
{
    StripBuilder b;
    Console c = Console::capturing();
    ASSERT_EQ(add(b, {distinctPositions(6), {{0, 1, 2}, {3, 4, 5}}}, c), 0);
    b.reset();
    ASSERT_EQ(add(b, {distinctPositions(4), {{0, 1, 2}, {2, 1, 3}}}, c), 0);
    EXPECT_EQ(pointsOf(b), (Points{3, 2, 1, 0}));
    EXPECT_EQ(b.vertexBase(), 4u);
}

TEST(MatrixTimesVector, RowsTimesTheVector)
{
    Matrix3 m{1, 2, 3, 4, 5, 6, 7, 8, 9};
    Vec3 r = matrixTimesVector(m, {1, 10, 100});
    EXPECT_EQ(r, (Vec3{321, 654, 987}));
}

} // namespace
} // namespace lw::meshshift::collision
