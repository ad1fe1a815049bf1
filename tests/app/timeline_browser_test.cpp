// The timeline strip and the browser column of the real window, clicked and their menus chosen.
// What the edits do to the document is tabled in tests/document/timeline_edit_test.cpp.
#include <filesystem>

#include <QPushButton>
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

// What each answer does to the document is tabled in timeline_edit_test.cpp.
TEST_F(TimelineBrowserTest, DeletingASketchUsedByTwoExtrusionsAsksAndIsOneUndoStep) {
    MainController& c = open(twoExtrusions(3));
    const std::vector<std::string> all{"Esquisse1", "Extrusion1", "Extrusion2", "Esquisse2"};
    ASSERT_TRUE(choose(feature(c, 0), "Supprimer"));  // the script answers "Annuler"
    ASSERT_EQ(dialogs->questions.size(), 1u);
    EXPECT_EQ(dialogs->questions[0].message,
              "« Esquisse1 » est utilisée par : Extrusion1, Extrusion2");
    EXPECT_EQ(tuple(featureNames(c), c.doc().marker, c.undoStack.size()), tuple(all, 3, 0u));
    dialogs->answer = 1;  // "Supprimer seulement « Esquisse1 »"
    ASSERT_TRUE(choose(feature(c, 0), "Supprimer"));
    EXPECT_EQ(tuple(featureNames(c), c.doc().marker, c.undoStack.size()),
              tuple(std::vector<std::string>{"Extrusion1", "Extrusion2", "Esquisse2"}, 2, 1u));
    // Kept by choice, the extrusions fail, and are shown failed.
    EXPECT_TRUE(feature(c, 0)->property("failed").toBool());
    EXPECT_FALSE(feature(c, 2)->property("failed").toBool());
    c.undoAction();
    settle();
    EXPECT_EQ(tuple(featureNames(c), c.doc().marker), tuple(all, 3));
}

// Hiding is no undo step, from the browser or the view; an export says when nothing is visible or
// the folder cannot take the file, and writes the visible bodies only.
TEST_F(TimelineBrowserTest, HidingBodiesAndExportingWhatIsVisible) {
    MainController& c = open(twoExtrusions(4, {2}));
    ASSERT_TRUE(row(c, "body:2") && row(c, "body:3"));
    EXPECT_TRUE(row(c, "body:2")->property("dimmed").toBool());
    EXPECT_FALSE(row(c, "body:3")->property("dimmed").toBool() || c.dirty);
    press(c, "eye:body:3");
    EXPECT_EQ(c.doc().hidden, (std::vector<Id>{2, 3}));
    EXPECT_TRUE(c.dirty && c.window->isWindowModified() && c.undoStack.empty());

    const auto exportStl = [&](const std::string& path) {
        dialogs->savePath = toQt(path);
        click(c.toolButtons.at("stl"));
    };
    exportStl("");
    ASSERT_EQ(dialogs->alerts.size(), 1u);
    EXPECT_TRUE(dialogs->proposedNames.empty());  // nothing visible: no save dialog
    press(c, "eye:body:3");
    const std::string notAFolder = tmp.write("dossier", "x");
    exportStl(notAFolder + "/piece.stl");
    EXPECT_EQ(tuple(dialogs->alerts.size(), readAll(notAFolder)), tuple(2u, "x"));
    exportStl(tmp.path() + "/tout.STL");
    const std::optional<Read3mf> read = readWithLib3mf(readAll(tmp.path() + "/tout.STL"), "stl");
    ASSERT_TRUE(read);
    double volume = 0;
    for (const auto& o : read->objects)
        volume += o.volume;
    EXPECT_NEAR(volume, 20 * 10 * 4, 1e-6);  // the visible body only

    ASSERT_TRUE(choose(row(c, "body:2"), "Afficher le corps"));
    EXPECT_TRUE(c.doc().hidden.empty() && c.undoStack.empty());
    // The view's menu on a top face hides its body.
    c.viewport->setView("iso");
    c.viewport->fit();
    settle();
    clickView(c, seenAt(c, {10, 5, 6}), {}, Qt::RightButton);
    EXPECT_TRUE(
        chooseIn(qobject_cast<QMenu*>(QApplication::activePopupWidget()), "Masquer le corps"));
    EXPECT_TRUE(c.doc().hidden == std::vector<Id>{2} && c.undoStack.empty());
    // A blank name is refused (a renamed body is driven by the end-to-end full session).
    dialogs->textAnswer = "   ";
    ASSERT_TRUE(choose(row(c, "body:2"), "Renommer…"));
    EXPECT_TRUE(row(c, "body:2")->text() == " Corps 1" && c.undoStack.empty());
    // Suppressed sketches are not listed.
    EXPECT_TRUE(row(c, "sketch:0") && row(c, "sketch:3"));
    ASSERT_TRUE(choose(feature(c, 3), "Désactiver"));
    EXPECT_TRUE(!row(c, "sketch:3") && c.undoStack.size() == 1);
}

// Renaming from the timeline leaves the open sketch first; duplicating and removing a body
// are steps at the marker.
TEST_F(TimelineBrowserTest, RenamingDuplicatingAndRemovingAreUndoSteps) {
    MainController& c = open(twoExtrusions(4));
    click(row(c, "sketch:3"));
    ASSERT_EQ(c.mode(), Mode::sketch);
    const size_t depth = c.undoStack.size();
    dialogs->textAnswer = " Base ";
    ASSERT_TRUE(choose(feature(c, 0), "Renommer…"));
    EXPECT_EQ(tuple(c.mode(), c.doc().features[0].name, c.undoStack.size(), feature(c, 0)->text()),
              tuple(Mode::model, "Base", depth + 1, "Base"));
    c.undoAction();
    settle();
    EXPECT_EQ(c.doc().features[0].name, "Esquisse1");

    dialogs->numbers.push_back({30, 0, 5});
    ASSERT_TRUE(choose(row(c, "sketch:0"), "Dupliquer avec décalage…"));
    ASSERT_EQ(dialogs->numberPrompts.size(), 1u);
    EXPECT_EQ(tuple(featureNames(c)[4], c.doc().marker, c.memory.lastDX),
              tuple("Esquisse1 (copie)", 5, 30.0));
    ASSERT_TRUE(choose(row(c, "body:2"), "Supprimer le corps"));
    EXPECT_EQ(tuple(featureNames(c)[5], c.doc().marker), tuple("Supprimer Corps 1", 6));
    EXPECT_FALSE(row(c, "body:2"));
    c.undoAction();
    settle();
    EXPECT_TRUE(row(c, "body:2") && c.doc().features.size() == 5);
}

}  // namespace
}  // namespace ivo::testing
