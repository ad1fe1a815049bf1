// Hole bridging into one polygon, then ear clipping with fixed tolerances. The ear scan
// always restarts from the first remaining corner; per-corner verdicts are cached so that
// a rescan costs little without changing which ear is taken.
#include "geometry/triangulate.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace ivo {
namespace {

constexpr double kConvexEps = 1e-12;
constexpr double kInsideEps = 1e-10;
constexpr int kMaxRounds = 200000;

double crossAt(V2 a, V2 b, V2 c) {
    return (b - a).cross(c - b);
}

double maxX(const Loop& l) {
    double m = -std::numeric_limits<double>::infinity();
    for (V2 p : l)
        m = std::max(m, p.x);
    return m;
}

// Counter-clockwise angle from direction a to direction b, in [0, 2π).
double turn(V2 a, V2 b) {
    const double t = std::atan2(a.cross(b), a.dot(b));
    return t < 0 ? t + 2 * std::numbers::pi : t;
}

// True when the direction from vertex k to p points into the polygon's interior wedge at k
// (between the outgoing and the incoming edge, counter-clockwise).
bool insideWedge(const Loop& poly, size_t k, V2 p) {
    const size_t n = poly.size();
    const V2 b = poly[k];
    const V2 out = poly[(k + 1) % n] - b, in = poly[(k + n - 1) % n] - b, to = p - b;
    const double toP = turn(out, to);
    return toP > 0 && toP < turn(out, in);
}

// Splices `hole` (clockwise) into `poly` (counter-clockwise) through a pair of coincident
// bridge edges from the hole's rightmost vertex to a vertex of `poly` it can see.
// Returns false, leaving `poly` unchanged, when the ray towards +x hits nothing.
bool bridgeHole(Loop& poly, const Loop& hole) {
    size_t m = 0;
    for (size_t i = 1; i < hole.size(); ++i)
        if (hole[i].x > hole[m].x) m = i;
    const V2 M = hole[m];
    const double mx = M.x, my = M.y;

    const size_t n = poly.size();
    double bestX = std::numeric_limits<double>::infinity();
    size_t b = n;
    for (size_t i = 0; i < n; ++i) {
        const size_t j = (i + 1) % n;
        const V2 pi = poly[i], pj = poly[j];
        if (my < std::min(pi.y, pj.y) || my > std::max(pi.y, pj.y)) continue;
        double x;
        size_t cand;
        if (std::abs(pj.y - pi.y) < 1e-12) {
            x = std::min(pi.x, pj.x);
            cand = pi.x < pj.x ? i : j;
        } else {
            x = pi.x + (pj.x - pi.x) * (my - pi.y) / (pj.y - pi.y);
            cand = pi.x > pj.x ? i : j;
        }
        if (x >= mx - 1e-12 && x < bestX) {
            bestX = x;
            b = cand;
        }
    }
    if (b == n) return false;

    // A vertex inside the triangle (M, I, B) could hide B from M: prefer the one closest in
    // angle to the ray, then the nearest.
    const V2 I{bestX, my};
    const V2 B = poly[b];
    const double s = (I.x - mx) * (B.y - my) < 0 ? -1.0 : 1.0;
    double angle = std::abs(std::atan2(B.y - my, B.x - mx));
    double dist = (B - M).length();
    size_t choice = b;
    for (size_t k = 0; k < n; ++k) {
        if (k == b) continue;
        const V2 K = poly[k];
        if (K.x < mx - 1e-12) continue;
        const bool inside = s * (I - M).cross(K - M) >= -kInsideEps &&
                            s * (B - I).cross(K - I) >= -kInsideEps &&
                            s * (M - B).cross(K - B) >= -kInsideEps;
        if (!inside) continue;
        const double a = std::abs(std::atan2(K.y - my, K.x - mx));
        const double d = (K - M).length();
        if (a < angle - 1e-12 || (std::abs(a - angle) <= 1e-12 && d < dist)) {
            choice = k;
            angle = a;
            dist = d;
        }
    }

    // Earlier bridges leave copies of their outer vertex. The ray may meet either of two
    // coincident bridge edges (round-off decides), so the chosen copy can be one whose
    // corner faces away from the hole, which would make the polygon cross itself. Splice
    // at the copy whose interior wedge holds the direction to M.
    const V2 chosen = poly[choice];
    if (!insideWedge(poly, choice, M)) {
        for (size_t k = 0; k < n; ++k) {
            if (k != choice && poly[k] == chosen && insideWedge(poly, k, M)) {
                choice = k;
                break;
            }
        }
    }

    Loop out;
    out.reserve(n + hole.size() + 2);
    out.insert(out.end(), poly.begin(), poly.begin() + static_cast<long>(choice) + 1);
    for (size_t k = 0; k <= hole.size(); ++k)
        out.push_back(hole[(m + k) % hole.size()]);
    out.insert(out.end(), poly.begin() + static_cast<long>(choice), poly.end());
    poly = std::move(out);
    return true;
}

// Uniform grid over the vertices, so that an ear test looks only at the vertices near its
// triangle instead of every remaining one. Removed vertices stay listed; callers skip them.
class VertexGrid {
public:
    void build(const Loop& pts) {
        const size_t n = pts.size();
        lo = hi = pts[0];
        for (V2 p : pts) {
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
        }
        const double side = std::max(hi.x - lo.x, hi.y - lo.y);
        if (!(side > 0) || !std::isfinite(side)) return;
        dim = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(n)) / 2), 1, 1024);
        scale = dim / side;
        start.assign(static_cast<size_t>(dim) * dim + 1, 0);
        for (V2 p : pts)
            ++start[cellOf(p) + 1];
        for (size_t i = 1; i < start.size(); ++i)
            start[i] += start[i - 1];
        items.resize(n);
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (size_t i = 0; i < n; ++i)
            items[fill[cellOf(pts[i])]++] = static_cast<int>(i);
        end = std::move(fill);
    }

    bool empty() const { return items.empty(); }

    // The first live vertex in the box for which `pick` holds, or −1. Dead vertices met on
    // the way are dropped from their cell, so each is skipped at most once.
    template <class Alive, class F>
    int find(double x0, double y0, double x1, double y1, const Alive& alive, F&& pick) {
        const int cx0 = clampCell(x0 - lo.x), cx1 = clampCell(x1 - lo.x);
        const int cy0 = clampCell(y0 - lo.y), cy1 = clampCell(y1 - lo.y);
        for (int cy = cy0; cy <= cy1; ++cy) {
            for (int cx = cx0; cx <= cx1; ++cx) {
                const size_t cell = static_cast<size_t>(cy) * dim + cx;
                for (int i = start[cell]; i < end[cell];) {
                    const int k = items[i];
                    if (!alive[k]) {
                        items[i] = items[--end[cell]];
                        continue;
                    }
                    if (pick(k)) return k;
                    ++i;
                }
            }
        }
        return -1;
    }

