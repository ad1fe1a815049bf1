// The real Viewport in a window (under a virtual display), driven by synthetic input.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QWheelEvent>

#include "support/view_host.h"
#include "viewport/renderer.h"
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
    QPoint seen(V3 q) const { return qt(*vp->project(q)); }
    QPoint centreOf(const Tri& t) const { return seen((t.a + t.b + t.c) / 3); }
    // The colour drawn at a widget point, in the frame's own device pixels.
    QColor pixel(QPoint at, const QImage& frame) const {
        return frame.pixelColor(at * (frame.width() / double(vp->width())));
    }
    QColor pixel(QPoint at) const { return pixel(at, vp->grabFramebuffer()); }
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
    // Loads the sample plate (lying in XY, extruded towards +Z) and gives the facets of its top.
    std::vector<const Tri*> loadPlateTop() {
        EXPECT_TRUE(host.load(std::string(IVORANE_EXAMPLES_DIR) + "/plaque_percee.q3d"));
        vp->rebuildBodies();
        vp->fit();
        std::vector<const Tri*> top;
        if (vp->bodyTris.empty()) return top;
        for (const Tri& t : vp->bodyTris.begin()->second)
            if (t.n.z > 0.999 && (top.empty() || t.a.z > top[0]->a.z - 1e-9)) {
                if (!top.empty() && t.a.z > top[0]->a.z + 1e-9) top.clear();
                top.push_back(&t);
            }
        return top;
    }
    void closeMenus() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QMenu")) w->close();
    }

    testing::ViewHost host;
    std::unique_ptr<Viewport> vp;
};

// Which square each plane covers is tabled in view_maths_test.cpp (Picking).
TEST_F(ViewportGui, ClickOnAnOriginPlaneChoosesIt) {
    host.currentMode = Mode::choosePlane;
    vp->showPlanes(true);
    hover(seen({50, 0.05, 20}));
    EXPECT_EQ(vp->hoverPlane(), "plane:XZ");
    EXPECT_EQ(host.status, "Cliquez pour esquisser sur : Plan XZ (dessus)");
    QTest::mouseClick(vp.get(), Qt::LeftButton, {}, seen({50, 0.05, 20}));
    EXPECT_EQ(host.chosen, std::vector{SketchPlane::xz()});
    // Off the planes: nothing hovered, nothing chosen.
    hover({5, 590});
    EXPECT_EQ(vp->hoverPlane(), "");
    QTest::mouseClick(vp.get(), Qt::LeftButton, {}, {5, 590});
    EXPECT_EQ(host.chosen.size(), 1u);
    // Hiding the planes clears the hover and they can no longer be picked.
    hover(seen({20, 50, 0}));
    EXPECT_EQ(vp->hoverPlane(), "plane:XY");
    vp->showPlanes(false);
    EXPECT_EQ(vp->hoverPlane(), "");
    EXPECT_FALSE(vp->pickPlane(*vp->project({20, 50, 0})));
}

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

TEST_F(ViewportGui, WheelZoomsOneStepPerEventAndTrackpadPans) {
    const double dist = vp->dist;
    wheel({}, {0, 120});
    EXPECT_NEAR(vp->dist, dist * 0.88, 1e-9);
    wheel({}, {0, 2400});
    EXPECT_NEAR(vp->dist, dist * 0.88 * 0.88, 1e-9);
    wheel({}, {0, -15});
    EXPECT_NEAR(vp->dist, dist * 0.88, 1e-9);

    const double d2 = vp->dist, yaw = vp->yaw, pitch = vp->pitch;
    const V3 target = vp->target;
    wheel({12, 5}, {24, 10});
    EXPECT_EQ(vp->dist, d2);
    EXPECT_NEAR((*vp->project(target) - V2(412, 295)).length(), 0, 1e-6);
    wheel({10, 5}, {20, 10}, Qt::ShiftModifier);
    EXPECT_NEAR(vp->yaw, yaw - 0.08, 1e-12);
    EXPECT_NEAR(vp->pitch, pitch + 0.04, 1e-12);
}

