// What lies under the pointer: ray–triangle hits, origin planes, faces and plane points.
#include "viewport/picking.h"

#include <gtest/gtest.h>

#include "viewport/camera.h"

namespace ivo {
namespace {

Tri tri(V3 a, V3 b, V3 c) {
    return {a, b, c, (b - a).cross(c - a).normalized()};
}

// The two triangles of an axis-aligned square facing +Z at height z.
std::vector<Tri> squareZ(double x0, double y0, double x1, double y1, double z) {
    return {tri({x0, y0, z}, {x1, y0, z}, {x1, y1, z}), tri({x0, y0, z}, {x1, y1, z}, {x0, y1, z})};
}

::testing::AssertionResult near(V2 a, V2 b) {
    if ((a - b).length() <= 1e-12) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a.x << "," << a.y;
}

TEST(RayTriangle, HitsEitherSideAndMissesOtherwise) {
    const V3 a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0};
    EXPECT_NEAR(*rayTriangle({0.2, 0.2, 5}, {0, 0, -1}, a, b, c), 5, 1e-12);
    EXPECT_NEAR(*rayTriangle({0.2, 0.2, -3}, {0, 0, 1}, a, b, c), 3, 1e-12);  // from behind
    EXPECT_FALSE(rayTriangle({0.8, 0.8, 5}, {0, 0, -1}, a, b, c));            // past the hypotenuse
    EXPECT_FALSE(rayTriangle({-0.1, 0.5, 5}, {0, 0, -1}, a, b, c));
    EXPECT_FALSE(rayTriangle({0.2, 0.2, 5}, {0, 0, 1}, a, b, c));  // behind the origin
    EXPECT_FALSE(rayTriangle({-1, 0.2, 0}, {1, 0, 0}, a, b, c));   // in the plane
    EXPECT_FALSE(rayTriangle({0, 0, 1}, {0, 0, -1}, a, a, c));     // degenerate
}

TEST(Picking, HitsNearestFirstAndHiddenBodiesAreSeenThrough) {
    std::map<Id, std::vector<Tri>> bodies{{3, squareZ(0, 0, 10, 10, 0)},
                                          {7, squareZ(0, 0, 10, 10, 20)}};
    const PickScene scene{&bodies, nullptr, false};
    const auto hits = allHits(scene, {2, 5, 90}, {0, 0, -1}, {5, 5, 100});
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].body, 7);
    EXPECT_NEAR(hits[0].pos.z, 20, 1e-12);
    EXPECT_EQ(hits[0].tri, 1u);  // (2, 5) lies in the second triangle of the square
    EXPECT_EQ(hits[1].body, 3);
    EXPECT_LT(hits[0].distance, hits[1].distance);

    const std::vector<Id> hidden{7};
    const PickScene seeThrough{&bodies, &hidden, false};
    const auto picked =
        interpretHits(seeThrough, allHits(seeThrough, {5, 1, 90}, {0, 0, -1}, {5, 1, 100}));
    ASSERT_TRUE(picked && picked->face);
    EXPECT_EQ(picked->face->id, 3);
}

TEST(Picking, PlanesAreHitOnlyWhenShownInTheirSquareAndDoNotHideCloserBodies) {
    // Seen from +Z: a body in front of plane XY and one behind it.
    std::map<Id, std::vector<Tri>> front{{1, squareZ(10, 10, 20, 20, 5)}};
    std::map<Id, std::vector<Tri>> behind{{1, squareZ(10, 10, 20, 20, -5)}};
    auto pick = [&](const PickScene& s, V3 o = {15, 15, 199}, V3 d = {0, 0, -1}) {
        return interpretHits(s, allHits(s, o, d, o));
    };
    EXPECT_EQ(pick({&front, nullptr, true}).value().face.value().w, 5);
    EXPECT_EQ(pick({&behind, nullptr, true}).value().plane, "plane:XY");
    EXPECT_EQ(pick({&behind, nullptr, false}).value().face.value().w,
              -5);  // facing +Z at z = −5: n · a = −5
    // Each origin plane covers its 70 × 70 square only, from either side.
    const PickScene planes{nullptr, nullptr, true};
    EXPECT_EQ(pick(planes, {35, 50, 35}, {0, -1, 0}).value().plane, "plane:XZ");
    EXPECT_EQ(pick(planes, {50, 35, 35}, {-1, 0, 0}).value().plane, "plane:YZ");
    EXPECT_EQ(pick(planes, {35, 35, -50}, {0, 0, 1}).value().plane, "plane:XY");
    EXPECT_FALSE(pick(planes, {-5, 35, 50}));
    EXPECT_FALSE(pick(planes, {35, 71, 50}));
}

TEST(Picking, AFaceGathersEveryTriangleOnItsPlaneFacingItsWay) {
    std::vector<Tri> tris = squareZ(0, 0, 10, 10, 5);
    for (const auto& more : {squareZ(30, 0, 40, 10, 5),  // apart, same plane
                             squareZ(0, 0, 10, 10, 4),   // parallel plane
                             std::vector{tri({0, 0, 5}, {0, 10, 5}, {10, 0, 5})}})  // facing −Z
        tris.insert(tris.end(), more.begin(), more.end());
    const auto face = faceTris(tris, FaceRef{1, {0, 0, 1}, 5});
    EXPECT_EQ(face.size(), 4u);
    for (const Tri& t : face)
        EXPECT_EQ(t.a.z, 5);
}

TEST(PlanePoint, CrossesThePlaneEvenBehindTheOriginAndGivesNothingEdgeOn) {
    const SketchPlane yz = SketchPlane::yz();  // x axis along −Z
    EXPECT_TRUE(near(planePoint(yz, {10, 3, -4}, {-1, 0, 0}).value(), {4, 3}));
    EXPECT_TRUE(near(planePoint(SketchPlane::xy(), {1, 2, -5}, {0, 0, -1}).value(), {1, 2}));
    EXPECT_FALSE(planePoint(yz, {10, 3, -4}, {0, 0.6, 0.8}));
    // The front view looks along the XZ plane at its height.
    Camera c;
    c.width = 800;
    c.height = 600;
    c.setView("front");
    const auto [o, d] = c.ray({400, 300});
    EXPECT_FALSE(planePoint(SketchPlane::xz(), o, d));
}

}  // namespace
}  // namespace ivo
