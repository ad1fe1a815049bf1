#include "geometry/extrude.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <set>

#include "support/shapes.h"
#include "support/solid_checks.h"

namespace ivo {
namespace {

using namespace ivo::testing;

const Frame kXY{};

bool hasHeight(const Solid& s, double z) {
    for (const CPoly& p : s)
        for (V3 q : p.v)
            if (std::abs(q.z - z) < 1e-12) return true;
    return false;
}

std::set<double> heights(const Solid& s) {
    std::set<double> z;
    for (const CPoly& p : s)
        for (V3 q : p.v)
            z.insert(q.z);
    return z;
}

// The box of the polygons facing +z above height z.
Box3 topFaces(const Solid& s, double z) {
    Box3 b;
    for (const CPoly& p : s)
        if (p.plane.n.z > 0.999 && p.v[0].z >= z)
            for (V3 q : p.v)
                b.add(q);
    return b;
}

// Volume of a square of side `side` extruded through levels of linearly varying inset:
// the cross-section area is quadratic in height, so the prismatoid rule is exact.
double insetSquareVolume(double side, const std::vector<std::pair<double, double>>& levels) {
    auto area = [&](double inset) { return (side - 2 * inset) * (side - 2 * inset); };
    double v = 0;
    for (size_t i = 0; i + 1 < levels.size(); ++i) {
        const auto [za, da] = levels[i];
        const auto [zb, db] = levels[i + 1];
        v += (zb - za) / 6 * (area(da) + 4 * area((da + db) / 2) + area(db));
    }
    return v;
}

TEST(Extrude, StraightPrismOfASquare) {
    const Solid s = extrudeRegion({rect(0, 0, 2, 3), {}}, kXY, 0, 10, 0, 0, false);
    EXPECT_EQ(s.size(), 8u);  // four side quads, two triangles in each cap
    EXPECT_NEAR(signedVolume(s), 60, 1e-12);
    EXPECT_EQ(closedSurfaceFault(s, false), "");
    // The heights may come in either order; equal heights give nothing.
    EXPECT_EQ(extrudeRegion({rect(0, 0, 2, 3), {}}, kXY, 10, 0, 0, 0, false), s);
    EXPECT_TRUE(extrudeRegion({rect(0, 0, 2, 3), {}}, kXY, 4, 4, 0, 0, false).empty());
}

TEST(Extrude, ExactVolumesOfPrisms) {
    const Loop gon = regularPolygon({1, -2}, 7, 64);
    const Solid p = extrudeRegion({gon, {}}, kXY, -3, 9.5, 0, 0, false);
    const double want = polyArea(gon) * 12.5;
    EXPECT_NEAR(signedVolume(p) / want, 1, 1e-6);
    EXPECT_EQ(closedSurfaceFault(p, false), "");
    // An L of three unit squares, drawn clockwise with a collinear point on its long side.
    const Loop ell{{0, 0}, {0, 1}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}};
    const Solid l = extrudeRegion({ell, {}}, kXY, 0, 10, 0, 0, false);
    EXPECT_NEAR(signedVolume(l), 30, 1e-12);
    EXPECT_EQ(closedSurfaceFault(l), "");
    // Holes come off; a hole given counter-clockwise is turned round first.
    const Region plate{rect(0, 0, 10, 10), {rect(2, 2, 4, 4), reversed(rect(6, 6, 8, 9))}};
    const Solid h = extrudeRegion(plate, kXY, 0, 2, 0, 0, false);
    EXPECT_NEAR(signedVolume(h), (100 - 4 - 6) * 2, 1e-9);
    EXPECT_EQ(closedSurfaceFault(h), "");
}

TEST(Extrude, FramesPlaceTheSolid) {
    const Frame tilted{{5, 6, 7}, {0, 0, 1}, V3{1, 1, 0}.normalized(), V3{1, -1, 0}.normalized()};
    const Solid s = extrudeRegion({rect(0, 0, 2, 3), {}}, tilted, 1, 4, 0.5, 0.5, false);
    const Solid flat = extrudeRegion({rect(0, 0, 2, 3), {}}, kXY, 1, 4, 0.5, 0.5, false);
    EXPECT_NEAR(signedVolume(s), signedVolume(flat), 1e-9);
    EXPECT_GT(signedVolume(s), 0);  // outward even on a left-handed frame
    EXPECT_EQ(closedSurfaceFault(s), "");
}

TEST(Extrude, RoundedTopEdge) {
    const Solid s = extrudeRegion({rect(0, 0, 10, 10), {}}, kXY, 0, 5, 0, 2, false);
    EXPECT_EQ(heights(s).size(), 8u);  // the bottom and 7 upper levels
    const Box3 cap = topFaces(s, 5);
    EXPECT_NEAR(cap.lo.x, 2, 1e-12);
    EXPECT_NEAR(cap.hi.y, 8, 1e-12);
    EXPECT_EQ(closedSurfaceFault(s), "");
    std::vector<std::pair<double, double>> levels{{0, 0}};
    for (int i = 0; i <= 6; ++i) {
        const double a = i * std::numbers::pi / 12;
        levels.push_back({3 + 2 * std::sin(a), 2 - 2 * std::cos(a)});
    }
    EXPECT_NEAR(signedVolume(s), insetSquareVolume(10, levels), 1e-9);
}

TEST(Extrude, ChamfersAndRadiiScaledToTheHeight) {
    const Solid c = extrudeRegion({rect(0, 0, 10, 10), {}}, kXY, 0, 5, 1, 2, true);
    EXPECT_EQ(heights(c).size(), 4u);  // two levels for each bevelled edge
    EXPECT_NEAR(signedVolume(c), insetSquareVolume(10, {{0, 1}, {1, 0}, {3, 0}, {5, 2}}), 1e-9);
    EXPECT_EQ(closedSurfaceFault(c), "");
    // 6 + 6 on 10 mm leave 0.2 mm: both become 4.9, the top cap 20 − 9.8 wide.
    const Solid r = extrudeRegion({rect(0, 0, 20, 20), {}}, kXY, 0, 10, 6, 6, false);
    const Box3 cap = topFaces(r, 10);
    EXPECT_NEAR(cap.hi.x - cap.lo.x, 20 - 9.8, 1e-9);
    EXPECT_TRUE(hasHeight(r, 4.9));
    EXPECT_EQ(closedSurfaceFault(r), "");
    // Negative radii count as none.
    EXPECT_EQ(extrudeRegion({rect(0, 0, 2, 2), {}}, kXY, 0, 1, -1, -3, false),
              extrudeRegion({rect(0, 0, 2, 2), {}}, kXY, 0, 1, 0, 0, false));
}

TEST(Extrude, BadInputGivesEmptyOrFiniteSolids) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Region sq{rect(0, 0, 1, 1), {}};
    EXPECT_TRUE(extrudeRegion(sq, kXY, 0, nan, 0, 0, false).empty());
    EXPECT_TRUE(extrudeRegion(sq, kXY, 0, inf, 0, 0, false).empty());
    EXPECT_TRUE(extrudeRegion({{{0, 0}, {1, 1}}, {}}, kXY, 0, 1, 0, 0, false).empty());
    EXPECT_TRUE(extrudeRegion({{{0, 0}, {1, 1}, {2, 2}}, {}}, kXY, 0, 1, 0, 0, false).empty());
    // A NaN radius counts as none; an infinite one takes the whole allowance.
    EXPECT_EQ(extrudeRegion(sq, kXY, 0, 1, nan, 0, false),
              extrudeRegion(sq, kXY, 0, 1, 0, 0, false));
    const Solid big = extrudeRegion({rect(0, 0, 10, 10), {}}, kXY, 0, 1, inf, 0, true);
    EXPECT_TRUE(hasHeight(big, 0.98));
    // A NaN point inside the loop is dropped by cleaning; the rest still extrudes.
    const Solid holed =
        extrudeRegion({{{0, 0}, {2, 0}, {nan, 1}, {2, 2}, {0, 2}}, {}}, kXY, 0, 1, 0, 0, false);
    EXPECT_NEAR(signedVolume(holed), 4, 1e-12);
    const Solid far = extrudeRegion(sq, kXY, 0, 1e12, 0, 0, false);
    EXPECT_NEAR(signedVolume(far) / 1e12, 1, 1e-9);
}

