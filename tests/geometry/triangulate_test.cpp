#include "geometry/triangulate.h"

#include <gtest/gtest.h>

#include "support/reference_triangulate.h"
#include "support/shapes.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// Every triangle counter-clockwise, areas summing to the region's, and no triangle reaching
// outside: centroids and points just inside each edge midpoint must lie in the region.
void expectExactCover(const Region& region, const std::vector<Tri2>& tris,
                      const std::string& what) {
    bool ccw = false;
    EXPECT_NEAR(triangleArea(tris, &ccw), region.area(), 1e-9 * std::max(1.0, region.area()))
        << what;
    EXPECT_TRUE(ccw) << what;
    for (const Tri2& t : tris) {
        const V2 c = (t[0] + t[1] + t[2]) / 3;
        EXPECT_TRUE(region.contains(c)) << what << ": centroid " << c.x << "," << c.y;
        for (int i = 0; i < 3; ++i) {
            const V2 m = (t[i] + t[(i + 1) % 3]) / 2;
            const V2 probe = m + (c - m) * 1e-6;
            EXPECT_TRUE(region.contains(probe)) << what << ": edge near " << m.x << "," << m.y;
        }
    }
}

TEST(Triangulate, ClockwiseSquareGivesTwoCounterClockwiseTriangles) {
    const auto tris = triangulate(reversed(rect(0, 0, 1, 1)), {});
    ASSERT_EQ(tris.size(), 2u);
    expectExactCover({rect(0, 0, 1, 1), {}}, tris, "square");
}

TEST(Triangulate, HolesAreBridgedAndSubtracted) {
    const Region one{rect(0, 0, 10, 10), {reversed(rect(3, 3, 6, 6))}};
    expectExactCover(one, triangulate(one.outer, one.holes), "one hole");
    // Holes given counter-clockwise are turned round.
    EXPECT_NEAR(triangleArea(triangulate(one.outer, {rect(3, 3, 6, 6)})), 91, 1e-9);
    const Region two{rect(0, 0, 10, 4), {reversed(rect(1, 1, 3, 3)), reversed(rect(6, 1, 8, 3))}};
    expectExactCover(two, triangulate(two.outer, two.holes), "two holes side by side");
}

TEST(Triangulate, HoleOutsideToTheRightIsDropped) {
    const auto tris = triangulate(rect(0, 0, 2, 2), {reversed(rect(5, 0.5, 6, 1.5))});
    EXPECT_NEAR(triangleArea(tris), 4, 1e-12);
}

TEST(Triangulate, DegenerateInputsYieldNoZeroAreaTriangles) {
    EXPECT_TRUE(triangulate({{0, 0}, {1, 1}, {2, 2}}, {}).empty());
    EXPECT_TRUE(triangulate({{0, 0}, {1, 0}}, {}).empty());
    const Loop repeated{{0, 0}, {1, 0}, {1, 1e-10}, {1, 1}, {0, 1}, {0, 0}};
    EXPECT_EQ(triangulate(repeated, {}).size(), 2u);
    // A collinear run along one side is removed without a flat triangle.
    const Loop run{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {0, 1}};
    expectExactCover({run, {}}, triangulate(run, {}), "collinear run");
}

TEST(Triangulate, SelfIntersectingInputTerminates) {
    const Loop bowtie{{0, 0}, {2, 2}, {2, 0}, {0, 2}};
    for (const Tri2& t : triangulate(bowtie, {}))
        EXPECT_GT((t[1] - t[0]).cross(t[2] - t[0]), 1e-12);
}

