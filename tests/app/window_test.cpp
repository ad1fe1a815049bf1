// The real application window: modes, keys, history, tabs, files and the session.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

#include "app/app_fixture.h"
#include "app/recent_files.h"
#include "app/session.h"
#include "document/doc_json.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

using WindowTest = AppFixture;
using std::tuple;

bool sendKey(MainController& c, int key, Qt::KeyboardModifiers mods = {}, QString text = {}) {
    QKeyEvent e(QEvent::KeyPress, key, mods, text);
    return c.handleKey(&e);
}

std::optional<Session> readSession() {
    std::string reason;
    return decodeSession(readAll(AppFixture::sessionFile()), reason);
}

QStringList setAside() {
    return QDir(toQt(AppFixture::dataDir())).entryList({"session.json.illisible-*"}, QDir::Files);
}

TEST_F(WindowTest, ClickOnAnOriginPlaneStartsASketchOnThatPlane) {
    MainController& c = launch();  // without a session: a blank tab, and nothing written
    EXPECT_TRUE(c.currentIsBlank());
    EXPECT_EQ(c.window->windowTitle(), "Ivorane 3D — Sans titre[*]");
    EXPECT_EQ(c.statusText(),
              "Bienvenue ! Cliquez sur « Esquisse » pour commencer, puis choisissez un plan.");
    EXPECT_TRUE(QDir(toQt(dataDir())).entryList(QDir::Files).isEmpty());
    QApplication::processEvents();
    const int W = c.root->width(), H = c.root->height();
    // The content, under the menu bar.
    EXPECT_EQ((std::vector{QSize(W, H), c.root->minimumSize()}),
              (std::vector{QSize(1280, 800), QSize(900, 560)}));
    EXPECT_EQ(
        (std::vector{c.docTabBar->geometry(), c.toolbarBox->geometry(), c.browserScroll->geometry(),
                     c.viewport->geometry(), c.timelineBox->geometry(), c.statusLabel->geometry()}),
        (std::vector{QRect(0, 0, W, 34), QRect(0, 34, W, 100), QRect(0, 134, 230, H - 190),
                     QRect(230, 134, W - 230, H - 190), QRect(0, H - 56, W, 56),
                     QRect(242, H - 80, W - 254, 18)}));

    // A point inside each 70 × 70 square, away from the other two.
    const std::pair<V3, SketchPlane> cases[] = {{{25, 25, 0}, SketchPlane::xy()},
                                                {{25, 0.05, 25}, SketchPlane::xz()},
                                                {{0, 25, 25}, SketchPlane::yz()}};
    int n = 0;
    for (const auto& [at, plane] : cases) {
        c.viewport->setView("iso");  // entering a sketch turns the view onto its plane
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
        EXPECT_EQ(tuple(f.name, f.sketch->plane), tuple("Esquisse" + std::to_string(++n), plane));
        EXPECT_GT(c.viewport->camera().eyeDir().dot(plane.n), 0.99999) << plane.name;
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
    EXPECT_TRUE(c.statusText().isEmpty());
    EXPECT_EQ(tuple(c.mode(), c.doc().features.size(), c.undoStack.size()),
              tuple(Mode::model, 3u, 3u));
    EXPECT_FALSE(sendKey(c, Qt::Key_E, Qt::ControlModifier, "\x05"));  // left to the menus
}

TEST_F(WindowTest, UndoAndRedoAcrossASketchStart) {
    MainController& c = launch();
    c.undoAction();
    EXPECT_EQ(dialogs->beeps, 1);  // nothing to undo

    c.startSketch(SketchPlane::xy());
    ASSERT_EQ(c.mode(), Mode::sketch);
    EXPECT_EQ(tuple(c.dirty, c.window->isWindowModified(), c.tabTitle(0)),
              tuple(true, true, "Sans titre \u2022"));

    c.undoAction();  // the edited sketch disappears: back to the model
    EXPECT_TRUE(c.doc().features.empty() && c.statusText().isEmpty() && !c.editSketch());
    EXPECT_EQ(tuple(c.mode(), c.redoStack.size()), tuple(Mode::model, 1u));

    c.redoAction();
    ASSERT_EQ(c.doc().features.size(), 1u);
    EXPECT_EQ(tuple(c.doc().features[0].name, c.doc().marker, c.mode(), c.redoStack.size()),
              tuple("Esquisse1", 1, Mode::model, 0u));
    c.redoAction();
    EXPECT_EQ(dialogs->beeps, 2);

    // A new change after an undo forgets the redo step.
    c.undoAction();
    c.startSketch(SketchPlane::face({0, 1, 0}, {0, 10, 0}));
    EXPECT_TRUE(c.redoStack.empty());
    EXPECT_EQ(c.doc().features.at(0).name, "Esquisse1 (face)");
}

TEST_F(WindowTest, TheTwoHundredFirstUndoStepDropsTheOldest) {
    Doc d;  // sketches are named by their count and placed at the marker
    for (int i = 0; i < 3; ++i)
        d.features.emplace_back(d.newId(), fk::sketch, "S" + std::to_string(i));
    d.marker = 1;
    MainController& c = launch({tmp.write("m.q3d", encodeDoc(d, true))});
    for (int i = 0; i < 201; ++i) {
        c.startSketch(SketchPlane::xy());
        c.finishSketch();
    }
    ASSERT_EQ(c.undoStack.size(), 200u);
    std::string reason;
    EXPECT_EQ(decodeDoc(c.undoStack.front(), reason)->features.size(), 4u);
    for (int i = 0; i < 200; ++i)
        c.undoAction();
    ASSERT_EQ(c.doc().features.size(), 4u);  // the file's state can no longer be reached
    EXPECT_EQ(tuple(c.doc().features[1].name, c.doc().marker, dialogs->beeps),
              tuple("Esquisse4", 2, 0));
    c.undoAction();
    EXPECT_EQ(dialogs->beeps, 1);
}

TEST_F(WindowTest, TabsKeepTheirOwnDocumentHistoryAndCameraAndSwitchOnClick) {
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    c.viewport->dist = 123;
    c.newTab();
    ASSERT_EQ(c.tabs.size(), 2u);
    // The sketch was finished before leaving; the other tab is unsaved.
    EXPECT_EQ(tuple(c.activeTab, c.doc().features.size(), c.undoStack.size(), c.mode(),
                    c.window->isWindowModified()),
              tuple(1u, 0u, 0u, Mode::model, true));

    QApplication::processEvents();
    ASSERT_EQ(c.docTabViews.size(), 3u);  // two tabs and "+"
    auto* first = c.docTabViews[0]->findChild<QPushButton*>("tabTitle");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text(), "  Sans titre \u2022");
    EXPECT_EQ(first->toolTip(), "Modèle non enregistré");
    QTest::mouseClick(first, Qt::LeftButton);
    EXPECT_EQ(tuple(c.activeTab, c.doc().features.size(), c.undoStack.size(), c.viewport->dist),
              tuple(0u, 1u, 1u, 123));
    c.previousTab();
    EXPECT_EQ(c.activeTab, 1u);
    c.nextTab();
    EXPECT_EQ(c.activeTab, 0u);

    QApplication::processEvents();
    auto* plus = qobject_cast<QToolButton*>(c.docTabViews.back());
    ASSERT_TRUE(plus);
    QTest::mouseClick(plus, Qt::LeftButton);
    EXPECT_EQ(c.tabs.size(), 3u);
}

