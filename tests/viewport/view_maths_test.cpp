// View maths without a window: the orbit camera, the view cube, and what lies under the pointer.
#include <gtest/gtest.h>

#include <cmath>

#include "viewport/camera.h"
#include "viewport/picking.h"

namespace ivo {
namespace {

using std::tuple;

template <class V>
::testing::AssertionResult near(V a, V b, double tol) {
    if ((a - b).length() <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "off by " << (a - b).length();
}

Camera viewOf(double w, double h, const char* view = nullptr) {
    Camera c;
    c.width = w;
    c.height = h;
    if (view) c.setView(view);
    return c;
}

TEST(Camera, OrbitAndDirectionsClampAtThePoles) {
    Camera c = viewOf(800, 600);
    c.orbit(10, -5);
    EXPECT_TRUE(near(V2{c.yaw, c.pitch}, {0.7 - 0.08, 0.5 + 0.04}, 1e-15));
    for (double d : {-1e6, 1e6}) {
        c.orbit(0, d);
        EXPECT_EQ(c.pitch, d < 0 ? Camera::pitchLimit : -Camera::pitchLimit);
    }
    for (double v : c.view().m)
        EXPECT_TRUE(std::isfinite(v));

    c.setView("top");
    c.orbit(0, 0);  // the next orbit step clamps the top view back under the pole
    EXPECT_EQ(c.pitch, Camera::pitchLimit);
    for (double y : {1.0, -1.0}) {  // straight up or down: yaw 0, not atan2 of rounding noise
        c.setDirection({0, y, 0});
        EXPECT_EQ(V2(c.yaw, c.pitch), V2(0, y * Camera::topPitch));
    }
    const V3 d = V3{-1, 0.5, -2}.normalized();
    c.setDirection(d);
    EXPECT_TRUE(near(c.eyeDir(), d, 1e-12));
}

TEST(Camera, ProjectionRoundTripsAndRejectsWhatIsOutsideTheDepthRange) {
    Camera c = viewOf(800, 600);
    c.target = {10, -5, 3};
    EXPECT_TRUE(near(*c.project(c.target), {400, 300}, 1e-9));
    for (V3 q : {V3{0, 0, 0}, V3{50, 20, -30}, V3{-80, 40, 10}})
        EXPECT_TRUE(near(c.unproject(*c.projectDepth(q)), q, 1e-6)) << q.x;
    // Rays start on the near plane, so that hits are measured from there.
    const auto [o, d] = c.ray({123, 456});
    EXPECT_NEAR((o - c.position()).dot(c.axes().forward), Camera::zNear, 1e-9);

    // Only points between the near and far planes project (camera at z = 260 looking at −z).
    const Camera f = viewOf(400, 400, "front");
    for (double z : {300.0, 260.0, 259.9, -200000.0})
        EXPECT_FALSE(f.project({0, 0, z})) << z;
    EXPECT_TRUE(f.project({0, 0, 259.4}));
    EXPECT_NEAR(f.projectDepth({0, 0, 259.5})->z, 0, 1e-9);
    EXPECT_NEAR(f.projectDepth({0, 0, 260 - 200000})->z, 1, 1e-9);
}

TEST(Camera, ZoomKeepsThePointUnderThePointerWithinItsLimits) {
    Camera c = viewOf(800, 600);
    c.target = {5, 5, 5};
    const V2 p{620, 150};
    // The point under the pointer on the plane through the target facing the camera.
    const auto [o, d] = c.ray(p);
    const V3 f = (c.target - o).normalized();
    const V3 hit = o + d * (f.dot(c.target - o) / f.dot(d));
    for (double f : {0.5, 3.0}) {
        c.zoom(f, p);
        EXPECT_TRUE(near(*c.project(hit), p, 1e-6)) << f;
    }
    for (int i = 0; i < 200; ++i)
        c.zoom(wheelFactor(1), {400, 300});
    EXPECT_EQ(c.dist, Camera::minDist);
    for (int i = 0; i < 400; ++i)
        c.zoom(wheelFactor(-1), {100, 500});
    c.zoom(1e9, {400, 300});
    EXPECT_EQ(c.dist, Camera::maxDist);

    // So far outside the view that the ray nearly runs along the target plane.
    Camera g = viewOf(800, 600);
    g.zoom(0.9, {1e15, 300});
    EXPECT_TRUE(std::isfinite(g.target.length()));
    EXPECT_NEAR(g.dist, 234, 1e-9);
    EXPECT_EQ(wheelFactor(0), 1);  // a horizontal wheel tilt does not zoom
    EXPECT_NEAR(pinchFactor(-0.5), 1.5, 1e-15);
    EXPECT_EQ(pinchFactor(3), 0.2);
}

TEST(Camera, FitAndDepthRangeFrameTheContent) {
    Camera c;
    c.fit(Box3{{5, 5, 5}, {5, 5, 5}});  // a single point resets the view, as nothing does
    EXPECT_EQ(tuple(c.target, c.dist), tuple(V3(), 260.0));

    // Camera at z = 260; the body's nearest face 250 away, the farthest corner 460.
    Camera f = viewOf(800, 600, "front");
    Box3 body = Box3{{-10, -10, -10}, {10, 10, 10}};
    const Box3 all = Box3{{-200, 0, -200}, {200, 70, 200}};
    const auto [n, far] = f.depthRange(body, all);
    EXPECT_NEAR(n, 25, 1e-9);
    EXPECT_TRUE(far >= 460 && far < 470) << far;
    // With nothing but the grid the near distance follows the camera distance; inside a body
    // (or with content behind the camera) it falls back to the fixed near.
    EXPECT_NEAR(f.depthRange(Box3{}, all).first, 26, 1e-9);
    body.add({0, 0, 300});
    EXPECT_EQ(f.depthRange(body, all).first, Camera::zNear);
    EXPECT_EQ(f.depthRange(Box3{}, Box3{{0, 0, -1e7}, {0, 0, -1e7}}).second, Camera::zFar);
    f.dist = 1;
    EXPECT_EQ(f.depthRange(Box3{}, all).first, Camera::zNear);
}

Tri tri(V3 a, V3 b, V3 c) {
    return {a, b, c, (b - a).cross(c - a).normalized()};
}

// The two triangles of an axis-aligned square facing +Z at height z.
std::vector<Tri> squareZ(double x0, double y0, double x1, double y1, double z) {
    return {tri({x0, y0, z}, {x1, y0, z}, {x1, y1, z}), tri({x0, y0, z}, {x1, y1, z}, {x0, y1, z})};
}

TEST(Picking, HitsNearestFirstAndHiddenBodiesAreSeenThrough) {
    std::map<Id, std::vector<Tri>> bodies{{3, squareZ(0, 0, 10, 10, 0)},
                                          {7, squareZ(0, 0, 10, 10, 20)}};
    const PickScene scene{&bodies, nullptr, false};
    const auto hits = allHits(scene, {2, 5, 90}, {0, 0, -1}, {5, 5, 100});
    ASSERT_EQ(hits.size(), 2u);
    // (2, 5) lies in the second triangle of the square.
    EXPECT_EQ(tuple(hits[0].body, hits[0].tri, hits[1].body), tuple(7, 1u, 3));
    EXPECT_NEAR(hits[0].pos.z, 20, 1e-12);
    EXPECT_LT(hits[0].distance, hits[1].distance);

    const std::vector<Id> hidden{7};
    const PickScene seeThrough{&bodies, &hidden, false};
    const auto picked =
        interpretHits(seeThrough, allHits(seeThrough, {5, 1, 90}, {0, 0, -1}, {5, 1, 100}));
    ASSERT_TRUE(picked && picked->face);
    EXPECT_EQ(picked->face->id, 3);
}

TEST(Picking, PlanesAreHitOnlyWhenShownInTheirSquareAndBehindCloserBodies) {
    // Seen from +Z, a body behind plane XY.
    std::map<Id, std::vector<Tri>> behind{{1, squareZ(10, 10, 20, 20, -5)}};
    auto pick = [&](const PickScene& s, V3 o = {15, 15, 199}, V3 d = {0, 0, -1}) {
        return interpretHits(s, allHits(s, o, d, o));
    };
    EXPECT_EQ(pick({&behind, nullptr, true}).value().plane, "plane:XY");
    EXPECT_EQ(pick({&behind, nullptr, false}).value().face.value().w, -5);  // n · a = −5
    // Each origin plane covers its 70 × 70 square only, from either side.
    const PickScene planes{nullptr, nullptr, true};
    EXPECT_EQ(pick(planes, {35, 50, 35}, {0, -1, 0}).value().plane, "plane:XZ");
    EXPECT_EQ(pick(planes, {50, 35, 35}, {-1, 0, 0}).value().plane, "plane:YZ");
    EXPECT_EQ(pick(planes, {35, 35, -50}, {0, 0, 1}).value().plane, "plane:XY");
    EXPECT_FALSE(pick(planes, {-5, 35, 50}));
    EXPECT_FALSE(pick(planes, {35, 71, 50}));
}

TEST(PlanePoint, CrossesThePlaneEvenBehindTheOriginAndGivesNothingEdgeOn) {
    const SketchPlane yz = SketchPlane::yz();  // x axis along −Z
    EXPECT_TRUE(near(planePoint(yz, {10, 3, -4}, {-1, 0, 0}).value(), {4, 3}, 1e-12));
    EXPECT_TRUE(near(planePoint(SketchPlane::xy(), {1, 2, -5}, {0, 0, -1}).value(), {1, 2}, 1e-12));
    EXPECT_FALSE(planePoint(yz, {10, 3, -4}, {0, 0.6, 0.8}));
    // The front view looks along the XZ plane at its height.
    const auto [o, d] = viewOf(800, 600, "front").ray({400, 300});
    EXPECT_FALSE(planePoint(SketchPlane::xz(), o, d));
}

}  // namespace
}  // namespace ivo
