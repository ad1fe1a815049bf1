// The sketch editor in the real window, driven by mouse and key events on the 3-D view. Snaps,
// typed sizes and dimension edits are tabled window-free and walked by the e2e sessions.
#include <array>
#include <cmath>

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/app_fixture.h"
#include "editor/sketch_editor.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

struct EditorGui : AppFixture {
    MainController* c = nullptr;

    void open(const SketchPlane& plane = SketchPlane::xy()) {
        if (!c) c = &launch();
        c->startSketch(plane);
        ASSERT_EQ(c->mode(), Mode::sketch);
    }
    const Sketch& sketch() const { return *c->currentSketch(); }
    QPoint px(V2 p) const { return seenAt(*c, p); }
    void click(V2 p) { clickView(*c, px(p)); }
    void use(const char* tool, std::initializer_list<V2> clicks) {
        c->runSketchTool(tool);
        for (V2 p : clicks)
            click(p);
    }
    void key(int k) { QTest::keyClick(c->viewport, Qt::Key(k)); }
    void keys(const char* text) { QTest::keyClicks(c->viewport, text); }
    void segment(V2 a, V2 b) {
        click(a);
        click(b);
        key(Qt::Key_Escape);
    }
    std::map<std::string, size_t> kinds() const {
        std::map<std::string, size_t> out;
        for (const SConstraint& k : sketch().constraints)
            ++out[k.kind];
        return out;
    }
};

TEST_F(EditorGui, EachDrawingToolMakesItsShapeInOneUndoStep) {
    using Kinds = std::map<std::string, size_t>;
    struct Case {
        const char* tool;
        std::vector<V2> clicks;
        double sides;                    // answer to the polygon prompt, 0 for none
        std::array<size_t, 4> entities;  // points (past the origin), lines, circles, arcs
        size_t steps;
        Kinds constraints;
    };
    const Kinds hv1{{"horizontal", 1}, {"vertical", 1}}, hv2{{"horizontal", 2}, {"vertical", 2}};
    const Case cases[] = {
        {"line", {{10, 10}, {50, 10}, {50, 40}}, 0, {3, 2, 0, 0}, 2, hv1},
        {"rect", {{10, 10}, {50, 40}}, 0, {4, 4, 0, 0}, 1, hv2},
        {"rect3", {{10, 10}, {50, 12}, {30, 30}}, 0, {4, 4, 0, 0}, 1, {{"perpendicular", 3}}},
        {"circle", {{20, 20}, {30, 20}}, 0, {1, 0, 1, 0}, 1, {}},
        {"arc", {{20, 20}, {30, 20}, {20, 30}}, 0, {3, 0, 0, 1}, 1, {}},
        {"polyI", {{20, 20}, {30, 20}}, 6, {7, 6, 1, 0}, 1, {{"equal", 5}, {"pointOnCircle", 6}}},
        {"polyC", {{20, 20}, {30, 20}}, 5, {6, 5, 1, 0}, 1, {{"equal", 4}, {"tangent", 5}}},
        {"slotCC",
         {{10, 20}, {40, 20}, {25, 25}},
         0,
         {6, 3, 0, 2},
         1,
         {{"tangent", 4}, {"equal", 1}}},
        {"point", {{20, 20}}, 0, {1, 0, 0, 0}, 1, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.tool);
        open();
        if (k.sides) dialogs->numbers.push_back({k.sides});
        c->runSketchTool(k.tool);
        const size_t depth = c->undoStack.size();
        for (V2 p : k.clicks)
            click(p);
        const Sketch& s = sketch();
        EXPECT_EQ(
            (std::array{s.points.size() - 1, s.lines.size(), s.circles.size(), s.arcs.size()}),
            k.entities);
        EXPECT_EQ(kinds(), k.constraints);
        EXPECT_EQ(c->undoStack.size(), depth + k.steps);
        EXPECT_EQ(sketchFault(s), "");
        c->undoAction();  // the last shape goes whole, with its constraints
        EXPECT_EQ(sketch().constraints.size(), k.steps == 1 ? 0u : 1u);
        c->finishSketch();
    }
}