TEST_F(WindowTest, ClosingAsksAboutUnsavedChangesAndCancelKeepsTheTab) {
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    EXPECT_FALSE(c.closeTab(0));  // the script answers "Annuler"
    ASSERT_EQ(dialogs->questions.size(), 1u);
    const auto& q = dialogs->questions[0];
    EXPECT_EQ((QStringList{q.message, q.informative, q.details}),
              (QStringList{"Enregistrer les modifications de « Sans titre » ?",
                           "Sinon, les modifications de ce modèle seront perdues.",
                           "Enregistrer|Ne pas enregistrer|Annuler"}));
    EXPECT_EQ(c.doc().features.size(), 1u);
    dialogs->answer = 1;  // "Ne pas enregistrer": the last tab becomes a blank one
    EXPECT_TRUE(c.closeTab(0) && c.currentIsBlank());
    EXPECT_EQ(c.tabs.size(), 1u);
}

TEST_F(WindowTest, OpenedFilesReplaceABlankTabOrSwitchToTheirOwn) {
    const std::string a = example("plaque_percee.q3d"), b = example("bouton.q3d");
    MainController& c = launch({a});
    ASSERT_EQ(c.tabs.size(), 1u);  // the blank start tab was replaced
    EXPECT_EQ(c.window->windowTitle(), "Ivorane 3D — plaque_percee[*]");
    EXPECT_FALSE(c.dirty);
    ASSERT_FALSE(c.viewport->bodyTris.empty());
    EXPECT_FALSE(c.viewport->bodyTris.begin()->second.empty());

    c.newTab();
    ASSERT_TRUE(c.open(b));  // replaces the new blank tab
    ASSERT_EQ(tuple(c.tabs.size(), c.activeTab), tuple(2u, 1u));
    ASSERT_TRUE(c.open(tmp.path() + "/./sub/../plaque_percee.q3d"));
    EXPECT_EQ(tuple(c.tabs.size(), c.activeTab, c.fileURL), tuple(2u, 0u, a));
    ASSERT_TRUE(c.open(a));  // the active tab's own file: nothing to do, and success
    EXPECT_EQ(tuple(c.tabs.size(), dialogs->alerts.size()), tuple(2u, 0u));

    // A modified tab is not replaced.
    c.newTab();
    c.startSketch(SketchPlane::xy());
    ASSERT_TRUE(c.open(example("equerre.q3d")));
    ASSERT_EQ(c.tabs.size(), 4u);
    EXPECT_EQ(tuple(c.tabs[2].doc.features.size(), c.tabs[2].dirty), tuple(1u, true));
    EXPECT_EQ(recentFiles().value(0), toQt(tmp.file("equerre.q3d")));
}

