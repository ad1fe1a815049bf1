#include "support/solids.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <numbers>
#include <numeric>
#include <tuple>

#include "geometry/mesh.h"

namespace ivo::testing {
namespace {

CPoly quad(V3 a, V3 b, V3 c, V3 d) {
    const V3 n = (b - a).cross(c - a).normalized();
    return CPoly({a, b, c, d}, {n, n.dot(a)});
}

// Corners and planes mapped one by one.
template <class F, class G>
Solid mapped(const Solid& s, F corner, G plane) {
    Solid out;
    for (const CPoly& p : s) {
        std::vector<V3> v;
        for (V3 q : p.v)
            v.push_back(corner(q));
        out.emplace_back(v, plane(p.plane));
    }
    return out;
}

}  // namespace

Solid polyBox(V3 lo, V3 hi) {
    const V3 p000 = lo, p100{hi.x, lo.y, lo.z}, p010{lo.x, hi.y, lo.z}, p110{hi.x, hi.y, lo.z};
    const V3 p001{lo.x, lo.y, hi.z}, p101{hi.x, lo.y, hi.z}, p011{lo.x, hi.y, hi.z}, p111 = hi;
    return {quad(p000, p010, p110, p100), quad(p001, p101, p111, p011),   // z = lo, hi
            quad(p000, p100, p101, p001), quad(p010, p011, p111, p110),   // y = lo, hi
            quad(p000, p001, p011, p010), quad(p100, p110, p111, p101)};  // x = lo, hi
}

Solid torusSolid(V3 c, int axis, double R, double r, int around, int across) {
    std::vector<V3> grid;
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            const double u = 2 * std::numbers::pi * i / around;
            const double v = 2 * std::numbers::pi * j / across;
            const double rho = R + r * std::cos(v), h = r * std::sin(v);
            const double p = rho * std::cos(u), q = rho * std::sin(u);
            // (p, q) in the plane across the axis, h along it, right-handed.
            grid.push_back(c + (axis == 0 ? V3{h, p, q} : axis == 1 ? V3{q, h, p} : V3{p, q, h}));
        }
    auto at = [&](int i, int j) { return grid[size_t(i % around * across + j % across)]; };
    Solid s;
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            const std::vector<V3> quad{at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
            if (auto p = CPoly::fit(quad)) s.push_back(*p);
        }
    return orientOutward(std::move(s));
}

Solid polyCylinder(V3 c, double r, double h, int n) {
    std::vector<V3> bottom, top;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        // Counter-clockwise seen from +y means increasing angle from +z towards +x.
        bottom.push_back(c + V3{r * std::sin(a), 0, r * std::cos(a)});
        top.push_back(bottom.back() + V3{0, h, 0});
    }
    Solid s{CPoly(top, {{0, 1, 0}, c.y + h}),
            CPoly({bottom.rbegin(), bottom.rend()}, {{0, -1, 0}, -c.y})};
    for (int i = 0; i < n; ++i)
        s.push_back(quad(bottom[i], bottom[(i + 1) % n], top[(i + 1) % n], top[i]));
    return s;
}

Solid sphereSolid(V3 c, double r, int rings, int segments) {
    auto at = [&](int i, int j) {
        const double t = std::numbers::pi * i / rings, f = 2 * std::numbers::pi * j / segments;
        return c + V3{std::sin(t) * std::cos(f), std::sin(t) * std::sin(f), std::cos(t)} * r;
    };
    Solid s;
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < segments; ++j) {
            // Fitting drops the repeated pole corner; the normal must point away from c.
            auto p = CPoly::fit({at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
            if (p) s.push_back(p->plane.n.dot(p->v[0] - c) < 0 ? p->flipped() : *p);
        }
    }
    return s;
}

std::vector<Tri> sphereTris(V3 c, double r, int rings, int segments) {
    return triangles(sphereSolid(c, r, rings, segments));
}

std::vector<Tri> boxGridTris(int nx, int nz, double size, double gap) {
    Solid boxes;
    for (int i = 0; i < nx * nz; ++i) {
        const V3 lo{(i / nz) * (size + gap), 0, (i % nz) * (size + gap)};
        for (const CPoly& p : polyBox(lo, lo + V3{size, size, size}))
            boxes.push_back(p);
    }
    return triangles(boxes);
}

Solid moved(const Solid& s, V3 d) {
    return mapped(
        s, [&](V3 q) { return q + d; },
        [&](CPlane p) {
            return CPlane{p.n, p.w + p.n.dot(d)};
        });
}

Solid randomSolid(std::mt19937& rng) {
    std::uniform_real_distribution<double> pos(1, 9), size(1, 4), unit(-1, 1), ang(0, 6.28);
    const V3 c{pos(rng), pos(rng), pos(rng)}, h{size(rng) / 2, size(rng) / 2, size(rng) / 2};
    Solid s = rng() % 2 ? polyBox(V3{} - h, h)
                        : polyCylinder({0, -h.y, 0}, h.x, 2 * h.y, 5 + int(rng() % 20));
    // Turned about the unit axis k through the origin.
    const V3 k = V3{unit(rng), unit(rng), unit(rng)}.normalized();
    const double a = ang(rng), co = std::cos(a), si = std::sin(a);
    auto rot = [&](V3 v) { return v * co + k.cross(v) * si + k * (k.dot(v) * (1 - co)); };
    if (k.length() > 0.5) s = mapped(s, rot, [&](CPlane p) { return CPlane{rot(p.n), p.w}; });
    return moved(s, c);
}

double meshVolume(const std::vector<Tri>& tris) {
    double v = 0;
    for (const Tri& t : tris)
        v += t.a.dot(t.b.cross(t.c)) / 6;
    return v;
}

