// Triangles of a solid as one closed mesh. The trees of a boolean cut a face along the
// planes of the other solid and leave its neighbour whole, so the neighbour's edge runs past
// corners of the cut face (T-junctions); and near-parallel planes put copies of one corner a
// tolerance apart. Slicers take both for holes. Corners are welded, the corners lying on an
// edge are inserted into it, and each outline is triangulated without flat triangles.
//
// The view runs this on every change of a model, so its tables are flat and indexed by
// corner number where they can be: hashed tables of a few hundred thousand keys cost a cache
// miss per look-up, which made the step slower than evaluating the model.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "geometry/first_seen_index.h"
#include "geometry/mesh.h"

namespace ivo {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

std::uint64_t finalMix(std::uint64_t h) {
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9u;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBu;
    return h ^ (h >> 31);
}

// Numbers distinct points in the order first seen, keeping each once, in pts: an
// open-addressed table of their numbers. Bitwise, so that −0 and +0 weld through the grid
// like any close pair.
class PointIndex {
public:
    PointIndex(std::vector<std::uint32_t>& slots, std::vector<V3>& pts, std::size_t expected)
        : slots_(slots), pts_(pts) {
        slots_.assign(std::bit_ceil(2 * expected + 16), kNone);
        pts_.clear();
    }

    std::uint32_t insert(V3 p) {
        if (2 * (pts_.size() + 1) > slots_.size()) grow();
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash(p) & mask;; i = (i + 1) & mask) {
            const std::uint32_t s = slots_[i];
            if (s == kNone) {
                slots_[i] = static_cast<std::uint32_t>(pts_.size());
                pts_.push_back(p);
                return slots_[i];
            }
            if (same(pts_[s], p)) return s;
        }
    }

private:
    static std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }
    static bool same(V3 a, V3 b) {
        return bits(a.x) == bits(b.x) && bits(a.y) == bits(b.y) && bits(a.z) == bits(b.z);
    }
    static std::uint64_t hash(V3 p) {
        std::uint64_t h = bits(p.x);
        h = (h ^ bits(p.y)) * 0x9E3779B97F4A7C15u;
        return finalMix((h ^ bits(p.z)) * 0x9E3779B97F4A7C15u);
    }

    void grow() {
        slots_.assign(2 * slots_.size(), kNone);
        const std::size_t mask = slots_.size() - 1;
        for (std::uint32_t k = 0; k < pts_.size(); ++k) {
            std::size_t i = hash(pts_[k]) & mask;
            while (slots_[i] != kNone)
                i = (i + 1) & mask;
            slots_[i] = k;
        }
    }

    std::vector<std::uint32_t>& slots_;
    std::vector<V3>& pts_;
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

// The outlines of the polygons as corner numbers, all in one array: outline k is
// ids[start[k]] … ids[start[k + 1] − 1], in the plane of normal n[k].
struct Outlines {
    std::vector<std::uint32_t> ids, start{0};
    std::vector<V3> n;

    std::uint32_t size() const { return static_cast<std::uint32_t>(n.size()); }
    void close(V3 normal) {
        start.push_back(static_cast<std::uint32_t>(ids.size()));
        n.push_back(normal);
    }
};

struct CellPoints {
    Cell cell;
    std::uint32_t head;
};

// The tables of a PointGrid, kept between grids.
struct GridMemory {
    std::vector<std::uint32_t> slots, next;
    std::vector<std::uint64_t> occupied;
    std::vector<CellPoints> cells;
    std::vector<std::uint64_t> crowd;  // for weldPoints
};

// Points in a uniform grid, each in one cell, listed per cell (the last added first); a
// query visits the cells a box overlaps. Cell coordinates beyond ±10¹⁵ (or not finite) are
// left out of the grid. A cell keeps its key and its first point together, and the table
// of cell numbers stays small enough to stay in cache: most queries look for cells that
// hold no point.
class PointGrid {
public:
    PointGrid(double cell, std::size_t points, std::size_t expectedCells, GridMemory& m)
        : h_(cell), slots_(m.slots), occupied_(m.occupied), cells_(m.cells), next_(m.next) {
        slots_.assign(std::bit_ceil(2 * expectedCells + 16), kNone);
        occupied_.assign(std::bit_ceil(8 * expectedCells + 4096) / 64, 0);
        next_.assign(points, kNone);
        cells_.clear();
        cells_.reserve(expectedCells);
    }

