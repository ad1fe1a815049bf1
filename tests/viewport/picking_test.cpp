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

TEST(Picking, HitsAreSortedByDistanceFromTheCamera) {
    std::map<Id, std::vector<Tri>> bodies{{3, squareZ(0, 0, 10, 10, 0)},
                                          {7, squareZ(0, 0, 10, 10, 20)}};
    const PickScene scene{&bodies, nullptr, false};
    const V3 cam{5, 5, 100};
    const auto hits = allHits(scene, {2, 5, 90}, {0, 0, -1}, cam);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].body, 7);
    EXPECT_NEAR(hits[0].pos.z, 20, 1e-12);
    EXPECT_EQ(hits[1].body, 3);
    EXPECT_LT(hits[0].distance, hits[1].distance);
    EXPECT_EQ(hits[0].tri, 1u);  // (2, 5) lies in the second triangle of the square
}

TEST(Picking, HiddenBodiesAreSeenThrough) {
    std::map<Id, std::vector<Tri>> bodies{{3, squareZ(0, 0, 10, 10, 0)},
                                          {7, squareZ(0, 0, 10, 10, 20)}};
    const std::vector<Id> hidden{7};
    const PickScene scene{&bodies, &hidden, false};
    const auto hits = allHits(scene, {5, 1, 90}, {0, 0, -1}, {5, 1, 100});
    const auto picked = interpretHits(scene, hits);
    ASSERT_TRUE(picked && picked->face);
    EXPECT_EQ(picked->face->id, 3);
    EXPECT_EQ(bodies.count(7), 1u);  // its triangles stay known
}

TEST(Picking, PlanesAreHitOnlyWhenShownAndDoNotHideCloserBodies) {
    // A body in front of plane XY (seen from +Z) and one behind it.
    std::map<Id, std::vector<Tri>> front{{1, squareZ(10, 10, 20, 20, 5)}};
    std::map<Id, std::vector<Tri>> behind{{1, squareZ(10, 10, 20, 20, -5)}};
    const V3 cam{15, 15, 200};
    const V3 o{15, 15, 199}, d{0, 0, -1};

    PickScene shown{&front, nullptr, true};
    auto picked = interpretHits(shown, allHits(shown, o, d, cam));
    ASSERT_TRUE(picked);
    EXPECT_TRUE(picked->plane.empty());
    EXPECT_EQ(picked->face->w, 5);

    shown.bodyTris = &behind;
    picked = interpretHits(shown, allHits(shown, o, d, cam));
    ASSERT_TRUE(picked);
    EXPECT_EQ(picked->plane, "plane:XY");

    const PickScene notShown{&behind, nullptr, false};
    picked = interpretHits(notShown, allHits(notShown, o, d, cam));
    ASSERT_TRUE(picked && picked->face);
    EXPECT_EQ(picked->face->w, -5);  // facing +Z at z = −5: n · a = −5

    const PickScene empty{nullptr, nullptr, false};
    EXPECT_FALSE(interpretHits(empty, allHits(empty, o, d, cam)));
}

TEST(Picking, EachOriginPlaneCoversItsSquareOnly) {
    const PickScene scene{nullptr, nullptr, true};
    auto firstPlane = [&](V3 o, V3 d) {
        const auto p = interpretHits(scene, allHits(scene, o, d, o));
        return p ? p->plane : std::string();
    };
    EXPECT_EQ(firstPlane({35, 35, 50}, {0, 0, -1}), "plane:XY");
    EXPECT_EQ(firstPlane({35, 50, 35}, {0, -1, 0}), "plane:XZ");
    EXPECT_EQ(firstPlane({50, 35, 35}, {-1, 0, 0}), "plane:YZ");
    EXPECT_EQ(firstPlane({-5, 35, 50}, {0, 0, -1}), "");          // left of the square
    EXPECT_EQ(firstPlane({35, 71, 50}, {0, 0, -1}), "");          // above it
    EXPECT_EQ(firstPlane({35, 35, -50}, {0, 0, 1}), "plane:XY");  // seen from behind
}

TEST(Picking, PlanesOfPicks) {
    EXPECT_EQ(pickedPlane({"plane:XZ", {}, {}}), SketchPlane::xz());
    EXPECT_EQ(pickedPlane({"plane:YZ", {}, {}}), SketchPlane::yz());
    EXPECT_EQ(pickedPlane({"plane:XY", {}, {}}), SketchPlane::xy());
    EXPECT_EQ(pickedPlane({"plane:other", {}, {}}), SketchPlane::xy());
    const Tri t = tri({0, 0, 12}, {1, 0, 12}, {0, 1, 12});
    const SketchPlane face = pickedPlane({"", t, FaceRef{4, t.n, 12}});
    EXPECT_EQ(face.name, "Face");
    EXPECT_EQ(face.n, V3(0, 0, 1));
    EXPECT_NEAR(face.o.z, 12, 1e-12);
}

TEST(Picking, FaceEquality) {
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
}

TEST(Picking, FaceTrianglesGatherTheWholePlanarFace) {
    std::vector<Tri> tris = squareZ(0, 0, 10, 10, 5);
    const auto apart = squareZ(30, 0, 40, 10, 5);  // same plane, not connected
    tris.insert(tris.end(), apart.begin(), apart.end());
    const auto lower = squareZ(0, 0, 10, 10, 4);  // parallel, another plane
    tris.insert(tris.end(), lower.begin(), lower.end());
    tris.push_back(tri({0, 0, 5}, {0, 10, 5}, {10, 0, 5}));  // same plane, facing −Z
    const auto face = faceTris(tris, FaceRef{1, {0, 0, 1}, 5});
    EXPECT_EQ(face.size(), 4u);
    for (const Tri& t : face)
        EXPECT_EQ(t.a.z, 5);
}

TEST(Picking, HoverStatusTexts) {
    EXPECT_EQ(hoverStatus("plane:XZ", true), "Cliquez pour esquisser sur : Plan XZ (dessus)");
    EXPECT_EQ(hoverStatus("plane:XY", false), "Cliquez pour esquisser sur : Plan XY (face)");
    EXPECT_EQ(hoverStatus("plane:YZ", false), "Cliquez pour esquisser sur : Plan YZ (droite)");
    EXPECT_EQ(hoverStatus("plane:Q", false), "Cliquez pour esquisser sur : plane:Q");
    EXPECT_EQ(hoverStatus("", true), "Cliquez pour esquisser sur cette face");
    EXPECT_EQ(hoverStatus("", false),
              "Choisissez un plan (ou double-cliquez une face plane d'un corps à tout moment).");
}

TEST(PlanePoint, CrossesThePlaneOrGivesNothingEdgeOn) {
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
}

TEST(PlanePoint, FollowsTheCameraRay) {
    Camera c;
    c.width = 800;
    c.height = 600;
    c.yaw = 0.3;
    c.pitch = 0.4;
    const SketchPlane xz = SketchPlane::xz();
    const V2 q{12, -30};
    const V2 screen = *c.project(xz.to3D(q));
    const auto [o, d] = c.ray(screen);
    const auto back = planePoint(xz, o, d);
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->x, q.x, 1e-6);
    EXPECT_NEAR(back->y, q.y, 1e-6);
    // Edge-on: the front view looks along the XZ plane at its height.
    c.setView("front");
    const auto [o2, d2] = c.ray({400, 300});
    EXPECT_FALSE(planePoint(xz, o2, d2));
}

}  // namespace
}  // namespace ivo
