// The timeline strip and the browser column of the real window: their buttons clicked and
// their context menus chosen with the mouse, the questions answered by scripted dialogs. What
// deleting, renaming, duplicating and removing do to the document is tabled in
// tests/document/timeline_edit_test.cpp; here the menus, questions, rows and undo steps.
#include <filesystem>

#include <QLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

#include "app/app_fixture.h"
#include "support/doc_builder.h"
#include "support/export_readers.h"

namespace ivo::testing {
namespace {

using std::tuple;

QToolButton* feature(MainController& c, size_t i) {
    return c.timelineStack->findChild<QToolButton*>(toQt("feat:" + std::to_string(i)));
}

QPushButton* row(MainController& c, const std::string& id) {
    QPushButton* b = c.browserStack->findChild<QPushButton*>(toQt(id));
    return b && b->isVisibleTo(c.window.get()) ? b : nullptr;
}

::testing::AssertionResult choose(QWidget* w, const QString& text) {
    return chooseIn(contextMenuOf(w), text);
}

// Clicks the timeline's marker button or a browser eye by its name.
void press(MainController& c, const char* name) {
    QToolButton* b = c.timelineControls->findChild<QToolButton*>(name);
    if (!b) b = c.browserStack->findChild<QToolButton*>(name);
    ASSERT_TRUE(b) << name;
    QTest::mouseClick(b, Qt::LeftButton);
    settle();
}
void click(QWidget* w) {
    ASSERT_TRUE(w);
    QTest::mouseClick(w, Qt::LeftButton);
    settle();
}

std::vector<std::string> featureNames(const MainController& c) {
    std::vector<std::string> out;
    for (const Feature& f : c.doc().features)
        out.push_back(f.name);
    return out;
}

// Esquisse1 used by two extrusions that each start a body, then an unrelated sketch.
Doc twoExtrusions(std::int64_t marker, std::vector<Id> hidden = {}) {
    DocBuilder b;
    const Id s = b.sketch(rectSketch(0, 0, 20, 10));
    b.extrude(s, {{5, 5}}, 6);
    b.extrude(s, {{5, 5}}, -4);
    b.sketch(rectSketch(30, 0, 40, 10));
    b.doc.marker = marker;
    b.doc.hidden = std::move(hidden);
    return b.doc;
}

struct TimelineBrowserTest : AppFixture {
    MainController& open(const Doc& d) {
        std::filesystem::remove_all(dataDir());  // no session of an earlier launch
        MainController& c = launchWith(d);
        settle();
        return c;
    }
};

// A timeline longer than its strip scrolls to the marker when the marker moves, and only then.
TEST_F(TimelineBrowserTest, ALongTimelineKeepsTheMarkerInSight) {
    MainController& c = launch({example("piece_30_fonctions.q3d")});
    settle();
    QWidget* view = c.timelineScroll->viewport();
    const auto markerInSight = [&] {
        QWidget* m = c.timelineStack->findChild<QWidget*>("timelineMarker");
        return m && view->rect().contains(QRect(m->mapTo(view, QPoint(0, 0)), m->size()));
    };
    QScrollBar* bar = c.timelineScroll->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the sample's timeline fits: the test proves nothing";
    EXPECT_TRUE(markerInSight());  // opened with the marker after the last feature
    press(c, "markerStart");
    EXPECT_TRUE(markerInSight() && bar->value() == 0);
    // Looking further along the strip survives a rebuild that leaves the marker in place.
    bar->setValue(bar->maximum());
    c.rebuildAll();
    settle();
    EXPECT_EQ(bar->value(), bar->maximum());
    press(c, "markerForward");
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
                  "« Esquisse1 » est utilisée par : Extrusion1, Extrusion2");
        EXPECT_EQ(dialogs->questions[0].details,
                  "Supprimer aussi ces fonctions|Supprimer seulement « Esquisse1 »|Annuler");
        EXPECT_EQ(tuple(featureNames(c), c.doc().marker, c.undoStack.size()),
                  tuple(k.left, k.marker, depth + (k.answer == 2 ? 0 : 1)));
        if (k.answer == 1) {
            // Kept by choice, the extrusions fail, in red with the evaluator's message.
            EXPECT_TRUE(feature(c, 0)->property("failed").toBool());
            EXPECT_EQ(feature(c, 0)->toolTip(), "Extrusion1 : Esquisse introuvable.");
            EXPECT_FALSE(feature(c, 2)->property("failed").toBool());
        }
        if (k.answer != 2) {
            c.undoAction();
            settle();
            EXPECT_EQ(tuple(featureNames(c), c.doc().marker), tuple(cases.back().left, 3));
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
    press(c, "markerEnd");
    EXPECT_EQ(tuple(c.doc().marker, markerIndex(), c.dirty), tuple(4, 4, true));
    press(c, "markerBack");
    EXPECT_EQ(c.doc().marker, 3);
    ASSERT_TRUE(choose(feature(c, 0), "Placer le marqueur après"));
    EXPECT_EQ(c.doc().marker, 1);
    EXPECT_FALSE(feature(c, 0)->property("dimmed").toBool());
    EXPECT_TRUE(c.undoStack.empty());  // marker moves are no undo steps

    // A click on a sketch's own marker opens it, and its rebuilt marker shows it pressed.
    click(feature(c, 3));
    EXPECT_EQ(tuple(c.mode(), c.editSketch()), tuple(Mode::sketch, std::optional<size_t>(3)));
    EXPECT_TRUE(feature(c, 3)->isChecked());
    ASSERT_TRUE(row(c, "sketch:3"));
    EXPECT_EQ(row(c, "sketch:3")->text(), " Esquisse2  (en cours)");
}

TEST_F(TimelineBrowserTest, HiddenBodiesAreListedDimmedAndHidingOrABlankNameMakesNoUndoStep) {
    MainController& c = open(twoExtrusions(4, {2}));
    ASSERT_TRUE(row(c, "body:2") && row(c, "body:3"));
    EXPECT_TRUE(row(c, "body:2")->property("dimmed").toBool());
    EXPECT_FALSE(row(c, "body:3")->property("dimmed").toBool());
    EXPECT_EQ(c.browserStack->findChild<QToolButton*>("eye:body:2")->property("symbol").toString(),
              "eye.slash");
    EXPECT_FALSE(c.dirty);

    press(c, "eye:body:3");
    EXPECT_EQ(c.doc().hidden, (std::vector<Id>{2, 3}));
    EXPECT_TRUE(c.dirty && c.window->isWindowModified() && c.undoStack.empty());
    ASSERT_TRUE(choose(row(c, "body:2"), "Afficher le corps"));
    EXPECT_EQ(c.doc().hidden, (std::vector<Id>{3}));
    EXPECT_TRUE(c.undoStack.empty());
    // A blank name is refused (a body renamed from this menu is driven by the end-to-end
    // full session).
    dialogs->textAnswer = "   ";
    ASSERT_TRUE(choose(row(c, "body:2"), "Renommer…"));
    EXPECT_EQ(dialogs->prompts.back(), std::pair(QString("Nom du corps"), QString("Corps 1")));
    EXPECT_EQ(row(c, "body:2")->text(), " Corps 1");
    EXPECT_EQ(c.statusText(), "Un nom ne peut pas être vide : « Corps 1 » garde son nom.");
    EXPECT_TRUE(c.undoStack.empty());

    // Features after the marker and suppressed sketches are not listed.
    EXPECT_TRUE(row(c, "sketch:0") && row(c, "sketch:3"));
    ASSERT_TRUE(choose(feature(c, 3), "Désactiver"));
    EXPECT_FALSE(row(c, "sketch:3"));
    EXPECT_EQ(c.undoStack.size(), 1u);
}

TEST_F(TimelineBrowserTest, ExportingSaysWhenNothingIsVisibleOrTheFolderCannotTakeTheFile) {
    MainController& c = open(twoExtrusions(4, {2, 3}));
    const auto exportStl = [&](const std::string& path) {
        dialogs->savePath = toQt(path);
        click(c.toolButtons.at("stl"));
    };
    exportStl("");
    ASSERT_EQ(dialogs->alerts.size(), 1u);
    EXPECT_EQ(dialogs->alerts[0].message, "Rien à exporter");
    EXPECT_EQ(dialogs->alerts[0].informative, "Aucun corps visible.");
    EXPECT_TRUE(dialogs->proposedNames.empty());

    press(c, "eye:body:3");
    const std::string notAFolder = tmp.write("dossier", "x");
    exportStl(notAFolder + "/piece.stl");
    ASSERT_EQ(dialogs->alerts.size(), 2u);
    EXPECT_EQ(dialogs->alerts[1].message, "Export impossible");
    EXPECT_FALSE(dialogs->alerts[1].informative.isEmpty());
    EXPECT_EQ(readAll(notAFolder), "x");

    exportStl(tmp.path() + "/tout.STL");
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
    click(row(c, "sketches"));
    EXPECT_EQ(row(c, "sketches")->text(), "▸  Esquisses");
    EXPECT_FALSE(row(c, "sketch:0"));
    press(c, "markerStart");
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
    click(row(again, "sketches"));
    EXPECT_EQ(row(again, "sketches")->text(), "▾  Esquisses");
}

TEST_F(TimelineBrowserTest, RenamingFromTheTimelineLeavesTheOpenSketchFirst) {
    MainController& c = open(twoExtrusions(4));
    click(row(c, "sketch:3"));
    ASSERT_EQ(c.mode(), Mode::sketch);
    const size_t depth = c.undoStack.size();
    dialogs->textAnswer = " Base ";
    ASSERT_TRUE(choose(feature(c, 0), "Renommer…"));
    EXPECT_EQ(tuple(c.mode(), c.doc().features[0].name, c.undoStack.size()),
              tuple(Mode::model, "Base", depth + 1));
    EXPECT_EQ(feature(c, 0)->text(), "Base");
    c.undoAction();
    settle();
    EXPECT_EQ(c.doc().features[0].name, "Esquisse1");
}

TEST_F(TimelineBrowserTest, DuplicatingAndRemovingAreStepsAtTheMarker) {
    MainController& c = open(twoExtrusions(3));
    dialogs->numbers.push_back({30, 0, 5});
    ASSERT_TRUE(choose(row(c, "sketch:0"), "Dupliquer avec décalage…"));
    ASSERT_EQ(dialogs->numberPrompts.size(), 1u);
    EXPECT_EQ(tuple(featureNames(c)[3], c.doc().marker, c.memory.lastDX),
              tuple("Esquisse1 (copie)", 4, 30.0));

    ASSERT_TRUE(choose(row(c, "body:2"), "Supprimer le corps"));
    EXPECT_EQ(tuple(featureNames(c)[4], c.doc().marker), tuple("Supprimer Corps 1", 5));
    EXPECT_FALSE(row(c, "body:2"));
    c.undoAction();
    settle();
    EXPECT_TRUE(row(c, "body:2"));
    EXPECT_EQ(c.doc().features.size(), 5u);
}

// Right-clicks the view at `q` and returns the menu it opened.
QMenu* viewMenuAt(MainController& c, QPoint q) {
    clickView(c, q, {}, Qt::RightButton);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

TEST_F(TimelineBrowserTest, TheViewsMenuOffersWhatLiesUnderThePointerInEachMode) {
    MainController& c = open(twoExtrusions(4));
    c.viewport->setView("iso");
    c.viewport->fit();
    settle();
    const QPoint nothing(5, c.viewport->height() - 5);
    EXPECT_TRUE(chooseIn(viewMenuAt(c, seenAt(c, {10, 5, 6})), "Masquer le corps"));  // a top face
    EXPECT_EQ(c.doc().hidden, (std::vector<Id>{2}));
    EXPECT_TRUE(c.undoStack.empty());

    ASSERT_TRUE(chooseIn(viewMenuAt(c, nothing), "Nouvelle esquisse"));
    EXPECT_EQ(c.mode(), Mode::choosePlane);
    ASSERT_TRUE(chooseIn(viewMenuAt(c, nothing), "Annuler"));
    EXPECT_EQ(c.mode(), Mode::model);

    click(row(c, "sketch:3"));
    ASSERT_EQ(c.mode(), Mode::sketch);
    EXPECT_TRUE(chooseIn(viewMenuAt(c, nothing), "Cercle"));
    EXPECT_EQ(c.activeSketchTool(), "circle");
    EXPECT_TRUE(chooseIn(viewMenuAt(c, nothing), "Terminer l'esquisse"));
    EXPECT_EQ(c.mode(), Mode::model);
}

// The browser's first row names the file the document was last saved to.
TEST_F(TimelineBrowserTest, TheDocumentRowFollowsTheFileSavedTo) {
    MainController& c = launch();
    const auto documentRow = [&] {
        QApplication::processEvents();
        QPushButton* b = c.browserStack->findChild<QPushButton*>("doc");
        return b ? b->text().trimmed() : QString("(pas de ligne)");
    };
    EXPECT_EQ(documentRow(), "Sans titre");
    for (const char* name : {"piece", "support"}) {
        dialogs->savePath = toQt(tmp.path() + "/" + name + ".q3d");
        ASSERT_TRUE(c.saveDocumentAs());
        EXPECT_EQ(documentRow(), name);
    }
    ASSERT_TRUE(c.saveDocument());
    EXPECT_EQ(documentRow(), "support");
    EXPECT_EQ(c.fileURL, tmp.path() + "/support.q3d");
}

}  // namespace
}  // namespace ivo::testing
