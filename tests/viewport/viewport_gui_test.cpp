// The real Viewport in a window (under a virtual display), driven by synthetic input.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include "support/view_host.h"
#include "viewport/view_cube.h"
#include "viewport/viewport.h"

namespace ivo {
namespace {

using Calls = std::vector<std::string>;

class ViewportGui : public ::testing::Test {
protected:
    void SetUp() override {
        vp = std::make_unique<Viewport>(&host);
        vp->resize(800, 600);
        vp->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(vp.get()));
    }

    QPoint qt(ViewPoint p) const { return {qRound(p.x), qRound(vp->height() - p.y)}; }
    void send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers mods = {}) {
        QMouseEvent e(type, at, vp->mapToGlobal(at), button, buttons, mods);
        QApplication::sendEvent(vp.get(), &e);
    }
    // Press at a, move through the points, release at the last one.
    void drag(QPoint a, std::vector<QPoint> path, Qt::MouseButton button = Qt::LeftButton,
              Qt::KeyboardModifiers mods = {}) {
        send(QEvent::MouseButtonPress, a, button, button, mods);
        for (QPoint p : path)
            send(QEvent::MouseMove, p, Qt::NoButton, button, mods);
        send(QEvent::MouseButtonRelease, path.back(), button, Qt::NoButton, mods);
    }
    void hover(QPoint at) { send(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void wheel(QPoint pixels, QPoint angle, Qt::KeyboardModifiers mods = {}) {
        const QPoint at(400, 300);
        QWheelEvent e(at, vp->mapToGlobal(at), pixels, angle, Qt::NoButton, mods, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(vp.get(), &e);
    }
    void closeMenus() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QMenu")) w->close();
    }

    testing::ViewHost host;
    std::unique_ptr<Viewport> vp;
};

TEST_F(ViewportGui, EachModeRoutesPointerAndKeysAndDragsNavigatePastTheirThresholds) {
    const Qt::MouseButton L = Qt::LeftButton, M = Qt::MiddleButton, R = Qt::RightButton;
    const Qt::KeyboardModifiers S = Qt::ShiftModifier, none;
    const Mode model = Mode::model;
    struct Case {
        const char* name;
        Mode mode;
        Qt::MouseButton button;
        Qt::KeyboardModifiers mods;
        std::vector<QPoint> path;  // from (400, 300)
        V2 orbit;                  // view units turned by
        V2 targetSeen;             // where the target before the drag is seen after it
    };
    // The first movement past 3 points (4 right) moves from the event before. The sketch editor
    // takes left drags unless Alt orbits; an extrusion handle follows from the first movement.
    const Case cases[] = {
        {"left click", model, L, none, {{402, 301}}, {0, 0}, {400, 300}},
        {"left", model, L, none, {{404, 300}, {430, 280}}, {30, 20}, {400, 300}},
        {"shift-left", model, L, S, {{410, 300}, {450, 300}}, {0, 0}, {450, 300}},
        {"middle", model, M, none, {{400, 340}}, {0, 0}, {400, 260}},
        {"shift-middle", model, M, S, {{420, 300}}, {20, 0}, {400, 300}},
        {"right", model, R, none, {{403, 300}, {406, 300}, {416, 300}}, {13, 0}, {400, 300}},
        {"sketch", Mode::sketch, L, none, {{420, 300}, {440, 300}}, {0, 0}, {400, 300}},
        {"sketch alt", Mode::sketch, L, Qt::AltModifier, {{420, 300}}, {20, 0}, {400, 300}},
        {"extrude", Mode::featureEdit, L, none, {{401, 300}, {420, 310}}, {0, 0}, {400, 300}}};
    host.editorTakes = host.extrudeHandle = true;
    for (const Case& c : cases) {
        host.currentMode = c.mode;
        const double yaw = vp->yaw, pitch = vp->pitch, dist = vp->dist;
        const V3 target = vp->target;
        drag({400, 300}, c.path, c.button, c.mods);
        EXPECT_NEAR(vp->yaw, yaw - c.orbit.x * 0.008, 1e-12) << c.name;
        EXPECT_NEAR(vp->pitch, pitch - c.orbit.y * 0.008, 1e-12) << c.name;
        EXPECT_EQ(vp->dist, dist) << c.name;
        EXPECT_NEAR((*vp->project(target) - c.targetSeen).length(), 0, 1e-6) << c.name;
    }
    host.currentMode = Mode::sketch;
    hover({100, 100});
    host.currentMode = Mode::featureEdit;
    host.extrudeHandle = false;
    QTest::mouseClick(vp.get(), L, {}, {200, 100});
    // In the model: Ctrl adds to the selection, a pointer move is offered, keys go to the host
    // first. A short right drag asks for the menu, and so does a left click with the Control
    // key of one-button mice (Meta here).
    host.currentMode = model;
    QTest::mouseClick(vp.get(), L, Qt::ControlModifier, {300, 200});
    hover({120, 130});
    QTest::keyClick(vp.get(), Qt::Key_Escape);
    QTest::keyClick(vp.get(), Qt::Key_A);
    host.offerMenu = true;
    drag({400, 300}, {{403, 300}}, R);
    closeMenus();
    QTest::mouseClick(vp.get(), L, Qt::MetaModifier, {300, 300});
    closeMenus();
    EXPECT_EQ(host.calls, (Calls{"click 402,299", "down 400,300", "drag 420,300", "drag 440,300",
                                 "up", "extrude 401,300", "extrude 420,290", "move 100,500",
                                 "feature 200,500", "click+ 300,400", "hover 120,470", "key Esc",
                                 "key A", "menu 403,300", "menu 300,300"}));
}

TEST_F(ViewportGui, WheelZoomsOneStepPerEvent) {
    const double dist = vp->dist;
    wheel({}, {0, 120});
    EXPECT_NEAR(vp->dist, dist * 0.88, 1e-9);
    wheel({}, {0, 2400});
    EXPECT_NEAR(vp->dist, dist * 0.88 * 0.88, 1e-9);
    wheel({}, {0, -15});
    EXPECT_NEAR(vp->dist, dist * 0.88, 1e-9);
}

}  // namespace
}  // namespace ivo

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
