#include "geometry/extrude.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "support/shapes.h"
#include "support/sketch_builder.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

Solid ex(const Region& r, double z0, double z1, double lo = 0, double hi = 0, bool ch = false) {
    return extrudeRegion(r, Frame{}, z0, z1, lo, hi, ch);
}

std::set<double> heights(const Solid& s) {
    std::set<double> z;
    for (const CPoly& p : s)
        for (V3 q : p.v)
            z.insert(std::round(q.z * 1e9) / 1e9);
    return z;
}

// A square through levels of linearly varying inset: the prismatoid rule is exact.
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

TEST(Extrude, ExactVolumesOfClosedSolids) {
    const Region sq{rect(0, 0, 10, 10), {}};
    // Rounds in 6 steps: a quarter circle of radius r at each end of the height h.
    auto rounded = [](double h, double lo, double hi) {
        std::vector<std::pair<double, double>> levels;
        for (int i = 0; i <= 6; ++i)
            levels.push_back({lo - lo * std::cos(i * pi / 12), lo - lo * std::sin(i * pi / 12)});
        for (int i = 0; i <= 6; ++i)
            levels.push_back(
                {h - hi + hi * std::sin(i * pi / 12), hi - hi * std::cos(i * pi / 12)});
        return levels;
    };
    const struct {
        const char* name;
        Solid s;
        double volume, tol;
        size_t levels;
    } cases[] = {
        {"square", ex({rect(0, 0, 2, 3), {}}, 10, 0), 60, 1e-12, 2},
        // Three unit squares drawn clockwise, with a collinear point on the long side.
        {"L", ex({{{0, 0}, {0, 1}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}}, {}}, 0, 10), 30, 1e-12,
         2},
        // A hole given counter-clockwise is turned round first.
        {"holes", ex({sq.outer, {rect(2, 2, 4, 4), reversed(rect(6, 6, 8, 9))}}, 0, 2), 180, 1e-9,
         2},
        {"rounded top", ex(sq, 0, 5, 0, 2), insetSquareVolume(10, rounded(5, 0, 2)), 1e-9, 8},
        {"chamfers", ex(sq, 0, 5, 1, 2, true),
         insetSquareVolume(10, {{0, 1}, {1, 0}, {3, 0}, {5, 2}}), 1e-9, 4},
        // 6 + 6 on 10 mm leave 0.2 mm: both become 4.9.
        {"radii scaled", ex({rect(0, 0, 20, 20), {}}, 0, 10, 6, 6),
         insetSquareVolume(20, rounded(10, 4.9, 4.9)), 1e-9, 14},
        // A NaN point inside the loop is dropped by cleaning; the rest still extrudes.
        {"NaN point", ex({{{0, 0}, {2, 0}, {nan, 1}, {2, 2}, {0, 2}}, {}}, 0, 1), 4, 1e-12, 2},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(signedVolume(c.s), c.volume, c.tol) << c.name;
        EXPECT_EQ(closedSurfaceFault(c.s), "") << c.name;
        EXPECT_EQ(heights(c.s).size(), c.levels) << c.name;
    }
    EXPECT_EQ(cases[0].s.size(), 8u);  // four side quads, two triangles in each cap
    EXPECT_EQ(cases[0].s, ex({rect(0, 0, 2, 3), {}}, 0, 10));  // heights in either order
    EXPECT_EQ(closedSurfaceFault(cases[0].s, false), "");
    EXPECT_TRUE(heights(cases[5].s).contains(4.9));
    // Outward even on a left-handed frame.
    const Frame tilted{{5, 6, 7}, {0, 0, 1}, V3{1, 1, 0}.normalized(), V3{1, -1, 0}.normalized()};
    const Solid t = extrudeRegion(sq, tilted, 1, 4, 0.5, 0.5, false);
    EXPECT_NEAR(signedVolume(t), signedVolume(ex(sq, 1, 4, 0.5, 0.5)), 1e-9);
    EXPECT_GT(signedVolume(t), 0);
    EXPECT_EQ(closedSurfaceFault(t), "");
}

