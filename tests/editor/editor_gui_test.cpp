// The sketch editor in the real window, driven by mouse and key events on the 3-D view. Snaps,
// typed sizes and dimension edits are tabled window-free and walked by the e2e sessions.
#include <array>
#include <cmath>

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

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
    QPoint px(V2 p) const {
        const auto s = c->viewport->toScreen(sketch(), p);
        return QPoint(qRound(s->x), qRound(c->viewport->height() - s->y));
    }
    V2 at(QPoint q) const {
        return *c->viewport->planePoint(sketch().plane,
                                        {double(q.x()), c->viewport->height() - double(q.y())});
    }
    void clickPx(QPoint q) {
        QTest::mouseMove(c->viewport, q);
        QTest::mouseClick(c->viewport, Qt::LeftButton, Qt::NoModifier, q);
    }
    void click(V2 p) { clickPx(px(p)); }
    // QTest's double click sends no release and so leaves its button down for every later
    // QTest event of the process (the next test's moves become drags): a hand lets it go.
    void doubleClickPx(QPoint q) {
        QTest::mouseDClick(c->viewport, Qt::LeftButton, {}, q);
        QTest::mouseRelease(c->viewport, Qt::LeftButton, {}, q);
    }
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
    const Kinds hv1{{"horizontal", 1}, {"vertical", 1}}, hv2{{"horizontal", 2}, {"vertical", 2}},
        hv2m{{"horizontal", 2}, {"vertical", 2}, {"midpoint", 1}},
        slot{{"tangent", 4}, {"equal", 1}};
    const Case cases[] = {
        {"line", {{10, 10}, {50, 10}, {50, 40}}, 0, {3, 2, 0, 0}, 2, hv1},
        {"rect", {{10, 10}, {50, 40}}, 0, {4, 4, 0, 0}, 1, hv2},
        {"rectC", {{30, 20}, {50, 40}}, 0, {5, 5, 0, 0}, 1, hv2m},
        {"rect3", {{10, 10}, {50, 12}, {30, 30}}, 0, {4, 4, 0, 0}, 1, {{"perpendicular", 3}}},
        {"circle", {{20, 20}, {30, 20}}, 0, {1, 0, 1, 0}, 1, {}},
        {"circle2", {{10, 20}, {30, 20}}, 0, {1, 0, 1, 0}, 1, {}},
        {"circle3", {{10, 10}, {30, 10}, {20, 20}}, 0, {1, 0, 1, 0}, 1, {}},
        {"arc", {{20, 20}, {30, 20}, {20, 30}}, 0, {3, 0, 0, 1}, 1, {}},
        {"arc3", {{10, 10}, {30, 10}, {20, 15}}, 0, {3, 0, 0, 1}, 1, {}},
        {"polyI", {{20, 20}, {30, 20}}, 6, {7, 6, 1, 0}, 1, {{"equal", 5}, {"pointOnCircle", 6}}},
        {"polyC", {{20, 20}, {30, 20}}, 5, {6, 5, 1, 0}, 1, {{"equal", 4}, {"tangent", 5}}},
        {"slotCC", {{10, 20}, {40, 20}, {25, 25}}, 0, {6, 3, 0, 2}, 1, slot},
        {"slotO", {{10, 20}, {50, 20}, {30, 24}}, 0, {6, 3, 0, 2}, 1, slot},
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
        {"perpendicular", {m1, m2}, "perpendicular", {l1, l2}},
        {"equal", {{40, 20}, {36, -20}}, "equal", {c1, s0.circles[1].id}},
        {"tangent", {{40, 20}, m1}, "tangent", {l1, c1}},
        {"coincident", {{-40, 10}, m2}, "pointOnLine", {s0.lines[0].a, l2}},
        {"coincident", {{-40, 10}, {36, -20}}, "pointOnCircle", {s0.lines[0].a, s0.circles[1].id}},
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

TEST_F(EditorGui, ChainsEscapeAndDoubleClicks) {
    open();
    // Back on the first point: the triangle closes and the chain ends.
    use("line", {{-30, -20}, {30, -20}, {0, 30}, {-30, -20}});
    EXPECT_EQ(sketch().lines.size(), 3u);
    EXPECT_EQ(sketch().points.size(), 4u);
    EXPECT_FALSE(c->editor->firstRef);
    click({40, 40});      // a new chain
    key(Qt::Key_Escape);  // ends the chain, keeps the tool
    EXPECT_FALSE(c->editor->firstRef);
    EXPECT_EQ(c->editor->tool(), "line");
    key(Qt::Key_Escape);
    EXPECT_EQ(c->editor->tool(), "select");

    // A real double click on one spot makes no zero-sized circle.
    const Sketch before = sketch();
    c->runSketchTool("circle2");
    doubleClickPx(px({20, 20}));
    EXPECT_EQ(sketch(), before);
}

// The trim is walked by the drawing session: here a selected piece goes with Delete as trim cuts.
TEST_F(EditorGui, ASelectedPieceGoesWithDeleteAndXMakesConstruction) {
    open();
    c->runSketchTool("line");
    segment({-40, 8}, {40, 8});
    segment({-10, -20}, {-10, 20});
    segment({10, -20}, {10, 20});
    use("trim", {{0, 8}});
    const Sketch trimmed = sketch();
    ASSERT_EQ(trimmed.lines.size(), 4u);
    c->undoAction();
    ASSERT_EQ(sketch().lines.size(), 3u);
    use("select", {{0, 8}});
    key(Qt::Key_Delete);
    EXPECT_EQ(sketch(), trimmed);
    // X turns the selected curve into construction, as one undo step.
    click({-10, 15});
    const size_t before = c->undoStack.size();
    keys("x");
    EXPECT_EQ(c->undoStack.size(), before + 1);
    EXPECT_EQ(std::count_if(sketch().lines.begin(), sketch().lines.end(),
                            [](const SLine& l) { return l.construction; }),
              1);
    EXPECT_EQ(sketchFault(sketch()), "");
}

TEST_F(EditorGui, DragsMoveUnderTheSolverInOneUndoStep) {
    open();
    use("rect", {{-20, -10}, {20, 10}});
    c->runSketchTool("select");
    const size_t depth = c->undoStack.size();
    dragMouse(c->viewport, px({20, 10}), px({30, 25}));
    EXPECT_EQ(c->undoStack.size(), depth + 1);
    const Sketch& s = sketch();
    V2 most{-1e9, -1e9};
    for (const SPoint& p : s.points)
        most = {std::max(most.x, p.p.x), std::max(most.y, p.p.y)};
    EXPECT_NEAR((most - at(px({30, 25}))).length(), 0, 1e-6);
    for (const SLine& l : s.lines) {  // still a rectangle
        const V2 d = *s.pos(l.b) - *s.pos(l.a);
        EXPECT_LT(std::min(std::abs(d.x), std::abs(d.y)), 1e-6);
    }
    c->undoAction();
    EXPECT_NEAR(sketch().pos(sketch().lines[0].a)->x, -20, 0.3);

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
    clickPx(from);
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

TEST_F(EditorGui, AToolbarButtonOutlivesTheRebuildItsOwnClickStarts) {
    open();
    QPointer<QToolButton> finish = c->toolButtons.at("finish");
    QTest::mouseClick(finish, Qt::LeftButton);
    EXPECT_EQ(c->mode(), Mode::model);
    EXPECT_FALSE(finish.isNull());  // deleted once its signal has returned, not during it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(finish.isNull());
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

TEST_F(EditorGui, APointOfAnotherSketchIsAFixedSnap) {
    open();
    use("line", {{20, 15}, {45, 30}});
    c->finishSketch();
    open();
    ASSERT_EQ(c->editor->foreign.size(), 2u);
    c->runSketchTool("point");
    clickPx(px({45, 30}) + QPoint(-3, 2));
    ASSERT_EQ(sketch().points.size(), 2u);
    const Sketch& other = *c->doc().features[0].sketch;
    EXPECT_NEAR((sketch().points[1].p - *other.pos(other.lines[0].b)).length(), 0, 1e-9);
    EXPECT_TRUE(sketch().points[1].fixed);
}

}  // namespace
}  // namespace ivo::testing
