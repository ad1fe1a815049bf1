// Tool selection, pointer and key handling, selection and drags, and the edit wrapper that
// makes every change one undo step.
#include "editor/sketch_editor.h"

#include <algorithm>
#include <cmath>

#include "sketch/curves.h"

namespace ivo {
namespace {

const std::map<std::string, std::string>& hints() {
    static const std::map<std::string, std::string> table = {
        {"select",
         "Sélection : cliquez sur un élément, glissez un point pour le déplacer. Suppr pour "
         "effacer."},
        {"line", "Ligne (L) : cliquez pour chaque point. Échap pour terminer la chaîne."},
        {"rect", "Rectangle (R) : cliquez deux coins opposés."},
        {"rect3", "Rectangle 3 points : deux points pour le premier côté, puis la largeur."},
        {"rectC", "Rectangle centre : cliquez le centre puis un coin."},
        {"circle", "Cercle (C) : cliquez le centre puis un point du cercle."},
        {"circle2", "Cercle 2 points : cliquez les deux extrémités d'un diamètre."},
        {"circle3", "Cercle 3 points : cliquez trois points du cercle."},
        // The A key selects the three-point arc, so this hint names no key.
        {"arc", "Arc : centre, point de départ, puis point d'arrivée (sens antihoraire)."},
        {"arc3", "Arc 3 points : départ, arrivée, puis un point de l'arc."},
        {"polyI", "Polygone inscrit : centre puis un sommet."},
        {"polyC", "Polygone circonscrit : centre puis le milieu d'un côté."},
        {"slotCC", "Rainure centre à centre : deux centres puis la largeur."},
        {"slotO", "Rainure globale : deux extrémités puis la largeur."},
        {"point", "Point : cliquez pour placer un point."},
        {"fillet", "Congé (F) : cliquez sur le coin entre deux lignes."},
        {"chamferS", "Chanfrein : cliquez le coin entre deux lignes."},
        {"trim", "Ajuster (T) : cliquez le morceau de trait à supprimer (entre deux croisements)."},
        {"extend",
         "Prolonger : cliquez près du bout d'une ligne pour l'allonger jusqu'au prochain "
         "élément."},
        {"split", "Scinder : cliquez un élément pour le couper à tous ses croisements."},
        {"offset",
         "Décaler (O) : cliquez un cercle, un arc ou un contour de lignes, puis la distance."},
        {"mirror",
         "Miroir : cliquez d'abord la ligne qui sert d'axe, puis chaque élément à copier."},
        {"patternC", "Réseau circulaire : cliquez le centre (un point), puis l'élément à répéter."},
        {"patternR",
         "Réseau rectangulaire : cliquez le contour à répéter, puis indiquez nombres et "
         "espacements."},
        {"copyMove",
         "Copier / déplacer : cliquez le contour à copier, puis indiquez le décalage X / Y et "
         "le nombre de copies."},
        {"dim",
         "Cote (D) : cliquez une ligne, un cercle, un arc, ou deux points. Double-clic sur une "
         "cote pour la modifier."},
        {"coincident", "Coïncidence : cliquez deux points (ou un point puis une ligne)."},
        {"hv", "Horizontale / verticale : cliquez une ligne."},
        {"parallel", "Parallèle : cliquez deux lignes."},
        {"perpendicular", "Perpendiculaire : cliquez deux lignes."},
        {"equal", "Égal : cliquez deux lignes ou deux cercles."},
        {"tangent", "Tangente : cliquez une ligne puis un cercle ou un arc."},
        {"fixed", "Fixe : cliquez un point pour le bloquer ou le débloquer."},
        {"midpoint", "Milieu : cliquez un point puis une ligne."},
        {"concentric", "Concentrique : cliquez deux cercles ou arcs."},
    };
    return table;
}

// The tool family whose last variant the R and C keys (and the toolbar groups) recall.
std::optional<std::string> familyOf(const std::string& id) {
    if (id == "rect" || id == "rect3" || id == "rectC") return "rect";
    if (id == "circle" || id == "circle2" || id == "circle3") return "circle";
    if (id == "arc" || id == "arc3") return "arc";
    if (id == "polyI" || id == "polyC") return "poly";
    if (id == "slotCC" || id == "slotO") return "slot";
    return std::nullopt;
}

double segmentDistance(ScreenPoint p, ScreenPoint a, ScreenPoint b) {
    const V2 d = b - a;
    const double l2 = d.dot(d);
    const double t = l2 > 0 ? std::clamp((p - a).dot(d) / l2, 0.0, 1.0) : 0.0;
    return (p - (a + d * t)).length();
}

}  // namespace

SketchEditor::SketchEditor(EditorHost* host) : ctl(host) {}

const std::string& SketchEditor::hint(const std::string& toolId) {
    static const std::string none;
    const auto it = hints().find(toolId);
    return it == hints().end() ? none : it->second;
}

void SketchEditor::warn(const std::string& text) {
    ctl->setStatus(text);
    warningShown_ = true;
}

void SketchEditor::routineStatus(const std::string& text) {
    if (!warningShown_) ctl->setStatus(text);
}

void SketchEditor::setTool(const std::string& id) {
    if (id == "polyI" || id == "polyC") {
        if (const auto n = ctl->askNumber("Nombre de côtés du polygone", polygonSides))
            polygonSides = static_cast<int>(std::clamp(std::round(*n), 3.0, 64.0));
    }
    tool_ = id;
    if (const auto family = familyOf(id)) ctl->lastVariant()[*family] = id;
    resetPending();
    clearDrag();
    if (id != "select") {
        selected.reset();
        selectedPieceAt.reset();
    }
    warningShown_ = false;
    ctl->setStatus(hint(id));
    ctl->refreshToolbarState();
    ctl->redrawOverlay();
}

void SketchEditor::resetPending() {
    firstRef.reset();
    secondRef.reset();
    pendingEntity.reset();
    typed.clear();
    stage1Typed.clear();
    snapRecords.clear();
    activeField = 0;
}

void SketchEditor::leaveSketch() {
    resetPending();
    clearDrag();
    selected.reset();
    selectedPieceAt.reset();
    hoverPiece.reset();
    hover.reset();
    hoverInfo.reset();
    hoverSnap.reset();
    labelRects.clear();
    warningShown_ = false;
}

void SketchEditor::historyChanged() {
    resetPending();
    clearDrag();
    hoverPiece.reset();
    const Sketch* s = ctl->currentSketch();
    const auto exists = [s](Id id) {
        if (s->pointIndex(id) || s->curve(id)) return true;
        return std::any_of(s->constraints.begin(), s->constraints.end(),
                           [id](const SConstraint& c) { return c.id == id; });
    };
    if (!s || (selected && !exists(*selected))) {
        selected.reset();
        selectedPieceAt.reset();
    }
}

void SketchEditor::clearDrag() {
    dragging.reset();
    draggingEntity.reset();
    dragOrig.clear();
    dragUndoPushed = false;
}

// Queries --------------------------------------------------------------------------------

std::optional<V2> SketchEditor::spt(ScreenPoint point) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    const auto p = ctl->planePoint(s->plane, point);
    if (!p || !std::isfinite(p->x) || !std::isfinite(p->y)) return std::nullopt;
    // Past the horizon the pointer's line meets the plane behind the eye: that is no point
    // under the pointer, and it would fling a dragged point across the sketch.
    const auto back = ctl->toScreen(*s, *p);
    if (!back || (*back - point).length() > 2) return std::nullopt;
    return p;
}

