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

using testing::ViewHost;

// With IVORANE_SHOT_DIR set, frames the tests look at are also saved there for a person to see.
void saveShot(const QImage& image, const char* name) {
    if (const char* dir = std::getenv("IVORANE_SHOT_DIR"))
        image.save(QString::fromUtf8(dir) + "/" + name + ".png");
}

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
        send(QEvent::MouseButtonRelease, path.empty() ? a : path.back(), button, Qt::NoButton,
             mods);
    }
    // A pointer move without buttons (hover), delivered at once.
    void hover(QPoint at) { send(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void wheel(QPoint at, QPoint pixels, QPoint angle, Qt::KeyboardModifiers mods = {}) {
        QWheelEvent e(at, vp->mapToGlobal(at), pixels, angle, Qt::NoButton, mods, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(vp.get(), &e);
    }
    void loadExample(const char* name) {
        ASSERT_TRUE(host.load(std::string(IVORANE_EXAMPLES_DIR) + "/" + name));
        ASSERT_FALSE(host.evaluation.bodies.empty());
        vp->rebuildBodies();
        vp->fit();
    }

    ViewHost host;
    std::unique_ptr<Viewport> vp;
};

TEST_F(ViewportGui, ClickOnAnOriginPlaneChoosesIt) {
    host.currentMode = Mode::choosePlane;
    vp->showPlanes(true);
    struct Case {
        V3 inside;
        SketchPlane plane;
        const char* node;
    };
    for (const Case& c : {Case{{20, 50, 0}, SketchPlane::xy(), "plane:XY"},
                          Case{{50, 0.05, 20}, SketchPlane::xz(), "plane:XZ"},
                          Case{{0, 20, 50}, SketchPlane::yz(), "plane:YZ"}}) {
        const auto at = vp->project(c.inside);
        ASSERT_TRUE(at);
        hover(qt(*at));
        EXPECT_EQ(vp->hoverPlane(), c.node);
        EXPECT_EQ(host.status, "Cliquez pour esquisser sur : " + planeLabel(c.node));
        host.chosen.clear();
        QTest::mouseClick(vp.get(), Qt::LeftButton, {}, qt(*at));
        ASSERT_EQ(host.chosen.size(), 1u) << c.node;
        EXPECT_EQ(host.chosen[0], c.plane);
        if (c.node == std::string("plane:XZ")) saveShot(vp->grabFramebuffer(), "viewport-planes");
    }
    // Off the planes: nothing hovered, nothing chosen.
    host.chosen.clear();
    hover({5, 590});
    EXPECT_EQ(vp->hoverPlane(), "");
    EXPECT_EQ(host.status,
              "Choisissez un plan (ou double-cliquez une face plane d'un corps à tout moment).");
    QTest::mouseClick(vp.get(), Qt::LeftButton, {}, {5, 590});
    EXPECT_TRUE(host.chosen.empty());
    // Hiding the planes clears the hover and they can no longer be picked.
    const auto xy = vp->project({20, 50, 0});
    hover(qt(*xy));
    vp->showPlanes(false);
    EXPECT_EQ(vp->hoverPlane(), "");
    EXPECT_FALSE(vp->pickPlane(*xy));
}

TEST_F(ViewportGui, LeftDragOrbitsPastThreePointsAndOtherwiseClicks) {
    const double yaw = vp->yaw, pitch = vp->pitch;
    drag({400, 300}, {{402, 301}});  // under 3 points: a click
    EXPECT_EQ(vp->yaw, yaw);
    ASSERT_EQ(host.modelClicks.size(), 1u);
    EXPECT_FALSE(host.modelClicks[0].first);
    EXPECT_EQ(host.modelClicks[0].second, V2(402, 299));

    drag({400, 300}, {{404, 300}, {430, 280}});
    // The first movement past 3 points starts the orbit from the previous event.
    EXPECT_NEAR(vp->yaw, yaw - 30 * 0.008, 1e-12);
    EXPECT_NEAR(vp->pitch, pitch - 20 * 0.008, 1e-12);
    EXPECT_EQ(host.modelClicks.size(), 1u);  // the release of a drag is no click

    QTest::mouseClick(vp.get(), Qt::LeftButton, Qt::ControlModifier, {300, 200});
    ASSERT_EQ(host.modelClicks.size(), 2u);
    EXPECT_TRUE(host.modelClicks[1].first);  // Ctrl adds to the selection
}

TEST_F(ViewportGui, ShiftDragPansAndMiddleDragNavigates) {
    const V3 target = vp->target;
    const double yaw = vp->yaw, dist = vp->dist;
    drag({400, 300}, {{410, 300}, {450, 300}}, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(vp->yaw, yaw);
    EXPECT_EQ(vp->dist, dist);
    // The old target follows the pointer: 50 points to the right.
    const auto moved = vp->project(target);
    ASSERT_TRUE(moved);
    EXPECT_NEAR(moved->x, 450, 1e-6);

    const V3 t2 = vp->target;
    drag({400, 300}, {{400, 340}}, Qt::MiddleButton);
    EXPECT_NEAR(vp->project(t2)->y, 300 - 40, 1e-6);
    EXPECT_EQ(vp->yaw, yaw);
    drag({400, 300}, {{420, 300}}, Qt::MiddleButton, Qt::ShiftModifier);
    EXPECT_NEAR(vp->yaw, yaw - 20 * 0.008, 1e-12);
}

TEST_F(ViewportGui, WheelZoomsOneStepPerEventAndTrackpadPans) {
    const double dist = vp->dist;
    wheel({400, 300}, {}, {0, 120});
    EXPECT_NEAR(vp->dist, dist * 0.88, 1e-9);
    wheel({400, 300}, {}, {0, 2400});
    EXPECT_NEAR(vp->dist, dist * 0.88 * 0.88, 1e-9);
    wheel({400, 300}, {}, {0, -15});
    EXPECT_NEAR(vp->dist, dist * 0.88, 1e-9);

    const double d2 = vp->dist, yaw = vp->yaw, pitch = vp->pitch;
    const V3 target = vp->target;
    wheel({400, 300}, {12, 5}, {24, 10});
    EXPECT_EQ(vp->dist, d2);
    EXPECT_NE(vp->target, target);
    const auto moved = vp->project(target);
    EXPECT_NEAR(moved->x, 412, 1e-6);
    EXPECT_NEAR(moved->y, 295, 1e-6);

    wheel({400, 300}, {10, 5}, {20, 10}, Qt::ShiftModifier);
    EXPECT_NEAR(vp->yaw, yaw - 0.08, 1e-12);
    EXPECT_NEAR(vp->pitch, pitch + 0.04, 1e-12);
}

TEST_F(ViewportGui, ViewCubeClicksTurnTheCamera) {
    const ViewRect cube = cubeRect(vp->width(), vp->height());
    // From the initial view the top face shows in the cube's upper half.
    QTest::mouseClick(vp.get(), Qt::LeftButton, {}, qt({cube.center().x, cube.center().y + 25}));
    EXPECT_EQ(vp->pitch, Camera::topPitch);
    EXPECT_TRUE(host.modelClicks.empty());

    const ViewRect home = homeRect(cube);
    QTest::mouseClick(vp.get(), Qt::LeftButton, {}, qt(home.center()));
    EXPECT_EQ(vp->pitch, 0.6);

    // A drag that starts on the cube does not orbit, and a miss inside it is swallowed.
    const double yaw = vp->yaw;
    drag(qt({cube.maxX() - 2, cube.y + 2}), {qt({cube.maxX() - 60, cube.y + 2})});
    EXPECT_EQ(vp->yaw, yaw);
    EXPECT_TRUE(host.modelClicks.empty());
}

TEST_F(ViewportGui, RightButtonOrbitsOrAsksForAMenu) {
    host.offerMenu = true;
    drag({400, 300}, {{403, 300}}, Qt::RightButton);
    ASSERT_EQ(host.menuRequests.size(), 1u);
    EXPECT_EQ(host.menuRequests[0], V2(403, 300));
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QMenu")) w->close();

    const double yaw = vp->yaw;
    drag({400, 300}, {{403, 300}, {406, 300}, {416, 300}}, Qt::RightButton);
    EXPECT_EQ(host.menuRequests.size(), 1u);
    // Orbiting begins past 4 points, from the previous event's position (403 → 406 → 416).
    EXPECT_NEAR(vp->yaw, yaw - 13 * 0.008, 1e-12);

    // The Control key of one-button mice (Meta here) asks for the menu on a left press.
    QTest::mouseClick(vp.get(), Qt::LeftButton, Qt::MetaModifier, {300, 300});
    EXPECT_EQ(host.menuRequests.size(), 2u);
    EXPECT_TRUE(host.modelClicks.empty());
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QMenu")) w->close();
}

TEST_F(ViewportGui, SketchModeGivesTheGestureToTheEditor) {
    host.currentMode = Mode::sketch;
    host.editorTakes = true;
    const double yaw = vp->yaw;
    drag({400, 300}, {{420, 300}, {440, 300}});
    EXPECT_EQ(vp->yaw, yaw);
    EXPECT_EQ(host.editorCalls, (std::vector<std::string>{"down", "drag", "drag", "up"}));

    host.editorCalls.clear();
    drag({400, 300}, {{420, 300}}, Qt::LeftButton, Qt::AltModifier);  // Alt orbits regardless
    EXPECT_NE(vp->yaw, yaw);
    EXPECT_TRUE(host.editorCalls.empty());

    hover({100, 100});
    EXPECT_EQ(host.editorCalls, std::vector<std::string>{"move"});
}

TEST_F(ViewportGui, FeatureEditRoutesHandleDragsAndClicksToTheHost) {
    host.currentMode = Mode::featureEdit;
    host.extrudeHandle = true;
    const double yaw = vp->yaw;
    drag({400, 300}, {{401, 300}, {420, 310}});
    EXPECT_EQ(vp->yaw, yaw);
    ASSERT_EQ(host.extrudeDrags.size(), 2u);  // the handle follows from the first movement
    EXPECT_EQ(host.extrudeDrags[1], V2(420, 290));
    EXPECT_TRUE(host.featureClicks.empty());

    host.extrudeHandle = false;
    QTest::mouseClick(vp.get(), Qt::LeftButton, {}, {200, 100});
    ASSERT_EQ(host.featureClicks.size(), 1u);
    EXPECT_EQ(host.featureClicks[0], V2(200, 500));
}

TEST_F(ViewportGui, KeysGoToTheHostFirst) {
    QTest::keyClick(vp.get(), Qt::Key_Escape);
    QTest::keyClick(vp.get(), Qt::Key_A);
    EXPECT_EQ(host.keys, (std::vector<int>{Qt::Key_Escape, Qt::Key_A}));
}

TEST_F(ViewportGui, DoubleClickOnABodyFaceStartsASketchThere) {
    ASSERT_NO_FATAL_FAILURE(loadExample("plaque_percee.q3d"));
    vp->setView("front");  // the plate lies in XY, extruded towards +Z: its top faces us
    const auto& [id, tris] = *vp->bodyTris.begin();
    const Tri* facing = nullptr;
    for (const Tri& t : tris)
        if (t.n.z > 0.999 && (!facing || t.a.z > facing->a.z)) facing = &t;
    ASSERT_TRUE(facing);
    const V3 centroid = (facing->a + facing->b + facing->c) / 3;
    const QPoint at = qt(*vp->project(centroid));
    // The events of a double click as the window system delivers them.
    send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(host.modelClicks.size(), 1u);  // the first click selects
    ASSERT_EQ(host.started.size(), 1u);
    EXPECT_EQ(host.started[0].name, "Face");
    EXPECT_EQ(host.started[0].n, V3(0, 0, 1));
    EXPECT_NEAR(host.started[0].o.z, centroid.z, 1e-9);
    (void)id;
}

TEST_F(ViewportGui, HoveredBodyFaceIsAnnouncedAndFilled) {
    ASSERT_NO_FATAL_FAILURE(loadExample("plaque_percee.q3d"));
    host.currentMode = Mode::choosePlane;
    vp->showPlanes(true);
    vp->setView("front");
    const auto& tris = vp->bodyTris.begin()->second;
    std::vector<const Tri*> top;
    double zTop = -1e9;
    for (const Tri& t : tris)
        if (t.n.z > 0.999) zTop = std::max(zTop, t.a.z);
    for (const Tri& t : tris)
        if (t.n.z > 0.999 && std::abs(t.a.z - zTop) < 1e-9) top.push_back(&t);
    ASSERT_GE(top.size(), 2u);
    const QPoint first = qt(*vp->project((top[0]->a + top[0]->b + top[0]->c) / 3));
    hover(first);
    ASSERT_TRUE(vp->hoverFace());
    EXPECT_EQ(vp->hoverFace()->n, V3(0, 0, 1));
    EXPECT_NEAR(vp->hoverFace()->w, zTop, 1e-9);
    EXPECT_EQ(vp->hoverPlane(), "");
    EXPECT_EQ(host.status, "Cliquez pour esquisser sur cette face");

    // Every facet of the face is filled in orange, not only the one under the pointer.
    const QImage image = vp->grabFramebuffer();
    saveShot(image, "viewport-face-hover");
    const double ratio = image.width() / double(vp->width());
    for (const Tri* t : {top.front(), top.back()}) {
        const V2 c = *vp->project((t->a + t->b + t->c) / 3);
        const QColor px =
            image.pixelColor(qRound(c.x * ratio), qRound((vp->height() - c.y) * ratio));
        EXPECT_GT(px.red() - px.blue(), 40) << px.name().toStdString();
    }
    // Leaving the body clears the face.
    hover({5, 590});
    EXPECT_FALSE(vp->hoverFace());
}

TEST_F(ViewportGui, FrameShowsTheBodyWithItsCreases) {
    ASSERT_NO_FATAL_FAILURE(loadExample("plaque_percee.q3d"));
    const QImage shown = vp->grabFramebuffer();
    saveShot(shown, "viewport-body");
    const Id id = host.evaluation.bodies[0].id;
    host.document.hidden = {id};
    vp->rebuildBodies();
    const QImage empty = vp->grabFramebuffer();
    ASSERT_EQ(shown.size(), empty.size());
    EXPECT_EQ(vp->bodyTris.count(id), 1u);  // hidden, yet still known to picking

    // Inside the body's image: many pixels differ from the empty scene, and dark crease
    // lines are among them.
    const double ratio = shown.width() / double(vp->width());
    int differing = 0, dark = 0;
    for (int y = 0; y < shown.height(); y += 2)
        for (int x = 0; x < shown.width(); x += 2) {
            const QColor a = shown.pixelColor(x, y), b = empty.pixelColor(x, y);
            if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                    std::abs(a.blue() - b.blue()) >
                30)
                ++differing;
            if (a.lightnessF() < 0.35 && b.lightnessF() > 0.5) ++dark;
        }
    EXPECT_GT(differing, 0.05 * shown.width() * shown.height() / 4);
    EXPECT_GT(dark, 20);
    // Where a front face of the body projects, the frame differs from the empty scene.
    host.document.hidden.clear();
    vp->rebuildBodies();
    const QImage again = vp->grabFramebuffer();
    const Camera cam = vp->camera();
    int checked = 0;
    for (const Tri& t : vp->bodyTris.at(id)) {
        if (t.n.dot(cam.position() - t.a) <= 0 || checked >= 5) continue;
        const auto p = cam.project((t.a + t.b + t.c) / 3);
        if (!p) continue;
        const QPoint px(qRound(p->x * ratio), qRound((vp->height() - p->y) * ratio));
        const QColor a = again.pixelColor(px), b = empty.pixelColor(px);
        EXPECT_NE(a, b) << px.x() << "," << px.y();
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST_F(ViewportGui, HoverInModelModeGoesToTheHost) {
    hover({120, 130});
    ASSERT_FALSE(host.hovers.empty());
    EXPECT_EQ(host.hovers.back(), V2(120, 600 - 130));
}

}  // namespace
}  // namespace ivo

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