double ringVolume(int n, double angle, double r0, double r1, double h) {
    return 0.5 * n * std::sin(angle / n) * (r1 * r1 - r0 * r0) * h;
}

TEST(Revolve, FullTurnOfARectangle) {
    // The rectangle from 2 to 5 off the y axis, 3 high, turned about that axis.
    const Region r{rect(2, 0, 5, 3), {}};
    const Solid s = revolveRegion(r, kXY, {0, 0}, {0, 1}, 360);
    EXPECT_EQ(s.size(), 4u * 72);  // 72 segments of the four edges, no caps
    EXPECT_NEAR(signedVolume(s), ringVolume(72, 2 * std::numbers::pi, 2, 5, 3), 1e-9);
    EXPECT_EQ(closedSurfaceFault(s, false), "");
    // Either turning direction and either axis direction give the same ring.
    EXPECT_NEAR(signedVolume(revolveRegion(r, kXY, {0, 7}, {0, -3}, -360)), signedVolume(s), 1e-9);
}

TEST(Revolve, PartialTurnsHaveCaps) {
    const Region r{rect(2, 0, 5, 3), {}};
    const Solid q = revolveRegion(r, kXY, {0, 0}, {0, 1}, 90);
    EXPECT_EQ(q.size(), 4u * 18 + 4);
    EXPECT_NEAR(signedVolume(q), ringVolume(18, std::numbers::pi / 2, 2, 5, 3), 1e-9);
    EXPECT_EQ(closedSurfaceFault(q, false), "");
    EXPECT_EQ(revolveRegion(r, kXY, {0, 0}, {0, 1}, 10).size(), 4u * 4 + 4);  // at least 4
    const Solid almost = revolveRegion(r, kXY, {0, 0}, {0, 1}, 359.9989);
    EXPECT_EQ(almost.size(), 4u * 71 + 4);
    EXPECT_EQ(closedSurfaceFault(almost, false), "");
}