std::optional<ScreenPoint> SketchEditor::scr(V2 p) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    return ctl->toScreen(*s, p);
}

std::optional<Id> SketchEditor::pointAt(ScreenPoint point, double radius) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    std::optional<Id> best;
    double bestD = radius;
    for (const SPoint& p : s->points) {
        const auto q = ctl->toScreen(*s, p.p);
        if (!q) continue;
        const double d = (*q - point).length();
        if (d < bestD) {
            bestD = d;
            best = p.id;
        }
    }
    return best;
}

std::optional<Id> SketchEditor::entityAt(ScreenPoint point) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    std::optional<Id> best;
    double bestD = 7;
    const auto consider = [&](Id id, const std::vector<V2>& pts, bool closed) {
        std::vector<std::optional<ScreenPoint>> q;
        for (V2 p : pts)
            q.push_back(ctl->toScreen(*s, p));
        if (closed && !q.empty()) q.push_back(q.front());
        for (size_t i = 0; i + 1 < q.size(); ++i) {
            if (!q[i] || !q[i + 1]) continue;
            const double d = segmentDistance(point, *q[i], *q[i + 1]);
            if (d < bestD) {
                bestD = d;
                best = id;
            }
        }
    };
    for (const SLine& l : s->lines) {
        const auto a = s->pos(l.a), b = s->pos(l.b);
        if (a && b) consider(l.id, {*a, *b}, false);
    }
    for (const SCircle& c : s->circles)
        consider(c.id, s->circlePoints(c, 64), true);
    for (const SArc& a : s->arcs)
        consider(a.id, s->arcPoints(a, 64), false);
    return best;
}

