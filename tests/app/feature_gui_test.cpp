// Making solids in the window with real events: "E", the panel's fields, the automatic
// operation, the arrow dragged in the view, OK and Annuler, and what tabs and undo do to an open
// feature. Field limits and drag rounding are tabled in tests/document/features_test.cpp.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "app/app_fixture.h"
#include "app/feature_inspector.h"
#include "app/model_selection.h"
#include "document/features.h"
#include "support/doc_builder.h"

namespace ivo::testing {
namespace {

using std::tuple;

// A 40 mm square with a 5 mm circle in its middle, on the XY plane.
Doc ringDoc() {
    DocBuilder b;
    Sketch s = rectSketch(-20, -20, 20, 20);
    addCircle(s, {0, 0}, 5);
    b.sketch(std::move(s));
    return b.doc;
}

class FeatureGuiTest : public AppFixture {
public:
    MainController* c = nullptr;

    void start(const Doc& doc) {
        c = &launchWith(doc);
        c->viewport->setView("iso");
        c->viewport->fit();
    }
    QPoint px(V3 q) const { return seenAt(*c, q); }
    void drag(QPoint from, QPoint to) { dragMouse(c->viewport, from, to); }
    void click(QPoint q) { clickView(*c, q); }
    void keyInView(Qt::Key k) {
        c->viewport->setFocus();
        QTest::keyClick(c->viewport, k);
    }
    // Types into the field of the panel, its text first selected.
    void typeInField(const std::string& key, const QString& text) {
        QLineEdit* edit = c->featureInspector->lineEdit(key);
        ASSERT_TRUE(edit) << key;
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    const Feature& open() const { return *c->openFeature(); }
};

TEST_F(FeatureGuiTest, EExtrudesTheRingAsANewBodyAndATabSwitchCommitsIt) {
    start(ringDoc());
    keyInView(Qt::Key_E);
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    const Feature& f = open();
    ASSERT_TRUE(f.extrude);
    EXPECT_EQ(tuple(f.extrude->op, f.extrude->picks.size()), tuple(op::newBody, 1u));

    const Region ring =
        c->doc().features[0].sketch->regions().size() == 2
            ? Evaluator::pickRegions(*c->doc().features[0].sketch, f.extrude->picks)[0]
            : Region{};
    ASSERT_EQ(ring.holes.size(), 1u);
    const double area = polyArea(ring.outer) + polyArea(ring.holes[0]);
    ASSERT_EQ(c->result().bodies.size(), 1u);
    EXPECT_NEAR(shownVolume(*c), area * 10, 1e-6);

    // A digit typed in the view goes to the distance field; a letter does nothing.
    c->viewport->setFocus();
    QTest::keyClicks(c->viewport, "7");
    QLineEdit* edit = c->featureInspector->lineEdit("distance");
    EXPECT_TRUE(edit->text() == "7" && edit->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), "2");
    QTest::keyClicks(c->viewport, "x");
    EXPECT_EQ(open().extrude->distance, 72);
    // A zero is refused and keeps the preview.
    typeInField("distance", "0");
    EXPECT_EQ(open().extrude->distance, 72);
    EXPECT_NEAR(shownVolume(*c), area * 72, 1e-6);
    // "-5" flips it below the plane.
    typeInField("distance", "-5");
    const Box3 box = solidBox(*c->result().bodies[0].solid);
    EXPECT_EQ(open().extrude->distance, -5);
    EXPECT_TRUE(std::abs(box.lo.z + 5) < 1e-9 && std::abs(box.hi.z) < 1e-9);

