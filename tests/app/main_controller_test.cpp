// The window's modes, keys, history and tab bar, driven through the real controller.
#include "app/main_controller.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

#include "app/app_fixture.h"
#include "document/doc_json.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

using MainControllerTest = AppFixture;

bool sendKey(MainController& c, int key, Qt::KeyboardModifiers mods = {}, QString text = {}) {
    QKeyEvent e(QEvent::KeyPress, key, mods, text);
    return c.handleKey(&e);
}

TEST_F(MainControllerTest, ClickOnAnOriginPlaneStartsASketchOnThatPlane) {
    MainController& c = launch();  // without a session: a blank tab, and nothing written
    EXPECT_TRUE(c.currentIsBlank());
    EXPECT_EQ(c.window->windowTitle(), "Ivorane 3D — Sans titre[*]");
    EXPECT_EQ(c.statusText(),
              "Bienvenue ! Cliquez sur « Esquisse » pour commencer, puis choisissez un plan.");
    EXPECT_TRUE(QDir(toQt(dataDir())).entryList(QDir::Files).isEmpty());

    // A point inside each 70 × 70 square, away from the other two.
    const std::pair<V3, SketchPlane> cases[] = {{{25, 25, 0}, SketchPlane::xy()},
                                                {{25, 0.05, 25}, SketchPlane::xz()},
                                                {{0, 25, 25}, SketchPlane::yz()}};
    int n = 0;
    for (const auto& [at, plane] : cases) {
        c.viewport->setView("iso");  // entering a sketch turned the view onto its plane
        std::unique_ptr<QMenu> menu(c.contextMenu({5, 5}));  // the view's menu
        ASSERT_EQ(menu->actions().at(0)->text(), "Nouvelle esquisse");
        menu->actions().at(0)->trigger();
        ASSERT_EQ(c.mode(), Mode::choosePlane);
        const ViewPoint p = *c.viewport->project(at);
        const QPoint q(qRound(p.x), qRound(c.viewport->height() - p.y));
        QTest::mouseMove(c.viewport, q);
        QTest::mouseClick(c.viewport, Qt::LeftButton, Qt::NoModifier, q);
        ASSERT_EQ(c.mode(), Mode::sketch) << plane.name;
        const Feature& f = c.doc().features.at(*c.editSketch());
        EXPECT_EQ(f.name, "Esquisse" + std::to_string(++n));
        EXPECT_EQ(f.sketch->plane, plane);
        c.finishSketch();
        EXPECT_EQ(c.mode(), Mode::model);
    }
    EXPECT_EQ(c.undoStack.size(), 3u);

    // While choosing, the view's menu cancels, and so does Escape.
    c.beginChoosePlane();
    std::unique_ptr<QMenu>(c.contextMenu({5, 5}))->actions().at(0)->trigger();
    EXPECT_EQ(c.mode(), Mode::model);
    c.beginChoosePlane();
    EXPECT_FALSE(sendKey(c, Qt::Key_A, {}, "a"));
    EXPECT_TRUE(sendKey(c, Qt::Key_Escape));
    EXPECT_EQ(c.mode(), Mode::model);
    EXPECT_TRUE(c.statusText().isEmpty());
    EXPECT_EQ(c.doc().features.size(), 3u);
    EXPECT_EQ(c.undoStack.size(), 3u);
    // Keys with Ctrl are left to the menus.
    EXPECT_FALSE(sendKey(c, Qt::Key_E, Qt::ControlModifier, "\x05"));
    EXPECT_TRUE(sendKey(c, Qt::Key_E, {}, "E"));
    EXPECT_EQ(c.statusText(), "Bientôt disponible.");
    EXPECT_TRUE(sendKey(c, Qt::Key_Escape));
    EXPECT_TRUE(c.statusText().isEmpty());
}

