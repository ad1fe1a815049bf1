#include "support/solids.h"

#include <cmath>
#include <numbers>

namespace ivo::testing {
namespace {

CPoly quad(V3 a, V3 b, V3 c, V3 d) {
    const V3 n = (b - a).cross(c - a).normalized();
    return CPoly({a, b, c, d}, {n, n.dot(a)});
}

}  // namespace

Solid polyBox(V3 lo, V3 hi) {
    const V3 p000 = lo, p100{hi.x, lo.y, lo.z}, p010{lo.x, hi.y, lo.z}, p110{hi.x, hi.y, lo.z};
    const V3 p001{lo.x, lo.y, hi.z}, p101{hi.x, lo.y, hi.z}, p011{lo.x, hi.y, hi.z}, p111 = hi;
    return {
        quad(p000, p010, p110, p100),  // z = lo
        quad(p001, p101, p111, p011),  // z = hi
        quad(p000, p100, p101, p001),  // y = lo
        quad(p010, p011, p111, p110),  // y = hi
        quad(p000, p001, p011, p010),  // x = lo
        quad(p100, p110, p111, p101),  // x = hi
    };
}

Solid polyCylinder(V3 c, double r, double h, int n) {
    std::vector<V3> bottom, top;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        // Counter-clockwise seen from +y means increasing angle from +z towards +x.
        bottom.push_back(c + V3{r * std::sin(a), 0, r * std::cos(a)});
        top.push_back(bottom.back() + V3{0, h, 0});
    }
    Solid s;
    s.push_back(CPoly(top, {{0, 1, 0}, c.y + h}));
    s.push_back(CPoly({bottom.rbegin(), bottom.rend()}, {{0, -1, 0}, -c.y}));
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        s.push_back(quad(bottom[i], bottom[j], top[j], top[i]));
    }
    return s;
}

std::vector<Tri> sphereTris(V3 c, double r, int rings, int segments) {
    const auto at = [&](int ring, int seg) {
        const double th = std::numbers::pi * ring / rings;
        const double ph = 2 * std::numbers::pi * seg / segments;
        return c + V3{std::sin(th) * std::cos(ph), std::cos(th), -std::sin(th) * std::sin(ph)} * r;
    };
    std::vector<Tri> out;
    const auto add = [&](V3 a, V3 b, V3 d) {
        out.push_back({a, b, d, (b - a).cross(d - a).normalized()});
    };
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < segments; ++j) {
            const V3 a = at(i, j), b = at(i + 1, j), d = at(i + 1, j + 1), e = at(i, j + 1);
            if (i > 0) add(a, b, e);
            if (i + 1 < rings) add(e, b, d);
        }
    }
    return out;
}

std::vector<Tri> boxGridTris(int nx, int nz, double size, double gap) {
    std::vector<Tri> out;
    for (int i = 0; i < nx; ++i) {
        for (int k = 0; k < nz; ++k) {
            const V3 lo{i * (size + gap), 0, k * (size + gap)};
            for (const CPoly& p : polyBox(lo, lo + V3{size, size, size})) {
                out.push_back({p.v[0], p.v[1], p.v[2], p.plane.n});
                out.push_back({p.v[0], p.v[2], p.v[3], p.plane.n});
            }
        }
    }
    return out;
}

double meshVolume(const std::vector<Tri>& tris) {
    double v = 0;
    for (const Tri& t : tris)
        v += t.a.dot(t.b.cross(t.c));
    return v / 6;
}

}  // namespace ivo::testing
