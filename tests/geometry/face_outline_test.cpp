#include <gtest/gtest.h>

#include <cmath>

#include "geometry/mesh.h"
#include "support/shapes.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// The loop as a set of corners up to rotation: the same corners in the same cyclic order.
bool sameLoop(const Loop& got, const Loop& want) {
    if (got.size() != want.size()) return false;
    for (std::size_t k = 0; k < got.size(); ++k) {
        bool all = true;
        for (std::size_t i = 0; all && i < got.size(); ++i)
            all = (got[(i + k) % got.size()] - want[i]).length() < 1e-12;
        if (all) return true;
    }
    return false;
}

// Two counter-clockwise triangles per rectangle.
std::vector<Tri2> rectTris(double x0, double y0, double x1, double y1) {
    return {Tri2{V2{x0, y0}, V2{x1, y0}, V2{x1, y1}}, Tri2{V2{x0, y0}, V2{x1, y1}, V2{x0, y1}}};
}

TEST(FaceOutline, SquareGivesOneCounterClockwiseLoop) {
    const auto loops = faceOutline(rectTris(0, 0, 1, 1));
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_TRUE(sameLoop(loops[0], rect(0, 0, 1, 1)));

    // Clockwise triangles keep their winding.
    std::vector<Tri2> cw;
    for (Tri2 t : rectTris(0, 0, 1, 1))
        cw.push_back({t[0], t[2], t[1]});
    const auto back = faceOutline(cw);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_TRUE(sameLoop(back[0], reversed(rect(0, 0, 1, 1))));
}

TEST(FaceOutline, CollinearVertexOnASideIsDropped) {
    const V2 m{0.5, 0};
    const std::vector<Tri2> tris{
        {V2{0, 0}, m, V2{0, 1}}, {m, V2{1, 0}, V2{1, 1}}, {m, V2{1, 1}, V2{0, 1}}};
    const auto loops = faceOutline(tris);
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_TRUE(sameLoop(loops[0], rect(0, 0, 1, 1)));
}

TEST(FaceOutline, LongEdgeAgainstAVertexInItsMiddleIsInterior) {
    // The diagonal of the lower triangle faces two upper triangles meeting at its midpoint:
    // without splitting it at that T-junction the diagonal would count as boundary.
    const std::vector<Tri2> tris{{V2{0, 0}, V2{2, 0}, V2{2, 2}},
                                 {V2{0, 0}, V2{1, 1}, V2{0, 2}},
                                 {V2{1, 1}, V2{2, 2}, V2{0, 2}}};
    const auto loops = faceOutline(tris);
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_TRUE(sameLoop(loops[0], rect(0, 0, 2, 2)));
}

TEST(FaceOutline, SquareWithASquareHoleGivesTwoLoopsOfOppositeWinding) {
    // The ring between [0, 3]² and [1, 2]² in four trapezoid-free rectangles.
    std::vector<Tri2> tris;
    for (const auto& part :
         {rectTris(0, 0, 3, 1), rectTris(0, 2, 3, 3), rectTris(0, 1, 1, 2), rectTris(2, 1, 3, 2)})
        tris.insert(tris.end(), part.begin(), part.end());
    const auto loops = faceOutline(tris);
    ASSERT_EQ(loops.size(), 2u);
    const Loop& outer = polyArea(loops[0]) > 0 ? loops[0] : loops[1];
    const Loop& hole = polyArea(loops[0]) > 0 ? loops[1] : loops[0];
    EXPECT_TRUE(sameLoop(outer, rect(0, 0, 3, 3)));
    EXPECT_TRUE(sameLoop(hole, reversed(rect(1, 1, 2, 2))));
}

TEST(FaceOutline, SeparateIslandsAndNearlyEqualPointsAndBadInput) {
    std::vector<Tri2> tris = rectTris(0, 0, 1, 1);
    const auto other = rectTris(5, 0, 6, 2);
    tris.insert(tris.end(), other.begin(), other.end());
    EXPECT_EQ(faceOutline(tris).size(), 2u);

    // Corners a few nanometres apart are one point; the shared side still cancels.
    const std::vector<Tri2> gap{{V2{0, 0}, V2{1, 0}, V2{1, 1}}, {V2{0, 1e-9}, V2{1, 1}, V2{0, 1}}};
    EXPECT_EQ(faceOutline(gap).size(), 1u);

    EXPECT_TRUE(faceOutline({}).empty());
    EXPECT_TRUE(faceOutline({{V2{0, 0}, V2{1, 1}, V2{2, 2}}}).empty());
    const double nan = std::nan("");
    EXPECT_TRUE(faceOutline({{V2{nan, 0}, V2{1, 0}, V2{0, 1}}}).empty());
}

TEST(FaceOutline, FineFanOfACircleKeepsEveryCorner) {
    // 64 thin triangles from the centre: the rim keeps all its corners, none collinear.
    const Loop circle = regularPolygon({3, -2}, 10, 64);
    std::vector<Tri2> tris;
    for (std::size_t i = 0; i < circle.size(); ++i)
        tris.push_back({V2{3, -2}, circle[i], circle[(i + 1) % circle.size()]});
    const auto loops = faceOutline(tris);
    ASSERT_EQ(loops.size(), 1u);
    EXPECT_TRUE(sameLoop(loops[0], circle));
}

}  // namespace
}  // namespace ivo