TEST_F(WindowTest, UnreadableOrMalformedFilesAreRefusedAndChangeNothing) {
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    const Doc before = c.doc();
    const std::string paths[] = {tmp.file("absent.q3d"),
                                 tmp.write("faux.q3d", "{\"version\": 1, \"features\": 3}"),
                                 tmp.write("vide.q3d", ""), tmp.path()};
    for (const std::string& p : paths) {
        EXPECT_FALSE(c.open(p)) << p;
        ASSERT_FALSE(dialogs->alerts.empty());
        EXPECT_EQ((QStringList{dialogs->alerts.back().message, dialogs->alerts.back().informative}),
                  (QStringList{"Impossible d'ouvrir ce fichier",
                               "Ce n'est pas un modèle Ivorane 3D valide."}));
    }
    EXPECT_EQ(c.doc(), before);  // not even the sketch being edited was left
    EXPECT_EQ(tuple(dialogs->alerts.size(), c.tabs.size(), c.mode()), tuple(4u, 1u, Mode::sketch));
}

TEST_F(WindowTest, ASaveWritesTheModelOrAlertsAndKeepsTheTabUnsaved) {
    MainController& c = launch();
    c.startSketch(SketchPlane::yz());
    const std::string readOnly = tmp.file("lecture-seule");
    ::mkdir(readOnly.c_str(), 0555);
    // A regular file where a folder should be is refused even for the superuser; a read-only
    // folder is not.
    std::vector<std::string> targets{tmp.write("fichier", "x") + "/modele.q3d"};
    if (::geteuid() != 0) targets.push_back(readOnly + "/modele.q3d");
    for (const std::string& target : targets) {
        dialogs->alerts.clear();
        dialogs->savePath = toQt(target);
        EXPECT_FALSE(c.saveDocument()) << target;
        ASSERT_EQ(dialogs->alerts.size(), 1u);
        EXPECT_EQ(dialogs->alerts[0].message, "Enregistrement impossible");
        EXPECT_FALSE(dialogs->alerts[0].informative.isEmpty());
        EXPECT_EQ(tuple(c.dirty, c.fileURL, c.tabTitle(0), std::filesystem::exists(target)),
                  tuple(true, std::nullopt, "Sans titre \u2022", false));
    }

    const std::string path = tmp.file("nouveau.q3d");
    dialogs->savePath = toQt(path);
    ASSERT_TRUE(c.saveDocument());
    // An unsaved model is proposed in the home folder, not wherever the program was started.
    EXPECT_EQ(dialogs->proposedNames.back(), QDir::homePath() + "/Modèle.q3d");
    EXPECT_EQ(c.window->windowTitle(), "Ivorane 3D — nouveau[*]");
    // Saving keeps the history.
    EXPECT_EQ(tuple(c.dirty, c.fileURL, c.window->isWindowModified(), c.undoStack.size()),
              tuple(false, path, false, 1u));
    std::string reason;
    const auto back = decodeDoc(readAll(path), reason);
    ASSERT_TRUE(back) << reason;
    EXPECT_EQ(*back, c.doc());
    // A cancelled save dialog saves nothing and reports it.
    c.startSketch(SketchPlane::xy());
    EXPECT_FALSE(c.saveDocumentAs());
    EXPECT_TRUE(c.dirty);
}

