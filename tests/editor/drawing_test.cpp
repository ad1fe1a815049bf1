// What the sketch drawing paints, through a recording canvas: which constraints get a label and
// where clicks find it, the tool preview and the snap marker.
#include <gtest/gtest.h>

#include "editor/plain_host.h"
#include "support/sketch_builder.h"

namespace ivo::testing {
namespace {

struct DrawingTest : ::testing::Test, HostedEditor {
    RecordingCanvas canvas;

    void SetUp() override { host.painting = &canvas; }
    void draw() {
        canvas.ops.clear();
        editor.draw();
    }
    std::vector<Painted> texts() const { return canvas.all("text"); }
    // The strokes of a plane polyline through both points.
    std::vector<Painted> strokesThrough(V2 a, V2 b) const {
        std::vector<Painted> out;
        const auto through = [](const Painted& p, V2 q) {
            return std::any_of(p.pts.begin(), p.pts.end(),
                               [&](V2 r) { return (r - q).length() < 1e-9; });
        };
        for (const Painted& p : canvas.all("polyline"))
            if (through(p, a) && through(p, b)) out.push_back(p);
        return out;
    }
};

TEST_F(DrawingTest, ConstraintLabelsAndTheirRectangles) {
    Sketch& s = host.sketch;
    draw();
    EXPECT_TRUE(editor.labelRects.empty());  // no constraints, no boxes

    const Id l = addSegment(s, {0, 0}, {20, 0});  // screen (400, 300) → (480, 300)
    const Id other = addSegment(s, {0, 20}, {20, 20});
    const Id h = s.addConstraint(ck::horizontal, {l});
    s.addConstraint(ck::parallel, {l, other});
    s.addConstraint(ck::horizontal, {other});
    const Id len = s.addConstraint(ck::length, {l});  // no value: shown as 0
    const Id c1 = addCircle(s, {50, 0}, 5), c2 = addCircle(s, {80, 0}, 5);
    s.addConstraint(ck::equal, {c1, c2});
    const Id a1 = addArc(s, {0, -40}, {5, -40}, {0, -35}),
             a2 = addArc(s, {20, -40}, {25, -40}, {20, -35});
    s.addConstraint(ck::equal, {a1, a2});           // two arcs: nothing
    s.addConstraint(ck::distance, {s.lines[0].a});  // one ref: nothing
    const Id t = s.addConstraint(ck::tangent, {l, c1});
    draw();

    std::vector<std::string> shown;
    for (const Painted& p : texts())
        shown.push_back(p.text);
    EXPECT_EQ(shown, (std::vector<std::string>{"H", "∥", "H", "0", "=", "T"}));
    ASSERT_EQ(editor.labelRects.size(), 6u);
    const auto centre = [&](size_t i) {
        const LabelRect& r = editor.labelRects[i].rect;
        return V2{r.x + r.w / 2, r.y + r.h / 2};
    };
    EXPECT_EQ(editor.labelRects[0].id, h);
    EXPECT_EQ(editor.labelRects[3].id, len);
    EXPECT_EQ(editor.labelRects[5].id, t);

    // Clicks find the boxes (grown by 2 points), the later box first where they overlap.
    EXPECT_EQ(editor.labelAt(centre(3)), len);
    const LabelRect r = editor.labelRects[0].rect;
    EXPECT_EQ(editor.labelAt({r.x - 1.5, r.y}), h);
    EXPECT_FALSE(editor.labelAt({r.x - 2.5, r.y - 2.5}));
}

TEST_F(DrawingTest, AxesPreviewAndSnapMarker) {
    draw();
    // The camera is 50 mm away: the axes still reach 40 mm each side.
    EXPECT_EQ(strokesThrough({-40, 0}, {40, 0}).size(), 1u);
    EXPECT_EQ(strokesThrough({0, -40}, {0, 40}).size(), 1u);

    Sketch& s = host.sketch;
    addSegment(s, {10, 10}, {30, 10});
    editor.setTool("line");
    click({-10, 0});
    move({30, 10});  // right on the line's end: a point snap
    draw();
    const auto preview = strokesThrough({-10, 0}, {30, 10});
    ASSERT_EQ(preview.size(), 1u);
    EXPECT_TRUE(preview[0].dashed);
    const auto rings = canvas.all("ellipse");
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(rings[0].rect, (LabelRect{400 + 120 - 8, 300 + 40 - 8, 16, 16}));

    // While a point is dragged no snap marker is drawn.
    editor.dragging = s.lines[0].a;
    draw();
    EXPECT_TRUE(canvas.all("ellipse").empty());
}

}  // namespace
}  // namespace ivo::testing
