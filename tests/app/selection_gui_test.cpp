// Selecting in the model with the mouse, as wiring: what lies under a click, which item wins
// and how clicks add are tabled in model_selection_test.cpp.
#include "app/app_fixture.h"

namespace ivo::testing {
namespace {

using SelectionGuiTest = AppFixture;

const std::string kTail = " — E pour extruder, Maj-clic pour ajouter, Échap pour annuler.";

TEST_F(SelectionGuiTest, ClicksBuildTheSelectionAndTheViewHighlightsIt) {
    MainController& c = launchWith(boxWithTopSketch());
    c.viewport->setView("iso");
    c.viewport->fit();
    const QPoint face = seenAt(c, {6, 20, 6}), region = seenAt(c, {-5, 20, -5});
    clickView(c, face);
    ASSERT_EQ(c.selection.size(), 1u);
    EXPECT_EQ(c.selection[0].kind, SelItem::Kind::face);
    EXPECT_EQ(c.statusText(), toQt("1 face(s)" + kTail));
    ASSERT_EQ(c.viewport->faceHighlights().size(), 1u);
    EXPECT_DOUBLE_EQ(c.viewport->faceHighlights()[0].color.a, 0.42);

    clickView(c, region, Qt::ShiftModifier);
    ASSERT_EQ(c.selection.size(), 2u);
    EXPECT_EQ(c.selection[1].kind, SelItem::Kind::profile);
    EXPECT_EQ(c.statusText(), toQt("1 zone(s) d'esquisse, 1 face(s)" + kTail));
    EXPECT_EQ(c.viewport->highlights().size(), 1u);

    // Ctrl adds too, and a click on a selected item takes it away.
    clickView(c, face + QPoint(3, 2), Qt::ControlModifier);
    ASSERT_EQ(c.selection.size(), 1u);
    EXPECT_EQ(c.selection[0].kind, SelItem::Kind::profile);
    // Hovering the face previews it faintly.
    QTest::mouseMove(c.viewport, region);
    QTest::mouseMove(c.viewport, face);
    ASSERT_EQ(c.viewport->faceHighlights().size(), 1u);
    EXPECT_DOUBLE_EQ(c.viewport->faceHighlights()[0].color.a, 0.18);

    clickView(c, {5, 5});  // empty space clears
    EXPECT_TRUE(c.selection.empty() && c.statusText().isEmpty() &&
                c.viewport->highlights().empty());

    // The body filter selects whole bodies, and is kept in the preferences.
    c.runTool("selBody");
    clickView(c, face);
    ASSERT_EQ(c.selection.size(), 1u);
    EXPECT_EQ(c.selection[0].kind, SelItem::Kind::body);
    EXPECT_EQ(c.statusText(), toQt("1 corps" + kTail));
    quit();
    EXPECT_EQ(launch().selFilter, "body");
}

}  // namespace
}  // namespace ivo::testing
