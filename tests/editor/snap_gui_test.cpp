// Snapping, typed sizes and the in-view edit of a dimension, in the real window with real
// pointer, wheel and key events: what the pointer catches at every zoom, what Tab and Return do
// in the boxes, and how a value typed over a dimension label is applied or refused.
#include <cmath>

#include <QWheelEvent>

#include "app/app_fixture.h"
#include "editor/sketch_editor.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

struct SnapGui : AppFixture {
    MainController* c = nullptr;

    void SetUp() override {
        AppFixture::SetUp();
        c = &launch();
        c->startSketch(SketchPlane::xy());
        ASSERT_EQ(c->mode(), Mode::sketch);
        c->magnet = true;
        c->viewport->setFocus();
    }
    const Sketch& sketch() const { return *c->currentSketch(); }
    QPoint px(V2 p) const {
        const auto s = c->viewport->toScreen(sketch(), p);
        return QPoint(qRound(s->x), qRound(c->viewport->height() - s->y));
    }
    // The plane point under a widget pixel, as the editor sees it.
    V2 at(QPoint q) const {
        return *c->viewport->planePoint(sketch().plane,
                                        {double(q.x()), c->viewport->height() - double(q.y())});
    }
    // Millimetres per view point at a pixel, as the snap tolerances are scaled.
    double scale(QPoint q) const { return (at(q + QPoint(10, 0)) - at(q)).length() / 10; }
    // The pixel nearest to the plane point `d` view points from `p` in the direction `dir`.
    QPoint off(V2 p, V2 dir, double points) const {
        return px(p + dir.normalized() * (points * scale(px(p))));
    }
    void clickPx(QPoint q) {
        QTest::mouseMove(c->viewport, q);
        QTest::mouseClick(c->viewport, Qt::LeftButton, Qt::NoModifier, q);
    }
    void click(V2 p) { clickPx(px(p)); }
    // QTest's double click leaves the button down; a hand lets it go.
    void doubleClickPx(QPoint q) {
        QTest::mouseDClick(c->viewport, Qt::LeftButton, {}, q);
        QTest::mouseRelease(c->viewport, Qt::LeftButton, {}, q);
    }
    void keys(const char* text) { QTest::keyClicks(c->viewport, text); }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(c->viewport, k, mods); }
    // What the pointer catches at a pixel: "" when nothing.
    std::string caught(QPoint q) {
        QTest::mouseMove(c->viewport, q);
        const auto& info = c->editor->hoverInfo;
        return info ? info->kind : "";
    }
    V2 pos(Id point) const { return *sketch().pos(point); }
    double length(const SLine& l) const { return (pos(l.b) - pos(l.a)).length(); }
    std::vector<double> values(const std::string& kind) const {
        std::vector<double> out;
        for (const SConstraint& k : sketch().constraints)
            if (k.kind == kind && k.value) out.push_back(*k.value);
        return out;
    }
    void wheel(QPoint at, int steps) {
        for (int i = 0; i < std::abs(steps); ++i) {
            QWheelEvent e(at, c->viewport->mapToGlobal(at), {}, {0, steps > 0 ? 120 : -120},
                          Qt::NoButton, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(c->viewport, &e);
        }
    }
    // The pixel inside the painted label of constraint `id`.
    QPoint labelPx(Id id) {
        c->viewport->repaint();
        for (const auto& b : c->editor->labelRects)
            if (b.id == id)
                return QPoint(qRound(b.rect.x + b.rect.w / 2),
                              qRound(c->viewport->height() - (b.rect.y + b.rect.h / 2)));
        ADD_FAILURE() << "no label for constraint " << id;
        return {};
    }
};

