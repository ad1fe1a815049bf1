// The closed mesh step written directly (see reference_mesh.h); kept as it was, apart from
// its name, so that a faster mesh step can be checked against it.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "geometry/first_seen_index.h"
#include "geometry/mesh.h"
#include "support/reference_mesh.h"

namespace ivo::testing {
namespace {

struct PointKey {
    V3 p;
    friend bool operator==(const PointKey& a, const PointKey& b) {
        // Bitwise, so that −0 and +0 weld through the grid like any close pair.
        return std::bit_cast<std::uint64_t>(a.p.x) == std::bit_cast<std::uint64_t>(b.p.x) &&
               std::bit_cast<std::uint64_t>(a.p.y) == std::bit_cast<std::uint64_t>(b.p.y) &&
               std::bit_cast<std::uint64_t>(a.p.z) == std::bit_cast<std::uint64_t>(b.p.z);
    }
};

struct PointKeyHash {
    std::uint64_t operator()(const PointKey& k) const {
        std::uint64_t h = std::bit_cast<std::uint64_t>(k.p.x);
        h = (h ^ std::bit_cast<std::uint64_t>(k.p.y)) * 0x9E3779B97F4A7C15u;
        return (h ^ std::bit_cast<std::uint64_t>(k.p.z)) * 0x9E3779B97F4A7C15u;
    }
};

struct Cell {
    std::int64_t i[3];
    friend bool operator==(const Cell&, const Cell&) = default;
};

template <std::size_t N>
std::uint64_t mixWords(const std::int64_t (&words)[N]) {
    std::uint64_t h = 0;
    for (const std::int64_t v : words)
        h = (h ^ static_cast<std::uint64_t>(v)) * 0x9E3779B97F4A7C15u;
    return h;
}

struct CellHash {
    std::uint64_t operator()(const Cell& c) const { return mixWords(c.i); }
};

struct EdgeKey {
    std::uint32_t a, b;
    friend bool operator==(const EdgeKey&, const EdgeKey&) = default;
};

struct EdgeKeyHash {
    std::uint64_t operator()(const EdgeKey& e) const { return (std::uint64_t(e.a) << 32) | e.b; }
};

// A supporting line, quantized: its canonical direction and the foot point nearest the
// origin. The split points of one edge lie on it to rounding, far finer than the steps.
struct LineKey {
    std::int64_t k[6];
    friend bool operator==(const LineKey&, const LineKey&) = default;
};

struct LineKeyHash {
    std::uint64_t operator()(const LineKey& l) const { return mixWords(l.k); }
};

double axis(V3 p, int a) {
    return a == 0 ? p.x : a == 1 ? p.y : p.z;
}

// Points in a uniform grid, each in one cell, listed per cell; a query visits the cells a
// box overlaps. Cell coordinates beyond ±2⁵⁰ (or not finite) are left out of the grid.
class PointGrid {
public:
    PointGrid(double cell, std::size_t expected) : h_(cell), cells_(expected) {}

    std::optional<Cell> cellOf(V3 p) const {
        Cell c;
        for (int a = 0; a < 3; ++a) {
            const double f = std::floor((axis(p, a) - kOrigin) / h_);
            if (!(std::abs(f) < 1e15)) return std::nullopt;
            c.i[a] = static_cast<std::int64_t>(f);
        }
        return c;
    }

    void add(std::uint32_t id, V3 p) {
        if (next_.size() <= id) next_.resize(id + 1, kNone);
        const std::optional<Cell> c = cellOf(p);
        if (!c) return;
        const auto [k, isNew] = cells_.insert(*c);
        if (isNew) head_.push_back(kNone);
        next_[id] = head_[k];
        head_[k] = id;
    }

