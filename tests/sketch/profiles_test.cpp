#include "sketch/profiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "sketch/curve_table.h"
#include "sketch/curves.h"
#include "sketch/sketch.h"
#include "support/shapes.h"
#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;
constexpr double pi = std::numbers::pi;
const double area64 = 32 * std::sin(2 * pi / 64);  // unit 64-gon

// The loop's points as a set, whatever its starting point.
std::vector<std::pair<double, double>> sortedPoints(const Loop& l) {
    std::vector<std::pair<double, double>> out;
    for (V2 p : l)
        out.push_back({p.x, p.y});
    std::sort(out.begin(), out.end());
    return out;
}

TEST(Profiles, RectangleInAnyDrawingOrderIsOneCounterClockwiseLoop) {
    const Loop corners = rect(0, 0, 4, 3);
    for (int order = 0; order < 8; ++order) {
        Sketch s;
        std::vector<Id> pts;
        for (V2 p : corners)
            pts.push_back(s.addPoint(p));
        // Sides in a rotated order, every other one drawn backwards.
        for (int k = 0; k < 4; ++k) {
            const int i = (k + order) % 4, j = (i + 1) % 4;
            if ((k + order / 4) % 2)
                s.addLine(pts[j], pts[i]);
            else
                s.addLine(pts[i], pts[j]);
        }
        const auto loops = s.loops();
        ASSERT_EQ(loops.size(), 1u) << "order " << order;
        EXPECT_EQ(sortedPoints(loops[0]), sortedPoints(corners));
        EXPECT_DOUBLE_EQ(polyArea(loops[0]), 12);
        const auto regions = s.regions();
        ASSERT_EQ(regions.size(), 1u);
        EXPECT_TRUE(regions[0].holes.empty());
    }
}

TEST(Profiles, CircleInRectangleIsARegionWithAHoleAndADisc) {
    Sketch s;
    EXPECT_TRUE(s.loops().empty());
    addCircle(s, {5, 5}, 2);
    auto loops = s.loops();
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_EQ(loops[0], circlePoints({5, 5}, 2, 64));
    addPolygon(s, rect(0, 0, 10, 10));
    loops = s.loops();
    ASSERT_EQ(loops.size(), 2u);
    EXPECT_EQ(loops[0].size(), 64u);  // whole circles come first
    const auto regions = s.regions();
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_TRUE(regions[0].holes.empty());
    ASSERT_EQ(regions[1].holes.size(), 1u);
    EXPECT_LT(polyArea(regions[1].holes[0]), 0);
    EXPECT_NEAR(regions[1].area(), 100 - 4 * area64, 1e-9);
    EXPECT_TRUE(regions[1].contains({1, 1}));
    EXPECT_FALSE(regions[1].contains({5, 5}));
}

TEST(Profiles, CircleSplitByALineGivesTwoHalvesAndPrunesTheOutsideParts) {
    Sketch s;
    addCircle(s, {0, 0}, 1);
    addSegment(s, {-3, 0}, {3, 0});
    const auto loops = s.loops();
    ASSERT_EQ(loops.size(), 2u);
    for (const Loop& l : loops) {
        EXPECT_EQ(l.size(), 33u);  // 32 arc segments and the diameter
        EXPECT_NEAR(polyArea(l), area64 / 2, 1e-12);
        for (V2 p : l)
            EXPECT_LE(std::abs(p.x), 1 + 1e-12);  // nothing of the line's outer parts
    }
}

TEST(Profiles, ATangentLineLeavesTheCircleWhole) {
    Sketch s;
    const Id c = addCircle(s, {0, 0}, 1);
    addSegment(s, {-2, 1}, {2, 1});
    EXPECT_EQ(s.cuts(c, false).size(), 1u);
    const auto loops = s.loops();
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_EQ(loops[0].size(), 64u);
}