TEST_F(SnapGui, AnArcAttractsOnlyWithinItsSweep) {
    // Centre (20, 10), radius 15, counter-clockwise from 0° to 90°.
    const V2 o{20, 10};
    c->runSketchTool("arc");
    click(o);
    click(o + V2{15, 0});
    click(o + V2{0, 15});
    ASSERT_EQ(sketch().arcs.size(), 1u) << c->statusText().toStdString();
    const Id arc = sketch().arcs[0].id;
    const double r = (pos(sketch().arcs[0].s) - pos(sketch().arcs[0].c)).length();
    c->runSketchTool("line");
    const double pi = std::acos(-1.0);
    const struct {
        double degrees;
        bool attracts;
    } cases[] = {{45, true}, {25, true}, {65, true}, {-20, false}, {200, false}, {110, false}};
    for (const auto& k : cases) {
        const V2 dir{std::cos(k.degrees * pi / 180), std::sin(k.degrees * pi / 180)};
        // 5 points outside the radius: inside the curve tolerance of 10 points.
        const QPoint q = off(o + dir * r, dir, 5);
        const std::string kind = caught(q);
        EXPECT_EQ(kind == "curve", k.attracts) << k.degrees << "° caught " << kind;
        if (k.attracts) {
            EXPECT_EQ(c->editor->hoverInfo->curveId, arc);
        }
    }
    // A line ending there inside the sweep stays on the arc; outside it, it is free.
    const size_t before = sketch().constraints.size();
    click({-30, -30});
    clickPx(off(o + V2{0.7071, 0.7071} * r, {1, 1}, 5));
    key(Qt::Key_Escape);
    const Id end = sketch().lines.back().b;
    ASSERT_EQ(sketch().constraints.size(), before + 1);
    EXPECT_EQ(sketch().constraints.back().kind, "pointOnCircle");
    EXPECT_EQ(sketch().constraints.back().refs, (std::vector<Id>{end, arc}));
    EXPECT_NEAR((pos(end) - pos(sketch().arcs[0].c)).length(), r, 1e-6);
    click({-30, -40});
    clickPx(off(o + V2{std::cos(200 * pi / 180), std::sin(200 * pi / 180)} * r,
                {std::cos(200 * pi / 180), std::sin(200 * pi / 180)}, 5));
    key(Qt::Key_Escape);
    EXPECT_EQ(sketch().constraints.size(), before + 1);
}

TEST_F(SnapGui, ZoomingOutDoublesTheTolerancesInMillimetres) {
    c->runSketchTool("line");
    click({-40, 10});
    click({40, 10});
    key(Qt::Key_Escape);
    const Id line = sketch().lines[0].id;
    const V2 on{20, 10}, up{0, 1};
    const double s0 = scale(px(on));
    const V2 far = on + up * (14 * s0);  // 14 points away at this zoom
    EXPECT_EQ(caught(px(far)), "");
    EXPECT_EQ(caught(off(on, up, 7)), "curve");

    // Six wheel steps out about that spot: 1/0.88⁶ ≈ 2.15 times the millimetres per point.
    wheel(px(on), -6);
    const double s1 = scale(px(on));
    EXPECT_NEAR(s1 / s0, std::pow(1 / 0.88, 6), 0.02);
    // The same plane point is now 6.5 points from the line, and the line catches it.
    EXPECT_EQ(caught(px(far)), "curve");
    EXPECT_EQ(c->editor->hoverInfo->curveId, line);
    // In points the tolerance is still 10.
    EXPECT_EQ(caught(off(on, up, 9)), "curve");
    EXPECT_EQ(caught(off(on, up, 11)), "");
    // So are the point and midpoint tolerances, 14 and 12 points.
    EXPECT_EQ(caught(off({40, 10}, {1, 1}, 13)), "point");
    EXPECT_EQ(caught(off({0, 10}, {1, -1}, 11)), "mid");
}

