// The interaction modes (model, choosing a plane, sketching, editing a feature), the keys the
// 3-D view offers to the window, the selection filter and the view's context menu.
#include <algorithm>

#include <QKeyEvent>
#include <QMenu>
#include <QSettings>

#include "app/main_controller.h"
#include "app/menu_entry.h"
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
        case Mode::featureEdit:
            mi(menu, "OK", "checkmark", this, [this] { inspectorOK(); });
            mi(menu, "Annuler", "xmark", this, [this] { inspectorCancel(); });
            break;
        case Mode::choosePlane:
            mi(menu, "Annuler", "xmark", this, [this] { cancelChoosePlane(); });
            break;
        case Mode::sketch: {
            mi(menu, "Terminer l'esquisse", "checkmark.circle.fill", this,
               [this] { finishSketch(); });
            menu->addSeparator();
            static const char* const tools[][3] = {
                {"Ligne", "line.diagonal", "line"},
                {"Rectangle", "rectangle", "rect"},
                {"Cercle", "circle", "circle"},
                {"Arc 3 points", "circle.bottomhalf.filled", "arc3"},
                {"Ajuster", "scissors", "trim"},
                {"Décaler", "square.on.square.dashed", "offset"},
                {"Congé", "rectangle.roundedtop", "fillet"},
                {"Cote", "ruler", "dim"},
                {"Sélection", "cursorarrow", "select"},
            };
            for (const auto& t : tools)
                mi(menu, t[0], t[1], this, [this, id = std::string(t[2])] { runTool(id); });
            if (editor->selected) {
                menu->addSeparator();
                mi(menu, "Supprimer la sélection", "trash", this,
                   [this] { editor->deleteSelection(); });
                mi(menu, "Construction / normal", "line.diagonal.arrow", this,
                   [this] { editor->toggleConstruction(); });
                const Sketch* s = currentSketch();
                if (s && s->curve(*editor->selected))
                    mi(menu, "Copier ce contour avec décalage…", "plus.square.on.square", this,
                       [this, id = *editor->selected] { editor->copyContour(id); });
            }
            mi(menu, "Copier toute l'esquisse avec décalage…", "doc.on.doc", this,
               [this] { editor->copyAll(); });
            menu->addSeparator();
            mi(menu, magnet ? "Désactiver l'aimant" : "Activer l'aimant", "scope", this,
               [this] { toggleMagnet(); });
            mi(menu, "Annuler (Ctrl+Z)", "arrow.uturn.backward", this, [this] { undoAction(); });
            break;
        }
        case Mode::model: {
            const std::optional<SelItem> item = pick(p);
            if (item && item->kind == SelItem::Kind::profile) {
                for (const char* kind : {fk::extrude, fk::revolve}) {
                    const bool ext = kind == fk::extrude;
                    mi(menu, ext ? "Extruder ce profil" : "Révolution de ce profil",
                       ext ? "square.stack.3d.up.fill" : "arrow.triangle.2.circlepath", this,
                       [this, it = *item, k = std::string(kind)] {
                           selection = {it};
                           showSelection();
                           startFeature(k);
                       });
                }
                menu->addSeparator();
                if (const std::optional<size_t> at = doc_.index(item->id)) addSketchMenu(menu, *at);
                break;
            }
            if (item && item->kind == SelItem::Kind::face) {
                mi(menu, "Créer une esquisse sur cette face", "pencil.and.outline", this,
                   [this, plane = SketchPlane::face(item->n, item->n * item->w)] {
                       clearSelection();
                       startSketch(plane);
                   });
                mi(menu, "Extruder cette face (tirer)", "square.stack.3d.up.fill", this,
                   [this, it = *item] {
                       selection = {it};
                       showSelection();
                       startFeature(fk::extrude);
                   });
                menu->addSeparator();
                addBodyMenu(menu, item->id);
                break;
            }
            if (item && item->kind == SelItem::Kind::body) {
                addBodyMenu(menu, item->id);
                break;
            }
            mi(menu, "Nouvelle esquisse", "pencil.and.outline", this,
               [this] { beginChoosePlane(); });
            mi(menu, "Boîte", "cube", this, [this] { runTool("box"); });
            mi(menu, "Cylindre", "cylinder", this, [this] { runTool("cyl"); });
            menu->addSeparator();
            mi(menu, "Vue d'accueil", "house", this, [this] { viewport->setView("iso"); });
            mi(menu, "Ajuster à la fenêtre", "arrow.up.left.and.arrow.down.right", this,
               [this] { viewport->fit(); });
            menu->addSeparator();
            mi(menu, "Annuler (Ctrl+Z)", "arrow.uturn.backward", this, [this] { undoAction(); });
            mi(menu, "Rétablir (Ctrl+Maj+Z)", "arrow.uturn.forward", this,
               [this] { redoAction(); });
            break;
        }
    }
    return menu;
}

}  // namespace ivo
