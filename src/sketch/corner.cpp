// Rounding (fillet) and bevelling (chamfer) the corner where two lines meet.
#include <cmath>
#include <numbers>

#include "sketch/edit_support.h"

namespace ivo {
namespace {

// The two non-construction lines meeting at a corner point, and the corner's shape.
struct Corner {
    size_t line1 = 0, line2 = 0;  // indices in Sketch::lines
    V2 C, O1, O2;                 // the corner and the far ends of the two lines
    V2 u1, u2;                    // unit directions from the corner to the far ends
};

std::optional<Corner> findCorner(const Sketch& s, Id p) {
    const std::optional<V2> at = s.pos(p);
    if (!at) return std::nullopt;
    std::vector<size_t> found;
    for (size_t i = 0; i < s.lines.size(); ++i) {
        const SLine& l = s.lines[i];
        if (!l.construction && (l.a == p || l.b == p)) found.push_back(i);
    }
    if (found.size() != 2) return std::nullopt;
    Corner k{found[0], found[1], *at, {}, {}, {}, {}};
    auto farEnd = [&](const SLine& l) { return s.pos(l.a == p ? l.b : l.a).value_or(V2{}); };
    k.O1 = farEnd(s.lines[k.line1]);
    k.O2 = farEnd(s.lines[k.line2]);
    k.u1 = (k.O1 - k.C).normalized();
    k.u2 = (k.O2 - k.C).normalized();
    return k;
}

// Whether a cut `t` from the corner stays clear of both far ends.
bool fitsBoth(const Corner& k, double t) {
    return t < (k.O1 - k.C).length() - 1e-6 && t < (k.O2 - k.C).length() - 1e-6;
}

// Re-points both lines from the corner to their new ends, then removes the corner's
// constraints and, when nothing else holds it, the corner point.
void detachCorner(Sketch& s, const Corner& k, Id p, Id end1, Id end2) {
    for (auto [index, end] : {std::pair{k.line1, end1}, std::pair{k.line2, end2}}) {
        SLine& l = s.lines[index];
        (l.a == p ? l.a : l.b) = end;
    }
    eraseConstraintsOn(s, p);
    // A point placed on its own (a free point) stays, as orphan clean-up would keep it.
    if (p != 0 && !s.entityUsesPoint(p) && !isFreePoint(s, p))
        std::erase_if(s.points, [p](const SPoint& q) { return q.id == p; });
}

}  // namespace

bool Sketch::filletCorner(Id p, double radius) {
    const std::optional<Corner> k = findCorner(*this, p);
    if (!k || !(radius > 0) || !inReach(radius)) return false;
    const double theta = std::acos(std::clamp(k->u1.dot(k->u2), -1.0, 1.0));
    // Nearly straight or folded-back corners have no sensible tangent arc.
    if (!(theta >= 0.001 && theta <= std::numbers::pi - 0.001)) return false;
    const double t = radius / std::tan(theta / 2);
    if (!fitsBoth(*k, t)) return false;
    const V2 T1 = k->C + k->u1 * t, T2 = k->C + k->u2 * t;
    const V2 M = k->C + (k->u1 + k->u2).normalized() * (radius / std::sin(theta / 2));
    if (!inReach(T1) || !inReach(T2) || !inReach(M)) return false;

    const Id line1 = lines[k->line1].id, line2 = lines[k->line2].id;
    const Id t1 = addPoint(T1), t2 = addPoint(T2), centre = addPoint(M);
    detachCorner(*this, *k, p, t1, t2);
    // Arcs run counter-clockwise: take the short way round between the tangent points.
    const bool ccw = (T1 - M).cross(T2 - M) > 0;
    const Id arc = appendArc(*this, centre, ccw ? t1 : t2, ccw ? t2 : t1, false);
    addConstraint(ck::tangent, {line1, arc});
    addConstraint(ck::tangent, {line2, arc});
    addConstraint(ck::radius, {arc}, radius);
    solve({});
    return true;
}

bool Sketch::chamferCorner(Id p, double distance) {
    const std::optional<Corner> k = findCorner(*this, p);
    if (!k || !(distance > 0) || !inReach(distance)) return false;
    if (!fitsBoth(*k, distance)) return false;
    const Id p1 = addPoint(k->C + k->u1 * distance);
    const Id p2 = addPoint(k->C + k->u2 * distance);
    detachCorner(*this, *k, p, p1, p2);
    addLine(p1, p2, false);
    solve({});
    return true;
}

}  // namespace ivo