std::string pointText(V3 p) {
    char buf[100], *end = buf;
    for (const double x : {p.x, p.y, p.z})
        *(end = std::to_chars(end, buf + 96, x).ptr)++ = ',';
    return "(" + std::string(buf, end - 1) + ")";
}

namespace {

// Polygon area (along the plane normal) per supporting plane, keyed exactly: pieces keep
// the plane of the polygon they came from, so equal point sets give equal maps.
std::map<std::tuple<double, double, double, double>, double> areaByPlane(const Solid& s) {
    std::map<std::tuple<double, double, double, double>, double> out;
    for (const CPoly& p : s) {
        V3 sum;
        for (size_t i = 0; i < p.v.size(); ++i)
            sum = sum + p.v[i].cross(p.v[(i + 1) % p.v.size()]);
        out[{p.plane.n.x, p.plane.n.y, p.plane.n.z, p.plane.w}] += p.plane.n.dot(sum) / 2;
    }
    return out;
}

std::string numberText(double x) {
    char buf[40];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
}

}  // namespace

std::string plainDifference(const Solid& ours, const Solid& plain, double tol) {
    std::string fault;
    const double vo = signedVolume(ours), vp = signedVolume(plain);
    if (!(std::abs(vo - vp) <= tol))
        fault += "volume " + numberText(vo) + " against " + numberText(vp) + "; ";
    auto mine = areaByPlane(ours);
    for (const auto& [plane, area] : areaByPlane(plain)) {
        const auto it = mine.find(plane);
        const double a = it == mine.end() ? 0 : it->second;
        if (it != mine.end()) mine.erase(it);
        if (!(std::abs(a - area) <= tol))
            fault += "area " + numberText(a) + " against " + numberText(area) + " on plane " +
                     pointText({std::get<0>(plane), std::get<1>(plane), std::get<2>(plane)}) + " " +
                     numberText(std::get<3>(plane)) + "; ";
    }
    for (const auto& [plane, area] : mine)
        if (!(std::abs(area) <= tol))
            fault += "area " + numberText(area) + " on a plane of ours only " +
                     pointText({std::get<0>(plane), std::get<1>(plane), std::get<2>(plane)}) + " " +
                     numberText(std::get<3>(plane)) + "; ";
    return fault;
}

std::string meshFault(const std::vector<Tri>& tris, bool twoManifold) {
    using P = std::tuple<double, double, double>;
    std::map<std::pair<P, P>, int> edges;
    for (const Tri& t : tris) {
        const V3 c[3] = {t.a, t.b, t.c};
        for (int k = 0; k < 3; ++k) {
            const V3 p = c[k], q = c[(k + 1) % 3];
            ++edges[{{p.x, p.y, p.z}, {q.x, q.y, q.z}}];
        }
    }
    std::string fault;
    for (const auto& [e, n] : edges) {
        const auto back = edges.find({e.second, e.first});
        const int m = back == edges.end() ? 0 : back->second;
        if (m == n && (!twoManifold || n == 1)) continue;
        const auto& [p, q] = e;
        fault += "edge " + pointText({std::get<0>(p), std::get<1>(p), std::get<2>(p)}) +
                 pointText({std::get<0>(q), std::get<1>(q), std::get<2>(q)}) + " used " +
                 std::to_string(n) + " times, reversed " + std::to_string(m) + "; ";
        if (fault.size() > 300) break;
    }
    return fault;
}

std::string closedSurfaceFault(const Solid& s, bool tJunctions, double tol) {
    // Merge vertices closer than tol, sweeping in x order; `uniq` stays sorted by x.
    std::vector<V3> pts, uniq;
    for (const CPoly& p : s)
        pts.insert(pts.end(), p.v.begin(), p.v.end());
    std::vector<int> order(pts.size()), id(pts.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return pts[a].x < pts[b].x; });
    for (const int k : order) {
        int found = -1;
        for (int u = int(uniq.size()) - 1; u >= 0 && uniq[u].x >= pts[k].x - tol; --u)
            if ((uniq[u] - pts[k]).length() < tol) found = u;
        if (found < 0) uniq.push_back(pts[k]);
        id[k] = found < 0 ? int(uniq.size()) - 1 : found;
    }
    std::map<std::pair<int, int>, int> edges;
    size_t base = 0;
    for (const CPoly& p : s) {
        for (size_t i = 0; i < p.v.size(); ++i) {
            const int a = id[base + i], b = id[base + (i + 1) % p.v.size()];
            if (a == b) continue;
            std::vector<std::pair<double, int>> stops{{0.0, a}, {1.0, b}};
            const V3 A = uniq[a], d = uniq[b] - A;
            auto it = std::lower_bound(uniq.begin(), uniq.end(), std::min(A.x, uniq[b].x) - tol,
                                       [](const V3& q, double x) { return q.x < x; });
            for (; tJunctions && it != uniq.end() && it->x <= std::max(A.x, uniq[b].x) + tol;
                 ++it) {
                const double t = (*it - A).dot(d) / d.dot(d);
                if (t > 0 && t < 1 && (A + d * t - *it).length() < tol)
                    stops.push_back({t, int(it - uniq.begin())});
            }
            std::sort(stops.begin(), stops.end());
            for (size_t k = 0; k + 1 < stops.size(); ++k)
                ++edges[{stops[k].second, stops[k + 1].second}];
        }
        base += p.v.size();
    }
    std::string fault;
    for (const auto& [e, count] : edges) {
        const auto it = edges.find({e.second, e.first});
        const int back = it == edges.end() ? 0 : it->second;
        if (back != count && fault.size() < 300)
            fault += "edge " + pointText(uniq[e.first]) + pointText(uniq[e.second]) + " used " +
                     std::to_string(count) + " times, reversed " + std::to_string(back) + "; ";
    }
    return fault;
}

}  // namespace ivo::testing
