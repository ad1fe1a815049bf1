// Selecting in the model with the mouse: faces, sketch regions and bodies under the pointer,
// additive clicks, the status counts and the highlights the view draws.
#include <QTest>

#include "app/app_fixture.h"
#include "document/doc_json.h"
#include "document/features.h"
#include "support/sketch_builder.h"
#include "viewport/viewport.h"

namespace ivo::testing {
namespace {

using SelectionGuiTest = AppFixture;

const std::string kTail = " — E pour extruder, Maj-clic pour ajouter, Échap pour annuler.";

// The box with its top sketch as a model file.
std::string boxWithTopSketchFile(TempDir& tmp) {
    return tmp.write("boite.q3d", encodeDoc(boxWithTopSketch(), true));
}

class Mouse {
public:
    explicit Mouse(MainController& c) : c_(c) {}
    QPoint at(V3 q) const {
        const std::optional<ViewPoint> s = c_.viewport->project(q);
        EXPECT_TRUE(s);
        return s ? QPoint(qRound(s->x), qRound(c_.viewport->height() - s->y)) : QPoint();
    }
    void click(QPoint q, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseMove(c_.viewport, q);
        QTest::mouseClick(c_.viewport, Qt::LeftButton, mods, q);
    }
    void move(QPoint q) { QTest::mouseMove(c_.viewport, q); }

private:
    MainController& c_;
};

TEST_F(SelectionGuiTest, ClicksBuildTheSelectionAndTheViewHighlightsIt) {
    MainController& c = launch({boxWithTopSketchFile(tmp)});
    c.viewport->setView("iso");
    c.viewport->fit();
    Mouse mouse(c);
    const QPoint face = mouse.at({6, 20, 6});
    const QPoint region = mouse.at({-5, 20, -5});

    mouse.click(face);
    ASSERT_EQ(c.selection.size(), 1u);
    EXPECT_EQ(c.selection[0].kind, SelItem::Kind::face);
    EXPECT_EQ(c.statusText(), toQt("1 face(s)" + kTail));
    ASSERT_EQ(c.viewport->faceHighlights().size(), 1u);
    EXPECT_DOUBLE_EQ(c.viewport->faceHighlights()[0].color.a, 0.42);

    mouse.click(region, Qt::ShiftModifier);
    ASSERT_EQ(c.selection.size(), 2u);
    EXPECT_EQ(c.selection[1].kind, SelItem::Kind::profile);
    EXPECT_EQ(c.statusText(), toQt("1 zone(s) d'esquisse, 1 face(s)" + kTail));
    EXPECT_EQ(c.viewport->highlights().size(), 1u);

    // Ctrl adds too, and a click on a selected item takes it away.
    mouse.click(face + QPoint(3, 2), Qt::ControlModifier);
    ASSERT_EQ(c.selection.size(), 1u);
    EXPECT_EQ(c.selection[0].kind, SelItem::Kind::profile);
    EXPECT_TRUE(c.viewport->faceHighlights().empty() ||
                c.viewport->faceHighlights()[0].color.a < 0.2)
        << "only the hover may tint the face now";

    // Hovering the face previews it faintly.
    mouse.move(region);
    mouse.move(face);
    ASSERT_EQ(c.viewport->faceHighlights().size(), 1u);
    EXPECT_DOUBLE_EQ(c.viewport->faceHighlights()[0].color.a, 0.18);

    // A Shift-click into empty space changes nothing; a plain one clears.
    const QPoint empty(5, 5);
    mouse.click(empty, Qt::ShiftModifier);
    EXPECT_EQ(c.selection.size(), 1u);
    mouse.click(empty);
    EXPECT_TRUE(c.selection.empty() && c.statusText().isEmpty() &&
                c.viewport->highlights().empty());
}

TEST_F(SelectionGuiTest, EveryClickOnARegionDrawnOnAFacePicksTheRegion) {
    MainController& c = launch({boxWithTopSketchFile(tmp)});
    Mouse mouse(c);
    for (const char* view : {"iso", "top"}) {
        c.viewport->setView(view);
        c.viewport->fit();
        for (double x = -7.7; x < -2.2; x += 0.9) {
            for (double z = -7.7; z < -2.2; z += 0.9) {
                mouse.click(mouse.at({x, 20, z}));
                ASSERT_EQ(c.selection.size(), 1u) << view << " " << x << ", " << z;
                EXPECT_EQ(c.selection[0].kind, SelItem::Kind::profile)
                    << view << " " << x << ", " << z;
                c.clearSelection();
            }
        }
    }
}

TEST_F(SelectionGuiTest, BodyFilterSelectsWholeBodiesButRegionsStillWin) {
    MainController& c = launch({boxWithTopSketchFile(tmp)});
    c.viewport->setView("iso");
    c.viewport->fit();
    c.runTool("selBody");
    Mouse mouse(c);
    mouse.click(mouse.at({6, 20, 6}));
    ASSERT_EQ(c.selection.size(), 1u);
    EXPECT_EQ(c.selection[0].kind, SelItem::Kind::body);
    EXPECT_EQ(c.statusText(), toQt("1 corps" + kTail));
    ASSERT_EQ(c.viewport->highlights().size(), 1u);
    EXPECT_EQ(c.viewport->highlights()[0].tris.size(), c.viewport->bodyTris.begin()->second.size());

    mouse.click(mouse.at({-5, 20, -5}));
    ASSERT_EQ(c.selection.size(), 1u);
    EXPECT_EQ(c.selection[0].kind, SelItem::Kind::profile);

    // The filter is kept in the preferences.
    quit();
    MainController& again = launch();
    EXPECT_EQ(again.selFilter, "body");
}

}  // namespace
}  // namespace ivo::testing
