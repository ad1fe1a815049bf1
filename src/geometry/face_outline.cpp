// Boundary loops of a set of coplanar 2-D triangles: edges split at T-junctions, interior
// edges cancelled in pairs, the rest chained into loops.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "geometry/mesh.h"

namespace ivo {
namespace {

// A point ×100 000, truncated or rounded to whole numbers kept as doubles.
struct PointKey {
    double x, y;
    friend bool operator==(PointKey, PointKey) = default;
    friend bool operator<(PointKey p, PointKey q) { return p.x < q.x || (p.x == q.x && p.y < q.y); }
};

struct PointKeyHash {
    std::size_t operator()(PointKey k) const {
        std::uint64_t h = std::bit_cast<std::uint64_t>(k.x) * 0x9E3779B97F4A7C15u;
        h ^= (h >> 32) + std::bit_cast<std::uint64_t>(k.y) * 0xBF58476D1CE4E5B9u;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

struct EdgeKey {
    PointKey lo, hi;
    friend bool operator==(EdgeKey, EdgeKey) = default;
};

struct EdgeKeyHash {
    std::size_t operator()(EdgeKey k) const {
        return PointKeyHash{}(k.lo) * 31 + PointKeyHash{}(k.hi);
    }
};

// Adding 0.0 turns −0 into +0, which is the same decimal integer.
PointKey truncatedKey(V2 p) {
    return {std::trunc(p.x * 100000) + 0.0, std::trunc(p.y * 100000) + 0.0};
}

PointKey roundedKey(V2 p) {
    return {std::round(p.x * 100000) + 0.0, std::round(p.y * 100000) + 0.0};
}

struct Edge {
    V2 a;
    PointKey from, to;
};

// Distinct input points, one per truncated key (the last one seen), in first-seen order.
std::vector<V2> pointSet(const std::vector<Tri2>& tris) {
    std::vector<V2> points;
    std::unordered_map<PointKey, std::size_t, PointKeyHash> where;
    for (const Tri2& t : tris) {
        for (const V2 p : t) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
            const auto [it, added] = where.try_emplace(truncatedKey(p), points.size());
            if (added)
                points.push_back(p);
            else
                points[it->second] = p;
        }
    }
    return points;
}

// Directed edges of every triangle, split wherever another triangle's corner lies on them,
// so that a long edge cancels against the several short ones that share its line.
std::vector<Edge> splitEdges(const std::vector<Tri2>& tris, const std::vector<V2>& points) {
    std::vector<Edge> edges;
    std::vector<std::pair<double, V2>> splits;
    std::vector<V2> chain;
    for (const Tri2& t : tris) {
        for (int i = 0; i < 3; ++i) {
            const V2 A = t[i], B = t[(i + 1) % 3], AB = B - A;
            const double l2 = AB.dot(AB);
            if (!(l2 >= 1e-14)) continue;
            const double l = std::sqrt(l2);
            splits.clear();
            for (const V2 P : points) {
                const double s = (P - A).dot(AB) / l2;
                if (s > 1e-9 && s < 0.999999999 && std::abs(AB.cross(P - A)) / l < 1e-5)
                    splits.push_back({s, P});
            }
            std::stable_sort(splits.begin(), splits.end(),
                             [](const auto& p, const auto& q) { return p.first < q.first; });
            chain.assign(1, A);
            for (const auto& split : splits)
                chain.push_back(split.second);
            chain.push_back(B);
            for (std::size_t k = 0; k + 1 < chain.size(); ++k) {
                if (truncatedKey(chain[k]) == truncatedKey(chain[k + 1])) continue;
                edges.push_back({chain[k], roundedKey(chain[k]), roundedKey(chain[k + 1])});
            }
        }
    }
    return edges;
}

// Edges used once: an edge shared by two triangles lies inside the union.
std::vector<Edge> boundaryEdges(const std::vector<Edge>& edges) {
    std::unordered_map<EdgeKey, int, EdgeKeyHash> uses;
    const auto undirected = [](const Edge& e) {
        return e.from < e.to ? EdgeKey{e.from, e.to} : EdgeKey{e.to, e.from};
    };
    for (const Edge& e : edges)
        ++uses[undirected(e)];
    std::vector<Edge> out;
    for (const Edge& e : edges)
        if (uses[undirected(e)] == 1) out.push_back(e);
    return out;
}

// Chains edges into loops, starting keys in first-seen order and taking at each key the
// first edge left there. Bounded in total steps, so that no input keeps it walking.
std::vector<Loop> chainLoops(const std::vector<Edge>& edges) {
    constexpr int kMaxSteps = 100000;
    struct Outgoing {
        PointKey key;
        std::vector<std::size_t> edges;
        std::size_t next = 0;
    };
    std::vector<Outgoing> outgoing;
    std::unordered_map<PointKey, std::size_t, PointKeyHash> at;
    for (std::size_t e = 0; e < edges.size(); ++e) {
        const auto [it, added] = at.try_emplace(edges[e].from, outgoing.size());
        if (added) outgoing.push_back({edges[e].from, {}});
        outgoing[it->second].edges.push_back(e);
    }

    std::vector<Loop> loops;
    int steps = 0;
    for (Outgoing& first : outgoing) {
        while (first.next < first.edges.size()) {
            Loop loop;
            PointKey key = first.key;
            while (true) {
                const auto it = at.find(key);
                if (it == at.end()) break;
                Outgoing& here = outgoing[it->second];
                if (here.next == here.edges.size()) break;
                if (steps == kMaxSteps) return loops;
                ++steps;
                const Edge& e = edges[here.edges[here.next++]];
                loop.push_back(e.a);
                key = e.to;
                if (key == first.key) break;
            }
            loops.push_back(std::move(loop));
        }
    }
    return loops;
}

// Without the vertices whose neighbours are collinear with them, judged on the loop as
// chained; the threshold is relative for long sides, absolute for short ones.
Loop withoutCollinear(const Loop& loop) {
    Loop out;
    const std::size_t n = loop.size();
    for (std::size_t i = 0; i < n; ++i) {
        const V2 d1 = loop[i] - loop[(i + n - 1) % n];
        const V2 d2 = loop[(i + 1) % n] - loop[i];
        const double c = std::abs(d1.cross(d2));
        const double l = d1.length() * d2.length();
        if (l >= 1 ? c > 1e-9 * l : c > 1e-9) out.push_back(loop[i]);
    }
    return out;
}

}  // namespace

std::vector<Loop> faceOutline(const std::vector<Tri2>& tris) {
    std::vector<Loop> out;
    for (const Loop& loop : chainLoops(boundaryEdges(splitEdges(tris, pointSet(tris))))) {
        Loop clean = withoutCollinear(loop);
        if (clean.size() >= 3) out.push_back(std::move(clean));
    }
    return out;
}

}  // namespace ivo
