// The click sequences of the drawing tools: lines, rectangles, circles, arcs, polygons,
// slots and points. Each creating click is one undo step; degenerate clicks are ignored and
// leave the tool's state as it was.
#include <cmath>
#include <numbers>

#include "editor/sketch_editor.h"
#include "sketch/curves.h"

namespace ivo {
namespace {

constexpr double kTiny = 1e-6;
constexpr double pi = std::numbers::pi;

// Where a reference lies now: an existing point may have moved since it was clicked.
V2 refPos(const Sketch& s, const SketchEditor::Ref& r) {
    if (r.id)
        if (const auto p = s.pos(*r.id)) return *p;
    return r.pt;
}

// The reference's point, or a new point at its position when it has none (or lost it).
Id refPoint(Sketch& s, const SketchEditor::Ref& r) {
    if (r.id && s.pointIndex(*r.id)) return *r.id;
    return s.addPoint(r.pt);
}

bool sameRef(const Sketch& s, const SketchEditor::Ref& a, const SketchEditor::Ref& b) {
    if (a.id && b.id && *a.id == *b.id) return true;
    return (refPos(s, a) - refPos(s, b)).length() < kTiny;
}

void addLineWithAutoHV(Sketch& s, Id a, Id b) {
    const Id l = s.addLine(a, b);
    const V2 d = *s.pos(b) - *s.pos(a);
    const double deg = std::abs(std::atan2(d.y, d.x)) * 180 / pi;
    if (deg < 1.5 || deg > 178.5)
        s.addConstraint(ck::horizontal, {l});
    else if (std::abs(deg - 90) < 1.5)
        s.addConstraint(ck::vertical, {l});
}

}  // namespace

bool SketchEditor::drawingClick(std::optional<Id> snap, V2 snapPos) {
    const std::string& t = tool_;
    static const char* const drawing[] = {"line",    "rect",    "rect3", "rectC", "circle",
                                          "circle2", "circle3", "arc",   "arc3",  "polyI",
                                          "polyC",   "slotCC",  "slotO", "point"};
    if (std::find(std::begin(drawing), std::end(drawing), t) == std::end(drawing)) return false;
    const Sketch& s = *ctl->currentSketch();
    const Ref click{snap, snapPos};
    // A stale reference (undone, deleted) starts the tool afresh at this click.
    if (firstRef && firstRef->id && !s.pointIndex(*firstRef->id)) firstRef->id.reset();
    if (secondRef && secondRef->id && !s.pointIndex(*secondRef->id)) secondRef->id.reset();

    if (t == "point") {
        if (snap) return true;
        modify([&](Sketch& k) {
            const Id id = k.addPoint(snapPos);
            if (!k.freePoints) k.freePoints.emplace();
            k.freePoints->push_back(id);
            return true;
        });
        return true;
    }
    if (!firstRef) {
        firstRef = click;
        return true;
    }
    const Ref first = *firstRef;
    const V2 A = refPos(s, first);
    const bool threeClicks = t == "rect3" || t == "circle3" || t == "arc3" || t == "arc" ||
                             t == "slotCC" || t == "slotO";
    if (threeClicks && !secondRef) {
        // A second reference on the first leaves nothing to build on: wait for another.
        if (sameRef(s, first, click)) return true;
        if (t == "arc" && (snapPos - A).length() < kTiny) return true;
        secondRef = click;
        return true;
    }

    if (t == "line") {
        if (sameRef(s, first, click)) return true;
        Id end = 0;
        modify([&](Sketch& k) {
            const Id a = refPoint(k, first);
            end = snap ? *snap : k.addPoint(snapPos);
            addLineWithAutoHV(k, a, end);
            return true;
        });
        if (snap)
            firstRef.reset();
        else
            firstRef = Ref{end, snapPos};
        return true;
    }
    if (t == "rect") {
        if (std::abs(snapPos.x - A.x) < kTiny || std::abs(snapPos.y - A.y) < kTiny) return true;
        modify([&](Sketch& k) {
            const Id p1 = refPoint(k, first);
            const Id p3 = snap ? *snap : k.addPoint(snapPos);
            const Id p2 = k.addPoint({snapPos.x, A.y}), p4 = k.addPoint({A.x, snapPos.y});
            const Id l1 = k.addLine(p1, p2), l2 = k.addLine(p2, p3);
            const Id l3 = k.addLine(p3, p4), l4 = k.addLine(p4, p1);
            k.addConstraint(ck::horizontal, {l1});
            k.addConstraint(ck::horizontal, {l3});
            k.addConstraint(ck::vertical, {l2});
            k.addConstraint(ck::vertical, {l4});
            return true;
        });
        firstRef.reset();
        return true;
    }
    if (t == "rectC") {
        const V2 c2 = snapPos;
        if (std::abs(c2.x - A.x) < kTiny || std::abs(c2.y - A.y) < kTiny) return true;
        const V2 o = A * 2 - c2;
        modify([&](Sketch& k) {
            const Id centre = refPoint(k, first);
            const Id po = k.addPoint(o), pc = k.addPoint(c2);
            const Id q1 = k.addPoint({c2.x, o.y}), q2 = k.addPoint({o.x, c2.y});
            // Around the perimeter, so that the first line runs along x.
            const Id l1 = k.addLine(po, q1), l2 = k.addLine(q1, pc);
            const Id l3 = k.addLine(pc, q2), l4 = k.addLine(q2, po);
            k.addConstraint(ck::horizontal, {l1});
            k.addConstraint(ck::vertical, {l2});
            k.addConstraint(ck::horizontal, {l3});
            k.addConstraint(ck::vertical, {l4});
            const Id diagonal = k.addLine(po, pc, true);
            k.addConstraint(ck::midpoint, {centre, diagonal});
            return true;
        });
        firstRef.reset();
        return true;
    }
    if (t == "circle" || t == "circle2") {
        if (sameRef(s, first, click)) return true;
        const double r = (snapPos - A).length();
        if (r < kTiny) return true;
        modify([&](Sketch& k) {
            const Id c = t == "circle" ? refPoint(k, first) : k.addPoint((A + snapPos) / 2);
            k.circles.push_back({k.newId(), c, t == "circle" ? r : r / 2, false});
            return true;
        });
        firstRef.reset();
        return true;
    }
    if (t == "polyI" || t == "polyC") {
        const V2 d = snapPos - A;
        if (d.length() < kTiny) return true;
        const int n = std::clamp(polygonSides, 3, 64);
        const bool inscribed = t == "polyI";
        const double R = inscribed ? d.length() : d.length() / std::cos(pi / n);
        const double offset = inscribed ? 0 : pi / n;
        modify([&](Sketch& k) {
            const Id c = refPoint(k, first);
            std::vector<Id> vs, sides;
            for (int i = 0; i < n; ++i) {
                const double th = std::atan2(d.y, d.x) + offset + 2 * pi * i / n;
                vs.push_back(k.addPoint(A + V2{std::cos(th), std::sin(th)} * R));
            }
            for (int i = 0; i < n; ++i)
                sides.push_back(k.addLine(vs[i], vs[(i + 1) % n]));
            const Id circle = k.newId();
            k.circles.push_back({circle, c, d.length(), true});
            for (int i = 1; i < n; ++i)
                k.addConstraint(ck::equal, {sides[0], sides[i]});
            for (int i = 0; i < n; ++i) {
                if (inscribed)
                    k.addConstraint(ck::pointOnCircle, {vs[i], circle});
                else
                    k.addConstraint(ck::tangent, {sides[i], circle});
            }
            return true;
        });
        firstRef.reset();
        return true;
    }

    // Three-click tools, third click.
    const Ref second = *secondRef;
    const V2 B = refPos(s, second);
    if (t == "rect3") {
        const V2 n = (B - A).normalized().perpLeft();
        const double w = n.dot(snapPos - A);
        if (std::abs(w) < kTiny) return true;
        modify([&](Sketch& k) {
            const Id p1 = refPoint(k, first), p2 = refPoint(k, second);
            const Id p3 = k.addPoint(B + n * w), p4 = k.addPoint(A + n * w);
            const Id l1 = k.addLine(p1, p2), l2 = k.addLine(p2, p3);
            const Id l3 = k.addLine(p3, p4), l4 = k.addLine(p4, p1);
            k.addConstraint(ck::perpendicular, {l1, l2});
            k.addConstraint(ck::perpendicular, {l2, l3});
            k.addConstraint(ck::perpendicular, {l3, l4});
            return true;
        });
        resetPending();
        return true;
    }
    if (t == "circle3" || t == "arc3") {
        const auto c = circumcenter(A, B, snapPos);
        if (!c) {
            warn("Les trois points sont alignés.");
            return true;
        }
        modify([&](Sketch& k) {
            const Id centre = k.addPoint(*c);
            if (t == "circle3") {
                k.circles.push_back({k.newId(), centre, (A - *c).length(), false});
                return true;
            }
            const Id a = refPoint(k, first), b = refPoint(k, second);
            const double a0 = std::atan2(A.y - c->y, A.x - c->x);
            const double sb = normAngle(std::atan2(B.y - c->y, B.x - c->x) - a0);
            const double sm = normAngle(std::atan2(snapPos.y - c->y, snapPos.x - c->x) - a0);
            // Counter-clockwise from the end whose turn reaches the third click first.
            if (sm < sb)
                k.arcs.push_back({k.newId(), centre, a, b, false});
            else
                k.arcs.push_back({k.newId(), centre, b, a, false});
            return true;
        });
        resetPending();
        return true;
    }
    if (t == "arc") {
        const double r = (B - A).length();
        const V2 dir = snapPos - A;
        if (r < kTiny || dir.length() < kTiny) return true;
        if (snap && (sameRef(s, second, click) || sameRef(s, first, click))) return true;
        const V2 endPos = A + dir.normalized() * r;
        if ((endPos - B).length() < kTiny) return true;
        modify([&](Sketch& k) {
            const Id c = refPoint(k, first), st = refPoint(k, second);
            const Id e = snap ? *snap : k.addPoint(endPos);
            k.arcs.push_back({k.newId(), c, st, e, false});
            return true;
        });
        resetPending();
        return true;
    }
    if (t == "slotCC" || t == "slotO") {
        const V2 u = (B - A).normalized();
        const double w = std::abs(u.cross(snapPos - A));
        if (w < kTiny) return true;
        const bool overall = t == "slotO";
        if (overall && (B - A).length() <= 2 * w + kTiny) {
            warn("Rainure trop courte pour cette largeur.");
            return true;
        }
        const V2 cA = overall ? A + u * w : A, cB = overall ? B - u * w : B;
        const V2 n = u.perpLeft() * w;
        modify([&](Sketch& k) {
            const Id ca = overall ? k.addPoint(cA) : refPoint(k, first);
            const Id cb = overall ? k.addPoint(cB) : refPoint(k, second);
            const Id an = k.addPoint(cA + n), as = k.addPoint(cA - n);
            const Id bn = k.addPoint(cB + n), bs = k.addPoint(cB - n);
            const Id top = k.addLine(an, bn), bottom = k.addLine(as, bs);
            k.addLine(ca, cb, true);
            const Id arc1 = k.newId();
            k.arcs.push_back({arc1, ca, an, as, false});
            const Id arc2 = k.newId();
            k.arcs.push_back({arc2, cb, bs, bn, false});
            for (Id side : {top, bottom})
                for (Id end : {arc1, arc2})
                    k.addConstraint(ck::tangent, {side, end});
            k.addConstraint(ck::equal, {arc1, arc2});
            return true;
        });
        resetPending();
        return true;
    }
    return true;
}

}  // namespace ivo
