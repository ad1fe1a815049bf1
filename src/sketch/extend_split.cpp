// Lengthening a line up to the next curve ahead, and cutting a curve into pieces at its
// crossings. Trimming lives in trim.cpp.
#include "sketch/curve_table.h"
#include "sketch/curves.h"
#include "sketch/edit_support.h"

namespace ivo {
namespace {

constexpr double kReach = 100000;  // mm; nothing in a sketch lies farther than this

// True when another curve than line `self` is built on point p.
bool sharedPoint(const Sketch& s, Id p, Id self) {
    for (const SLine& l : s.lines)
        if (l.id != self && (l.a == p || l.b == p)) return true;
    for (const SCircle& c : s.circles)
        if (c.c == p) return true;
    for (const SArc& a : s.arcs)
        if (a.c == p || a.s == p || a.e == p) return true;
    return false;
}

// The nearest crossing strictly ahead of `from` along u, among every curve but line `self`
// (construction included).
std::optional<V2> firstHitAhead(const Sketch& s, Id self, V2 from, V2 u) {
    const V2 to = from + u * kReach;
    std::optional<V2> best;
    double bestD = 0;
    for (const CurveEntry& e : curveEntries(s)) {
        if (e.id == self) continue;
        const Curve& c = e.shape;
        std::vector<V2> hits =
            c.kind == Curve::Kind::line ? interLL(from, to, c.a, c.b) : interLC(from, to, c.c, c.r);
        for (V2 h : hits) {
            if (c.kind == Curve::Kind::arc && !onArc(h, c.c, c.a0, c.sweep)) continue;
            const double d = u.dot(h - from);
            if (d > 1e-6 && (!best || d < bestD)) {
                best = h;
                bestD = d;
            }
        }
    }
    return best;
}

}  // namespace

bool Sketch::extendLine(Id id, V2 near) {
    const std::optional<SLine> l = line(id);
    if (!l || !inReach(near)) return false;
    const V2 A = pos(l->a).value_or(V2{}), B = pos(l->b).value_or(V2{});
    const bool movesB = (near - B).length() < (near - A).length();
    const V2 moving = movesB ? B : A, still = movesB ? A : B;
    const V2 u = (moving - still).normalized();
    if (u.length() < 0.5) return false;  // a zero-length line has no direction
    const std::optional<V2> hit = firstHitAhead(*this, id, moving, u);
    if (!hit) return false;

    const Id end = movesB ? l->b : l->a;
    const std::optional<size_t> at = pointIndex(end);
    if (end == 0 || !at || sharedPoint(*this, end, id)) {
        // Dragging a shared corner (or the origin) along would bend the other curves.
        const Id fresh = addPoint(*hit);
        for (SLine& r : lines)
            if (r.id == id) (movesB ? r.b : r.a) = fresh;
    } else {
        points[*at].p = *hit;
    }
    std::erase_if(constraints, [id](const SConstraint& c) {
        return c.kind == ck::length && c.refs == std::vector<Id>{id};
    });
    solve({});
    return true;
}

bool Sketch::splitEntity(Id id) {
    const std::optional<Curve> c = curve(id);
    if (!c) return false;
    const std::vector<double> ts = cuts(id, true);
    if (ts.empty() || (c->kind == Curve::Kind::circle && ts.size() < 2)) return false;

    std::vector<Id> chain;
    switch (c->kind) {
        case Curve::Kind::line: {
            const SLine l = *line(id);
            chain.push_back(ensurePoint(*this, l.a, c->a));
            for (double t : ts)
                chain.push_back(addPoint(c->a + (c->b - c->a) * t));
            chain.push_back(ensurePoint(*this, l.b, c->b));
            std::erase_if(lines, [id](const SLine& r) { return r.id == id; });
            eraseConstraintsOn(*this, id);
            for (size_t i = 0; i + 1 < chain.size(); ++i)
                addLine(chain[i], chain[i + 1], l.construction);
            break;
        }
        case Curve::Kind::arc: {
            const SArc a = *arc(id);
            const Id centre = ensurePoint(*this, a.c, c->c);
            chain.push_back(ensurePoint(*this, a.s, polarPoint(c->c, c->r, c->a0)));
            for (double t : ts)
                chain.push_back(addPoint(polarPoint(c->c, c->r, c->a0 + t)));
            chain.push_back(
                a.e == a.s ? chain.front()
                           : ensurePoint(*this, a.e, polarPoint(c->c, c->r, c->a0 + c->sweep)));
            std::erase_if(arcs, [id](const SArc& r) { return r.id == id; });
            eraseConstraintsOn(*this, id);
            for (size_t i = 0; i + 1 < chain.size(); ++i)
                appendArc(*this, centre, chain[i], chain[i + 1], a.construction);
            break;
        }
        case Curve::Kind::circle: {
            const SCircle k = *circle(id);
            const Id centre = ensurePoint(*this, k.c, c->c);
            for (double t : ts)
                chain.push_back(addPoint(polarPoint(c->c, c->r, t)));
            std::erase_if(circles, [id](const SCircle& r) { return r.id == id; });
            eraseConstraintsOn(*this, id);
            // The pieces go round counter-clockwise, the last one across angle 0.
            for (size_t i = 0; i < chain.size(); ++i)
                appendArc(*this, centre, chain[i], chain[(i + 1) % chain.size()], k.construction);
            break;
        }
    }
    return true;
}

}  // namespace ivo
