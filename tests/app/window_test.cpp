// The real application window: modes, keys, history, tabs, files, the session, the updater's
// menu item, the toolbar and the sketch view's menu on a picked curve.
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

#include "app/app_fixture.h"
#include "app/recent_files.h"
#include "app/session.h"
#include "app/update_host.h"
#include "editor/sketch_editor.h"
#include "support/doc_builder.h"
#include "updater/local_site.h"

namespace ivo::testing {
namespace {

using WindowTest = AppFixture;
using std::tuple;

std::optional<Session> readSession() {
    std::string reason;
    return decodeSession(readAll(AppFixture::sessionFile()), reason);
}

TEST_F(WindowTest, UndoAndRedoAcrossASketchStart) {
    // Two sketches with the marker between them: a new sketch goes in at index 1, where the
    // second one comes back after an undo.
    DocBuilder b;
    b.sketch(rectSketch(0, 0, 10, 10));
    b.sketch(rectSketch(20, 0, 30, 10));
    b.doc.marker = 1;
    MainController& c = launchWith(b.doc);
    c.undoAction();
    EXPECT_EQ(dialogs->beeps, 1);  // nothing to undo
    c.startSketch(SketchPlane::xy());
    ASSERT_EQ(c.mode(), Mode::sketch);
    const std::string name = c.doc().features[*c.editSketch()].name;
    EXPECT_TRUE(c.dirty && c.window->isWindowModified());

    c.undoAction();  // the edited sketch disappears: back to the model, the status cleared
    EXPECT_TRUE(c.doc().features.size() == 2 && c.statusText().isEmpty() && !c.editSketch());
    EXPECT_EQ(tuple(c.mode(), c.redoStack.size()), tuple(Mode::model, 1u));
    c.redoAction();  // the sketch is back, not reopened
    ASSERT_EQ(c.doc().features.size(), 3u);
    EXPECT_EQ(tuple(c.doc().features[c.doc().marker - 1].name, c.mode(), c.redoStack.size()),
              tuple(name, Mode::model, 0u));
    c.redoAction();
    EXPECT_EQ(dialogs->beeps, 2);
    c.undoAction();  // a new change after an undo forgets the redo step
    c.startSketch(SketchPlane::xy());
    EXPECT_TRUE(c.redoStack.empty());
}

TEST_F(WindowTest, TabsKeepTheirOwnDocumentHistoryAndCameraAndAskBeforeClosingUnsaved) {
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
    QTest::mouseClick(first, Qt::LeftButton);
    EXPECT_EQ(tuple(c.activeTab, c.doc().features.size(), c.undoStack.size(), c.viewport->dist),
              tuple(0u, 1u, 1u, 123));
    QApplication::processEvents();
    auto* plus = qobject_cast<QToolButton*>(c.docTabViews.back());
    ASSERT_TRUE(plus);
    QTest::mouseClick(plus, Qt::LeftButton);
    EXPECT_EQ(c.tabs.size(), 3u);

    c.closeTab(2);
    c.closeTab(1);
    EXPECT_FALSE(c.closeTab(0));  // the script answers "Annuler"
    EXPECT_EQ(tuple(dialogs->questions.size(), c.doc().features.size()), tuple(1u, 1u));
    dialogs->answer = 1;  // "Ne pas enregistrer": the last tab becomes a blank one
    EXPECT_TRUE(c.closeTab(0) && c.currentIsBlank() && c.tabs.size() == 1);
}

TEST_F(WindowTest, OpenedFilesReplaceABlankTabOrSwitchToTheirOwn) {
    const std::string a = example("plaque_percee.q3d"), b = example("bouton.q3d");
    MainController& c = launch({a});
    EXPECT_EQ(tuple(c.tabs.size(), c.dirty, c.window->windowTitle()),
              tuple(1u, false, "Ivorane 3D — plaque_percee[*]"));  // the blank tab replaced
    ASSERT_FALSE(c.viewport->bodyTris.empty());

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
    for (const std::string& p : paths)
        EXPECT_FALSE(c.open(p)) << p;
    EXPECT_EQ(c.doc(), before);  // not even the sketch being edited was left
    EXPECT_EQ(tuple(dialogs->alerts.size(), c.tabs.size(), c.mode()), tuple(4u, 1u, Mode::sketch));
}

TEST_F(WindowTest, ASaveWritesTheModelOrAlertsAndKeepsTheTabUnsaved) {
    MainController& c = launch();
    c.startSketch(SketchPlane::yz());
    // A regular file where a folder should be (refused even for the superuser); the other
    // refusals of a write are tabled in tests/document/file_io_test.cpp.
    const std::string target = tmp.write("fichier", "x") + "/modele.q3d";
    dialogs->savePath = toQt(target);
    EXPECT_FALSE(c.saveDocument());
    EXPECT_EQ(tuple(dialogs->alerts.size(), c.dirty, c.fileURL, std::filesystem::exists(target)),
              tuple(1u, true, std::nullopt, false));

    const std::string path = tmp.file("nouveau.q3d");
    dialogs->savePath = toQt(path);
    ASSERT_TRUE(c.saveDocument());
    // An unsaved model is proposed in the home folder, not wherever the program was started.
    EXPECT_EQ(dialogs->proposedNames.back(), QDir::homePath() + "/Modèle.q3d");
    // Saving keeps the history.
    EXPECT_EQ(tuple(c.dirty, c.fileURL, c.window->isWindowModified(), c.undoStack.size()),
              tuple(false, path, false, 1u));
    std::string reason;
    EXPECT_EQ(decodeDoc(readAll(path), reason), c.doc()) << reason;
    c.startSketch(SketchPlane::xy());  // a cancelled save dialog saves nothing and says so
    EXPECT_TRUE(!c.saveDocumentAs() && c.dirty);
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
    ASSERT_EQ(again.tabs.size(), 2u);  // the undo step comes back with its tab
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

TEST_F(WindowTest, ACorruptSessionIsMovedAsideAndAStartBeginsBlank) {
    const std::string corrupt = "{\"tabs\":[{\"doc\":{\"version\":1,\"featu";
    writeSession(corrupt);
    MainController& c = launch();
    EXPECT_EQ(tuple(c.tabs.size(), c.currentIsBlank(), dialogs->alerts.size()),
              tuple(1u, true, 0u));  // no message
    const QStringList aside = setAside("session.json");
    ASSERT_EQ(aside.size(), 1);
    const std::string kept = dataDir() + "/" + fromQt(aside[0]);
    c.autosaveNow();  // the next autosave writes a new session beside the kept copy
    EXPECT_TRUE(readSession() && readAll(kept) == corrupt);

    // A second corrupt session does not replace the first kept copy.
    quit(false);
    writeSession("[]");
    launch();
    EXPECT_EQ(setAside("session.json").size(), 2);
}

TEST_F(WindowTest, UndoInsideAnOpenSketchKeepsEditingThatSketch) {
    // The first sketch is being edited while a later change is undone: the edited sketch
    // stays open, found by its id even though its index moved.
    MainController& c = launch();
    c.startSketch(SketchPlane::xy());
    c.finishSketch();
    c.startSketch(SketchPlane::yz());  // Esquisse2 at index 1
    const Id edited = c.doc().features[*c.editSketch()].id;
    c.pushUndo();  // a step inside the sketch, as the sketch tools record them
    c.undoAction();
    ASSERT_EQ(c.mode(), Mode::sketch);
    EXPECT_EQ(c.doc().features[*c.editSketch()].id, edited);
}

// The updater inside the window: its menu item, the offer's message box and the cancel button
// of the status line. What a check says is tabled in tests/updater/updater_test.cpp.
using UpdateMenuTest = AppFixture;

TEST_F(UpdateMenuTest, TheMenuItemChecksByHand) {
    LocalSite site;
    MainController& c = launch();
    const QByteArray build = QByteArray::number(qint64(c.updater->config().currentBuild));
    site.at("/maj/version.json") = {
        200, "{\"version\": \"x\", \"build\": " + build + ", \"url\": \"a.tar.xz\"}"};
    QSettings().setValue("updateURL", site.address("/maj/"));
    QAction* check = menuItem(c, "Ivorane 3D", "Rechercher les mises à jour…");
    ASSERT_TRUE(check && check->isEnabled());
    check->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs->alerts.empty(); }, 30000));
    EXPECT_EQ(dialogs->alerts[0].message, "Ivorane 3D est à jour");
}