    std::optional<Cell> cellOf(V3 p) const { return cellOf(p, h_); }

    // The cell of p in any grid of cells of side h.
    static std::optional<Cell> cellOf(V3 p, double h) {
        Cell c;
        for (int a = 0; a < 3; ++a) {
            const double f = std::floor((axis(p, a) - kOrigin) / h);
            if (!(std::abs(f) < 1e15)) return std::nullopt;
            c.i[a] = static_cast<std::int64_t>(f);
        }
        return c;
    }

    void add(std::uint32_t id, V3 p) { addTo(id, cellOf(p)); }

    // The same as add(id, p) with c the cell of p.
    void addTo(std::uint32_t id, const std::optional<Cell>& c) {
        if (!c) return;
        if (2 * (cells_.size() + 1) > slots_.size()) grow();
        const std::uint64_t h = hash(*c);
        occupied_[bit(h) / 64] |= std::uint64_t(1) << bit(h) % 64;
        std::uint32_t& s = slots_[probe(*c, h)];
        if (s == kNone) {
            s = static_cast<std::uint32_t>(cells_.size());
            cells_.push_back({*c, kNone});
        }
        next_[id] = cells_[s].head;
        cells_[s].head = id;
    }

    // Calls f(id) for every point in the cells that the box [lo, hi] overlaps, unless
    // that is more than maxCells cells; then returns false without calling it.
    template <class F>
    bool visit(V3 lo, V3 hi, std::int64_t maxCells, F f) const {
        return visitCells(cellOf(lo), cellOf(hi), maxCells, f);
    }

    // The same as visit(lo, hi, …) with a and b the cells of lo and hi.
    template <class F>
    bool visitCells(const std::optional<Cell>& a, const std::optional<Cell>& b,
                    std::int64_t maxCells, F f) const {
        if (!a || !b) return false;
        std::int64_t count = 1;
        for (int k = 0; k < 3; ++k)
            count *= b->i[k] - a->i[k] + 1;
        if (count > maxCells) return false;
        for (std::int64_t x = a->i[0]; x <= b->i[0]; ++x)
            for (std::int64_t y = a->i[1]; y <= b->i[1]; ++y)
                for (std::int64_t z = a->i[2]; z <= b->i[2]; ++z) {
                    const Cell c{{x, y, z}};
                    const std::uint64_t h = hash(c);
                    if (!(occupied_[bit(h) / 64] >> bit(h) % 64 & 1)) continue;
                    const std::uint32_t s = slots_[probe(c, h)];
                    if (s == kNone) continue;
                    for (std::uint32_t id = cells_[s].head; id != kNone; id = next_[id])
                        f(id);
                }
        return true;
    }

    static std::uint64_t hash(const Cell& c) { return finalMix(mixWords(c.i)); }

private:
    // A bit of occupied_ for the hash: from its high end, the slots take the low end.
    std::size_t bit(std::uint64_t h) const { return (h >> 32) & (64 * occupied_.size() - 1); }

    // The slot holding c's number, or the empty slot where it would go.
    std::size_t probe(const Cell& c, std::uint64_t h) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = h & mask;; i = (i + 1) & mask)
            if (slots_[i] == kNone || cells_[slots_[i]].cell == c) return i;
    }

    void grow() {
        slots_.assign(2 * slots_.size(), kNone);
        for (std::uint32_t k = 0; k < cells_.size(); ++k)
            slots_[probe(cells_[k].cell, hash(cells_[k].cell))] = k;
    }

    // Off the round values that model coordinates favour, so that few corners sit on a
    // cell boundary and make a query look into the neighbouring cells.
    static constexpr double kOrigin = 0.000137;
    double h_;
    std::vector<std::uint32_t>& slots_;
    // A bit per hash class, set once a cell of the class holds a point: most queries look
    // for cells that hold none, and this answers them from a few hundred kilobytes.
    std::vector<std::uint64_t>& occupied_;
    std::vector<CellPoints>& cells_;
    std::vector<std::uint32_t>& next_;
};

