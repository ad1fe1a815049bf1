// Curve shapes of sketch entities, their polylines, and the intersections between them.
// Cut parameters are assembled in curve_table.cpp; closed profiles in profiles.cpp.
#include "sketch/curves.h"

#include <cmath>
#include <numbers>

#include "sketch/curve_table.h"

namespace ivo {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

bool finite(V2 p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// Overflow in huge sketches can turn a crossing into inf or NaN; such points cut nothing.
std::vector<V2> keepFinite(std::vector<V2> pts) {
    std::erase_if(pts, [](V2 p) { return !finite(p); });
    return pts;
}

// Segment count of a polyline over `turn` radians at `perTurn` segments per full turn, never
// below `least`; a non-finite angle gets the least.
int segmentCount(double turn, int perTurn, int least) {
    const double n = std::ceil(std::abs(turn) / kTwoPi * perTurn);
    // A polyline of thousands of turns is a caller's mistake; keep the allocation bounded.
    constexpr double most = 1 << 16;
    if (!(n > least)) return least;
    return static_cast<int>(std::min(n, most));
}

V2 polar(V2 c, double r, double a) {
    return {c.x + r * std::cos(a), c.y + r * std::sin(a)};
}

double angleOf(V2 d) {
    return std::atan2(d.y, d.x);
}

}  // namespace

std::optional<Curve> Sketch::curve(Id id) const {
    auto at = [this](Id p) { return pos(p).value_or(V2{}); };
    for (const SLine& l : lines)
        if (l.id == id) return Curve::line(at(l.a), at(l.b));
    for (const SCircle& c : circles)
        if (c.id == id) return Curve::circle(at(c.c), c.r);
    for (const SArc& a : arcs)
        if (a.id == id) return arcShape(at(a.c), at(a.s), at(a.e));
    return std::nullopt;
}

std::vector<V2> Sketch::arcPoints(const SArc& arc, int segmentsPerTurn) const {
    const V2 c = pos(arc.c).value_or(V2{});
    const V2 s = pos(arc.s).value_or(V2{});
    const V2 e = pos(arc.e).value_or(V2{});
    const double r = (s - c).length();
    const double a0 = angleOf(s - c);
    double sweep = angleOf(e - c) - a0;
    // The difference of two atan2 values is at least −2π, so two turns always suffice.
    for (int k = 0; k < 2 && sweep <= 1e-9; ++k)
        sweep += kTwoPi;
    const int n = segmentCount(sweep, segmentsPerTurn, 4);
    std::vector<V2> out;
    out.reserve(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i)
        out.push_back(polar(c, r, a0 + sweep * i / n));
    out.front() = s;
    out.back() = e;
    return out;
}

std::vector<V2> Sketch::circlePoints(const SCircle& circle, int segments) const {
    return ivo::circlePoints(pos(circle.c).value_or(V2{}), circle.r, segments);
}

std::vector<V2> circlePoints(V2 c, double r, int segments) {
    std::vector<V2> out;
    if (segments <= 0) return out;
    out.reserve(static_cast<size_t>(segments));
    for (int i = 0; i < segments; ++i)
        out.push_back(polar(c, r, kTwoPi * i / segments));
    return out;
}

std::vector<V2> arcPolyline(V2 c, double r, double a0, double sweep) {
    const int n = segmentCount(sweep, 64, 2);
    std::vector<V2> out;
    out.reserve(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i)
        out.push_back(polar(c, r, a0 + sweep * i / n));
    return out;
}

double normAngle(double a) {
    double m = std::fmod(a, kTwoPi);
    if (m < 0) m += kTwoPi;
    // A tiny negative angle rounds up to exactly 2π, which lies outside the range.
    return m >= kTwoPi ? 0.0 : m;
}

Curve arcShape(V2 c, V2 s, V2 e) {
    const double a0 = angleOf(s - c);
    double sweep = normAngle(angleOf(e - c) - a0);
    if (sweep < 1e-9) sweep = kTwoPi;
    return Curve::arc(c, (s - c).length(), a0, sweep);
}

std::optional<V2> circumcenter(V2 p1, V2 p2, V2 p3) {
    const double d = 2 * (p1.x * (p2.y - p3.y) + p2.x * (p3.y - p1.y) + p3.x * (p1.y - p2.y));
    if (!(std::abs(d) >= 1e-9)) return std::nullopt;
    const double s1 = p1.dot(p1), s2 = p2.dot(p2), s3 = p3.dot(p3);
    const V2 c{(s1 * (p2.y - p3.y) + s2 * (p3.y - p1.y) + s3 * (p1.y - p2.y)) / d,
               (s1 * (p3.x - p2.x) + s2 * (p1.x - p3.x) + s3 * (p2.x - p1.x)) / d};
    if (!finite(c)) return std::nullopt;
    return c;
}

bool onArc(V2 p, V2 c, double a0, double sweep) {
    const double t = normAngle(angleOf(p - c) - a0);
    return t <= sweep + 1e-7 || t >= kTwoPi - 1e-7;
}

double param(const Curve& curve, V2 p) {
    switch (curve.kind) {
        case Curve::Kind::line: {
            const V2 d = curve.b - curve.a;
            return (p - curve.a).dot(d) / std::max(d.dot(d), 1e-14);
        }
        case Curve::Kind::circle: return normAngle(angleOf(p - curve.c));
        case Curve::Kind::arc: {
            const double t = normAngle(angleOf(p - curve.c) - curve.a0);
            // Just before the start reads as the start, not as almost a full turn.
            if (t > curve.sweep + 1e-7 && t > kTwoPi - 1e-7) return 0;
            return t;
        }
    }
    return 0;
}

std::vector<V2> interLL(V2 a1, V2 b1, V2 a2, V2 b2) {
    if (!finite(a1) || !finite(b1) || !finite(a2) || !finite(b2)) return {};
    const V2 d1 = b1 - a1, d2 = b2 - a2;
    const double den = d1.cross(d2);
    if (!(std::abs(den) >= 1e-12)) return {};  // parallel, degenerate or overlapping
    const V2 w = a2 - a1;
    const double t = w.cross(d2) / den, u = w.cross(d1) / den;
    constexpr double lo = -1e-9, hi = 1 + 1e-9;
    if (t < lo || t > hi || u < lo || u > hi) return {};
    return keepFinite({a1 + d1 * t});
}

std::vector<V2> interLC(V2 a, V2 b, V2 c, double r) {
    if (!finite(a) || !finite(b) || !finite(c) || !std::isfinite(r)) return {};
    const V2 d = b - a, f = a - c;
    const double A = d.dot(d), B = 2 * d.dot(f), C = f.dot(f) - r * r;
    if (!(A >= 1e-14)) return {};
    const double disc = B * B - 4 * A * C;
    // The tolerance is relative to the size of the terms. An absolute floor of 1e-9 alone
    // would let a segment shorter than a micrometre touch a circle many millimetres away
    // (disc/4A is r² minus the squared distance), so small figures scale the floor down.
    const double floor = std::min(1.0, 4 * A * (f.dot(f) + r * r));
    if (disc < -1e-9 * std::max(B * B, floor)) return {};
    const double s = std::sqrt(std::max(disc, 0.0));
    const double t1 = (-B - s) / (2 * A), t2 = (s - B) / (2 * A);
    constexpr double lo = -1e-9, hi = 1 + 1e-9;
    std::vector<V2> out;
    if (t1 >= lo && t1 <= hi) out.push_back(a + d * t1);
    if (t2 >= lo && t2 <= hi) {
        const V2 p = a + d * t2;
        if (out.empty() || (p - out[0]).length() >= 1e-9) out.push_back(p);
    }
    return keepFinite(std::move(out));
}

std::vector<V2> interCC(V2 c1, double r1, V2 c2, double r2) {
    if (!finite(c1) || !finite(c2) || !std::isfinite(r1) || !std::isfinite(r2)) return {};
    const V2 d = c2 - c1;
    const double L = d.length();
    if (!(L >= 1e-12)) return {};  // concentric, coincident circles included
    if (r1 + r2 + 1e-9 < L || L < std::abs(r1 - r2) - 1e-9) return {};
    // Nearly concentric circles of nearly equal radii pass the tests above with a
    // distance L far smaller than r1² − r2², which would put a tangent point far from
    // both circles; the foot of the chord never lies beyond circle 1.
    const double a = std::clamp((r1 * r1 - r2 * r2 + L * L) / (2 * L), -std::abs(r1), std::abs(r1));
    const double h = std::sqrt(std::max(r1 * r1 - a * a, 0.0));
    const V2 m = c1 + d * (a / L);
    if (h < 1e-9) return keepFinite({m});
    const V2 w = d.perpLeft() / L;
    return keepFinite({m + w * h, m - w * h});
}

std::vector<V2> intersect(const Curve& p, const Curve& q) {
    using K = Curve::Kind;
    std::vector<V2> pts;
    if (p.kind == K::line && q.kind == K::line) {
        pts = interLL(p.a, p.b, q.a, q.b);
    } else if (p.kind == K::line) {
        pts = interLC(p.a, p.b, q.c, q.r);
    } else if (q.kind == K::line) {
        pts = interLC(q.a, q.b, p.c, p.r);
    } else {
        pts = interCC(p.c, p.r, q.c, q.r);
    }
    for (const Curve* k : {&p, &q}) {
        if (k->kind != K::arc) continue;
        std::erase_if(pts, [k](V2 x) { return !onArc(x, k->c, k->a0, k->sweep); });
    }
    return pts;
}

std::vector<double> Sketch::cuts(Id id, bool includeConstruction) const {
    const std::optional<Curve> c = curve(id);
    if (!c) return {};
    std::vector<double> ts;
    for (const CurveEntry& o : curveEntries(*this)) {
        if (o.id == id || !o.cutter || (o.construction && !includeConstruction)) continue;
        for (V2 p : intersect(*c, o.shape))
            if (const auto t = cutParam(*c, p)) ts.push_back(*t);
    }
    return finishCuts(*c, std::move(ts));
}

}  // namespace ivo