TEST_F(UpdateMenuTest, OfferShowsNotesAsPlainText) {
    MainController& c = launch();
    QtDialogs real(c.window.get());
    QString shown;
    bool plain = true;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        for (QLabel* label : box->findChildren<QLabel*>())
            if (label->text().contains("<b>")) {
                shown = label->text();
                plain = plain && label->textFormat() == Qt::PlainText;
            }
        for (QAbstractButton* b : box->buttons())
            if (b->text() == "Plus tard") QTest::mouseClick(b, Qt::LeftButton);
    });
    const int choice = real.ask("Mise à jour disponible : Ivorane 3D 2.0",
                                "Vous avez la version 1.0.\n\n<b>x</b>\n\nVos modèles…",
                                {"Mettre à jour et relancer", "Plus tard"});
    EXPECT_EQ(choice, 1);
    EXPECT_TRUE(shown.contains("<b>x</b>") && plain);
}

TEST_F(UpdateMenuTest, StatusLineOffersACancelButtonDuringTheDownload) {
    MainController& c = launch();
    auto* host = dynamic_cast<ControllerUpdateHost*>(c.updaterHost.get());
    ASSERT_TRUE(host);
    int cancelled = 0;
    host->showCancel([&] { ++cancelled; });
    host->setStatus("Téléchargement de la mise à jour 2.0… 40 %");
    QToolButton* button = host->cancelButton();
    ASSERT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(c.statusText(), "Téléchargement de la mise à jour 2.0… 40 %");
    host->showCancel({});
    EXPECT_FALSE(button->isVisible());
}

