// Working state of one boolean operation: polygon pieces that point into pooled vertex
// storage, the splitting of a piece by a plane, and classifier trees linked by index.
// Only the csg*.cpp files include this; the public interface is csg.h.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "geometry/csg.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ivo::bsp {

// A piece of a source polygon: its vertices live either in the source CPoly or in the
// operation's arena, and its plane is always the source's (planes[src]). Pieces are stored
// in the source's orientation; a flipped list is marked by a flag of the whole list.
// Pieces being clipped have a place in the split history (`frag`); those that only build
// a tree have none (-1).
struct Piece {
    const V3* v = nullptr;
    uint32_t n = 0;
    uint32_t src = 0;
    int32_t frag = -1;
};

// One entry of the split history of the clipped polygons: a polygon of an operand (no
// parent) or a piece cut from its parent, with the two pieces it was cut into (front, back;
// -1 when never cut or when that side vanished). `whole` stays true while no part of it
// has been discarded: such an entry goes to the result as one polygon, however finely the
// clipping cut it.
struct Frag {
    const V3* v = nullptr;
    uint32_t n = 0;
    int32_t parent = -1;
    int32_t child[2] = {-1, -1};
    bool whole = true;
};

// Stable storage for the vertices of split pieces: pointers never move until the arena is
// reset, so pieces stay small and are copied freely. Reset keeps the blocks for reuse.
class VertexArena {
public:
    // Room for n points, valid until the next reset.
    V3* alloc(size_t n);
    // Forgets every point; keeps blocks up to `keep` points in all, frees the rest.
    void reset(size_t keep);

private:
    struct Block {
        std::unique_ptr<V3[]> p;
        size_t cap = 0;
    };
    std::vector<Block> blocks_;
    size_t at_ = 0, used_ = 0;  // current block and points used in it
};

// Closed boxes that share at least a point.
inline bool meets(const Box3& a, const Box3& b) {
    return a.lo.x <= b.hi.x && b.lo.x <= a.hi.x && a.lo.y <= b.hi.y && b.lo.y <= a.hi.y &&
           a.lo.z <= b.hi.z && b.lo.z <= a.hi.z;
}

// The same, with all six tests made: for boxes that meet about as often as not, a branch
// on each would be mispredicted.
inline bool meetsAll(const Box3& a, const Box3& b) {
    return (a.lo.x <= b.hi.x) & (b.lo.x <= a.hi.x) & (a.lo.y <= b.hi.y) & (b.lo.y <= a.hi.y) &
           (a.lo.z <= b.hi.z) & (b.lo.z <= a.hi.z);
}

enum PieceType : uint8_t { kCoplanar = 0, kFront = 1, kBack = 2, kSpanning = 3 };

// What a split produced, relative to the plane as stored (not to any inverted view of
// it). For kSpanning, `front` and `back` hold the two sides; a side of fewer than 3
// points is dropped and left with n == 0.
struct SplitResult {
    PieceType type = kCoplanar;
    Piece front, back;
};

// One node of a classifier tree: its splitting plane, the source polygon that gave it,
// and the children by index (-1 when absent). The tree is nodes[0] downwards. A node that
// no walk has reached yet holds only its pieces (`list`, an index into Work::lists) and
// gets its plane and children when one first does; -1 once it has them.
struct Node {
    CPlane plane;
    uint32_t planeSrc = 0;
    int32_t front = -1, back = -1;
    int32_t list = -1;
};
using Tree = std::vector<Node>;

// The pieces waiting at a node: [start, end) of Work::waiting[buf].
struct WaitingList {
    uint32_t buf;
    size_t start, end;
};

// A piece on its way down a tree; a clip that logs its steps (or replays them) has the last
// one logged in `step` (-1 for none).
struct Walk {
    int32_t node;
    int32_t step;
    Piece piece;
};

