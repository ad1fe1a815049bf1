// The timeline strip and the browser column of the real window: their buttons clicked and
// their context menus chosen with the mouse, the questions answered by scripted dialogs.
#include <filesystem>

#include <QContextMenuEvent>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

#include "app/app_fixture.h"
#include "document/doc_json.h"
#include "document/evaluator.h"
#include "support/doc_builder.h"
#include "support/export_readers.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

// Runs the strips' rebuild and the deletions the window left to the event loop.
void settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

QToolButton* feature(MainController& c, size_t i) {
    return c.timelineStack->findChild<QToolButton*>(toQt("feat:" + std::to_string(i)));
}

QPushButton* row(MainController& c, const std::string& id) {
    QPushButton* b = c.browserStack->findChild<QPushButton*>(toQt(id));
    return b && b->isVisibleTo(c.window.get()) ? b : nullptr;
}

QMenu* openContextMenu(QWidget* w) {
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(8, 8), w->mapToGlobal(QPoint(8, 8)));
    QApplication::sendEvent(w, &e);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// Chooses the entry with the mouse; the failure lists what the menu offered.
::testing::AssertionResult choose(QWidget* w, const QString& text) {
    QMenu* menu = openContextMenu(w);
    if (!menu) return ::testing::AssertionFailure() << "no menu";
    QStringList offered;
    for (QAction* a : menu->actions()) {
        offered << a->text();
        if (a->text() != text) continue;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
        settle();
        return ::testing::AssertionSuccess();
    }
    menu->close();
    return ::testing::AssertionFailure() << offered.join(" | ").toStdString();
}

std::vector<std::string> featureNames(const MainController& c) {
    std::vector<std::string> out;
    for (const Feature& f : c.doc().features)
        out.push_back(f.name);
    return out;
}

// Esquisse1 used by two extrusions that each start a body, then an unrelated sketch.
Doc twoExtrusions(std::int64_t marker) {
    DocBuilder b;
    const Id s = b.sketch(rectSketch(0, 0, 20, 10));
    b.extrude(s, {{5, 5}}, 6);
    b.extrude(s, {{5, 5}}, -4);
    b.sketch(rectSketch(30, 0, 40, 10));
    b.doc.marker = marker;
    return b.doc;
}

struct TimelineBrowserTest : AppFixture {
    MainController& open(const Doc& d) {
        std::filesystem::remove_all(dataDir());  // no session of an earlier launch
        MainController& c = launch({tmp.write("m.q3d", encodeDoc(d, true))});
        settle();
        return c;
    }
};

// A timeline longer than its strip scrolls to the marker when the marker moves, and only then.
TEST_F(TimelineBrowserTest, ALongTimelineKeepsTheMarkerInSight) {
    std::filesystem::remove_all(dataDir());
    MainController& c = launch({example("piece_30_fonctions.q3d")});
    settle();
    QWidget* view = c.timelineScroll->viewport();
    const auto markerInSight = [&] {
        QWidget* m = c.timelineStack->findChild<QWidget*>("timelineMarker");
        if (!m) return false;
        const QRect r(m->mapTo(view, QPoint(0, 0)), m->size());
        return view->rect().contains(r);
    };
    QScrollBar* bar = c.timelineScroll->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the sample's timeline fits: the test proves nothing";
    EXPECT_TRUE(markerInSight());  // opened with the marker after the last feature
    QTest::mouseClick(c.timelineControls->findChild<QToolButton*>("markerStart"), Qt::LeftButton);
    settle();
    EXPECT_TRUE(markerInSight());
    EXPECT_EQ(bar->value(), 0);
    // Looking further along the strip survives a rebuild that leaves the marker in place.
    bar->setValue(bar->maximum());
    c.rebuildAll();
    settle();
    EXPECT_EQ(bar->value(), bar->maximum());
    QTest::mouseClick(c.timelineControls->findChild<QToolButton*>("markerForward"), Qt::LeftButton);
    settle();
    EXPECT_TRUE(markerInSight());
}

