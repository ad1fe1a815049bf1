#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "document/doc_json.h"
#include "document/evaluator.h"
#include "document/file_io.h"
#include "support/reference_mesh.h"
#include "support/shapes.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;
using CSG::intersect;
using CSG::subtract;
using CSG::unite;
const double nan = std::nan("");

TEST(Triangles, PlaneNormalsAndNoFlatTriangles) {
    // The normal is the plane's even where the corners would give a slightly different one;
    // a repeated vertex or too few points would make flat fan triangles, and a point on a
    // side is a corner of a triangle, not the tip of a flat one.
    const CPlane z{{0, 0, 1}, 0};
    const auto tris = triangles({CPoly({{0, 0, 0}, {1, 0, 1e-3}, {1, 1, 0}, {0, 1, 0}}, z),
                                 CPoly({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 1, 0}}, z),
                                 CPoly({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}}, z),
                                 CPoly({{0, 0, 0}, {1, 0, 0}}, z), CPoly({}, z)});
    EXPECT_EQ(tris, (std::vector<Tri>{{{0, 0, 0}, {1, 0, 1e-3}, {1, 1, 0}, z.n},
                                      {{0, 0, 0}, {1, 1, 0}, {0, 1, 0}, z.n},
                                      {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, z.n},
                                      {{2, 1, 0}, {0, 0, 0}, {1, 0, 0}, z.n},
                                      {{1, 0, 0}, {2, 0, 0}, {2, 1, 0}, z.n}}));
    EXPECT_NEAR(meshVolume(triangles(polyBox({-1, 2, 3}, {4, 6, 9}))), 5.0 * 4 * 6, 1e-9);
}

// A unit cube whose top is split at x = 0.5, the sides whole: T-junctions as booleans leave.
Solid cubeWithSplitTop(V3 nudge) {
    Solid s = polyBox({0, 0, 0}, {1, 1, 1});
    const CPlane top = s[1].plane;
    s.erase(s.begin() + 1);
    s.push_back(CPoly({{0, 0, 1}, {0.5, 0, 1}, {0.5, 1, 1}, {0, 1, 1}}, top));
    s.push_back(CPoly({{0.5, 0, 1}, {1, 0, 1}, {1, 1, 1}, V3{0.5, 1, 1} + nudge}, top));
    return s;
}

TEST(Triangles, TJunctionsAndNearCornersGiveAClosedMesh) {
    // T-junctions on the sides, a corner 30 nm off its twin, one 30 nm above the face. (The
    // T-junctions of flush booleans: csg_flush_test.)
    for (const V3 nudge : {V3{}, V3{3e-5, 0, 0}, V3{0, 0, 3e-5}}) {
        const auto tris = triangles(cubeWithSplitTop(nudge));
        EXPECT_EQ(meshFault(tris), "") << nudge.x << " " << nudge.z;
        EXPECT_NEAR(meshVolume(tris), 1, 1e-9) << nudge.x << " " << nudge.z;
        for (const Tri& t : tris)
            EXPECT_GT((t.b - t.a).cross(t.c - t.a).length(), 1e-9) << nudge.x << " " << nudge.z;
    }
    // The plain fan keeps the T-junctions.
    EXPECT_NE(meshFault(fanTriangles(cubeWithSplitTop({}))), "");
}

// Two triangles hinged on the x axis, the second (and its normal) turned down by `deg`.
std::vector<Tri> hinge(double deg) {
    const double a = deg * std::numbers::pi / 180;
    return {
        {{0, 0, 0}, {2, 0, 0}, {1, 1, 0}, {0, 0, 1}},
        {{2, 0, 0}, {0, 0, 0}, {1, -std::cos(a), -std::sin(a)}, {0, -std::sin(a), std::cos(a)}}};
}

