// Curve shapes with one point lookup, and cut parameters with a broad phase over boxes.
#include "sketch/curve_table.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <unordered_map>

#include "sketch/curves.h"

namespace ivo {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kCutEps = 1e-7;

bool finiteShape(const Curve& c) {
    for (double v : {c.a.x, c.a.y, c.b.x, c.b.y, c.c.x, c.c.y, c.r, c.a0, c.sweep})
        if (!std::isfinite(v)) return false;
    return true;
}

// Shapes equal bit for bit give bit-identical crossings with any other curve.
using ShapeKey = std::array<std::uint64_t, 10>;

ShapeKey keyOf(const Curve& c) {
    auto b = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    return {static_cast<std::uint64_t>(c.kind),
            b(c.a.x),
            b(c.a.y),
            b(c.b.x),
            b(c.b.y),
            b(c.c.x),
            b(c.c.y),
            b(c.r),
            b(c.a0),
            b(c.sweep)};
}

struct KeyHash {
    size_t operator()(const ShapeKey& k) const {
        std::uint64_t h = 1469598103934665603ull;
        for (std::uint64_t w : k)
            h = (h ^ w) * 1099511628211ull ^ (h >> 29);
        return static_cast<size_t>(h);
    }
};

struct Box {
    V2 lo, hi;
};

// Every crossing point a pair of curves can report lies in both curves' boxes grown by
// these margins: the relative slack of the line/circle tests stays below 1e-4 of the
// sizes involved, and rounding below 1e-9 of the coordinates.
Box paddedBox(const Curve& c) {
    Box b;
    double size = 0;
    if (c.kind == Curve::Kind::line) {
        b = {{std::min(c.a.x, c.b.x), std::min(c.a.y, c.b.y)},
             {std::max(c.a.x, c.b.x), std::max(c.a.y, c.b.y)}};
        size = (c.b - c.a).length();
    } else {
        const double r = std::abs(c.r);
        b = {{c.c.x - r, c.c.y - r}, {c.c.x + r, c.c.y + r}};
        size = r;
    }
    const double mag =
        std::max({std::abs(b.lo.x), std::abs(b.lo.y), std::abs(b.hi.x), std::abs(b.hi.y)});
    const double pad = 1e-4 * size + 1e-9 * (1 + mag);
    return {{b.lo.x - pad, b.lo.y - pad}, {b.hi.x + pad, b.hi.y + pad}};
}

// Cutters of one shape.
struct Group {
    Curve shape;
    Box box;
    Id firstId = 0;
    bool oneId = true;       // every member has firstId
    bool needsCuts = false;  // some member enters profiles
};

struct Crossing {
    double t;
    int from;  // group of the cutter
};

}  // namespace

std::vector<CurveEntry> curveEntries(const Sketch& s) {
    std::unordered_map<Id, V2> at;
    at.reserve(s.points.size());
    for (const SPoint& p : s.points)
        at.emplace(p.id, p.p);  // the first point with an id wins, as in Sketch::pos
    auto pos = [&at](Id id) {
        const auto it = at.find(id);
        return it == at.end() ? V2{} : it->second;
    };
    std::vector<CurveEntry> out;
    out.reserve(s.lines.size() + s.circles.size() + s.arcs.size());
    for (const SLine& l : s.lines) {
        const bool real = l.a != l.b;
        out.push_back(
            {l.id, Curve::line(pos(l.a), pos(l.b)), l.construction, real, real && !l.construction});
    }
    for (const SCircle& c : s.circles)
        out.push_back({c.id, Curve::circle(pos(c.c), c.r), c.construction, true,
                       !c.construction && c.r > 1e-9});
    for (const SArc& a : s.arcs)
        out.push_back({a.id, arcShape(pos(a.c), pos(a.s), pos(a.e)), a.construction, true,
                       !a.construction && a.s != a.e});
    return out;
}

