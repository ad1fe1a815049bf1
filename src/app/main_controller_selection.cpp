// Picking and the selection in the model: clicks and pointer moves of the 3-D view, the
// status counts and the highlights handed to the view.
#include "app/main_controller.h"
#include "app/model_selection.h"
#include "viewport/viewport.h"

namespace ivo {

std::optional<SelItem> MainController::pick(ViewPoint p) const {
    const Camera camera = viewport->camera();
    const auto [o, d] = camera.ray(p);
    const PickScene scene{&viewport->bodyTris, &doc_.hidden, false};
    const std::vector<Hit> hits = allHits(scene, o, d, camera.position());
    return pickItem(doc_, viewport->bodyTris, hits, o, d, selFilter);
}

void MainController::modelClick(bool additive, ViewPoint p) {
    if (mode_ != Mode::model) return;
    const std::optional<SelItem> item = pick(p);
    if (!item && additive) return;
    clickItem(selection, doc_, item, additive);
    setStatus(selectionStatus(selection));
    showSelection();
}

void MainController::modelHover(ViewPoint p) {
    if (mode_ != Mode::model) return;
    std::optional<SelItem> item = pick(p);
    const bool same = item && hoverSel ? sameItem(doc_, *item, *hoverSel) : !item && !hoverSel;
    if (same) return;  // the highlights stay as they are
    hoverSel = std::move(item);
    showSelection();
}

void MainController::clearSelection() {
    selection.clear();
    hoverSel.reset();
    showSelection();
}

void MainController::showSelection() {
    if (mode_ != Mode::model) {
        viewport->setFaceHighlights({});
        viewport->setHighlights({});
    } else {
        SelectionHighlights h = selectionHighlights(doc_, viewport->bodyTris, selection, hoverSel);
        viewport->setFaceHighlights(std::move(h.faces));
        viewport->setHighlights(std::move(h.layers));
    }
    viewport->redrawOverlay();
}

}  // namespace ivo
