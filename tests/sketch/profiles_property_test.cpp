// Randomised checks of the profile finder: the same loops and regions as the plain algorithm,
// and exact triangulation of the regions of orthogonal sketches.
#include <gtest/gtest.h>

#include <numbers>
#include <random>
#include <string>

#include "geometry/triangulate.h"
#include "sketch/curve_table.h"
#include "sketch/profiles.h"
#include "support/reference_profiles.h"
#include "support/shapes.h"
#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;
constexpr double pi = std::numbers::pi;

// Lines, circles and arcs on a coarse grid, so that curves share end points, touch, run
// through each other's ends, overlap and repeat; some are construction or degenerate.
Sketch gridSketch(std::mt19937& rng, int curves) {
    std::uniform_int_distribution<int> coord(0, 6), kind(0, 9), pick(0, 1 << 20);
    std::uniform_real_distribution<double> unit(0, 1);
    Sketch s;
    std::vector<Id> pts;
    auto point = [&]() {
        if (!pts.empty() && kind(rng) < 4) return pts[pick(rng) % pts.size()];
        pts.push_back(s.addPoint({double(coord(rng)), double(coord(rng))}));
        return pts.back();
    };
    for (int i = 0; i < curves; ++i) {
        const bool construction = kind(rng) == 0;
        const int k = kind(rng);
        const V2 c{double(coord(rng)), double(coord(rng))};
        const double r = 0.5 * (1 + coord(rng) % 4);
        if (k < 6) {
            s.addLine(point(), point(), construction);
        } else if (k < 8) {
            addCircle(s, c, r, construction);
        } else {
            const double a = pi / 4 * coord(rng), b = a + pi / 4 * (1 + coord(rng));
            addArc(s, c, c + V2{std::cos(a), std::sin(a)} * r,
                   c + V2{std::cos(b), std::sin(b)} * (unit(rng) < 0.8 ? r : r * 1.5),
                   construction);
        }
        if (kind(rng) == 0 && !s.lines.empty())
            s.lines.push_back({s.newId(), s.lines[0].a, s.lines[0].b});
    }
    return s;
}

// Rectangles, circles and lines at random real positions.
Sketch scatteredSketch(std::mt19937& rng) {
    std::uniform_real_distribution<double> at(0, 20), size(0.5, 8);
    std::uniform_int_distribution<int> count(0, 4);
    Sketch s;
    for (int i = count(rng) + 1; i > 0; --i) {
        const double x = at(rng), y = at(rng);
        addPolygon(s, rect(x, y, x + size(rng), y + size(rng)));
    }
    for (int i = count(rng); i > 0; --i)
        addCircle(s, {at(rng), at(rng)}, size(rng) / 2);
    for (int i = count(rng); i > 0; --i)
        addSegment(s, {at(rng), at(rng)}, {at(rng), at(rng)});
    return s;
}

TEST(ProfilesProperty, SameLoopsAndRegionsAsThePlainAlgorithm) {
    for (unsigned seed = 1; seed <= 400; ++seed) {
        std::mt19937 rng(seed);
        const Sketch s =
            seed % 4 ? gridSketch(rng, 2 + static_cast<int>(seed % 14)) : scatteredSketch(rng);
        const auto loops = referenceLoops(s);
        ASSERT_EQ(s.loops(), loops) << "seed " << seed;
        const auto regions = s.regions();
        ASSERT_EQ(regions, referenceRegions(loops)) << "seed " << seed;
        for (const Region& r : regions)
            EXPECT_GT(r.area(), 0) << "seed " << seed;
        // The broad phase finds every cut that the one-curve query finds.
        const auto entries = curveEntries(s);
        const auto all = profileCuts(entries, 1 << 20);
        ASSERT_TRUE(all);
        for (size_t i = 0; i < entries.size(); ++i)
            EXPECT_TRUE(!entries[i].profile || (*all)[i] == s.cuts(entries[i].id, false)) << seed;
    }
}

TEST(ProfilesProperty, NodesJoinAsInALinearScanAroundTheJoiningDistance) {
    // Polygons through points jittered by about the joining distance, near round
    // coordinates and far from the origin, so that joins are decided by the first match
    // and by neighbouring cells of the index.
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> corner(0, 3), count(3, 6);
        std::uniform_real_distribution<double> jitter(-1.5e-5, 1.5e-5), at(0, 1);
        const double base = seed % 2 ? 0 : 1e6;
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
        ASSERT_EQ(s.loops(), referenceLoops(s)) << "seed " << seed;
    }
}

Loop shifted(Loop l, V2 by) {
    for (V2& p : l)
        p = p + by;
    return l;
}

// Axis-aligned figures on an integer grid: overlapping rectangles (whose sides cross and
// meet in T-junctions), L, U and T outlines, staircases and combs with square holes.
Sketch orthogonalSketch(std::mt19937& rng) {
    std::uniform_int_distribution<int> coord(0, 10), span(1, 6), coin(0, 1), start(0, 7);
    Sketch s;
    auto draw = [&](const Loop& l) {
        const Loop turned = rotatedStart(l, start(rng) % l.size());
        addPolygon(s, coin(rng) ? turned : reversed(turned));
    };
    for (int i = 1 + coord(rng) % 5; i > 0; --i) {
        const int x = coord(rng), y = coord(rng);
        draw(rect(x, y, x + span(rng), y + span(rng)));
    }
    const Loop L{{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}};
    const Loop shapes[] = {L,
                           {{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}},
                           {{1, 0}, {2, 0}, {2, 2}, {3, 2}, {3, 3}, {0, 3}, {0, 2}, {1, 2}},
                           mirroredX(L),
                           randomStaircase(rng, 2 + coord(rng)),
                           randomComb(rng, 1 + coord(rng) % 6)};
    for (int k = 0; k < 6; ++k) {
        const V2 at{20.0 + 20 * k, double(coord(rng))};
        draw(shifted(shapes[k], at));
        // Square holes in the unit cells along the bottom row that lie inside the shape.
        for (int cx = 0; cx < 12; ++cx) {
            const V2 cell = at + V2{double(cx), 0};
            if (coin(rng) && pointInPolygon(cell + V2{0.5, 0.5}, shifted(shapes[k], at)))
                draw(shifted(rect(0.25, 0.25, 0.75, 0.75), cell));
        }
    }
    return s;
}

TEST(ProfilesProperty, RegionsOfOrthogonalSketchesTriangulateToExactlyTheirArea) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
        std::mt19937 rng(seed);
        const Sketch s = orthogonalSketch(rng);
        const auto regions = s.regions();
        const std::string what = "seed " + std::to_string(seed);
        ASSERT_GE(regions.size(), 6u) << what;
        ASSERT_EQ(regions, referenceRegions(s.loops())) << what;
        for (const Region& r : regions) {
            const auto tris = triangulate(r.outer, r.holes);
            bool ccw = false;
            EXPECT_NEAR(triangleArea(tris, &ccw), r.area(), 1e-9) << what;
            EXPECT_TRUE(ccw) << what;
            // Every triangle's centroid lies inside, and its edge midpoints inside or on the
            // region's boundary.
            for (const auto& t : tris) {
                const V2 centroid = (t[0] + t[1] + t[2]) / 3;
                EXPECT_TRUE(r.contains(centroid)) << what;
                for (int e = 0; e < 3; ++e) {
                    const V2 m = (t[e] + t[(e + 1) % 3]) / 2;
                    EXPECT_TRUE(r.contains(m + (centroid - m) * 1e-6)) << what;
                }
            }
        }
    }
}

}  // namespace
}  // namespace ivo