std::optional<double> cutParam(const Curve& c, V2 p) {
    switch (c.kind) {
        case Curve::Kind::line: {
            // End points never cut a line.
            const double t = param(c, p);
            if (t > kCutEps && t < 1 - kCutEps) return t;
            return std::nullopt;
        }
        case Curve::Kind::arc: {
            const double t = normAngle(std::atan2(p.y - c.c.y, p.x - c.c.x) - c.a0);
            if (t > kCutEps && t < c.sweep - kCutEps) return t;
            return std::nullopt;
        }
        case Curve::Kind::circle: {
            const double t = normAngle(std::atan2(p.y - c.c.y, p.x - c.c.x));
            if (std::isfinite(t)) return t;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::vector<double> finishCuts(const Curve& c, std::vector<double> ts) {
    std::sort(ts.begin(), ts.end());
    std::vector<double> out;
    out.reserve(ts.size());
    for (double t : ts)
        if (out.empty() || t - out.back() >= kCutEps) out.push_back(t);
    // A crossing at angle 0 may be seen once near 0 and once near 2π.
    if (c.kind == Curve::Kind::circle && out.size() >= 2 &&
        std::abs(out.front() + kTwoPi - out.back()) < kCutEps)
        out.pop_back();
    return out;
}

std::optional<std::vector<std::vector<double>>> profileCuts(const std::vector<CurveEntry>& entries,
                                                            size_t maxCrossings) {
    std::vector<Group> groups;
    std::vector<int> groupOf(entries.size(), -1);
    std::unordered_map<ShapeKey, int, KeyHash> byShape;
    std::unordered_map<Id, int> cutterIds;
    for (size_t i = 0; i < entries.size(); ++i) {
        const CurveEntry& e = entries[i];
        if (!e.cutter || e.construction) continue;
        ++cutterIds[e.id];
        // A non-finite shape crosses nothing.
        if (!finiteShape(e.shape)) continue;
        const auto [it, fresh] = byShape.emplace(keyOf(e.shape), static_cast<int>(groups.size()));
        if (fresh) groups.push_back({e.shape, paddedBox(e.shape), e.id});
        Group& g = groups[it->second];
        g.oneId = g.oneId && g.firstId == e.id;
        g.needsCuts = g.needsCuts || e.profile;
        groupOf[i] = it->second;
    }

    // Sweep along x over the boxes; only pairs whose boxes meet are intersected.
    std::vector<int> order(groups.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::sort(order.begin(), order.end(),
              [&](int l, int r) { return groups[l].box.lo.x < groups[r].box.lo.x; });
    std::vector<std::vector<Crossing>> raw(groups.size());
    size_t total = 0;
    auto collect = [&](int into, int from, const std::vector<V2>& pts) {
        if (!groups[into].needsCuts) return;
        for (V2 p : pts) {
            if (const auto t = cutParam(groups[into].shape, p)) {
                raw[into].push_back({*t, from});
                ++total;
            }
        }
    };
    // Both orders of a pair are needed, each from its own curve's point of view. A line
    // and a round curve meet through the same call either way; two lines meet either both
    // ways or neither (the tests are exactly antisymmetric), and parallel lines, the common
    // case of a bundle of overlapping lines, never.
    auto meet = [&](int i, int j) {
        const Curve& a = groups[i].shape;
        const Curve& b = groups[j].shape;
        const bool lineA = a.kind == Curve::Kind::line, lineB = b.kind == Curve::Kind::line;
        if (lineA && lineB) {
            if (!(std::abs((a.b - a.a).cross(b.b - b.a)) >= 1e-12)) return;
            const auto pts = intersect(a, b);
            if (pts.empty()) return;
            collect(i, j, pts);
            collect(j, i, intersect(b, a));
        } else if (lineA || lineB) {
            const auto pts = intersect(a, b);
            collect(i, j, pts);
            collect(j, i, pts);
        } else {
            collect(i, j, intersect(a, b));
            collect(j, i, intersect(b, a));
        }
    };
    for (size_t oi = 0; oi < order.size(); ++oi) {
        const int i = order[oi];
        const Box& bi = groups[i].box;
        for (size_t oj = oi + 1; oj < order.size(); ++oj) {
            const int j = order[oj];
            const Box& bj = groups[j].box;
            if (bj.lo.x > bi.hi.x) break;
            if (bj.lo.y > bi.hi.y || bi.lo.y > bj.hi.y) continue;
            if (groups[i].needsCuts || groups[j].needsCuts) meet(i, j);
            if (total > maxCrossings) return std::nullopt;
        }
    }

    std::vector<std::vector<double>> out(entries.size());
    std::vector<std::optional<std::vector<double>>> shared(groups.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const CurveEntry& e = entries[i];
        const int g = groupOf[i];
        if (!e.profile || g < 0) continue;
        const auto& crossings = raw[g];
        if (cutterIds[e.id] <= 1) {
            // No other cutter carries this id: every crossing counts, shared by the group.
            if (!shared[g]) {
                std::vector<double> ts;
                ts.reserve(crossings.size());
                for (const Crossing& c : crossings)
                    ts.push_back(c.t);
                shared[g] = finishCuts(e.shape, std::move(ts));
            }
            out[i] = *shared[g];
            continue;
        }
        // A damaged file may repeat an id: curves carrying this curve's id do not cut it.
        std::vector<double> ts;
        for (const Crossing& c : crossings)
            if (!groups[c.from].oneId || groups[c.from].firstId != e.id) ts.push_back(c.t);
        out[i] = finishCuts(e.shape, std::move(ts));
    }
    return out;
}

}  // namespace ivo
