// The limits and in-view rules of an open feature, without a window.
#include <cmath>

#include <gtest/gtest.h>

#include "document/features.h"
#include "sketch/profiles.h"
#include "support/doc_builder.h"

namespace ivo {
namespace {

using testing::addPolygon;
using testing::rect;
using testing::rectSketch;

TEST(ReadInspector, FieldLimits) {
    struct Case {
        const char* what;
        FieldRead (*read)(double, std::optional<double>);
        std::optional<double> typed;
        double expected;
        FieldRefusal refusal;
    };
    const Case cases[] = {
        {"distance -5 flips", readDistance, -5.0, -5, FieldRefusal::none},
        {"distance 0 keeps", readDistance, 0.0, 10, FieldRefusal::zero},
        {"distance 1e-7 keeps", readDistance, 1e-7, 10, FieldRefusal::zero},
        {"distance unreadable keeps", readDistance, std::nullopt, 10, FieldRefusal::unreadable},
        {"distance infinite keeps", readDistance, INFINITY, 10, FieldRefusal::unreadable},
        {"angle 400", readAngle, 400.0, 360, FieldRefusal::none},
        {"angle -500", readAngle, -500.0, -360, FieldRefusal::none},
        {"angle 90", readAngle, 90.0, 90, FieldRefusal::none},
        {"angle 0 keeps", readAngle, 0.0, 10, FieldRefusal::zero},
        {"radius negative keeps", readRadius, -1.0, 10, FieldRefusal::negative},
        {"radius 0 taken", readRadius, 0.0, 0, FieldRefusal::none},
        {"radius NaN keeps", readRadius, NAN, 10, FieldRefusal::unreadable},
    };
    for (const Case& c : cases) {
        const FieldRead r = c.read(10, c.typed);
        EXPECT_EQ(r.value, c.expected) << c.what;
        EXPECT_EQ(r.refusal, c.refusal) << c.what;
    }
    EXPECT_TRUE(readAngle(10, 400.0).clamped);
    EXPECT_FALSE(readAngle(10, 360.0).clamped);
}

TEST(DragDistance, TenthsTowardsZeroWithAFloorAndSymmetricDoubling) {
    struct Case {
        double t;
        bool symmetric;
        double expected;
    };
    const Case cases[] = {
        {3, true, 6},         {3, false, 3},     {-3, true, 6},     {2.37, false, 2.3},
        {-2.37, false, -2.3}, {2.3, false, 2.3}, {0, false, 0.1},   {0.04, false, 0.1},
        {-0.04, false, -0.1}, {0.02, true, 0.1}, {0.7, false, 0.7}, {12.349, false, 12.3},
        {NAN, false, 0.1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dragDistance(c.t, c.symmetric), c.expected) << c.t << " " << c.symmetric;
}

TEST(DragDistance, HandleParamIsMillimetresAlongTheProjectedNormal) {
    EXPECT_DOUBLE_EQ(*handleParam({10, 10}, {10, 14}, {25, 22}), 3.0);
    EXPECT_DOUBLE_EQ(*handleParam({10, 10}, {10, 14}, {10, 2}), -2.0);
    EXPECT_FALSE(handleParam({10, 10}, {10, 10.0005}, {10, 20}));
}

TEST(ExtrudeHandleGeometry, FromTheMeanOfThePickedRegions) {
    Sketch s = rectSketch(0, 0, 10, 10);
    addPolygon(s, rect(20, 0, 30, 10));
    ExtrudeP e{0, {{5, 5}, {25, 5}}, 8, false, op::newBody, 0, {}};
    const auto h = extrudeHandle(s, e);
    ASSERT_TRUE(h);
    const std::vector<Region> regions = s.regions();
    ASSERT_EQ(regions.size(), 2u);
    const V2 mean = (regionPoint(regions[0]) + regionPoint(regions[1])) / 2;
    EXPECT_NEAR(h->base.x, mean.x, 1e-9);
    EXPECT_NEAR(h->base.y, mean.y, 1e-9);
    EXPECT_NEAR(h->tip.z, 8, 1e-9);
    e.symmetric = true;
    e.distance = -8;
    EXPECT_NEAR(extrudeHandle(s, e)->tip.z, 4, 1e-9);
    e.picks = {{50, 50}};
    EXPECT_FALSE(extrudeHandle(s, e));
}

TEST(NearestSegment, WithinTheLimitToTheNearestPoint) {
    const std::vector<std::pair<V2, V2>> segs{
        {{0, 0}, {100, 0}}, {{0, 10}, {100, 10}}, {{200, 200}, {200, 200}}};
    EXPECT_EQ(nearestSegment(segs, {50, 3}, 7), 0u);
    EXPECT_EQ(nearestSegment(segs, {50, 6}, 7), 1u);
    EXPECT_FALSE(nearestSegment(segs, {106, 20}, 7)) << "past the end counts to the end point";
    EXPECT_EQ(nearestSegment(segs, {203, 204}, 7), 2u) << "a degenerate segment is a point";
    EXPECT_FALSE(nearestSegment(segs, {50, 30}, 7));
}

TEST(AimAtFace, ParallelPerpendicularOrInThePlane) {
    const Sketch s = rectSketch(0, 0, 10, 10);  // XY plane, normal +z
    const ExtrudeP e{0, {{5, 5}}, 10, false, op::join, 0, {}};
    FaceAim a = aimAtFace(s, e, {0, 0, 1}, {3, 3, 12.34567});
    ASSERT_EQ(a.kind, FaceAim::Kind::reached);
    EXPECT_EQ(a.distance, 12.345);
    ASSERT_EQ(a.toFace.size(), 4u);
    EXPECT_DOUBLE_EQ(a.toFace[3], 12.34567);
    a = aimAtFace(s, e, {0, 0, -1}, {0, 0, -2.3});
    ASSERT_EQ(a.kind, FaceAim::Kind::reached);
    EXPECT_EQ(a.distance, -2.3);
    EXPECT_EQ(aimAtFace(s, e, {1, 0, 0}, {4, 0, 0}).kind, FaceAim::Kind::perpendicular);
    EXPECT_EQ(aimAtFace(s, e, {0, 0, -1}, {7, 7, 0.00001}).kind, FaceAim::Kind::sketchPlane);
}

TEST(TogglePick, ARegionPickedTwiceGoesInOneClickAndCongruentOnesStayApart) {
    Sketch s = rectSketch(0, 0, 10, 10);
    addPolygon(s, rect(20, 0, 30, 10));
    const std::vector<V2> twice{{2, 2}, {8, 8}};
    EXPECT_TRUE(togglePick(s, twice, {5, 5})->empty());
    const std::vector<V2> one{V2{5, 5}};
    EXPECT_EQ(*togglePick(s, {}, {5, 5}), one);
    // The second, equal square is added beside the first one, not taken for it.
    EXPECT_EQ(togglePick(s, {{5, 5}}, {25, 5})->size(), 2u);
    EXPECT_FALSE(togglePick(s, {{5, 5}}, {15, 5}));
}

TEST(RenamedForType, TakesTheNextFreeNameOfTheOtherWord) {
    testing::DocBuilder b;
    const Id sk = b.sketch(rectSketch(0, 0, 10, 10));
    const Id ex = b.extrude(sk, {{5, 5}}, 10);
    b.fillet(ex, "top", 1, true);               // Chanfrein1
    const Id rounded = b.fillet(ex, "top", 1);  // Congé1
    b.feature(rounded).name = "Congé2";
    EXPECT_EQ(renamedForType(b.doc, b.feature(rounded), true), "Chanfrein2");
    b.feature(rounded).name = "Mon arrondi";
    EXPECT_EQ(renamedForType(b.doc, b.feature(rounded), true), "Mon arrondi");
}

}  // namespace
}  // namespace ivo