    // Calls f(id) for every point in the cells that the box [lo, hi] overlaps, unless
    // that is more than maxCells cells; then returns false without calling it.
    template <class F>
    bool visit(V3 lo, V3 hi, std::int64_t maxCells, F f) const {
        const std::optional<Cell> a = cellOf(lo), b = cellOf(hi);
        if (!a || !b) return false;
        std::int64_t count = 1;
        for (int k = 0; k < 3; ++k)
            count *= b->i[k] - a->i[k] + 1;
        if (count > maxCells) return false;
        for (std::int64_t x = a->i[0]; x <= b->i[0]; ++x)
            for (std::int64_t y = a->i[1]; y <= b->i[1]; ++y)
                for (std::int64_t z = a->i[2]; z <= b->i[2]; ++z) {
                    const std::uint32_t k = cells_.find(Cell{{x, y, z}});
                    if (k == kNone) continue;
                    for (std::uint32_t id = head_[k]; id != kNone; id = next_[id])
                        f(id);
                }
        return true;
    }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    // Off the round values that model coordinates favour, so that few corners sit on a
    // cell boundary and make a query look into the neighbouring cells.
    static constexpr double kOrigin = 0.000137;
    double h_;
    FirstSeenIndex<Cell, CellHash> cells_;
    std::vector<std::uint32_t> head_, next_;
};

// Representatives of the points such that every point lies within kMeshWeld of its own and
// representatives lie at least that far apart: each point, in order, joins the nearest
// representative within reach or becomes one. Points never join through a chain of near
// points, so a fine row of points is not drawn into one.
std::vector<std::uint32_t> weldPoints(const std::vector<V3>& pts) {
    std::vector<std::uint32_t> rep(pts.size());
    PointGrid grid(8 * kMeshWeld, pts.size() / 4 + 16);
    const V3 r{kMeshWeld, kMeshWeld, kMeshWeld};
    for (std::uint32_t i = 0; i < pts.size(); ++i) {
        const V3 p = pts[i];
        std::uint32_t found = i;
        double best = kMeshWeld;
        grid.visit(p - r, p + r, 8, [&](std::uint32_t id) {
            const double d = (pts[id] - p).length();
            if (d < best) best = d, found = id;
        });
        rep[i] = found;
        if (found == i) grid.add(i, p);
    }
    return rep;
}

// A polygon's outline as corner numbers, with its plane normal.
struct Outline {
    std::vector<std::uint32_t> ids;
    V3 n;
};

// Signed distance of b from the line a→c, positive on the right about n (where the corner
// of a counter-clockwise convex outline lies).
double bulge(V3 a, V3 b, V3 c, V3 n) {
    const V3 d = c - a;
    const double len = d.length();
    if (!(len > 0)) return 0;
    return n.dot((b - a).cross(d)) / len;
}

// A corner this close to an edge of another outline lies on it, and a corner this close to
// the line through its neighbours is no corner of its outline (mm).
constexpr double kOnEdge = 1e-7;

// Triangulates a convex outline whose corners may include points on its edges: ears are
// cut only at true corners, first at those next to a point on an edge, which then becomes a
// corner; so no triangle is flat and every outline point is used. An outline too thin to
// have corners is fanned as it is.
void triangulateOutline(const std::vector<std::uint32_t>& ids, const std::vector<V3>& pts, V3 n,
                        std::vector<Tri>& out, std::vector<std::uint32_t>& prev,
                        std::vector<std::uint32_t>& next) {
    const auto k = static_cast<std::uint32_t>(ids.size());
    auto tri = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        out.push_back({pts[ids[a]], pts[ids[b]], pts[ids[c]], n});
    };
    // Most outlines have no flat point: their fan needs no list.
    bool anyFlat = false;
    for (std::uint32_t i = 0; i < k && !anyFlat && k > 3; ++i)
        anyFlat = bulge(pts[ids[i == 0 ? k - 1 : i - 1]], pts[ids[i]],
                        pts[ids[i + 1 == k ? 0 : i + 1]], n) < kOnEdge;
    if (!anyFlat) {
        for (std::uint32_t i = 1; i + 1 < k; ++i)
            tri(0, i, i + 1);
        return;
    }
    prev.resize(k);
    next.resize(k);
    for (std::uint32_t i = 0; i < k; ++i) {
        prev[i] = i == 0 ? k - 1 : i - 1;
        next[i] = i + 1 == k ? 0 : i + 1;
    }
    auto corner = [&](std::uint32_t i) {
        return bulge(pts[ids[prev[i]]], pts[ids[i]], pts[ids[next[i]]], n) >= kOnEdge;
    };
    bool flat = true;
    std::uint32_t left = k, start = 0;
    while (flat && left > 3) {
        // A corner next to a flat point, else any corner, else none.
        std::uint32_t ear = k, any = k, i = start;
        for (std::uint32_t s = 0; s < left; ++s, i = next[i]) {
            if (!corner(i)) continue;
            if (any == k) any = i;
            if (!corner(prev[i]) || !corner(next[i])) {
                ear = i;
                break;
            }
        }
        if (ear == k) ear = any;
        if (ear == k) break;
        tri(prev[ear], ear, next[ear]);
        next[prev[ear]] = next[ear];
        prev[next[ear]] = prev[ear];
        start = next[ear];
        --left;
        flat = false;
        for (std::uint32_t s = 0, j = start; s < left && !flat; ++s, j = next[j])
            flat = !corner(j);
    }
    // What is left has no flat point (or no corner at all): a fan from any point.
    const std::uint32_t a = start;
    for (std::uint32_t b = next[a]; next[b] != a; b = next[b])
        tri(a, b, next[b]);
}

// An edge of an outline that no edge runs back along.
struct OpenEdge {
    std::uint32_t outline, at;  // the edge from ids[at] to the next corner
    std::uint32_t a, b;
};

// Rebuilds the outlines holding the open edges, each such edge followed by the points
// `collect(e, on)` finds on it, in order along it and once each. Returns the number of edges.
template <class F>
std::size_t insertOnEdges(std::vector<Outline>& outlines, const std::vector<OpenEdge>& open,
                          F collect) {
    std::vector<std::pair<double, std::uint32_t>> on;
    std::vector<std::uint32_t> ids;
    std::size_t e = 0;
    while (e < open.size()) {
        Outline& o = outlines[open[e].outline];
        ids.clear();
        for (std::uint32_t i = 0; i < o.ids.size(); ++i) {
            ids.push_back(o.ids[i]);
            if (e == open.size() || &outlines[open[e].outline] != &o || open[e].at != i) continue;
            on.clear();
            collect(e, on);
            std::sort(on.begin(), on.end());
            on.erase(std::unique(on.begin(), on.end()), on.end());
            for (const auto& [t, id] : on)
                ids.push_back(id);
            ++e;
        }
        o.ids.swap(ids);
    }
    return open.size();
}

// The same for exact T-junctions, found along the supporting lines of the open edges: the
// ends of the open edges on one line, in order along it, and for each edge those strictly
// between its own ends. A pair that quantization puts on two lines is left for the search
// by position after welding.
std::size_t insertAlongLines(std::vector<Outline>& outlines, const std::vector<OpenEdge>& open,
                             const std::vector<V3>& pts, double tol) {
    auto canonical = [](V3 u) {
        constexpr double e = 1e-9;
        const bool flip = u.x < -e || (std::abs(u.x) <= e && u.y < -e) ||
                          (std::abs(u.x) <= e && std::abs(u.y) <= e && u.z < 0);
        return flip ? -u : u;
    };
    auto q = [](double v, double scale, std::int64_t& out) {
        const double r = std::round(v * scale);
        if (!(std::abs(r) < 1e15)) return false;
        out = static_cast<std::int64_t>(r);
        return true;
    };
    FirstSeenIndex<LineKey, LineKeyHash> lines(open.size());
    std::vector<std::uint32_t> lineOf(open.size(), 0xFFFFFFFFu);
    std::vector<V3> dirOf;
    for (std::size_t e = 0; e < open.size(); ++e) {
        const V3 A = pts[open[e].a], d = pts[open[e].b] - A;
        const double len = d.length();
        if (!(len > 0) || !std::isfinite(len)) continue;
        const V3 u = canonical(d / len), f = A - u * A.dot(u);
        LineKey key;
        if (!q(u.x, 1e6, key.k[0]) || !q(u.y, 1e6, key.k[1]) || !q(u.z, 1e6, key.k[2]) ||
            !q(f.x, 1e6, key.k[3]) || !q(f.y, 1e6, key.k[4]) || !q(f.z, 1e6, key.k[5]))
            continue;
        const auto [line, isNew] = lines.insert(key);
        if (isNew) dirOf.push_back(u);
        lineOf[e] = line;
    }
    // The ends on each line, by position along it.
    std::vector<std::uint32_t> start(lines.size() + 1, 0);
    for (const std::uint32_t l : lineOf)
        if (l != 0xFFFFFFFFu) start[l + 1] += 2;
    for (std::size_t l = 0; l < lines.size(); ++l)
        start[l + 1] += start[l];
    std::vector<std::pair<double, std::uint32_t>> ends(start.back());
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (std::size_t e = 0; e < open.size(); ++e) {
        const std::uint32_t l = lineOf[e];
        if (l == 0xFFFFFFFFu) continue;
        for (const std::uint32_t id : {open[e].a, open[e].b})
            ends[fill[l]++] = {pts[id].dot(dirOf[l]), id};
    }
    for (std::size_t l = 0; l < lines.size(); ++l) {
        std::sort(ends.begin() + start[l], ends.begin() + start[l + 1]);
        // Duplicates are left: the test below sees an end twice at most per edge.
    }
    return insertOnEdges(outlines, open, [&](std::size_t e, auto& on) {
        const std::uint32_t l = lineOf[e];
        if (l == 0xFFFFFFFFu) return;
        const V3 A = pts[open[e].a], B = pts[open[e].b], d = B - A;
        const double len2 = d.dot(d), len = std::sqrt(len2);
        const double ta = A.dot(dirOf[l]), tb = B.dot(dirOf[l]);
        const auto first = ends.begin() + start[l], last = ends.begin() + start[l + 1];
        auto it = std::lower_bound(first, last, std::pair{std::min(ta, tb), 0u});
        for (; it != last && it->first < std::max(ta, tb); ++it) {
            const std::uint32_t id = it->second;
            if (id == open[e].a || id == open[e].b) continue;
            const V3 p = pts[id];
            const double t = (p - A).dot(d) / len2;
            if (t * len <= tol || (1 - t) * len <= tol) continue;
            if ((A + d * t - p).length() < tol) on.push_back({t, id});
        }
    });
}

// Inserts into every outline edge that no edge runs back along the ends of such edges that
// lie on it, within `tol`: a corner in the middle of an edge is an end of the edges that run
// back along its parts. Returns the number of such edges.
std::size_t insertOnOpenEdges(std::vector<Outline>& outlines, const std::vector<V3>& pts,
                              double tol, bool byLine) {
    std::size_t count = 0;
    for (const Outline& o : outlines)
        count += o.ids.size();
    FirstSeenIndex<EdgeKey, EdgeKeyHash> edges(count);
    for (const Outline& o : outlines)
        for (std::size_t i = 0; i < o.ids.size(); ++i)
            edges.insert({o.ids[i], o.ids[(i + 1) % o.ids.size()]});
    std::vector<OpenEdge> open;
    std::vector<char> isEnd(pts.size(), 0);
    double sumLength = 0;
    for (std::uint32_t k = 0; k < outlines.size(); ++k) {
        const std::vector<std::uint32_t>& ids = outlines[k].ids;
        for (std::uint32_t i = 0; i < ids.size(); ++i) {
            const std::uint32_t a = ids[i], b = ids[(i + 1) % ids.size()];
            if (edges.find({b, a}) != edges.kEmpty) continue;
            open.push_back({k, i, a, b});
            isEnd[a] = isEnd[b] = 1;
            sumLength += (pts[b] - pts[a]).length();
        }
    }
    if (open.empty()) return 0;

    if (byLine) return insertAlongLines(outlines, open, pts, tol);

    std::vector<std::uint32_t> ends;
    for (std::uint32_t id = 0; id < pts.size(); ++id)
        if (isEnd[id]) ends.push_back(id);
    // Half the mean length: an edge then visits a few cells holding a few ends each.
    const double cell = std::max(sumLength / double(open.size()) / 2, 16 * tol);
    PointGrid grid(cell, ends.size());
    for (const std::uint32_t id : ends)
        grid.add(id, pts[id]);
    return insertOnEdges(outlines, open, [&](std::size_t e, auto& on) {
        const V3 A = pts[open[e].a], B = pts[open[e].b], d = B - A;
        const double len2 = d.dot(d), len = std::sqrt(len2);
        const V3 r{tol, tol, tol};
        const V3 lo = V3{std::min(A.x, B.x), std::min(A.y, B.y), std::min(A.z, B.z)} - r;
        const V3 hi = V3{std::max(A.x, B.x), std::max(A.y, B.y), std::max(A.z, B.z)} + r;
        auto test = [&](std::uint32_t id) {
            const V3 p = pts[id];
            if (p.x < lo.x || p.y < lo.y || p.z < lo.z || p.x > hi.x || p.y > hi.y || p.z > hi.z ||
                id == open[e].a || id == open[e].b)
                return;
            const double t = (p - A).dot(d) / len2;
            if (t * len <= tol || (1 - t) * len <= tol) return;
            if ((A + d * t - p).length() < tol) on.push_back({t, id});
        };
        if (!(len > 2 * tol && std::isfinite(len))) return;
        // Cell by cell along the edge: a long slanting edge crosses few of the cells of its box.
        const auto steps = std::uint32_t(std::min(std::ceil(len / cell), 1e6));
        bool all = false;
        for (std::uint32_t j = 0; j < steps && !all; ++j) {
            const V3 p = A + d * (double(j) / steps), q = A + d * (double(j + 1) / steps);
            const V3 a{std::min(p.x, q.x), std::min(p.y, q.y), std::min(p.z, q.z)};
            const V3 b{std::max(p.x, q.x), std::max(p.y, q.y), std::max(p.z, q.z)};
            all = !grid.visit(a - r, b + r, 64, test);
        }
        if (all) {
            on.clear();
            for (const std::uint32_t id : ends)
                test(id);
        }
    });
}

}  // namespace