TEST(Profiles, ConstructionGeometryNeitherFormsLoopsNorCuts) {
    Sketch s;
    addPolygon(s, rect(0, 0, 4, 4), true);
    addCircle(s, {10, 0}, 1, true);
    EXPECT_TRUE(s.loops().empty());
    addCircle(s, {0, 0}, 1);
    addSegment(s, {-3, 0}, {3, 0}, true);
    const auto loops = s.loops();
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_EQ(loops[0].size(), 64u);
}

TEST(Profiles, DuplicateSegmentsCountOnceAndAnArcWithALineMakesAD) {
    Sketch s;
    const auto sides = addPolygon(s, rect(0, 0, 2, 2));
    const SLine first = *s.line(sides[0]);
    s.addLine(first.b, first.a);    // the bottom again, backwards
    addSegment(s, {0, 0}, {2, 0});  // and once more through new points
    auto loops = s.loops();
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_DOUBLE_EQ(polyArea(loops[0]), 4);

    Sketch d;
    const Id arc = addArc(d, {0, 0}, {1, 0}, {-1, 0});
    d.addLine(d.arc(arc)->e, d.arc(arc)->s);
    loops = d.loops();
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_EQ(loops[0].size(), 33u);
    EXPECT_NEAR(polyArea(loops[0]), area64 / 2, 1e-12);
}

TEST(Profiles, TJunctionSplitsARectangleInTwo) {
    Sketch s;
    addPolygon(s, rect(0, 0, 4, 2));
    addSegment(s, {1, 0}, {1, 2});  // ends on the middle of two sides
    addSegment(s, {3, 1}, {3, 5});  // one end inside, dangling: pruned
    const auto loops = s.loops();
    ASSERT_EQ(loops.size(), 2u);
    EXPECT_DOUBLE_EQ(polyArea(loops[0]) + polyArea(loops[1]), 8);
    EXPECT_DOUBLE_EQ(std::min(polyArea(loops[0]), polyArea(loops[1])), 2);
}

TEST(Profiles, NestingGivesDirectHolesOnlyAndEveryLoopItsRegion) {
    Sketch s;
    addPolygon(s, rect(0, 0, 10, 10));
    addPolygon(s, rect(2, 2, 8, 8));
    addPolygon(s, rect(4, 4, 6, 6));
    addPolygon(s, rect(20, 0, 22, 2));  // apart
    const auto regions = s.regions();
    ASSERT_EQ(regions.size(), 4u);
    EXPECT_EQ(regions[0].holes, std::vector<Loop>{reversed(regions[1].outer)});
    EXPECT_EQ(regions[1].holes, std::vector<Loop>{reversed(regions[2].outer)});
    EXPECT_TRUE(regions[2].holes.empty());
    EXPECT_TRUE(regions[3].holes.empty());
    EXPECT_DOUBLE_EQ(regions[0].area(), 64);
    EXPECT_DOUBLE_EQ(regions[1].area(), 32);
}

TEST(Profiles, OverlappingRectanglesGiveTheirThreeFaces) {
    Sketch s;
    addPolygon(s, rect(0, 0, 4, 2));
    addPolygon(s, rect(2, 1, 6, 3));
    const auto loops = s.loops();
    ASSERT_EQ(loops.size(), 3u);
    double total = 0;
    for (const Loop& l : loops)
        total += polyArea(l);
    EXPECT_DOUBLE_EQ(total, 8 + 8 - 2);
}

