// The strip walk on small meshes whose strips were worked out by hand, and
// its capacities.
#include <gtest/gtest.h>

#include <cstdint>
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

struct Shape {
    std::vector<Vec3> positions;
    std::vector<StripTriangle> triangles;
};

int add(StripBuilder& b, const Shape& s, Console& c)
{
    return b.addShape(static_cast<std::uint32_t>(s.positions.size()), s.positions, s.triangles, c);
}

TEST(StripBuilder, HandWorkedStrips)
{
    std::vector<Vec3> welded = distinctPositions(6);
    welded[3] = welded[2];
    welded[4] = welded[1];
    struct Case {
        const char* name;
        std::vector<Shape> shapes;
        Points points;
    };
    const Case cases[] = {
        {"two triangles sharing an edge", {{distinctPositions(4), {{0, 1, 2}, {2, 1, 3}}}}, {3, 2, 1, 0}},
        {"separate triangles joined by repeated points", {{distinctPositions(6), {{0, 1, 2}, {3, 4, 5}}}},
         {4, 5, 3, 3, 1, 1, 2, 0}},
        {"start swapped towards the busier corner",
         {{distinctPositions(6), {{0, 1, 3}, {1, 4, 3}, {1, 2, 4}, {2, 5, 4}}}}, {5, 2, 4, 1, 3, 0}},
        {"a later shape joins on above its vertex base",
         {{distinctPositions(4), {{0, 1, 2}, {2, 1, 3}}}, {distinctPositions(3), {{0, 1, 2}}}},
         {3, 2, 1, 0, 0, 5, 5, 6, 4}},
        {"a shape without triangles still counts its vertices",
         {{distinctPositions(5), {}}, {distinctPositions(3), {{0, 1, 2}}}}, {6, 7, 5}},
        {"copies at one place weld to the lowest number", {{welded, {{0, 1, 2}, {3, 4, 5}}}}, {5, 2, 1, 0}},
    };
    for (const Case& c : cases) {
        StripBuilder b;
        Console console = Console::capturing();
        for (const Shape& s : c.shapes)
            ASSERT_EQ(add(b, s, console), 0) << c.name;
        EXPECT_EQ(Points(b.points().begin(), b.points().end()), c.points) << c.name;
        EXPECT_EQ(console.captured(), "") << c.name;
    }
}

TEST(StripBuilder, LimitsAreCheckedBeforeAnythingIsStored)
{
    std::vector<StripTriangle> many(4096, StripTriangle{0, 1, 2});
    Shape separate{distinctPositions(6000), {}};
    for (std::uint16_t i = 0; i < 2000; ++i) // 3 + 1999 * 5 points: more than 8192
        separate.triangles.push_back({static_cast<std::uint16_t>(3 * i), static_cast<std::uint16_t>(3 * i + 1),
                                      static_cast<std::uint16_t>(3 * i + 2)});
    struct Case {
        const char* name;
        std::vector<Shape> shapes; // the last one is refused
        const char* message;
    };
    const Case cases[] = {
        {"4096 triangles in one shape", {{distinctPositions(3), many}}, "too many triangles!\n"},
        {"8192 vertices in all", {{distinctPositions(8191), {}}, {distinctPositions(1), {}}}, "too many vertices!\n"},
        {"a corner past the shape", {{distinctPositions(3), {{0, 1, 3}}}}, "too many triangle points!\n"},
        {"a strip past its capacity", {separate}, "too many strip points!\n"},
    };
    for (const Case& c : cases) {
        StripBuilder b;
        Console console = Console::capturing("x");
        for (std::size_t i = 0; i + 1 < c.shapes.size(); ++i)
            ASSERT_EQ(add(b, c.shapes[i], console), 0) << c.name;
        EXPECT_EQ(add(b, c.shapes.back(), console), -1) << c.name;
        EXPECT_EQ(console.captured(), c.message) << c.name;
        EXPECT_EQ(console.waits(), 1) << c.name;
    }
    // One triangle fewer than the limits is taken.
    StripBuilder b;
    Console console = Console::capturing();
    many.pop_back();
    EXPECT_EQ(add(b, {distinctPositions(3), many}, console), 0);
}

} // namespace
} // namespace lw::meshshift::collision
