// Closed loops of a sketch: curves split at their crossings into pieces, pieces joined into
// a planar graph, dangling edges pruned, and the faces walked. Nesting is in regions.cpp.
#include "sketch/profiles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <unordered_map>
#include <unordered_set>

#include "sketch/curve_table.h"
#include "sketch/curves.h"
#include "sketch/sketch.h"

namespace ivo {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kJoin = 1e-5;
// Far beyond any drawable sketch (each crossing adds a piece); past it the profiles are
// given up instead of exhausting memory.
constexpr size_t kMaxCrossings = size_t{1} << 20;

// Polylines stored end to end: piece k is pts[start[k], start[k + 1]).
struct Pieces {
    std::vector<V2> pts;
    std::vector<size_t> start{0};

    size_t count() const { return start.size() - 1; }
    size_t size(size_t k) const { return start[k + 1] - start[k]; }
    V2 first(size_t k) const { return pts[start[k]]; }
    V2 last(size_t k) const { return pts[start[k + 1] - 1]; }
    // Keeps the points added since the last close as one piece, unless one of them
    // overflowed (a huge radius or coordinate).
    void close() {
        const bool finite =
            std::all_of(pts.begin() + static_cast<long>(start.back()), pts.end(),
                        [](V2 p) { return std::isfinite(p.x) && std::isfinite(p.y); });
        if (finite && pts.size() - start.back() >= 2)
            start.push_back(pts.size());
        else
            pts.resize(start.back());
    }
};

// n + 1 points of the circle (c, r) at angles base + t0 … base + t1.
void addRound(Pieces& out, V2 c, double r, double base, double t0, double t1) {
    // |t1 − t0| never exceeds a turn, so n stays within 65.
    const double n0 = std::ceil(std::abs(t1 - t0) / kTwoPi * 64);
    const int n = n0 > 2 ? static_cast<int>(std::min(n0, 65.0)) : 2;
    for (int k = 0; k <= n; ++k) {
        const double a = base + t0 + (t1 - t0) * k / n;
        out.pts.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    out.close();
}

// Splits every profile curve at its cuts; circles cut fewer than twice are whole loops.
void splitCurves(const std::vector<CurveEntry>& entries,
                 const std::vector<std::vector<double>>& cuts, Pieces& pieces,
                 std::vector<Loop>& wholeCircles) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const CurveEntry& e = entries[i];
        if (!e.profile) continue;
        const Curve& c = e.shape;
        const std::vector<double>& ts = cuts[i];
        switch (c.kind) {
            case Curve::Kind::line: {
                std::vector<double> at{0};
                at.insert(at.end(), ts.begin(), ts.end());
                at.push_back(1);
                for (size_t k = 0; k + 1 < at.size(); ++k) {
                    pieces.pts.push_back(c.a + (c.b - c.a) * at[k]);
                    pieces.pts.push_back(c.a + (c.b - c.a) * at[k + 1]);
                    pieces.close();
                }
                break;
            }
            case Curve::Kind::circle: {
                if (ts.size() < 2) {
                    Loop l = circlePoints(c.c, c.r, 64);
                    if (std::isfinite(polyArea(l))) wholeCircles.push_back(std::move(l));
                    break;
                }
                for (size_t k = 0; k < ts.size(); ++k) {
                    double to = ts[(k + 1) % ts.size()];
                    if (to <= ts[k]) to += kTwoPi;
                    addRound(pieces, c.c, c.r, 0, ts[k], to);
                }
                break;
            }
            case Curve::Kind::arc: {
                std::vector<double> at{0};
                at.insert(at.end(), ts.begin(), ts.end());
                at.push_back(c.sweep);
                for (size_t k = 0; k + 1 < at.size(); ++k)
                    addRound(pieces, c.c, c.r, c.a0, at[k], at[k + 1]);
                break;
            }
        }
    }
}

// Nodes joined at 1e-5, first match in creation order, found through a hash grid. Cells
// are a micrometre wide, and never finer than the rounding of the coordinates allows; a
// lookup visits a neighbouring cell only when p lies within the joining distance (plus
// that rounding) of the border, so two joinable positions are always compared.
class NodeIndex {
public:
    explicit NodeIndex(const Pieces& pieces) {
        V2 lo{1e300, 1e300}, hi{-1e300, -1e300};
        for (size_t k = 0; k < pieces.count(); ++k) {
            for (V2 p : {pieces.first(k), pieces.last(k)}) {
                lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
                hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
            }
        }
        // Halved, so that the extent of coordinates near the largest double stays finite.
        const double halfExtent = std::max(hi.x / 2 - lo.x / 2, hi.y / 2 - lo.y / 2);
        const double mag =
            std::max({std::abs(lo.x), std::abs(lo.y), std::abs(hi.x), std::abs(hi.y)});
        cell = std::max({1e-3, std::ldexp(halfExtent, -39), std::ldexp(mag, -48)});
        // An odd offset keeps round coordinates off the cell borders.
        origin = lo - V2{cell, cell} * 0.381966;
        margin = std::min(
            0.5, (kJoin + std::ldexp(mag, -50) + std::ldexp(halfExtent, -49)) / cell + 1e-9);
        heads.reserve(2 * pieces.count());
        pos.reserve(2 * pieces.count());
        chain.reserve(2 * pieces.count());
    }

