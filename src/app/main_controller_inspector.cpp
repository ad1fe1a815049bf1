// The open feature's panel: its rows per kind, reading it back into the feature with the
// fields' limits, the live re-evaluation after every change, and the keys of the view that
// reach it.
#include <QKeyEvent>
#include <QLineEdit>

#include "app/feature_inspector.h"
#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "input/parse_num.h"
#include "viewport/viewport.h"

namespace ivo {
namespace {

using Option = FeatureInspector::Option;
using Item = FeatureInspector::Item;

const std::vector<Option> kSolidOps{{"Nouveau corps", op::newBody},
                                    {"Joindre", op::join},
                                    {"Couper", op::cut},
                                    {"Intersection", op::intersect}};
const std::vector<Option> kCombineOps{
    {"Joindre", op::join}, {"Couper", op::cut}, {"Intersection", op::intersect}};
const std::vector<Option> kExtents{{"Distance", "dist"}, {"Jusqu'à une face", "face"}};
const std::vector<Option> kEdges{{"Haut", "top"}, {"Bas", "bottom"}, {"Haut et bas", "both"}};
const std::vector<Option> kTypes{{"Congé (arrondi)", "fillet"}, {"Chanfrein (biseau)", "chamfer"}};

QString qfmt(double v) {
    return toQt(fmt(v));
}

std::string refusalText(const FieldRead& r, const std::string& what) {
    switch (r.refusal) {
        case FieldRefusal::none:
            return r.clamped ? "Angle limité à " + fmt(r.value) + " °." : std::string();
        case FieldRefusal::unreadable:
            return what + " illisible : la valeur précédente (" + fmt(r.value) + ") est gardée.";
        case FieldRefusal::zero:
            return what + " nulle refusée : la valeur précédente (" + fmt(r.value) +
                   ") est gardée.";
        case FieldRefusal::negative:
            return what + " négative refusée : la valeur précédente (" + fmt(r.value) +
                   ") est gardée.";
    }
    return {};
}

const Sketch* sketchOf(const Doc& doc, Id id) {
    const std::optional<size_t> i = doc.index(id);
    return i && doc.features[*i].sketch ? &*doc.features[*i].sketch : nullptr;
}

QString profilesText(const Doc& doc, Id sketchId, const std::vector<V2>& picks) {
    const Sketch* s = sketchOf(doc, sketchId);
    const size_t n = s ? Evaluator::pickRegions(*s, picks).size() : 0;
    return QString::number(static_cast<qulonglong>(n)) + " sélectionné(s)";
}

}  // namespace

void MainController::buildInspector() {
    const Feature* f = openFeature();
    if (!f) return;
    FeatureInspector& ins = *featureInspector;
    ins.begin(f->id);
    std::vector<Item> sketches, extrusions, bodies;
    for (size_t i = 0; i < *editFeature; ++i) {
        const Feature& g = doc_.features[i];
        if (g.kind == fk::sketch && g.sketch) sketches.push_back({toQt(g.name), g.id});
        if (g.kind == fk::extrude) extrusions.push_back({toQt(g.name), g.id});
    }
    for (const Body& b : editBodiesBefore)
        bodies.push_back({toQt(displayName(doc_, b)), b.id});
    std::vector<Item> targets{{"Automatique", 0}};
    targets.insert(targets.end(), bodies.begin(), bodies.end());

    QString note;
    if (f->kind == fk::extrude && f->extrude) {
        const ExtrudeP& e = *f->extrude;
        ins.popup("Esquisse", sketches, e.sketch, "sketch");
        ins.text("Profils", profilesText(doc_, e.sketch, e.picks), "profiles");
        ins.popupStr("Étendue", kExtents, e.toFace || awaitingFace ? "face" : "dist", "extent");
        ins.field("Distance (mm)", qfmt(e.distance), "distance");
        ins.check("", "Symétrique", e.symmetric, "symmetric");
        ins.popupStr("Opération", kSolidOps, e.op, "op");
        ins.popup("Corps cible", targets, e.target, "target");
        note =
            "Cliquez les zones de l'esquisse à extruder. Cliquez une face d'une pièce : "
            "l'extrusion va jusqu'à cette face. L'opération se règle seule (Couper si on entre "
            "dans une pièce, Joindre si on en sort) tant que vous ne la changez pas.";
    } else if (f->kind == fk::revolve && f->revolve) {
        const RevolveP& r = *f->revolve;
        ins.popup("Esquisse", sketches, r.sketch, "sketch");
        ins.text("Profils", profilesText(doc_, r.sketch, r.picks), "profiles");
        std::vector<Item> axes{{"Axe X de l'esquisse", -1}, {"Axe Y de l'esquisse", -2}};
        if (const Sketch* s = sketchOf(doc_, r.sketch)) {
            for (size_t i = 0; i < s->lines.size(); ++i)
                axes.push_back({"Ligne " + QString::number(static_cast<qulonglong>(i + 1)) +
                                    (s->lines[i].construction ? " (construction)" : ""),
                                s->lines[i].id});
        }
        ins.popup("Axe", axes, r.axis, "axis");
        ins.field("Angle (°)", qfmt(r.angle), "angle");
        ins.popupStr("Opération", kSolidOps, r.op, "op");
        ins.popup("Corps cible", targets, r.target, "target");
        note =
            "Cliquez un profil pour le sélectionner, ou cliquez une ligne de l'esquisse pour en "
            "faire l'axe. Le profil ne doit pas traverser l'axe.";
    } else if (f->kind == fk::fillet && f->fillet) {
        const FilletP& p = *f->fillet;
        ins.popup("Extrusion", extrusions, p.feature, "feature");
        ins.popupStr("Arêtes", kEdges, p.edges, "edges");
        ins.popupStr("Type", kTypes, p.chamfer ? "chamfer" : "fillet", "type");
        ins.field(p.chamfer ? "Distance (mm)" : "Rayon (mm)", qfmt(p.radius), "radius");
        note =
            "Arrondit ou biseaute tout le contour du haut et/ou du bas de l'extrusion choisie. "
            "Pour les arêtes verticales, faites un congé dans l'esquisse (outil Congé, F).";
    } else if (f->kind == fk::combine && f->combine) {
        const CombineP& c = *f->combine;
        ins.popup("Corps cible", bodies, c.target, "ctarget");
        ins.popup("Corps outil", bodies, c.tool, "ctool");
        ins.popupStr("Opération", kCombineOps, c.op, "op");
        ins.check("", "Conserver l'outil", c.keep, "keep");
    }
    ins.show(toQt(f->name), note);
    layoutInspector();
    updateFeatureStatus();
    ins.focusField({"distance", "angle", "radius"});
}

std::string MainController::readInspector() {
    Feature* f = openFeature();
    FeatureInspector& ins = *featureInspector;
    if (!f || ins.feature() != f->id) return {};
    std::string refusal;
    const auto readSketch = [&](Id& sketch, std::vector<V2>& picks) {
        const std::optional<std::int64_t> t = ins.tag("sketch");
        if (!t || *t == sketch) return;
        sketch = *t;
        const Sketch* s = sketchOf(doc_, sketch);
        picks = s ? autoPicks(*s) : std::vector<V2>{};
    };
    if (f->kind == fk::extrude && f->extrude) {
        ExtrudeP& e = *f->extrude;
        readSketch(e.sketch, e.picks);
        const std::optional<std::string> extent = ins.str("extent");
        bool readDist = true;
        if (extent == "dist") {
            e.toFace.reset();
            awaitingFace = false;
        } else if (extent == "face") {
            readDist = !e.toFace;
        }
        if (readDist && ins.has("distance")) {
            const FieldRead r = readDistance(e.distance, ins.num("distance"));
            e.distance = r.value;
            refusal = refusalText(r, "Distance");
        }
        if (ins.has("symmetric")) e.symmetric = ins.isOn("symmetric");
        if (const auto o = ins.str("op")) e.op = *o;
        e.target = ins.tag("target").value_or(0);
    } else if (f->kind == fk::revolve && f->revolve) {
        RevolveP& r = *f->revolve;
        readSketch(r.sketch, r.picks);
        if (const auto a = ins.tag("axis")) r.axis = *a;
        if (ins.has("angle")) {
            const FieldRead read = readAngle(r.angle, ins.num("angle"));
            r.angle = read.value;
            refusal = refusalText(read, "Angle");
        }
        if (const auto o = ins.str("op")) r.op = *o;
        r.target = ins.tag("target").value_or(0);
    } else if (f->kind == fk::fillet && f->fillet) {
        FilletP& p = *f->fillet;
        if (const auto t = ins.tag("feature")) p.feature = *t;
        if (const auto e = ins.str("edges")) p.edges = *e;
        if (const auto t = ins.str("type")) {
            const bool chamfer = *t == "chamfer";
            if (chamfer != p.chamfer) f->name = renamedForType(doc_, *f, chamfer);
            p.chamfer = chamfer;
        }
        if (ins.has("radius")) {
            const FieldRead r = readRadius(p.radius, ins.num("radius"));
            p.radius = r.value;
            refusal = refusalText(r, p.chamfer ? "Distance" : "Valeur");
        }
    } else if (f->kind == fk::combine && f->combine) {
        CombineP& c = *f->combine;
        if (const auto t = ins.tag("ctarget")) c.target = *t;
        if (const auto t = ins.tag("ctool")) c.tool = *t;
        if (const auto o = ins.str("op")) c.op = *o;
        c.keep = ins.isOn("keep");
    }
    return refusal;
}

void MainController::inspectorChangedAction(const std::string& key) {
    if (key == "op") opManual = true;
    if (key == "extent") {
        awaitingFace = featureInspector->str("extent") == "face";
        inspectorChanged(true);
        if (awaitingFace)
            setStatus(
                "Jusqu'à une face : cliquez maintenant la face où l'extrusion doit "
                "s'arrêter.");
        return;
    }
    inspectorChanged(false);
}

void MainController::inspectorChanged(bool rebuild) {
    Feature* f = openFeature();
    if (!f) return;
    const Feature before = *f;
    const std::string refusal = readInspector();
    f = openFeature();
    const auto sketchOfFeature = [](const Feature& g) {
        return g.extrude ? g.extrude->sketch : g.revolve ? g.revolve->sketch : 0;
    };
    const bool sketchChanged = sketchOfFeature(before) != sketchOfFeature(*f);
    const bool typeChanged =
        before.fillet && f->fillet && before.fillet->chamfer != f->fillet->chamfer;
    featureWritten(rebuild || sketchChanged || typeChanged, {refusal});
}

void MainController::featureWritten(bool rebuild, std::vector<std::string> notes) {
    if (const auto autoOp = applyAutoOp()) notes.insert(notes.begin(), *autoOp);
    evaluate();
    viewport->rebuildBodies();
    const Feature* f = openFeature();
    if (!f) return;
    if (rebuild || featureInspector->feature() != f->id) {
        buildInspector();
    } else {
        if (f->extrude)
            featureInspector->setText("profiles",
                                      profilesText(doc_, f->extrude->sketch, f->extrude->picks));
        if (f->revolve)
            featureInspector->setText("profiles",
                                      profilesText(doc_, f->revolve->sketch, f->revolve->picks));
        updateFeatureStatus();
    }
    std::string extra;
    for (const std::string& n : notes)
        if (!n.empty()) extra += (extra.empty() ? "" : " ") + n;
    if (!extra.empty()) setStatus(extra);
    // The timeline shows the open feature's failure while it is being edited.
    scheduleStripRebuild();
    viewport->redrawOverlay();
}

void MainController::updateFeatureStatus() {
    const Feature* f = openFeature();
    if (!f) return;
    if (!result_.errors.count(f->id)) {
        featureInspector->setError({});
        setStatus(f->name + " : réglez les paramètres puis validez avec OK (Entrée).");
        return;
    }
    const auto it = result_.messages.find(f->id);
    const std::string message = it != result_.messages.end() ? it->second : "Erreur";
    featureInspector->setError(toQt(message));
    setStatus(message);
}

bool MainController::featureKey(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape: inspectorCancel(); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: inspectorOK(); return true;
        default: break;
    }
    const QString typed = event->text();
    if (typed.isEmpty() || !QString("0123456789.,-(").contains(typed.front())) return false;
    if (!featureInspector->focusField({"distance", "angle", "radius"}, QString(typed.front())))
        return false;
    inspectorChanged(false);
    return true;
}

}  // namespace ivo
