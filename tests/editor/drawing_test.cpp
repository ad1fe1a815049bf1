// Which constraints the sketch drawing labels, through a recording canvas, and where clicks find
// the labels.
#include <gtest/gtest.h>

#include "editor/plain_host.h"
#include "support/sketch_builder.h"

namespace ivo::testing {
namespace {

struct DrawingTest : ::testing::Test, HostedEditor {
    RecordingCanvas canvas;

    void SetUp() override { host.painting = &canvas; }
    void draw() {
        canvas.texts.clear();
        editor.draw();
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

    EXPECT_EQ(canvas.texts, (std::vector<std::string>{"H", "∥", "H", "0", "=", "T"}));
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

}  // namespace
}  // namespace ivo::testing
