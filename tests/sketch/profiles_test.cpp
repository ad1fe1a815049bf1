// Profile loops and regions: known faces, hostile sketches, and the plain algorithm's answers.
#include "sketch/profiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "sketch/curve_table.h"
#include "sketch/curves.h"
#include "support/reference_profiles.h"
#include "support/shapes.h"
#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;
const double disc = 32 * std::sin(2 * pi / 64);  // unit 64-gon

// Loop areas ascending and all their points counted (a dangling edge would add a spike).
void expectFaces(const char* name, const Sketch& s, std::vector<double> areas, size_t points) {
    std::vector<double> got;
    for (const Loop& l : s.loops()) {
        got.push_back(polyArea(l));
        points -= l.size();
    }
    std::sort(got.begin(), got.end());
    ASSERT_EQ(got.size(), areas.size()) << name;
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], areas[i], 1e-12) << name;
    EXPECT_EQ(points, 0u) << name;
}

// A few known answers; the rest (orientation, tangents, construction geometry, duplicate and
// overlapping curves) the property test below compares with the plain algorithm.
TEST(Profiles, KnownSketchesGiveTheirFacesAndNestedRegions) {
    Sketch split, d, t;
    addCircle(split, {0, 0}, 1);
    addSegment(split, {-3, 0}, {3, 0});
    expectFaces("a circle split by a line, outer parts pruned", split, {disc / 2, disc / 2}, 66);
    const Id arc = addArc(d, {0, 0}, {1, 0}, {-1, 0});
    d.addLine(d.arc(arc)->e, d.arc(arc)->s);
    expectFaces("an arc and a line make a D", d, {disc / 2}, 33);
    addPolygon(t, rect(0, 0, 4, 2));
    addSegment(t, {1, 0}, {1, 2});
    addSegment(t, {3, 1}, {3, 5});
    expectFaces("a T-junction splits a rectangle, a dangling line is pruned", t, {2, 6}, 9);
    // Nesting gives direct clockwise holes and every loop its region.
    Sketch s;
    addCircle(s, {5, 5}, 2);
    addPolygon(s, rect(0, 0, 10, 10));
    addPolygon(s, rect(12, 0, 22, 10));
    addPolygon(s, rect(14, 2, 20, 8));
    addPolygon(s, rect(16, 4, 18, 6));
    EXPECT_EQ(s.loops().at(0), circlePoints({5, 5}, 2, 64));  // whole circles come first
    const auto r = s.regions();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_TRUE(r[0].holes.empty() && r[4].holes.empty());
    EXPECT_EQ(r[1].holes, std::vector<Loop>{reversed(r[0].outer)});
    EXPECT_NEAR(r[1].area(), 100 - 4 * disc, 1e-9);
    EXPECT_TRUE(r[1].contains({1, 1}) && !r[1].contains({5, 5}));
    EXPECT_EQ(r[2].holes, std::vector<Loop>{reversed(r[3].outer)});  // holes of holes are not
    EXPECT_EQ(r[3].holes, std::vector<Loop>{reversed(r[4].outer)});
    EXPECT_EQ(r[2].area(), 64);
}