// Representatives of the points such that every point lies within kMeshWeld of its own and
// representatives lie at least that far apart: each point, in order, joins the nearest
// representative within reach or becomes one. Points never join through a chain of near
// points, so a fine row of points is not drawn into one.
void weldPoints(const std::vector<V3>& pts, std::vector<std::uint32_t>& rep, GridMemory& m) {
    rep.resize(pts.size());
    const V3 r{kMeshWeld, kMeshWeld, kMeshWeld};
    // Most points have no other within reach: a point alone in its cell's hash class, whose
    // reach meets no cell of an occupied class, is its own representative and is never found
    // by another, so it needs neither a look-up nor a place in the grid. Classes count 0, 1
    // or more points in two bits each, in a table small enough for the cache. (A point out of
    // the grid's range is in no class, yet might find a point near it: then none is taken as
    // alone.) The grid is sized for the points of crowded classes.
    const double h = 8 * kMeshWeld;
    const std::size_t classes = std::bit_ceil(4 * pts.size() + 64);
    std::vector<std::uint64_t>& crowd = m.crowd;
    crowd.assign(classes / 32, 0);
    auto count = [&](std::size_t k) { return crowd[k / 32] >> (k % 32 * 2) & 3; };
    auto classOf = [&](const Cell& c) { return (PointGrid::hash(c) >> 16) & (classes - 1); };
    bool allInGrid = true;
    std::size_t crowded = 0;
    for (const V3 p : pts)
        if (const std::optional<Cell> c = PointGrid::cellOf(p, h)) {
            const std::size_t k = classOf(*c), n = count(k);
            crowded += n == 0 ? 0 : n == 1 ? 2 : 1;
            if (n < 2) crowd[k / 32] += std::uint64_t(1) << (k % 32 * 2);
        } else {
            allInGrid = false;
        }
    PointGrid grid(h, pts.size(), crowded, m);
    for (std::uint32_t i = 0; i < pts.size(); ++i) {
        const V3 p = pts[i];
        const std::optional<Cell> c = grid.cellOf(p), a = grid.cellOf(p - r),
                                  b = grid.cellOf(p + r);
        bool alone = allInGrid && c && a && b && count(classOf(*c)) == 1;
        if (alone)
            for (std::int64_t x = a->i[0]; alone && x <= b->i[0]; ++x)
                for (std::int64_t y = a->i[1]; alone && y <= b->i[1]; ++y)
                    for (std::int64_t z = a->i[2]; alone && z <= b->i[2]; ++z)
                        alone = Cell{{x, y, z}} == *c || count(classOf(Cell{{x, y, z}})) == 0;
        if (alone) {
            rep[i] = i;
            continue;
        }
        std::uint32_t found = i;
        double best = kMeshWeld;
        grid.visitCells(a, b, 8, [&](std::uint32_t id) {
            const double d = (pts[id] - p).length();
            if (d < best) best = d, found = id;
        });
        rep[i] = found;
        if (found == i) grid.addTo(i, c);
    }
}

// The directed edges of the outlines, listed per starting corner: whether b→a runs back
// along a→b is a scan of the few edges leaving b.
class EdgeIndex {
public:
    EdgeIndex(const Outlines& o, std::size_t points, std::vector<std::uint32_t>& first,
              std::vector<std::uint32_t>& to)
        : first_(first), to_(to) {
        first_.assign(points + 1, 0);
        forEachEdge(o, [&](std::uint32_t a, std::uint32_t) { ++first_[a]; });
        for (std::size_t a = 1; a <= points; ++a)
            first_[a] += first_[a - 1];
        to_.resize(first_[points]);
        forEachEdge(o, [&](std::uint32_t a, std::uint32_t b) { to_[--first_[a]] = b; });
        // The centre of a wide fan leads many edges: those lists are searched by halves.
        for (std::size_t a = 0; a < points; ++a)
            if (first_[a + 1] - first_[a] > kScan)
                std::sort(to_.begin() + first_[a], to_.begin() + first_[a + 1]);
    }

