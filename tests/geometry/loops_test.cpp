#include "geometry/loops.h"

#include <gtest/gtest.h>

#include "support/shapes.h"

namespace ivo {
namespace {

using testing::rect;
using testing::reversed;

TEST(Vectors, NormalizeFallsBackToZeroBelowTolerance) {
    EXPECT_EQ(V2(3, 4).normalized(), V2(0.6, 0.8));
    EXPECT_EQ(V2(1e-13, 0).normalized(), V2());
    EXPECT_EQ(V3(1e-13, 0, 0).normalized(), V3());
    EXPECT_EQ(V3(1, 0, 0).cross({0, 1, 0}), V3(0, 0, 1));
    EXPECT_GT(V2(1, 0).cross({0, 1}), 0);  // counter-clockwise is positive
    EXPECT_EQ(V2(1, 2).perpLeft(), V2(-2, 1));
}

TEST(Frames, LiftAlongEachAxis) {
    const Frame f{{1, 2, 3}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
    EXPECT_EQ(f.p({2, 3}, 4), V3(5, 4, 6));
}

TEST(Box, EmptyUntilAPointIsAdded) {
    Box3 b;
    EXPECT_TRUE(b.isEmpty());
    b.add({1, 2, 3});
    EXPECT_FALSE(b.isEmpty());
    EXPECT_EQ(b.radius(), 0);
    EXPECT_EQ(b.center(), V3(1, 2, 3));
}

TEST(Box, OverlapToleratesTouchingAndTinyGaps) {
    Box3 a, b, c, d;
    a.add({0, 0, 0});
    a.add({1, 1, 1});
    b.add({1, 0, 0});
    b.add({2, 1, 1});
    c.add({1 + 5e-7, 0, 0});
    c.add({2, 1, 1});
    d.add({0, 0, 1 + 1e-5});
    d.add({1, 1, 2});
    EXPECT_TRUE(a.overlaps(b));
    EXPECT_TRUE(a.overlaps(c));
    EXPECT_FALSE(a.overlaps(d));
    EXPECT_FALSE(d.overlaps(a));
}

TEST(Loops, SignedAreaFollowsOrientation) {
    EXPECT_DOUBLE_EQ(polyArea(rect(0, 0, 1, 1)), 1);
    EXPECT_DOUBLE_EQ(polyArea(reversed(rect(0, 0, 1, 1))), -1);
    EXPECT_EQ(polyArea({{0, 0}, {1, 1}}), 0);
    const Region r{rect(0, 0, 10, 10), {reversed(rect(4, 4, 6, 6))}};
    EXPECT_DOUBLE_EQ(r.area(), 96);
}

TEST(Loops, RegionContainmentExcludesHolesButIgnoresDegenerateOnes) {
    Region r{rect(0, 0, 10, 10), {reversed(rect(4, 4, 6, 6)), {{1, 1}, {2, 2}}}};
    EXPECT_TRUE(r.contains({1, 1.5}));  // inside the 2-point "hole", which does not count
    EXPECT_FALSE(r.contains({5, 5}));
    EXPECT_FALSE(r.contains({11, 5}));
    EXPECT_FALSE(pointInPolygon({0.5, 0.5}, {{0, 0}, {1, 1}}));
}

TEST(Loops, CleanDropsNearDuplicatesAndClosingRepeat) {
    const Loop l{{0, 0}, {0, 0}, {1, 0}, {1, 1}, {0, 0}};
    EXPECT_EQ(cleanLoop(l), (Loop{{0, 0}, {1, 0}, {1, 1}}));
    EXPECT_EQ(cleanLoop({{0, 0}, {1e-10, 0}, {1, 0}, {1, 1}}).size(), 3u);
    EXPECT_EQ(cleanLoop({{0, 0}, {1e-10, 0}}).size(), 1u);
}

TEST(Loops, OffsetMovesLeftWithMitreLimit) {
    const Loop in = offsetLoop(rect(0, 0, 1, 1), 0.1);
    const Loop expect = rect(0.1, 0.1, 0.9, 0.9);
    ASSERT_EQ(in.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(in[i].x, expect[i].x, 1e-12);
        EXPECT_NEAR(in[i].y, expect[i].y, 1e-12);
    }
    // A clockwise loop grows.
    EXPECT_NEAR(polyArea(offsetLoop(reversed(rect(0, 0, 1, 1)), 0.1)), -1.44, 1e-12);
    // A spike turning back on itself moves off its incoming edge.
    const Loop spike{{0, 0}, {2, 0}, {0, 0.0}};
    EXPECT_EQ(offsetLoop(spike, 0.5)[1], V2(2, 0.5));
    // A very sharp corner is capped at exactly 4·|d|.
    const Loop sharp{{0, 0}, {10, 0.01}, {0, 0.02}};
    const V2 moved = offsetLoop(sharp, 0.1)[1] - sharp[1];
    EXPECT_NEAR(moved.length(), 0.4, 1e-12);
    EXPECT_EQ(offsetLoop(sharp, 1e-13), sharp);
}

TEST(Loops, InteriorPointLiesInsideEvenForConcaveLoops) {
    const Loop u{{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
    EXPECT_TRUE(pointInPolygon(interiorPoint(u), u));
    EXPECT_TRUE(pointInPolygon(interiorPoint(reversed(u)), u));
    EXPECT_EQ(interiorPoint({{2, 3}, {4, 6}}), V2(2, 3));
    EXPECT_EQ(interiorPoint({}), V2());
}

}  // namespace
}  // namespace ivo
