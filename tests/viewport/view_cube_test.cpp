#include "viewport/view_cube.h"

#include <gtest/gtest.h>

#include <string>

#include "viewport/camera.h"

namespace ivo {
namespace {

V3 eyeOf(const std::string& view) {
    Camera c;
    c.setView(view);
    return c.eyeDir();
}

std::vector<std::string> labels(const std::vector<CubeFace>& faces) {
    std::vector<std::string> out;
    for (const CubeFace& f : faces)
        out.push_back(f.label);
    return out;
}

TEST(ViewCube, SitsInTheTopRightCorner) {
    const ViewRect cube = cubeRect(800, 600);
    EXPECT_EQ(cube.x, 680);
    EXPECT_EQ(cube.y, 480);
    EXPECT_EQ(cube.maxX(), 780);
    EXPECT_EQ(cube.maxY(), 580);
    const ViewRect home = homeRect(cube);
    EXPECT_EQ(home.x, 676);
    EXPECT_EQ(home.y, 562);
    EXPECT_EQ(home.w, 18);
    EXPECT_EQ(home.h, 18);
}

TEST(ViewCube, TopViewShowsOnlyTheTopFace) {
    const auto faces = cubePolys(eyeOf("top"), {0, 0});
    EXPECT_EQ(labels(faces), std::vector<std::string>{"HAUT"});
}

TEST(ViewCube, FacesAreSortedWithTheMostFacingLast) {
    const auto faces = cubePolys(eyeOf("iso"), {0, 0});
    // Eye (0.58, 0.56, 0.58): the top is a little less facing than front and right, which
    // differ only by rounding.
    ASSERT_EQ(faces.size(), 3u);
    EXPECT_STREQ(faces[0].label, "HAUT");
    for (size_t i = 1; i < faces.size(); ++i)
        EXPECT_LE(faces[i - 1].depth, faces[i].depth);

    Camera below;
    below.setDirection(V3{-0.2, -0.9, -0.4}.normalized());
    EXPECT_EQ(labels(cubePolys(below.eyeDir(), {0, 0})),
              (std::vector<std::string>{"GAUCHE", "ARRIÈRE", "BAS"}));
}

TEST(ViewCube, FrontFaceIsACentredSquareWithUpAtTheTop) {
    const V2 c{500, 400};
    const auto faces = cubePolys(eyeOf("front"), c);
    ASSERT_EQ(labels(faces), std::vector<std::string>{"AVANT"});
    const auto& k = faces[0].corners;
    // n + a + b with a = Y and b = Z × Y = −X: top-left first.
    EXPECT_NEAR(k[0].x, c.x - 27, 1e-9);
    EXPECT_NEAR(k[0].y, c.y + 27, 1e-9);
    EXPECT_NEAR(k[2].x, c.x + 27, 1e-9);
    EXPECT_NEAR(k[2].y, c.y - 27, 1e-9);
    // The right face turns into view from the right side.
    Camera c2;
    c2.setView("front");
    c2.orbit(-20, 0);  // yaw grows: the camera moves towards +X
    const auto turned = cubePolys(c2.eyeDir(), c);
    ASSERT_EQ(labels(turned), (std::vector<std::string>{"DROITE", "AVANT"}));
    EXPECT_GT(turned[0].corners[0].x, c.x);
}

TEST(ViewCube, ClicksAnswerHomeFaceOrSwallow) {
    const V3 front = eyeOf("front");
    // The home button overlaps the cube's corner and wins there.
    EXPECT_EQ(cubeClick({680, 575}, front, 800, 600).kind, CubeClick::Kind::home);
    EXPECT_EQ(cubeClick({677, 563}, front, 800, 600).kind, CubeClick::Kind::home);
    const CubeClick face = cubeClick({730, 530}, front, 800, 600);
    EXPECT_EQ(face.kind, CubeClick::Kind::face);
    EXPECT_EQ(face.direction, V3(0, 0, 1));
    // Inside the cube square but off every visible face.
    EXPECT_EQ(cubeClick({775, 485}, front, 800, 600).kind, CubeClick::Kind::consumed);
    EXPECT_EQ(cubeClick({600, 530}, front, 800, 600).kind, CubeClick::Kind::outside);
    EXPECT_EQ(cubeClick({730, 590}, front, 800, 600).kind, CubeClick::Kind::outside);
}

TEST(ViewCube, ClickPicksTheFrontMostOverlappingFace) {
    // From the iso view the top face's image is the upper part of the cube.
    const V3 iso = eyeOf("iso");
    const CubeClick top = cubeClick({730, 530 + 30}, iso, 800, 600);
    EXPECT_EQ(top.kind, CubeClick::Kind::face);
    EXPECT_EQ(top.direction, V3(0, 1, 0));
    const CubeClick right = cubeClick({730 + 20, 530 - 15}, iso, 800, 600);
    EXPECT_EQ(right.direction, V3(1, 0, 0));
    const CubeClick front = cubeClick({730 - 20, 530 - 15}, iso, 800, 600);
    EXPECT_EQ(front.direction, V3(0, 0, 1));
}

TEST(ViewCube, BasisFollowsTheCamera) {
    const CubeBasis b = cubeBasis(eyeOf("front"));
    EXPECT_NEAR(b.right.x, 1, 1e-12);
    EXPECT_NEAR(b.up.y, 1, 1e-12);
    const V2 z = b.map({0, 0, 1});
    EXPECT_NEAR(z.x, 0, 1e-12);
    EXPECT_NEAR(z.y, 0, 1e-12);
}

}  // namespace
}  // namespace ivo
