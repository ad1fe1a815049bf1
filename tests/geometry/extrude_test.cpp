#include "geometry/extrude.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <set>

#include "support/shapes.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();
const double pi = std::numbers::pi;

Solid ex(const Region& r, double z0, double z1, double lo = 0, double hi = 0, bool ch = false) {
    return extrudeRegion(r, Frame{}, z0, z1, lo, hi, ch);
}

std::set<double> heights(const Solid& s) {
    std::set<double> z;
    for (const CPoly& p : s)
        for (V3 q : p.v)
            z.insert(q.z);
    return z;
}

bool hasHeight(const Solid& s, double z) {
    const auto h = heights(s);
    const auto it = h.lower_bound(z - 1e-12);
    return it != h.end() && *it <= z + 1e-12;
}

// The box of the polygons facing +z at height z.
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

TEST(Extrude, ExactVolumesOfClosedPrisms) {
    const Region sq{rect(0, 0, 2, 3), {}};
    const Solid s = ex(sq, 0, 10);
    EXPECT_EQ(s.size(), 8u);  // four side quads, two triangles in each cap
    EXPECT_NEAR(signedVolume(s), 60, 1e-12);
    EXPECT_EQ(closedSurfaceFault(s, false), "");
    EXPECT_EQ(ex(sq, 10, 0), s);  // heights in either order
    EXPECT_TRUE(ex(sq, 4, 4).empty());
    const Loop gon = regularPolygon({1, -2}, 7, 64);
    const Solid p = ex({gon, {}}, -3, 9.5);
    EXPECT_NEAR(signedVolume(p) / (polyArea(gon) * 12.5), 1, 1e-6);
    EXPECT_EQ(closedSurfaceFault(p, false), "");
    // An L of three unit squares, drawn clockwise with a collinear point on its long side.
    const Solid l = ex({{{0, 0}, {0, 1}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}}, {}}, 0, 10);
    EXPECT_NEAR(signedVolume(l), 30, 1e-12);
    EXPECT_EQ(closedSurfaceFault(l), "");
    // Holes come off; a hole given counter-clockwise is turned round first.
    const Solid h = ex({rect(0, 0, 10, 10), {rect(2, 2, 4, 4), reversed(rect(6, 6, 8, 9))}}, 0, 2);
    EXPECT_NEAR(signedVolume(h), (100 - 4 - 6) * 2, 1e-9);
    EXPECT_EQ(closedSurfaceFault(h), "");
    // Outward even on a left-handed frame.
    const Frame tilted{{5, 6, 7}, {0, 0, 1}, V3{1, 1, 0}.normalized(), V3{1, -1, 0}.normalized()};
    const Solid t = extrudeRegion(sq, tilted, 1, 4, 0.5, 0.5, false);
    EXPECT_NEAR(signedVolume(t), signedVolume(ex(sq, 1, 4, 0.5, 0.5)), 1e-9);
    EXPECT_GT(signedVolume(t), 0);
    EXPECT_EQ(closedSurfaceFault(t), "");
}

TEST(Extrude, RoundsAndChamfersScaledToTheHeight) {
    const Region sq{rect(0, 0, 10, 10), {}};
    const Solid r = ex(sq, 0, 5, 0, 2);
    EXPECT_EQ(heights(r).size(), 8u);  // the bottom and 7 upper levels
    EXPECT_NEAR(topFaces(r, 5).lo.x, 2, 1e-12);
    EXPECT_NEAR(topFaces(r, 5).hi.y, 8, 1e-12);
    std::vector<std::pair<double, double>> levels{{0, 0}};
    for (int i = 0; i <= 6; ++i)
        levels.push_back({3 + 2 * std::sin(i * pi / 12), 2 - 2 * std::cos(i * pi / 12)});
    EXPECT_NEAR(signedVolume(r), insetSquareVolume(10, levels), 1e-9);
    const Solid c = ex(sq, 0, 5, 1, 2, true);
    EXPECT_EQ(heights(c).size(), 4u);  // two levels for each bevelled edge
    EXPECT_NEAR(signedVolume(c), insetSquareVolume(10, {{0, 1}, {1, 0}, {3, 0}, {5, 2}}), 1e-9);
    // 6 + 6 on 10 mm leave 0.2 mm: both become 4.9, the top cap 20 − 9.8 wide.
    const Solid big = ex({rect(0, 0, 20, 20), {}}, 0, 10, 6, 6);
    EXPECT_NEAR(topFaces(big, 10).hi.x - topFaces(big, 10).lo.x, 20 - 9.8, 1e-9);
    EXPECT_TRUE(hasHeight(big, 4.9));
    for (const Solid* s : {&r, &c, &big})
        EXPECT_EQ(closedSurfaceFault(*s), "");
    // Negative and NaN radii count as none; an infinite one takes the whole allowance.
    EXPECT_EQ(ex(sq, 0, 1, -1, -3), ex(sq, 0, 1));
    EXPECT_EQ(ex(sq, 0, 1, nan, 0), ex(sq, 0, 1));
    EXPECT_TRUE(hasHeight(ex(sq, 0, 1, inf, 0, true), 0.98));
}

