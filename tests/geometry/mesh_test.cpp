#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "support/shapes.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

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
    // Every cube edge is a crease, reported from both sides; no face diagonal is.
    EXPECT_EQ(featureEdges(triangles(polyBox({0, 0, 0}, {1, 1, 1}))).size(), 24u);
}

// A unit cube whose top is two halves (x < 0.5 and x > 0.5), the sides whole: the sides'
// top edges pass the halves' corners at x = 0.5, as a boolean leaves them.
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
    // Corners 60 nm apart in a row stay apart: none joins its neighbour through another.
    Solid row = cubeWithSplitTop({});
    std::vector<V3> edge(row[0].v.begin(), row[0].v.end());  // the bottom, with extra corners
    edge.insert(edge.begin() + 1, {{0, 0.5 - 6e-5, 0}, {0, 0.5, 0}, {0, 0.5 + 6e-5, 0}});
    row[0] = CPoly::of(PolyPoints(edge), row[0].plane);
    std::vector<V3> kept;
    for (const Tri& t : triangles(row))
        for (const V3 p : {t.a, t.b, t.c})
            if (p.x == 0 && p.z == 0 && p.y > 0.4 && p.y < 0.6 &&
                std::find(kept.begin(), kept.end(), p) == kept.end())
                kept.push_back(p);
    EXPECT_EQ(kept.size(), 2u);
}

// Two triangles hinged on the x axis, the second bent down by `deg` from the plane of the
// first, its normal turned by the same angle.
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
    const double nan = std::nan("");  // bad corners give nothing
    EXPECT_TRUE(featureEdges({{{nan, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                              {{1, 0, 0}, {nan, 0, 0}, {0, 0, 1}, {0, 1, 0}}})
                    .empty());
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
    const double nan = std::nan("");
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

}  // namespace
}  // namespace ivo