// The toolbar: which commands each group shows and in what order is tabled in
// toolbar_pins_test.cpp; here the band follows it.
using Ids = std::vector<std::string>;

// The visible buttons, left to right: the scrolled groups, then the fixed finish group.
Ids shownButtons(MainController& c) {
    std::vector<QToolButton*> found;
    for (QToolButton* b : c.toolbarStack->findChildren<QToolButton*>())
        if (b->objectName() != "groupHeader" && b->isVisibleTo(c.window.get())) found.push_back(b);
    QWidget* strip = c.toolbarScroll->widget();
    const auto place = [&](QToolButton* b) {
        const bool scrolled = strip->isAncestorOf(b);
        return std::pair(!scrolled, b->mapTo(scrolled ? strip : b->window(), QPoint()).x());
    };
    std::sort(found.begin(), found.end(),
              [&](QToolButton* a, QToolButton* b) { return place(a) < place(b); });
    Ids ids;
    for (QToolButton* b : found)
        ids.push_back(fromQt(b->objectName()));
    return ids;
}

// Clicks the button as the user does, scrolling the band to it first.
void click(MainController& c, QToolButton* b) {
    c.toolbarScroll->ensureWidgetVisible(b);
    QTest::mouseClick(b, Qt::LeftButton);
    settle();
}
void click(MainController& c, const std::string& id) {
    click(c, c.toolButtons.at(id));
}

QMenu* groupMenu(MainController& c, const QString& group) {
    for (QToolButton* h : c.toolbarStack->findChildren<QToolButton*>("groupHeader"))
        if (h->property("group").toString() == group && h->isVisibleTo(c.window.get())) {
            click(c, h);
            return qobject_cast<QMenu*>(QApplication::activePopupWidget());
        }
    return nullptr;
}

