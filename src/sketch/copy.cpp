// Copies of curves through a transformation (mirror images, circular and rectangular
// patterns), connected curves, moving curves by a vector, and the displaced copy of a whole
// sketch.
#include <cmath>
#include <deque>
#include <initializer_list>
#include <numbers>
#include <unordered_map>
#include <unordered_set>

#include "sketch/edit_support.h"

namespace ivo {
namespace {

// Runs a whole pattern on a scratch copy, so that a copy failing half-way (a transformed
// point overflowing, say) leaves the sketch as it was.
template <class MakeCopies>
bool allOrNothing(Sketch& s, MakeCopies makeCopies) {
    Sketch scratch = s;
    if (!makeCopies(scratch)) return false;
    s = std::move(scratch);
    return true;
}

// The points a curve is built on, in the order line a, b; circle c; arc s, e, c.
std::vector<Id> curvePoints(const Sketch& s, Id id) {
    if (const auto l = s.line(id)) return {l->a, l->b};
    if (const auto k = s.circle(id)) return {k->c};
    if (const auto a = s.arc(id)) return {a->s, a->e, a->c};
    return {};
}

}  // namespace

std::optional<Id> Sketch::pointAt(V2 q) {
    if (!inReach(q)) return std::nullopt;
    for (const SPoint& p : points)
        if ((p.p - q).length() <= 1e-6) return p.id;
    return addPoint(q);
}

std::optional<Id> Sketch::copyEntity(Id id, bool flip, const Transform& transform) {
    auto image = [&](Id p) { return transform(pos(p).value_or(V2{})); };
    if (const auto l = line(id)) {
        const V2 A = image(l->a), B = image(l->b);
        if (!inReach(A) || !inReach(B)) return std::nullopt;
        // Both ends may land on one point; undo the point lookups then, not just the line.
        const size_t pointCount = points.size();
        const Id idBefore = nextId;
        const Id pa = *pointAt(A), pb = *pointAt(B);
        if (pa == pb) {
            points.resize(pointCount);
            nextId = idBefore;
            return std::nullopt;
        }
        return addLine(pa, pb, l->construction);
    }
    if (const auto k = circle(id)) {
        const V2 C = image(k->c);
        if (!inReach(C)) return std::nullopt;
        return appendCircle(*this, *pointAt(C), k->r, k->construction);
    }
    if (const auto a = arc(id)) {
        const V2 C = image(a->c), S = image(a->s), E = image(a->e);
        if (!inReach(C) || !inReach(S) || !inReach(E)) return std::nullopt;
        const Id pc = *pointAt(C), ps = *pointAt(S), pe = *pointAt(E);
        // A reflection turns counter-clockwise into clockwise: swap the ends to keep the arc.
        return appendArc(*this, pc, flip ? pe : ps, flip ? ps : pe, a->construction);
    }
    return std::nullopt;
}

std::vector<Id> Sketch::copyEntities(const std::vector<Id>& ids, bool flip,
                                     const Transform& transform) {
    std::vector<Id> made;
    for (Id id : ids)
        if (const auto copy = copyEntity(id, flip, transform)) made.push_back(*copy);
    return made;
}

bool Sketch::mirrorEntity(Id id, Id axis) {
    const std::optional<SLine> l = line(axis);
    if (!l || axis == id) return false;
    const V2 A = pos(l->a).value_or(V2{});
    const V2 u = (pos(l->b).value_or(V2{}) - A).normalized();
    if (u.length() < 0.5) return false;  // a zero-length axis has no direction
    const auto mirror = [A, u](V2 q) { return A + u * (2 * u.dot(q - A)) - (q - A); };
    return copyEntity(id, true, mirror).has_value();
}

bool Sketch::circularPattern(Id id, Id center, int count) {
    const std::optional<V2> c = pos(center);
    if (!c || !curve(id) || count < 2 || count > maxPatternInstances) return false;
    return allOrNothing(*this, [&](Sketch& s) {
        for (int k = 1; k < count; ++k) {
            const double angle = 2 * std::numbers::pi * k / count;
            const double cs = std::cos(angle), sn = std::sin(angle);
            const auto turn = [&](V2 q) {
                const V2 v = q - *c;
                return *c + V2{cs * v.x - sn * v.y, sn * v.x + cs * v.y};
            };
            if (!s.copyEntity(id, false, turn)) return false;
        }
        return true;
    });
}

bool Sketch::rectPattern(Id id, int nx, double dx, int ny, double dy) {
    if (nx < 1 || ny < 1 || !inReach(dx) || !inReach(dy) || !curve(id)) return false;
    const long long instances = static_cast<long long>(nx) * ny;
    if (instances < 2 || instances > maxPatternInstances) return false;
    // A zero step along a repeated direction would stack copies on top of each other.
    if ((nx > 1 && std::abs(dx) < 1e-9) || (ny > 1 && std::abs(dy) < 1e-9)) return false;
    return allOrNothing(*this, [&](Sketch& s) {
        for (int i = 0; i < nx; ++i)
            for (int j = 0; j < ny; ++j) {
                if (i == 0 && j == 0) continue;
                const V2 by{dx * i, dy * j};
                if (!s.copyEntity(id, false, [by](V2 q) { return q + by; })) return false;
            }
        return true;
    });
}

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