TEST(Revolve, RegionTouchingTheAxisClosesIntoACone) {
    const Region tri{{{0, 0}, {4, 0}, {0, 6}}, {}};
    const Solid cone = revolveRegion(tri, kXY, {0, 0}, {0, 1}, 360);
    EXPECT_EQ(cone.size(), 2u * 72);  // the edge on the axis vanishes, the others fan
    EXPECT_NEAR(signedVolume(cone), 0.5 * 72 * std::sin(2 * std::numbers::pi / 72) * 16 * 6 / 3,
                1e-9);
    EXPECT_EQ(closedSurfaceFault(cone, true, 1e-9), "");
}

TEST(Revolve, DegenerateInputs) {
    const Region r{rect(2, 0, 5, 3), {}};
    EXPECT_TRUE(revolveRegion(r, kXY, {0, 0}, {0, 1}, 0.00001).empty());
    EXPECT_TRUE(revolveRegion(r, kXY, {0, 0}, {0, 0}, 180).empty());
    EXPECT_TRUE(revolveRegion(r, kXY, {0, 0}, {0, 1}, std::nan("")).empty());
    // A region folded onto a line has no inside to sweep.
    EXPECT_TRUE(revolveRegion({{{2, 0}, {3, 1}, {4, 2}}, {}}, kXY, {0, 0}, {0, 1}, 360).empty());
    // Beyond a full turn the sweep is a full turn: 1e9° would otherwise ask for 2e8 segments.
    EXPECT_EQ(revolveRegion(r, kXY, {0, 0}, {0, 1}, 1e9),
              revolveRegion(r, kXY, {0, 0}, {0, 1}, 360));
    // A region crossed by the axis sweeps through itself; no crash, no hang.
    const Solid crossed = revolveRegion({rect(-1, 0, 1, 1), {}}, kXY, {0, 0}, {0, 1}, 180);
    EXPECT_FALSE(crossed.empty());
}

TEST(Revolve, RotateAroundFollowsTheRightHand) {
    const V3 p = rotateAround({2, 0, 5}, {1, 0, 0}, {0, 0, 1}, std::numbers::pi / 2);
    EXPECT_NEAR((p - V3{1, 1, 5}).length(), 0, 1e-15);
    const V3 q = rotateAround({3, 4, 5}, {0, 0, 0}, {0, 0, 1}, 0);
    EXPECT_EQ(q, V3(3, 4, 5));
}

TEST(ExtrudeAndCsg, CutAndJoinedGeneratedSolidsStayClosed) {
    const Solid plate = extrudeRegion({rect(0, 0, 30, 20), {}}, kXY, 0, 4, 0, 1, false);
    const Frame up{{15, 10, 0}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
    const Solid post = revolveRegion({rect(0, 0, 5, 8), {}}, up, {0, 0}, {0, 1}, 360);
    const Solid hole =
        extrudeRegion({regularPolygon({15, 10}, 2, 32), {}}, kXY, -1, 9, 0, 0, false);
    const Solid part = CSG::subtract(CSG::unite(plate, post), hole);
    EXPECT_EQ(closedSurfaceFault(part), "");
    const double v = signedVolume(plate) + signedVolume(post) -
                     signedVolume(CSG::intersect(plate, post)) -
                     signedVolume(CSG::intersect(CSG::unite(plate, post), hole));
    EXPECT_NEAR(signedVolume(part), v, 1e-7);
}

}  // namespace
}  // namespace ivo