private:
    int clampCell(double d) const {
        const double c = std::floor(d * scale);
        // NaN would pass through the clamp into a conversion that is undefined for it.
        return static_cast<int>(std::clamp(std::isfinite(c) ? c : 0.0, 0.0, dim - 1.0));
    }
    size_t cellOf(V2 p) const {
        return static_cast<size_t>(clampCell(p.y - lo.y)) * dim + clampCell(p.x - lo.x);
    }

    V2 lo, hi;
    int dim = 0;
    double scale = 0;
    std::vector<int> start, end, items;
};

// Ear clipping over a doubly linked ring of vertex indices.
class EarClipper {
public:
    explicit EarClipper(const Loop& p) : pts(p), n(static_cast<int>(p.size())) {
        prev.resize(n);
        next.resize(n);
        alive.assign(n, 1);
        cache.assign(n, Verdict{});
        for (int i = 0; i < n; ++i) {
            prev[i] = (i + n - 1) % n;
            next[i] = (i + 1) % n;
        }
        count = n;
        // Below this size a plain scan is as fast as the grid.
        if (n > 48) grid.build(pts);
    }

    std::vector<Tri2> run() {
        std::vector<Tri2> out;
        out.reserve(n > 2 ? n - 2 : 0);
        int rounds = 0;
        while (count > 3 && rounds < kMaxRounds) {
            ++rounds;
            const int ear = findEar();
            if (ear >= 0) {
                out.push_back({pts[prev[ear]], pts[ear], pts[next[ear]]});
                remove(ear);
                continue;
            }
            const int flat = findDegenerate();
            if (flat >= 0) {
                remove(flat);
                continue;
            }
            // No ear and nothing flat: close with a fan from the first remaining corner.
            int k = next[head];
            for (int left = count - 2; left > 0; --left, k = next[k]) {
                const V2 a = pts[head], b = pts[k], c = pts[next[k]];
                if ((b - a).cross(c - a) > kConvexEps) out.push_back({a, b, c});
            }
            return out;
        }
        if (count == 3) {
            const int b = next[head];
            const V2 A = pts[head], B = pts[b], C = pts[next[b]];
            if (crossAt(A, B, C) > kConvexEps) out.push_back({A, B, C});
        }
        return out;
    }

private:
    // Why a corner is not an ear, valid while its neighbours stay the same: a reflex or flat
    // corner stays so, and a blocking vertex keeps blocking until it is removed.
    struct Verdict {
        int a = -1, c = -1;
        int blocker = -1;  // -1 with a valid (a, c): not convex
    };

