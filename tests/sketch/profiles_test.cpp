// Profile loops and regions of small sketches with known faces, and of hostile ones.
#include "sketch/profiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "sketch/curve_table.h"
#include "sketch/curves.h"
#include "support/shapes.h"
#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;
const double disc = 32 * std::sin(2 * std::numbers::pi / 64);  // unit 64-gon

std::vector<double> areas(const std::vector<Loop>& loops) {
    std::vector<double> out;
    for (const Loop& l : loops)
        out.push_back(polyArea(l));
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
            (k + order / 4) % 2 ? s.addLine(pts[j], pts[i]) : s.addLine(pts[i], pts[j]);
        }
        const auto loops = s.loops();
        ASSERT_EQ(loops.size(), 1u) << "order " << order;
        EXPECT_EQ(loops[0].size(), 4u) << "order " << order;
        for (V2 p : corners)
            EXPECT_NE(std::find(loops[0].begin(), loops[0].end(), p), loops[0].end()) << order;
        EXPECT_EQ(polyArea(loops[0]), 12) << "order " << order;
        ASSERT_EQ(s.regions().size(), 1u);
        EXPECT_TRUE(s.regions()[0].holes.empty());
    }
}

// Sketches with known faces: the areas of their loops, ascending, and the number of points of
// all loops together (an unpruned dangling edge would add a spike of two points).
TEST(Profiles, KnownSketchesGiveTheirFaces) {
    struct Case {
        const char* name;
        void (*build)(Sketch&);
        std::vector<double> areas;
        size_t points;
    };
    const Case cases[] = {
        {"lone circle",
         [](Sketch& s) {
             addCircle(s, {5, 5}, 1);
         },
         {disc},
         64},
        {"circle split by a line whose outer parts are pruned",
         [](Sketch& s) {
             addCircle(s, {0, 0}, 1);
             addSegment(s, {-3, 0}, {3, 0});
         },
         {disc / 2, disc / 2},
         66},
        {"tangent line leaves the circle whole",
         [](Sketch& s) {
             addCircle(s, {0, 0}, 1);
             addSegment(s, {-2, 1}, {2, 1});
         },
         {disc},
         64},
        {"construction geometry neither forms loops nor cuts",
         [](Sketch& s) {
             addPolygon(s, rect(0, 0, 4, 4), true);
             addCircle(s, {10, 0}, 1, true);
             addCircle(s, {0, 0}, 1);
             addSegment(s, {-3, 0}, {3, 0}, true);
         },
         {disc},
         64},
        {"duplicate segments count once",
         [](Sketch& s) {
             const auto sides = addPolygon(s, rect(0, 0, 2, 2));
             s.addLine(s.line(sides[0])->b, s.line(sides[0])->a);  // the bottom again, backwards
             addSegment(s, {0, 0}, {2, 0});                        // and through new points
         },
         {4},
         4},
        {"an arc and a line make a D",
         [](Sketch& s) {
             const Id arc = addArc(s, {0, 0}, {1, 0}, {-1, 0});
             s.addLine(s.arc(arc)->e, s.arc(arc)->s);
         },
         {disc / 2},
         33},
        {"T-junction splits a rectangle; a dangling line is pruned",
         [](Sketch& s) {
             addPolygon(s, rect(0, 0, 4, 2));
             addSegment(s, {1, 0}, {1, 2});
             addSegment(s, {3, 1}, {3, 5});
         },
         {2, 6},
         9},
        {"overlapping rectangles",
         [](Sketch& s) {
             addPolygon(s, rect(0, 0, 4, 2));
             addPolygon(s, rect(2, 1, 6, 3));
         },
         {2, 6, 6},
         16},
    };
    for (const Case& c : cases) {
        Sketch s;
        c.build(s);
        const auto loops = s.loops();
        const auto got = areas(loops);
        ASSERT_EQ(got.size(), c.areas.size()) << c.name;
        size_t points = 0;
        for (const Loop& l : loops)
            points += l.size();
        EXPECT_EQ(points, c.points) << c.name;
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.areas[i], 1e-12) << c.name;
    }
}

TEST(Profiles, NestingGivesDirectClockwiseHolesAndEveryLoopItsRegion) {
    Sketch s;
    EXPECT_TRUE(s.loops().empty());
    addCircle(s, {5, 5}, 2);
    addPolygon(s, rect(0, 0, 10, 10));
    addPolygon(s, rect(12, 0, 22, 10));
    addPolygon(s, rect(14, 2, 20, 8));
    addPolygon(s, rect(16, 4, 18, 6));
    const auto loops = s.loops();
    ASSERT_EQ(loops.size(), 5u);
    EXPECT_EQ(loops[0], circlePoints({5, 5}, 2, 64));  // whole circles come first
    const auto r = s.regions();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_TRUE(r[0].holes.empty());
    EXPECT_EQ(r[1].holes, std::vector<Loop>{reversed(r[0].outer)});
    EXPECT_NEAR(r[1].area(), 100 - 4 * disc, 1e-9);
    EXPECT_TRUE(r[1].contains({1, 1}) && !r[1].contains({5, 5}));
    EXPECT_EQ(r[2].holes, std::vector<Loop>{reversed(r[3].outer)});  // holes of holes are not
    EXPECT_EQ(r[3].holes, std::vector<Loop>{reversed(r[4].outer)});
    EXPECT_EQ(r[2].area(), 64);
    EXPECT_TRUE(r[4].holes.empty());
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
    addCircle(s, {3, 3}, 0);                  // no radius
    addCircle(s, {3, 3}, -0.5);               // a negative radius from a damaged file
    addArc(s, {10, 10}, {11, 10}, {11, 10});  // coincident ends: a full turn on one node
    EXPECT_TRUE(s.cuts(s.circles[0].id, false).empty());
    const auto loops = s.loops();
    ASSERT_EQ(loops.size(), 3u);
    EXPECT_EQ(loops[0], loops[1]);
    const auto regions = s.regions();
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[2].holes.size(), 2u);  // equal loops do not hold each other
}

TEST(ProfilesBadInput, NonFiniteAndHugeCoordinatesGiveSaneRegions) {
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
    ASSERT_EQ(s.regions().size(), 1u);
    EXPECT_EQ(s.regions()[0].area(), 16);

    Sketch h;
    addPolygon(h, rect(-1e12, -1e12, 1e12, 1e12));
    ASSERT_EQ(h.regions().size(), 1u);
    EXPECT_EQ(h.regions()[0].area(), 4e24);
    // At this size the ends of round pieces round off by more than the joining distance,
    // so the circle may drop out; the faces that remain still tile the square.
    addCircle(h, {0, 0}, 5e11);
    addSegment(h, {-2e12, 0}, {2e12, 0});
    const auto regions = h.regions();
    ASSERT_GE(regions.size(), 2u);
    double total = 0;
    for (const Region& r : regions) {
        EXPECT_GT(r.area(), 0);
        total += r.area();
    }
    EXPECT_NEAR(total, 4e24, 1e-9 * 4e24);
}

TEST(ProfilesBadInput, TenThousandOverlappingLinesGiveTheirOneSquare) {
    Sketch s;
    const Loop sq = rect(0, 0, 1, 1);
    for (int k = 0; k < 2500; ++k)
        for (size_t i = 0; i < 4; ++i)
            addSegment(s, sq[i], sq[(i + 1) % 4]);
    EXPECT_EQ(areas(s.loops()), std::vector<double>{1});
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
