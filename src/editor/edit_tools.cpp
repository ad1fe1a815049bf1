// The editing tools: trim, extend, split, offset, fillet, chamfer, mirror, patterns and
// copy/move. The geometry is the sketch's own; here are the prompts, the statuses and the
// undo steps. A refused operation pushes nothing.
#include <algorithm>
#include <cmath>
#include <limits>

#include "editor/sketch_editor.h"
#include "input/parse_num.h"

namespace ivo {
namespace {

// Counts typed into a prompt: whole numbers, halves away from zero. Nothing for a count that
// is not finite or lies beyond `cap`, so that no huge double reaches an int.
std::optional<long long> wholeCount(double v, double cap) {
    if (!std::isfinite(v)) return std::nullopt;
    const double r = std::round(v);
    if (std::abs(r) > cap) return std::nullopt;
    return static_cast<long long>(r);
}

// Pattern sizes beyond these would flood the sketch (the sketch refuses more than
// Sketch::maxPatternInstances instances anyway).
constexpr double kMaxPerDirection = 1000;
constexpr long long kMaxCopies = 1000;

}  // namespace

bool SketchEditor::editingClick(std::optional<Id> snap, V2 p, ScreenPoint at) {
    const std::string& t = tool_;
    EditorMemory& mem = ctl->memory();
    if (t == "trim") {
        if (const auto curve = entityAt(at)) {
            modify([&](Sketch& k) { return k.trim(*curve, p); });
            selected.reset();
            selectedPieceAt.reset();
            hoverPiece.reset();
        }
        return true;
    }
    if (t == "extend") {
        const auto line = entityAt(at);
        if (line && isLine(*line)) {
            Sketch copy = *ctl->currentSketch();
            if (copy.extendLine(*line, p))
                commit(copy);
            else
                warn("Rien à atteindre dans cette direction.");
        }
        return true;
    }
    if (t == "split") {
        if (const auto curve = entityAt(at)) {
            Sketch copy = *ctl->currentSketch();
            if (copy.splitEntity(*curve)) {
                commit(copy);
                routineStatus("Élément scindé à ses croisements.");
            } else {
                warn("Cet élément ne croise rien.");
            }
        }
        return true;
    }
    if (t == "offset") {
        const auto curve = entityAt(at);
        if (!curve) return true;
        const auto d = ctl->askNumber("Distance de décalage (mm) — négative = vers l'intérieur",
                                      mem.lastOffset);
        if (!d) return true;
        mem.lastOffset = *d;
        Sketch copy = *ctl->currentSketch();
        if (copy.offsetEntity(*curve, *d))
            commit(copy);
        else
            warn("Décalage impossible avec cette distance.");
        return true;
    }
    if (t == "fillet" || t == "chamferS") {
        const bool fillet = t == "fillet";
        if (!snap) {
            warn(fillet ? "Cliquez exactement sur un coin (point) entre deux lignes."
                        : "Chanfrein : cliquez exactement sur un coin entre deux lignes.");
            return true;
        }
        const auto v = fillet ? ctl->askNumber("Rayon du congé (mm)", mem.lastFilletRadius)
                              : ctl->askNumber("Distance du chanfrein (mm)", mem.lastChamfer);
        if (!v) return true;
        (fillet ? mem.lastFilletRadius : mem.lastChamfer) = *v;
        Sketch copy = *ctl->currentSketch();
        if (fillet ? copy.filletCorner(*snap, *v) : copy.chamferCorner(*snap, *v))
            commit(copy);
        else
            warn(fillet ? "Congé impossible ici (il faut un coin entre deux lignes assez longues)."
                        : "Chanfrein impossible ici (coin entre deux lignes assez longues).");
        return true;
    }
    if (t == "mirror") {
        const auto curve = entityAt(at);
        if (pendingEntity && !isLine(*pendingEntity)) pendingEntity.reset();  // undone axis
        if (!pendingEntity) {
            if (!curve) return true;
            if (isLine(*curve)) {
                pendingEntity = *curve;
                ctl->setStatus(
                    "Miroir : axe choisi. Cliquez maintenant chaque élément à copier en "
                    "symétrie.");
            } else {
                warn("Miroir : l'axe doit être une ligne (souvent une ligne de construction).");
            }
            return true;
        }
        if (!curve) return true;
        if (*curve == *pendingEntity) {
            pendingEntity.reset();
            ctl->setStatus(hint(t));
            return true;
        }
        const Id axis = *pendingEntity;
        const bool done = modify([&](Sketch& k) {
            bool any = false;
            for (Id id : k.connectedComponent(*curve))
                if (id != axis && k.mirrorEntity(id, axis)) any = true;
            return any;
        });
        if (done)
            routineStatus(
                "Miroir : cliquez d'autres éléments à copier, ou Échap pour changer d'axe.");
        return true;
    }
    if (t == "patternC") {
        if (firstRef && (!firstRef->id || !ctl->currentSketch()->pointIndex(*firstRef->id)))
            firstRef.reset();
        if (!firstRef) {
            if (snap) {
                firstRef = Ref{snap, p};
                ctl->setStatus("Réseau circulaire : centre choisi. Cliquez l'élément à répéter.");
            } else {
                warn("Réseau circulaire : cliquez d'abord un point (le centre).");
            }
            return true;
        }
        const auto curve = entityAt(at);
        if (!curve) return true;
        const auto n =
            ctl->askNumber("Nombre d'exemplaires (au total, sur 360°)", mem.patternCount);
        if (!n) return true;
        const int count =
            static_cast<int>(std::isfinite(*n) ? std::clamp(std::round(*n), 2.0, 360.0) : 2.0);
        mem.patternCount = count;
        const Id centre = *firstRef->id;
        const bool done = modify([&](Sketch& k) {
            bool any = false;
            for (Id id : k.connectedComponent(*curve))
                if (k.circularPattern(id, centre, count)) any = true;
            return any;
        });
        if (done)
            routineStatus(
                "Réseau circulaire : cliquez un autre élément, ou Échap pour changer de centre.");
        return true;
    }
    if (t == "patternR") {
        if (const auto curve = entityAt(at)) patternR(*curve);
        return true;
    }
    if (t == "copyMove") {
        if (const auto curve = entityAt(at))
            copyMoveDialog(ctl->currentSketch()->connectedComponent(*curve), "le contour cliqué");
        return true;
    }
    return false;
}

void SketchEditor::patternR(Id curve) {
    EditorMemory& mem = ctl->memory();
    const auto v = ctl->askNumbers(
        "Réseau rectangulaire",
        "Le contour cliqué est répété. Espacement = distance d'une copie à la suivante.",
        {{"Nombre en X", mem.lastNX},
         {"Espacement X (mm)", mem.lastDX},
         {"Nombre en Y", mem.lastNY},
         {"Espacement Y (mm)", mem.lastDY}});
    if (!v || v->size() != 4) return;
    mem.lastNX = (*v)[0];
    mem.lastDX = (*v)[1];
    mem.lastNY = (*v)[2];
    mem.lastDY = (*v)[3];
    const auto nx = wholeCount((*v)[0], kMaxPerDirection),
               ny = wholeCount((*v)[2], kMaxPerDirection);
    if (!nx || !ny || std::max(*nx, 1LL) * std::max(*ny, 1LL) > Sketch::maxPatternInstances) {
        warn("Réseau trop grand : au plus " + std::to_string(Sketch::maxPatternInstances) +
             " exemplaires.");
        return;
    }
    const int cx = static_cast<int>(std::max(*nx, 1LL)), cy = static_cast<int>(std::max(*ny, 1LL));
    const double dx = (*v)[1], dy = (*v)[3];
    modify([&](Sketch& k) {
        bool any = false;
        for (Id id : k.connectedComponent(curve))
            if (k.rectPattern(id, cx, dx, cy, dy)) any = true;
        return any;
    });
}

void SketchEditor::copyAll() {
    if (const Sketch* s = ctl->currentSketch())
        copyMoveDialog(s->allEntities(), "toute l'esquisse");
}

void SketchEditor::copyContour(Id curve) {
    if (const Sketch* s = ctl->currentSketch())
        copyMoveDialog(s->connectedComponent(curve), "le contour sélectionné");
}

void SketchEditor::copyMoveDialog(const std::vector<Id>& what, const std::string& label) {
    if (what.empty()) return;
    EditorMemory& mem = ctl->memory();
    const auto v = ctl->askNumbers(
        "Copier / déplacer " + label,
        "Décalage = distance entre l'original et la copie (ou entre deux copies).\nNombre de "
        "copies : 0 = déplacer sans copier.",
        {{"Décalage X (mm)", mem.lastDX},
         {"Décalage Y (mm)", mem.lastDY},
         {"Nombre de copies", mem.lastCopies}});
    if (!v || v->size() != 3) return;
    mem.lastDX = (*v)[0];
    mem.lastDY = (*v)[1];
    mem.lastCopies = (*v)[2];
    const V2 d{(*v)[0], (*v)[1]};
    if (d.length() < 1e-9) {
        warn("Décalage nul : rien à faire.");
        return;
    }
    const auto n = wholeCount((*v)[2], kMaxCopies);
    if (!n) {
        warn("Trop de copies : au plus " + std::to_string(kMaxCopies) + ".");
        return;
    }
    const long long copies = std::max(*n, 0LL);
    const bool done = modify([&](Sketch& k) {
        if (copies == 0) return k.moveEntities(what, d);
        bool any = false;
        for (long long i = 1; i <= copies; ++i) {
            const V2 by = d * static_cast<double>(i);
            if (!k.copyEntities(what, false, [by](V2 q) { return q + by; }).empty()) any = true;
        }
        return any;
    });
    if (!done) return;
    const std::string tail = fmt(d.x) + " ; " + fmt(d.y) + " mm.";
    routineStatus(copies == 0 ? "Déplacé de " + tail
                              : std::to_string(copies) + " copie(s) espacée(s) de " + tail);
}

}  // namespace ivo