    int findEar() {
        int b = head;
        for (int i = 0; i < count; ++i, b = next[b])
            if (isEar(b)) return b;
        return -1;
    }

    bool isEar(int b) {
        const int a = prev[b], c = next[b];
        Verdict& v = cache[b];
        if (v.a == a && v.c == c && (v.blocker < 0 || alive[v.blocker])) return false;
        v = {a, c, -1};
        const V2 A = pts[a], B = pts[b], C = pts[c];
        const double cross = crossAt(A, B, C);
        if (cross <= kConvexEps) return false;
        // A vertex on the diagonal C–A blocks too: clipping there would cut across a reflex
        // corner and cover area outside the polygon.
        auto blocks = [&](int k) {
            const V2 P = pts[k];
            if (k == a || k == b || k == c || P == A || P == B || P == C) return false;
            return (B - A).cross(P - A) > kInsideEps && (C - B).cross(P - B) > kInsideEps &&
                   (A - C).cross(P - C) >= -kInsideEps;
        };
        if (grid.empty()) {
            for (int k = next[c]; k != a; k = next[k]) {
                if (blocks(k)) {
                    v.blocker = k;
                    return false;
                }
            }
            return true;
        }
        // Blockers lie in the triangle with its side C–A pushed out by the tolerance: the
        // corners A and C move away from B by the factor 1 + kInsideEps/cross.
        const double grow = 1 + kInsideEps / cross;
        const V2 A2 = B + (A - B) * grow, C2 = B + (C - B) * grow;
        const double pad = 1e-9 * (1 + std::max({std::abs(B.x), std::abs(B.y), std::abs(A2.x),
                                                 std::abs(A2.y), std::abs(C2.x), std::abs(C2.y)}));
        const int k = grid.find(
            std::min({B.x, A2.x, C2.x}) - pad, std::min({B.y, A2.y, C2.y}) - pad,
            std::max({B.x, A2.x, C2.x}) + pad, std::max({B.y, A2.y, C2.y}) + pad, alive, blocks);
        v.blocker = k;
        return k < 0;
    }

    int findDegenerate() const {
        int b = head;
        for (int i = 0; i < count; ++i, b = next[b])
            if (std::abs(crossAt(pts[prev[b]], pts[b], pts[next[b]])) <= kConvexEps) return b;
        return -1;
    }

    void remove(int b) {
        alive[b] = 0;
        next[prev[b]] = next[b];
        prev[next[b]] = prev[b];
        if (head == b) head = next[b];
        --count;
    }

    const Loop& pts;
    int n;
    int count = 0;
    int head = 0;
    std::vector<int> prev, next;
    std::vector<char> alive;
    std::vector<Verdict> cache;
    VertexGrid grid;
};

}  // namespace

Loop bridgeHoles(const Loop& outer, const std::vector<Loop>& holes) {
    Loop poly = cleanLoop(outer);
    if (poly.size() < 3) return {};
    if (polyArea(poly) < 0) std::reverse(poly.begin(), poly.end());

    std::vector<Loop> kept;
    for (const Loop& h : holes) {
        Loop c = cleanLoop(h);
        if (c.size() < 3) continue;
        if (polyArea(c) > 0) std::reverse(c.begin(), c.end());
        kept.push_back(std::move(c));
    }
    std::vector<std::pair<double, size_t>> order;
    for (size_t i = 0; i < kept.size(); ++i)
        order.push_back({maxX(kept[i]), i});
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& l, const auto& r) { return l.first > r.first; });
    for (const auto& [x, i] : order)
        bridgeHole(poly, kept[i]);
    return poly;
}

std::vector<Tri2> clipEars(const Loop& polygon) {
    if (polygon.size() < 3) return {};
    return EarClipper(polygon).run();
}

std::vector<Tri2> triangulate(const Loop& outer, const std::vector<Loop>& holes) {
    return clipEars(bridgeHoles(outer, holes));
}

}  // namespace ivo