TEST_F(SnapGui, TabWrapsBothWaysAndAnExpressionGivesTheSize) {
    c->runSketchTool("rect");
    click({-30, -20});
    QTest::mouseMove(c->viewport, px({-10, -10}));
    const auto active = [&] { return c->editor->editingKey.value_or("none"); };
    const struct {
        Qt::Key key;
        const char* field;
    } steps[] = {{Qt::Key_Tab, "w"},
                 {Qt::Key_Backtab, "h"},
                 {Qt::Key_Backtab, "w"},
                 {Qt::Key_Tab, "h"},
                 {Qt::Key_Tab, "w"}};
    for (const auto& s : steps) {
        key(s.key);
        EXPECT_EQ(active(), s.field);
        // Qt's focus chain never sees the key: the view keeps the keyboard.
        EXPECT_TRUE(c->viewport->hasFocus());
    }
    keys("40/2+1,5");
    EXPECT_EQ(c->editor->typed.at("w"), 21.5);
    key(Qt::Key_Tab);
    keys("10");
    const size_t depth = c->undoStack.size();
    key(Qt::Key_Return);
    EXPECT_EQ(c->undoStack.size(), depth + 1);
    ASSERT_EQ(sketch().lines.size(), 4u);
    EXPECT_NEAR(length(sketch().lines[0]), 21.5, 1e-6);
    EXPECT_NEAR(length(sketch().lines[1]), 10, 1e-6);
    EXPECT_EQ(values("length"), (std::vector<double>{21.5, 10}));
    EXPECT_EQ(pos(sketch().lines[0].a), at(px({-30, -20})));
}

TEST_F(SnapGui, TypedOverallSlotGivesItsSidesAndArcs) {
    c->runSketchTool("slotO");
    click({-25, -15});
    QTest::mouseMove(c->viewport, px({0, -15}));
    keys("30");
    key(Qt::Key_Return);  // the length ends the first stage
    ASSERT_TRUE(c->editor->secondRef);
    EXPECT_NEAR((c->editor->secondRef->pt - c->editor->firstRef->pt).length(), 30, 1e-6);
    QTest::mouseMove(c->viewport, px({0, -10}));
    keys("10");
    const size_t depth = c->undoStack.size();
    key(Qt::Key_Return);
    EXPECT_EQ(c->undoStack.size(), depth + 1);
    ASSERT_EQ(sketch().lines.size(), 3u);  // the sides and the construction axis
    ASSERT_EQ(sketch().arcs.size(), 2u);
    for (const SLine& l : sketch().lines) {
        if (!l.construction) {
            EXPECT_NEAR(length(l), 20, 1e-6);
        }
    }
    for (const SArc& a : sketch().arcs)
        EXPECT_NEAR((pos(a.s) - pos(a.c)).length(), 5, 1e-6);
    EXPECT_EQ(values("length"), (std::vector<double>{20}));
    EXPECT_EQ(values("radius"), (std::vector<double>{5}));
    // 30 mm from end to end along the axis.
    EXPECT_NEAR((pos(sketch().arcs[0].c) - pos(sketch().arcs[1].c)).length() + 10, 30, 1e-6);
}

