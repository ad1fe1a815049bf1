// Connected curves, moving curves by a vector, and the displaced copy of a whole sketch.
#include <cmath>
#include <deque>
#include <initializer_list>
#include <unordered_map>
#include <unordered_set>

#include "sketch/edit_support.h"

namespace ivo {
namespace {

// The points a curve is built on, in the order line a, b; circle c; arc s, e, c.
std::vector<Id> curvePoints(const Sketch& s, Id id) {
    if (const auto l = s.line(id)) return {l->a, l->b};
    if (const auto k = s.circle(id)) return {k->c};
    if (const auto a = s.arc(id)) return {a->s, a->e, a->c};
    return {};
}

}  // namespace

std::vector<Id> Sketch::connectedComponent(Id id) const {
    if (!curve(id)) return {};
    // Each curve's points, and the curves built on each point; the origin connects nothing.
    std::unordered_map<Id, std::vector<Id>> pointsOf, curvesAt;
    auto add = [&](Id curve, std::initializer_list<Id> pts) {
        for (Id p : pts)
            if (p != 0) {
                pointsOf[curve].push_back(p);
                curvesAt[p].push_back(curve);
            }
    };
    for (const SLine& l : lines)
        add(l.id, {l.a, l.b});
    for (const SCircle& c : circles)
        add(c.id, {c.c});
    for (const SArc& a : arcs)
        add(a.id, {a.s, a.e, a.c});
    std::unordered_set<Id> reached{id};
    std::deque<Id> queue{id};
    while (!queue.empty()) {
        const Id c = queue.front();
        queue.pop_front();
        for (Id p : pointsOf[c])
            for (Id other : curvesAt[p])
                if (reached.insert(other).second) queue.push_back(other);
    }
    std::vector<Id> out;
    for (Id c : allEntities())
        if (reached.contains(c)) out.push_back(c);
    return out;
}

bool Sketch::moveEntities(const std::vector<Id>& ids, V2 by) {
    if (!inReach(by)) return false;
    std::vector<Id> moved;
    std::unordered_set<Id> movedSet;
    for (Id id : ids)
        for (Id p : curvePoints(*this, id))
            if (p != 0 && movedSet.insert(p).second) moved.push_back(p);
    if (moved.empty()) return false;
    for (const SPoint& p : points)
        if (movedSet.contains(p.id) && !p.fixed && !inReach(p.p + by)) return false;

    for (SPoint& p : points)
        if (movedSet.contains(p.id) && !p.fixed) p.p = p.p + by;
    // A distance between a moved and an unmoved point would pull the moved ones back.
    std::erase_if(constraints, [&movedSet](const SConstraint& c) {
        return c.kind == ck::distance && c.refs.size() == 2 &&
               movedSet.contains(c.refs[0]) != movedSet.contains(c.refs[1]);
    });
    solve(moved);
    return true;
}

std::optional<Sketch> Sketch::duplicated(double dx, double dy, double dz) const {
    if (!inReach(dx) || !inReach(dy) || !inReach(dz)) return std::nullopt;
    Sketch copy = *this;
    copy.plane.o = copy.plane.o + copy.plane.n * dz;
    for (SPoint& p : copy.points)
        if (p.id != 0) p.p = p.p + V2{dx, dy};
    for (const SPoint& p : copy.points)
        if (!inReach(p.p)) return std::nullopt;
    const V3 o = copy.plane.o;
    if (!inReach(o.x) || !inReach(o.y) || !inReach(o.z)) return std::nullopt;
    return copy;
}

}  // namespace ivo
