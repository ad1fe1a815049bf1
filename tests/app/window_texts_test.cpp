// What the window says: its title as the window system shows it, and the status line across
// mode changes, undo and redo.
#include "app/app_fixture.h"
#include "app/x11_title.h"
#include "document/doc_json.h"
#include "support/doc_builder.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

using WindowTexts = AppFixture;

// The title once the toolkit has passed it on to the X server.
std::string settledTitle(const QWidget& window, const std::string& expected) {
    std::string title;
    for (int i = 0; i < 50; ++i) {
        QApplication::processEvents();
        title = x11WindowTitle(window.winId());
        if (title == expected) break;
        QTest::qWait(20);
    }
    return title;
}

TEST_F(WindowTexts, TitleNamesTheApplicationOnceAndMarksUnsavedChanges) {
    MainController& c = launch({example("plaque_percee.q3d")});
    EXPECT_EQ(settledTitle(*c.window, "Ivorane 3D — plaque_percee"), "Ivorane 3D — plaque_percee");
    c.startSketch(SketchPlane::xy());  // a change: unsaved
    EXPECT_EQ(settledTitle(*c.window, "Ivorane 3D — plaque_percee*"),
              "Ivorane 3D — plaque_percee*");
    c.newTab();  // another tab's unsaved change still marks the window
    EXPECT_EQ(settledTitle(*c.window, "Ivorane 3D — Sans titre*"), "Ivorane 3D — Sans titre*");
}

TEST_F(WindowTexts, EveryModeChangeClearsOrReplacesTheStatus) {
    // Two sketches with the marker between them: a new sketch goes in at index 1, where the
    // second one comes back after an undo.
    DocBuilder b;
    b.sketch(rectSketch(0, 0, 10, 10));
    b.sketch(rectSketch(20, 0, 30, 10));
    b.doc.marker = 1;
    const std::string twoSketches = tmp.write("deux.q3d", encodeDoc(b.doc, true));

    struct Case {
        const char* name;
        std::string file;  // empty: the blank tab
    };
    for (const Case& k : {Case{"blank", ""}, Case{"sketch after the marker", twoSketches}}) {
        MainController& c =
            launch(k.file.empty() ? std::vector<std::string>{} : std::vector<std::string>{k.file});
        const size_t before = c.doc().features.size();
        c.beginChoosePlane();
        EXPECT_EQ(c.mode(), Mode::choosePlane) << k.name;
        c.startSketch(SketchPlane::xy());
        ASSERT_EQ(c.mode(), Mode::sketch) << k.name;
        const std::string name = c.doc().features[*c.editSketch()].name;
        EXPECT_EQ(c.statusText().toStdString(),
                  "Esquisse « " + name + " » ouverte. « Terminer l'esquisse » revient au modèle.")
            << k.name;

        c.undoAction();  // the new sketch is gone: back to the model, and the status says so
        EXPECT_TRUE(c.doc().features.size() == before && c.mode() == Mode::model &&
                    !c.editSketch() && c.statusText().isEmpty())
            << k.name;
        c.redoAction();  // the sketch is back, not reopened
        EXPECT_TRUE(c.doc().features.size() == before + 1 && c.mode() == Mode::model) << k.name;

        c.beginChoosePlane();
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        EXPECT_TRUE(c.handleKey(&escape));
        EXPECT_EQ(c.statusText().toStdString(), "") << k.name;

        c.startSketch(SketchPlane::xz());
        c.finishSketch();
        EXPECT_EQ(c.statusText().toStdString(),
                  "Esquisse terminée. Cliquez sur « Esquisse » pour en commencer une autre.")
            << k.name;
        quit();
    }
}

TEST_F(WindowTexts, UndoInsideAnOpenSketchKeepsEditingThatSketch) {
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

}  // namespace
}  // namespace ivo::testing
