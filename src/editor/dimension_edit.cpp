// Changing the value of an existing dimension in the view: a box over its label takes the
// keys, and Return applies the value as one undo step, or refuses it whole.
#include <algorithm>
#include <cmath>

#include "editor/sketch_editor.h"
#include "input/parse_num.h"

namespace ivo {
namespace {

const SConstraint* findConstraint(const Sketch& s, Id id) {
    const auto it = std::find_if(s.constraints.begin(), s.constraints.end(),
                                 [id](const SConstraint& c) { return c.id == id; });
    return it == s.constraints.end() ? nullptr : &*it;
}

// Beyond this a dimension is a typing slip, and the solver would fling the sketch away.
constexpr double largestDimension = 1e6;

}  // namespace

void SketchEditor::editDimension(Id id) {
    const Sketch* s = ctl->currentSketch();
    if (!s) return;
    const SConstraint* c = findConstraint(*s, id);
    if (!c || !c->value) return;
    leaveField();
    DimEdit edit;
    edit.id = id;
    edit.label = c->kind == ck::diameter ? "Diamètre (mm)"
                 : c->kind == ck::radius ? "Rayon (mm)"
                                         : "Distance (mm)";
    edit.text = fmt(*c->value);
    for (const LabelBox& b : labelRects)
        if (b.id == id) edit.over = b.rect;
    dimEdit = edit;
    selected = id;
    ctl->setStatus("Nouvelle valeur de la cote : Entrée pour l'appliquer, Échap pour annuler.");
    ctl->redrawOverlay();
}

bool SketchEditor::commitDimension() {
    const Sketch* s = ctl->currentSketch();
    if (!dimEdit || !s) return false;
    const SConstraint* c = findConstraint(*s, dimEdit->id);
    if (!c || !c->value) {
        dimEdit.reset();  // the constraint went meanwhile
        ctl->redrawOverlay();
        return false;
    }
    // A refusal keeps the edit open with its text selected, so that the next key replaces it.
    const auto refuse = [&](const std::string& why) {
        dimEdit->replaceOnType = true;
        warn(why);
        ctl->redrawOverlay();
        return false;
    };
    const std::string& text = dimEdit->text;
    const auto v = parseNum(text);
    if (!v || !std::isfinite(*v)) return refuse("Valeur non reconnue : « " + text + " ».");
    if (!(*v > 0)) return refuse("La valeur doit être supérieure à 0 : « " + text + " ».");
    if (*v >= largestDimension) return refuse("Valeur trop grande : « " + text + " ».");
    if (*v == *c->value) {  // nothing to change, so no undo step either
        dimEdit.reset();
        ctl->redrawOverlay();
        return true;
    }
    Sketch copy = *s;
    for (SConstraint& k : copy.constraints)
        if (k.id == dimEdit->id) k.value = *v;
    // The solve runs on a copy: a value the other constraints cannot meet would otherwise
    // leave the sketch half-moved.
    if (!copy.solve({}))
        return refuse(
            "⚠️ Cette valeur contredit les autres contraintes : la cote garde sa valeur.");
    dimEdit.reset();
    ctl->pushUndo();
    ctl->storeSketch(copy);
    ctl->sketchChanged();
    ctl->setStatus("Cote modifiée : " + fmt(*v) + " mm.");
    ctl->redrawOverlay();
    return true;
}

bool SketchEditor::dimEditKey(const EditorKey& k) {
    using Code = EditorKey::Code;
    DimEdit& e = *dimEdit;
    switch (k.code) {
        case Code::escape:
            dimEdit.reset();
            warningShown_ = false;
            ctl->setStatus(hint(tool_));
            ctl->redrawOverlay();
            return true;
        case Code::enter: commitDimension(); return true;
        case Code::tab: return true;  // one box: the keyboard stays in it
        case Code::backspace:
        case Code::forwardDelete:
            if (e.replaceOnType) {
                e.text.clear();
            } else if (k.code == Code::backspace) {
                // One character, whole: UTF-8 continuation bytes go with their lead byte.
                while (!e.text.empty() &&
                       (static_cast<unsigned char>(e.text.back()) & 0xC0) == 0x80)
                    e.text.pop_back();
                if (!e.text.empty()) e.text.pop_back();
            }
            e.replaceOnType = false;
            ctl->redrawOverlay();
            return true;
        case Code::other: break;
    }
    // Ctrl shortcuts (undo, save…) keep their meaning; every other character is text, so
    // that letters do not switch tools while a value is typed.
    if (k.command || k.text.empty() || static_cast<unsigned char>(k.text[0]) < 0x20 ||
        k.text[0] == 0x7f)
        return !k.command;
    if (e.replaceOnType) e.text.clear();
    e.replaceOnType = false;
    e.text += k.text;
    ctl->redrawOverlay();
    return true;
}

}  // namespace ivo