    bool has(std::uint32_t a, std::uint32_t b) const {
        const auto from = to_.begin() + first_[a], to = to_.begin() + first_[a + 1];
        if (to - from > kScan) return std::binary_search(from, to, b);
        return std::find(from, to, b) != to;
    }

    template <class F>
    static void forEachEdge(const Outlines& o, F f) {
        for (std::uint32_t k = 0; k < o.size(); ++k) {
            const std::uint32_t begin = o.start[k], end = o.start[k + 1];
            for (std::uint32_t i = begin; i + 1 < end; ++i)
                f(o.ids[i], o.ids[i + 1]);
            f(o.ids[end - 1], o.ids[begin]);
        }
    }

private:
    static constexpr std::ptrdiff_t kScan = 16;
    std::vector<std::uint32_t>&first_, &to_;
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

// bulge(a, b, c, n) >= kOnEdge, without the square root where the squares tell, as they do
// but for corners within a factor two of the limit.
bool isCorner(V3 a, V3 b, V3 c, V3 n) {
    const V3 d = c - a;
    const double x = n.dot((b - a).cross(d)), len2 = d.dot(d);
    if (len2 >= 1e-40 && len2 <= 1e40 && std::abs(x) >= 1e-100 && std::abs(x) <= 1e100) {
        if (x < 0) return false;
        if (x * x > 4 * kOnEdge * kOnEdge * len2) return true;
        if (x * x < 0.25 * kOnEdge * kOnEdge * len2) return false;
    }
    return bulge(a, b, c, n) >= kOnEdge;
}

// The linked outline of triangulateOutline.
struct EarLists {
    std::vector<std::uint32_t> prev, next;
    // Whether each point is a corner between its present neighbours: kUnknown until asked,
    // and again once a neighbour is cut off.
    std::vector<std::uint8_t> corner;
    static constexpr std::uint8_t kUnknown = 2;
};

// Triangulates a convex outline whose corners may include points on its edges: ears are
// cut only at true corners, first at those next to a point on an edge, which then becomes a
// corner; so no triangle is flat and every outline point is used. An outline too thin to
// have corners is fanned as it is.
void triangulateOutline(const std::uint32_t* ids, std::uint32_t k, const std::vector<V3>& pts, V3 n,
                        std::vector<Tri>& out, EarLists& lists) {
    auto tri = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        out.push_back({pts[ids[a]], pts[ids[b]], pts[ids[c]], n});
    };
    // Most outlines have no flat point: their fan needs no list.
    bool anyFlat = false;
    for (std::uint32_t i = 0; i < k && !anyFlat && k > 3; ++i)
        anyFlat = !isCorner(pts[ids[i == 0 ? k - 1 : i - 1]], pts[ids[i]],
                            pts[ids[i + 1 == k ? 0 : i + 1]], n);
    if (!anyFlat) {
        for (std::uint32_t i = 1; i + 1 < k; ++i)
            tri(0, i, i + 1);
        return;
    }
    std::vector<std::uint32_t>&prev = lists.prev, &next = lists.next;
    prev.resize(k);
    next.resize(k);
    for (std::uint32_t i = 0; i < k; ++i) {
        prev[i] = i == 0 ? k - 1 : i - 1;
        next[i] = i + 1 == k ? 0 : i + 1;
    }
    lists.corner.assign(k, EarLists::kUnknown);
    auto corner = [&](std::uint32_t i) {
        std::uint8_t& c = lists.corner[i];
        if (c == EarLists::kUnknown)
            c = isCorner(pts[ids[prev[i]]], pts[ids[i]], pts[ids[next[i]]], n);
        return c == 1;
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
        lists.corner[prev[ear]] = lists.corner[next[ear]] = EarLists::kUnknown;
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
    std::uint32_t outline, at;  // the edge from the corner at ids[at] to the next corner
    std::uint32_t a, b;
};

// The working memory of the mesh step, kept per thread between calls: the view meshes a
// model again on every change, and fresh tables of a few megabytes cost more in page faults
// than in use.
struct Scratch {
    std::vector<std::uint32_t> pointSlots;
    std::vector<V3> pts;
    Outlines outlines, copy;
    std::vector<std::uint32_t> edgeFirst, edgeTo, rep, ends;
    std::vector<OpenEdge> open;
    std::vector<char> isEnd;
    std::vector<std::pair<double, std::uint32_t>> on, lineEnds;
    std::vector<std::uint32_t> lineOf, lineStart, lineFill;
    std::vector<V3> lineDir;
    GridMemory grid;
    EarLists lists;