TEST_F(TimelineBrowserTest, DeletingASketchUsedByTwoExtrusionsAsksAndIsOneUndoStep) {
    struct Case {
        int answer;
        std::vector<std::string> left;
        std::int64_t marker;
    };
    const std::vector<Case> cases{
        {1, {"Extrusion1", "Extrusion2", "Esquisse2"}, 2},
        {0, {"Esquisse2"}, 0},
        {2, {"Esquisse1", "Extrusion1", "Extrusion2", "Esquisse2"}, 3},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.answer);
        MainController& c = open(twoExtrusions(3));
        const size_t depth = c.undoStack.size();
        dialogs->answer = k.answer;
        ASSERT_TRUE(choose(feature(c, 0), "Supprimer"));
        ASSERT_EQ(dialogs->questions.size(), 1u);
        EXPECT_EQ(dialogs->questions[0].message,
                  "« Esquisse1 » est utilisée par : Extrusion1, "
                  "Extrusion2");
        EXPECT_EQ(dialogs->questions[0].details,
                  "Supprimer aussi ces fonctions|Supprimer seulement « Esquisse1 »|Annuler");
        EXPECT_EQ(featureNames(c), k.left);
        EXPECT_EQ(c.doc().marker, k.marker);
        EXPECT_EQ(c.undoStack.size(), depth + (k.answer == 2 ? 0 : 1));
        if (k.answer == 1) {
            // Kept by choice, both extrusions now fail, in red with the evaluator's message.
            for (size_t i : {0u, 1u}) {
                EXPECT_TRUE(feature(c, i)->property("failed").toBool());
                EXPECT_EQ(feature(c, i)->toolTip(), toQt(k.left[i] + " : Esquisse introuvable."));
            }
            EXPECT_FALSE(feature(c, 2)->property("failed").toBool());
            EXPECT_TRUE(feature(c, 2)->property("dimmed").toBool());  // after the marker
        }
        if (k.answer != 2) {
            c.undoAction();
            settle();
            EXPECT_EQ(featureNames(c), cases.back().left);
            EXPECT_EQ(c.doc().marker, 3);
        }
        quit(false);
        dialogs = nullptr;
    }
}

TEST_F(TimelineBrowserTest, TheMarkerStandsWhereItLimitsAndItsButtonsMoveIt) {
    MainController& c = open(twoExtrusions(0));
    const auto markerIndex = [&c] {
        auto* layout = c.timelineStack->layout();
        for (int i = 0; i < layout->count(); ++i)
            if (layout->itemAt(i)->widget()->objectName() == "timelineMarker") return i;
        return -1;
    };
    EXPECT_EQ(markerIndex(), 0);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(feature(c, i)->property("dimmed").toBool()) << i;
    EXPECT_EQ(feature(c, 0)->toolTip(),
              "Esquisse1 — clic pour modifier, clic droit pour plus d'options");
    QTest::mouseClick(c.timelineControls->findChild<QToolButton*>("markerEnd"), Qt::LeftButton);
    settle();
    EXPECT_EQ(c.doc().marker, 4);
    EXPECT_EQ(markerIndex(), 4);
    EXPECT_TRUE(c.dirty);
    QTest::mouseClick(c.timelineControls->findChild<QToolButton*>("markerBack"), Qt::LeftButton);
    settle();
    EXPECT_EQ(c.doc().marker, 3);
    ASSERT_TRUE(choose(feature(c, 0), "Placer le marqueur après"));
    EXPECT_EQ(c.doc().marker, 1);
    EXPECT_FALSE(feature(c, 0)->property("dimmed").toBool());
    EXPECT_TRUE(c.undoStack.empty());  // marker moves are no undo steps

    // A click on a sketch's own marker opens it, and its rebuilt marker shows it pressed.
    QTest::mouseClick(feature(c, 3), Qt::LeftButton);
    settle();
    EXPECT_EQ(c.mode(), Mode::sketch);
    EXPECT_EQ(c.editSketch(), 3u);
    EXPECT_TRUE(feature(c, 3)->isChecked());
    EXPECT_TRUE(row(c, "sketch:3"));
    EXPECT_EQ(row(c, "sketch:3")->text(), " Esquisse2  (en cours)");
}

