#include "sketch/curves.h"

#include <gtest/gtest.h>

#include <numbers>

#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;
constexpr double pi = std::numbers::pi;

void expectNear(V2 a, V2 b, double tol = 1e-12) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
}

TEST(Curve, ShapesComeFromThePointsAndMissingPointsSitAtTheOrigin) {
    Sketch s;
    const Id line = addSegment(s, {1, 2}, {3, 4});
    const Id circle = addCircle(s, {5, 5}, 2);
    const Id quarter = addArc(s, {1, 1}, {3, 1}, {1, 4});
    const Id orphan = s.newId();
    s.lines.push_back({orphan, 999, s.points[1].id});
    EXPECT_EQ(s.curve(line), Curve::line({1, 2}, {3, 4}));
    EXPECT_EQ(s.curve(circle), Curve::circle({5, 5}, 2));
    const Curve a = *s.curve(quarter);
    EXPECT_EQ(a.kind, Curve::Kind::arc);
    EXPECT_EQ(a.r, 2);  // |start − centre|; the end point's distance does not count
    EXPECT_NEAR(a.a0, 0, 1e-15);
    EXPECT_NEAR(a.sweep, pi / 2, 1e-15);
    EXPECT_EQ(s.curve(orphan), Curve::line({0, 0}, {1, 2}));
    EXPECT_FALSE(s.curve(s.points[1].id));  // a point is not a curve
    EXPECT_FALSE(s.curve(12345));
}

TEST(Curve, ArcSweepsRunCounterClockwiseAndAFullTurnWhenTheEndsShareADirection) {
    Sketch s;
    const Id threeQuarters = addArc(s, {0, 0}, {0, 1}, {1, 0});
    EXPECT_NEAR(s.curve(threeQuarters)->sweep, 3 * pi / 2, 1e-12);
    const Id full = addArc(s, {0, 0}, {1, 0}, {2, 0});
    EXPECT_EQ(s.curve(full)->sweep, 2 * pi);
    const Id same = addArc(s, {0, 0}, {1, 1}, {1, 1});
    EXPECT_EQ(s.curve(same)->sweep, 2 * pi);
}

TEST(Polylines, ArcPointsEndExactlyOnTheEndPoints) {
    Sketch s;
    const V2 start{std::cos(0.3) * 2, std::sin(0.3) * 2};
    const V2 end{std::cos(2.0) * 2, std::sin(2.0) * 2};
    const Id id = addArc(s, {0, 0}, start, end);
    const auto pts = s.arcPoints(*s.arc(id), 64);
    ASSERT_EQ(pts.size(), 19u);  // ⌈1.7 / 2π · 64⌉ = 18 segments
    EXPECT_EQ(pts.front(), start);
    EXPECT_EQ(pts.back(), end);
    for (V2 p : pts)
        EXPECT_NEAR(p.length(), 2, 1e-12);
    expectNear(pts[9], V2{std::cos(0.3 + 1.7 * 9 / 18), std::sin(0.3 + 1.7 * 9 / 18)} * 2);
    // Short arcs keep four segments; a start anticlockwise of the end goes the long way.
    const Id tiny = addArc(s, {0, 0}, {1, 0}, {std::cos(0.01), std::sin(0.01)});
    EXPECT_EQ(s.arcPoints(*s.arc(tiny), 64).size(), 5u);
    const Id longWay = addArc(s, {0, 0}, {0, 1}, {1, 0});
    const auto lw = s.arcPoints(*s.arc(longWay), 8);
    ASSERT_EQ(lw.size(), 7u);
    expectNear(lw[2], {-1, 0});
}

TEST(Polylines, CirclesStartAtAngleZeroAndStayOpen) {
    const auto pts = circlePoints({1, 1}, 2, 4);
    ASSERT_EQ(pts.size(), 4u);
    expectNear(pts[0], {3, 1});
    expectNear(pts[1], {1, 3});
    expectNear(pts[2], {-1, 1});
    expectNear(pts[3], {1, -1});
    EXPECT_TRUE(circlePoints({0, 0}, 1, 0).empty());
    EXPECT_TRUE(circlePoints({0, 0}, 1, -3).empty());
    Sketch s;
    const Id c = addCircle(s, {1, 1}, 2);
    EXPECT_EQ(s.circlePoints(*s.circle(c), 4), pts);
    EXPECT_EQ(s.circlePoints(*s.circle(c)).size(), 64u);
}

TEST(Polylines, ArcPolylineFollowsTheSignOfTheSweep) {
    const auto half = arcPolyline({0, 0}, 1, 0, pi);
    ASSERT_EQ(half.size(), 33u);
    expectNear(half[16], {0, 1});
    const auto back = arcPolyline({0, 0}, 1, 0, -pi / 2);
    ASSERT_EQ(back.size(), 17u);
    expectNear(back.back(), {0, -1});
    EXPECT_EQ(arcPolyline({0, 0}, 1, 0, 1e-6).size(), 3u);
    EXPECT_EQ(arcPolyline({0, 0}, 1, 0, std::nan("")).size(), 3u);
}

TEST(Angles, NormAngleWrapsIntoOneTurn) {
    EXPECT_NEAR(normAngle(-pi / 2), 3 * pi / 2, 1e-15);
    EXPECT_EQ(normAngle(2 * pi), 0);
    EXPECT_NEAR(normAngle(7 * pi), pi, 1e-14);
    EXPECT_EQ(normAngle(0), 0);
    const double tiny = normAngle(-1e-18);  // rounds up to 2π without care
    EXPECT_GE(tiny, 0);
    EXPECT_LT(tiny, 2 * pi);
}

