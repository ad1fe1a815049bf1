#include "support/reference_profiles.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "sketch/curves.h"

namespace ivo::testing {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

using Piece = std::vector<V2>;

Piece round(V2 c, double r, double base, double t0, double t1) {
    const int n = std::max(static_cast<int>(std::ceil(std::abs(t1 - t0) / kTwoPi * 64)), 2);
    Piece p;
    for (int k = 0; k <= n; ++k) {
        const double a = base + t0 + (t1 - t0) * k / n;
        p.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    return p;
}

// An edge between two nodes, or a half-edge from `from` to `to`.
struct H {
    int from, to;
    Piece mid;
    bool used = false;
};

}  // namespace

std::vector<Loop> referenceLoops(const Sketch& s) {
    std::vector<Loop> result;
    std::vector<Piece> pieces;
    std::vector<Id> taken;
    for (const SLine& l : s.lines)
        if (!l.construction && l.a != l.b) taken.push_back(l.id);
    for (const SCircle& c : s.circles)
        if (!c.construction && c.r > 1e-9) taken.push_back(c.id);
    for (const SArc& a : s.arcs)
        if (!a.construction && a.s != a.e) taken.push_back(a.id);
    for (Id id : taken) {
        const auto c = s.curve(id);
        if (!c) continue;
        std::vector<double> ts = s.cuts(id, false);
        if (c->kind == Curve::Kind::circle) {
            if (ts.size() < 2) result.push_back(circlePoints(c->c, c->r, 64));
            for (size_t i = 0; ts.size() >= 2 && i < ts.size(); ++i) {
                const double to = ts[(i + 1) % ts.size()];
                pieces.push_back(round(c->c, c->r, 0, ts[i], to <= ts[i] ? to + kTwoPi : to));
            }
            continue;
        }
        const bool line = c->kind == Curve::Kind::line;
        ts.insert(ts.begin(), 0);
        ts.push_back(line ? 1 : c->sweep);
        for (size_t i = 0; i + 1 < ts.size(); ++i)
            pieces.push_back(
                line ? Piece{c->a + (c->b - c->a) * ts[i], c->a + (c->b - c->a) * ts[i + 1]}
                     : round(c->c, c->r, c->a0, ts[i], ts[i + 1]));
    }

    std::vector<V2> nodes;
    auto node = [&](V2 p) {
        for (size_t i = 0; i < nodes.size(); ++i)
            if ((p - nodes[i]).length() < 1e-5) return static_cast<int>(i);
        nodes.push_back(p);
        return static_cast<int>(nodes.size() - 1);
    };
    std::vector<H> edges;
    std::set<std::pair<int, int>> straight;
    for (const Piece& p : pieces) {
        const int u = node(p.front()), v = node(p.back());
        if (u == v) continue;
        if (p.size() == 2 && !straight.insert({std::min(u, v), std::max(u, v)}).second) continue;
        edges.push_back({u, v, Piece(p.begin() + 1, p.end() - 1)});
    }
    for (size_t before = 0; before != edges.size();) {
        std::vector<int> count(nodes.size(), 0);
        for (const H& e : edges)
            ++count[e.from], ++count[e.to];
        before = edges.size();
        std::erase_if(edges, [&](const H& e) { return count[e.from] < 2 || count[e.to] < 2; });
    }

    std::vector<H> hs;
    for (const H& e : edges) {
        hs.push_back(e);
        hs.push_back({e.to, e.from, Piece(e.mid.rbegin(), e.mid.rend())});
    }
    std::vector<std::vector<int>> out(nodes.size());
    for (size_t h = 0; h < hs.size(); ++h)
        out[hs[h].from].push_back(static_cast<int>(h));
    auto angle = [&](int h) {
        const V2 d = (hs[h].mid.empty() ? nodes[hs[h].to] : hs[h].mid[0]) - nodes[hs[h].from];
        return std::atan2(d.y, d.x);
    };
    for (auto& list : out)
        std::stable_sort(list.begin(), list.end(),
                         [&](int a, int b) { return angle(a) < angle(b); });
    for (size_t h = 0; h < hs.size(); ++h) {
        Loop pts;
        bool closed = false;
        // Every half-edge walked is marked used, and the walk goes on only to unused ones.
        for (int cur = static_cast<int>(h), steps = 1; !hs[cur].used; ++steps) {
            hs[cur].used = true;
            pts.push_back(nodes[hs[cur].from]);
            pts.insert(pts.end(), hs[cur].mid.begin(), hs[cur].mid.end());
            const auto& list = out[hs[cur].to];
            const size_t i = std::find(list.begin(), list.end(), cur ^ 1) - list.begin();
            const int next = list[(i + list.size() - 1) % list.size()];
            closed = next == static_cast<int>(h);
            if (closed || hs[next].used || steps >= int(hs.size()) + 2) break;
            cur = next;
        }
        const Loop clean = closed ? cleanLoop(pts) : Loop{};
        if (clean.size() >= 3 && polyArea(clean) > 1e-9) result.push_back(clean);
    }
    return result;
}

std::vector<Region> referenceRegions(const std::vector<Loop>& L) {
    const size_t n = L.size();
    std::vector<double> area;
    std::vector<V2> probe;
    for (const Loop& l : L)
        area.push_back(polyArea(l)), probe.push_back(interiorPoint(l));
    std::vector<std::vector<size_t>> containers(n);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            if (j != i && area[i] < area[j] && pointInPolygon(probe[i], L[j]))
                containers[i].push_back(j);
    auto has = [&](size_t k, size_t i) {
        return std::count(containers[k].begin(), containers[k].end(), i) > 0;
    };
    std::vector<Region> out;
    for (size_t i = 0; i < n; ++i) {
        Region r{L[i], {}};
        for (size_t j = 0; j < n; ++j)
            if (has(j, i) && std::none_of(containers[j].begin(), containers[j].end(),
                                          [&](size_t k) { return k != i && has(k, i); }))
                r.holes.push_back(Loop(L[j].rbegin(), L[j].rend()));
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace ivo::testing
