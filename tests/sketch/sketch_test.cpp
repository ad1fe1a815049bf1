#include "sketch/sketch.h"

#include <gtest/gtest.h>

#include "sketch/sketch_json.h"

namespace ivo {
namespace {

void expectNear(V3 a, V3 b) {
    EXPECT_NEAR(a.x, b.x, 1e-12);
    EXPECT_NEAR(a.y, b.y, 1e-12);
    EXPECT_NEAR(a.z, b.z, 1e-12);
}

TEST(Sketch, NewSketchHoldsOnlyTheFixedOriginAndIsEmpty) {
    const Sketch s(SketchPlane::xz());
    ASSERT_EQ(s.points.size(), 1u);
    EXPECT_EQ(s.points[0].id, 0);
    EXPECT_TRUE(s.points[0].fixed);
    EXPECT_EQ(s.nextId, 1);
    EXPECT_TRUE(s.isEmpty());
    EXPECT_TRUE(s.visible);
    EXPECT_FALSE(s.freePoints);
}

TEST(Sketch, PointsCurvesAndConstraintsShareOneCounter) {
    Sketch s;
    const Id a = s.addPoint({0, 0}), b = s.addPoint({10, 0});
    const Id l = s.addLine(a, b);
    const Id c = s.addConstraint(ck::horizontal, {l});
    EXPECT_EQ((std::vector<Id>{a, b, l, c}), (std::vector<Id>{1, 2, 3, 4}));
    EXPECT_FALSE(s.isEmpty());
    EXPECT_TRUE(s.entityUsesPoint(a));
    EXPECT_FALSE(s.entityUsesPoint(0));
    EXPECT_EQ(s.pos(b), V2(10, 0));
    EXPECT_FALSE(s.pos(l));  // a line id is not a point
    EXPECT_FALSE(s.line(a));
    EXPECT_EQ(s.pointIndex(b), 2u);
}

TEST(Sketch, AddConstraintReplacesSameKindAndRefsInPlace) {
    Sketch s;
    const Id h1 = s.addConstraint(ck::horizontal, {7});
    const Id h2 = s.addConstraint(ck::horizontal, {7});
    EXPECT_EQ(h1, h2);
    const Id d = s.addConstraint(ck::distance, {3, 4}, 10);
    const Id next = s.nextId;
    EXPECT_EQ(s.addConstraint(ck::distance, {3, 4}, 12), d);
    EXPECT_EQ(s.nextId, next);  // no id consumed
    EXPECT_NE(s.addConstraint(ck::distance, {4, 3}, 12), d);
    ASSERT_EQ(s.constraints.size(), 3u);
    EXPECT_EQ(s.constraints[1].value, 12);
    s.addConstraint(ck::distance, {3, 4});  // an absent value replaces too
    EXPECT_FALSE(s.constraints[1].value);
}

TEST(Sketch, AllEntitiesListsLinesThenCirclesThenArcs) {
    Sketch s;
    s.arcs.push_back({5, 0, 1, 2});
    s.circles.push_back({4, 0, 1.0});
    s.lines.push_back({9, 1, 2});
    EXPECT_EQ(s.allEntities(), (std::vector<Id>{9, 4, 5}));
}

TEST(SketchPlane, StandardPlanesAreRightHandedAndRoundTrip) {
    expectNear(SketchPlane::xz().y(), {0, 0, -1});
    expectNear(SketchPlane::yz().y(), {0, 1, 0});
    const V2 p{3.5, -2.25};
    for (const SketchPlane& pl : {SketchPlane::xy(), SketchPlane::xz(), SketchPlane::yz(),
                                  SketchPlane::face({1, 2, 3}, {4, 5, 6})}) {
        const V2 q = pl.to2D(pl.to3D(p));
        EXPECT_NEAR(q.x, p.x, 1e-12) << pl.name;
        EXPECT_NEAR(q.y, p.y, 1e-12) << pl.name;
        EXPECT_NEAR(pl.x.dot(pl.n), 0, 1e-12) << pl.name;
    }
}

TEST(SketchPlane, FacePlanesFollowTheStandardAxes) {
    const SketchPlane down = SketchPlane::face({0, 0, -1}, {3, 4, 5});
    EXPECT_EQ(down.name, "Face");
    expectNear(down.x, {-1, 0, 0});
    expectNear(down.o, {0, 0, 5});
    expectNear(SketchPlane::face({0, 0, 2}, {0, 0, 1}).x, {1, 0, 0});
    expectNear(SketchPlane::face({1, 0, 0}, {7, 0, 0}).x, {0, 0, -1});
    expectNear(SketchPlane::face({0.1, 1, 0}, {0, 0, 0}).x, {1, 0, 0});
    // Near-zero components are snapped so that a slightly noisy face stays axis-aligned.
    expectNear(SketchPlane::face({1e-7, 0, 1}, {0, 0, 2}).n, {0, 0, 1});
}

TEST(SketchJson, KeysInWritingOrderAndOptionalMembersOmitted) {
    Sketch s;
    const Id a = s.addPoint({1, 2});
    s.addConstraint(ck::horizontal, {a});
    const Json j = toJson(s);
    std::vector<std::string> keys;
    for (const auto& [k, v] : j.items())
        keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{"plane", "points", "lines", "circles", "arcs",
                                              "constraints", "nextId", "visible"}));
    EXPECT_FALSE(j["constraints"][0].contains("value"));
    EXPECT_EQ(j["points"][1].dump(), R"({"id":1,"p":{"x":1.0,"y":2.0},"fixed":false})");
}

TEST(SketchJson, RoundTripKeepsEverything) {
    Sketch s(SketchPlane::face({0, 1, 0}, {0, 5, 0}));
    const Id a = s.addPoint({1, 2}), b = s.addPoint({-3, 4.125});
    s.addLine(a, b, true);
    s.circles.push_back({s.newId(), a, 2.5, false});
    s.arcs.push_back({s.newId(), a, b, 0, false});
    s.addConstraint(ck::radius, {4}, 2.5);
    s.addConstraint("unknownKind", {1, 2});
    s.freePoints = std::vector<Id>{b};
    s.visible = false;
    JsonReader r;
    Sketch back;
    ASSERT_TRUE(readSketch(r, toJson(s), back)) << r.error();
    EXPECT_EQ(back, s);
}

}  // namespace
}  // namespace ivo
