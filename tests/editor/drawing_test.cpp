// What the sketch drawing paints, through a recording canvas: label boxes and their
// rectangles for clicks, symbols spread along a line, colours of selections and pieces, the
// tool preview and the snap marker.
#include <gtest/gtest.h>

#include "editor/plain_host.h"
#include "support/sketch_builder.h"

namespace ivo::testing {
namespace {

namespace sc = sketchColours;

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
    // Exactly one stroke through a and b, painted so.
    void expectStroke(V2 a, V2 b, Colour colour, std::optional<double> width,
                      std::optional<bool> dashed = std::nullopt) const {
        const auto strokes = strokesThrough(a, b);
        ASSERT_EQ(strokes.size(), 1u);
        EXPECT_EQ(strokes[0].colour, colour);
        EXPECT_EQ(strokes[0].width, width.value_or(strokes[0].width));
        EXPECT_EQ(strokes[0].dashed, dashed.value_or(strokes[0].dashed));
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
    // Symbols on the same first line step 14 points right, 12 points left of its direction.
    EXPECT_NEAR(centre(0).x, 440, 1e-9);
    EXPECT_NEAR(centre(0).y, 312, 1e-9);
    EXPECT_NEAR(centre(1).x, 454, 1e-9);
    EXPECT_NEAR(centre(2).x, 440, 1e-9);  // another first line: no shift
    EXPECT_NEAR(centre(5).x, 468, 1e-9);  // the third symbol on the first line
    // The value 16 points to the right of the direction; "=" at the first circle's right.
    EXPECT_NEAR(centre(3).y, 284, 1e-9);
    EXPECT_NEAR(centre(4).x, 400 + 55 * 4, 1e-9);
    EXPECT_EQ(editor.labelRects[0].id, h);
    EXPECT_EQ(editor.labelRects[3].id, len);
    EXPECT_EQ(editor.labelRects[5].id, t);

    // Clicks find the boxes (grown by 2 points), the later box first where they overlap.
    EXPECT_EQ(editor.labelAt(centre(3)), len);
    const LabelRect r = editor.labelRects[0].rect;
    EXPECT_EQ(editor.labelAt({r.x - 1.5, r.y}), h);
    EXPECT_FALSE(editor.labelAt({r.x - 2.5, r.y - 2.5}));

    // A selected label is red with white text.
    editor.selected = len;
    draw();
    const auto boxes = canvas.all("fillRound");
    ASSERT_EQ(boxes.size(), 6u);
    EXPECT_EQ((std::vector{boxes[3].colour, boxes[0].colour, texts()[3].colour, texts()[0].colour}),
              (std::vector{sc::selection, sc::symbolBox, sc::white, sc::symbolText}));
}

TEST_F(DrawingTest, SelectedCurvesPiecesAndHover) {
    Sketch& s = host.sketch;
    const Id l = addSegment(s, {-20, 0}, {20, 0});
    addSegment(s, {0, -10}, {0, 10});  // crosses l at the origin's x
    editor.setTool("select");
    editor.selected = l;
    draw();
    expectStroke({-20, 0}, {20, 0}, sc::selection, 2.6);

    // A selected piece: the line goes back to its colour, still 2.6 wide; the piece is red.
    editor.selectedPieceAt = V2{10, 0};
    editor.hoverPiece = SketchEditor::PieceRef{l, {12, 0}};  // same curve: not drawn again
    draw();
    expectStroke({-20, 0}, {20, 0}, sc::curve, 2.6);
    expectStroke({0, 0}, {20, 0}, sc::selection, 3.2, false);
    for (const Painted& p : canvas.all("polyline"))
        EXPECT_NE(p.width, 3.0);  // no hover over the selected piece

    // Hovered pieces: solid orange in "select", dashed red in "trim".
    editor.selected.reset();
    editor.selectedPieceAt.reset();
    for (const char* tool : {"select", "trim"}) {
        editor.setTool(tool);
        editor.hoverPiece = SketchEditor::PieceRef{l, {-10, 0}};
        draw();
        SCOPED_TRACE(tool);
        const bool trim = std::string(tool) == "trim";
        expectStroke({-20, 0}, {0, 0}, trim ? sc::hoverTrim : sc::hoverSelect, 3.0, trim);
    }
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
    EXPECT_EQ(host.status, "Ligne : 41,231 mm — Échap pour terminer");
    expectStroke({-10, 0}, {30, 10}, sc::preview, std::nullopt, true);
    const auto rings = canvas.all("ellipse");
    ASSERT_EQ(rings.size(), 1u);
    EXPECT_EQ(rings[0].rect, (LabelRect{400 + 120 - 8, 300 + 40 - 8, 16, 16}));

    // While a point is dragged no snap marker is drawn.
    editor.dragging = s.lines[0].a;
    draw();
    EXPECT_TRUE(canvas.all("ellipse").empty());

    // Other snap kinds come with their markers and labels.
    editor.dragging.reset();
    editor.hoverInfo = SnapInfo{{20, 10}, "mid", {}, {}, {}, false, {{{0, 10}, {20, 10}}}};
    draw();
    const auto all = texts();
    const auto label =
        std::find_if(all.begin(), all.end(), [](const Painted& t) { return t.text == "Milieu"; });
    ASSERT_NE(label, all.end());
    EXPECT_EQ(label->pts[0], (V2{400 + 80 + 10, 300 + 40 + 6}));
    expectStroke({0, 10}, {20, 10}, sc::guide, std::nullopt);
}

}  // namespace
}  // namespace ivo::testing