TEST(Extrude, BadInputGivesEmptyOrFiniteSolids) {
    const Region sq{rect(0, 0, 1, 1), {}};
    for (const Solid& s :
         {ex(sq, 4, 4), ex(sq, 0, nan), ex(sq, 0, inf), ex({{{0, 0}, {1, 1}}, {}}, 0, 1),
          ex({{{0, 0}, {1, 1}, {2, 2}}, {}}, 0, 1)})
        EXPECT_TRUE(s.empty());
    EXPECT_NEAR(signedVolume(ex(sq, 0, 1e12)) / 1e12, 1, 1e-9);
    // Negative and NaN radii count as none; an infinite one takes the whole allowance.
    EXPECT_EQ(ex(sq, 0, 1, -1, -3), ex(sq, 0, 1));
    EXPECT_EQ(ex(sq, 0, 1, nan, 0), ex(sq, 0, 1));
    EXPECT_TRUE(heights(ex({rect(0, 0, 10, 10), {}}, 0, 1, inf, 0, true)).contains(0.98));
}

TEST(Revolve, TurnsCapsAndCones) {
    // The ring swept by the rectangle from 2 to 5 off the axis, 3 high, in n segments.
    auto ring = [](int n, double deg) { return 0.5 * n * std::sin(deg * pi / 180 / n) * 21 * 3; };
    const Region r{rect(2, 0, 5, 3), {}};
    const struct {
        const char* name;
        Solid s;
        size_t polys;
        double volume;
    } cases[] = {
        {"full turn", revolveRegion(r, Frame{}, {0, 0}, {0, 1}, 360), 4 * 72, ring(72, 360)},
        // Either turning direction and either axis direction give the same ring.
        {"reversed", revolveRegion(r, Frame{}, {0, 7}, {0, -3}, -360), 4 * 72, ring(72, 360)},
        {"quarter", revolveRegion(r, Frame{}, {0, 0}, {0, 1}, 90), 4 * 18 + 4, ring(18, 90)},
        {"capped below 359.999°", revolveRegion(r, Frame{}, {0, 0}, {0, 1}, 359.9989), 4 * 71 + 4,
         ring(71, 359.9989)},
        // Beyond a full turn the sweep is a full turn: 1e9° would otherwise ask for 2e8 segments.
        {"1e9°", revolveRegion(r, Frame{}, {0, 0}, {0, 1}, 1e9), 4 * 72, ring(72, 360)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.s.size(), c.polys) << c.name;
        EXPECT_NEAR(signedVolume(c.s), c.volume, 1e-9) << c.name;
        EXPECT_EQ(closedSurfaceFault(c.s, false), "") << c.name;
    }
    EXPECT_EQ(cases[4].s, cases[0].s);
    // A region touching the axis: the edge on it vanishes, the others fan into a cone.
    const Solid cone = revolveRegion({{{0, 0}, {4, 0}, {0, 6}}, {}}, Frame{}, {0, 0}, {0, 1}, 360);
    EXPECT_EQ(cone.size(), 2u * 72);
    EXPECT_NEAR(signedVolume(cone), 0.5 * 72 * std::sin(2 * pi / 72) * 16 * 6 / 3, 1e-9);
    EXPECT_EQ(closedSurfaceFault(cone, true, 1e-9), "");
    EXPECT_NEAR((rotateAround({2, 0, 5}, {1, 0, 0}, {0, 0, 1}, pi / 2) - V3{1, 1, 5}).length(), 0,
                1e-15);  // right-handed
    // Vanishing angles or axes, and regions folded onto a line, give nothing; a region
    // crossed by the axis sweeps through itself without a crash or a hang.
    EXPECT_TRUE(revolveRegion(r, Frame{}, {0, 0}, {0, 1}, 0.00001).empty());
    EXPECT_TRUE(revolveRegion(r, Frame{}, {0, 0}, {0, 0}, 180).empty());
    EXPECT_TRUE(revolveRegion(r, Frame{}, {0, 0}, {0, 1}, nan).empty());
    EXPECT_TRUE(
        revolveRegion({{{2, 0}, {3, 1}, {4, 2}}, {}}, Frame{}, {0, 0}, {0, 1}, 360).empty());
    EXPECT_FALSE(revolveRegion({rect(-1, 0, 1, 1), {}}, Frame{}, {0, 0}, {0, 1}, 180).empty());
}