    // Another tab commits the open feature in its own tab (Return is driven by the end-to-end
    // full session) and hides the extruded sketch; closing the tab closes an open feature.
    c->newTab();
    EXPECT_EQ(tuple(c->mode(), c->inspector->isVisible(), c->doc().features.size()),
              tuple(Mode::model, false, 0u));
    EXPECT_FALSE(c->featureInspector->feature());
    c->switchToTab(0);
    ASSERT_EQ(tuple(c->mode(), c->doc().features.size()), tuple(Mode::model, 2u));
    EXPECT_EQ(tuple(c->doc().features[0].sketch->visible, c->doc().features[1].extrude->distance),
              tuple(false, -5.0));
    c->editFeatureAt(1);
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    dialogs->answer = 1;  // "Ne pas enregistrer"
    c->closeTab(0);
    EXPECT_TRUE(c->mode() == Mode::model && !c->featureInspector->feature() && !c->openFeature());
}

TEST_F(FeatureGuiTest, CancelAfterEditsClicksAndDragsRestoresTheDocumentAndTheMarker) {
    start(boxWithTopSketch());
    const std::string bytes = encodeDoc(c->doc(), false);
    const size_t depth = c->undoStack.size();
    keyInView(Qt::Key_E);
    typeInField("distance", "-3");
    click(px({-5, 20, -5}));  // the picked region is deselected, then picked again
    EXPECT_TRUE(open().extrude->picks.empty());
    click(px({-5, 20, -5}));
    EXPECT_EQ(open().extrude->picks.size(), 1u);
    const std::optional<ExtrudeHandle> h = c->currentExtrudeHandle();
    drag(px(h->tip), px(h->tip + h->n * 4));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(tuple(c->mode(), encodeDoc(c->doc(), false), c->doc().marker, c->undoStack.size(),
                    c->inspector->isVisible()),
              tuple(Mode::model, bytes, 3, depth, false));

    // An existing feature reopened, edited and cancelled comes back as it was.
    c->editFeatureAt(1);
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    typeInField("distance", "33");
    EXPECT_EQ(open().extrude->distance, 33);
    c->inspectorCancel();
    EXPECT_EQ(encodeDoc(c->doc(), false), bytes);

    // Undo while a feature is open is the same as cancelling it.
    c->runTool("cyl");
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    c->undoAction();
    EXPECT_EQ(tuple(c->mode(), encodeDoc(c->doc(), false)), tuple(Mode::model, bytes));
}

TEST_F(FeatureGuiTest, RefusalsAreAlertsAndChangeNothing) {
    start(Doc{});
    const std::string bytes = encodeDoc(c->doc(), false);
    for (const char* tool : {"extrude", "filletF", "combine"}) {
        c->runTool(tool);
        EXPECT_EQ(c->mode(), Mode::model) << tool;
    }
    EXPECT_EQ(tuple(dialogs->alerts.size(), encodeDoc(c->doc(), false), c->undoStack.size()),
              tuple(3u, bytes, 0u));
}

// The click on a face that an extrusion goes up to is driven by the end-to-end model session.
TEST_F(FeatureGuiTest, AClickOnALineMakesItTheRevolutionAxis) {
    Doc doc;
    insertPrimitive(doc, "box", false);  // a box, and beside it a square on the ground
    doc.features.push_back(polygonSketch(doc, "Esquisse1", SketchPlane::xz(),
                                         {{30, 0, -5}, {40, 0, -5}, {40, 0, 5}, {30, 0, 5}}));
    doc.marker = 3;
    start(doc);
    c->runTool("revolve");
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    const Sketch& s = *c->doc().features[2].sketch;
    const SLine& left = s.lines[3];  // (30, 0, 5) → (30, 0, -5)
    click(px(s.plane.to3D((*s.pos(left.a) + *s.pos(left.b)) / 2)) + QPoint(2, 0));
    EXPECT_EQ(tuple(open().revolve->axis, c->featureInspector->tag("axis")),
              tuple(left.id, left.id));
}

TEST_F(FeatureGuiTest, AFeatureWhoseSketchIsGoneKeepsItWhenItsPanelIsRead) {
    Doc doc = ringDoc();
    const Id sketchId = doc.features[0].id;
    Feature e(doc.newId(), fk::extrude, "Extrusion1");
    e.sketch.reset();
    e.extrude = ExtrudeP{sketchId, {{15, 15}}, 10, false, op::newBody, 0, {}};
    doc.features.push_back(std::move(e));
    doc.features.erase(doc.features.begin());  // the sketch deleted alone
    doc.marker = 1;
    start(doc);
    c->editFeatureAt(0);
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    EXPECT_EQ(c->featureInspector->error(), toQt(std::string(evalmsg::noSketch)));
    typeInField("distance", "7");
    EXPECT_EQ(tuple(open().extrude->sketch, open().extrude->picks.size(), open().extrude->distance),
              tuple(sketchId, 1u, 7.0));
    EXPECT_TRUE(c->inspector->isVisible()) << "an error never closes the panel";
}

TEST_F(FeatureGuiTest, RebuildingThePanelFromItsOwnPopUpDefersDeletingIt) {
    start(ringDoc());
    keyInView(Qt::Key_E);
    QPointer<QComboBox> extent = c->featureInspector->comboBox("extent");
    ASSERT_TRUE(extent);
    extent->setFocus();
    QTest::keyClick(extent, Qt::Key_Down);  // "Jusqu'à une face", as the user picks it
    EXPECT_TRUE(extent) << "the sender is still alive while its signal runs";
    EXPECT_NE(c->featureInspector->comboBox("extent"), extent.data());
    EXPECT_EQ(c->featureInspector->str("extent"), "face");
    settle();
    EXPECT_FALSE(extent) << "the old panel is gone once control is back in the event loop";
}

// Selecting in the model with the mouse, as wiring: what lies under a click, which item wins
// and how clicks add are tabled in model_selection_test.cpp.
using SelectionGuiTest = AppFixture;

TEST_F(SelectionGuiTest, ClicksBuildTheSelectionAndTheViewHighlightsIt) {
    MainController& c = launchWith(boxWithTopSketch());
    c.viewport->setView("iso");
    c.viewport->fit();
    const QPoint face = seenAt(c, {6, 20, 6}), region = seenAt(c, {-5, 20, -5});
    clickView(c, face);
    ASSERT_EQ(c.selection.size(), 1u);
    EXPECT_EQ(c.selection[0].kind, SelItem::Kind::face);
    EXPECT_EQ(c.viewport->faceHighlights().size(), 1u);

    clickView(c, region, Qt::ShiftModifier);
    ASSERT_EQ(c.selection.size(), 2u);
    EXPECT_EQ(c.selection[1].kind, SelItem::Kind::profile);
    EXPECT_EQ(c.statusText(), toQt(selectionStatus(c.selection)));
    EXPECT_EQ(c.viewport->highlights().size(), 1u);

    // Ctrl adds too, and a click on a selected item takes it away.
    clickView(c, face + QPoint(3, 2), Qt::ControlModifier);
    ASSERT_EQ(c.selection.size(), 1u);

    clickView(c, {5, 5});  // empty space clears
    EXPECT_TRUE(c.selection.empty() && c.statusText().isEmpty() &&
                c.viewport->highlights().empty());

    // The body filter selects whole bodies, and is kept in the preferences.
    c.runTool("selBody");
    clickView(c, face);
    EXPECT_TRUE(c.selection.size() == 1 && c.selection[0].kind == SelItem::Kind::body);
    quit();
    EXPECT_EQ(launch().selFilter, "body");
}

}  // namespace
}  // namespace ivo::testing