// A step of a piece's walk down a tree that a second clip of it must test again: the node,
// the way taken (to the node's front child as the tree is read, or not) and the step before
// (-1 for none). The two sides of a cut share the steps before it; the steps of a cut are
// `clean` when the rounding of its crossing points stays well within the tolerance.
struct Step {
    int32_t node;
    int32_t prev;
    bool front;
    bool clean;
};

// A step held by the logging clip until it knows whether the piece is cut again: `side` is
// how the piece lay (kCoplanar, or kFront or kBack by its points).
struct Held {
    int32_t node;
    bool front;
    PieceType side;
};

// An axis-aligned box as centre and half sizes, those of each axis side by side: the test of
// a box against a plane takes both of an axis at once.
struct Extent {
    double cx = 0, hx = 0, cy = 0, hy = 0, cz = 0, hz = 0;
    Extent() = default;
    Extent(V3 c, V3 h) : cx(c.x), hx(h.x), cy(c.y), hy(h.y), cz(c.z), hz(h.z) {}
};

// Everything one operation allocates, reused across its phases and, through reset, by the
// next operation on the same thread.
struct Work {
    std::vector<CPlane> planes;   // by source polygon: those of a, then those of b
    std::vector<Extent> extents;  // by source polygon: bounds all its pieces
    std::vector<Frag> frags;      // split history of the clipped pieces
    VertexArena arena;
    Tree trees[2];
    std::vector<double> dist;  // split scratch
    std::vector<uint8_t> types;
    std::vector<Piece> list;  // tree scratch
    // The pieces of the nodes not reached yet, in two buffers filled from their start
    // (`waitingEnd`), and where each node's lie.
    std::vector<Piece> waiting[2];
    size_t waitingEnd[2] = {0, 0};
    std::vector<WaitingList> lists;
    std::vector<Walk> walks;
    std::vector<Piece> clipped;      // the pieces a clip keeps, before they are handed back
    std::vector<Step> steps;         // the log of a first clip, for the second
    std::vector<int32_t> keptSteps;  // by piece it kept: the last step of its walk
    std::vector<int32_t> path;       // the steps of one piece that the second clip tests
    std::vector<Held> held;

    // Empties everything for the next operation, keeping memory up to about `keepBytes`
    // (an operation on large solids does not pin its peak for good).
    void reset(size_t keepBytes);
};

// The sizes of the components of n.
inline V3 absolute(const V3& n) {
    return {std::abs(n.x), std::abs(n.y), std::abs(n.z)};
}

// How a box with centre at distance `tc` from a plane, reaching `reach` along its normal,
// lies: on one side (with room to spare for rounding), else kSpanning. Most pieces lie far
// from most planes, and this spares a look at their vertices. A box lying well within the
// tolerance of the plane settles it too (kCoplanar): the caps of a row of cylinders all lie
// in the plane of the first one, which would otherwise look at every one of their vertices.
inline PieceType sideByReach(double tc, double reach) {
    if (tc - reach > 2 * CSG_EPS) return kFront;
    if (tc + reach < -2 * CSG_EPS) return kBack;
    return reach < CSG_EPS / 2 && std::abs(tc) + reach < CSG_EPS / 2 ? kCoplanar : kSpanning;
}

// The side of one plane that a piece lies on when the box `e` of its source polygon settles
// it, for the many boxes tested against the plane of one node; `absN` is absolute(plane.n).
#if defined(__SSE2__)
// The centre's distance and the reach in two lanes: ((n.x cx + n.y cy) + n.z cz) - w and
// ((|n.x| hx + |n.y| hy) + |n.z| hz) - 0, the operations of the scalar form in its order.
class QuickSides {
public:
    QuickSides(const CPlane& plane, const V3& absN)
        : x_(_mm_set_pd(absN.x, plane.n.x)),
          y_(_mm_set_pd(absN.y, plane.n.y)),
          z_(_mm_set_pd(absN.z, plane.n.z)),
          w_(_mm_set_pd(0, plane.w)) {}
    PieceType of(const Extent& e) const {
        const double* q = &e.cx;
        const __m128d s = _mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(x_, _mm_loadu_pd(q)),
                                                           _mm_mul_pd(y_, _mm_loadu_pd(q + 2))),
                                                _mm_mul_pd(z_, _mm_loadu_pd(q + 4))),
                                     w_);
        return sideByReach(_mm_cvtsd_f64(s), _mm_cvtsd_f64(_mm_unpackhi_pd(s, s)));
    }

