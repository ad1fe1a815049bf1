// Creating features (extrusion, revolution, fillet or chamfer, combination, primitives and
// the push/pull of faces), opening one for editing, and committing or cancelling it.
#include <algorithm>

#include "app/feature_inspector.h"
#include "app/main_controller.h"
#include "document/doc_json.h"
#include "viewport/viewport.h"

namespace ivo {
namespace {

std::optional<Id> lastExtrusionBefore(const Doc& doc, size_t at) {
    std::optional<Id> id;
    for (size_t i = 0; i < std::min(at, doc.features.size()); ++i)
        if (doc.features[i].kind == fk::extrude && !doc.features[i].suppressed)
            id = doc.features[i].id;
    return id;
}

Id firstConstructionLine(const Sketch& sketch) {
    for (const SLine& l : sketch.lines)
        if (l.construction) return l.id;
    return -2;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) {
        if (p.empty()) continue;
        out += (out.empty() ? "" : " ") + p;
    }
    return out;
}

}  // namespace

Feature* MainController::openFeature() {
    if (mode_ != Mode::featureEdit || !editFeature || *editFeature >= doc_.features.size())
        return nullptr;
    return &doc_.features[*editFeature];
}

const Feature* MainController::openFeature() const {
    return const_cast<MainController*>(this)->openFeature();
}

void MainController::startFeature(const std::string& requested) {
    // The open sketch, plane choice or feature is finished first, even when this call then
    // refuses: the refusal only keeps what it would have created.
    leaveEditing();
    const size_t at = insertionIndex(doc_);
    const EvalResult before = Evaluator::run(doc_, static_cast<std::int64_t>(at));
    const bool chamfer = requested == "chamfer";
    const std::string kind = chamfer ? std::string(fk::fillet) : requested;
    const std::string newOp = before.bodies.empty() ? op::newBody : op::join;

    Feature f(0, kind, "");
    f.sketch.reset();
    std::vector<std::string> notes;
    if (kind == fk::extrude || kind == fk::revolve) {
        std::optional<Id> sketchId;
        std::vector<V2> picks;
        bool otherSketch = false;
        std::vector<PlanarFace> faces;
        for (const SelItem& s : selection) {
            if (s.kind == SelItem::Kind::face) faces.push_back({s.id, s.n, s.w});
            if (s.kind != SelItem::Kind::profile) continue;
            if (!sketchId) sketchId = s.id;
            if (s.id == *sketchId)
                picks.push_back(s.p);
            else
                otherSketch = true;
        }
        if (otherSketch)
            notes.push_back(
                "Seules les zones de la première esquisse sélectionnée sont extrudées.");
        if (!sketchId && kind == fk::extrude && !faces.empty()) {
            extrudeFaces(faces, before.bodies);
            return;
        }
        if (!sketchId) {
            const std::optional<size_t> index = profileSketchIndex(doc_, at);
            if (!index) {
                dialogs->alert("Aucune esquisse",
                               "Créez d'abord une esquisse avec un contour fermé, ou "
                               "sélectionnez une face.");
                return;
            }
            sketchId = doc_.features[*index].id;
            picks = autoPicks(*doc_.features[*index].sketch);
        }
        clearSelection();
        if (kind == fk::extrude) {
            f.extrude = ExtrudeP{*sketchId, std::move(picks), 10, false, newOp, 0, std::nullopt};
        } else {
            const std::optional<size_t> index = doc_.index(*sketchId);
            const Feature* sk = index ? &doc_.features[*index] : nullptr;
            const Id axis = sk && sk->sketch ? firstConstructionLine(*sk->sketch) : -2;
            f.revolve = RevolveP{*sketchId, std::move(picks), axis, 360, newOp, 0};
        }
    } else if (kind == fk::fillet) {
        const std::optional<Id> target = lastExtrusionBefore(doc_, at);
        if (!target) {
            dialogs->alert("Aucune extrusion",
                           "Les congés et chanfreins s'appliquent aux arêtes du haut et du bas "
                           "d'une extrusion. Créez d'abord une extrusion.\n\nPour arrondir des "
                           "arêtes verticales, utilisez le congé d'esquisse (F) dans l'esquisse.");
            return;
        }
        f.fillet = FilletP{*target, "top", chamfer ? 1.0 : 2.0, chamfer};
    } else if (kind == fk::combine) {
        if (before.bodies.size() < 2) {
            dialogs->alert("Il faut deux corps",
                           "Combiner sert à joindre, couper ou intersecter deux corps existants.");
            return;
        }
        std::vector<Id> chosen;
        for (const SelItem& s : selection)
            if (s.kind == SelItem::Kind::body) chosen.push_back(s.id);
        if (chosen.size() < 2) chosen = {before.bodies[0].id, before.bodies[1].id};
        f.combine = CombineP{chosen[0], chosen[1], op::join, false};
        clearSelection();
    } else {
        return;
    }

    pushUndo();
    f.id = doc_.newId();
    f.name = autoName(doc_, kind, chamfer);
    doc_.features.insert(doc_.features.begin() + static_cast<std::ptrdiff_t>(at), std::move(f));
    doc_.marker = static_cast<std::int64_t>(at) + 1;
    openNewFeature(at, before.bodies);
    if (const auto autoOp = applyAutoOp()) notes.push_back(*autoOp);
    rebuildAll();
    buildInspector();
    // After the panel's routine status, so that they are read.
    if (!notes.empty()) setStatus(joined(notes));
}

