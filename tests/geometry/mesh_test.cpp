#include "geometry/mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "support/reference_mesh.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

void expectNear(V3 p, V3 q, const std::string& what) {
    EXPECT_NEAR((p - q).length(), 0, 1e-12) << what << ": " << p.x << "," << p.y << "," << p.z
                                            << " vs " << q.x << "," << q.y << "," << q.z;
}

TEST(Triangles, FansFollowPolygonAndVertexOrderWithThePlaneNormal) {
    const Solid square{CPoly({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 0, 1}, 0})};
    const auto tris = triangles(square);
    ASSERT_EQ(tris.size(), 2u);
    EXPECT_EQ(tris[0], (Tri{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 1}}));
    EXPECT_EQ(tris[1], (Tri{{0, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}}));

    // The normal is the plane's even where the corners would give a slightly different one.
    const Solid tilted{CPoly({{0, 0, 0}, {1, 0, 1e-3}, {0, 1, 0}}, {{0, 0, 1}, 0})};
    EXPECT_EQ(triangles(tilted)[0].n, (V3{0, 0, 1}));

    const Solid box = polyBox({-1, 2, 3}, {4, 6, 9});
    const auto boxTris = triangles(box);
    ASSERT_EQ(boxTris.size(), 12u);
    EXPECT_NEAR(meshVolume(boxTris), 5.0 * 4 * 6, 1e-9);
    for (const Tri& t : boxTris)
        EXPECT_GT((t.b - t.a).cross(t.c - t.a).dot(t.n), 0);
}

TEST(Triangles, DegenerateFansAndShortPolygonsGiveNothing) {
    const CPlane z{{0, 0, 1}, 0};
    // A repeated vertex and a collinear run would each make a flat fan triangle.
    const Solid s{CPoly({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, z),
                  CPoly({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}}, z),
                  CPoly({{0, 0, 0}, {1, 0, 0}}, z), CPoly({}, z)};
    const auto tris = triangles(s);
    ASSERT_EQ(tris.size(), 3u);
    for (const Tri& t : tris)
        EXPECT_GE((t.b - t.a).cross(t.c - t.a).length(), 1e-12);
    EXPECT_TRUE(triangles({}).empty());
}

TEST(FeatureEdges, CubeGivesEachEdgeTwiceAndNoFaceDiagonal) {
    const auto edges = featureEdges(triangles(polyBox({0, 0, 0}, {1, 1, 1})));
    ASSERT_EQ(edges.size(), 24u);
    for (const FeatureEdge& e : edges) {
        const V3 d = e.b - e.a;
        // Along one axis only: a diagonal would change two coordinates.
        const int axes = (d.x != 0) + (d.y != 0) + (d.z != 0);
        EXPECT_EQ(axes, 1);
        // Both ends on the same two faces, and n half-way between their normals.
        const V3 m = (e.a + e.b) / 2;
        V3 expected{m.x == 0   ? -1.0
                    : m.x == 1 ? 1.0
                               : 0.0,
                    m.y == 0   ? -1.0
                    : m.y == 1 ? 1.0
                               : 0.0,
                    m.z == 0   ? -1.0
                    : m.z == 1 ? 1.0
                               : 0.0};
        expectNear(e.n, expected.normalized(), "cube edge normal");
        int twins = 0;
        for (const FeatureEdge& f : edges)
            twins += (f.a == e.a && f.b == e.b) || (f.a == e.b && f.b == e.a);
        EXPECT_EQ(twins, 2);
    }
}

// Two triangles hinged on the x axis, the second bent down by `deg` from the plane of the
// first, its normal turned by the same angle.
std::vector<Tri> hinge(double deg) {
    const double a = deg * std::numbers::pi / 180;
    return {
        {{0, 0, 0}, {2, 0, 0}, {1, 1, 0}, {0, 0, 1}},
        {{2, 0, 0}, {0, 0, 0}, {1, -std::cos(a), -std::sin(a)}, {0, -std::sin(a), std::cos(a)}}};
}

TEST(FeatureEdges, CreaseAngleDecidesAndBothSidesAreReported) {
    const auto right = featureEdges(hinge(90));
    ASSERT_EQ(right.size(), 2u);
    const auto tris = hinge(90);
    const V3 mean = (tris[0].n + tris[1].n).normalized();
    EXPECT_EQ(right[0], (FeatureEdge{{0, 0, 0}, {2, 0, 0}, mean}));
    EXPECT_EQ(right[1], (FeatureEdge{{2, 0, 0}, {0, 0, 0}, mean}));
    EXPECT_NEAR(std::acos(tris[0].n.dot(tris[1].n)) * 180 / std::numbers::pi, 90, 1e-9);

    EXPECT_TRUE(featureEdges(hinge(20)).empty());
    EXPECT_EQ(featureEdges(hinge(20), 15).size(), 2u);
    EXPECT_EQ(featureEdges(hinge(30)).size(), 2u);
    // Folded flat back onto itself every edge meets its twin and the normals cancel.
    const auto folded = featureEdges(hinge(180));
    ASSERT_EQ(folded.size(), 6u);
    for (const FeatureEdge& e : folded)
        EXPECT_EQ(e.n, (V3{}));
}