TEST(Extrude, BadInputGivesEmptyOrFiniteSolids) {
    const Region sq{rect(0, 0, 1, 1), {}};
    EXPECT_TRUE(ex(sq, 0, nan).empty());
    EXPECT_TRUE(ex(sq, 0, inf).empty());
    EXPECT_TRUE(ex({{{0, 0}, {1, 1}}, {}}, 0, 1).empty());
    EXPECT_TRUE(ex({{{0, 0}, {1, 1}, {2, 2}}, {}}, 0, 1).empty());
    // A NaN point inside the loop is dropped by cleaning; the rest still extrudes.
    EXPECT_NEAR(signedVolume(ex({{{0, 0}, {2, 0}, {nan, 1}, {2, 2}, {0, 2}}, {}}, 0, 1)), 4, 1e-12);
    EXPECT_NEAR(signedVolume(ex(sq, 0, 1e12)) / 1e12, 1, 1e-9);
}

// Exact volume of the ring swept by a rectangle from r0 to r1 off the axis, h high, in n
// straight segments through `angle`.
double ringVolume(int n, double angle, double r0, double r1, double h) {
    return 0.5 * n * std::sin(angle / n) * (r1 * r1 - r0 * r0) * h;
}

TEST(Revolve, TurnsCapsAndCones) {
    const Region r{rect(2, 0, 5, 3), {}};
    const V2 o{0, 0}, up{0, 1};
    const Solid s = revolveRegion(r, Frame{}, o, up, 360);
    EXPECT_EQ(s.size(), 4u * 72);  // 72 segments of the four edges, no caps
    EXPECT_NEAR(signedVolume(s), ringVolume(72, 2 * pi, 2, 5, 3), 1e-9);
    // Either turning direction and either axis direction give the same ring.
    EXPECT_NEAR(signedVolume(revolveRegion(r, Frame{}, {0, 7}, {0, -3}, -360)), signedVolume(s),
                1e-9);
    const Solid q = revolveRegion(r, Frame{}, o, up, 90);
    EXPECT_EQ(q.size(), 4u * 18 + 4);
    EXPECT_NEAR(signedVolume(q), ringVolume(18, pi / 2, 2, 5, 3), 1e-9);
    EXPECT_EQ(revolveRegion(r, Frame{}, o, up, 10).size(), 4u * 4 + 4);  // at least 4 segments
    const Solid almost = revolveRegion(r, Frame{}, o, up, 359.9989);
    EXPECT_EQ(almost.size(), 4u * 71 + 4);
    for (const Solid* x : {&s, &q, &almost})
        EXPECT_EQ(closedSurfaceFault(*x, false), "");
    // A region touching the axis: the edge on it vanishes, the others fan into a cone.
    const Solid cone = revolveRegion({{{0, 0}, {4, 0}, {0, 6}}, {}}, Frame{}, o, up, 360);
    EXPECT_EQ(cone.size(), 2u * 72);
    EXPECT_NEAR(signedVolume(cone), 0.5 * 72 * std::sin(2 * pi / 72) * 16 * 6 / 3, 1e-9);
    EXPECT_EQ(closedSurfaceFault(cone, true, 1e-9), "");
    EXPECT_NEAR((rotateAround({2, 0, 5}, {1, 0, 0}, {0, 0, 1}, pi / 2) - V3{1, 1, 5}).length(), 0,
                1e-15);  // right-handed
}

TEST(Revolve, DegenerateInputs) {
    const Region r{rect(2, 0, 5, 3), {}};
    EXPECT_TRUE(revolveRegion(r, Frame{}, {0, 0}, {0, 1}, 0.00001).empty());
    EXPECT_TRUE(revolveRegion(r, Frame{}, {0, 0}, {0, 0}, 180).empty());
    EXPECT_TRUE(revolveRegion(r, Frame{}, {0, 0}, {0, 1}, nan).empty());
    // A region folded onto a line has no inside to sweep.
    EXPECT_TRUE(
        revolveRegion({{{2, 0}, {3, 1}, {4, 2}}, {}}, Frame{}, {0, 0}, {0, 1}, 360).empty());
    // Beyond a full turn the sweep is a full turn: 1e9° would otherwise ask for 2e8 segments.
    EXPECT_EQ(revolveRegion(r, Frame{}, {0, 0}, {0, 1}, 1e9),
              revolveRegion(r, Frame{}, {0, 0}, {0, 1}, 360));
    // A region crossed by the axis sweeps through itself; no crash, no hang.
    EXPECT_FALSE(revolveRegion({rect(-1, 0, 1, 1), {}}, Frame{}, {0, 0}, {0, 1}, 180).empty());
}

}  // namespace
}  // namespace ivo
