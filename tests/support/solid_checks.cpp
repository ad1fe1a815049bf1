#include "support/solid_checks.h"

#include "support/solids.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <numeric>

namespace ivo::testing {
namespace {

// Fits the polygon and turns it round when its normal points towards `inside`.
void addFace(Solid& s, std::vector<V3> pts, V3 inside) {
    auto p = CPoly::fit(pts);
    if (!p) return;
    V3 mean;
    for (V3 q : p->v)
        mean = mean + q;
    mean = mean / double(p->v.size());
    if (p->plane.n.dot(mean - inside) < 0) p = p->flipped();
    s.push_back(*p);
}

std::string num(double x) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
}

std::string point(V3 p) {
    return "(" + num(p.x) + "," + num(p.y) + "," + num(p.z) + ")";
}

}  // namespace

Solid sphereSolid(V3 c, double r, int rings, int segments) {
    auto at = [&](int i, int j) {
        const double t = std::numbers::pi * i / rings, f = 2 * std::numbers::pi * j / segments;
        return c + V3{std::sin(t) * std::cos(f), std::sin(t) * std::sin(f), std::cos(t)} * r;
    };
    Solid s;
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < segments; ++j)
            addFace(s, {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}, c);
    return s;
}

Solid moved(const Solid& s, V3 d) {
    Solid out;
    for (const CPoly& p : s) {
        std::vector<V3> v;
        for (V3 q : p.v)
            v.push_back(q + d);
        out.emplace_back(v, CPlane{p.plane.n, p.plane.w + p.plane.n.dot(d)});
    }
    return out;
}

Solid turned(const Solid& s, V3 k, double angle) {
    const double c = std::cos(angle), sn = std::sin(angle);
    auto rot = [&](V3 v) { return v * c + k.cross(v) * sn + k * (k.dot(v) * (1 - c)); };
    Solid out;
    for (const CPoly& p : s) {
        std::vector<V3> v;
        for (V3 q : p.v)
            v.push_back(rot(q));
        out.emplace_back(v, CPlane{rot(p.plane.n), p.plane.w});
    }
    return out;
}

Solid randomSolid(std::mt19937& rng) {
    std::uniform_real_distribution<double> pos(1, 9), size(1, 4), unit(-1, 1), ang(0, 6.28);
    const V3 c{pos(rng), pos(rng), pos(rng)};
    Solid s;
    if (rng() % 2) {
        const V3 h{size(rng) / 2, size(rng) / 2, size(rng) / 2};
        s = polyBox(V3{} - h, h);
    } else {
        const double len = size(rng);
        s = polyCylinder({0, -len / 2, 0}, size(rng) / 2, len, 5 + int(rng() % 20));
    }
    const V3 k = V3{unit(rng), unit(rng), unit(rng)}.normalized();
    if (k.length() > 0.5) s = turned(s, k, ang(rng));
    return moved(s, c);
}

double polygonArea(const CPoly& p) {
    V3 sum;
    for (size_t i = 0; i < p.v.size(); ++i)
        sum = sum + p.v[i].cross(p.v[(i + 1) % p.v.size()]);
    return p.plane.n.dot(sum) / 2;
}

double totalArea(const Solid& s) {
    double a = 0;
    for (const CPoly& p : s)
        a += polygonArea(p);
    return a;
}

std::map<PlaneKey, double> areaByPlane(const Solid& s) {
    std::map<PlaneKey, double> out;
    for (const CPoly& p : s)
        out[{p.plane.n.x, p.plane.n.y, p.plane.n.z, p.plane.w}] += polygonArea(p);
    return out;
}

std::string closedSurfaceFault(const Solid& s, bool tJunctions, double tol) {
    // Merge vertices closer than tol, sweeping in x order.
    std::vector<V3> pts;
    for (const CPoly& p : s)
        pts.insert(pts.end(), p.v.begin(), p.v.end());
    std::vector<int> order(pts.size()), id(pts.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return pts[a].x < pts[b].x; });
    std::vector<V3> uniq;  // in x order
    std::vector<int> uniqOrder;
    for (size_t k = 0; k < order.size(); ++k) {
        const V3 p = pts[order[k]];
        int found = -1;
        for (int u = int(uniq.size()) - 1; u >= 0 && uniq[u].x >= p.x - tol; --u)
            if ((uniq[u] - p).length() < tol) found = u;
        if (found < 0) {
            found = int(uniq.size());
            uniq.push_back(p);
        }
        id[order[k]] = found;
    }
    std::map<std::pair<int, int>, int> edges;
    size_t base = 0;
    for (const CPoly& p : s) {
        for (size_t i = 0; i < p.v.size(); ++i) {
            const int a = id[base + i], b = id[base + (i + 1) % p.v.size()];
            if (a == b) continue;
            std::vector<std::pair<double, int>> stops{{0.0, a}, {1.0, b}};
            if (tJunctions) {
                const V3 A = uniq[a], d = uniq[b] - A;
                const double len2 = d.dot(d);
                const double x0 = std::min(A.x, uniq[b].x) - tol,
                             x1 = std::max(A.x, uniq[b].x) + tol;
                auto it = std::lower_bound(uniq.begin(), uniq.end(), x0,
                                           [](const V3& q, double x) { return q.x < x; });
                for (; it != uniq.end() && it->x <= x1; ++it) {
                    const int u = int(it - uniq.begin());
                    if (u == a || u == b) continue;
                    const double t = (*it - A).dot(d) / len2;
                    if (t <= 0 || t >= 1) continue;
                    if ((A + d * t - *it).length() < tol) stops.push_back({t, u});
                }
                std::sort(stops.begin(), stops.end());
            }
            for (size_t k = 0; k + 1 < stops.size(); ++k)
                ++edges[{stops[k].second, stops[k + 1].second}];
        }
        base += p.v.size();
    }
    std::string fault;
    int shown = 0;
    for (const auto& [e, count] : edges) {
        auto it = edges.find({e.second, e.first});
        const int back = it == edges.end() ? 0 : it->second;
        if (back != count && shown++ < 3) {
            fault += "edge " + point(uniq[e.first]) + "-" + point(uniq[e.second]) + " used " +
                     std::to_string(count) + " times, reversed " + std::to_string(back) + "; ";
        }
    }
    return fault;
}

}  // namespace ivo::testing
