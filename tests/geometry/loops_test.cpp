#include "geometry/loops.h"

#include <gtest/gtest.h>

#include "support/shapes.h"

namespace ivo {
namespace {

using testing::rect;
using testing::reversed;

TEST(Loops, TolerancesOfVectorsAndBoxes) {
    EXPECT_EQ(V2(3, 4).normalized(), V2(0.6, 0.8));
    EXPECT_EQ(V2(1e-13, 0).normalized(), V2());
    EXPECT_EQ(V3(1e-13, 0, 0).normalized(), V3());
    // Boxes touching or less than 1e-6 apart overlap.
    Box3 a, b, c;
    for (V3 p : {V3{0, 0, 0}, V3{1, 1, 1}})
        a.add(p);
    for (V3 p : {V3{1 + 5e-7, 0, 0}, V3{2, 1, 1}})
        b.add(p);
    for (V3 p : {V3{0, 0, 1 + 1e-5}, V3{1, 1, 2}})
        c.add(p);
    EXPECT_TRUE(a.overlaps(b));
    EXPECT_FALSE(a.overlaps(c));
    EXPECT_FALSE(c.overlaps(a));
}

TEST(Loops, AreaContainmentAndCleaning) {
    EXPECT_DOUBLE_EQ(polyArea(reversed(rect(0, 0, 1, 1))), -1);
    EXPECT_EQ(polyArea({{0, 0}, {1, 1}}), 0);
    // Holes run clockwise and come off; a degenerate two-point "hole" does not count.
    const Region r{rect(0, 0, 10, 10), {reversed(rect(4, 4, 6, 6)), {{1, 1}, {2, 2}}}};
    EXPECT_DOUBLE_EQ(r.area(), 96);
    EXPECT_TRUE(r.contains({1, 1.5}));
    EXPECT_FALSE(r.contains({5, 5}));
    EXPECT_FALSE(r.contains({11, 5}));
    EXPECT_FALSE(pointInPolygon({0.5, 0.5}, {{0, 0}, {1, 1}}));
    EXPECT_EQ(cleanLoop({{0, 0}, {0, 0}, {1, 0}, {1, 1}, {0, 0}}), (Loop{{0, 0}, {1, 0}, {1, 1}}));
    EXPECT_EQ(cleanLoop({{0, 0}, {1e-10, 0}, {1, 0}, {1, 1}}).size(), 3u);
    EXPECT_EQ(cleanLoop({{0, 0}, {1e-10, 0}}).size(), 1u);
    // The interior point of a U lies in it, whichever way the U runs.
    const Loop u{{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
    EXPECT_TRUE(pointInPolygon(interiorPoint(u), u));
    EXPECT_TRUE(pointInPolygon(interiorPoint(reversed(u)), u));
    EXPECT_EQ(interiorPoint({{2, 3}, {4, 6}}), V2(2, 3));
    EXPECT_EQ(interiorPoint({}), V2());
}

TEST(Loops, OffsetMovesLeftWithMitreLimit) {
    const Loop in = offsetLoop(rect(0, 0, 1, 1), 0.1);
    const Loop want = rect(0.1, 0.1, 0.9, 0.9);
    ASSERT_EQ(in.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(in[i].x, want[i].x, 1e-12) << i;
        EXPECT_NEAR(in[i].y, want[i].y, 1e-12) << i;
    }
    // A clockwise loop grows.
    EXPECT_NEAR(polyArea(offsetLoop(reversed(rect(0, 0, 1, 1)), 0.1)), -1.44, 1e-12);
    // A spike turning back on itself moves off its incoming edge.
    EXPECT_EQ(offsetLoop({{0, 0}, {2, 0}, {0, 0}}, 0.5)[1], V2(2, 0.5));
    // A very sharp corner is capped at exactly 4·|d|.
    const Loop sharp{{0, 0}, {10, 0.01}, {0, 0.02}};
    EXPECT_NEAR((offsetLoop(sharp, 0.1)[1] - sharp[1]).length(), 0.4, 1e-12);
    EXPECT_EQ(offsetLoop(sharp, 1e-13), sharp);
}

}  // namespace
}  // namespace ivo