std::optional<Id> SketchEditor::labelAt(ScreenPoint point) const {
    for (auto it = labelRects.rbegin(); it != labelRects.rend(); ++it)
        if (it->rect.contains(point, 2)) return it->id;
    return std::nullopt;
}

bool SketchEditor::isLine(Id id) const {
    const Sketch* s = ctl->currentSketch();
    return s && s->line(id);
}

bool SketchEditor::isRound(Id id) const {
    const Sketch* s = ctl->currentSketch();
    return s && (s->circle(id) || s->arc(id));
}

std::optional<Id> SketchEditor::centerOf(Id id) const {
    const Sketch* s = ctl->currentSketch();
    if (!s) return std::nullopt;
    if (const auto c = s->circle(id)) return c->c;
    if (const auto a = s->arc(id)) return a->c;
    return std::nullopt;
}

std::optional<V2> SketchEditor::currentPos(Id id) const {
    const Sketch* s = ctl->currentSketch();
    return s ? s->pos(id) : std::nullopt;
}

std::optional<SnapInfo> SketchEditor::findSnap(ScreenPoint point) const {
    const auto id = pointAt(point);
    if (!id) return std::nullopt;
    const auto p = currentPos(*id);
    if (!p) return std::nullopt;
    return SnapInfo{"point", *p, id, {}};
}

// Editing --------------------------------------------------------------------------------

bool SketchEditor::solveAndStore(Sketch& s, const std::vector<Id>& hold) {
    const bool solved = s.solve(hold);
    ctl->storeSketch(s);
    return solved;
}

bool SketchEditor::modify(const std::function<bool(Sketch&)>& body) {
    const Sketch* current = ctl->currentSketch();
    if (!current) return false;
    Sketch copy = *current;
    if (!body(copy)) return false;
    // The snapshot is taken while the document still holds the sketch before the edit.
    ctl->pushUndo();
    const bool solved = solveAndStore(copy, {});
    ctl->sketchChanged();
    if (!solved) warn(contradiction);
    return true;
}

void SketchEditor::commit(Sketch sketch) {
    ctl->pushUndo();
    const bool solved = solveAndStore(sketch, {});
    ctl->sketchChanged();
    if (!solved) warn(contradiction);
}

void SketchEditor::editDimension(Id id) {
    const Sketch* s = ctl->currentSketch();
    if (!s) return;
    const auto c = std::find_if(s->constraints.begin(), s->constraints.end(),
                                [id](const SConstraint& k) { return k.id == id; });
    if (c == s->constraints.end() || !c->value) return;
    const std::string title = c->kind == ck::diameter ? "Diamètre (mm)"
                              : c->kind == ck::radius ? "Rayon (mm)"
                                                      : "Distance (mm)";
    const auto v = ctl->askNumber(title, *c->value);
    if (!v || !(*v > 0)) return;
    modify([&](Sketch& k) {
        for (SConstraint& x : k.constraints)
            if (x.id == id) x.value = *v;
        return true;
    });
}

