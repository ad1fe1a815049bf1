// The orbit camera and the view cube, without a window.
#include "viewport/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "viewport/view_cube.h"

namespace ivo {
namespace {

constexpr double pi = 3.141592653589793;

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

TEST(Camera, StandardViewsDirectionsAndPoles) {
    Camera c;
    c.setView("right");
    EXPECT_TRUE(near(c.position(), {260, 0, 0}, 1e-9));
    c.setView("anything");  // the isometric view
    EXPECT_NEAR(c.yaw, pi / 4, 1e-15);
    EXPECT_EQ(c.pitch, 0.6);
    c.setView("top");
    EXPECT_GT(c.position().y, 259.99);
    c.orbit(0, 0);  // the next orbit step clamps the top view back under the pole
    EXPECT_EQ(c.pitch, Camera::pitchLimit);
    for (double y : {1.0, -1.0}) {  // straight up or down: yaw 0, not atan2 of rounding noise
        c.setDirection({0, y, 0});
        EXPECT_EQ(c.yaw, 0);
        EXPECT_EQ(c.pitch, y * Camera::topPitch);
    }
    const V3 d = V3{-1, 0.5, -2}.normalized();
    c.setDirection(d);
    EXPECT_TRUE(near(c.eyeDir(), d, 1e-12));
    // Looking at a plane turns the eye onto its normal and drops the target onto it.
    c.target = {10, 20, 30};
    c.dist = 99;
    c.look(SketchPlane::face({0, 0, 1}, {0, 0, 12}));
    EXPECT_TRUE(near(c.target, {10, 20, 12}, 1e-12));
    EXPECT_TRUE(near(c.eyeDir(), {0, 0, 1}, 1e-12));
    EXPECT_EQ(c.dist, 99);
}

TEST(Camera, ProjectUnprojectAndRayAgree) {
    Camera c = viewOf(800, 600);
    c.target = {10, -5, 3};
    EXPECT_TRUE(near(*c.project(c.target), {400, 300}, 1e-9));
    for (V3 q : {V3{0, 0, 0}, V3{50, 20, -30}, V3{-80, 40, 10}})
        EXPECT_TRUE(near(c.unproject(*c.projectDepth(q)), q, 1e-6)) << q.x;
    EXPECT_GT(c.project(c.target + V3{0, 10, 0})->y, 300);  // y grows upwards
    c.setView("front");
    EXPECT_GT(c.project(c.target + V3{10, 0, 0})->x, 400);  // the front view's right is +X

    // The ray starts on the near plane and passes through the projected point.
    c.yaw = 1.1;
    c.pitch = -0.3;
    const V3 q{30, 12, -7};
    const auto [o, d] = c.ray(*c.project(q));
    EXPECT_NEAR(d.length(), 1, 1e-12);
    EXPECT_NEAR((o - c.position()).dot(c.axes().forward), Camera::zNear, 1e-9);
    EXPECT_NEAR((q - o).cross(d).length() / (q - o).length(), 0, 1e-9);
    EXPECT_GT((q - o).dot(d), 0);

    // Only points between the near and far planes project (camera at z = 260 looking at −z).
    const Camera f = viewOf(400, 400, "front");
    for (double z : {300.0, 260.0, 259.9, -200000.0})
        EXPECT_FALSE(f.project({0, 0, z})) << z;
    EXPECT_TRUE(f.project({0, 0, 259.4}));
    EXPECT_NEAR(f.projectDepth({0, 0, 259.5})->z, 0, 1e-9);
    EXPECT_NEAR(f.projectDepth({0, 0, 260 - 200000})->z, 1, 1e-9);
}

TEST(Camera, OrbitClampsAtThePoleAndPanFollowsThePointer) {
    Camera c = viewOf(800, 600);
    c.orbit(10, -5);
    EXPECT_NEAR(c.yaw, 0.7 - 0.08, 1e-15);
    EXPECT_NEAR(c.pitch, 0.5 + 0.04, 1e-15);
    c.orbit(0, -1e6);
    EXPECT_EQ(c.pitch, Camera::pitchLimit);
    c.orbit(0, 1e6);
    EXPECT_EQ(c.pitch, -Camera::pitchLimit);
    for (double v : c.view().m)
        EXPECT_TRUE(std::isfinite(v));

    const V3 before = c.target;
    c.pan(40, -25);  // the old target now lies under the pointer's new place
    EXPECT_TRUE(near(*c.project(before), {440, 275}, 1e-6));
    EXPECT_NEAR((c.target - before).dot(c.eyeDir()), 0, 1e-9);
}

TEST(Camera, ZoomKeepsThePointUnderThePointerWithinItsLimits) {
    Camera c = viewOf(800, 600);
    c.target = {5, 5, 5};
    const V2 p{620, 150};
    // The point under the pointer on the plane through the target facing the camera.
    const auto [o, d] = c.ray(p);
    const V3 f = (c.target - o).normalized();
    const V3 hit = o + d * (f.dot(c.target - o) / f.dot(d));
    c.zoom(0.5, p);
    EXPECT_NEAR(c.dist, 130, 1e-9);
    EXPECT_TRUE(near(*c.project(hit), p, 1e-6));
    c.zoom(3, p);
    EXPECT_TRUE(near(*c.project(hit), p, 1e-6));
    for (int i = 0; i < 200; ++i)
        c.zoom(wheelFactor(1), {400, 300});
    EXPECT_EQ(c.dist, Camera::minDist);
    for (int i = 0; i < 400; ++i)
        c.zoom(wheelFactor(-1), {100, 500});
    EXPECT_EQ(c.dist, Camera::maxDist);
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

Box3 boxOf(V3 a, V3 b) {
    Box3 box;
    box.add(a);
    box.add(b);
    return box;
}

TEST(Camera, FitAndDepthRangeFrameTheContent) {
    Camera c;
    c.fit(boxOf({0, 0, 0}, {100, 40, 20}));
    EXPECT_TRUE(near(c.target, {50, 20, 10}, 1e-12));
    c.fit(boxOf({0, 0, 0}, {1, 1, 1}));
    EXPECT_EQ(c.dist, 20);
    c.fit(boxOf({5, 5, 5}, {5, 5, 5}));  // a single point resets the view, as nothing does
    EXPECT_EQ(c.target, V3());
    EXPECT_EQ(c.dist, 260);

    // Camera at z = 260; the body's nearest face 250 away, the farthest corner 460.
    Camera f = viewOf(800, 600, "front");
    Box3 body = boxOf({-10, -10, -10}, {10, 10, 10});
    const Box3 all = boxOf({-200, 0, -200}, {200, 70, 200});
    const auto [n, far] = f.depthRange(body, all);
    EXPECT_NEAR(n, 25, 1e-9);
    EXPECT_GE(far, 460);
    EXPECT_LT(far, 470);
    // With nothing but the grid the near distance follows the camera distance; inside a body
    // (or with content behind the camera) it falls back to the fixed near.
    EXPECT_NEAR(f.depthRange(Box3{}, all).first, 26, 1e-9);
    body.add({0, 0, 300});
    EXPECT_EQ(f.depthRange(body, all).first, Camera::zNear);
    EXPECT_EQ(f.depthRange(Box3{}, boxOf({0, 0, -1e7}, {0, 0, -1e7})).second, Camera::zFar);
    f.dist = 1;
    EXPECT_EQ(f.depthRange(Box3{}, all).first, Camera::zNear);
}

std::vector<std::string> labels(V3 eye) {
    std::vector<std::string> out;
    for (const CubeFace& f : cubePolys(eye, {0, 0}))
        out.push_back(f.label);
    return out;
}

TEST(ViewCube, VisibleFacesAreListedWithTheMostFacingLast) {
    using L = std::vector<std::string>;
    EXPECT_EQ(labels(viewOf(0, 0, "top").eyeDir()), L{"HAUT"});
    // Eye (0.58, 0.56, 0.58): the top is a little less facing than front and right, which
    // differ only by rounding.
    const auto iso = cubePolys(viewOf(0, 0, "iso").eyeDir(), {0, 0});
    ASSERT_EQ(iso.size(), 3u);
    EXPECT_STREQ(iso[0].label, "HAUT");
    EXPECT_LE(iso[0].depth, iso[1].depth);
    EXPECT_LE(iso[1].depth, iso[2].depth);
    EXPECT_EQ(labels(V3{-0.2, -0.9, -0.4}.normalized()), (L{"GAUCHE", "ARRIÈRE", "BAS"}));

    // From the front: a centred square, its top-left corner first.
    const V2 m{500, 400};
    const auto front = cubePolys({0, 0, 1}, m);
    ASSERT_EQ(front.size(), 1u);
    EXPECT_STREQ(front[0].label, "AVANT");
    EXPECT_TRUE(near(front[0].corners[0], {m.x - 27, m.y + 27}, 1e-9));
    EXPECT_TRUE(near(front[0].corners[2], {m.x + 27, m.y - 27}, 1e-9));
    Camera c = viewOf(0, 0, "front");
    c.orbit(-20, 0);  // the camera moves towards +X: the right face turns into view
    EXPECT_EQ(labels(c.eyeDir()), (L{"DROITE", "AVANT"}));
    EXPECT_GT(cubePolys(c.eyeDir(), m)[0].corners[0].x, m.x);
}

TEST(ViewCube, ClicksAnswerHomeTheFrontMostFaceOrSwallow) {
    using K = CubeClick::Kind;
    const V3 front{0, 0, 1}, iso = viewOf(0, 0, "iso").eyeDir();
    // The cube spans (680, 480)–(780, 580) in an 800 × 600 view; the home button overlaps
    // its top-left corner and wins there.
    const std::tuple<V2, V3, K, V3> cases[] = {
        {{677, 563}, front, K::home, {}},      {{730, 530}, front, K::face, {0, 0, 1}},
        {{775, 485}, front, K::consumed, {}},  // in the square, off the face
        {{600, 530}, front, K::outside, {}},   {{730, 590}, front, K::outside, {}},
        {{730, 560}, iso, K::face, {0, 1, 0}}, {{750, 515}, iso, K::face, {1, 0, 0}},
        {{710, 515}, iso, K::face, {0, 0, 1}}};
    for (const auto& [at, eye, kind, direction] : cases) {
        const CubeClick r = cubeClick(at, eye, 800, 600);
        EXPECT_EQ(r.kind, kind) << at.x << "," << at.y;
        EXPECT_EQ(r.direction, direction) << at.x << "," << at.y;
    }
}

}  // namespace
}  // namespace ivo
