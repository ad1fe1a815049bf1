// Making solids in the window with real events: "E", the floating panel and its fields, the
// automatic operation, the extrusion's arrow dragged in the view, clicks on regions, axes and
// faces, OK and Annuler, and what tabs and undo do to an open feature. The field limits and
// drag rounding are tabled in tests/document/feature_edit_test.cpp; here one case each.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "app/app_fixture.h"
#include "app/feature_inspector.h"
#include "document/features.h"
#include "geometry/csg.h"
#include "input/parse_num.h"
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

double totalVolume(const EvalResult& r) {
    double v = 0;
    for (const Body& b : r.bodies)
        v += signedVolume(*b.solid);
    return v;
}

const QString kRoutine = "Extrusion1 : réglez les paramètres puis validez avec OK (Entrée).";

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
    void choose(const std::string& key, int index) {
        QComboBox* box = c->featureInspector->comboBox(key);
        ASSERT_TRUE(box) << key;
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void pressReturn() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }
    const Feature& open() const { return *c->openFeature(); }
    // Zooms in until 1 mm along `n` at `at` is at least `px` pixels on screen.
    void zoomUntil(V3 at, V3 n, double pxPerMm) {
        for (int i = 0; i < 40; ++i) {
            const auto a = c->viewport->project(at), b = c->viewport->project(at + n);
            if (a && b && (*b - *a).length() >= pxPerMm) return;
            c->viewport->dist *= 0.8;
            c->viewport->target = at;
            c->viewport->updateCamera();
        }
    }
    // Drags the open extrusion's arrow tip to `t` mm along its normal from its base.
    void dragTipTo(double t) {
        const std::optional<ExtrudeHandle> h = c->currentExtrudeHandle();
        ASSERT_TRUE(h);
        drag(px(h->tip), px(h->base + h->n * t));
    }
};

TEST_F(FeatureGuiTest, EOnARectangleWithACircleExtrudesTheRingAsANewBody) {
    start(ringDoc());
    keyInView(Qt::Key_E);
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    const Feature& f = open();
    ASSERT_TRUE(f.extrude);
    EXPECT_EQ(tuple(f.name, f.extrude->op, f.extrude->picks.size()),
              tuple("Extrusion1", op::newBody, 1u));
    EXPECT_TRUE(c->inspector->isVisible());
    EXPECT_EQ(c->featureInspector->str("op"), "new");
    EXPECT_EQ(c->statusText(), kRoutine);

    const Region ring =
        c->doc().features[0].sketch->regions().size() == 2
            ? Evaluator::pickRegions(*c->doc().features[0].sketch, f.extrude->picks)[0]
            : Region{};
    ASSERT_EQ(ring.holes.size(), 1u);
    const double area = polyArea(ring.outer) + polyArea(ring.holes[0]);
    ASSERT_EQ(c->result().bodies.size(), 1u);
    EXPECT_NEAR(totalVolume(c->result()), area * 10, 1e-6);

    // A digit typed in the view goes to the distance field; a letter does nothing.
    c->viewport->setFocus();
    QTest::keyClicks(c->viewport, "7");
    QLineEdit* edit = c->featureInspector->lineEdit("distance");
    EXPECT_TRUE(edit->text() == "7" && edit->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), "2");
    QTest::keyClicks(c->viewport, "x");
    EXPECT_EQ(open().extrude->distance, 72);
    // A zero is refused with the reason and keeps the preview.
    typeInField("distance", "0");
    EXPECT_EQ(open().extrude->distance, 72);
    EXPECT_NEAR(totalVolume(c->result()), area * 72, 1e-6);
    EXPECT_TRUE(c->statusText().contains("nulle refusée")) << c->statusText().toStdString();
    // "-5" flips it below the plane, Return commits.
    typeInField("distance", "-5");
    EXPECT_EQ(open().extrude->distance, -5);
    EXPECT_EQ(c->statusText(), kRoutine);
    const Box3 box = solidBox(*c->result().bodies[0].solid);
    EXPECT_NEAR(box.lo.z, -5, 1e-9);
    EXPECT_NEAR(box.hi.z, 0, 1e-9);
    pressReturn();
    EXPECT_EQ(c->mode(), Mode::model);
    EXPECT_FALSE(c->inspector->isVisible());
    EXPECT_FALSE(c->doc().features[0].sketch->visible) << "the extruded sketch is hidden";
    EXPECT_EQ(c->doc().features[1].extrude->distance, -5);
}

