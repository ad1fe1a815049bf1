// The mesh step against its direct reference: the same triangles in the same order, corner
// for corner, on boolean results full of T-junctions, with corners nudged within and just
// beyond the weld distance, on the boundaries of the weld grid's cells, around wide fans
// and out of the grid's range.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "document/doc_json.h"
#include "document/evaluator.h"
#include "document/file_io.h"
#include "geometry/mesh.h"
#include "support/reference_mesh.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;
using CSG::intersect;
using CSG::subtract;
using CSG::unite;

// Every copy of a corner moved on its own by up to `reach` (so copies of one corner end up
// to twice that apart), on a share of the corners.
Solid jittered(const Solid& s, std::mt19937& rng, double reach, double share) {
    std::uniform_real_distribution<double> d(-reach, reach), u(0, 1);
    Solid out;
    for (const CPoly& p : s) {
        std::vector<V3> v;
        for (std::size_t i = 0; i < p.v.size(); ++i)
            v.push_back(u(rng) < share ? p.v[i] + V3{d(rng), d(rng), d(rng)} : p.v[i]);
        out.push_back(CPoly(v, p.plane));
    }
    return out;
}

// The first difference, or "" when the triangles are the same.
std::string difference(const std::vector<Tri>& got, const std::vector<Tri>& want) {
    if (got.size() != want.size())
        return std::to_string(got.size()) + " triangles, want " + std::to_string(want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        if (!(got[i] == want[i])) return "triangle " + std::to_string(i) + " differs";
    return "";
}

Solid randomBoolean(std::mt19937& rng) {
    Solid s = randomSolid(rng);
    for (int k = 0, n = 2 + int(rng() % 4); k < n; ++k) {
        const Solid b = randomSolid(rng);
        const unsigned op = rng() % 20;
        s = op < 7 ? unite(s, b) : op < 17 ? subtract(s, b) : intersect(s, b);
    }
    return s;
}

TEST(TrianglesMatchReference, RandomBooleansNudgedAroundTheWeldDistance) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 120; ++round) {
        const Solid s = randomBoolean(rng);
        // As the kernel left it; copies a weld apart at most; some copies just beyond it.
        const double reach[] = {0, 0.2 * kMeshWeld, 0.45 * kMeshWeld, 0.6 * kMeshWeld};
        for (const double r : reach) {
            const Solid t = r == 0 ? s : jittered(s, rng, r, 0.5);
            EXPECT_EQ(difference(triangles(t), referenceTriangles(t)), "")
                << "round " << round << ", reach " << r;
        }
    }
}

// Corners on the faces of the weld grid's cells (8 × the weld distance from an origin
// off the round values), and pairs of corners straddling one within the weld distance.
TEST(TrianglesMatchReference, CornersOnWeldGridCellBoundaries) {
    const double h = 8 * kMeshWeld, o = 0.000137;
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        const int m = 1 + int(rng() % 50);
        const V3 lo{o + m * h, o + (m + 3) * h, o - m * h};
        const V3 hi = lo + V3{h * (1 + rng() % 40), h * (1 + rng() % 40), h * (1 + rng() % 40)};
        // A box split down the middle on a cell boundary, its neighbours whole: T-junctions.
        Solid s = subtract(polyBox(lo, hi), polyBox(lo + V3{h, -h, h}, hi + V3{-h, h, -h}));
        for (const CPoly& p : polyBox(hi, hi + V3{h * 5, h * 5, h * 5}))
            s.push_back(p);
        const Solid t = jittered(s, rng, 0.4 * kMeshWeld, 0.3);
        EXPECT_EQ(difference(triangles(s), referenceTriangles(s)), "") << round;
        EXPECT_EQ(difference(triangles(t), referenceTriangles(t)), "") << round;
    }
}

// A corner exactly as far from two corners that stay apart joins the one found first: the
// grid's cells are visited in order and, within a cell, the last corner added first. The
// corners are dyadic, so that both distances are exactly 2⁻¹⁴, placed in one cell and
// astride a cell boundary on each axis.
TEST(TrianglesMatchReference, EqualDistancesKeepTheFirstFound) {
    const double d = std::ldexp(1.0, -14), h = 8 * kMeshWeld, o = 0.000137;
    auto dyadic = [](double v) { return std::round(std::ldexp(v, 20)) / std::ldexp(1.0, 20); };
    const CPlane z{{0, 0, 1}, 0};
    for (int a = 0; a < 3; ++a)
        for (const double c : {dyadic(0.5 + 3 * h), dyadic(o + 625 * h)}) {
            V3 x{0.5, 0.5, 0.5}, e{};
            (a == 0 ? x.x : a == 1 ? x.y : x.z) = c;
            (a == 0 ? e.x : a == 1 ? e.y : e.z) = d;
            for (const V3 first : {x - e, x + e}) {
                const V3 second = first == x - e ? x + e : x - e;
                Solid s;
                for (const V3 p : {first, second, x})
                    s.push_back(CPoly({p, p + V3{1, 0, 0}, p + V3{1, 1, 0}}, z));
                EXPECT_EQ(difference(triangles(s), referenceTriangles(s)), "") << a << " " << c;
            }
        }
}

TEST(TrianglesMatchReference, WideFansSpheresGridsAndFarCorners) {
    std::mt19937 rng(11);
    const Solid sphere = sphereSolid({1, 2, 3}, 4, 12, 80);  // 80 triangles at each pole
    Solid grid;
    for (int i = 0; i < 30; ++i)
        for (const CPoly& p : polyBox({i * 1.5, 0, 0}, {i * 1.5 + 1, 1, 1}))
            grid.push_back(p);
    // Far beyond the grid's range, where no corner is welded or found on an edge.
    Solid far = polyBox({1e17, 1e17, 1e17}, {1e17 + 1e3, 1e17 + 1e3, 1e17 + 1e3});
    for (const CPoly& p : subtract(polyBox({0, 0, 0}, {2, 2, 2}), polyBox({1, 1, 1}, {3, 3, 3})))
        far.push_back(p);
    const Solid cases[] = {
        sphere,
        subtract(sphere, polyBox({0, 0, 0}, {9, 9, 9})),
        jittered(subtract(sphere, polyBox({1, 2, 3}, {9, 9, 9})), rng, 0.45 * kMeshWeld, 1),
        grid,
        jittered(grid, rng, 0.6 * kMeshWeld, 1),
        far,
    };
    for (std::size_t k = 0; k < std::size(cases); ++k)
        EXPECT_EQ(difference(triangles(cases[k]), referenceTriangles(cases[k])), "") << k;
}

TEST(TrianglesMatchReference, DrilledPlateSample) {
    std::string reason;
    const auto text = readFile(std::string(IVORANE_EXAMPLES_DIR) + "/plaque_100_trous.q3d",
                               kMaxDocumentBytes, reason);
    ASSERT_TRUE(text) << reason;
    const auto doc = decodeDoc(*text, reason);
    ASSERT_TRUE(doc) << reason;
    const EvalResult r = Evaluator::run(*doc);
    ASSERT_FALSE(r.bodies.empty());
    const Solid& s = *r.bodies[0].solid;
    const std::vector<Tri> tris = triangles(s);
    EXPECT_EQ(difference(tris, referenceTriangles(s)), "");
    EXPECT_EQ(meshFault(tris), "");
}

}  // namespace
}  // namespace ivo
