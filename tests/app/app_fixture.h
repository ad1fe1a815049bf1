// Starts and quits the real application in a test: the delegate, the controller and its
// window, with scripted dialogs, in the private home that gui_test_main.cpp set up.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include "app/app_delegate.h"
#include "app/qt_conv.h"
#include "app/scripted_dialogs.h"
#include "document/doc_json.h"
#include "document/features.h"
#include "geometry/csg.h"
#include "support/sketch_builder.h"
#include "support/temp_dir.h"
#include "viewport/scene.h"
#include "viewport/viewport.h"

namespace ivo::testing {

// A sketch named `name` on `plane` holding one polygon through `corners`, given in space.
inline Feature polygonSketch(Doc& doc, const std::string& name, const SketchPlane& plane,
                             std::initializer_list<V3> corners) {
    Feature f(doc.newId(), fk::sketch, name);
    f.sketch = Sketch(plane);
    Loop loop;
    for (V3 q : corners)
        loop.push_back(plane.to2D(q));
    if (polyArea(loop) < 0) loop = Loop(loop.rbegin(), loop.rend());
    addPolygon(*f.sketch, loop);
    return f;
}

// A 20 mm box primitive (x and z −10…10, y 0…20), its sketch hidden, with a visible square
// sketched on its top face, x and z −8…−2.
inline Doc boxWithTopSketch() {
    Doc doc;
    Primitive p = makePrimitive(doc, "box", false);
    p.sketch.sketch->visible = false;
    doc.features.push_back(std::move(p.sketch));
    doc.features.push_back(std::move(p.solid));
    doc.features.push_back(polygonSketch(doc, "Esquisse1 (face)",
                                         SketchPlane::face({0, 1, 0}, {0, 20, 0}),
                                         {{-8, 20, -8}, {-2, 20, -8}, {-2, 20, -2}, {-8, 20, -2}}));
    doc.marker = 3;
    return doc;
}

// The volume of the bodies the window shows.
inline double shownVolume(const MainController& c) {
    double v = 0;
    for (const Body& b : c.result().bodies)
        if (!isHidden(c.doc().hidden, b.id)) v += signedVolume(*b.solid);
    return v;
}

// A left-button mouse event sent straight to `w` (QTest's own drags do not move in steps).
inline void sendMouse(QWidget* w, QEvent::Type type, QPoint q, Qt::MouseButtons buttons) {
    QMouseEvent e(type, q, w->mapToGlobal(q), Qt::LeftButton, buttons, {});
    QApplication::sendEvent(w, &e);
}
// A left-button drag from `from` to `to` in `steps` moves.
inline void dragMouse(QWidget* w, QPoint from, QPoint to, int steps = 6) {
    sendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int i = 1; i <= steps; ++i)
        sendMouse(w, QEvent::MouseMove, from + (to - from) * i / steps, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

// Runs the window's rebuilds and the deletions it left to the event loop.
inline void settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

// Where the view shows `q`, in widget points.
inline QPoint seenAt(const MainController& c, V3 q) {
    const std::optional<ViewPoint> s = c.viewport->project(q);
    EXPECT_TRUE(s);
    return s ? QPoint(qRound(s->x), qRound(c.viewport->height() - s->y)) : QPoint();
}
// Where the view shows the point `p` of the open sketch, in widget points.
inline QPoint seenAt(const MainController& c, V2 p) {
    const std::optional<ViewPoint> s = c.viewport->toScreen(*c.currentSketch(), p);
    EXPECT_TRUE(s);
    return s ? QPoint(qRound(s->x), qRound(c.viewport->height() - s->y)) : QPoint();
}
inline void clickView(const MainController& c, QPoint q, Qt::KeyboardModifiers mods = {},
                      Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseMove(c.viewport, q);
    QTest::mouseClick(c.viewport, button, mods, q);
}

// The entry `text` of `menu`, if there is such.
inline QAction* itemOf(QMenu* menu, const QString& text) {
    if (menu)
        for (QAction* a : menu->actions())
            if (a->text() == text && !a->isSeparator()) return a;
    return nullptr;
}
// The menu `title` of the window's menu bar and its item `text`, if there are such.
inline QMenu* menuOf(const MainController& c, const QString& title) {
    for (QAction* m : c.window->menuBar()->actions())
        if (m->text() == title && m->menu()) return m->menu();
    return nullptr;
}
inline QAction* menuItem(const MainController& c, const QString& title, const QString& text) {
    return itemOf(menuOf(c, title), text);
}

inline QMenu* contextMenuOf(QWidget* w) {
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(8, 8), w->mapToGlobal(QPoint(8, 8)));
    QApplication::sendEvent(w, &e);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}
inline QStringList texts(QMenu* menu) {
    QStringList t;
    for (QAction* a : menu->actions())
        t << (a->isSeparator() ? "—" : a->text());
    return t;
}
// Chooses the entry with the mouse; the failure lists what the menu offered.
inline ::testing::AssertionResult chooseIn(QMenu* menu, const QString& text) {
    if (!menu) return ::testing::AssertionFailure() << "no menu";
    if (QAction* a = itemOf(menu, text)) {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
        settle();
        return ::testing::AssertionSuccess();
    }
    const QStringList offered = texts(menu);
    menu->close();
    return ::testing::AssertionFailure() << offered.join(" | ").toStdString();
}

class AppFixture : public ::testing::Test {
public:
    void SetUp() override {
        QSettings().clear();
        std::filesystem::remove_all(dataDir());
    }
    void TearDown() override { quit(false); }

    // Launches as the system does: restores the session, then opens `files`.
    MainController& launch(const std::vector<std::string>& files = {}) {
        delegate = std::make_unique<AppDelegate>();
        delegate->startUpdater = false;  // no automatic request to the real update site
        for (const std::string& f : files)
            delegate->openFile(toQt(f));
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        delegate->applicationDidFinishLaunching(std::move(d));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(delegate->ctl->window.get()));
        return *delegate->ctl;
    }
    MainController& launchWith(const Doc& doc, const std::string& name = "m.q3d") {
        return launch({tmp.write(name, encodeDoc(doc, true))});
    }
    // Quits as the user does (closing the window writes the session), or as a killed process.
    void quit(bool closeWindow = true) {
        if (closeWindow) delegate->ctl->window->close();
        delegate.reset();
        QApplication::processEvents();
    }

    static std::string dataDir() {
        return fromQt(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
               "/Ivorane3D";
    }
    static std::string sessionFile() { return dataDir() + "/session.json"; }
    // The copies of the unreadable data file `name` that a start moved aside.
    static QStringList setAside(const QString& name) {
        return QDir(toQt(dataDir())).entryList({name + ".illisible-*"}, QDir::Files | QDir::System);
    }
    static void writeSession(const std::string& text) {
        std::filesystem::create_directories(dataDir());
        std::ofstream(sessionFile(), std::ios::binary) << text;
    }
    // A copy of a sample model, so that saving never touches the repository.
    std::string example(const std::string& name) {
        return tmp.write(name, readAll(std::string(IVORANE_EXAMPLES_DIR) + "/" + name));
    }

    TempDir tmp;
    std::unique_ptr<AppDelegate> delegate;
    ScriptedDialogs* dialogs = nullptr;
};

}  // namespace ivo::testing