    int node(V2 p) {
        const double qx = (p.x - origin.x) / cell, qy = (p.y - origin.y) / cell;
        const double fx = std::floor(qx), fy = std::floor(qy);
        const std::int64_t kx = cellNumber(fx), ky = cellNumber(fy);
        const int x0 = qx - fx < margin ? -1 : 0, x1 = qx - fx > 1 - margin ? 1 : 0;
        const int y0 = qy - fy < margin ? -1 : 0, y1 = qy - fy > 1 - margin ? 1 : 0;
        int best = -1;
        for (int dy = y0; dy <= y1; ++dy) {
            for (int dx = x0; dx <= x1; ++dx) {
                const auto it = heads.find(key(kx + dx, ky + dy));
                if (it == heads.end()) continue;
                for (int n = it->second; n >= 0; n = chain[n])
                    if ((best < 0 || n < best) && (p - pos[n]).length() < kJoin) best = n;
            }
        }
        if (best >= 0) return best;
        const int id = static_cast<int>(pos.size());
        pos.push_back(p);
        auto [it, fresh] = heads.emplace(key(kx, ky), id);
        chain.push_back(fresh ? -1 : it->second);
        it->second = id;
        return id;
    }

    std::vector<V2> pos;

private:
    // Cell numbers stay far below 2^62 for finite input; anything else (an origin pushed to
    // infinity by coordinates at the edge of the double range) shares cell 0 rather than
    // reaching an integer conversion that overflows.
    static std::int64_t cellNumber(double f) {
        return std::abs(f) < 0x1p62 ? static_cast<std::int64_t>(f) : 0;
    }

    static std::uint64_t key(std::int64_t x, std::int64_t y) {
        // Cell coordinates stay below 2^41; colliding keys only share a chain.
        return static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
               static_cast<std::uint64_t>(y);
    }

    V2 origin;
    double cell = 1e-3;
    double margin = 0.5;
    std::unordered_map<std::uint64_t, int> heads;  // newest node of a cell
    std::vector<int> chain;                        // next older node of the same cell
};

struct Edge {
    int u, v;
    size_t piece;
};

// Keeps the edges whose two nodes each touch at least two kept edges, in their order.
std::vector<Edge> pruneDangling(const std::vector<Edge>& edges, size_t nodeCount) {
    std::vector<int> degree(nodeCount, 0);
    for (const Edge& e : edges) {
        ++degree[e.u];
        ++degree[e.v];
    }
    std::vector<size_t> first(nodeCount + 1, 0);
    for (size_t n = 0; n < nodeCount; ++n)
        first[n + 1] = first[n] + static_cast<size_t>(degree[n]);
    std::vector<int> touching(first.back());
    std::vector<size_t> fill(first.begin(), first.end() - 1);
    for (size_t k = 0; k < edges.size(); ++k) {
        touching[fill[edges[k].u]++] = static_cast<int>(k);
        touching[fill[edges[k].v]++] = static_cast<int>(k);
    }
    // Peeling one node at a time reaches the same edge set as repeated whole passes.
    std::vector<char> gone(edges.size(), 0);
    std::vector<int> stack;
    for (size_t n = 0; n < nodeCount; ++n)
        if (degree[n] == 1) stack.push_back(static_cast<int>(n));
    while (!stack.empty()) {
        const int n = stack.back();
        stack.pop_back();
        for (size_t i = first[n]; i < first[n + 1]; ++i) {
            const int k = touching[i];
            if (gone[k]) continue;
            gone[k] = 1;
            for (int m : {edges[k].u, edges[k].v})
                if (--degree[m] == 1) stack.push_back(m);
        }
    }
    std::vector<Edge> kept;
    kept.reserve(edges.size());
    for (size_t k = 0; k < edges.size(); ++k)
        if (!gone[k]) kept.push_back(edges[k]);
    return kept;
}