TEST(RegionPoint, LiesInsideTheRegionAndFallsBackOnDegenerateInput) {
    const Region ring{rect(0, 0, 10, 10), {reversed(rect(1, 1, 9, 9))}};
    EXPECT_TRUE(ring.contains(regionPoint(ring)));
    const Region l{{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, {}};
    EXPECT_TRUE(l.contains(regionPoint(l)));
    EXPECT_EQ(regionPoint(Region{{{3, 4}, {5, 6}}, {}}), V2(3, 4));
    EXPECT_EQ(regionPoint(Region{}), V2(0, 0));
}

TEST(ProfilesBadInput, DegenerateCurvesAreHarmless) {
    Sketch s;
    addPolygon(s, rect(0, 0, 4, 4));
    addSegment(s, {1, 1}, {1, 1});  // zero length, two point ids
    addCircle(s, {2, 2}, 1);        // coincident circles
    addCircle(s, {2, 2}, 1);
    addCircle(s, {3, 3}, 0);     // no radius
    addCircle(s, {3, 3}, -0.5);  // a negative radius from a damaged file
    const Id full = addArc(s, {10, 10}, {11, 10}, {11, 10});  // coincident ends: a full turn
    EXPECT_TRUE(s.cuts(s.circles[0].id, false).empty());
    const auto loops = s.loops();
    // The rectangle, and each circle whole; the full-turn arc starts and ends on one node.
    ASSERT_EQ(loops.size(), 3u);
    EXPECT_EQ(loops[0], loops[1]);
    EXPECT_EQ(s.curve(full)->sweep, 2 * pi);
    const auto regions = s.regions();
    ASSERT_EQ(regions.size(), 3u);
    // Equal loops do not hold each other; both are holes of the square.
    EXPECT_EQ(regions[2].holes.size(), 2u);
}

TEST(ProfilesBadInput, NonFiniteCoordinatesAndRadiiAreLeftOut) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Sketch s;
    addPolygon(s, rect(0, 0, 4, 4));
    addSegment(s, {nan, 1}, {5, 1});
    addSegment(s, {-inf, 2}, {inf, 2});
    addCircle(s, {2, 2}, nan);
    addCircle(s, {2, 2}, inf);
    addCircle(s, {nan, 2}, 1);
    addCircle(s, {2, 2}, 1.5e308);  // finite, but its points overflow
    addArc(s, {inf, 0}, {1, 1}, {2, 1});
    const auto regions = s.regions();
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_DOUBLE_EQ(regions[0].area(), 16);
}

TEST(ProfilesBadInput, HugeCoordinatesGiveSaneRegions) {
    Sketch s;
    addPolygon(s, rect(-1e12, -1e12, 1e12, 1e12));
    const auto square = s.regions();
    ASSERT_EQ(square.size(), 1u);
    EXPECT_EQ(square[0].area(), 4e24);
    // At this size the ends of round pieces round off by more than the joining distance,
    // so the circle may drop out; the faces that remain still tile the square.
    addCircle(s, {0, 0}, 5e11);
    addSegment(s, {-2e12, 0}, {2e12, 0});
    const auto regions = s.regions();
    ASSERT_GE(regions.size(), 2u);
    double total = 0;
    for (const Region& r : regions) {
        EXPECT_GT(r.area(), 0);
        total += r.area();
    }
    EXPECT_NEAR(total, 4e24, 1e-9 * 4e24);
}

TEST(ProfilesBadInput, ThousandsOfOverlappingLinesGiveTheirOneSquare) {
    Sketch s;
    const Loop sq = rect(0, 0, 1, 1);
    for (int k = 0; k < 2500; ++k)
        for (size_t i = 0; i < 4; ++i)
            addSegment(s, sq[i], sq[(i + 1) % 4]);
    const auto loops = s.loops();
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_DOUBLE_EQ(polyArea(loops[0]), 1);
    // Collinear overlaps that are not identical: a bundle of segments along one line.
    Sketch t;
    for (int k = 0; k < 3000; ++k)
        addSegment(t, {k * 1e-3, 0}, {5 + k * 1e-3, 0});
    addPolygon(t, rect(2, -1, 3, 1));
    EXPECT_FALSE(t.loops().empty());
}

TEST(ProfilesBadInput, TooManyCrossingsGiveUpInsteadOfExhaustingMemory) {
    Sketch s;
    for (int k = 0; k < 40; ++k) {
        addSegment(s, {-1, double(k)}, {40, double(k)});
        addSegment(s, {double(k), -1}, {double(k), 40});
    }
    // 1 600 crossings, each seen from both of its lines.
    const auto entries = curveEntries(s);
    EXPECT_FALSE(profileCuts(entries, 3199));
    const auto cuts = profileCuts(entries, 3200);
    ASSERT_TRUE(cuts);
    EXPECT_EQ((*cuts)[0].size(), 40u);
}

}  // namespace
}  // namespace ivo