TEST_F(FeatureGuiTest, RegionsOfTwoSketchesExtrudeOnlyTheFirstAndSayItAfterTheRoutineText) {
    Doc doc = ringDoc();
    Feature other(doc.newId(), fk::sketch, "Esquisse2");
    other.sketch = rectSketch(30, 30, 40, 40);
    doc.features.push_back(std::move(other));
    doc.marker = 2;
    start(doc);
    c->selection = {SelItem::profile(doc.features[0].id, {15, 15}),
                    SelItem::profile(doc.features[1].id, {35, 35})};
    keyInView(Qt::Key_E);
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    EXPECT_EQ(tuple(open().extrude->sketch, open().extrude->picks.size()),
              tuple(doc.features[0].id, 1u));
    EXPECT_EQ(c->statusText(),
              "Seules les zones de la première esquisse sélectionnée sont extrudées.");
}

// The operation follows the drag (the rule is tabled in features_test.cpp) until the user
// chooses one; that choice does not carry over to the next push-pull.
TEST_F(FeatureGuiTest, TopFaceExtrusionCutsWhenDraggedInUntilTheUserChooses) {
    start(boxWithTopSketch());
    keyInView(Qt::Key_E);
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    EXPECT_EQ(tuple(open().extrude->op, open().extrude->distance), tuple(op::join, 10.0));
    std::optional<ExtrudeHandle> h = c->currentExtrudeHandle();
    ASSERT_TRUE(h);
    zoomUntil(h->base, h->n, 12);
    dragTipTo(-5.02);
    EXPECT_LT(open().extrude->distance, 0);
    EXPECT_EQ(open().extrude->op, op::cut);
    EXPECT_EQ(c->featureInspector->str("op"), "cut");
    EXPECT_EQ(c->statusText(), "Opération automatique : Couper");

    choose("op", 1);  // "Joindre", by hand: dragging into the body no longer switches it
    dragTipTo(-4.02);
    EXPECT_EQ(open().extrude->op, op::join);
    EXPECT_EQ(c->statusText(),
              toQt(open().name + " : réglez les paramètres puis validez avec OK (Entrée)."));
    typeInField("distance", "10");
    pressReturn();
    ASSERT_EQ(c->mode(), Mode::model);

    click(px({6, 20, 6}));
    ASSERT_EQ(c->selection.size(), 1u);
    ASSERT_EQ(c->selection[0].kind, SelItem::Kind::face);
    keyInView(Qt::Key_E);
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    EXPECT_EQ(c->doc().features[*c->editFeature - 1].name, "Esquisse3 (face)");
    EXPECT_EQ(open().extrude->distance, 5);
    h = c->currentExtrudeHandle();
    ASSERT_TRUE(h);
    zoomUntil(h->base, h->n, 12);
    dragTipTo(-3.02);
    EXPECT_EQ(open().extrude->op, op::cut);
}

TEST_F(FeatureGuiTest, CancelAfterEditsClicksAndDragsRestoresTheDocumentAndTheMarker) {
    start(boxWithTopSketch());
    const std::string bytes = encodeDoc(c->doc(), false);
    const size_t depth = c->undoStack.size();
    keyInView(Qt::Key_E);
    typeInField("distance", "-3");
    click(px({-5, 20, -5}));  // the picked region is deselected
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
    EXPECT_EQ(c->mode(), Mode::model);
    EXPECT_EQ(encodeDoc(c->doc(), false), bytes);
}

TEST_F(FeatureGuiTest, RefusalsAreAlertsAndChangeNothing) {
    start(Doc{});
    const std::string bytes = encodeDoc(c->doc(), false);
    const std::pair<const char*, QString> cases[] = {{"extrude", "Aucune esquisse"},
                                                     {"revolve", "Aucune esquisse"},
                                                     {"filletF", "Aucune extrusion"},
                                                     {"chamfer", "Aucune extrusion"},
                                                     {"combine", "Il faut deux corps"}};
    for (const auto& [tool, message] : cases) {
        c->runTool(tool);
        EXPECT_EQ(c->mode(), Mode::model) << tool;
        ASSERT_FALSE(dialogs->alerts.empty());
        EXPECT_EQ(dialogs->alerts.back().message, message) << tool;
    }
    EXPECT_EQ(dialogs->alerts.size(), 5u);
    EXPECT_EQ(encodeDoc(c->doc(), false), bytes);
    EXPECT_TRUE(c->undoStack.empty());
}