TEST(ProfilesBadInput, DegenerateNonFiniteHugeAndManyCurvesAreHarmless) {
    Sketch s;
    addPolygon(s, rect(0, 0, 4, 4));
    addSegment(s, {1, 1}, {1, 1});  // zero length, two point ids
    addCircle(s, {2, 2}, 1);        // coincident circles
    addCircle(s, {2, 2}, 1);
    addCircle(s, {3, 3}, 0);                  // no radius
    addCircle(s, {3, 3}, -0.5);               // a negative radius from a damaged file
    addArc(s, {10, 10}, {11, 10}, {11, 10});  // coincident ends: a full turn on one node
    EXPECT_TRUE(s.cuts(s.circles[0].id, false).empty());
    const auto regions = s.regions();
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0].outer, regions[1].outer);
    EXPECT_EQ(regions[2].holes.size(), 2u);  // equal loops do not hold each other
    EXPECT_EQ(regionPoint(Region{{{3, 4}, {5, 6}}, {}}), V2(3, 4));
    EXPECT_EQ(regionPoint(Region{}), V2(0, 0));
    // Non-finite and overflowing curves are left out.
    Sketch n;
    addPolygon(n, rect(0, 0, 4, 4));
    addSegment(n, {nan, 1}, {5, 1});
    addSegment(n, {-inf, 2}, {inf, 2});
    addCircle(n, {2, 2}, nan);
    addCircle(n, {2, 2}, 1.5e308);  // finite, but its points overflow
    addArc(n, {inf, 0}, {1, 1}, {2, 1});
    ASSERT_EQ(n.regions().size(), 1u);
    EXPECT_EQ(n.regions()[0].area(), 16);
    Sketch h;
    addPolygon(h, rect(-1e12, -1e12, 1e12, 1e12));
    ASSERT_EQ(h.regions().size(), 1u);
    EXPECT_EQ(h.regions()[0].area(), 4e24);
    Sketch many;
    const Loop sq = rect(0, 0, 1, 1);
    for (int k = 0; k < 2500; ++k)
        for (size_t i = 0; i < 4; ++i)
            addSegment(many, sq[i], sq[(i + 1) % 4]);
    expectFaces("a square drawn 2 500 times", many, {1}, 4);
    // Collinear overlaps that are not identical: a bundle of segments along one line.
    Sketch bundle;
    for (int k = 0; k < 3000; ++k)
        addSegment(bundle, {k * 1e-3, 0}, {5 + k * 1e-3, 0});
    addPolygon(bundle, rect(2, -1, 3, 1));
    EXPECT_FALSE(bundle.loops().empty());
    Sketch grid;
    for (int k = 0; k < 40; ++k) {
        addSegment(grid, {-1, double(k)}, {40, double(k)});
        addSegment(grid, {double(k), -1}, {double(k), 40});
    }
    // 1 600 crossings, each seen from both of its lines.
    const auto entries = curveEntries(grid);
    EXPECT_FALSE(profileCuts(entries, 3199));
    EXPECT_EQ(profileCuts(entries, 3200).value().at(0).size(), 40u);
}

// Jittered polygons, so that joins are decided by the first match and neighbouring cells.
Sketch jitteredSketch(std::mt19937& rng, double base) {
    std::uniform_int_distribution<int> corner(0, 3), count(3, 6);
    std::uniform_real_distribution<double> jitter(-1.5e-5, 1.5e-5), at(0, 1);
    V2 corners[4];
    for (V2& c : corners)
        c = {base + at(rng), base + at(rng)};
    Sketch s;
    for (int poly = 0; poly < 4; ++poly) {
        Loop l;
        for (int k = count(rng); k > 0; --k)
            l.push_back(corners[corner(rng)] + V2{jitter(rng), jitter(rng)});
        addPolygon(s, l);
    }
    return s;
}

TEST(ProfilesProperty, SameLoopsAndRegionsAsThePlainAlgorithm) {
    for (unsigned seed = 1; seed <= 500; ++seed) {
        std::mt19937 rng(seed);
        const Sketch s = seed % 5 < 2 ? jitteredSketch(rng, seed % 2 ? 0 : 1e6)
                                      : gridSketch(rng, 2 + static_cast<int>(seed % 14));
        const auto loops = referenceLoops(s);
        ASSERT_EQ(s.loops(), loops) << "seed " << seed;
        const auto regions = s.regions();
        ASSERT_EQ(regions, referenceRegions(loops)) << "seed " << seed;
        for (const Region& r : regions)  // (jittered slivers may not hold their regionPoint)
            EXPECT_TRUE(r.area() > 0 && (seed % 5 < 2 || r.contains(regionPoint(r)))) << seed;
        // The broad phase finds every cut that the one-curve query finds.
        const auto entries = curveEntries(s);
        const auto all = profileCuts(entries, 1 << 20);
        ASSERT_TRUE(all);
        for (size_t i = 0; i < entries.size(); ++i)
            EXPECT_TRUE(!entries[i].profile || (*all)[i] == s.cuts(entries[i].id, false)) << seed;
    }
}

}  // namespace
}  // namespace ivo