TEST(FeatureEdges, CreasesAreReportedFromBothSidesWhereTheyMeet) {
    const V3 up{0, 0, 1}, side{0, -1, 0}, mean = (up + side).normalized();
    const V3 n2 = V3{1, 1, -1}.normalized(), mean2 = (up + n2).normalized();
    const struct {
        const char* name;
        std::vector<Tri> tris;
        std::vector<FeatureEdge> want;
    } cases[] = {
        {"right angle", hinge(90), {{{0, 0, 0}, {2, 0, 0}, mean}, {{2, 0, 0}, {0, 0, 0}, mean}}},
        // Computed from the far end, the foot point of this line comes out a hair below y = 1
        // from one side and at 1 from the other: both sides must land on the same line key.
        {"diagonal through whole millimetres",
         {{{2, 0, 0}, {1, 1, 0}, {0, 0, 0}, up}, {{1, 1, 0}, {2, 0, 0}, {1, 0, -1}, n2}},
         {{{2, 0, 0}, {1, 1, 0}, mean2}, {{1, 1, 0}, {2, 0, 0}, mean2}}},
        // A flat face split along the extended plane of a short wall holds an edge that runs
        // on past the wall: only the part along the wall is a crease.
        {"flat edge running past a short crease",
         {{{-5, 0, 0}, {5, 0, 0}, {0, 3, 0}, up},
          {{5, 0, 0}, {-5, 0, 0}, {0, -3, 0}, up},
          {{1, 0, 0}, {-1, 0, 0}, {0, 0, -2}, side}},
         {{{-1, 0, 0}, {1, 0, 0}, mean},
          {{1, 0, 0}, {-1, 0, 0}, mean},
          {{1, 0, 0}, {-1, 0, 0}, mean}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(featureEdges(c.tris), c.want) << c.name;
    EXPECT_TRUE(featureEdges(hinge(20)).empty() && featureEdges(hinge(20), 15).size() == 2u);
    // Folded flat back onto itself every edge meets its twin and the normals cancel.
    const auto folded = featureEdges(hinge(180));
    ASSERT_EQ(folded.size(), 6u);
    for (const FeatureEdge& e : folded)
        EXPECT_EQ(e.n, V3());
    EXPECT_TRUE(featureEdges({{{nan, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                              {{1, 0, 0}, {nan, 0, 0}, {0, 0, 1}, {0, 1, 0}}})
                    .empty());  // bad corners give nothing
}

// The loop up to rotation: the same corners in the same cyclic order.
bool sameLoop(const Loop& got, const Loop& want) {
    for (std::size_t k = 0; got.size() == want.size() && k < got.size(); ++k) {
        bool all = true;
        for (std::size_t i = 0; all && i < got.size(); ++i)
            all = (got[(i + k) % got.size()] - want[i]).length() < 1e-12;
        if (all) return true;
    }
    return false;
}

// Two counter-clockwise triangles for each rectangle {x0, y0, x1, y1}.
std::vector<Tri2> rectTris(const std::vector<std::array<double, 4>>& rects) {
    std::vector<Tri2> out;
    for (const auto& [x0, y0, x1, y1] : rects) {
        out.push_back({V2{x0, y0}, V2{x1, y0}, V2{x1, y1}});
        out.push_back({V2{x0, y0}, V2{x1, y1}, V2{x0, y1}});
    }
    return out;
}

TEST(FaceOutline, BoundaryLoopsWithoutCollinearCorners) {
    std::vector<Tri2> cw, fan;
    for (Tri2 t : rectTris({{0, 0, 1, 1}}))
        cw.push_back({t[0], t[2], t[1]});
    const Loop circle = regularPolygon({3, -2}, 10, 64);
    for (std::size_t i = 0; i < circle.size(); ++i)
        fan.push_back({V2{3, -2}, circle[i], circle[(i + 1) % circle.size()]});
    const V2 m{0.5, 0};
    const struct {
        const char* name;
        std::vector<Tri2> tris;
        std::vector<Loop> want;
    } cases[] = {
        {"clockwise triangles keep their winding", cw, {reversed(rect(0, 0, 1, 1))}},
        {"collinear vertex on a side",
         {{V2{0, 0}, m, V2{0, 1}}, {m, V2{1, 0}, V2{1, 1}}, {m, V2{1, 1}, V2{0, 1}}},
         {rect(0, 0, 1, 1)}},
        // The lower triangle's diagonal faces two upper triangles meeting at its midpoint:
        // unless split at that T-junction it would count as boundary.
        {"T-junction",
         {{V2{0, 0}, V2{2, 0}, V2{2, 2}},
          {V2{0, 0}, V2{1, 1}, V2{0, 2}},
          {V2{1, 1}, V2{2, 2}, V2{0, 2}}},
         {rect(0, 0, 2, 2)}},
        {"square hole",
         rectTris({{0, 0, 3, 1}, {0, 2, 3, 3}, {0, 1, 1, 2}, {2, 1, 3, 2}}),
         {rect(0, 0, 3, 3), reversed(rect(1, 1, 2, 2))}},
        {"fine fan of a circle keeps every corner", fan, {circle}},
        {"flat", {{V2{0, 0}, V2{1, 1}, V2{2, 2}}}, {}},
        {"not finite", {{V2{nan, 0}, V2{1, 0}, V2{0, 1}}}, {}},
    };
    for (const auto& c : cases) {
        const auto loops = faceOutline(c.tris);
        ASSERT_EQ(loops.size(), c.want.size()) << c.name;
        for (const Loop& w : c.want)
            EXPECT_TRUE(std::any_of(loops.begin(), loops.end(), [&](const Loop& l) {
                return sameLoop(l, w);
            })) << c.name;
    }
    // Corners a few nanometres apart are one point; the shared side still cancels.
    EXPECT_EQ(
        faceOutline({{V2{0, 0}, V2{1, 0}, V2{1, 1}}, {V2{0, 1e-9}, V2{1, 1}, V2{0, 1}}}).size(),
        1u);
}

// Against the direct reference: copies of corners, a share of them, moved by up to `reach`.
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

// A corner exactly 2⁻¹⁴ (dyadic) from two that stay apart joins the one found first: cells in
// order, within one the last added first; in one cell and astride a boundary on each axis.
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
