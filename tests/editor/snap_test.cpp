// Snapping through the window-free host (4 view points per millimetre): snap kinds and their
// tolerances, the constraints a snapped click leaves, the snap points from outside the sketch.
#include <gtest/gtest.h>

#include <cmath>

#include "editor/plain_host.h"
#include "geometry/mesh.h"
#include "support/sketch_builder.h"
#include "support/solids.h"

namespace ivo::testing {
namespace {

struct SnapTest : ::testing::Test, HostedEditor {
    Id line = 0, circle = 0, arc = 0;

    void SetUp() override {
        line = addSegment(host.sketch, {10, 10}, {30, 10});
        circle = addCircle(host.sketch, {60, 0}, 10);
        arc = addArc(host.sketch, {0, -40}, {10, -40}, {0, -30});  // a quarter, CCW
        host.foreignPoints = {{-30, 20}};
        editor.rebuildForeign();
    }
    std::optional<SnapInfo> snapAt(V2 p) const { return editor.findSnap(host.at(p)); }
    bool has(Id point, const std::string& kind, Id other) const {
        const std::vector<Id> refs{point, other};
        return std::any_of(host.sketch.constraints.begin(), host.sketch.constraints.end(),
                           [&](const SConstraint& c) { return c.kind == kind && c.refs == refs; });
    }
    Id lastPoint() const { return host.sketch.points.back().id; }
};

V2 polar(V2 c, double r, double deg) {
    const double a = deg * pi / 180;
    return c + V2{std::cos(a), std::sin(a)} * r;
}

TEST_F(SnapTest, KindsComeInOrderWithinTheirTolerances) {
    struct Case {
        const char* tool;
        bool magnet;
        V2 at;
        const char* kind;  // "" for no snap
        V2 pos;
        Id curve = 0, centre = 0;  // 0: not checked
        bool horizontal = false;   // for quadrants
    };
    const Id centre = host.sketch.circles[0].c;
    const V2 inSweep = polar({0, -40}, 10.5, 60), outside = polar({0, -40}, 10.5, -60);
    const Case cases[] = {
        // 2.7 mm = 10.8 points from an end: inside 14 with the magnet, outside 9 without.
        {"line", true, {12.5, 11}, "point", {10, 10}},
        {"line", false, {12.5, 11}, "", {}},
        {"select", true, {12.5, 11}, "point", {10, 10}},
        // Middles, quadrants and foreign points only for drawing tools with the magnet.
        {"line", true, {20, 11}, "mid", {20, 10}, line},
        {"line", false, {20, 11}, "", {}},
        {"circle", true, {70.5, 2}, "quad", {70, 0}, circle, centre, true},
        {"line", true, {60.5, 10.8}, "quad", {60, 10}, circle, centre},
        {"point", true, {-29, 21}, "foreign", {-30, 20}},
        // Curves: 2 mm off the line (2.5 mm tolerance), an arc only within its sweep.
        {"line", true, {25, 12}, "curve", {25, 10}},
        {"line", true, {25, 13}, "", {}},
        {"line", true, inSweep, "curve", polar({0, -40}, 10, 60)},
        {"line", true, outside, "", {}},
        {"line", true, polar({0, -40}, 9, 30), "curve", polar({0, -40}, 10, 30), arc},
        {"line", true, {0, -40}, "point", {0, -40}},  // the arc's centre is a point too
        // x from (30, 10), y from the origin (first of the ties with the circle's centre).
        {"line", true, {31, 1}, "align", {30, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.at.x) + ", " + std::to_string(c.at.y) + " " + c.tool);
        host.magnetOn = c.magnet;
        editor.setTool(c.tool);
        const auto snap = snapAt(c.at);
        if (!*c.kind) {
            EXPECT_FALSE(snap) << snap->kind;
            continue;
        }
        ASSERT_TRUE(snap);
        EXPECT_EQ(snap->kind, c.kind);
        EXPECT_NEAR((snap->pos - c.pos).length(), 0, 1e-9);
        EXPECT_TRUE(!c.curve || snap->curveId == c.curve);
        EXPECT_TRUE(!c.centre || snap->centerId == c.centre);
        EXPECT_EQ(snap->horizontal, c.horizontal);
    }
}

// Tolerances are view points: zoomed out twice as far, 2.6 mm off a line is 5.2 points, not 10.4.
TEST_F(SnapTest, TolerancesStayInViewPointsWhenZoomed) {
    host.sketch = Sketch();
    addSegment(host.sketch, {-40, 10}, {40, 10});
    editor.setTool("line");
    EXPECT_FALSE(snapAt({20, 12.6}));
    host.scale = 2;
    const auto s = snapAt({20, 12.6});
    ASSERT_TRUE(s);
    EXPECT_EQ(s->kind, "curve");
    EXPECT_FALSE(snapAt({20, 15.6}));  // 11.2 points
}

TEST_F(SnapTest, SnappedClicksLeaveTheirConstraintsInOneUndoStep) {
    const struct {
        V2 from, to;
        std::string kind;
        Id on;
        std::optional<V2> pos;
        const char* level = nullptr;  // a quadrant's tie to the centre
    } cases[] = {
        {{40, -30}, {70.3, 0.4}, ck::pointOnCircle, circle, V2{70, 0}, ck::hpoints},
        {{40, -20}, {20.4, 10.5}, ck::midpoint, line, std::nullopt},
        {{40, -25}, {25, 11.5}, ck::pointOnLine, line, std::nullopt},
        {{40, -25}, polar({0, -40}, 10.5, 45), ck::pointOnCircle, arc, polar({0, -40}, 10, 45)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        editor.setTool("line");
        click(c.from);
        const Sketch before = host.sketch;
        const size_t depth = host.undo.size();
        click(c.to);
        const Id end = lastPoint();
        EXPECT_TRUE(has(end, c.kind, c.on));
        if (c.pos) {
            EXPECT_NEAR((*host.sketch.pos(end) - *c.pos).length(), 0, 1e-6);
        }
        EXPECT_TRUE(editor.snapRecords.empty());
        EXPECT_EQ(host.undo.size(), depth + 1);
        if (c.level) {
            EXPECT_TRUE(has(end, c.level, host.sketch.circles[0].c));
            ASSERT_TRUE(host.undoStep());
            EXPECT_EQ(host.sketch, before);
        }
        // A line end on a middle gets a midpoint constraint, not the line's own point.
        EXPECT_EQ(host.sketch.line(line)->a, host.sketch.lines[0].a);
    }
}

TEST_F(SnapTest, MidpointSurvivesTheAutomaticHorizontalOfTheClick) {
    // A middle 1° above the X axis from the origin: the new line's automatic "horizontal" holds.
    host.sketch = Sketch();
    const V2 m = polar({0, 0}, 30, 1);
    const Id target = addSegment(host.sketch, m - V2{0, 10}, m + V2{0, 10});
    editor.setTool("line");
    click({0, 0});
    click(m + V2{0.3, 0.2});
    const Id end = lastPoint();
    EXPECT_TRUE(has(end, ck::midpoint, target));
    const auto l = host.sketch.line(target);
    const V2 mid = (*host.sketch.pos(l->a) + *host.sketch.pos(l->b)) * 0.5;
    EXPECT_NEAR((*host.sketch.pos(end) - mid).length(), 0, 1e-6);
    EXPECT_NEAR(host.sketch.pos(end)->y, 0, 1e-6);
}

TEST(ForeignSnapPoints, OtherVisibleSketchesAndBodyEdgesOnThePlane) {
    Doc doc;
    const auto sketchFeature = [&](SketchPlane plane) {
        Feature f(doc.newId(), fk::sketch, "Esquisse");
        f.sketch = Sketch(plane);
        doc.features.push_back(f);
        return &*doc.features.back().sketch;
    };
    Sketch* a = sketchFeature(SketchPlane::xy());
    addSegment(*a, {1, 2}, {3, 4});
    addSegment(*a, {1.0004, 2}, {5, 6});  // its first end counts once with (1, 2)
    addCircle(*a, {7, 8}, 2);
    addArc(*a, {0, 9}, {1, 9}, {0, 10});
    addSegment(*sketchFeature(SketchPlane::xy()), {50, 50}, {51, 51});  // the edited one
    addSegment(*sketchFeature(SketchPlane::xz()), {-5, 3}, {-6, 4});    // lifted, z dropped
    Sketch* hidden = sketchFeature(SketchPlane::xy());
    addSegment(*hidden, {90, 90}, {91, 91});
    hidden->visible = false;
    addSegment(*sketchFeature(SketchPlane::xy()), {80, 80}, {81, 81});
    doc.features.back().suppressed = true;
    addSegment(*sketchFeature(SketchPlane::xy()), {70, 70}, {71, 71});  // past the marker
    doc.marker = 5;

    std::map<Id, std::vector<Tri>> bodies;
    bodies[1] = triangles(polyBox({100, 0, 0}, {110, 10, 10}));    // bottom on the plane
    bodies[2] = triangles(polyBox({200, 0, 0.01}, {210, 10, 5}));  // 0.01 mm above: in
    bodies[3] = triangles(polyBox({300, 0, 1}, {310, 10, 5}));     // off the plane
    bodies[4] = triangles(polyBox({400, 0, 0}, {410, 10, 5}));     // hidden
    doc.hidden = {4};

    const auto pts = foreignSnapPoints(doc, 1, bodies);
    ASSERT_EQ(pts.size(), 17u);
    EXPECT_EQ(std::vector<V2>(pts.begin(), pts.begin() + 9),
              (std::vector<V2>{
                  {1, 2}, {3, 4}, {5, 6}, {7, 8}, {0, 9}, {1, 9}, {0, 10}, {-5, 0}, {-6, 0}}));
    // The four bottom corners of each body on the plane, each once.
    for (const auto& [x0, n] : {std::pair{100, 4}, {200, 4}, {300, 0}, {400, 0}})
        EXPECT_EQ(std::count_if(pts.begin(), pts.end(),
                                [&](V2 p) { return p.x >= x0 && p.x <= x0 + 10; }),
                  n)
            << x0;
    EXPECT_TRUE(foreignSnapPoints(doc, std::nullopt, bodies).empty());
}

}  // namespace
}  // namespace ivo::testing
