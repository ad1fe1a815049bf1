// Copies of curves through a transformation: mirror images, circular and rectangular
// patterns. Moving and duplicating live in move.cpp.
#include <cmath>
#include <numbers>

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

}  // namespace ivo