// A line typed 30 mm long, its dimension changed in the view by a double click on its label.
TEST_F(SnapGui, ADimensionEditedInTheViewIsAppliedWholeOrRefused) {
    c->runSketchTool("line");
    click({0, 0});  // from the fixed origin
    QTest::mouseMove(c->viewport, px({20, 12}));
    keys("30");
    key(Qt::Key_Return);
    key(Qt::Key_Escape);
    ASSERT_EQ(values("length"), (std::vector<double>{30}));
    const Id dim = sketch().constraints.back().id;
    const SLine line = sketch().lines[0];
    c->runSketchTool("select");

    doubleClickPx(labelPx(dim));
    ASSERT_TRUE(c->editor->dimEdit);
    EXPECT_EQ(c->editor->dimEdit->text, "30");
    // The box covers the label, drawn on the overlay: white, with the blue border.
    const QPoint inside = labelPx(dim);
    const QImage shot = c->viewport->grab().toImage();
    const QColor pixel = shot.pixelColor(inside * shot.devicePixelRatio());
    EXPECT_GT(pixel.lightness(), 200);

    // Refused texts: the old value stays, the reason shows, the box waits for a better one.
    const Sketch before = sketch();
    const size_t depth = c->undoStack.size();
    const struct {
        const char* text;
        const char* status;
    } refused[] = {{"abc", "Valeur non reconnue : « abc »."},
                   {"2-2", "La valeur doit être supérieure à 0 : « 2-2 »."},
                   {"1/0", "Valeur non reconnue : « 1/0 »."}};
    for (const auto& r : refused) {
        keys(r.text);  // the text is selected after each refusal: this replaces it
        key(Qt::Key_Return);
        EXPECT_EQ(c->statusText().toStdString(), r.status);
        EXPECT_TRUE(c->editor->dimEdit);
        EXPECT_EQ(sketch(), before);
        EXPECT_EQ(c->undoStack.size(), depth);
    }
    // Letters were text, not tool keys.
    EXPECT_EQ(c->editor->tool(), "select");

    keys("40/2+1,5");
    key(Qt::Key_Return);
    EXPECT_FALSE(c->editor->dimEdit);
    EXPECT_EQ(values("length"), (std::vector<double>{21.5}));
    EXPECT_NEAR(length(*sketch().line(line.id)), 21.5, 1e-6);
    EXPECT_EQ(c->undoStack.size(), depth + 1);
    c->undoAction();
    EXPECT_EQ(sketch(), before);

    // With the far end fixed too, no other length can be met: the edit is refused whole.
    c->runSketchTool("fixed");
    click(pos(line.b));
    ASSERT_TRUE(sketch().points[*sketch().pointIndex(line.b)].fixed);
    c->runSketchTool("select");
    const Sketch pinned = sketch();
    const size_t pinnedDepth = c->undoStack.size();
    doubleClickPx(labelPx(dim));
    ASSERT_TRUE(c->editor->dimEdit);
    keys("50");
    key(Qt::Key_Return);
    EXPECT_NE(c->statusText().indexOf("contredit"), -1) << c->statusText().toStdString();
    EXPECT_EQ(sketch(), pinned);
    EXPECT_EQ(c->undoStack.size(), pinnedDepth);
    // Escape leaves the edit, and the tool with it stays.
    key(Qt::Key_Escape);
    EXPECT_FALSE(c->editor->dimEdit);
    EXPECT_EQ(c->editor->tool(), "select");
    EXPECT_EQ(values("length"), (std::vector<double>{30}));
}

TEST_F(SnapGui, TheMiddlesOfTwoSidesGuideTheCircleToTheRectangleCentre) {
    c->runSketchTool("rect");
    click({-40, -30});
    QTest::mouseMove(c->viewport, px({-10, -10}));
    keys("40");
    key(Qt::Key_Tab);
    keys("20");
    key(Qt::Key_Return);
    ASSERT_EQ(sketch().lines.size(), 4u);
    const V2 lo = pos(sketch().lines[0].a), centre = lo + V2{20, 10};
    c->runSketchTool("circle");
    // A few points off the centre: the middles of the bottom and left sides catch it.
    const QPoint q = off(centre, {1, 1}, 4);
    ASSERT_EQ(caught(q), "align");
    const auto& info = *c->editor->hoverInfo;
    EXPECT_NEAR((info.pos - centre).length(), 0, 1e-9);
    ASSERT_EQ(info.guides.size(), 2u);
    // From the middle of the bottom side up, and from the middle of the first upright across.
    EXPECT_NEAR((info.guides[0].first - (lo + V2{20, 0})).length(), 0, 1e-9);
    EXPECT_NEAR((info.guides[1].first - (lo + V2{40, 10})).length(), 0, 1e-9);
    clickPx(q);
    keys("10");
    key(Qt::Key_Return);
    ASSERT_EQ(sketch().circles.size(), 1u);
    EXPECT_NEAR((pos(sketch().circles[0].c) - centre).length(), 0, 1e-9);
    EXPECT_NEAR(sketch().circles[0].r, 5, 1e-9);
    EXPECT_EQ(values("diameter"), (std::vector<double>{10}));
}

}  // namespace
}  // namespace ivo::testing