TEST_F(MainControllerTest, SketchesAreNamedByTheirCountAndGoAtTheMarker) {
    Doc d;
    for (int i = 0; i < 3; ++i)
        d.features.emplace_back(d.newId(), fk::sketch, "S" + std::to_string(i));
    d.marker = 1;
    MainController& c = launch({tmp.write("m.q3d", encodeDoc(d, true))});
    c.startSketch(SketchPlane::xz());
    EXPECT_EQ(c.doc().marker, 2);
    EXPECT_EQ(c.editSketch(), 1u);
    c.startSketch(SketchPlane::face({0, 1, 0}, {0, 10, 0}));  // finishes the first one
    ASSERT_EQ(c.doc().features.size(), 5u);
    EXPECT_EQ(c.doc().features[1].name, "Esquisse4");
    EXPECT_EQ(c.doc().features[2].name, "Esquisse5 (face)");
    EXPECT_EQ(c.doc().marker, 3);
    EXPECT_EQ(c.editSketch(), 2u);
}

TEST_F(MainControllerTest, UndoAndRedoAcrossASketchStart) {
    MainController& c = launch();
    c.undoAction();
    EXPECT_EQ(dialogs->beeps, 1);  // nothing to undo

    c.startSketch(SketchPlane::xy());
    ASSERT_EQ(c.mode(), Mode::sketch);
    EXPECT_TRUE(c.dirty);
    EXPECT_TRUE(c.window->isWindowModified());
    EXPECT_EQ(c.tabTitle(0), "Sans titre \u2022");

    c.undoAction();  // the edited sketch disappears: back to the model
    EXPECT_TRUE(c.doc().features.empty());
    EXPECT_EQ(c.mode(), Mode::model);
    EXPECT_TRUE(c.statusText().isEmpty());
    EXPECT_FALSE(c.editSketch());
    EXPECT_EQ(c.redoStack.size(), 1u);

    c.redoAction();
    ASSERT_EQ(c.doc().features.size(), 1u);
    EXPECT_EQ(c.doc().features[0].name, "Esquisse1");
    EXPECT_EQ(c.doc().marker, 1);
    EXPECT_EQ(c.mode(), Mode::model);
    EXPECT_TRUE(c.redoStack.empty());
    c.redoAction();
    EXPECT_EQ(dialogs->beeps, 2);

    // A new change after an undo forgets the redo step.
    c.undoAction();
    c.startSketch(SketchPlane::yz());
    EXPECT_TRUE(c.redoStack.empty());
}

TEST_F(MainControllerTest, TheTwoHundredFirstUndoStepDropsTheOldest) {
    MainController& c = launch();
    for (int i = 0; i < 201; ++i) {
        c.startSketch(SketchPlane::xy());
        c.finishSketch();
    }
    ASSERT_EQ(c.undoStack.size(), 200u);
    std::string reason;
    EXPECT_EQ(decodeDoc(c.undoStack.front(), reason)->features.size(), 1u);
    for (int i = 0; i < 200; ++i)
        c.undoAction();
    EXPECT_EQ(c.doc().features.size(), 1u);  // the empty start can no longer be reached
    EXPECT_EQ(dialogs->beeps, 0);
    c.undoAction();
    EXPECT_EQ(dialogs->beeps, 1);
}

TEST_F(MainControllerTest, TabsKeepTheirOwnDocumentHistoryAndCameraAndSwitchOnClick) {
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    c.viewport->dist = 123;
    c.newTab();
    ASSERT_EQ(c.tabs.size(), 2u);
    EXPECT_EQ(c.activeTab, 1u);
    EXPECT_TRUE(c.doc().features.empty());
    EXPECT_TRUE(c.undoStack.empty());
    EXPECT_EQ(c.mode(), Mode::model);           // the sketch was finished before leaving
    EXPECT_TRUE(c.window->isWindowModified());  // the other tab is unsaved

    QApplication::processEvents();
    ASSERT_EQ(c.docTabViews.size(), 3u);  // two tabs and "+"
    auto* first = c.docTabViews[0]->findChild<QPushButton*>("tabTitle");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text(), "  Sans titre \u2022");
    EXPECT_EQ(first->toolTip(), "Modèle non enregistré");
    QTest::mouseClick(first, Qt::LeftButton);
    EXPECT_EQ(c.activeTab, 0u);
    EXPECT_EQ(c.doc().features.size(), 1u);
    EXPECT_EQ(c.undoStack.size(), 1u);
    EXPECT_EQ(c.viewport->dist, 123);
    c.previousTab();
    EXPECT_EQ(c.activeTab, 1u);
    c.nextTab();
    EXPECT_EQ(c.activeTab, 0u);

    QApplication::processEvents();
    auto* plus = qobject_cast<QToolButton*>(c.docTabViews.back());
    ASSERT_TRUE(plus);
    QTest::mouseClick(plus, Qt::LeftButton);
    EXPECT_EQ(c.tabs.size(), 3u);
    for (int i = 0; i < 12; ++i)
        c.newTab();
    QApplication::processEvents();
    EXPECT_EQ(c.docTabViews[0]->width(), 110 - 4);  // many tabs: none narrower than 110 points
}