private:
    __m128d x_, y_, z_, w_;
};
#else
class QuickSides {
public:
    QuickSides(const CPlane& plane, const V3& absN) : plane_(plane), absN_(absN) {}
    PieceType of(const Extent& e) const {
        const V3 n = plane_.n;
        return sideByReach(n.x * e.cx + n.y * e.cy + n.z * e.cz - plane_.w,
                           absN_.x * e.hx + absN_.y * e.hy + absN_.z * e.hz);
    }

private:
    CPlane plane_;
    V3 absN_;
};
#endif

// The distance of a point from a plane, as every split finds it: ((n.x x + n.y y) + n.z z) - w,
// in that order, so that every path finds the same bits.
inline double planeDistance(const V3& p, const V3& n, double w) {
    return n.x * p.x + n.y * p.y + n.z * p.z - w;
}

// The side of a point at distance d: kFront, kBack, or on the plane (kCoplanar).
inline unsigned pointSide(double d) {
    return unsigned(d > CSG_EPS) | unsigned(d < -CSG_EPS) << 1;
}

#if defined(__SSE2__)
// The same for two points at once: the classification of a piece's points is most of what a
// split costs, and two lanes make it in about the instructions of one. Each lane makes the
// operations of planeDistance in its order, so the bits are the same.
struct PlaneDistances2 {
    __m128d nx, ny, nz, w, eps, negEps;
    explicit PlaneDistances2(const CPlane& plane)
        : nx(_mm_set1_pd(plane.n.x)),
          ny(_mm_set1_pd(plane.n.y)),
          nz(_mm_set1_pd(plane.n.z)),
          w(_mm_set1_pd(plane.w)),
          eps(_mm_set1_pd(CSG_EPS)),
          negEps(_mm_set1_pd(-CSG_EPS)) {}
    // The distances of v[0] and v[1].
    __m128d at(const V3* v) const {
        static_assert(sizeof(V3) == 3 * sizeof(double));
        const double* q = &v->x;
        const __m128d a = _mm_loadu_pd(q), b = _mm_loadu_pd(q + 2), c = _mm_loadu_pd(q + 4);
        const __m128d x = _mm_shuffle_pd(a, b, 2), y = _mm_shuffle_pd(a, c, 1),
                      z = _mm_shuffle_pd(b, c, 2);
        return _mm_sub_pd(
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(nx, x), _mm_mul_pd(ny, y)), _mm_mul_pd(nz, z)), w);
    }
    // Which of the two lie in front (bit 0 the first, bit 1 the second) and which behind.
    unsigned inFront(__m128d d) const { return unsigned(_mm_movemask_pd(_mm_cmpgt_pd(d, eps))); }
    unsigned behind(__m128d d) const { return unsigned(_mm_movemask_pd(_mm_cmplt_pd(d, negEps))); }
    // kSides[inFront | behind << 2]: the sides of both as pointSide gives them, the first in
    // bits 0-1, the second in bits 2-3.
    static constexpr auto kSides = [] {
        std::array<uint8_t, 16> c{};
        for (unsigned f = 0; f < 4; ++f)
            for (unsigned b = 0; b < 4; ++b)
                c[f | b << 2] = uint8_t((f & 1) | (b & 1) << 1 | (f & 2) << 1 | (b & 2) << 2);
        return c;
    }();
    unsigned sides(__m128d d) const { return kSides[inFront(d) | behind(d) << 2]; }
};
#endif

