// Copies, mirror images, patterns, connected curves, moves and whole-sketch duplicates.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "support/shapes.h"
#include "support/sketch_builder.h"
#include "support/sketch_invariants.h"

namespace ivo {
namespace {

using namespace ivo::testing;
constexpr double pi = std::numbers::pi;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

bool near(V2 a, V2 b) {
    return (a - b).length() <= 1e-9;
}

TEST(PointAt, FindsThePointWithinAMicrometreOrAddsOne) {
    Sketch s;
    const Id p = s.addPoint({1, 1});
    EXPECT_EQ(s.pointAt({1 + 5e-7, 1}), p);
    EXPECT_EQ(s.pointAt({0, 0}), 0);
    const Id fresh = *s.pointAt({1 + 2e-6, 1});
    EXPECT_NE(fresh, p);
    EXPECT_EQ(*s.pos(fresh), (V2{1 + 2e-6, 1}));
    const Sketch before = s;
    EXPECT_FALSE(s.pointAt({nan, 0}));
    EXPECT_FALSE(s.pointAt({0, inf}));
    EXPECT_FALSE(s.pointAt({2e9, 0}));
    EXPECT_TRUE(s == before);
}

TEST(Mirror, AnArcStaysCounterClockwiseBetweenTheMirroredEnds) {
    Sketch s;
    const Id arc = addArc(s, {0, 10}, {1, 10}, {0, 11});  // a quarter turn, radius 1
    const Id axis = addSegment(s, {5, 0}, {5, 20});
    ASSERT_TRUE(s.mirrorEntity(arc, axis));
    ASSERT_EQ(s.arcs.size(), 2u);
    const SArc m = s.arcs[1];
    EXPECT_TRUE(near(*s.pos(m.c), {10, 10}));
    EXPECT_TRUE(near(*s.pos(m.s), {10, 11}));  // the image of the end
    EXPECT_TRUE(near(*s.pos(m.e), {9, 10}));
    EXPECT_NEAR(s.curve(m.id)->sweep, pi / 2, 1e-12);
}

TEST(Mirror, TheLinesOfACornerShareTheMirroredCorner) {
    Sketch s;
    const Id corner = s.addPoint({1, 1});
    const Id l1 = s.addLine(s.addPoint({1, 3}), corner), l2 = s.addLine(corner, s.addPoint({3, 1}));
    const Id axis = s.addLine(0, s.addPoint({0, 5}));  // the y axis, through the origin
    ASSERT_TRUE(s.mirrorEntity(l1, axis));
    ASSERT_TRUE(s.mirrorEntity(l2, axis));
    const SLine m1 = *s.line(s.lines[3].id), m2 = *s.line(s.lines[4].id);
    EXPECT_EQ(m1.b, m2.a);
    EXPECT_TRUE(near(*s.pos(m1.b), {-1, 1}));
    // A curve on the axis maps onto the axis points themselves.
    const size_t points = s.points.size();
    ASSERT_TRUE(s.mirrorEntity(s.addLine(0, s.line(axis)->b), axis));
    EXPECT_EQ(s.points.size(), points);
}

TEST(Mirror, RefusesAnAxisThatIsNotALineOrIsTheCurveItself) {
    Sketch s;
    const Id l = addSegment(s, {1, 1}, {2, 2}), c = addCircle(s, {5, 5}, 1);
    const Sketch before = s;
    EXPECT_FALSE(s.mirrorEntity(l, l));
    EXPECT_FALSE(s.mirrorEntity(l, c));
    EXPECT_FALSE(s.mirrorEntity(s.line(l)->a, l));  // a point is not a curve
    EXPECT_TRUE(s == before);
}

TEST(Copy, ALineWhoseEndsMeetLeavesNoPointBehind) {
    Sketch s;
    const Id dot = addSegment(s, {3, 3}, {3, 3 + 1e-7});
    const Sketch before = s;
    EXPECT_FALSE(s.copyEntity(dot, false, [](V2 q) { return q + V2{10, 0}; }));
    EXPECT_FALSE(s.copyEntity(dot, false, [](V2 q) { return q * nan; }));
    EXPECT_TRUE(s == before);
    // Copies of connected curves stay connected.
    const auto sides = addPolygon(s, rect(0, 0, 2, 1));
    const auto copies = s.copyEntities(sides, false, [](V2 q) { return q + V2{0, 5}; });
    ASSERT_EQ(copies.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(s.line(copies[i])->b, s.line(copies[(i + 1) % 4])->a);
}

TEST(CircularPattern, AddsCopiesTurnedAboutTheCentre) {
    Sketch s;
    const Id c = addCircle(s, {10, 0}, 1);
    ASSERT_TRUE(s.circularPattern(c, 0, 4));
    ASSERT_EQ(s.circles.size(), 4u);
    const V2 expected[] = {{0, 10}, {-10, 0}, {0, -10}};
    for (int k = 0; k < 3; ++k)
        EXPECT_LT((*s.pos(s.circles[k + 1].c) - expected[k]).length(), 1e-12) << k;

    const Sketch before = s;
    EXPECT_FALSE(s.circularPattern(c, 0, 1));
    EXPECT_FALSE(s.circularPattern(c, 0, -4));
    EXPECT_FALSE(s.circularPattern(c, 0, 1000000));
    EXPECT_FALSE(s.circularPattern(c, 999, 4));             // no such centre
    EXPECT_FALSE(s.circularPattern(s.circles[0].c, 0, 4));  // a point is not a curve
    EXPECT_TRUE(s == before);
}

TEST(RectPattern, AddsCopiesAlongRowsAndColumns) {
    Sketch s;
    const Id l = addSegment(s, {0, 1}, {1, 1});
    ASSERT_TRUE(s.rectPattern(l, 3, 5, 1, 0));
    ASSERT_EQ(s.lines.size(), 3u);
    EXPECT_TRUE(near(*s.pos(s.lines[1].a), {5, 1}));
    EXPECT_TRUE(near(*s.pos(s.lines[2].a), {10, 1}));

    ASSERT_TRUE(s.rectPattern(l, 2, 5, 2, -3));
    ASSERT_EQ(s.lines.size(), 6u);
    EXPECT_TRUE(near(*s.pos(s.lines[3].a), {0, -2}));  // i = 0, j = 1 comes first
    EXPECT_TRUE(near(*s.pos(s.lines[5].b), {6, -2}));
}

TEST(RectPattern, RefusesHugeNegativeAndDegenerateGridsWithoutTouchingTheSketch) {
    Sketch s;
    const Id l = addSegment(s, {0, 1}, {1, 1});
    const Sketch before = s;
    EXPECT_FALSE(s.rectPattern(l, 1000, 2, 1000, 2));
    EXPECT_FALSE(s.rectPattern(l, 65536, 2, 65536, 2));  // the product overflows an int
    EXPECT_FALSE(s.rectPattern(l, -2, 2, -3, 2));        // a positive product of no copies
    EXPECT_FALSE(s.rectPattern(l, 1, 2, 1, 2));
    EXPECT_FALSE(s.rectPattern(l, 3, 0, 1, 2));  // copies stacked on the original
    EXPECT_FALSE(s.rectPattern(l, 3, nan, 1, 2));
    EXPECT_FALSE(s.rectPattern(l, 3, 1e300, 1, 2));
    // The last copy would land out of reach: none is made.
    EXPECT_FALSE(s.rectPattern(l, 3, 6e8, 1, 0));
    EXPECT_TRUE(s == before);
}

TEST(RectPattern, TheLargestAllowedGridIsMadeInFull) {
    Sketch s;
    const Id c = addCircle(s, {0, 0}, 0.25);
    const int side = static_cast<int>(std::sqrt(double(Sketch::maxPatternInstances)));
    ASSERT_EQ(side * side, Sketch::maxPatternInstances);
    EXPECT_FALSE(s.rectPattern(c, side + 1, 1, side, 1));
    ASSERT_TRUE(s.rectPattern(c, side, 1, side, 1));
    EXPECT_EQ(s.circles.size(), size_t(side * side));
    EXPECT_EQ(sketchFault(s), "");
}

TEST(ConnectedComponent, FollowsSharedPointsButNotTheOrigin) {
    Sketch s;
    const auto sides = addPolygon(s, rect(0, 0, 4, 3));
    s.lines[0].a = 0;  // the rectangle's first corner is the origin
    s.lines[3].b = 0;
    s.removeOrphans();
    const Id touching = s.addLine(0, s.addPoint({-2, -2}));
    const Id arc = addArc(s, {10, 10}, {11, 10}, {10, 11});
    s.addLine(s.arc(arc)->s, s.line(sides[1])->b);
    auto comp = s.connectedComponent(sides[2]);
    EXPECT_EQ(comp.size(), 6u);  // four sides, the bridge and the arc
    EXPECT_EQ(std::count(comp.begin(), comp.end(), touching), 0);
    EXPECT_EQ(comp.back(), arc);
    EXPECT_EQ(s.connectedComponent(touching), std::vector<Id>{touching});
    EXPECT_TRUE(s.connectedComponent(0).empty());
}

TEST(Move, DropsDistancesToUnmovedPointsAndLeavesFixedPoints) {
    Sketch s;
    const Id l = addSegment(s, {1, 0}, {2, 0});
    const Id a = s.line(l)->a, b = s.line(l)->b;
    const Id other = s.addPoint({5, 5});
    s.points[*s.pointIndex(a)].fixed = true;
    s.addConstraint(ck::distance, {b, other}, 3);
    s.addConstraint(ck::distance, {a, b}, 1);
    ASSERT_TRUE(s.moveEntities({l}, {0, 2}));
    EXPECT_EQ(*s.pos(a), (V2{1, 0}));
    EXPECT_EQ(*s.pos(b), (V2{2, 2}));
    ASSERT_EQ(s.constraints.size(), 1u);
    EXPECT_EQ(s.constraints[0].refs, (std::vector<Id>{a, b}));

    const Sketch before = s;
    EXPECT_FALSE(s.moveEntities({other, 999}, {1, 1}));
    EXPECT_FALSE(s.moveEntities({l}, {nan, 0}));
    EXPECT_FALSE(s.moveEntities({l}, {2e9, 0}));
    EXPECT_TRUE(s == before);
}

TEST(Duplicated, MovesThePlaneAndThePointsButNotTheOrigin) {
    Sketch s(SketchPlane::xz());
    const Id l = addSegment(s, {1, 2}, {3, 4});
    s.addConstraint(ck::horizontal, {l});
    const auto d = s.duplicated(10, 20, 5);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->plane.o, (V3{0, 5, 0}));
    EXPECT_EQ(*d->pos(0), (V2{0, 0}));
    EXPECT_EQ(*d->pos(s.line(l)->a), (V2{11, 22}));
    EXPECT_EQ(d->lines, s.lines);
    EXPECT_EQ(d->constraints, s.constraints);
    EXPECT_EQ(d->nextId, s.nextId);
    EXPECT_FALSE(s.duplicated(nan, 0, 0));
    EXPECT_FALSE(s.duplicated(0, 0, inf));
}

}  // namespace
}  // namespace ivo
