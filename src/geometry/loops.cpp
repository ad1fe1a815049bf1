// Loop routines on open polygons of V2.
#include "geometry/loops.h"

#include <cmath>

#include "geometry/triangulate.h"

namespace ivo {

bool Region::contains(V2 p) const {
    if (!pointInPolygon(p, outer)) return false;
    for (const Loop& h : holes)
        if (h.size() >= 3 && pointInPolygon(p, h)) return false;
    return true;
}

double Region::area() const {
    double a = polyArea(outer);
    for (const Loop& h : holes)
        a += polyArea(h);
    return a;
}

double polyArea(const Loop& loop) {
    const size_t n = loop.size();
    if (n < 3) return 0;
    double s = 0;
    for (size_t i = 0; i < n; ++i) {
        const V2 p = loop[i], q = loop[(i + 1) % n];
        s += p.x * q.y - p.y * q.x;
    }
    return s / 2;
}

bool pointInPolygon(V2 p, const Loop& loop) {
    const size_t n = loop.size();
    if (n < 3) return false;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const V2 a = loop[i], b = loop[j];
        if ((p.y < a.y) != (p.y < b.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y))
            inside = !inside;
    }
    return inside;
}

Loop cleanLoop(const Loop& loop) {
    constexpr double tol = 1e-9;
    Loop out;
    out.reserve(loop.size());
    for (V2 p : loop)
        if (out.empty() || (p - out.back()).length() >= tol) out.push_back(p);
    while (out.size() >= 2 && (out.front() - out.back()).length() < tol)
        out.pop_back();
    return out;
}

Loop offsetLoop(const Loop& loop, double d) {
    if (std::abs(d) < 1e-12) return loop;
    const size_t n = loop.size();
    Loop out(n);
    auto dir = [](V2 from, V2 to) {
        const V2 e = to - from;
        const double l = e.length();
        return l > 1e-12 ? e / l : V2{};
    };
    for (size_t i = 0; i < n; ++i) {
        const V2 p = loop[i];
        const V2 e1 = dir(loop[(i + n - 1) % n], p);
        const V2 e2 = dir(p, loop[(i + 1) % n]);
        const double k = 1 + e1.dot(e2);
        // A path that turns back on itself has no mitre: push it off its incoming edge.
        V2 off = k < 1e-6 ? e1.perpLeft() * d : (e1 + e2).perpLeft() * (d / k);
        const double len = off.length();
        const double limit = 4 * std::abs(d);
        if (len > limit) off = len > 1e-12 ? off * (limit / len) : V2{};
        out[i] = p + off;
    }
    return out;
}

V2 interiorPoint(const Loop& loop) {
    return interiorPoint(loop, {});
}

V2 interiorPoint(const Loop& outer, const std::vector<Loop>& holes) {
    const auto tris = triangulate(outer, holes);
    if (tris.empty()) return outer.empty() ? V2{} : outer.front();
    double best = -1;
    V2 c;
    for (const auto& t : tris) {
        const double a = std::abs((t[1] - t[0]).cross(t[2] - t[0]));
        if (a > best) {
            best = a;
            c = (t[0] + t[1] + t[2]) / 3;
        }
    }
    return c;
}

}  // namespace ivo