// The side of `plane` that all of p's points lie on, kSpanning when they lie on both, by the
// tests splitPiece makes: most pieces that a box does not settle lie on one side, and need
// neither the distances kept nor a call.
inline PieceType sideOf(const Piece& p, const CPlane& plane) {
    const V3* v = p.v;
    const V3 n = plane.n;
    unsigned all = 0;
    uint32_t i = 0;
#if defined(__SSE2__)
    const PlaneDistances2 two(plane);
    unsigned front = 0, back = 0;
    for (; i + 2 <= p.n; i += 2) {
        const __m128d d = two.at(v + i);
        front |= two.inFront(d);
        back |= two.behind(d);
    }
    all = unsigned(front != 0) | unsigned(back != 0) << 1;
#endif
    for (; i < p.n; ++i)
        all |= pointSide(planeDistance(v[i], n, plane.w));
    return static_cast<PieceType>(all);
}

// Splits `p` by `plane` with the plane tolerance CSG_EPS: vertices within it lie on the
// plane, crossing points are interpolated along spanning edges.
SplitResult splitPiece(Work& w, const Piece& p, const CPlane& plane);

// Where the edge from vi to vj crosses the plane of normal n, ti being vi's distance from it:
// -ti is exactly w − n·vi, so both sides of the edge get the same point.
[[gnu::always_inline]] inline V3 crossing(V3 vi, V3 vj, double ti, V3 n) {
    const V3 e = vj - vi;
    const double d = n.dot(e);
    const double s = std::abs(d) < 1e-15 ? 0.5 : -ti / d;
    return vi + e * s;
}

// Writes the sides of a spanning piece of k points, with the distances `t` and types of its
// points: vertices not behind to the front, vertices not in front to the back, and every
// edge crossing the plane its crossing to both. With `Both`, f and b are known present; else
// either may be null.
template <bool Both>
[[gnu::always_inline]] inline void writeSides(const V3* v, const double* t, const uint8_t* type,
                                              uint32_t k, V3 n, V3* f, V3* b) {
    uint32_t jf = 0, jb = 0;
    // Each vertex's type is read once: it is the next one's predecessor.
    unsigned ti = type[0];
    for (uint32_t i = 0; i < k; ++i) {
        const uint32_t j = i + 1 == k ? 0 : i + 1;
        const unsigned tj = type[j];
        const V3 vi = v[i];
        if ((Both || f) && ti != kBack) f[jf++] = vi;
        if ((Both || b) && ti != kFront) b[jb++] = vi;
        if ((ti | tj) == kSpanning) {
            const V3 x = crossing(vi, v[j], t[i], n);
            if (Both || f) f[jf++] = x;
            if (Both || b) b[jb++] = x;
        }
        ti = tj;
    }
}

// Pieces of at most this many points are tried with sideOf before a split: on larger ones
// the distances the split needs anyway cost more than the call. Their sides are written a
// vertex at a time, larger ones' a run at a time.
inline constexpr uint32_t kFewPoints = 8;

// The same for both sides, a run of vertices of one type at a time: only the edge that ends a
// run can cross the plane, and a large piece is mostly two runs, one on each side.
[[gnu::always_inline]] inline void writeSideRuns(const V3* v, const double* t, const uint8_t* type,
                                                 uint32_t k, V3 n, V3* f, V3* b) {
    uint32_t jf = 0, jb = 0;
    for (uint32_t i = 0; i < k;) {
        const unsigned ti = type[i];
        uint32_t e = i + 1;
        while (e < k && type[e] == ti)
            ++e;
        if (ti != kBack)
            for (uint32_t q = i; q < e; ++q)
                f[jf++] = v[q];
        if (ti != kFront)
            for (uint32_t q = i; q < e; ++q)
                b[jb++] = v[q];
        const uint32_t last = e - 1, j = e == k ? 0 : e;
        if ((ti | type[j]) == kSpanning) {
            const V3 x = crossing(v[last], v[j], t[last], n);
            f[jf++] = x;
            b[jb++] = x;
        }
        i = e;
    }
}

