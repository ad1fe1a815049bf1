#include "geometry/triangulate.h"

#include <gtest/gtest.h>

#include "support/reference_triangulate.h"
#include "support/shapes.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// Counter-clockwise triangles summing to the area, none outside (centroids, points just inside
// edge midpoints); `flip` hands the outer loop over clockwise.
void expectExactCover(const Region& region, const std::string& what, bool flip = false) {
    const auto tris = triangulate(flip ? reversed(region.outer) : region.outer, region.holes);
    bool ccw = false;
    EXPECT_NEAR(triangleArea(tris, &ccw), region.area(), 1e-9 * std::max(1.0, region.area()))
        << what;
    EXPECT_TRUE(ccw) << what;
    for (const Tri2& t : tris) {
        const V2 c = (t[0] + t[1] + t[2]) / 3;
        EXPECT_TRUE(region.contains(c)) << what << ": centroid " << c.x << "," << c.y;
        for (int i = 0; i < 3; ++i) {
            const V2 m = (t[i] + t[(i + 1) % 3]) / 2;
            EXPECT_TRUE(region.contains(m + (c - m) * 1e-6))
                << what << ": edge " << m.x << "," << m.y;
        }
    }
}

TEST(Triangulate, SmallAndDegenerateCases) {
    expectExactCover({rect(0, 0, 1, 1), {}}, "clockwise square", true);
    // Holes given counter-clockwise are turned round; a hole outside is dropped.
    EXPECT_NEAR(triangleArea(triangulate(rect(0, 0, 10, 10), {rect(3, 3, 6, 6)})), 91, 1e-9);
    EXPECT_NEAR(triangleArea(triangulate(rect(0, 0, 2, 2), {reversed(rect(5, .5, 6, 1.5))})), 4,
                1e-12);
    // Nothing flat from degenerate loops, and a bow tie ends.
    EXPECT_TRUE(triangulate({{0, 0}, {1, 1}, {2, 2}}, {}).empty());
    EXPECT_EQ(triangulate({{0, 0}, {1, 0}, {1, 1e-10}, {1, 1}, {0, 1}, {0, 0}}, {}).size(), 2u);
    bool ccw = false;
    triangleArea(triangulate({{0, 0}, {2, 2}, {2, 0}, {0, 2}}, {}), &ccw);
    EXPECT_TRUE(ccw);
}

// A convex corner whose diagonal runs through a reflex corner is no ear (the L bracket's caps).
TEST(Triangulate, EarsNeverCrossAReflexCornerOnTheirDiagonal) {
    const Loop L{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
    const Loop U{{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}};
    // With holes whose corners line up with the outer reflex corners.
    const Loop bigU{{0, 0}, {9, 0}, {9, 9}, {6, 9}, {6, 3}, {3, 3}, {3, 9}, {0, 9}};
    const std::vector<Loop> uHoles{reversed(rect(1, 1, 2, 3)), reversed(rect(7, 3, 8, 6))};
    for (const auto& [name, shape, holes] :
         {std::tuple{"L", L, std::vector<Loop>{}}, {"U", U, {}}, {"U with holes", bigU, uHoles}}) {
        for (const Loop& base : {shape, mirroredX(shape)}) {
            const std::vector<Loop> h = base == shape ? holes : std::vector<Loop>{};
            for (size_t k = 0; k < base.size(); ++k) {
                const Loop l = rotatedStart(base, k);
                const std::string what = std::string(name) + " from " + std::to_string(k);
                expectExactCover({l, h}, what);
                expectExactCover({l, h}, what + " reversed", true);
            }
        }
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
                clear = clear && (interiorPoint(h) - c).length() >= 2.5;
            if (clear) r.holes.push_back(reversed(randomStar(rng, c, 3 + tries % 6, 0.4, 1)));
        }
        expectExactCover(r, "seed " + std::to_string(seed));
    }
}

// Later holes' rays meet earlier bridges: each hole is spliced at the copy facing it.
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
            expectExactCover(squares, "squares " + what);
            expectExactCover(round, "circles " + what);
        }
    }
}

// Collinear reflex corners everywhere; the cached clipper matches the plain one exactly.
TEST(Triangulate, RandomOrthogonalLoopsCoverExactlyAndMatchThePlainClipper) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        const Loop stairs = randomStaircase(rng, 2 + static_cast<int>(seed % 20));
        const Loop comb = randomComb(rng, 1 + static_cast<int>(seed % 12));
        for (size_t k = 0; k < 5; ++k) {
            const std::string what = "seed " + std::to_string(seed) + " start " + std::to_string(k);
            const Loop s = rotatedStart(stairs, k * 3), c = rotatedStart(comb, k * 7);
            expectExactCover({s, {}}, "staircase " + what);
            expectExactCover({c, {}}, "comb " + what);
            // The comb's base bar with a square hole aligned on its grid.
            expectExactCover({c, {reversed(rect(0.25, 0.25, 0.75, 0.75))}}, "holed comb " + what);
            EXPECT_EQ(clipEars(c), clipEarsPlain(c)) << "comb " << what;
        }
        if (seed > 200) continue;
        std::vector<Loop> holes;
        if (seed % 2) holes.push_back(reversed(randomStar(rng, {1, 1}, 7, 0.5, 2)));
        const Loop poly =
            bridgeHoles(randomStar(rng, {0, 0}, 5 + static_cast<int>(seed % 60), 3, 10), holes);
        EXPECT_EQ(clipEars(poly), clipEarsPlain(poly)) << "star seed " << seed;
    }
}

}  // namespace
}  // namespace ivo