TEST_F(TimelineBrowserTest, HiddenBodiesAreListedDimmedAndHidingMarksTheTabWithoutUndo) {
    Doc d = twoExtrusions(4);
    d.hidden = {2};
    MainController& c = open(d);
    ASSERT_TRUE(row(c, "body:2") && row(c, "body:3"));
    EXPECT_TRUE(row(c, "body:2")->property("dimmed").toBool());
    EXPECT_EQ(row(c, "body:2")->palette().color(QPalette::ButtonText), grey(0.55));
    EXPECT_FALSE(row(c, "body:3")->property("dimmed").toBool());
    auto* eye = c.browserStack->findChild<QToolButton*>("eye:body:2");
    EXPECT_EQ(eye->property("symbol").toString(), "eye.slash");
    EXPECT_FALSE(c.dirty);

    QTest::mouseClick(c.browserStack->findChild<QToolButton*>("eye:body:3"), Qt::LeftButton);
    settle();
    EXPECT_EQ(c.doc().hidden, (std::vector<Id>{2, 3}));
    EXPECT_TRUE(c.dirty);
    EXPECT_TRUE(c.window->isWindowModified());
    EXPECT_TRUE(c.undoStack.empty());
    ASSERT_TRUE(choose(row(c, "body:2"), "Afficher le corps"));
    EXPECT_EQ(c.doc().hidden, (std::vector<Id>{3}));
    EXPECT_TRUE(c.undoStack.empty());

    // Features after the marker and suppressed sketches are not listed.
    EXPECT_TRUE(row(c, "sketch:0") && row(c, "sketch:3"));
    ASSERT_TRUE(choose(feature(c, 3), "Désactiver"));
    EXPECT_FALSE(row(c, "sketch:3"));
    EXPECT_EQ(c.undoStack.size(), 1u);
}

TEST_F(TimelineBrowserTest, ARenamedBodyIsShownAndExportedUnderItsNewName) {
    MainController& c = open(twoExtrusions(4));
    const size_t depth = c.undoStack.size();
    for (const char* blank : {"", "   "}) {
        dialogs->textAnswer = blank;
        ASSERT_TRUE(choose(row(c, "body:2"), "Renommer…"));
        EXPECT_EQ(row(c, "body:2")->text(), " Corps 1");
        EXPECT_EQ(c.statusText(), "Un nom ne peut pas être vide : « Corps 1 » garde son nom.");
        EXPECT_EQ(c.undoStack.size(), depth);
    }
    EXPECT_EQ(dialogs->prompts.back(), std::pair(QString("Nom du corps"), QString("Corps 1")));
    dialogs->textAnswer = "Support";
    ASSERT_TRUE(choose(row(c, "body:2"), "Renommer…"));
    EXPECT_EQ(row(c, "body:2")->text(), " Support");
    EXPECT_EQ(c.undoStack.size(), depth + 1);

    // Typed without its extension, the name gets it.
    dialogs->savePath = toQt(tmp.path() + "/piece");
    ASSERT_TRUE(choose(row(c, "body:2"), "Exporter ce corps en 3MF…"));
    EXPECT_EQ(dialogs->proposedNames.back(), toQt(tmp.path() + "/m.3mf"));
    EXPECT_EQ(c.statusText(), "Exporté : piece.3mf");
    const std::optional<Read3mf> read = readWithLib3mf(readAll(tmp.path() + "/piece.3mf"));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->objects.size(), 1u);
    EXPECT_EQ(read->objects[0].name, "Support");
    EXPECT_NEAR(read->objects[0].volume, 20 * 10 * 6, 1e-6);
    EXPECT_FALSE(std::filesystem::exists(tmp.path() + "/piece"));
}