std::vector<Tri> referenceTriangles(const Solid& solid) {
    std::size_t corners = 0;
    for (const CPoly& poly : solid)
        corners += poly.v.size();
    // Corners numbered as exact points.
    FirstSeenIndex<PointKey, PointKeyHash> index(corners);
    std::vector<V3> pts;
    pts.reserve(corners);
    std::vector<Outline> outlines;
    outlines.reserve(solid.size());
    for (const CPoly& poly : solid) {
        Outline o{{}, poly.plane.n};
        for (const V3 p : poly.v) {
            const auto [id, isNew] = index.insert({p});
            if (isNew) pts.push_back(p);
            if (o.ids.empty() || o.ids.back() != id) o.ids.push_back(id);
        }
        while (o.ids.size() > 1 && o.ids.front() == o.ids.back())
            o.ids.pop_back();
        if (o.ids.size() >= 3) outlines.push_back(std::move(o));
    }

    // The split points of one edge line up to rounding: first the T-junctions as they are,
    // then, the near corners welded, what the kernel's tolerance left a hair off the line.
    const std::size_t open = insertOnOpenEdges(outlines, pts, kOnEdge, true);
    const std::vector<std::uint32_t> rep = weldPoints(pts);
    bool merged = false;
    for (std::uint32_t i = 0; i < rep.size() && !merged; ++i)
        merged = rep[i] != i;
    std::size_t kept = 0;
    for (std::size_t k = 0; k < outlines.size(); ++k) {
        Outline& o = outlines[k];
        std::size_t n = 0;
        for (const std::uint32_t id : o.ids)
            if (n == 0 || o.ids[n - 1] != rep[id]) o.ids[n++] = rep[id];
        while (n > 1 && o.ids[0] == o.ids[n - 1])
            --n;
        o.ids.resize(n);
        if (n < 3) continue;
        if (kept != k) outlines[kept] = std::move(o);
        ++kept;
    }
    outlines.resize(kept);
    if (open || merged) insertOnOpenEdges(outlines, pts, kMeshWeld, false);

    std::vector<Tri> out;
    out.reserve(corners * 2);
    std::vector<std::uint32_t> prev, next;
    for (const Outline& o : outlines)
        triangulateOutline(o.ids, pts, o.n, out, prev, next);
    return out;
}

}  // namespace ivo::testing
