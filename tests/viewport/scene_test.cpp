#include "viewport/scene.h"

#include <gtest/gtest.h>

namespace ivo {
namespace {

Feature sketchFeature(Id id, std::vector<V2> pts, SketchPlane plane = SketchPlane::xy()) {
    Feature f(id, fk::sketch, "Esquisse" + std::to_string(id));
    f.sketch = Sketch(std::move(plane));
    for (V2 p : pts)
        f.sketch->addPoint(p);
    return f;
}

// A body whose solid is one square polygon; only its vertices matter here.
Body squareBody(Id id, double x0, double x1) {
    Solid s{CPoly({{x0, 0, 0}, {x1, 0, 0}, {x1, 1, 0}, {x0, 1, 0}}, {{0, 0, 1}, 0})};
    return Body{id, "Corps", std::make_shared<const Solid>(std::move(s))};
}

TEST(Scene, LightSketchesFollowMarkerVisibilityAndEditing) {
    Doc doc;
    doc.features.push_back(sketchFeature(1, {{1, 1}}));
    doc.features.push_back(sketchFeature(2, {{2, 2}}));
    doc.features.push_back(Feature(3, fk::extrude, "Extrusion1"));  // carries an empty sketch
    doc.features.push_back(sketchFeature(4, {{4, 4}}));
    doc.features.push_back(sketchFeature(5, {{5, 5}}));
    doc.features[1].suppressed = true;
    doc.features[3].sketch->visible = false;
    doc.marker = 4;  // feature 5 lies after the marker
    auto shown = lightSketches(doc, std::nullopt);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], &*doc.features[0].sketch);
    EXPECT_TRUE(lightSketches(doc, 0).empty());  // the edited sketch is the editor's

    doc.marker = 99;  // beyond the end counts as the end
    EXPECT_EQ(lightSketches(doc, std::nullopt).size(), 2u);
    doc.marker = -1;
    EXPECT_TRUE(lightSketches(doc, std::nullopt).empty());
}

TEST(Scene, ContentBoxHoldsShownBodiesAndSketchPoints) {
    Doc doc;
    EvalResult result;
    EXPECT_TRUE(contentBox(doc, result, false).isEmpty());

    result.bodies = {squareBody(10, 0, 5), squareBody(11, 100, 120)};
    doc.hidden = {11};
    Box3 box = contentBox(doc, result, false);
    EXPECT_EQ(box.hi.x, 5);

    doc.features.push_back(sketchFeature(1, {{-30, 7}}, SketchPlane::xz()));
    doc.features[0].sketch->visible = false;
    doc.marker = 1;
    EXPECT_EQ(contentBox(doc, result, false).lo.x, 0);
    box = contentBox(doc, result, true);  // an invisible sketch counts while editing
    EXPECT_EQ(box.lo.x, -30);
    // Plan XZ maps sketch y onto −Z (x × y = n = +Y).
    EXPECT_EQ(box.lo.z, -7);
    doc.marker = 0;
    EXPECT_EQ(contentBox(doc, result, true).lo.x, 0);
}

TEST(Scene, GridHasMajorLinesEveryFiftyAndThreeAxes) {
    const auto sets = gridAndAxes();
    ASSERT_EQ(sets.size(), 5u);
    EXPECT_EQ(sets[0].color, colors::gridMinor);
    EXPECT_EQ(sets[0].segments.size(), 64u);  // 32 minor values, two lines each
    EXPECT_EQ(sets[1].color, colors::gridMajor);
    EXPECT_EQ(sets[1].segments.size(), 18u);  // −200, −150 … 200
    for (const Segment& s : sets[1].segments) {
        const double v = s.a.x == s.b.x ? s.a.x : s.a.z;
        EXPECT_EQ(static_cast<int>(v) % 50, 0);
        EXPECT_EQ(s.a.y, 0);
    }
    EXPECT_EQ(sets[4].segments[0].b, V3(0, 60, 0));  // Y axis, 60 long
}

TEST(Scene, OriginPlanesAndLabels) {
    const auto& planes = originPlanes();
    EXPECT_STREQ(planes[0].name, "plane:XY");
    for (V3 c : planes[1].corners)
        EXPECT_EQ(c.y, 0.05);
    for (V3 c : planes[2].corners)
        EXPECT_EQ(c.x, 0);
    for (const OriginPlane& p : planes) {
        Box3 b;
        for (V3 c : p.corners)
            b.add(c);
        EXPECT_NEAR((b.hi - b.lo).length(), 70 * std::sqrt(2.0), 1e-9) << p.name;
    }
    EXPECT_EQ(planeLabel("plane:XZ"), "Plan XZ (dessus)");
    EXPECT_EQ(sketchPlaneOf("plane:YZ"), SketchPlane::yz());
    EXPECT_EQ(sketchPlaneOf("whatever"), SketchPlane::xy());
}

TEST(Scene, FixedLightComesFromAboveRightAndFront) {
    const V3 l = lights::fixedDirection();
    EXPECT_NEAR(l.length(), 1, 1e-12);
    EXPECT_NEAR(l.x, 0.305, 1e-3);
    EXPECT_NEAR(l.y, 0.841, 1e-3);
    EXPECT_NEAR(l.z, 0.446, 1e-3);
}

TEST(Scene, EdgeOffsetScalesWithTheModel) {
    EXPECT_EQ(edgeOffset(Box3{}), 0.02);
    Box3 small;
    small.add({0, 0, 0});
    small.add({1, 1, 1});
    EXPECT_EQ(edgeOffset(small), 0.01);
    Box3 big;
    big.add({0, 0, 0});
    big.add({1000, 0, 0});
    EXPECT_NEAR(edgeOffset(big), 0.4, 1e-12);
}

}  // namespace
}  // namespace ivo