TEST_F(TimelineBrowserTest, ExportingSaysWhenNothingIsVisibleOrTheFolderCannotTakeTheFile) {
    Doc d = twoExtrusions(4);
    d.hidden = {2, 3};
    MainController& c = open(d);
    QTest::mouseClick(c.toolButtons.at("stl"), Qt::LeftButton);
    settle();
    ASSERT_EQ(dialogs->alerts.size(), 1u);
    EXPECT_EQ(dialogs->alerts[0].message, "Rien à exporter");
    EXPECT_EQ(dialogs->alerts[0].informative, "Aucun corps visible.");
    EXPECT_TRUE(dialogs->proposedNames.empty());

    QTest::mouseClick(c.browserStack->findChild<QToolButton*>("eye:body:3"), Qt::LeftButton);
    settle();
    const std::string notAFolder = tmp.write("dossier", "x");
    dialogs->savePath = toQt(notAFolder + "/piece.stl");
    QTest::mouseClick(c.toolButtons.at("stl"), Qt::LeftButton);
    settle();
    ASSERT_EQ(dialogs->alerts.size(), 2u);
    EXPECT_EQ(dialogs->alerts[1].message, "Export impossible");
    EXPECT_FALSE(dialogs->alerts[1].informative.isEmpty());
    EXPECT_EQ(readAll(notAFolder), "x");

    dialogs->savePath = toQt(tmp.path() + "/tout.STL");
    QTest::mouseClick(c.toolButtons.at("stl"), Qt::LeftButton);
    settle();
    EXPECT_EQ(c.statusText(), "STL exporté : tout.STL");
    const std::optional<Read3mf> read = readWithLib3mf(readAll(tmp.path() + "/tout.STL"), "stl");
    ASSERT_TRUE(read);
    double volume = 0;
    for (const auto& o : read->objects)
        volume += o.volume;
    EXPECT_NEAR(volume, 20 * 10 * 4, 1e-6);  // the visible body only
}

TEST_F(TimelineBrowserTest, FoldedSectionsAndTheMarkerSurviveATabSwitchAndARestart) {
    MainController& c = open(twoExtrusions(4));
    QTest::mouseClick(row(c, "sketches"), Qt::LeftButton);
    settle();
    EXPECT_EQ(row(c, "sketches")->text(), "▸  Esquisses");
    EXPECT_FALSE(row(c, "sketch:0"));
    QTest::mouseClick(c.timelineControls->findChild<QToolButton*>("markerStart"), Qt::LeftButton);
    settle();
    ASSERT_EQ(c.doc().marker, 0);

    c.newTab();
    settle();
    EXPECT_EQ(row(c, "sketches")->text(), "▾  Esquisses");  // folding is per tab
    c.switchToTab(0);
    settle();
    EXPECT_EQ(row(c, "sketches")->text(), "▸  Esquisses");
    EXPECT_EQ(c.doc().marker, 0);

    quit();
    MainController& again = launch();
    settle();
    ASSERT_EQ(again.tabs.size(), 2u);
    again.switchToTab(0);
    settle();
    EXPECT_EQ(again.doc().marker, 0);
    EXPECT_EQ(row(again, "sketches")->text(), "▸  Esquisses");
    EXPECT_TRUE(row(again, "origin") && row(again, "plane:XY"));
    QTest::mouseClick(row(again, "sketches"), Qt::LeftButton);
    settle();
    EXPECT_EQ(row(again, "sketches")->text(), "▾  Esquisses");
}

TEST_F(TimelineBrowserTest, RenamingFromTheTimelineLeavesTheOpenSketchFirst) {
    MainController& c = open(twoExtrusions(4));
    QTest::mouseClick(row(c, "sketch:3"), Qt::LeftButton);
    settle();
    ASSERT_EQ(c.mode(), Mode::sketch);
    const size_t depth = c.undoStack.size();
    dialogs->textAnswer = " Base ";
    ASSERT_TRUE(choose(feature(c, 0), "Renommer…"));
    EXPECT_EQ(c.mode(), Mode::model);
    EXPECT_EQ(c.doc().features[0].name, "Base");
    EXPECT_EQ(feature(c, 0)->text(), "Base");
    EXPECT_EQ(c.undoStack.size(), depth + 1);
    c.undoAction();
    settle();
    EXPECT_EQ(c.doc().features[0].name, "Esquisse1");
}