// The counts a split makes of a piece's vertices, in three fields of one word: those in
// front, those behind, and the edges crossing the plane, for runs of fewer than
// kPackedCounts points. kVertexCounts[prev << 2 | type] is what a vertex of `type` after one
// of type `prev` adds.
inline constexpr unsigned kCountBits = 21;
inline constexpr uint64_t kCountMask = (uint64_t(1) << kCountBits) - 1;
inline constexpr uint32_t kPackedCounts = uint32_t(1) << kCountBits;
inline constexpr auto kVertexCounts = [] {
    std::array<uint64_t, 16> c{};
    for (unsigned prev = 0; prev < 4; ++prev)
        for (unsigned ty = 0; ty < 4; ++ty)
            c[prev << 2 | ty] = uint64_t(ty == kFront) | uint64_t(ty == kBack) << kCountBits |
                                uint64_t((prev | ty) == kSpanning) << 2 * kCountBits;
    return c;
}();
// The same for two vertices after one of type `prev`: kPairCounts[prev << 4 | second << 2 |
// first].
inline constexpr auto kPairCounts = [] {
    std::array<uint64_t, 64> c{};
    for (unsigned prev = 0; prev < 4; ++prev)
        for (unsigned first = 0; first < 4; ++first)
            for (unsigned second = 0; second < 4; ++second)
                c[prev << 4 | second << 2 | first] =
                    kVertexCounts[prev << 2 | first] + kVertexCounts[first << 2 | second];
    return c;
}();

// The same, made in the caller: the clip reads the sides as soon as they are made, and from
// a call they would come back through memory, where loads of a piece that span the stores of
// its fields wait for those stores to complete.
[[gnu::always_inline]] inline SplitResult splitPieceInline(Work& w, const Piece& p,
                                                           const CPlane& plane) {
    SplitResult r;
    const uint32_t k = p.n;
    if (w.dist.size() < k) {
        w.dist.resize(2 * k);
        w.types.resize(2 * k);
    }
    double* t = w.dist.data();
    uint8_t* type = w.types.data();
    // Locals, so that the stores below cannot be taken to change them.
    const V3* v = p.v;
    const V3 n = plane.n;
    const double pw = plane.w;
    // Vertices not behind go to the front, vertices not in front to the back (those on
    // the plane to both), and every edge crossing the plane adds its crossing to both: the
    // sizes of both sides are counted on the way (most pieces that get here span the plane).
    // The vertices in front, those behind and the edges crossing are counted in three fields
    // of one word, by a lookup of each vertex's type after its predecessor's; a piece too
    // large for the fields is counted a run of vertices at a time.
    uint32_t inFront = 0, behind = 0, cross = 0;
    unsigned prev = 0;
#if defined(__SSE2__)
    const PlaneDistances2 two(plane);
#endif
    // Inlined: as a call of its own it would read the plane's lanes back from memory.
    auto count = [&](uint32_t from, uint32_t to) __attribute__((always_inline)) {
        uint64_t counts = 0;
        uint32_t i = from;
#if defined(__SSE2__)
        for (; i + 2 <= to; i += 2) {
            const __m128d d = two.at(v + i);
            _mm_storeu_pd(t + i, d);
            const unsigned both = two.sides(d);
            type[i] = uint8_t(both & 3);
            type[i + 1] = uint8_t(both >> 2);
            counts += kPairCounts[prev << 4 | both];
            prev = both >> 2;
        }
#endif
        for (; i < to; ++i) {
            const double d = planeDistance(v[i], n, pw);
            const unsigned ty = pointSide(d);
            t[i] = d;
            type[i] = uint8_t(ty);
            counts += kVertexCounts[prev << 2 | ty];
            prev = ty;
        }
        inFront += uint32_t(counts & kCountMask);
        behind += uint32_t(counts >> kCountBits & kCountMask);
        cross += uint32_t(counts >> 2 * kCountBits);
    };
    if (k < kPackedCounts) [[likely]]
        count(0, k);
    else
        for (size_t at = 0; at < k; at += kPackedCounts - 1)
            count(uint32_t(at), uint32_t(std::min<size_t>(k, at + kPackedCounts - 1)));
    r.type = static_cast<PieceType>((inFront ? kFront : 0) | (behind ? kBack : 0));
    if (r.type != kSpanning) return r;
    // The first vertex was taken with no edge before it: that edge closes the loop.
    cross += (prev | type[0]) == kSpanning;
    const uint32_t nf = k - behind + cross, nb = k - inFront + cross;
    // One block for both sides.
    const uint32_t kf = nf >= 3 ? nf : 0, kb = nb >= 3 ? nb : 0;
    V3* const both = kf + kb ? w.arena.alloc(kf + kb) : nullptr;
    V3* f = kf ? both : nullptr;
    V3* b = kb ? both + kf : nullptr;
    // Both sides are kept but for slivers: the loop for two sides tests neither for absence.
    if (f && b && k > kFewPoints)
        writeSideRuns(v, t, type, k, n, f, b);
    else if (f && b)
        writeSides<true>(v, t, type, k, n, f, b);
    else
        writeSides<false>(v, t, type, k, n, f, b);
    if (f) r.front = {f, nf, p.src};
    if (b) r.back = {b, nb, p.src};
    return r;
}

