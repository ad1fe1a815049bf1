// Smaller behaviours of the window: the sketch view menu on a picked curve, the status after
// saving.
#include <QMenu>

#include "app/main_controller.h"
#include "app_fixture.h"
#include "document/doc_json.h"
#include "editor/sketch_editor.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

class WindowExtrasTest : public AppFixture {};

QAction* entry(QMenu& menu, const QString& text) {
    for (QAction* a : menu.actions())
        if (a->text() == text) return a;
    return nullptr;
}

TEST_F(WindowExtrasTest, CopyingTheContourOfACurveCopiesOnlyTheCurvesJoinedToIt) {
    Doc d;
    Feature f(d.newId(), fk::sketch, "Esquisse1");
    f.sketch = Sketch(SketchPlane::xy());
    addPolygon(*f.sketch, {{0, 0}, {20, 0}, {20, 10}, {0, 10}});
    addCircle(*f.sketch, {50, 5}, 5);
    d.features.push_back(std::move(f));
    d.marker = 1;
    MainController& c = launch({tmp.write("m.q3d", encodeDoc(d, true))});
    c.enterSketch(0);
    ASSERT_EQ(c.mode(), Mode::sketch);
    const QString copyContour = "Copier ce contour avec décalage…";
    {
        std::unique_ptr<QMenu> menu(c.contextMenu({5, 5}));  // nothing selected
        EXPECT_EQ(entry(*menu, copyContour), nullptr);
    }

    c.runTool("select");
    const ViewPoint p = *c.viewport->project({10, 0, 0});  // the middle of the bottom side
    const QPoint q(qRound(p.x), qRound(c.viewport->height() - p.y));
    QTest::mouseMove(c.viewport, q);
    QTest::mouseClick(c.viewport, Qt::LeftButton, Qt::NoModifier, q);
    ASSERT_TRUE(c.editor->selected && c.currentSketch()->curve(*c.editor->selected));

    std::unique_ptr<QMenu> menu(c.contextMenu(p));
    QAction* copy = entry(*menu, copyContour);
    ASSERT_NE(copy, nullptr);
    dialogs->numbers = {{0, 30, 1}};
    copy->trigger();
    ASSERT_EQ(dialogs->numberPrompts.size(), 1u);
    EXPECT_EQ(dialogs->numberPrompts[0].title, "Copier / déplacer le contour sélectionné");
    const Sketch& s = *c.currentSketch();
    EXPECT_EQ(std::tuple(s.lines.size(), s.circles.size()), std::tuple(8u, 1u));
    for (size_t i = 0; i < 4; ++i) {  // the copy is the rectangle 30 mm higher
        const V2 a = *s.pos(s.lines[i].a), b = *s.pos(s.lines[i + 4].a);
        EXPECT_NEAR((b - a).x, 0, 1e-6);
        EXPECT_NEAR((b - a).y, 30, 1e-6);
    }
}

}  // namespace
}  // namespace ivo::testing