TEST_F(ViewportGui, ViewCubeClicksTurnTheCamera) {
    const ViewRect cube = cubeRect(vp->width(), vp->height());
    // From the initial view the top face shows in the cube's upper half.
    QTest::mouseClick(vp.get(), Qt::LeftButton, {}, qt({cube.center().x, cube.center().y + 25}));
    EXPECT_EQ(vp->pitch, Camera::topPitch);
    QTest::mouseClick(vp.get(), Qt::LeftButton, {}, qt(homeRect(cube).center()));
    EXPECT_EQ(vp->pitch, 0.6);
    // A drag that starts on the cube does not orbit, and a miss inside it is swallowed.
    const double yaw = vp->yaw;
    drag(qt({cube.maxX() - 2, cube.y + 2}), {qt({cube.maxX() - 60, cube.y + 2})});
    EXPECT_EQ(vp->yaw, yaw);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ViewportGui, BodyFaceIsFilledWhenHoveredAndADoubleClickSketchesOnIt) {
    const std::vector<const Tri*> top = loadPlateTop();
    ASSERT_GE(top.size(), 2u);
    vp->setView("front");  // the top faces us
    const double zTop = top[0]->a.z;
    const V3 centroid = (top[0]->a + top[0]->b + top[0]->c) / 3;
    host.currentMode = Mode::choosePlane;
    vp->showPlanes(true);
    hover(seen(centroid));
    ASSERT_TRUE(vp->hoverFace());
    EXPECT_EQ(vp->hoverFace()->n, V3(0, 0, 1));
    EXPECT_NEAR(vp->hoverFace()->w, zTop, 1e-9);
    EXPECT_EQ(vp->hoverPlane(), "");
    EXPECT_EQ(host.status, "Cliquez pour esquisser sur cette face");
    // Every facet of the face is tinted orange, not only the one under the pointer, and by
    // the 3-D pass: the overlay leaves those pixels untouched.
    const QImage image = vp->grabFramebuffer();
    QImage overlay(vp->size(), QImage::Format_ARGB32_Premultiplied);
    overlay.fill(Qt::transparent);
    {
        QPainter painter(&overlay);
        vp->paintOverlay(painter);
    }
    for (const Tri* t : {top.front(), top.back()}) {
        const QPoint at = centreOf(*t);
        const QColor px = pixel(at, image);
        EXPECT_GT(px.red() - px.blue(), 40) << px.name().toStdString();
        EXPECT_EQ(qAlpha(overlay.pixel(at)), 0);
    }
    hover({5, 590});  // leaving the body clears the face
    EXPECT_FALSE(vp->hoverFace());
    const QColor plain = pixel(seen(centroid));
    EXPECT_LT(plain.red() - plain.blue(), 10) << plain.name().toStdString();

    // In the model, the events of a double click as the window system delivers them.
    host.currentMode = Mode::model;
    const QPoint at = seen(centroid);
    send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(host.calls.size(), 1u);  // the first click selects
    ASSERT_EQ(host.started.size(), 1u);
    EXPECT_EQ(host.started[0].name, "Face");
    EXPECT_EQ(host.started[0].n, V3(0, 0, 1));
    EXPECT_NEAR(host.started[0].o.z, zTop, 1e-9);
}

// Triangle layers lie over each other in order; face highlights tint every facet of their
// face, past the shader's limit too, and the hover of plane choice lies over them.
TEST_F(ViewportGui, HighlightsTintTheirTrianglesAndFacesInOrder) {
    const std::vector<const Tri*> top = loadPlateTop();
    ASSERT_GE(top.size(), 2u);
    vp->setView("front");
    const QPoint at = centreOf(*top.front()), last = centreOf(*top.back()), off(5, 5);
    const auto pixels = [&] {
        const QImage image = vp->grabFramebuffer();
        return std::vector<QColor>{pixel(at, image), pixel(last, image), pixel(off, image)};
    };
    const std::vector<QColor> plain = pixels();
    std::vector<Tri> face;
    for (const Tri* t : top)
        face.push_back(*t);
    const Rgba green{0.1, 0.8, 0.2, 1}, red{0.9, 0.1, 0.1, 0.8}, clear{0, 0, 0, 0};
    const auto greenish = [](QColor c) { return c.green() - c.red() > 60; };
    struct Case {
        std::vector<HighlightLayer> layers;
        const char* expect;  // the channel that must dominate, or "" for the plain body
    };
    const Case cases[] = {
        {{{face, green}}, "green"},
        {{{face, green}, {face, red}}, "red"},    // the later layer lies over the earlier one
        {{{face, red}, {{}, green}}, "red"},      // an empty layer draws nothing
        {{{{*top[0]}, {0.1, 0.8, 0.2, 0}}}, ""},  // fully transparent
        {{}, ""},
    };
    for (const Case& c : cases) {
        vp->setHighlights(c.layers);
        EXPECT_EQ(vp->highlights().size(), c.layers.size());
        const QColor px = pixels()[0];
        const std::string expect = c.expect;
        if (expect == "green") {
            EXPECT_TRUE(greenish(px)) << px.name().toStdString();
        } else if (expect == "red") {
            EXPECT_GT(px.red() - px.green(), 40) << px.name().toStdString();
        } else {
            EXPECT_EQ(px, plain[0]) << px.name().toStdString();
        }
    }

    const FaceRef ref{vp->bodyTris.begin()->first, top[0]->n, top[0]->n.dot(top[0]->a)};
    vp->setFaceHighlights({{ref, green}});
    EXPECT_EQ(vp->faceHighlights().size(), 1u);
    std::vector<QColor> px = pixels();
    EXPECT_TRUE(greenish(px[0]) && greenish(px[1])) << px[0].name().toStdString();
    EXPECT_EQ(px[2], plain[2]);  // off the face
    // A later transparent highlight leaves it; one past the shader's limit is still drawn.
    std::vector<FaceHighlight> many(Renderer::maxFaceTints + 1, FaceHighlight{ref, clear});
    many.front().color = green;
    vp->setFaceHighlights(many);
    px = pixels();
    EXPECT_TRUE(greenish(px[0]) && greenish(px[1])) << px[0].name().toStdString();
    // The hover of plane choice: orange mixed into the green.
    vp->setFaceHighlights({{ref, green}});
    const QColor greenOnly = pixels()[1];
    host.currentMode = Mode::choosePlane;
    vp->showPlanes(true);
    hover(at);
    ASSERT_TRUE(vp->hoverFace());
    px = pixels();
    EXPECT_GT(px[1].red() - greenOnly.red(), 60) << px[1].name().toStdString();
    vp->showPlanes(false);
    vp->setFaceHighlights({});
    EXPECT_EQ(pixels(), plain);

    // Seen from behind, the body hides a layer on its far side.
    vp->setHighlights({{face, green}});
    vp->setDirection({0, 0, -1});
    const QColor behind = pixel(at);
    EXPECT_LT(behind.green() - behind.red(), 20) << behind.name().toStdString();
}