TEST(Angles, CircumcenterOfThreePointsAndNothingWhenCollinear) {
    expectNear(*circumcenter({0, 0}, {2, 0}, {0, 2}), {1, 1});
    expectNear(*circumcenter({5, 1}, {1, 5}, {-3, 1}), {1, 1});
    EXPECT_FALSE(circumcenter({0, 0}, {1, 1}, {3, 3}));
    EXPECT_FALSE(circumcenter({1, 1}, {1, 1}, {1, 1}));
    EXPECT_FALSE(circumcenter({0, 0}, {1e300, 0}, {0, 1e300}));  // would overflow
}

TEST(Angles, OnArcAllowsATenthOfAMicroradianAtBothEnds) {
    EXPECT_TRUE(onArc({1, 1}, {0, 0}, 0, pi / 2));
    EXPECT_FALSE(onArc({-1, 0.2}, {0, 0}, 0, pi / 2));
    EXPECT_TRUE(onArc({std::cos(-5e-8), std::sin(-5e-8)}, {0, 0}, 0, pi / 2));
    EXPECT_FALSE(onArc({std::cos(-1e-6), std::sin(-1e-6)}, {0, 0}, 0, pi / 2));
    EXPECT_TRUE(onArc({std::cos(pi / 2 + 5e-8), std::sin(pi / 2 + 5e-8)}, {0, 0}, 0, pi / 2));
    EXPECT_FALSE(onArc({std::nan(""), 0}, {0, 0}, 0, pi / 2));
}

TEST(Param, LinesAreUnclampedCirclesAndArcsGiveAngles) {
    const Curve l = Curve::line({1, 1}, {5, 1});
    EXPECT_EQ(param(l, {3, 7}), 0.5);
    EXPECT_EQ(param(l, {-3, 1}), -1);
    EXPECT_EQ(param(Curve::line({2, 2}, {2, 2}), {9, 9}), 0);  // degenerate: no division by 0
    EXPECT_NEAR(param(Curve::circle({0, 0}, 1), {0, -1}), 3 * pi / 2, 1e-15);
    const Curve a = Curve::arc({0, 0}, 1, pi / 2, pi / 2);
    EXPECT_NEAR(param(a, {-1, 1}), pi / 4, 1e-15);
    EXPECT_EQ(param(a, {std::cos(pi / 2 - 5e-8), std::sin(pi / 2 - 5e-8)}), 0);
    EXPECT_NEAR(param(a, {std::cos(pi / 2 - 1e-6), std::sin(pi / 2 - 1e-6)}), 2 * pi - 1e-6, 1e-12);
    // Far outside the sweep the angle from the start is reported as it is.
    EXPECT_NEAR(param(a, {1, 0}), 3 * pi / 2, 1e-15);
}

TEST(Cuts, TJunctionCutsTheBarButNotTheStem) {
    Sketch s;
    const Id bar = addSegment(s, {0, 0}, {4, 0});
    const Id stem = addSegment(s, {1, 3}, {1, 0});
    EXPECT_EQ(s.cuts(bar, false), std::vector<double>{0.25});
    EXPECT_TRUE(s.cuts(stem, false).empty());
    EXPECT_TRUE(s.cuts(9999, false).empty());
}

TEST(Cuts, CircleCutsAreAnglesAndAnArcKeepsOnlyItsInterior) {
    Sketch s;
    const Id c = addCircle(s, {0, 0}, 1);
    const Id across = addSegment(s, {-2, 0}, {2, 0});
    const auto ts = s.cuts(c, false);
    ASSERT_EQ(ts.size(), 2u);
    EXPECT_EQ(ts[0], 0);
    EXPECT_NEAR(ts[1], pi, 1e-15);
    EXPECT_EQ(s.cuts(across, false), (std::vector<double>{0.25, 0.75}));
    // The same crossing from an arc's point of view is measured from the arc's start; a
    // crossing at the arc's end does not cut it.
    Sketch t;
    const Id arc = addArc(t, {0, 0}, {0, -1}, {0, 1});
    addSegment(t, {-2, 0}, {2, 0});
    addSegment(t, {-2, 1}, {2, 1});  // touches the arc's end point
    const auto at = t.cuts(arc, false);
    ASSERT_EQ(at.size(), 1u);
    EXPECT_NEAR(at[0], pi / 2, 1e-15);
}

TEST(Cuts, ACrossingAtAngleZeroSeenOnBothSidesCountsOnce) {
    Sketch s;
    const Id c = addCircle(s, {0, 0}, 1);
    addSegment(s, {0, 0}, {2, 0});
    addSegment(s, {0, 0}, {2, -2e-9});  // meets the circle at angle −1e-9, i.e. 2π − 1e-9
    EXPECT_EQ(s.cuts(c, false), std::vector<double>{0});
}

TEST(Cuts, ConstructionCurvesCutOnlyWhenAskedAndZeroLengthLinesNever) {
    Sketch s;
    const Id bar = addSegment(s, {0, 0}, {4, 0});
    addSegment(s, {2, -1}, {2, 1}, true);
    const Id p = s.addPoint({3, 0});
    s.addLine(p, p);  // same point at both ends
    EXPECT_TRUE(s.cuts(bar, false).empty());
    EXPECT_EQ(s.cuts(bar, true), std::vector<double>{0.5});
    // Crossings closer than 1e-7 merge into the first.
    addSegment(s, {1, -1}, {1, 1});
    addSegment(s, {1 + 2e-7, -1}, {1 + 2e-7, 1});
    EXPECT_EQ(s.cuts(bar, false), std::vector<double>{0.25});
}

}  // namespace
}  // namespace ivo