TEST_F(FeatureGuiTest, AClickWritesTheAxisOrTheFaceAndThePanelFollowsIt) {
    // A box, and beside it a square on the ground with a line along its left side.
    Doc doc;
    insertPrimitive(doc, "box", false);
    Feature ground(doc.newId(), fk::sketch, "Esquisse1");
    ground.sketch = Sketch(SketchPlane::xz());
    Loop square;
    for (V3 q : {V3{30, 0, -5}, V3{40, 0, -5}, V3{40, 0, 5}, V3{30, 0, 5}})
        square.push_back(ground.sketch->plane.to2D(q));
    if (polyArea(square) < 0) square = Loop(square.rbegin(), square.rend());
    addPolygon(*ground.sketch, square);
    doc.features.push_back(std::move(ground));
    doc.marker = 3;
    start(doc);

    // Extrusion kept at "Distance": a click on the box's top face aims at it.
    c->runTool("extrude");
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    EXPECT_EQ(c->featureInspector->str("extent"), "dist");
    click(px({0, 20, 0}));
    ASSERT_TRUE(open().extrude->toFace);
    EXPECT_NEAR(open().extrude->distance, 20, 1e-3);
    EXPECT_EQ(c->featureInspector->str("extent"), "face");
    EXPECT_EQ(c->featureInspector->lineEdit("distance")->text(),
              toQt(fmt(open().extrude->distance)));
    dragTipTo(10);  // a free distance again: the plane is dropped
    EXPECT_FALSE(open().extrude->toFace);
    EXPECT_EQ(c->featureInspector->str("extent"), "dist");
    c->inspectorCancel();

    // Revolution: a click on the square's side line makes it the axis.
    c->runTool("revolve");
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    const Sketch& s = *c->doc().features[2].sketch;
    const SLine& left = s.lines[3];  // (30, 0, 5) → (30, 0, -5)
    const V2 mid = (*s.pos(left.a) + *s.pos(left.b)) / 2;
    click(px(s.plane.to3D(mid)) + QPoint(2, 0));
    EXPECT_EQ(open().revolve->axis, left.id);
    EXPECT_EQ(c->featureInspector->tag("axis"), left.id);
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
    EXPECT_EQ(c->featureInspector->comboBox("sketch")->currentText(), "(introuvable)");
    EXPECT_EQ(c->statusText(), toQt(std::string(evalmsg::noSketch)));
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
    EXPECT_EQ(c->statusText(),
              "Jusqu'à une face : cliquez maintenant la face où l'extrusion doit s'arrêter.");
    settle();
    EXPECT_FALSE(extent) << "the old panel is gone once control is back in the event loop";
}

TEST_F(FeatureGuiTest, TabsAndClosingCommitTheOpenFeatureInItsOwnTab) {
    start(ringDoc());
    keyInView(Qt::Key_E);
    typeInField("distance", "12");
    c->newTab();
    EXPECT_EQ(tuple(c->mode(), c->inspector->isVisible(), c->doc().features.size()),
              tuple(Mode::model, false, 0u));
    EXPECT_FALSE(c->featureInspector->feature());
    c->switchToTab(0);
    ASSERT_EQ(c->doc().features.size(), 2u);
    EXPECT_EQ(c->doc().features[1].extrude->distance, 12);
    EXPECT_EQ(c->mode(), Mode::model);

    c->editFeatureAt(1);
    ASSERT_EQ(c->mode(), Mode::featureEdit);
    dialogs->answer = 1;  // "Ne pas enregistrer"
    c->closeTab(0);
    EXPECT_EQ(c->mode(), Mode::model);
    EXPECT_FALSE(c->featureInspector->feature());
    EXPECT_FALSE(c->openFeature());
}

}  // namespace
}  // namespace ivo::testing