TEST(Loops, RegionsIgnoreDegenerateHolesAndOffsetsHaveAMitreLimit) {
    const Region r{rect(0, 0, 10, 10), {reversed(rect(4, 4, 6, 6)), {{1, 1}, {2, 2}}}};
    EXPECT_DOUBLE_EQ(r.area(), 96);
    EXPECT_TRUE(r.contains({1, 1.5}));  // inside the two-point "hole", which does not count
    EXPECT_FALSE(r.contains({5, 5}) || r.contains({11, 5}));
    const Loop in = offsetLoop(rect(0, 0, 1, 1), 0.1), want = rect(0.1, 0.1, 0.9, 0.9);
    ASSERT_EQ(in.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(in[i].x, want[i].x, 1e-12) << i;
        EXPECT_NEAR(in[i].y, want[i].y, 1e-12) << i;
    }
    EXPECT_NEAR(polyArea(offsetLoop(reversed(rect(0, 0, 1, 1)), 0.1)), -1.44, 1e-12);  // grows
    // A spike turning back on itself moves off its incoming edge; a very sharp corner is
    // capped at exactly 4·|d|.
    EXPECT_EQ(offsetLoop({{0, 0}, {2, 0}, {0, 0}}, 0.5)[1], V2(2, 0.5));
    const Loop sharp{{0, 0}, {10, 0.01}, {0, 0.02}};
    EXPECT_NEAR((offsetLoop(sharp, 0.1)[1] - sharp[1]).length(), 0.4, 1e-12);
    EXPECT_EQ(offsetLoop(sharp, 1e-13), sharp);
}

// Cap triangles found beforehand give the solids made without them, whatever treats the caps.
TEST(RegionCaps, SolidsWithFoundCapsEqualThoseWithout) {
    const Region shapes[] = {
        {rect(0, 0, 20, 20), {}},
        {reversed(regularPolygon({5, 5}, 8, 48)), {}},
        {{{0, 0}, {30, 0}, {30, 10}, {10, 10}, {10, 25}, {0, 25}}, {}},
        {regularPolygon({0, 0}, 10, 40), {regularPolygon({0, 0}, 4, 24)}},
        {rect(0, 0, 40, 20), {rect(5, 5, 10, 10), rect(20, 5, 30, 15)}},
    };
    // On a tilted plane, so that lifting is not the identity.
    const V3 x = V3{1, 0, 1}.normalized(), y{0, 1, 0};
    const Frame f{{1, 2, 3}, x, y, x.cross(y)};
    // The treated rows inset a cap (or both): those caps must not take the region's triangles.
    const struct {
        double z0, z1, loR, hiR;
        bool chamfer;
    } settings[] = {{0, 5, 0, 0, false},    {0, -7, 0, 0, false}, {0, 6, 0, 1, false},
                    {-3, 3, 1.5, 0, false}, {0, 8, 1, 2, true},   {0, 4, 1e-13, 0, false}};
    for (size_t k = 0; k < std::size(shapes); ++k) {
        const Region& r = shapes[k];
        const std::vector<Tri2> caps = regionCaps(r);
        ASSERT_FALSE(caps.empty()) << k;
        for (const auto& g : settings) {
            SCOPED_TRACE("shape " + std::to_string(k) + ", z1 " + std::to_string(g.z1));
            const Solid without = extrudeRegion(r, f, g.z0, g.z1, g.loR, g.hiR, g.chamfer);
            ASSERT_FALSE(without.empty());
            EXPECT_EQ(extrudeRegion(r, f, g.z0, g.z1, g.loR, g.hiR, g.chamfer, &caps), without);
        }
        for (const double angle : {90.0, -200.0, 360.0}) {
            SCOPED_TRACE("shape " + std::to_string(k) + ", angle " + std::to_string(angle));
            const Solid without = revolveRegion(r, f, {0, -20}, {1, 0}, angle);  // axis beside
            ASSERT_FALSE(without.empty());
            EXPECT_EQ(revolveRegion(r, f, {0, -20}, {1, 0}, angle, &caps), without);
        }
    }
    for (const Region& r : {Region{{{0, 0}, {10, 0}, {20, 0}, {10, 0}}, {}},
                            Region{{{0, 0}, {10, 0}}, {}}}) {  // no area: no caps, no solid
        const std::vector<Tri2> caps = regionCaps(r);
        EXPECT_TRUE(caps.empty());
        EXPECT_TRUE(extrudeRegion(r, Frame{}, 0, 5, 0, 0, false, &caps).empty());
        EXPECT_TRUE(revolveRegion(r, Frame{}, {0, -5}, {1, 0}, 90, &caps).empty());
    }
}

}  // namespace
}  // namespace ivo