    std::size_t bytes() const {
        return 4 * (pointSlots.capacity() + outlines.ids.capacity() + outlines.start.capacity() +
                    copy.ids.capacity() + copy.start.capacity() + edgeFirst.capacity() +
                    edgeTo.capacity() + rep.capacity() + ends.capacity() + grid.slots.capacity() +
                    grid.next.capacity()) +
               24 * (pts.capacity() + outlines.n.capacity() + copy.n.capacity()) +
               sizeof(OpenEdge) * open.capacity() + isEnd.capacity() + 16 * on.capacity() +
               8 * grid.occupied.capacity() + sizeof(CellPoints) * grid.cells.capacity() +
               16 * lineEnds.capacity() +
               4 * (lineOf.capacity() + lineStart.capacity() + lineFill.capacity()) +
               24 * lineDir.capacity() + grid.crowd.capacity() * 8;
    }
};

// Beyond this the memory goes back after each call, as the boolean operations do.
constexpr std::size_t kKeptScratchBytes = std::size_t(64) << 20;

// Copies the outlines with, after the first corner of every open edge e, the points that
// pointsOn(e, on) gives as (t along the edge, id), in the order of t. Open edges come in
// the order of the outlines' corners.
template <class F>
void insertPoints(Scratch& w, F pointsOn) {
    Outlines &outlines = w.outlines, &out = w.copy;
    const std::vector<OpenEdge>& open = w.open;
    out.ids.clear();
    out.ids.reserve(outlines.ids.size() + 2 * open.size());
    out.start.assign(1, 0);
    out.start.reserve(outlines.start.size());
    std::vector<std::pair<double, std::uint32_t>>& on = w.on;
    std::size_t e = 0;
    for (std::uint32_t k = 0; k + 1 < outlines.start.size(); ++k) {
        for (std::uint32_t i = outlines.start[k]; i < outlines.start[k + 1]; ++i) {
            out.ids.push_back(outlines.ids[i]);
            if (e == open.size() || open[e].at != i) continue;
            on.clear();
            pointsOn(open[e], on);
            std::sort(on.begin(), on.end());
            on.erase(std::unique(on.begin(), on.end()), on.end());
            for (const auto& [t, id] : on)
                out.ids.push_back(id);
            ++e;
        }
        out.start.push_back(static_cast<std::uint32_t>(out.ids.size()));
    }
    outlines.ids.swap(out.ids);
    outlines.start.swap(out.start);
}

// The same for exact T-junctions, found along the supporting lines of the open edges: the
// ends of the open edges on one line, in order along it, and for each edge those strictly
// between its own ends. A pair that quantization puts on two lines is left for the search
// by position after welding.
void insertAlongLines(Scratch& w, double tol) {
    const std::vector<OpenEdge>& open = w.open;
    const std::vector<V3>& pts = w.pts;
    auto canonical = [](V3 u) {
        constexpr double e = 1e-9;
        const bool flip = u.x < -e || (std::abs(u.x) <= e && u.y < -e) ||
                          (std::abs(u.x) <= e && std::abs(u.y) <= e && u.z < 0);
        return flip ? -u : u;
    };
    auto q = [](double v, double scale, std::int64_t& out) {
        const double x = v * scale;
        if (std::abs(x) < 4e15) {
            // std::round without the call: the fraction off the truncation is exact here.
            std::int64_t i = static_cast<std::int64_t>(x);
            const double f = x - static_cast<double>(i);
            i += f >= 0.5 ? 1 : f <= -0.5 ? -1 : 0;
            if (!(std::abs(static_cast<double>(i)) < 1e15)) return false;
            out = i;
            return true;
        }
        const double r = std::round(x);
        if (!(std::abs(r) < 1e15)) return false;
        out = static_cast<std::int64_t>(r);
        return true;
    };
    FirstSeenIndex<LineKey, LineKeyHash> lines(open.size());
    std::vector<std::uint32_t>& lineOf = w.lineOf;
    std::vector<V3>& dirOf = w.lineDir;
    lineOf.assign(open.size(), kNone);
    dirOf.clear();
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
    std::vector<std::uint32_t>& start = w.lineStart;
    start.assign(lines.size() + 1, 0);
    for (const std::uint32_t l : lineOf)
        if (l != kNone) start[l + 1] += 2;
    for (std::size_t l = 0; l < lines.size(); ++l)
        start[l + 1] += start[l];
    std::vector<std::pair<double, std::uint32_t>>& ends = w.lineEnds;
    ends.resize(start.back());
    std::vector<std::uint32_t>& fill = w.lineFill;
    fill.assign(start.begin(), start.end() - 1);
    for (std::size_t e = 0; e < open.size(); ++e) {
        const std::uint32_t l = lineOf[e];
        if (l == kNone) continue;
        for (const std::uint32_t id : {open[e].a, open[e].b})
            ends[fill[l]++] = {pts[id].dot(dirOf[l]), id};
    }
    for (std::size_t l = 0; l < lines.size(); ++l) {
        std::sort(ends.begin() + start[l], ends.begin() + start[l + 1]);
        // Duplicates are left: the test below sees an end twice at most per edge.
    }
    insertPoints(w, [&](const OpenEdge& edge, auto& on) {
        const std::uint32_t l = lineOf[static_cast<std::size_t>(&edge - open.data())];
        if (l == kNone) return;
        const V3 A = pts[edge.a], B = pts[edge.b], d = B - A;
        const double len2 = d.dot(d), len = std::sqrt(len2);
        const double ta = A.dot(dirOf[l]), tb = B.dot(dirOf[l]);
        const auto first = ends.begin() + start[l], last = ends.begin() + start[l + 1];
        auto it = std::lower_bound(first, last, std::pair{std::min(ta, tb), 0u});
        for (; it != last && it->first < std::max(ta, tb); ++it) {
            const std::uint32_t id = it->second;
            if (id == edge.a || id == edge.b) continue;
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
std::size_t insertOnOpenEdges(Scratch& w, double tol, bool byLine) {
    const Outlines& outlines = w.outlines;
    const std::vector<V3>& pts = w.pts;
    std::vector<OpenEdge>& open = w.open;
    std::vector<char>& isEnd = w.isEnd;
    open.clear();
    isEnd.assign(pts.size(), 0);
    double sumLength = 0;
    {
        const EdgeIndex edges(outlines, pts.size(), w.edgeFirst, w.edgeTo);
        for (std::uint32_t k = 0; k < outlines.size(); ++k) {
            const std::uint32_t begin = outlines.start[k], end = outlines.start[k + 1];
            for (std::uint32_t i = begin; i < end; ++i) {
                const std::uint32_t a = outlines.ids[i];
                const std::uint32_t b = outlines.ids[i + 1 == end ? begin : i + 1];
                if (edges.has(b, a)) continue;
                open.push_back({k, i, a, b});
                isEnd[a] = isEnd[b] = 1;
                sumLength += (pts[b] - pts[a]).length();
            }
        }
    }
    if (open.empty()) return 0;

    if (byLine) {
        insertAlongLines(w, tol);
        return open.size();
    }

    std::vector<std::uint32_t>& ends = w.ends;
    ends.clear();
    for (std::uint32_t id = 0; id < pts.size(); ++id)
        if (isEnd[id]) ends.push_back(id);
    // Half the mean length: an edge then visits a few cells holding a few ends each.
    const double cell = std::max(sumLength / double(open.size()) / 2, 16 * tol);
    PointGrid grid(cell, pts.size(), ends.size(), w.grid);
    for (const std::uint32_t id : ends)
        grid.add(id, pts[id]);
    insertPoints(w, [&](const OpenEdge& edge, auto& on) {
        const V3 A = pts[edge.a], B = pts[edge.b], d = B - A;
        const double len2 = d.dot(d), len = std::sqrt(len2);
        const V3 r{tol, tol, tol};
        const V3 lo = V3{std::min(A.x, B.x), std::min(A.y, B.y), std::min(A.z, B.z)} - r;
        const V3 hi = V3{std::max(A.x, B.x), std::max(A.y, B.y), std::max(A.z, B.z)} + r;
        auto test = [&](std::uint32_t id) {
            const V3 p = pts[id];
            if (p.x < lo.x || p.y < lo.y || p.z < lo.z || p.x > hi.x || p.y > hi.y || p.z > hi.z ||
                id == edge.a || id == edge.b)
                return;
            const double t = (p - A).dot(d) / len2;
            if (t * len <= tol || (1 - t) * len <= tol) return;
            if ((A + d * t - p).length() < tol) on.push_back({t, id});
        };
        if (!(len > 2 * tol && std::isfinite(len))) return;
        // Cell by cell along the edge: a long slanting edge crosses few of the cells of its
        // box.
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
    return open.size();
}

}  // namespace

std::vector<Tri> triangles(const Solid& solid) {
    thread_local Scratch scratch;
    Scratch& w = scratch;
    // Corners numbered as exact points. A closed mesh uses each corner in three polygons or
    // more: a table for two corners a polygon stays small (in cache) and rarely grows. The
    // corners are counted on the way, not beforehand: each polygon's are a cache miss away.
    std::size_t corners = 0;
    PointIndex index(w.pointSlots, w.pts, 2 * solid.size());
    Outlines& outlines = w.outlines;
    outlines.ids.clear();
    outlines.start.assign(1, 0);
    outlines.n.clear();
    outlines.start.reserve(solid.size() + 1);
    outlines.n.reserve(solid.size());
    for (const CPoly& poly : solid) {
        corners += poly.v.size();
        const std::size_t begin = outlines.ids.size();
        std::vector<std::uint32_t>& ids = outlines.ids;
        for (const V3 p : poly.v) {
            const std::uint32_t id = index.insert(p);
            if (ids.size() == begin || ids.back() != id) ids.push_back(id);
        }
        while (ids.size() > begin + 1 && ids[begin] == ids.back())
            ids.pop_back();
        if (ids.size() >= begin + 3)
            outlines.close(poly.plane.n);
        else
            ids.resize(begin);
    }
    const std::vector<V3>& pts = w.pts;

    // The split points of one edge line up to rounding: first the T-junctions as they are,
    // then, the near corners welded, what the kernel's tolerance left a hair off the line.
    const std::size_t open = insertOnOpenEdges(w, kOnEdge, true);
    std::vector<std::uint32_t>& rep = w.rep;
    weldPoints(pts, rep, w.grid);
    bool merged = false;
    for (std::uint32_t i = 0; i < rep.size() && !merged; ++i)
        merged = rep[i] != i;
    if (merged) {
        // In place: no outline grows, so the copy never overtakes what it reads.
        std::vector<std::uint32_t>& ids = outlines.ids;
        std::uint32_t to = 0, kept = 0, from = 0;
        for (std::uint32_t k = 0; k < outlines.size(); ++k) {
            // Read before start[kept + 1], which may be this very entry, is written.
            const std::uint32_t begin = to, end = outlines.start[k + 1];
            for (std::uint32_t r = from; r < end; ++r)
                if (to == begin || ids[to - 1] != rep[ids[r]]) ids[to++] = rep[ids[r]];
            from = end;
            while (to > begin + 1 && ids[begin] == ids[to - 1])
                --to;
            if (to < begin + 3) {
                to = begin;
                continue;
            }
            outlines.n[kept] = outlines.n[k];
            outlines.start[++kept] = to;
        }
        ids.resize(to);
        outlines.start.resize(kept + 1);
        outlines.n.resize(kept);
    }
    if (open || merged) insertOnOpenEdges(w, kMeshWeld, false);

    std::vector<Tri> out;
    out.reserve(corners * 2);
    for (std::uint32_t k = 0; k < outlines.size(); ++k)
        triangulateOutline(&outlines.ids[outlines.start[k]],
                           outlines.start[k + 1] - outlines.start[k], pts, outlines.n[k], out,
                           w.lists);
    if (w.bytes() > kKeptScratchBytes) scratch = Scratch{};
    return out;
}

}  // namespace ivo