void SketchEditor::deleteSelection() {
    if (!selected) return;
    const Id id = *selected;
    const std::optional<V2> at = selectedPieceAt;
    // Delete on the origin would keep the point but strip every constraint naming it.
    if (id != 0) {
        modify([&](Sketch& s) {
            if (at && s.curve(id)) return s.trim(id, *at);
            return s.deleteEntity(id);
        });
    }
    selected.reset();
    selectedPieceAt.reset();
    hoverPiece.reset();
    ctl->redrawOverlay();
}

void SketchEditor::toggleConstruction() {
    const Sketch* s = ctl->currentSketch();
    if (!s) return;
    if (!selected || !s->curve(*selected)) {
        warn("Sélectionnez d'abord une ligne, un cercle ou un arc.");
        return;
    }
    const Id id = *selected;
    modify([id](Sketch& k) {
        for (SLine& l : k.lines)
            if (l.id == id) l.construction = !l.construction;
        for (SCircle& c : k.circles)
            if (c.id == id) c.construction = !c.construction;
        for (SArc& a : k.arcs)
            if (a.id == id) a.construction = !a.construction;
        return true;
    });
    ctl->redrawOverlay();
}

// Pointer --------------------------------------------------------------------------------

bool SketchEditor::mouseDown(ScreenPoint point, int clickCount) {
    if (!ctl->currentSketch()) return false;
    const auto p = spt(point);
    if (!p) return false;
    warningShown_ = false;
    mouseScreen = point;
    const auto snapInfo = findSnap(point);
    std::optional<Id> snap;
    if (snapInfo) {
        if (snapInfo->kind == "point")
            snap = snapInfo->pointId;
        else if (snapInfo->kind != "align")
            snapRecords.push_back(*snapInfo);
    }
    const V2 snapPos = snapInfo ? snapInfo->pos : *p;
    const bool taken = handleClick(clickCount, snap, snapPos, *p, point);
    activeField = 0;
    ctl->redrawOverlay();
    return taken;
}

bool SketchEditor::handleClick(int clickCount, std::optional<Id> snap, V2 snapPos, V2 p,
                               ScreenPoint at) {
    if (tool_ == "select") return selectClick(clickCount, snap, p, at);
    if (drawingClick(snap, snapPos)) return true;
    if (editingClick(snap, p, at)) return true;
    if (constraintClick(snap, at)) return true;
    return true;  // an unknown tool still keeps the view from orbiting under it
}

bool SketchEditor::selectClick(int clickCount, std::optional<Id> snap, V2 p, ScreenPoint at) {
    selectedPieceAt.reset();
    const Sketch* s = ctl->currentSketch();
    if (const auto label = labelAt(at)) {
        selected = *label;
        if (clickCount == 2) editDimension(*label);
        return true;
    }
    if (snap) {
        selected = *snap;
        const auto i = s->pointIndex(*snap);
        if (i && !s->points[*i].fixed) {
            dragging = *snap;
            dragUndoPushed = false;
        }
        return true;
    }
    if (const auto curve = entityAt(at)) {
        selected = *curve;
        selectedPieceAt = p;
        std::vector<Id> defining;
        if (const auto l = s->line(*curve))
            defining = {l->a, l->b};
        else if (const auto c = s->circle(*curve))
            defining = {c->c};
        else if (const auto a = s->arc(*curve))
            defining = {a->c, a->s, a->e};
        std::vector<Id> free;
        for (Id id : defining) {
            const auto i = s->pointIndex(id);
            if (i && !s->points[*i].fixed && std::find(free.begin(), free.end(), id) == free.end())
                free.push_back(id);
        }
        if (!free.empty()) {
            dragStart = p;
            dragOrig.clear();
            for (Id id : free)
                dragOrig.push_back(*s->pos(id));
            draggingEntity = free;
            dragUndoPushed = false;
        }
        if (!s->cuts(*curve, true).empty())
            ctl->setStatus(
                "Morceau sélectionné (jusqu'aux croisements). Suppr pour l'effacer, X pour le "
                "passer en construction.");
        return true;
    }
    selected.reset();
    return false;
}

