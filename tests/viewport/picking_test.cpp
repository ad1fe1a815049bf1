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

TEST(Picking, PlanesAreHitOnlyWhenShownAndDoNotHideCloserBodies) {
    // A body in front of plane XY (seen from +Z) and one behind it.
    std::map<Id, std::vector<Tri>> front{{1, squareZ(10, 10, 20, 20, 5)}};
    std::map<Id, std::vector<Tri>> behind{{1, squareZ(10, 10, 20, 20, -5)}};
    const V3 cam{15, 15, 200}, o{15, 15, 199}, d{0, 0, -1};
    auto pick = [&](const PickScene& s) { return interpretHits(s, allHits(s, o, d, cam)); };

    auto picked = pick({&front, nullptr, true});
    ASSERT_TRUE(picked);
    EXPECT_TRUE(picked->plane.empty());
    EXPECT_EQ(picked->face->w, 5);
    picked = pick({&behind, nullptr, true});
    ASSERT_TRUE(picked);
    EXPECT_EQ(picked->plane, "plane:XY");
    picked = pick({&behind, nullptr, false});
    ASSERT_TRUE(picked && picked->face);
    EXPECT_EQ(picked->face->w, -5);  // facing +Z at z = −5: n · a = −5
    EXPECT_FALSE(pick({nullptr, nullptr, false}));

    // Each origin plane covers its 70 × 70 square only, from either side.
    const PickScene planes{nullptr, nullptr, true};
    auto firstPlane = [&](V3 from, V3 dir) {
        const auto p = interpretHits(planes, allHits(planes, from, dir, from));
        return p ? p->plane : std::string();
    };
    EXPECT_EQ(firstPlane({35, 35, 50}, {0, 0, -1}), "plane:XY");
    EXPECT_EQ(firstPlane({35, 50, 35}, {0, -1, 0}), "plane:XZ");
    EXPECT_EQ(firstPlane({50, 35, 35}, {-1, 0, 0}), "plane:YZ");
    EXPECT_EQ(firstPlane({-5, 35, 50}, {0, 0, -1}), "");
    EXPECT_EQ(firstPlane({35, 71, 50}, {0, 0, -1}), "");
    EXPECT_EQ(firstPlane({35, 35, -50}, {0, 0, 1}), "plane:XY");
}

TEST(Picking, FacesCompareWithinTolerancesAndGatherTheirPlanarTriangles) {
    const FaceRef f{2, {0, 0, 1}, 10};
    EXPECT_TRUE(sameFace(std::nullopt, std::nullopt));
    EXPECT_FALSE(sameFace(f, std::nullopt));
    EXPECT_FALSE(sameFace(std::nullopt, f));
    EXPECT_TRUE(sameFace(f, FaceRef{2, {0, 0, 1}, 10 + 5e-7}));
    EXPECT_FALSE(sameFace(f, FaceRef{2, {0, 0, 1}, 10 + 2e-6}));
    EXPECT_FALSE(sameFace(f, FaceRef{3, {0, 0, 1}, 10}));
    EXPECT_TRUE(sameFace(f, FaceRef{2, V3{0.001, 0, 1}.normalized(), 10}));
    EXPECT_FALSE(sameFace(f, FaceRef{2, V3{0.02, 0, 1}.normalized(), 10}));
    EXPECT_FALSE(sameFace(f, FaceRef{2, {0, 0, -1}, 10}));

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

TEST(PlanePoint, CrossesThePlaneAlongTheCameraRayOrGivesNothingEdgeOn) {
    const SketchPlane yz = SketchPlane::yz();  // x axis along −Z
    const auto p = planePoint(yz, {10, 3, -4}, {-1, 0, 0});
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->x, 4, 1e-12);
    EXPECT_NEAR(p->y, 3, 1e-12);
    EXPECT_FALSE(planePoint(yz, {10, 3, -4}, {0, 0.6, 0.8}));
    // A plane behind the ray's origin still answers.
    const auto back = planePoint(SketchPlane::xy(), {1, 2, -5}, {0, 0, -1});
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->x, 1, 1e-12);

    Camera c;
    c.width = 800;
    c.height = 600;
    c.yaw = 0.3;
    c.pitch = 0.4;
    const SketchPlane xz = SketchPlane::xz();
    const V2 q{12, -30};
    const auto [o, d] = c.ray(*c.project(xz.to3D(q)));
    const auto seen = planePoint(xz, o, d);
    ASSERT_TRUE(seen);
    EXPECT_NEAR(seen->x, q.x, 1e-6);
    EXPECT_NEAR(seen->y, q.y, 1e-6);
    c.setView("front");  // looks along the XZ plane at its height
    const auto [o2, d2] = c.ray({400, 300});
    EXPECT_FALSE(planePoint(xz, o2, d2));
}

}  // namespace
}  // namespace ivo
