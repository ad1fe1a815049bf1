// The constraint tools and the dimension tool: which clicks pick what, and the constraint
// each valid pair adds. Picks that do not fit a constraint are refused with a status.
#include <algorithm>
#include <cmath>

#include "editor/sketch_editor.h"

namespace ivo {
namespace {

constexpr const char* kUnfit = "Ces éléments ne conviennent pas pour cette contrainte.";

}  // namespace

bool SketchEditor::constraintClick(std::optional<Id> snap, ScreenPoint at) {
    const std::string& t = tool_;
    const Sketch& s = *ctl->currentSketch();
    // References that an undo or a deletion took away start the tool afresh.
    if (firstRef && (!firstRef->id || !s.pointIndex(*firstRef->id))) firstRef.reset();
    if (pendingEntity && !s.curve(*pendingEntity)) pendingEntity.reset();

    if (t == "dim") {
        dimClick(snap, at);
        return true;
    }
    if (t == "coincident" || t == "midpoint") {
        if (!firstRef) {
            if (snap) firstRef = Ref{snap, *s.pos(*snap)};
            return true;
        }
        const Id a = *firstRef->id;
        firstRef.reset();
        if (t == "coincident" && snap) {
            if (*snap != a) modify([&](Sketch& k) { return k.mergePoints(a, *snap); });
            return true;
        }
        const auto curve = entityAt(at);
        if (!curve) return true;
        if (t == "midpoint") {
            if (isLine(*curve))
                modify([&](Sketch& k) { return k.addConstraint(ck::midpoint, {a, *curve}), true; });
            return true;
        }
        const char* kind = isLine(*curve) ? ck::pointOnLine : ck::pointOnCircle;
        modify([&](Sketch& k) { return k.addConstraint(kind, {a, *curve}), true; });
        return true;
    }
    if (t == "concentric") {
        const auto curve = entityAt(at);
        if (!curve || !isRound(*curve)) return true;
        if (!pendingEntity) {
            pendingEntity = *curve;
            return true;
        }
        const Id first = *pendingEntity;
        pendingEntity.reset();
        if (first == *curve) return true;
        const Id c1 = *centerOf(first), c2 = *centerOf(*curve);
        if (c1 != c2) modify([&](Sketch& k) { return k.mergePoints(c1, c2); });
        return true;
    }
    if (t == "hv") {
        const auto curve = entityAt(at);
        if (!curve || !isLine(*curve)) return true;
        const Id line = *curve;
        modify([&](Sketch& k) {
            std::erase_if(k.constraints, [line](const SConstraint& c) {
                return (c.kind == ck::horizontal || c.kind == ck::vertical) &&
                       c.refs == std::vector<Id>{line};
            });
            const SLine l = *k.line(line);
            const V2 d = *k.pos(l.b) - *k.pos(l.a);
            k.addConstraint(std::abs(d.y) <= std::abs(d.x) ? ck::horizontal : ck::vertical, {line});
            return true;
        });
        return true;
    }
    if (t == "parallel" || t == "perpendicular" || t == "equal" || t == "tangent") {
        const auto curve = entityAt(at);
        if (!curve) return true;
        if (!pendingEntity) {
            pendingEntity = *curve;
            return true;
        }
        const Id e = *pendingEntity, f = *curve;
        pendingEntity.reset();
        if (e == f) return true;
        std::vector<Id> refs{e, f};
        bool valid = false;
        if (t == "parallel" || t == "perpendicular") {
            valid = isLine(e) && isLine(f);
        } else if (t == "equal") {
            valid = (isLine(e) && isLine(f)) || (isRound(e) && isRound(f));
        } else {
            valid = (isLine(e) && isRound(f)) || (isRound(e) && isLine(f));
            if (isLine(f)) refs = {f, e};
        }
        if (!valid) {
            warn(kUnfit);
            return true;
        }
        modify([&](Sketch& k) { return k.addConstraint(t, refs), true; });
        return true;
    }
    if (t == "fixed") {
        if (snap && *snap != 0) {
            const Id id = *snap;
            modify([id](Sketch& k) {
                SPoint& p = k.points[*k.pointIndex(id)];
                p.fixed = !p.fixed;
                return true;
            });
        }
        return true;
    }
    return false;
}

void SketchEditor::dimClick(std::optional<Id> snap, ScreenPoint at) {
    const Sketch& s = *ctl->currentSketch();
    if (const auto label = labelAt(at)) {
        const auto c = std::find_if(s.constraints.begin(), s.constraints.end(),
                                    [&](const SConstraint& k) { return k.id == *label; });
        if (c != s.constraints.end() && c->value) {
            editDimension(*label);
            return;
        }
    }
    const auto addDimension = [&](const char* kind, std::vector<Id> refs, const char* title,
                                  double current) {
        const auto v = ctl->askNumber(title, current);
        if (!v || !(*v > 0)) return;
        modify([&](Sketch& k) { return k.addConstraint(kind, refs, *v), true; });
    };
    if (firstRef) {
        // A click off any point keeps the first point for the next click.
        if (!snap || *snap == *firstRef->id) return;
        const Id a = *firstRef->id, b = *snap;
        firstRef.reset();
        addDimension(ck::distance, {a, b}, "Distance (mm)", (*s.pos(a) - *s.pos(b)).length());
        return;
    }
    if (snap) {
        firstRef = Ref{snap, *s.pos(*snap)};
        return;
    }
    const auto curve = entityAt(at);
    if (!curve) return;
    if (const auto l = s.line(*curve)) {
        addDimension(ck::length, {*curve}, "Longueur (mm)", (*s.pos(l->b) - *s.pos(l->a)).length());
    } else if (const auto c = s.circle(*curve)) {
        addDimension(ck::diameter, {*curve}, "Diamètre (mm)", 2 * c->r);
    } else if (const auto a = s.arc(*curve)) {
        addDimension(ck::radius, {*curve}, "Rayon (mm)", (*s.pos(a->s) - *s.pos(a->c)).length());
    }
}

}  // namespace ivo
