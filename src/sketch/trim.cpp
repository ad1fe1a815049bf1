// The pieces of a curve between consecutive cuts, and trimming one of them away. Extending
// and splitting live in extend_split.cpp, deletion in delete.cpp.
#include <cmath>
#include <numbers>
#include <unordered_map>

#include "sketch/curves.h"
#include "sketch/edit_support.h"

namespace ivo {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kEps = 1e-9;

// The first consecutive pair of bounds holding t (with 1e-9 of slack).
std::optional<Sketch::Range> bracket(const std::vector<double>& bounds, double t) {
    for (size_t i = 0; i + 1 < bounds.size(); ++i)
        if (bounds[i] - kEps <= t && t <= bounds[i + 1] + kEps) return {{bounds[i], bounds[i + 1]}};
    return std::nullopt;
}

std::vector<double> withEnds(double first, const std::vector<double>& ts, double last) {
    std::vector<double> bounds;
    bounds.reserve(ts.size() + 2);
    bounds.push_back(first);
    bounds.insert(bounds.end(), ts.begin(), ts.end());
    bounds.push_back(last);
    return bounds;
}

// A radius that a round curve's remaining arcs inherit: a diameter (halved) first, then a
// radius; only constraints on this curve alone that carry a value count.
std::optional<double> carriedRadius(const Sketch& s, Id id) {
    for (const SConstraint& c : s.constraints)
        if (c.kind == ck::diameter && c.refs == std::vector<Id>{id} && c.value) return *c.value / 2;
    for (const SConstraint& c : s.constraints)
        if (c.kind == ck::radius && c.refs == std::vector<Id>{id} && c.value) return c.value;
    return std::nullopt;
}

// Deleting a curve may take its points with it; the remaining pieces need them back. One
// re-created point serves every reference to the same old id (an arc whose start is also its
// end keeps one point).
struct Revival {
    Sketch& s;
    std::unordered_map<Id, Id> made;

    Id point(Id old, V2 at) {
        if (s.pointIndex(old)) return old;
        const auto it = made.find(old);
        if (it != made.end()) return it->second;
        return made[old] = s.addPoint(at);
    }
};

void trimLine(Sketch& s, const SLine& l, const Curve& c, Sketch::Range piece) {
    const V2 A = c.a, B = c.b;
    s.deleteEntity(l.id);
    Revival revive{s, {}};
    if (piece.lo > kEps) {
        const Id cut = s.addPoint(A + (B - A) * piece.lo);
        s.addLine(revive.point(l.a, A), cut, l.construction);
    }
    if (piece.hi < 1 - kEps) {
        const Id cut = s.addPoint(A + (B - A) * piece.hi);
        s.addLine(cut, revive.point(l.b, B), l.construction);
    }
}

void trimArc(Sketch& s, const SArc& a, const Curve& c, Sketch::Range piece) {
    const std::optional<double> radius = carriedRadius(s, a.id);
    s.deleteEntity(a.id);
    Revival revive{s, {}};
    const Id centre = revive.point(a.c, c.c);
    auto keep = [&](Id from, Id to) {
        const Id arc = appendArc(s, centre, from, to, a.construction);
        if (radius) s.addConstraint(ck::radius, {arc}, radius);
    };
    if (piece.lo > kEps) {
        const Id start = revive.point(a.s, polarPoint(c.c, c.r, c.a0));
        keep(start, s.addPoint(polarPoint(c.c, c.r, c.a0 + piece.lo)));
    }
    if (piece.hi < c.sweep - kEps) {
        const Id end = revive.point(a.e, polarPoint(c.c, c.r, c.a0 + c.sweep));
        const Id cut = s.addPoint(polarPoint(c.c, c.r, c.a0 + piece.hi));
        keep(cut, end);
    }
}

void trimCircle(Sketch& s, const SCircle& k, const Curve& c, Sketch::Range piece) {
    if (std::abs(piece.hi - piece.lo - kTwoPi) < kEps) {
        s.deleteEntity(k.id);
        return;
    }
    const std::optional<double> radius = carriedRadius(s, k.id);
    s.deleteEntity(k.id);
    const Id centre = ensurePoint(s, k.c, c.c);
    // What remains runs counter-clockwise from the end of the removed piece to its start.
    const Id from = s.addPoint(polarPoint(c.c, c.r, piece.hi));
    const Id to = s.addPoint(polarPoint(c.c, c.r, piece.lo));
    const Id arc = appendArc(s, centre, from, to, k.construction);
    if (radius) s.addConstraint(ck::radius, {arc}, radius);
}

}  // namespace

std::optional<Sketch::Range> Sketch::pieceRange(Id id, V2 at) const {
    if (!inReach(at)) return std::nullopt;
    const std::optional<Curve> c = curve(id);
    if (!c) return std::nullopt;
    const std::vector<double> ts = cuts(id, true);
    const double t = param(*c, at);
    switch (c->kind) {
        case Curve::Kind::line: return bracket(withEnds(0, ts, 1), t).value_or(Range{0, 1});
        case Curve::Kind::circle: {
            const size_t n = ts.size();
            for (size_t i = 0; n >= 2 && i < n; ++i) {
                const double lo = ts[i];
                double hi = ts[(i + 1) % n];
                if (hi <= lo) hi += kTwoPi;
                const double wrapped = t < lo ? t + kTwoPi : t;
                if (lo - kEps <= wrapped && wrapped <= hi + kEps) return Range{lo, hi};
            }
            return Range{0, kTwoPi};
        }
        case Curve::Kind::arc:
            return bracket(withEnds(0, ts, c->sweep), t).value_or(Range{0, c->sweep});
    }
    return std::nullopt;
}

std::vector<V2> Sketch::piecePolyline(Id id, V2 at) const {
    const std::optional<Range> piece = pieceRange(id, at);
    if (!piece) return {};
    const Curve c = *curve(id);
    switch (c.kind) {
        case Curve::Kind::line:
            return {c.a + (c.b - c.a) * piece->lo, c.a + (c.b - c.a) * piece->hi};
        case Curve::Kind::circle: return arcPolyline(c.c, c.r, piece->lo, piece->hi - piece->lo);
        case Curve::Kind::arc:
            return arcPolyline(c.c, c.r, c.a0 + piece->lo, piece->hi - piece->lo);
    }
    return {};
}

bool Sketch::trim(Id id, V2 at) {
    const std::optional<Curve> c = curve(id);
    const std::optional<Range> piece = pieceRange(id, at);
    if (!c || !piece) return false;
    switch (c->kind) {
        case Curve::Kind::line: trimLine(*this, *line(id), *c, *piece); break;
        case Curve::Kind::circle: trimCircle(*this, *circle(id), *c, *piece); break;
        case Curve::Kind::arc: trimArc(*this, *arc(id), *c, *piece); break;
    }
    removeOrphans();
    return true;
}

}  // namespace ivo
