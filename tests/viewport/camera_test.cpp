#include "viewport/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace ivo {
namespace {

constexpr double pi = 3.141592653589793;

Camera viewOf(double w, double h) {
    Camera c;
    c.width = w;
    c.height = h;
    return c;
}

void expectNear(V3 a, V3 b, double tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

void expectNear(V2 a, V2 b, double tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
}

TEST(Camera, StandardViewsLookFromTheirSide) {
    Camera c = viewOf(800, 600);
    c.setView("front");
    expectNear(c.position(), {0, 0, 260}, 1e-9);
    c.setView("right");
    expectNear(c.position(), {260, 0, 0}, 1e-9);
    c.setView("top");
    EXPECT_EQ(c.pitch, Camera::topPitch);
    EXPECT_GT(c.position().y, 259.99);
    c.setView("iso");
    EXPECT_NEAR(c.yaw, pi / 4, 1e-15);
    EXPECT_EQ(c.pitch, 0.6);
    c.setView("anything");
    EXPECT_NEAR(c.yaw, pi / 4, 1e-15);
    // A top view seen by orbit: the next step clamps the pitch back under the pole.
    c.setView("top");
    c.orbit(0, 0);
    EXPECT_EQ(c.pitch, Camera::pitchLimit);
}

TEST(Camera, ProjectionPutsTheTargetAtTheCentreAndRoundTrips) {
    Camera c = viewOf(800, 600);
    c.target = {10, -5, 3};
    const auto centre = c.projectDepth(c.target);
    ASSERT_TRUE(centre);
    EXPECT_NEAR(centre->x, 400, 1e-9);
    EXPECT_NEAR(centre->y, 300, 1e-9);
    EXPECT_GT(centre->z, 0);
    EXPECT_LT(centre->z, 1);

    for (V3 q : {V3{0, 0, 0}, V3{50, 20, -30}, V3{-80, 40, 10}}) {
        const auto p = c.projectDepth(q);
        ASSERT_TRUE(p);
        expectNear(c.unproject(*p), q, 1e-6);
    }
    // y grows upwards: a point above the target projects above the centre.
    EXPECT_GT(c.project(c.target + V3{0, 10, 0})->y, 300);
    // The right axis of the front view is +X.
    c.setView("front");
    EXPECT_GT(c.project(c.target + V3{10, 0, 0})->x, 400);
}

TEST(Camera, ProjectRejectsPointsOutsideTheDepthRange) {
    Camera c = viewOf(400, 400);
    c.setView("front");                        // camera at z = 260 looking down −z
    EXPECT_FALSE(c.project({0, 0, 300}));      // behind the camera
    EXPECT_FALSE(c.project({0, 0, 260}));      // in the camera's plane
    EXPECT_FALSE(c.project({0, 0, 259.9}));    // nearer than the near plane
    EXPECT_TRUE(c.project({0, 0, 259.4}));     // just past it
    EXPECT_FALSE(c.project({0, 0, -200000}));  // beyond the far plane
    EXPECT_NEAR(c.projectDepth({0, 0, 259.5})->z, 0, 1e-9);
    EXPECT_NEAR(c.projectDepth({0, 0, 260 - 200000})->z, 1, 1e-9);
}

TEST(Camera, RayStartsOnTheNearPlaneAndPassesThroughTheProjectedPoint) {
    Camera c = viewOf(640, 480);
    c.yaw = 1.1;
    c.pitch = -0.3;
    const V3 q{30, 12, -7};
    const V2 p = *c.project(q);
    const auto [o, d] = c.ray(p);
    EXPECT_NEAR(d.length(), 1, 1e-12);
    EXPECT_NEAR((o - c.position()).dot(c.axes().forward), Camera::zNear, 1e-9);
    const V3 toQ = q - o;
    EXPECT_NEAR(toQ.cross(d).length() / toQ.length(), 0, 1e-9);
    EXPECT_GT(toQ.dot(d), 0);
}

TEST(Camera, OrbitTurnsByPointerDeltaAndNeverFlipsOverThePole) {
    Camera c = viewOf(800, 600);
    c.orbit(10, -5);
    EXPECT_NEAR(c.yaw, 0.7 - 0.08, 1e-15);
    EXPECT_NEAR(c.pitch, 0.5 + 0.04, 1e-15);
    c.orbit(0, -1e6);
    EXPECT_EQ(c.pitch, Camera::pitchLimit);
    c.orbit(0, 1e6);
    EXPECT_EQ(c.pitch, -Camera::pitchLimit);
    // At the clamp the view matrix is still well formed.
    for (double v : c.view().m)
        EXPECT_TRUE(std::isfinite(v));
}

TEST(Camera, PanMovesTheTargetWithThePointer) {
    Camera c = viewOf(800, 600);
    const V3 before = c.target;
    c.pan(40, -25);
    // The old target now lies under the pointer's new place.
    expectNear(*c.project(before), {400 + 40, 300 - 25}, 1e-6);
    EXPECT_NEAR((c.target - before).dot(c.eyeDir()), 0, 1e-9);
}

TEST(Camera, ZoomKeepsThePointUnderThePointer) {
    Camera c = viewOf(800, 600);
    c.target = {5, 5, 5};
    const V2 p{620, 150};
    // The point under the pointer on the plane through the target facing the camera.
    const auto [o, d] = c.ray(p);
    const V3 f = (c.target - o).normalized();
    const V3 hit = o + d * (f.dot(c.target - o) / f.dot(d));
    c.zoom(0.5, p);
    EXPECT_NEAR(c.dist, 130, 1e-9);
    expectNear(*c.project(hit), p, 1e-6);
    c.zoom(3, p);
    expectNear(*c.project(hit), p, 1e-6);
}

TEST(Camera, ZoomStopsAtItsLimits) {
    Camera c = viewOf(800, 600);
    for (int i = 0; i < 200; ++i)
        c.zoom(wheelFactor(1), {400, 300});
    EXPECT_EQ(c.dist, Camera::minDist);
    for (int i = 0; i < 400; ++i)
        c.zoom(wheelFactor(-1), {100, 500});
    EXPECT_EQ(c.dist, Camera::maxDist);
    c.zoom(1e9, {400, 300});
    EXPECT_EQ(c.dist, Camera::maxDist);
}

TEST(Camera, ZoomWithARayAlongTheTargetPlaneStaysFinite) {
    Camera c = viewOf(800, 600);
    // So far outside the view that the ray is nearly parallel to the target plane.
    c.zoom(0.9, {1e15, 300});
    EXPECT_TRUE(std::isfinite(c.target.x) && std::isfinite(c.target.y) &&
                std::isfinite(c.target.z));
    EXPECT_NEAR(c.dist, 234, 1e-9);
}

TEST(Camera, WheelAndPinchFactors) {
    EXPECT_EQ(wheelFactor(120), 0.88);
    EXPECT_EQ(wheelFactor(1), 0.88);  // one step whatever the size
    EXPECT_EQ(wheelFactor(1e6), 0.88);
    EXPECT_NEAR(wheelFactor(-3), 1.1363636363636365, 1e-15);
    EXPECT_EQ(wheelFactor(0), 1);  // a horizontal tilt does not zoom
    EXPECT_NEAR(pinchFactor(0.1), 0.9, 1e-15);
    EXPECT_NEAR(pinchFactor(-0.5), 1.5, 1e-15);
    EXPECT_EQ(pinchFactor(3), 0.2);
}

TEST(Camera, SetDirectionHandlesThePolesAndVerticals) {
    Camera c;
    c.setDirection({0, 1, 0});
    EXPECT_EQ(c.pitch, Camera::topPitch);
    EXPECT_EQ(c.yaw, 0);
    c.setDirection({0, -1, 0});
    EXPECT_EQ(c.pitch, -Camera::topPitch);
    c.setDirection({1, 0, 0});
    EXPECT_NEAR(c.yaw, pi / 2, 1e-15);
    EXPECT_EQ(c.pitch, 0);
    const V3 d = V3{-1, 0.5, -2}.normalized();
    c.setDirection(d);
    expectNear(c.eyeDir(), d, 1e-12);
    const V3 before = c.target;
    c.setDirection({0, 0, 1});
    EXPECT_EQ(c.target, before);
    EXPECT_EQ(c.dist, 260);
}

TEST(Camera, LookDropsTheTargetOntoThePlane) {
    Camera c;
    c.target = {10, 20, 30};
    c.dist = 99;
    SketchPlane plane = SketchPlane::face({0, 0, 1}, {0, 0, 12});
    c.look(plane);
    expectNear(c.target, {10, 20, 12}, 1e-12);
    expectNear(c.eyeDir(), {0, 0, 1}, 1e-12);
    EXPECT_EQ(c.dist, 99);
    c.look(SketchPlane::xz());
    EXPECT_NEAR(c.target.y, 0, 1e-12);
    EXPECT_GT(c.eyeDir().y, 0.99999);
}

TEST(Camera, FitFramesTheBoxOrResets) {
    Camera c;
    c.target = {1, 2, 3};
    c.dist = 7;
    c.fit(Box3{});
    EXPECT_EQ(c.target, V3());
    EXPECT_EQ(c.dist, 260);

    Box3 point;
    point.add({5, 5, 5});
    c.dist = 7;
    c.fit(point);
    EXPECT_EQ(c.target, V3());
    EXPECT_EQ(c.dist, 260);

    Box3 big;
    big.add({0, 0, 0});
    big.add({100, 40, 20});
    c.fit(big);
    expectNear(c.target, {50, 20, 10}, 1e-12);
    EXPECT_NEAR(c.dist, big.radius() / Camera::tanHalfFov * 1.15, 1e-9);

    Box3 small;
    small.add({0, 0, 0});
    small.add({1, 1, 1});
    c.fit(small);
    EXPECT_EQ(c.dist, 20);
}

TEST(Camera, DepthRangeKeepsTheContentAndGrowsTheNearDistance) {
    Camera c = viewOf(800, 600);
    c.setView("front");  // camera at z = 260
    Box3 body, all;
    body.add({-10, -10, -10});
    body.add({10, 10, 10});  // nearest face 250 away
    all.add({-200, 0, -200});
    all.add({200, 70, 200});  // farthest corner 460 away
    auto [n, f] = c.depthRange(body, all);
    EXPECT_NEAR(n, 25, 1e-9);
    EXPECT_GE(f, 460);
    EXPECT_LT(f, 470);

    // With nothing but the grid the near distance follows the camera distance.
    std::tie(n, f) = c.depthRange(Box3{}, all);
    EXPECT_NEAR(n, 26, 1e-9);
    // Inside a body (or with content behind the camera) it falls back to the fixed near.
    body.add({0, 0, 300});
    EXPECT_EQ(c.depthRange(body, all).first, Camera::zNear);
    c.dist = 1;
    EXPECT_EQ(c.depthRange(Box3{}, all).first, Camera::zNear);
    // Far never exceeds the fixed far plane.
    Box3 huge;
    huge.add({0, 0, -1e7});
    EXPECT_EQ(c.depthRange(Box3{}, huge).second, Camera::zFar);
}

TEST(Camera, MatricesAgreeWithProjection) {
    Camera c = viewOf(300, 200);
    c.yaw = -2;
    c.pitch = 0.9;
    const auto eye = c.view().apply(c.position());
    EXPECT_NEAR(std::hypot(eye[0], eye[1], eye[2]), 0, 1e-9);
    const auto t = c.view().apply(c.target);
    EXPECT_NEAR(t[2], -c.dist, 1e-9);
    const std::array<float, 16> f = c.projection().toFloat();
    EXPECT_EQ(f[11], -1.0f);  // column-major: row 3, column 2
}

}  // namespace
}  // namespace ivo