// The side of `plane` that p lies on when the box of p's source leaves it open; `r` receives
// the split when p spans the plane.
inline PieceType sideOrSplit(Work& w, const Piece& p, const CPlane& plane, SplitResult& r) {
    if (p.n <= kFewPoints) {
        const PieceType side = sideOf(p, plane);
        if (side != kSpanning) return side;
    }
    r = splitPiece(w, p, plane);
    return r.type;
}

// Cuts `p` down to `region` by those faces of the region that its box `extent` crosses;
// returns the inside piece (n == 0 when nothing of it is inside). A piece with a split
// history entry has its cuts recorded there, the outside parts becoming entries of their
// own, lost unless `keepOutside`.
Piece cutToBox(Work& w, Piece p, const Box3& extent, const Box3& region, bool keepOutside);

// Makes `tree` a classifier tree of `pieces` (consumed): each node splits by the plane of
// the middle piece of its list; pieces in that plane end there. Empty for no pieces. The
// nodes are made as the walks below first reach them (parts of a tree that no piece or
// point reaches cost nothing), each exactly as a build of the whole tree would make it.
void buildTree(Work& w, std::vector<Piece>& pieces, Tree& tree);

// Keeps the parts of `pieces` outside the tree's solid (in front of its leaves) and drops
// those inside, recording both in the split history. `inverted` reads the tree as its inverse
// (planes flipped, children swapped); `flipped` says the pieces face opposite to their
// planes, which decides where coplanar pieces go.
void clipPieces(Work& w, Tree& tree, bool inverted, bool flipped, std::vector<Piece>& pieces);

// clipPieces with `flipped` false, then again with it true, with the same results. The pieces
// that the first clip keeps reach the same front leaves in the second unless a node answers
// them otherwise: the second follows the first's path testing only where its answer may
// change (a piece in a node's plane, or one cut since), and walks on from where it does.
void clipBothWays(Work& w, Tree& tree, bool inverted, std::vector<Piece>& pieces);

// Whether the point p lies inside the tree's solid (behind one of its leaves, as the tree is
// stored); nothing when p lies within the plane tolerance of a node's plane and the two
// sides disagree. An empty tree holds nothing.
std::optional<bool> insideTree(Work& w, Tree& tree, V3 p);

// Records that part of `frag` was discarded: neither it nor anything it was cut from can
// be given back whole.
inline void lose(Work& w, int32_t frag) {
    while (frag >= 0 && w.frags[frag].whole) {
        w.frags[frag].whole = false;
        frag = w.frags[frag].parent;
    }
}

}  // namespace ivo::bsp
