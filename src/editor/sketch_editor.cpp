// Tool selection, pointer and key handling, selection and drags, and the edit wrapper that
// makes every change one undo step.
#include "editor/sketch_editor.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "sketch/curves.h"

namespace ivo {
namespace {

// The tool family whose last variant the R and C keys (and the toolbar groups) recall.
std::optional<std::string> familyOf(const std::string& id) {
    if (id == "rect" || id == "rect3" || id == "rectC") return "rect";
    if (id == "circle" || id == "circle2" || id == "circle3") return "circle";
    if (id == "arc" || id == "arc3") return "arc";
    if (id == "polyI" || id == "polyC") return "poly";
    if (id == "slotCC" || id == "slotO") return "slot";
    return std::nullopt;
}

}  // namespace

SketchEditor::SketchEditor(EditorHost* host) : ctl(host) {}

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
    leaveField();
    dimEdit.reset();
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
    foreign.clear();  // they belong to the plane of the sketch that was open
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
    const Id firstNew = copy.nextId;
    if (!body(copy)) return false;
    if (clicking_) {
        applySnapConstraints(copy, firstNew);
        applyDims(copy, firstNew);
        created_ = true;
    }
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
    leaveField();
    dimEdit.reset();  // a click elsewhere leaves the value as it was
    auto snapInfo = findSnap(point);
    V2 snapPos = snapInfo ? snapInfo->pos : *p;
    if (firstRef && !typed.empty()) {
        // Typed sizes replace the clicked position: a snapped point kept by identity would
        // end the shape away from its typed size and drag existing geometry to that size.
        snapPos = computeTarget(snapPos);
        snapInfo.reset();
    }
    std::optional<Id> snap;
    if (snapInfo) {
        if (snapInfo->kind == "point")
            snap = snapInfo->pointId;
        else if (snapInfo->kind != "align")
            snapRecords.push_back(*snapInfo);
    }
    return runClick(snap, snapPos, *p, point, clickCount);
}

bool SketchEditor::runClick(std::optional<Id> snap, V2 snapPos, V2 p, ScreenPoint at,
                            int clickCount) {
    const bool firstStage = !secondRef;
    const auto typedNow = typed;
    // The constraints of the snaps used and of the typed sizes join the edit of the click
    // that creates the entities, so that one undo step takes the whole shape.
    clicking_ = true;
    created_ = false;
    const bool taken = handleClick(clickCount, snap, snapPos, p, at);
    clicking_ = false;
    if (created_)
        stage1Typed.clear();
    else if (firstStage && secondRef)
        stage1Typed = typedNow;
    typed.clear();
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
    // What was under the pointer when the drag began is stale now; the next move finds anew.
    hoverInfo.reset();
    hoverSnap.reset();
    hoverPiece.reset();
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

bool SketchEditor::fieldKey(const EditorKey& k) {
    using Code = EditorKey::Code;
    if (fieldKeys().empty()) return false;
    if (k.code == Code::tab) {
        focusField(editingKey ? (k.shift ? -1 : 1) : 0);
        return true;
    }
    if (k.code == Code::enter) {
        if (!editingKey && typed.empty()) return false;
        commitTyped();
        return true;
    }
    const auto typeText = [&](const std::string& text, bool erase) {
        if (replaceOnType) editText.clear();
        replaceOnType = false;
        if (erase) {
            // One character, whole: UTF-8 continuation bytes go with their lead byte.
            while (!editText.empty() &&
                   (static_cast<unsigned char>(editText.back()) & 0xC0) == 0x80)
                editText.pop_back();
            if (!editText.empty()) editText.pop_back();
        }
        editText += text;
        textChanged(*editingKey, editText);
    };
    const bool printable = !k.command && !k.text.empty() &&
                           static_cast<unsigned char>(k.text[0]) >= 0x20 && k.text[0] != 0x7f;
    if (editingKey) {
        if (k.code == Code::backspace) {
            typeText({}, true);
            return true;
        }
        if (k.code == Code::other && printable) {
            typeText(k.text, false);
            return true;
        }
        return false;
    }
    if (k.code == Code::other && k.text.size() == 1 &&
        std::string_view("0123456789.,-(").find(k.text[0]) != std::string_view::npos) {
        focusField(0);
        replaceOnType = true;
        typeText(k.text, false);
        return true;
    }
    return false;
}

bool SketchEditor::key(const EditorKey& k) {
    using Code = EditorKey::Code;
    if (dimEdit) return dimEditKey(k);
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
    if (fieldKey(k)) return true;
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
