// What a click in the model designates and how clicks build the selection: window-free, so
// that the rules are tested without a display. The controller feeds them the view's ray and
// hits, and hands the highlights to the view.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/selection.h"
#include "document/doc.h"
#include "viewport/picking.h"

namespace ivo {

// The item under a ray (origin o on the near plane, unit direction d) given the view's hits,
// nearest first: a region of a visible, active sketch in front of the first body hit or on
// its face, else that body's face (or the body itself when `selFilter` is "body").
std::optional<SelItem> pickItem(const Doc& doc, const std::map<Id, std::vector<Tri>>& bodyTris,
                                const std::vector<Hit>& hits, V3 o, V3 d,
                                const std::string& selFilter);

// Two items designate the same thing: one region of one sketch (each point lies in the region
// the other picks), one planar face of one body, or one body.
bool sameItem(const Doc& doc, const SelItem& a, const SelItem& b);

// A click on `item` (none: empty space). A selected item is removed, with or without
// `additive`; otherwise it is added to the selection (`additive`) or becomes all of it.
// Empty space clears the selection unless `additive`.
void clickItem(std::vector<SelItem>& selection, const Doc& doc, const std::optional<SelItem>& item,
               bool additive);

// "2 zone(s) d'esquisse, 1 face(s) — E pour extruder, …"; empty for an empty selection.
std::string selectionStatus(const std::vector<SelItem>& selection);

// The triangles of a selected region on its sketch plane; empty when the sketch or the
// region is gone.
std::vector<Tri> profileTris(const Doc& doc, const SelItem& item);

// The view's highlights for the hover (unless already selected, fainter) and the selection.
struct SelectionHighlights {
    std::vector<FaceHighlight> faces;
    std::vector<HighlightLayer> layers;
};
SelectionHighlights selectionHighlights(const Doc& doc,
                                        const std::map<Id, std::vector<Tri>>& bodyTris,
                                        const std::vector<SelItem>& selection,
                                        const std::optional<SelItem>& hover);

}  // namespace ivo