void SketchEditor::mouseDragged(ScreenPoint point) {
    const Sketch* s = ctl->currentSketch();
    if (!s) return;
    // A pointer past the horizon of an oblique view meets no plane: the drag waits for it.
    const auto p = spt(point);
    if (!p) return;
    mouseScreen = point;
    if (draggingEntity) {
        Sketch copy = *s;
        std::vector<Id> held;
        for (size_t i = 0; i < draggingEntity->size() && i < dragOrig.size(); ++i) {
            const auto k = copy.pointIndex((*draggingEntity)[i]);
            if (!k) continue;
            copy.points[*k].p = dragOrig[i] + (*p - dragStart);
            held.push_back((*draggingEntity)[i]);
        }
        if (held.empty()) return;
        if (!dragUndoPushed) {
            ctl->pushUndo();
            dragUndoPushed = true;
        }
        solveAndStore(copy, held);
        selectedPieceAt.reset();
        ctl->redrawOverlay();
    } else if (dragging) {
        Sketch copy = *s;
        const auto k = copy.pointIndex(*dragging);
        if (!k) return;
        copy.points[*k].p = *p;
        if (!dragUndoPushed) {
            ctl->pushUndo();
            dragUndoPushed = true;
        }
        solveAndStore(copy, {*dragging});
        ctl->redrawOverlay();
    }
}

void SketchEditor::mouseUp() {
    const bool pushed = dragUndoPushed;
    clearDrag();
    if (!pushed) return;
    if (const Sketch* s = ctl->currentSketch()) {
        Sketch copy = *s;
        const bool solved = solveAndStore(copy, {});
        ctl->sketchChanged();
        if (!solved) warn(contradiction);
    }
}

void SketchEditor::mouseMoved(ScreenPoint point) {
    if (!ctl->currentSketch()) return;
    hoverPiece.reset();
    if ((tool_ == "select" || tool_ == "trim") && !pointAt(point) && !labelAt(point)) {
        const auto curve = entityAt(point);
        const auto p = spt(point);
        if (curve && p) hoverPiece = PieceRef{*curve, *p};
    }
    hoverInfo = findSnap(point);
    hoverSnap = hoverInfo && hoverInfo->kind == "point" ? hoverInfo->pointId : std::nullopt;
    hover = hoverInfo ? std::optional(hoverInfo->pos) : spt(point);
    mouseScreen = point;
    ctl->redrawOverlay();
}

// Keys -----------------------------------------------------------------------------------

bool SketchEditor::key(const EditorKey& k) {
    using Code = EditorKey::Code;
    if (k.code == Code::escape) {
        warningShown_ = false;
        if (!firstRef && !pendingEntity) {
            setTool("select");
        } else {
            resetPending();
            ctl->setStatus(hint(tool_));
        }
        ctl->redrawOverlay();
        return true;
    }
    if (k.code == Code::backspace || k.code == Code::forwardDelete) {
        deleteSelection();
        return true;
    }
    if (k.command || k.text.size() != 1) return false;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(k.text[0])));
    const auto variant = [&](const std::string& family, const std::string& fallback) {
        const auto& v = ctl->lastVariant();
        const auto it = v.find(family);
        return it == v.end() ? fallback : it->second;
    };
    switch (c) {
        case 'l': setTool("line"); return true;
        case 'r': setTool(variant("rect", "rect")); return true;
        case 'c': setTool(variant("circle", "circle")); return true;
        case 'a': setTool("arc3"); return true;
        case 'd': setTool("dim"); return true;
        case 'f': setTool("fillet"); return true;
        case 't': setTool("trim"); return true;
        case 'o': setTool("offset"); return true;
        case 'x': toggleConstruction(); return true;
        case 'm': ctl->toggleMagnet(); return true;
        default: return false;
    }
}

}  // namespace ivo