TEST_F(WindowTest, AChangeIsWrittenWithinAboutASecondAndRestoredAtTheNextStart) {
    MainController& c = launch({example("bouton.q3d")});
    c.newTab();
    c.startSketch(SketchPlane::xz());
    // No tab switch, save or quit writes it: only the delayed autosave.
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            const auto s = readSession();
            return s && s->tabs.size() == 2 && s->tabs[1].dirty;
        },
        5000));
    const auto s = readSession();
    EXPECT_EQ(tuple(s->active, s->tabs[0].file, s->tabs[1].doc.features.at(0).name),
              tuple(1, tmp.file("bouton.q3d"), "Esquisse1"));

    quit(false);  // a killed process never runs its quit code
    MainController& again = launch();
    ASSERT_EQ(again.tabs.size(), 2u);
    // The undo step comes back with its tab.
    EXPECT_EQ(tuple(again.activeTab, again.doc().features.at(0).name, again.dirty,
                    again.tabTitle(1), again.tabTitle(0), again.undoStack.size(), again.mode()),
              tuple(1u, "Esquisse1", true, "Sans titre \u2022", "bouton", 1u, Mode::model));

    // Quitting writes every tab at once; files given at launch open after them.
    again.startSketch(SketchPlane::xy());
    quit();
    MainController& third = launch({example("equerre.q3d")});
    ASSERT_EQ(third.tabs.size(), 3u);
    EXPECT_EQ(tuple(third.activeTab, third.fileURL, third.tabs[1].doc.features.size()),
              tuple(2u, tmp.file("equerre.q3d"), 2u));
    third.closeTab(1);  // a restored unsaved tab still asks before closing
    EXPECT_EQ(dialogs->questions.size(), 1u);
}

TEST_F(WindowTest, OldFormsAndActiveIndicesOutOfRangeAreRestored) {
    Doc one;
    one.features.emplace_back(one.newId(), fk::sketch, "Seule");
    for (const auto& [active, expected] : {std::pair{7, 1u}, std::pair{-2, 0u}}) {
        writeSession(
            encodeSession({{{Doc(), std::nullopt, false}, {one, std::nullopt, true}}, active}));
        MainController& c = launch();
        EXPECT_EQ(tuple(c.tabs.size(), c.activeTab, c.doc().features.size()),
                  tuple(2u, expected, expected))
            << active;
        quit(false);
    }
    // The old single-document form gives one tab.
    writeSession("{\"doc\":" + encodeDoc(one, false) +
                 ",\"file\":\"/nulle/part.q3d\",\"dirty\":true}");
    MainController& c = launch();
    ASSERT_EQ(c.tabs.size(), 1u);
    EXPECT_EQ(tuple(c.doc().features.at(0).name, c.fileURL, c.dirty),
              tuple("Seule", "/nulle/part.q3d", true));
}

TEST_F(WindowTest, ACorruptSessionIsMovedAsideAndAStartBeginsBlank) {
    const std::string corrupt = "{\"tabs\":[{\"doc\":{\"version\":1,\"featu";
    writeSession(corrupt);
    MainController& c = launch();
    EXPECT_EQ(tuple(c.tabs.size(), c.currentIsBlank(), dialogs->alerts.size()),
              tuple(1u, true, 0u));  // no message
    const QStringList aside = setAside();
    ASSERT_EQ(aside.size(), 1);
    const std::string kept = dataDir() + "/" + fromQt(aside[0]);
    EXPECT_EQ(readAll(kept), corrupt);
    // The next autosave writes a new session beside the kept copy.
    c.autosaveNow();
    EXPECT_TRUE(readSession());
    EXPECT_EQ(readAll(kept), corrupt);

    // A second corrupt session does not replace the first kept copy.
    quit(false);
    writeSession("[]");
    launch();
    EXPECT_EQ(setAside().size(), 2);
}

}  // namespace
}  // namespace ivo::testing