TEST_F(EditorGui, ConstraintToolsAddTheirConstraintOnThePickedCurves) {
    open();
    c->runSketchTool("line");
    segment({-40, 10}, {-10, 25});
    segment({-40, -10}, {-5, -30});
    use("circle", {{30, 20}, {40, 20}, {30, -20}, {36, -20}});
    const Sketch s0 = sketch();
    const Id l1 = s0.lines[0].id, l2 = s0.lines[1].id, c1 = s0.circles[0].id;
    const V2 m1{-25, 17.5}, m2{-22.5, -20};
    const struct {
        const char* tool;
        std::vector<V2> clicks;
        const char* kind;
        std::vector<Id> refs;
    } cases[] = {
        {"hv", {m1}, "horizontal", {l1}},
        {"parallel", {m1, m2}, "parallel", {l1, l2}},
        {"equal", {{40, 20}, {36, -20}}, "equal", {c1, s0.circles[1].id}},
        {"tangent", {{40, 20}, m1}, "tangent", {l1, c1}},
        {"coincident", {{-40, 10}, m2}, "pointOnLine", {s0.lines[0].a, l2}},
        {"midpoint", {{30, 20}, m1}, "midpoint", {s0.circles[0].c, l1}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.tool);
        c->runSketchTool(k.tool);
        const size_t depth = c->undoStack.size();
        for (V2 p : k.clicks)
            click(p);
        EXPECT_EQ(c->undoStack.size(), depth + 1);
        ASSERT_FALSE(sketch().constraints.empty());
        EXPECT_EQ(sketch().constraints.back().kind, k.kind);
        EXPECT_EQ(sketch().constraints.back().refs, k.refs);
        c->undoAction();
        EXPECT_EQ(sketch(), s0);
    }
    // Concentric merges the centres; fixed toggles a point.
    use("concentric", {{40, 20}, {36, -20}});
    EXPECT_EQ(sketch().circles[0].c, sketch().circles[1].c);
    use("fixed", {{-40, -10}});
    EXPECT_TRUE(sketch().points[*sketch().pointIndex(s0.lines[1].a)].fixed);
}

// X turns the selected curve into construction, as one undo step.
TEST_F(EditorGui, XMakesTheSelectedCurveConstruction) {
    open();
    c->runSketchTool("line");
    segment({-10, -20}, {-10, 20});
    segment({10, -20}, {10, 20});
    use("select", {{-10, 15}});
    const size_t before = c->undoStack.size();
    keys("x");
    EXPECT_EQ(c->undoStack.size(), before + 1);
    EXPECT_EQ(std::count_if(sketch().lines.begin(), sketch().lines.end(),
                            [](const SLine& l) { return l.construction; }),
              1);
    EXPECT_EQ(sketchFault(sketch()), "");
}

// A corner dragged under the solver is walked by the drawing session.
TEST_F(EditorGui, ADragOnEmptySpaceOrbitsOnlyInSelect) {
    open();
    // In a drawing tool a drag on empty space draws no orbit; in "select" it orbits.
    c->runSketchTool("line");
    const double yaw = c->viewport->yaw;
    dragMouse(c->viewport, px({-50, 40}), px({-10, 45}));
    EXPECT_EQ(c->viewport->yaw, yaw);
    c->runSketchTool("select");
    dragMouse(c->viewport, px({-50, 40}), px({-10, 45}));
    EXPECT_NE(c->viewport->yaw, yaw);
}

TEST_F(EditorGui, APointDraggedPastTheHorizonStaysWhereItLastWas) {
    open(SketchPlane::xz());
    c->viewport->pitch = 0.08;  // nearly level over the ground plane: the sky misses it
    c->viewport->updateCamera();
    c->runSketchTool("point");
    const QPoint from(c->viewport->width() / 2, c->viewport->height() * 3 / 4);
    clickView(*c, from);
    ASSERT_EQ(sketch().points.size(), 2u);
    c->runSketchTool("select");
    const QPoint sky(from.x(), 5);
    ASSERT_FALSE(c->editor->spt({double(sky.x()), c->viewport->height() - 5.0}));
    sendMouse(c->viewport, QEvent::MouseButtonPress, from, Qt::LeftButton);
    sendMouse(c->viewport, QEvent::MouseMove, from + QPoint(20, 0), Qt::LeftButton);
    const V2 last = sketch().points[1].p;
    sendMouse(c->viewport, QEvent::MouseMove, sky, Qt::LeftButton);
    sendMouse(c->viewport, QEvent::MouseButtonRelease, sky, Qt::NoButton);
    EXPECT_EQ(sketch().points[1].p, last);
    EXPECT_EQ(sketchFault(sketch()), "");
}

TEST_F(EditorGui, NumberPromptsReadExpressionsAndStayOpenOnBadText) {
    launch();
    QtDialogs real(delegate->ctl->window.get());
    bool stayedOpen = false;
    // Answers the prompt from inside its own event loop, as a person would.
    QTimer::singleShot(300, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        const auto fields = dialog->findChildren<QLineEdit*>();
        ASSERT_EQ(fields.size(), 2);
        auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        fields[1]->setText("abc");
        QTest::mouseClick(ok, Qt::LeftButton);
        stayedOpen = dialog->isVisible();
        fields[1]->setText("40/2+1,5");
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    const auto v = real.askNumbers("Réseau rectangulaire", "Le contour cliqué est répété.",
                                   {"Nombre en X", "Espacement X (mm)"}, {3, 2.5});
    EXPECT_TRUE(stayedOpen);
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, (std::vector<double>{3, 21.5}));
}

}  // namespace
}  // namespace ivo::testing