std::optional<std::string> MainController::applyAutoOp() {
    Feature* f = openFeature();
    if (!f || !editIsNew || opManual || f->kind != fk::extrude || !f->extrude) return std::nullopt;
    const std::optional<size_t> index = doc_.index(f->extrude->sketch);
    if (!index || !doc_.features[*index].sketch) return std::nullopt;
    const std::optional<std::string> op =
        autoOperation(*doc_.features[*index].sketch, *f->extrude, editBodiesBefore);
    if (!op || *op == f->extrude->op) return std::nullopt;
    f->extrude->op = *op;
    // Only a panel showing this very feature follows; a new panel reads the stored value.
    if (featureInspector->feature() == f->id) featureInspector->selectStr("op", *op);
    return "Opération automatique : " + opLabel(*op);
}

void MainController::extrudeFaces(const std::vector<PlanarFace>& faces,
                                  const std::vector<Body>& before) {
    Doc next = doc_;
    bool ignored = false;
    const std::optional<size_t> index =
        insertFaceExtrusion(next, faces, viewport->bodyTris, &ignored);
    if (!index) {
        dialogs->alert("Face non reconnue", "Impossible de retrouver le contour de cette face.");
        return;
    }
    pushUndo();
    doc_ = std::move(next);
    clearSelection();
    // A push/pull chooses its operation by itself like every new extrusion, whatever the
    // previous edit did.
    openNewFeature(*index, before);
    rebuildAll();
    buildInspector();
    if (ignored) setStatus("Seules les faces dans le même plan que la première sont extrudées.");
}

void MainController::createPrimitive(const std::string& kind) {
    leaveEditing();
    const size_t at = insertionIndex(doc_);
    const EvalResult before = Evaluator::run(doc_, static_cast<std::int64_t>(at));
    pushUndo();
    openNewFeature(insertPrimitive(doc_, kind, !before.bodies.empty()), before.bodies);
    const std::optional<std::string> autoOp = applyAutoOp();
    rebuildAll();
    buildInspector();
    viewport->fit();
    setStatus(primitiveWord(kind) +
              " : réglez la hauteur, puis OK. Pour changer la taille, modifiez l'esquisse dans "
              "la timeline." +
              (autoOp ? " " + *autoOp : std::string()));
}

void MainController::editFeatureAt(size_t index) {
    if (index >= doc_.features.size()) return;
    if (mode_ == Mode::featureEdit && editFeature == index) return;
    if (mode_ == Mode::featureEdit) inspectorOK();
    if (mode_ == Mode::sketch) finishSketch();
    if (mode_ == Mode::choosePlane) cancelChoosePlane();
    if (index >= doc_.features.size()) return;
    const Feature& f = doc_.features[index];
    if (f.kind == fk::sketch) {
        enterSketch(index);
        return;
    }
    pushUndo();
    editBackup = f;
    editIsNew = false;
    awaitingFace = false;
    editFeature = index;
    if (doc_.marker <= static_cast<std::int64_t>(index))
        doc_.marker = static_cast<std::int64_t>(index) + 1;
    editBodiesBefore = Evaluator::run(doc_, static_cast<std::int64_t>(index)).bodies;
    setMode(Mode::featureEdit);
    rebuildAll();
    buildInspector();
}

void MainController::openNewFeature(size_t index, std::vector<Body> before) {
    editFeature = index;
    editIsNew = true;
    opManual = false;
    awaitingFace = false;
    editBackup.reset();
    editBodiesBefore = std::move(before);
    setMode(Mode::featureEdit);
}

void MainController::forgetFeature() {
    editFeature.reset();
    editBackup.reset();
    editIsNew = false;
    awaitingFace = false;
    editBodiesBefore.clear();
    featureInspector->hide();
}

void MainController::closeFeature() {
    forgetFeature();
    setMode(Mode::model);
    viewport->setFocus(Qt::OtherFocusReason);
}

void MainController::inspectorOK() {
    if (mode_ != Mode::featureEdit) return;
    readInspector();
    evaluate();
    if (const Feature* f = openFeature()) {
        const Id sketchId = f->extrude ? f->extrude->sketch : f->revolve ? f->revolve->sketch : 0;
        const bool solid =
            (f->kind == fk::extrude && f->extrude) || (f->kind == fk::revolve && f->revolve);
        const std::optional<size_t> index = doc_.index(sketchId);
        if (solid && !result_.errors.count(f->id) && index && doc_.features[*index].sketch)
            doc_.features[*index].sketch->visible = false;
    }
    closeFeature();
    markDirty();
    rebuildAll();
    setStatus("");
}

void MainController::inspectorCancel() {
    if (mode_ != Mode::featureEdit || !editFeature) return;
    std::optional<Doc> restored;
    if (!undoStack.empty()) {
        // The snapshot taken when the feature was created or opened; it is not redoable.
        std::string reason;
        restored = decodeDoc(undoStack.back().json(), reason);
        undoStack.pop_back();
    }
    if (restored) {
        doc_ = std::move(*restored);
    } else if (*editFeature < doc_.features.size()) {
        const auto pos = doc_.features.begin() + static_cast<std::ptrdiff_t>(*editFeature);
        if (!editIsNew && editBackup) {
            *pos = *editBackup;
        } else if (editIsNew) {
            doc_.features.erase(pos);
            if (doc_.marker > static_cast<std::int64_t>(*editFeature)) --doc_.marker;
        }
    }
    closeFeature();
    rebuildAll();
    setStatus("");
}

}  // namespace ivo