// Half-edge 2k runs along edge k, 2k + 1 against it; faces are walked turning to the
// previous outgoing half-edge in angle order at every node.
std::vector<Loop> walkFaces(const std::vector<Edge>& edges, const Pieces& pieces,
                            const std::vector<V2>& nodes) {
    const size_t H = 2 * edges.size();
    auto from = [&](size_t h) { return (h & 1) ? edges[h / 2].v : edges[h / 2].u; };
    auto to = [&](size_t h) { return (h & 1) ? edges[h / 2].u : edges[h / 2].v; };
    auto mids = [&](size_t h) { return pieces.size(edges[h / 2].piece) - 2; };
    // The k-th point strictly between the ends of half-edge h, in walking order.
    auto mid = [&](size_t h, size_t k) {
        const size_t piece = edges[h / 2].piece, n = pieces.size(piece);
        return pieces.pts[pieces.start[piece] + ((h & 1) ? n - 2 - k : 1 + k)];
    };

    std::vector<size_t> first(nodes.size() + 1, 0);
    for (size_t h = 0; h < H; ++h)
        ++first[from(h) + 1];
    for (size_t n = 0; n < nodes.size(); ++n)
        first[n + 1] += first[n];
    std::vector<size_t> outgoing(H), fill(first.begin(), first.end() - 1);
    for (size_t h = 0; h < H; ++h)
        outgoing[fill[from(h)]++] = h;
    std::vector<double> angle(H);
    for (size_t h = 0; h < H; ++h) {
        const V2 d = (mids(h) > 0 ? mid(h, 0) : nodes[to(h)]) - nodes[from(h)];
        angle[h] = std::atan2(d.y, d.x);
    }
    std::vector<size_t> slot(H);
    for (size_t n = 0; n < nodes.size(); ++n) {
        const auto b = outgoing.begin() + static_cast<long>(first[n]);
        const auto e = outgoing.begin() + static_cast<long>(first[n + 1]);
        std::stable_sort(b, e, [&](size_t l, size_t r) { return angle[l] < angle[r]; });
        for (size_t i = first[n]; i < first[n + 1]; ++i)
            slot[outgoing[i]] = i - first[n];
    }

    std::vector<Loop> faces;
    std::vector<char> used(H, 0);
    Loop walk;
    for (size_t h = 0; h < H; ++h) {
        if (used[h]) continue;
        walk.clear();
        bool closed = false;
        size_t cur = h;
        for (size_t steps = 1;; ++steps) {
            used[cur] = 1;
            walk.push_back(nodes[from(cur)]);
            for (size_t k = 0, m = mids(cur); k < m; ++k)
                walk.push_back(mid(cur, k));
            const int n = to(cur);
            const size_t count = first[n + 1] - first[n];
            const size_t next = outgoing[first[n] + (slot[cur ^ 1] + count - 1) % count];
            if (next == h) {
                closed = true;
                break;
            }
            if (used[next] || steps >= H + 2) break;
            cur = next;
        }
        if (!closed) continue;
        Loop face = cleanLoop(walk);
        const double area = polyArea(face);
        // Only counter-clockwise faces: each component's outer boundary walks clockwise.
        if (face.size() >= 3 && area > 1e-9 && std::isfinite(area))
            faces.push_back(std::move(face));
    }
    return faces;
}

}  // namespace

std::vector<Loop> Sketch::loops() const {
    const std::vector<CurveEntry> entries = curveEntries(*this);
    const auto cuts = profileCuts(entries, kMaxCrossings);
    if (!cuts) return {};
    Pieces pieces;
    std::vector<Loop> result;
    splitCurves(entries, *cuts, pieces, result);

    NodeIndex nodes(pieces);
    std::vector<Edge> edges;
    edges.reserve(pieces.count());
    std::unordered_set<std::uint64_t> straight;
    straight.reserve(pieces.count());
    for (size_t k = 0; k < pieces.count(); ++k) {
        const int u = nodes.node(pieces.first(k));
        const int v = nodes.node(pieces.last(k));
        if (u == v) continue;
        if (pieces.size(k) == 2) {
            // Overlapping identical segments count once.
            const auto lo = static_cast<std::uint64_t>(std::min(u, v));
            const auto hi = static_cast<std::uint64_t>(std::max(u, v));
            if (!straight.insert(lo << 32 | hi).second) continue;
        }
        edges.push_back({u, v, k});
    }
    const std::vector<Edge> kept = pruneDangling(edges, nodes.pos.size());
    std::vector<Loop> faces = walkFaces(kept, pieces, nodes.pos);
    result.insert(result.end(), std::make_move_iterator(faces.begin()),
                  std::make_move_iterator(faces.end()));
    return result;
}

}  // namespace ivo