// Both ways of drawing the image (multisampled for graphics cards, plain with smoothed lines for
// software renderers) give the same scene: background, body and hovered face.
TEST(ViewportImage, MultisampledAndPlainImagesShowTheSameScene) {
    std::vector<QImage> images;
    for (const char* multisample : {"0", "1"}) {
        qputenv("IVORANE_MULTISAMPLE", multisample);
        testing::ViewHost host;
        ASSERT_TRUE(host.load(std::string(IVORANE_EXAMPLES_DIR) + "/plaque_percee.q3d"));
        Viewport vp(&host);
        vp.resize(400, 300);
        vp.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&vp));
        vp.rebuildBodies();
        vp.setView("front");
        vp.fit();
        host.currentMode = Mode::choosePlane;
        vp.showPlanes(true);
        vp.updateHover({150, 175});  // on the plate, off the grid line through its middle
        ASSERT_TRUE(vp.hoverFace()) << multisample;
        images.push_back(vp.grabFramebuffer());
    }
    qunsetenv("IVORANE_MULTISAMPLE");
    ASSERT_EQ(images[0].size(), images[1].size());
    // Away from edges the two agree to a few levels; a corner of the view, the background,
    // is lighter at the top than at the bottom.
    const QImage& a = images[0];
    const double ratio = a.width() / 400.0;
    for (const QPointF at : {QPointF(150, 125), QPointF(5, 5), QPointF(5, 295)}) {
        const QColor p = a.pixelColor((at * ratio).toPoint()),
                     q = images[1].pixelColor((at * ratio).toPoint());
        EXPECT_LE(std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                      std::abs(p.blue() - q.blue()),
                  6)
            << at.x() << "," << at.y() << " " << p.name().toStdString() << " "
            << q.name().toStdString();
    }
    const QColor face = a.pixelColor((QPointF(150, 125) * ratio).toPoint());
    EXPECT_GT(face.red() - face.blue(), 40) << face.name().toStdString();
    EXPECT_GT(a.pixelColor((QPointF(5, 5) * ratio).toPoint()).lightness(),
              a.pixelColor((QPointF(5, 295) * ratio).toPoint()).lightness());
}

TEST_F(ViewportGui, FrameShowsTheBodyWithItsCreases) {
    ASSERT_FALSE(loadPlateTop().empty());
    const QImage shown = vp->grabFramebuffer();
    const Id id = host.evaluation.bodies[0].id;
    host.document.hidden = {id};
    vp->rebuildBodies();
    const QImage empty = vp->grabFramebuffer();
    ASSERT_EQ(shown.size(), empty.size());
    EXPECT_EQ(vp->bodyTris.count(id), 1u);  // hidden, yet still known to picking

    // Many pixels differ from the empty scene, and dark crease lines are among them.
    int differing = 0, dark = 0;
    for (int y = 0; y < shown.height(); y += 2)
        for (int x = 0; x < shown.width(); x += 2) {
            const QColor a = shown.pixelColor(x, y), b = empty.pixelColor(x, y);
            differing += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                             std::abs(a.blue() - b.blue()) >
                         30;
            dark += a.lightnessF() < 0.35 && b.lightnessF() > 0.5;
        }
    EXPECT_GT(differing, 0.05 * shown.width() * shown.height() / 4);
    EXPECT_GT(dark, 20);
}

}  // namespace
}  // namespace ivo

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