TEST_F(TimelineBrowserTest, DuplicatingAndRemovingAreStepsAtTheMarker) {
    MainController& c = open(twoExtrusions(3));
    dialogs->numbers.push_back({30, 0, 5});
    ASSERT_TRUE(choose(row(c, "sketch:0"), "Dupliquer avec décalage…"));
    ASSERT_EQ(dialogs->numberPrompts.size(), 1u);
    EXPECT_EQ(dialogs->numberPrompts[0].title, "Dupliquer « Esquisse1 »");
    EXPECT_EQ(featureNames(c)[3], "Esquisse1 (copie)");
    EXPECT_EQ(c.doc().marker, 4);
    EXPECT_EQ(c.memory.lastDX, 30);

    ASSERT_TRUE(choose(row(c, "body:2"), "Supprimer le corps"));
    EXPECT_EQ(featureNames(c)[4], "Supprimer Corps 1");
    EXPECT_EQ(c.doc().marker, 5);
    EXPECT_FALSE(row(c, "body:2"));
    EXPECT_EQ(c.statusText(),
              "Corps supprimé (annulable avec Ctrl+Z, ou en supprimant « "
              "Supprimer Corps 1 » dans la timeline).");
    c.undoAction();
    settle();
    EXPECT_TRUE(row(c, "body:2"));
    EXPECT_EQ(c.doc().features.size(), 5u);
}

// Right-clicks the view where `at` is seen and returns the menu it opened.
QMenu* viewMenuAt(MainController& c, V3 at) {
    const ViewPoint p = *c.viewport->project(at);
    const QPoint q(qRound(p.x), qRound(c.viewport->height() - p.y));
    QTest::mouseMove(c.viewport, q);
    QTest::mouseClick(c.viewport, Qt::RightButton, Qt::NoModifier, q);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

::testing::AssertionResult chooseIn(QMenu* menu, const QString& text) {
    if (!menu) return ::testing::AssertionFailure() << "no menu";
    QStringList offered;
    for (QAction* a : menu->actions()) {
        offered << (a->isSeparator() ? "—" : a->text());
        if (a->text() != text || a->isSeparator()) continue;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
        settle();
        return ::testing::AssertionSuccess();
    }
    menu->close();
    return ::testing::AssertionFailure() << offered.join(" | ").toStdString();
}

TEST_F(TimelineBrowserTest, TheViewsMenuOffersWhatLiesUnderThePointerInEachMode) {
    MainController& c = open(twoExtrusions(4));
    c.viewport->setView("iso");
    c.viewport->fit();
    settle();
    EXPECT_TRUE(chooseIn(viewMenuAt(c, {10, 5, 6}), "Masquer le corps"));  // a top face
    EXPECT_EQ(c.doc().hidden, (std::vector<Id>{2}));
    EXPECT_TRUE(c.undoStack.empty());

    ASSERT_TRUE(chooseIn(viewMenuAt(c, {200, 0, 200}), "Nouvelle esquisse"));  // nothing there
    EXPECT_EQ(c.mode(), Mode::choosePlane);
    ASSERT_TRUE(chooseIn(viewMenuAt(c, {200, 0, 200}), "Annuler"));
    EXPECT_EQ(c.mode(), Mode::model);

    QTest::mouseClick(row(c, "sketch:3"), Qt::LeftButton);
    settle();
    ASSERT_EQ(c.mode(), Mode::sketch);
    EXPECT_TRUE(chooseIn(viewMenuAt(c, {200, 200, 0}), "Cercle"));
    EXPECT_EQ(c.activeSketchTool(), "circle");
    EXPECT_TRUE(chooseIn(viewMenuAt(c, {200, 200, 0}), "Terminer l'esquisse"));
    EXPECT_EQ(c.mode(), Mode::model);
}

}  // namespace
}  // namespace ivo::testing