// The buttons themselves are driven by the end-to-end sessions; the two that leave a mode
// remove themselves when clicked, and so does the customisation dialog's reset button.
TEST_F(WindowTest, TheToolbarFollowsTheModeAndItsCustomisationDialog) {
    MainController& c = launch();
    EXPECT_EQ(shownButtons(c).front(), "sketch");
    click(c, "sketch");
    ASSERT_EQ(c.mode(), Mode::choosePlane);
    EXPECT_EQ(shownButtons(c), Ids({"cancelPlane"}));
    click(c, "cancelPlane");
    EXPECT_TRUE(c.mode() == Mode::model && c.statusText().isEmpty());
    click(c, "sketch");
    c.planeChosen(SketchPlane::xy());
    const Ids shown = shownButtons(c);
    EXPECT_EQ(tuple(shown.front(), shown.back()), tuple("line", "finish"));
    click(c, "rect");
    EXPECT_EQ(c.activeSketchTool(), "rect");
    EXPECT_TRUE(c.toolButtons.at("rect")->property("active").toBool());

    ASSERT_TRUE(chooseIn(groupMenu(c, "CRÉER"), "Personnaliser la barre d'outils…"));
    QPointer<QDialog> dialog = c.customizePanel;
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.data()));
    const auto box = [&](const char* name) { return dialog->findChild<QCheckBox*>(name); };
    ASSERT_TRUE(box("1|CRÉER|line") && box("1|CRÉER|line")->isChecked());
    QTest::mouseClick(box("1|CRÉER|line"), Qt::LeftButton);
    EXPECT_EQ(shownButtons(c).front(), "rect");
    QTest::mouseClick(dialog->findChild<QPushButton*>("resetPins"), Qt::LeftButton);
    settle();
    EXPECT_FALSE(dialog);  // deleted once its click had returned, a fresh one with the defaults
    dialog = c.customizePanel;
    ASSERT_TRUE(dialog && box("1|CRÉER|line")->isChecked());
    EXPECT_EQ(shownButtons(c).front(), "line");
    QTest::mouseClick(dialog->findChild<QPushButton*>("done"), Qt::LeftButton);
    settle();
    EXPECT_TRUE(!dialog && !c.customizePanel);
    // The finish button outlives the rebuild its own click starts, and goes after it.
    QPointer<QToolButton> finish = c.toolButtons.at("finish");
    QTest::mouseClick(finish, Qt::LeftButton);
    EXPECT_TRUE(c.mode() == Mode::model && finish && !c.toolButtons.count("finish"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(finish);
}

TEST_F(WindowTest, CopyingTheContourOfACurveCopiesOnlyTheCurvesJoinedToIt) {
    DocBuilder b;
    Sketch s = rectSketch(0, 0, 20, 10);
    addCircle(s, {50, 5}, 5);
    b.sketch(std::move(s));
    MainController& c = launchWith(b.doc);
    c.enterSketch(0);
    ASSERT_EQ(c.mode(), Mode::sketch);
    const QString copyContour = "Copier ce contour avec décalage…";
    const std::unique_ptr<QMenu> unselected(c.contextMenu({5, 5}));
    ASSERT_TRUE(unselected);
    EXPECT_FALSE(itemOf(unselected.get(), copyContour));  // nothing selected

    c.runTool("select");
    clickView(c, seenAt(c, V3{10, 0, 0}));  // the middle of the bottom side
    ASSERT_TRUE(c.editor->selected && c.currentSketch()->curve(*c.editor->selected));
    std::unique_ptr<QMenu> menu(c.contextMenu(*c.viewport->project({10, 0, 0})));
    QAction* copy = itemOf(menu.get(), copyContour);
    ASSERT_TRUE(copy);
    dialogs->numbers = {{0, 30, 1}};
    copy->trigger();
    ASSERT_EQ(dialogs->numberPrompts.size(), 1u);
    EXPECT_EQ(dialogs->numberPrompts[0].title, "Copier / déplacer le contour sélectionné");
    const Sketch& k = *c.currentSketch();
    EXPECT_EQ(tuple(k.lines.size(), k.circles.size()), tuple(8u, 1u));
    for (size_t i = 0; i < 4; ++i) {  // the copy is the rectangle 30 mm higher
        const V2 a = *k.pos(k.lines[i].a), b = *k.pos(k.lines[i + 4].a);
        EXPECT_NEAR((b - a).x, 0, 1e-6);
        EXPECT_NEAR((b - a).y, 30, 1e-6);
    }
}

}  // namespace
}  // namespace ivo::testing