TEST(FeatureEdges, DiagonalEdgeThroughWholeMillimetresIsFoundFromBothSides) {
    // Computed from the far end, the foot point of this line comes out a hair below y = 1
    // from one side and at 1 from the other; both sides must land on the same line key.
    const V3 n2 = V3{1, 1, -1}.normalized();
    const std::vector<Tri> tris{{{2, 0, 0}, {1, 1, 0}, {0, 0, 0}, {0, 0, 1}},
                                {{1, 1, 0}, {2, 0, 0}, {1, 0, -1}, n2}};
    const auto edges = featureEdges(tris);
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_EQ(edges[0], (FeatureEdge{{2, 0, 0}, {1, 1, 0}, (V3{0, 0, 1} + n2).normalized()}));
}

TEST(FeatureEdges, LongEdgeMeetsTwoShortCollinearOnes) {
    const V3 up{0, 0, 1}, side{0, -1, 0};
    const std::vector<Tri> tris{
        {{0, 0, 0}, {2, 0, 0}, {1, 1, 0}, up},
        {{1, 0, 0}, {0, 0, 0}, {0.5, 0, -1}, side},
        {{2, 0, 0}, {1, 0, 0}, {1.5, 0, -1}, side},
    };
    const auto edges = featureEdges(tris);
    ASSERT_EQ(edges.size(), 3u);
    const V3 mean = (up + side).normalized();
    EXPECT_EQ(edges[0], (FeatureEdge{{0, 0, 0}, {2, 0, 0}, mean}));
    EXPECT_EQ(edges[1], (FeatureEdge{{1, 0, 0}, {0, 0, 0}, mean}));
    EXPECT_EQ(edges[2], (FeatureEdge{{2, 0, 0}, {1, 0, 0}, mean}));
}

// A flat face split along the extended plane of a short wall holds an edge that runs on
// past the wall: only the part along the wall is a crease.
TEST(FeatureEdges, FlatEdgeRunningPastAShortCreaseIsCutToIt) {
    const V3 up{0, 0, 1}, side{0, -1, 0};
    const std::vector<Tri> tris{
        {{-5, 0, 0}, {5, 0, 0}, {0, 3, 0}, up},
        {{5, 0, 0}, {-5, 0, 0}, {0, -3, 0}, up},
        {{1, 0, 0}, {-1, 0, 0}, {0, 0, -2}, side},
    };
    const auto edges = featureEdges(tris);
    ASSERT_EQ(edges.size(), 3u);
    const V3 mean = (up + side).normalized();
    EXPECT_EQ(edges[0], (FeatureEdge{{-1, 0, 0}, {1, 0, 0}, mean}));
    EXPECT_EQ(edges[1], (FeatureEdge{{1, 0, 0}, {-1, 0, 0}, mean}));
    EXPECT_EQ(edges[2], (FeatureEdge{{1, 0, 0}, {-1, 0, 0}, mean}));
}

TEST(FeatureEdges, OpenBoundariesSmoothNeighboursAndBadCornersGiveNothing) {
    EXPECT_TRUE(featureEdges({}).empty());
    EXPECT_TRUE(featureEdges({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}).empty());
    // A finely divided sphere bends by less than 25° from one triangle to the next.
    EXPECT_TRUE(featureEdges(sphereTris({0, 0, 0}, 10, 24, 48)).empty());
    const double nan = std::nan("");
    const std::vector<Tri> bad{{{nan, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                               {{1, 0, 0}, {nan, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                               {{0, 0, 0}, {1e-8, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    EXPECT_TRUE(featureEdges(bad).empty());
}

// Many triangles on one line with overlapping, nested and touching spans and random
// normals: the line groups are large enough for the positional search.
std::vector<Tri> collinearFan(std::mt19937& rng, int count) {
    std::uniform_int_distribution<int> end(0, 40);
    std::uniform_real_distribution<double> angle(0, 2 * std::numbers::pi);
    std::vector<Tri> tris;
    for (int i = 0; i < count; ++i) {
        double s = end(rng) * 0.5, t = end(rng) * 0.5;
        if (s == t) t += 1;
        const double a = angle(rng);
        const V3 off{0, std::cos(a), std::sin(a)};
        const V3 n = V3{0, std::cos(a + std::numbers::pi / 2), std::sin(a + std::numbers::pi / 2)};
        tris.push_back({{s, 0, 0}, {t, 0, 0}, V3{(s + t) / 2, 0, 0} + off, n});
    }
    return tris;
}

TEST(FeatureEdges, SameEdgesAsThePlainRule) {
    std::mt19937 rng(11);
    const std::vector<std::pair<std::string, std::vector<Tri>>> cases{
        {"box grid", boxGridTris(6, 5, 1, 0.5)},
        {"touching boxes", boxGridTris(20, 1, 1, 0)},
        {"coarse sphere", sphereTris({1, 2, 3}, 5, 6, 7)},
        {"collinear fan", collinearFan(rng, 60)},
        {"long fan", collinearFan(rng, 400)},
    };
    for (const auto& [name, tris] : cases) {
        for (const double deg : {5.0, 25.0, 60.0, 100.0}) {
            const auto fast = sortedEdges(featureEdges(tris, deg));
            const auto plain = sortedEdges(featureEdgesPlain(tris, deg));
            EXPECT_EQ(fast.size(), plain.size()) << name << " at " << deg;
            EXPECT_TRUE(fast == plain) << name << " at " << deg;
        }
    }
}

}  // namespace
}  // namespace ivo