// The L bracket: a convex corner whose diagonal passes exactly through the reflex corner
// must not be clipped, or the caps of an extruded L cover area outside it.
TEST(Triangulate, EarsNeverCrossAReflexCornerOnTheirDiagonal) {
    const Loop L{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
    const Loop U{{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
    const Loop T{{1, 0}, {2, 0}, {2, 2}, {3, 2}, {3, 3}, {0, 3}, {0, 2}, {1, 2}};
    const Loop E{{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 2}, {3, 2},
                 {3, 3}, {1, 3}, {1, 4}, {3, 4}, {3, 5}, {0, 5}};
    for (const auto& [name, shape] : {std::pair{"L", L}, {"U", U}, {"T", T}, {"E", E}}) {
        for (const Loop& base : {shape, mirroredX(shape)}) {
            for (size_t k = 0; k < base.size(); ++k) {
                const Loop l = rotatedStart(base, k);
                const std::string what = std::string(name) + " from " + std::to_string(k);
                expectExactCover({l, {}}, triangulate(l, {}), what);
                expectExactCover({l, {}}, triangulate(reversed(l), {}), what + " reversed");
            }
        }
    }
    // With holes whose corners line up with the outer reflex corners.
    const Loop bigU{{0, 0}, {9, 0}, {9, 9}, {6, 9}, {6, 3}, {3, 3}, {3, 9}, {0, 9}};
    const Region r{bigU, {reversed(rect(1, 1, 2, 3)), reversed(rect(7, 3, 8, 6))}};
    for (size_t k = 0; k < bigU.size(); ++k) {
        const Loop l = rotatedStart(bigU, k);
        expectExactCover(r, triangulate(l, r.holes), "U with holes from " + std::to_string(k));
    }
}

TEST(Triangulate, RandomStarsWithHolesCoverExactly) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        Region r{randomStar(rng, {0, 0}, 8 + static_cast<int>(seed % 40), 8, 10), {}};
        std::uniform_real_distribution<double> pos(-3, 3);
        for (int tries = 0; tries < 30 && r.holes.size() < seed % 7; ++tries) {
            const V2 c{pos(rng), pos(rng)};
            bool clear = true;
            for (const Loop& h : r.holes)
                if ((interiorPoint(h) - c).length() < 2.5) clear = false;
            if (clear) r.holes.push_back(reversed(randomStar(rng, c, 3 + tries % 6, 0.4, 1)));
        }
        expectExactCover(r, triangulate(r.outer, r.holes), "seed " + std::to_string(seed));
    }
}

// Rays from later holes meet the bridges of earlier ones, whose outer vertex then has
// several copies: each hole must be spliced at the copy that faces it.
TEST(Triangulate, GridsOfHolesBridgeThroughEachOther) {
    for (int nx = 1; nx <= 6; ++nx) {
        for (int ny = 1; ny <= 6; ++ny) {
            Region squares{rect(0, 0, 10 * nx + 2, 10 * ny + 2), {}};
            Region round{regularPolygon({0, 0}, 100, 64, 0.1 * nx), {}};
            for (int i = 0; i < nx; ++i) {
                for (int j = 0; j < ny; ++j) {
                    squares.holes.push_back(
                        reversed(rect(10 * i + 2, 10 * j + 2, 10 * i + 8, 10 * j + 8)));
                    round.holes.push_back(reversed(regularPolygon(
                        {-50 + 100.0 * i / nx, -50 + 100.0 * j / ny}, 2, 32, 0.3 * ny)));
                }
            }
            const std::string what = std::to_string(nx) + "x" + std::to_string(ny);
            expectExactCover(squares, triangulate(squares.outer, squares.holes), "squares " + what);
            expectExactCover(round, triangulate(round.outer, round.holes), "circles " + what);
        }
    }
}

TEST(Triangulate, RandomOrthogonalLoopsCoverExactly) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        const Loop stairs = randomStaircase(rng, 2 + static_cast<int>(seed % 20));
        const Loop comb = randomComb(rng, 1 + static_cast<int>(seed % 12));
        for (size_t k = 0; k < 5; ++k) {
            const std::string what = "seed " + std::to_string(seed) + " start " + std::to_string(k);
            const Loop s = rotatedStart(stairs, k * 3);
            const Loop c = rotatedStart(comb, k * 7);
            expectExactCover({s, {}}, triangulate(s, {}), "staircase " + what);
            expectExactCover({c, {}}, triangulate(c, {}), "comb " + what);
            // The comb's base bar with square holes aligned on its grid.
            const Region holed{c, {reversed(rect(0.25, 0.25, 0.75, 0.75))}};
            expectExactCover(holed, triangulate(holed.outer, holed.holes), "holed comb " + what);
        }
    }
}

TEST(Triangulate, CachedClipperMatchesThePlainOneTriangleForTriangle) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 rng(seed);
        std::vector<Loop> holes;
        if (seed % 2) holes.push_back(reversed(randomStar(rng, {1, 1}, 7, 0.5, 2)));
        const Loop poly =
            bridgeHoles(randomStar(rng, {0, 0}, 5 + static_cast<int>(seed % 60), 3, 10), holes);
        EXPECT_EQ(clipEars(poly), clipEarsPlain(poly)) << "seed " << seed;
        const Loop comb = randomComb(rng, 1 + static_cast<int>(seed % 9));
        EXPECT_EQ(clipEars(comb), clipEarsPlain(comb)) << "comb seed " << seed;
    }
}

}  // namespace
}  // namespace ivo
