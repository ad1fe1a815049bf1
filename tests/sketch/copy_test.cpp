// Corners, offsets, copies, mirror images, patterns, moves and duplicates on small sketches.
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

bool near(std::optional<V2> a, V2 b, double tol = 1e-9) {
    return a && (*a - b).length() <= tol;
}

// Two lines of lengths 10 and `second` meeting at a right angle at (10, 10).
struct RightCorner {
    Sketch s;
    Id corner = 0, along = 0, up = 0;
    explicit RightCorner(double second = 10) {
        corner = s.addPoint({10, 10});
        along = s.addLine(s.addPoint({20, 10}), corner);
        up = s.addLine(corner, s.addPoint({10, 10 + second}));
    }
};

TEST(Corner, FilletAndChamferOfARightAngle) {
    RightCorner k;
    k.s.addConstraint(ck::distance, {k.corner, 0}, 10 * std::sqrt(2.0));
    ASSERT_TRUE(k.s.filletCorner(k.corner, 2));
    EXPECT_FALSE(k.s.pos(k.corner));
    EXPECT_TRUE(near(k.s.pos(k.s.line(k.along)->b), {12, 10}));
    EXPECT_TRUE(near(k.s.pos(k.s.line(k.up)->a), {10, 12}));
    ASSERT_EQ(k.s.arcs.size(), 1u);
    const Curve arc = *k.s.curve(k.s.arcs[0].id);
    EXPECT_NEAR((arc.c - V2{10, 10}).length(), 2 * std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(arc.r, 2, 1e-6);
    EXPECT_NEAR(arc.sweep, pi / 2, 1e-6);  // the short way round
    std::vector<std::string> kinds;
    for (const SConstraint& c : k.s.constraints)
        kinds.push_back(c.kind);  // the distance named the corner point
    EXPECT_EQ(kinds, (std::vector<std::string>{ck::tangent, ck::tangent, ck::radius}));

    RightCorner c;
    ASSERT_TRUE(c.s.chamferCorner(c.corner, 3));
    EXPECT_FALSE(c.s.pos(c.corner));
    ASSERT_EQ(c.s.lines.size(), 3u);
    const Curve cut = *c.s.curve(c.s.lines[2].id);
    EXPECT_NEAR((cut.b - cut.a).length(), 3 * std::sqrt(2.0), 1e-9);
    EXPECT_TRUE(c.s.constraints.empty());
}

TEST(Corner, RefusesSizesTooLargeOrNotNumbersAndCornersThatAreNotTwoLines) {
    RightCorner k(5);
    const Id third = k.s.addPoint({0, 0});
    const Sketch before = k.s;
    EXPECT_FALSE(k.s.filletCorner(k.corner, 6));  // tangent distance 6 is not below 5
    for (double r : {0.0, -1.0, nan, inf})
        EXPECT_FALSE(k.s.filletCorner(k.corner, r) || k.s.chamferCorner(k.corner, r)) << r;
    EXPECT_FALSE(k.s.chamferCorner(k.corner, 5));
    EXPECT_FALSE(k.s.filletCorner(third, 1) || k.s.filletCorner(k.along, 1));
    EXPECT_TRUE(k.s == before);
    k.s.addLine(k.corner, third);
    const Sketch three = k.s;
    EXPECT_FALSE(k.s.filletCorner(k.corner, 1));
    EXPECT_TRUE(k.s == three);
    Sketch straight;
    const Id mid = straight.addPoint({1, 0});
    straight.addLine(straight.addPoint({0, 0}), mid);
    straight.addLine(mid, straight.addPoint({2, 0}));
    EXPECT_FALSE(straight.filletCorner(mid, 0.1));
}

// A corner point that carries a circle, or is a free point, stays.
TEST(Corner, FilletKeepsACornerPointThatCarriesACircleOrIsFree) {
    RightCorner k, f;
    k.s.circles.push_back({k.s.newId(), k.corner, 1, false});
    f.s.freePoints = std::vector<Id>{f.corner};
    for (Sketch* s : {&k.s, &f.s}) {
        ASSERT_TRUE(s->filletCorner(k.corner, 2));
        EXPECT_TRUE(s->pos(k.corner));
        EXPECT_EQ(sketchFault(*s), "");
    }
}

TEST(Offset, ChainsOfLinesKeepTheirSidesAtTheDistance) {
    for (bool reverse : {false, true}) {  // a rectangle grows whichever way it was drawn
        Sketch s;
        const auto sides = addPolygon(s, reverse ? reversed(rect(0, 0, 10, 6)) : rect(0, 0, 10, 6));
        ASSERT_TRUE(s.offsetEntity(sides[1], 1));
        ASSERT_EQ(s.lines.size(), 8u);
        Loop grown;
        for (size_t i = 5; i < s.points.size(); ++i)
            grown.push_back(s.points[i].p);
        EXPECT_NEAR(std::abs(polyArea(grown)), 12 * 8, 1e-9);
        for (V2 p : grown)
            EXPECT_NEAR(std::max(std::abs(p.x - 5) - 6, std::abs(p.y - 3) - 4), 0, 1e-9);
    }
    Sketch s;  // an open L, offset to the left of travel: inside, with a mitred corner
    const Id a = s.addPoint({0, 0}), b = s.addPoint({10, 0}), c = s.addPoint({10, 10});
    const Id first = s.addLine(a, b);
    s.addLine(b, c);
    ASSERT_TRUE(s.offsetEntity(first, 1));
    ASSERT_EQ(s.points.size(), 7u);
    EXPECT_TRUE(near(s.points[4].p, {0, 1}, 1e-12) && near(s.points[5].p, {9, 1}, 1e-12) &&
                near(s.points[6].p, {9, 10}, 1e-12));
    EXPECT_TRUE(s.constraints.empty());
}

TEST(Offset, RefusesDistancesThatMakeTheCopyVanishOrTurnInsideOut) {
    Sketch s;
    const auto sides = addPolygon(s, rect(0, 0, 10, 6));
    const Id a = s.addPoint({20, 0}), b = s.addPoint({22, 0});
    const Id leg = s.addLine(a, b);
    s.addLine(b, s.addPoint({22, 10}));
    const Id c = addCircle(s, {3, 3}, 5), arc = addArc(s, {20, 0}, {22, 0}, {20, 2});
    const Sketch before = s;
    EXPECT_FALSE(s.offsetEntity(sides[0], -3));  // the 6 mm side would vanish
    EXPECT_FALSE(s.offsetEntity(sides[0], -4));  // ... or turn round
    EXPECT_FALSE(s.offsetEntity(leg, 3));        // the 2 mm leg would run backwards
    for (double d : {0.0, 1e-12, nan, inf, 1e300})
        EXPECT_FALSE(s.offsetEntity(sides[0], d)) << d;
    EXPECT_FALSE(s.offsetEntity(c, -5) || s.offsetEntity(arc, -2) || s.offsetEntity(a, 1));
    EXPECT_TRUE(s == before);
    EXPECT_TRUE(s.offsetEntity(sides[0], -2.9));
    // Circles and arcs change radius about the same centre.
    ASSERT_TRUE(s.offsetEntity(c, -4));
    EXPECT_EQ(s.circles.back(), (SCircle{s.circles.back().id, s.circle(c)->c, 1, false}));
    ASSERT_TRUE(s.offsetEntity(arc, 1));
    EXPECT_EQ(s.arcs.back().c, s.arc(arc)->c);
    EXPECT_NEAR(s.curve(s.arcs.back().id)->r, 3, 1e-12);
    EXPECT_NEAR(s.curve(s.arcs.back().id)->sweep, pi / 2, 1e-12);
}

TEST(Copy, PointAtCopiesAndMirrorImagesShareCoincidentPoints) {
    Sketch s;
    const Id p = s.addPoint({1, 1});
    EXPECT_EQ(s.pointAt({1 + 5e-7, 1}), p);
    EXPECT_EQ(s.pointAt({0, 0}), 0);
    EXPECT_EQ(*s.pos(*s.pointAt({1 + 2e-6, 1})), V2(1 + 2e-6, 1));
    EXPECT_EQ(s.points.size(), 3u);
    // The lines of a corner mirrored one after the other share the mirrored corner.
    const Id l1 = s.addLine(s.addPoint({1, 3}), p), l2 = s.addLine(p, s.addPoint({3, 1}));
    const Id axis = s.addLine(0, s.addPoint({0, 5}));  // the y axis, through the origin
    ASSERT_TRUE(s.mirrorEntity(l1, axis) && s.mirrorEntity(l2, axis));
    EXPECT_EQ(s.lines[3].b, s.lines[4].a);
    EXPECT_TRUE(near(s.pos(s.lines[3].b), {-1, 1}));
    const size_t points = s.points.size();  // a curve on the axis maps onto its own points
    ASSERT_TRUE(s.mirrorEntity(s.addLine(0, s.line(axis)->b), axis));
    EXPECT_EQ(s.points.size(), points);
    // A mirrored arc still runs counter-clockwise: the image of its end is its start.
    const Id arc = addArc(s, {10, 10}, {11, 10}, {10, 11});
    ASSERT_TRUE(s.mirrorEntity(arc, addSegment(s, {15, 0}, {15, 20})));
    const SArc m = s.arcs.back();
    EXPECT_TRUE(near(s.pos(m.c), {20, 10}) && near(s.pos(m.s), {20, 11}) &&
                near(s.pos(m.e), {19, 10}));
    EXPECT_NEAR(s.curve(m.id)->sweep, pi / 2, 1e-12);
    // Copies of connected curves stay connected.
    const auto sides = addPolygon(s, rect(0, 0, 2, 1));
    const auto copies = s.copyEntities(sides, false, [](V2 q) { return q + V2{0, 5}; });
    ASSERT_EQ(copies.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(s.line(copies[i])->b, s.line(copies[(i + 1) % 4])->a);
}

// Refusals leave the sketch as it was: no copy of a line whose ends meet (not even its point),
// positions out of reach or not numbers, mirror axes that are not lines or are the curve.
TEST(Copy, RefusalsLeaveNothingBehind) {
    Sketch s;
    const Id dot = addSegment(s, {3, 3}, {3, 3 + 1e-7}), c = addCircle(s, {5, 5}, 1);
    const Sketch before = s;
    EXPECT_FALSE(s.copyEntity(dot, false, [](V2 q) { return q + V2{10, 0}; }));
    EXPECT_FALSE(s.copyEntity(c, false, [](V2 q) { return q * nan; }));
    EXPECT_FALSE(s.pointAt({nan, 0}) || s.pointAt({0, inf}) || s.pointAt({2e9, 0}));
    EXPECT_FALSE(s.mirrorEntity(dot, dot) || s.mirrorEntity(dot, c) ||
                 s.mirrorEntity(s.circle(c)->c, dot));
    EXPECT_FALSE(s.moveEntities({s.circle(c)->c, 999}, {1, 1}) || s.moveEntities({c}, {nan, 0}) ||
                 s.moveEntities({c}, {2e9, 0}));
    EXPECT_TRUE(s == before);
    EXPECT_FALSE(s.duplicated(nan, 0, 0) || s.duplicated(0, 0, inf) || s.duplicated(2e9, 0, 0));
}

TEST(Pattern, CircularAndRectangularCopies) {
    Sketch s;
    const Id c = addCircle(s, {10, 0}, 1);
    ASSERT_TRUE(s.circularPattern(c, 0, 4));
    ASSERT_EQ(s.circles.size(), 4u);
    EXPECT_TRUE(near(s.pos(s.circles[1].c), {0, 10}) && near(s.pos(s.circles[2].c), {-10, 0}) &&
                near(s.pos(s.circles[3].c), {0, -10}));
    const Id l = addSegment(s, {0, 1}, {1, 1});
    ASSERT_TRUE(s.rectPattern(l, 3, 5, 1, 0));
    ASSERT_EQ(s.lines.size(), 3u);
    EXPECT_TRUE(near(s.pos(s.lines[1].a), {5, 1}) && near(s.pos(s.lines[2].a), {10, 1}));
    ASSERT_TRUE(s.rectPattern(l, 2, 5, 2, -3));
    ASSERT_EQ(s.lines.size(), 6u);
    EXPECT_TRUE(near(s.pos(s.lines[3].a), {0, -2}));  // i = 0, j = 1 comes first
    EXPECT_TRUE(near(s.pos(s.lines[5].b), {6, -2}));
}

// Patterns are all or nothing, of at most maxPatternInstances instances, so that a huge count
// can neither freeze the editor nor flood the sketch.
TEST(Pattern, RefusesHugeNegativeAndDegenerateGridsButMakesTheLargestAllowedInFull) {
    Sketch s;
    const Id l = addSegment(s, {0, 1}, {1, 1});
    const Sketch before = s;
    for (int n : {1, -4, 1000000})
        EXPECT_FALSE(s.circularPattern(l, 0, n)) << n;
    EXPECT_FALSE(s.circularPattern(l, 999, 4));           // no such centre
    EXPECT_FALSE(s.circularPattern(s.lines[0].a, 0, 4));  // a point is not a curve
    EXPECT_FALSE(s.rectPattern(l, 1000, 2, 1000, 2));
    EXPECT_FALSE(s.rectPattern(l, 65536, 2, 65536, 2));  // the product overflows an int
    EXPECT_FALSE(s.rectPattern(l, -2, 2, -3, 2));        // a positive product of no copies
    EXPECT_FALSE(s.rectPattern(l, 1, 2, 1, 2));
    EXPECT_FALSE(s.rectPattern(l, 3, 0, 1, 2));  // copies stacked on the original
    EXPECT_FALSE(s.rectPattern(l, 3, nan, 1, 2) || s.rectPattern(l, 3, 1e300, 1, 2));
    EXPECT_FALSE(s.rectPattern(l, 3, 6e8, 1, 0));  // the last copy would be out of reach
    EXPECT_TRUE(s == before);

    const int side = static_cast<int>(std::sqrt(double(Sketch::maxPatternInstances)));
    ASSERT_EQ(side * side, Sketch::maxPatternInstances);
    const Id c = addCircle(s, {0, 0}, 0.25);
    EXPECT_FALSE(s.rectPattern(c, side + 1, 1, side, 1));
    ASSERT_TRUE(s.rectPattern(c, side, 1, side, 1));
    EXPECT_EQ(s.circles.size(), size_t(side * side));
    EXPECT_EQ(sketchFault(s), "");
}

TEST(Move, ConnectedCurvesMoveButNotFixedPointsAndDistancesToUnmovedPointsGo) {
    Sketch s;
    const auto sides = addPolygon(s, rect(0, 0, 4, 3));
    s.lines[0].a = s.lines[3].b = 0;  // the rectangle's first corner is the origin
    s.removeOrphans();
    const Id touching = s.addLine(0, s.addPoint({-2, -2}));
    const Id arc = addArc(s, {10, 10}, {11, 10}, {10, 11});
    s.addLine(s.arc(arc)->s, s.line(sides[1])->b);
    const auto comp = s.connectedComponent(sides[2]);
    EXPECT_EQ(comp.size(), 6u);  // four sides, the bridge and the arc, but not across the origin
    EXPECT_EQ(std::count(comp.begin(), comp.end(), touching), 0);
    EXPECT_EQ(comp.back(), arc);
    EXPECT_TRUE(s.connectedComponent(0).empty());

    const Id l = addSegment(s, {1, 0}, {2, 0});
    const Id a = s.line(l)->a, b = s.line(l)->b, other = s.addPoint({5, 5});
    s.points[*s.pointIndex(a)].fixed = true;
    s.addConstraint(ck::distance, {b, other}, 3);
    s.addConstraint(ck::distance, {a, b}, 1);
    ASSERT_TRUE(s.moveEntities({l}, {0, 2}));
    EXPECT_EQ(*s.pos(a), V2(1, 0));
    EXPECT_EQ(*s.pos(b), V2(2, 2));
    ASSERT_EQ(s.constraints.size(), 1u);
    EXPECT_EQ(s.constraints[0].refs, (std::vector<Id>{a, b}));
}

TEST(Duplicated, MovesThePlaneAndThePointsButNotTheOrigin) {
    Sketch s(SketchPlane::xz());
    const Id l = addSegment(s, {1, 2}, {3, 4});
    s.addConstraint(ck::horizontal, {l});
    const auto d = s.duplicated(10, 20, 5);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->plane.o, V3(0, 5, 0));
    EXPECT_EQ(*d->pos(0), V2(0, 0));
    EXPECT_EQ(*d->pos(s.line(l)->a), V2(11, 22));
    EXPECT_TRUE(d->lines == s.lines && d->constraints == s.constraints && d->nextId == s.nextId);
}

}  // namespace
}  // namespace ivo
