#include "support/shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ivo::testing {

Loop rect(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

Loop reversed(Loop l) {
    std::reverse(l.begin(), l.end());
    return l;
}

Loop rotatedStart(Loop l, size_t k) {
    if (!l.empty()) std::rotate(l.begin(), l.begin() + k % l.size(), l.end());
    return l;
}

Loop mirroredX(Loop l) {
    for (V2& p : l)
        p.x = -p.x;
    return reversed(l);
}

Loop regularPolygon(V2 c, double r, int n, double phase) {
    Loop out;
    for (int i = 0; i < n; ++i) {
        const double a = phase + 2 * std::numbers::pi * i / n;
        out.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    return out;
}

Loop randomStar(std::mt19937& rng, V2 c, int n, double rMin, double rMax) {
    std::uniform_real_distribution<double> radius(rMin, rMax), jitter(0.1, 0.9);
    Loop out;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * (i + jitter(rng)) / n, r = radius(rng);
        out.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    return out;
}

Loop randomStaircase(std::mt19937& rng, int steps) {
    // The base along y = 0 point by point, then the columns' tops from right to left.
    Loop out{{0, 0}}, tops;
    for (int i = 0; i < steps; ++i) {
        const double h = 1 + rng() % 4;
        out.push_back({double(i + 1), 0});
        tops.insert(tops.begin(), {{double(i + 1), h}, {double(i), h}});
    }
    out.insert(out.end(), tops.begin(), tops.end());
    return cleanLoop(out);
}

Loop randomComb(std::mt19937& rng, int teeth) {
    Loop out{{0, 0}, {double(2 * teeth), 0}};
    for (int i = teeth - 1; i >= 0; --i) {
        const double x0 = 2 * i, x1 = 2 * i + 1, top = 2 + rng() % 3;
        out.insert(out.end(), {{x1 + 1, 1}, {x1, 1}, {x1, top}, {x0, top}, {x0, 1}});
    }
    return cleanLoop(out);
}

double triangleArea(const std::vector<std::array<V2, 3>>& tris, bool* allCcw) {
    double sum = 0;
    bool ccw = true;
    for (const auto& t : tris) {
        const double c = (t[1] - t[0]).cross(t[2] - t[0]);
        ccw = ccw && c > 1e-12;
        sum += std::abs(c) / 2;
    }
    if (allCcw) *allCcw = ccw;
    return sum;
}

}  // namespace ivo::testing
