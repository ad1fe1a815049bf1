// What the timeline and browser menus do to the document: deleting features with their
// dependants, renaming features and bodies, removing bodies, hiding and duplicating.
#include <algorithm>

#include <QStringList>

#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "document/timeline_edit.h"
#include "sketch/profiles.h"

namespace ivo {
namespace {

const Body* findBody(const EvalResult& r, Id id) {
    const auto it =
        std::find_if(r.bodies.begin(), r.bodies.end(), [id](const Body& b) { return b.id == id; });
    return it == r.bodies.end() ? nullptr : &*it;
}

}  // namespace

void MainController::deleteFeature(size_t index) {
    if (index >= doc_.features.size()) return;
    // Leaving an open feature may change the timeline; the feature is found again by its id.
    const Id id = doc_.features[index].id;
    leaveEditing();
    const std::optional<size_t> at = doc_.index(id);
    if (!at) return;
    const std::string name = doc_.features[*at].name;
    const std::vector<size_t> users = dependants(doc_, *at);
    bool withDependants = false;
    if (!users.empty()) {
        QStringList userNames;
        for (size_t k : users)
            userNames << toQt(doc_.features[k].name);
        const int answer = dialogs->ask(
            toQt("« " + name + " » est utilisée par : ") + userNames.join(", "),
            "Si vous la supprimez seule, ces fonctions passeront en erreur (en rouge dans la "
            "timeline).",
            {"Supprimer aussi ces fonctions", toQt("Supprimer seulement « " + name + " »"),
             "Annuler"});
        if (answer != 0 && answer != 1) return;
        withDependants = answer == 0;
    }
    pushUndo();
    ivo::deleteFeature(doc_, *at, withDependants);
    clearSelection();
    rebuildAll();
}

void MainController::renameFeature(size_t index) {
    if (index >= doc_.features.size()) return;
    const Id id = doc_.features[index].id;
    // An open feature is closed first: its cancel would otherwise take back this rename's
    // undo step instead of its own.
    leaveEditing();
    const std::optional<size_t> at = doc_.index(id);
    if (!at) return;
    const std::string old = doc_.features[*at].name;
    const std::optional<QString> typed = dialogs->askText("Nouveau nom", toQt(old));
    if (!typed) return;
    if (!cleanName(fromQt(*typed))) {
        setStatus("Un nom ne peut pas être vide : « " + old + " » garde son nom.");
        return;
    }
    pushUndo();
    ivo::renameFeature(doc_, *at, fromQt(*typed));
    rebuildAll();
}

void MainController::renameBody(Id body) {
    leaveEditing();
    const Body* b = findBody(result_, body);
    if (!b) return;
    const std::string old = displayName(doc_, *b);
    const std::optional<QString> typed = dialogs->askText("Nom du corps", toQt(old));
    if (!typed) return;
    if (!cleanName(fromQt(*typed))) {
        setStatus("Un nom ne peut pas être vide : « " + old + " » garde son nom.");
        return;
    }
    pushUndo();
    ivo::renameBody(doc_, body, fromQt(*typed));
    rebuildAll();
}

void MainController::deleteBody(Id body) {
    leaveEditing();
    const Body* b = findBody(result_, body);
    if (!b) return;
    pushUndo();
    const size_t at = insertBodyRemoval(doc_, body, displayName(doc_, *b));
    const std::string name = doc_.features[at].name;
    clearSelection();
    rebuildAll();
    setStatus("Corps supprimé (annulable avec Ctrl+Z, ou en supprimant « " + name +
              " » dans la timeline).");
}

void MainController::toggleSketchVisibility(size_t index) {
    if (!toggleSketchVisible(doc_, index)) return;
    markDirty();
    rebuildAll();
}

void MainController::toggleBodyVisibility(Id body) {
    toggleBodyHidden(doc_, body);
    markDirty();
    rebuildAll();
}

void MainController::duplicateSketch(size_t index) {
    if (index >= doc_.features.size()) return;
    const Id id = doc_.features[index].id;
    leaveEditing();
    const std::optional<size_t> at = doc_.index(id);
    if (!at || doc_.features[*at].kind != fk::sketch || !doc_.features[*at].sketch) return;
    const std::string name = doc_.features[*at].name;
    const std::optional<std::vector<double>> v = dialogs->askNumbers(
        toQt("Dupliquer « " + name + " »"),
        "X / Y : décalage dans le plan de l'esquisse.\nZ : décalage perpendiculaire (nouveau "
        "plan parallèle, 0 = même plan).",
        {"Décalage X (mm)", "Décalage Y (mm)", "Décalage Z (mm)"},
        {memory.lastDX, memory.lastDY, 0.0});
    if (!v || v->size() != 3) return;
    memory.lastDX = (*v)[0];
    memory.lastDY = (*v)[1];
    Doc changed = doc_;
    if (!ivo::duplicateSketch(changed, *at, (*v)[0], (*v)[1], (*v)[2])) {
        setStatus("Duplication impossible : le décalage mène hors des limites du modèle.");
        return;
    }
    pushUndo();
    doc_ = std::move(changed);
    rebuildAll();
    setStatus("Esquisse dupliquée. Clic droit dessus > Extruder pour en faire un volume.");
}

void MainController::extrudeSketch(size_t index) {
    if (index >= doc_.features.size()) return;
    const Id id = doc_.features[index].id;
    leaveEditing();
    const std::optional<size_t> at = doc_.index(id);
    if (!at || !doc_.features[*at].sketch) return;
    selection.clear();
    for (const Region& r : doc_.features[*at].sketch->regions())
        selection.push_back(SelItem::profile(id, regionPoint(r)));
    showSelection();
    startFeature(fk::extrude);
}

}  // namespace ivo