TEST_F(MainControllerTest, ClosingAsksAboutUnsavedChangesAndStopsAtTheFirstCancel) {
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    EXPECT_FALSE(c.closeTab(0));  // the script answers "Annuler"
    ASSERT_EQ(dialogs->questions.size(), 1u);
    EXPECT_EQ(dialogs->questions[0].message, "Enregistrer les modifications de « Sans titre » ?");
    EXPECT_EQ(dialogs->questions[0].informative,
              "Sinon, les modifications de ce modèle seront perdues.");
    EXPECT_EQ(dialogs->questions[0].details, "Enregistrer|Ne pas enregistrer|Annuler");
    EXPECT_EQ(c.doc().features.size(), 1u);
    dialogs->answer = 1;  // "Ne pas enregistrer": the last tab becomes a blank one
    EXPECT_TRUE(c.closeTab(0));
    EXPECT_EQ(c.tabs.size(), 1u);
    EXPECT_TRUE(c.currentIsBlank());

    c.newTab();  // 1: clean
    c.newTab();  // 2: kept
    c.newTab();  // 3: unsaved, cancelled
    c.startSketch(SketchPlane::xy());
    c.newTab();  // 4
    const std::uint64_t kept = c.tabs[2].uid;
    c.closeOthers(2);
    ASSERT_EQ(c.tabs.size(), 3u);  // 0 and 1 closed, 3 refused, 4 left alone
    EXPECT_EQ(c.tabs[c.activeTab].uid, kept);
    EXPECT_EQ(dialogs->questions.size(), 3u);
}

TEST_F(MainControllerTest, LayoutPlacesEveryRegion) {
    MainController& c = launch();
    QApplication::processEvents();
    const int W = c.root->width(), H = c.root->height();
    EXPECT_EQ(QSize(W, H), QSize(1280, 800));  // the content, under the menu bar
    EXPECT_EQ(c.docTabBar->geometry(), QRect(0, 0, W, 34));
    EXPECT_EQ(c.toolbarBox->geometry(), QRect(0, 34, W, 100));
    EXPECT_EQ(c.browserScroll->geometry(), QRect(0, 134, 230, H - 190));
    EXPECT_EQ(c.viewport->geometry(), QRect(230, 134, W - 230, H - 190));
    EXPECT_EQ(c.timelineBox->geometry(), QRect(0, H - 56, W, 56));
    EXPECT_EQ(c.statusLabel->geometry(), QRect(242, H - 80, W - 254, 18));
    EXPECT_EQ(c.root->minimumSize(), QSize(900, 560));
}

TEST_F(MainControllerTest, SelectionFilterAndMagnetArePreferences) {
    MainController& c = launch();
    EXPECT_EQ(c.selFilter, "face");
    c.setSelFilter("body");
    EXPECT_EQ(c.statusText(), "Priorité de sélection : corps entiers.");
    const bool before = c.magnet;
    c.toggleMagnet();
    quit();
    MainController& again = launch();
    EXPECT_EQ(again.selFilter, "body");
    EXPECT_EQ(again.magnet, !before);
}

}  // namespace
}  // namespace ivo::testing
