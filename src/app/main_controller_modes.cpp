// The interaction modes (model, choosing a plane, sketching, editing a feature), the keys the
// 3-D view offers to the window, the selection filter and the view's context menu.
#include <algorithm>

#include <QKeyEvent>
#include <QMenu>
#include <QSettings>

#include "app/main_controller.h"
#include "app/qt_conv.h"
#include "editor/sketch_editor.h"
#include "viewport/viewport.h"

namespace ivo {

void MainController::setMode(Mode m) {
    // Every way out of choosing a plane hides the origin planes.
    if (mode_ == Mode::choosePlane && m != Mode::choosePlane) viewport->showPlanes(false);
    // The status speaks of the mode it was set in: a new mode starts without it, and the
    // caller then says what the new one offers.
    if (m != mode_) setStatus("");
    mode_ = m;
}

void MainController::leaveEditing() {
    if (mode_ == Mode::featureEdit) inspectorOK();
    if (mode_ == Mode::sketch) finishSketch();
    if (mode_ == Mode::choosePlane) cancelChoosePlane();
}

void MainController::beginChoosePlane() {
    leaveEditing();
    const auto face = std::find_if(selection.begin(), selection.end(),
                                   [](const SelItem& s) { return s.kind == SelItem::Kind::face; });
    if (face != selection.end()) {
        const SketchPlane plane = SketchPlane::face(face->n, face->n * face->w);
        clearSelection();
        startSketch(plane);
        return;
    }
    setMode(Mode::choosePlane);
    viewport->showPlanes(true);
    rebuildToolbar();
    setStatus("Choisissez un plan (ou double-cliquez une face plane d'un corps à tout moment).");
    viewport->redrawOverlay();
}

void MainController::cancelChoosePlane() {
    if (mode_ != Mode::choosePlane) return;
    setMode(Mode::model);
    rebuildToolbar();
    setStatus("");
}

void MainController::planeChosen(const SketchPlane& plane) {
    startSketch(plane);
}

void MainController::startSketch(const SketchPlane& plane) {
    if (mode_ == Mode::featureEdit || mode_ == Mode::sketch) leaveEditing();
    pushUndo();
    Feature f(doc_.newId(), fk::sketch, "Esquisse" + std::to_string(doc_.count(fk::sketch) + 1));
    if (plane.name == "Face") f.name += " (face)";
    f.sketch = Sketch(plane);
    const auto count = static_cast<std::int64_t>(doc_.features.size());
    const auto at = static_cast<size_t>(std::clamp<std::int64_t>(doc_.marker, 0, count));
    doc_.features.insert(doc_.features.begin() + static_cast<std::ptrdiff_t>(at), std::move(f));
    doc_.marker = static_cast<std::int64_t>(at) + 1;
    enterSketch(at);
}

void MainController::enterSketch(size_t index) {
    if (index >= doc_.features.size()) return;
    const Feature& f = doc_.features[index];
    if (f.kind != fk::sketch || !f.sketch) return;
    setMode(Mode::sketch);
    editSketch_ = index;
    if (doc_.marker <= static_cast<std::int64_t>(index))
        doc_.marker = static_cast<std::int64_t>(index) + 1;
    viewport->showPlanes(false);
    viewport->look(f.sketch->plane);
    editor->setTool("select");
    rebuildAll();
    editor->rebuildForeign();  // after the evaluation, whose bodies carry edges to snap to
    setStatus("Esquisse « " + f.name + " » ouverte. « Terminer l'esquisse » revient au modèle.");
}

void MainController::finishSketch() {
    if (mode_ != Mode::sketch) return;
    editor->leaveSketch();
    setMode(Mode::model);
    editSketch_.reset();
    rebuildAll();
    setStatus("Esquisse terminée. Cliquez sur « Esquisse » pour en commencer une autre.");
}

bool MainController::handleKey(QKeyEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) return false;  // left to the menus
    const bool escape = event->key() == Qt::Key_Escape;
    switch (mode_) {
        case Mode::model: {
            if (escape) {
                clearSelection();
                setStatus("");
                return true;
            }
            const QString typed = event->text().toLower();
            if (typed == "e" || typed == "f") {
                startFeature(typed == "e" ? fk::extrude : fk::fillet);
                return true;
            }
            return false;
        }
        case Mode::choosePlane:
            if (!escape) return false;
            cancelChoosePlane();
            return true;
        case Mode::sketch: return sketchKey(event);
        case Mode::featureEdit: return featureKey(event);
    }
    return false;
}

void MainController::toggleMagnet() {
    magnet = !magnet;
    QSettings().setValue("magnet", magnet);
    refreshToolbarState();
    setStatus(magnet ? "Aimant activé : le curseur s'accroche aux points, milieux, lignes, "
                       "cercles et alignements."
                     : "Aimant désactivé : seuls les points existants accrochent.");
    viewport->redrawOverlay();
}

void MainController::setSelFilter(const std::string& value) {
    selFilter = value;
    QSettings().setValue("selFilter", toQt(value));
    clearSelection();
    rebuildToolbar();
    setStatus(value == "body" ? "Priorité de sélection : corps entiers."
                              : "Priorité de sélection : faces.");
}

QMenu* MainController::contextMenu(ViewPoint p) {
    auto* menu = new QMenu;
    switch (mode_) {
        case Mode::choosePlane: menu->addAction("Annuler", [this] { cancelChoosePlane(); }); break;
        case Mode::sketch:
            menu->addAction("Terminer l'esquisse", [this] { finishSketch(); });
            menu->addSeparator();
            menu->addAction(magnet ? "Désactiver l'aimant" : "Activer l'aimant",
                            [this] { toggleMagnet(); });
            menu->addAction("Annuler (Ctrl+Z)", [this] { undoAction(); });
            break;
        case Mode::model: {
            const std::optional<SketchPlane> face = viewport->pickPlane(p);
            if (face && face->name == "Face") {
                menu->addAction("Créer une esquisse sur cette face", [this, plane = *face] {
                    clearSelection();
                    startSketch(plane);
                });
                break;
            }
            menu->addAction("Nouvelle esquisse", [this] { beginChoosePlane(); });
            menu->addSeparator();
            menu->addAction("Vue d'accueil", [this] { viewport->setView("iso"); });
            menu->addAction("Ajuster à la fenêtre", [this] { viewport->fit(); });
            menu->addSeparator();
            menu->addAction("Annuler (Ctrl+Z)", [this] { undoAction(); });
            menu->addAction("Rétablir (Ctrl+Maj+Z)", [this] { redoAction(); });
            break;
        }
        case Mode::featureEdit: delete menu; return nullptr;
    }
    return menu;
}

}  // namespace ivo
