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

// A piece on its way down a tree.
struct Walk {
    int32_t node;
    Piece piece;
};

// An axis-aligned box as centre and half sizes.
struct Extent {
    V3 c, h;
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
    std::vector<Piece> clipped;  // the pieces a clip keeps, before they are handed back

    // Empties everything for the next operation, keeping memory up to about `keepBytes`
    // (an operation on large solids does not pin its peak for good).
    void reset(size_t keepBytes);
};

// The sizes of the components of n.
inline V3 absolute(const V3& n) {
    return {std::abs(n.x), std::abs(n.y), std::abs(n.z)};
}

// The side of `plane` that a piece lies on when the box `e` of its source polygon settles
// it (with room to spare for rounding), else kSpanning: most pieces lie far from most
// planes, and this spares a look at their vertices. A box lying well within the tolerance
// of the plane settles it too (kCoplanar): the caps of a row of cylinders all lie in the
// plane of the first one, which would otherwise look at every one of their vertices.
// `absN` is absolute(plane.n), found once for all the pieces at a node.
inline PieceType quickSide(const Extent& e, const CPlane& plane, const V3& absN) {
    const double tc = plane.n.dot(e.c) - plane.w;
    const double reach = absN.x * e.h.x + absN.y * e.h.y + absN.z * e.h.z;
    if (tc - reach > 2 * CSG_EPS) return kFront;
    if (tc + reach < -2 * CSG_EPS) return kBack;
    return reach < CSG_EPS / 2 && std::abs(tc) + reach < CSG_EPS / 2 ? kCoplanar : kSpanning;
}

// The side of `plane` that all of p's points lie on, kSpanning when they lie on both, by the
// tests splitPiece makes: most pieces that a box does not settle lie on one side, and need
// neither the distances kept nor a call.
inline PieceType sideOf(const Piece& p, const CPlane& plane) {
    const V3* v = p.v;
    const V3 n = plane.n;
    unsigned all = 0;
    for (uint32_t i = 0; i < p.n; ++i) {
        const double d = n.x * v[i].x + n.y * v[i].y + n.z * v[i].z - plane.w;
        all |= unsigned(d > CSG_EPS) | unsigned(d < -CSG_EPS) << 1;
    }
    return static_cast<PieceType>(all);
}

// Splits `p` by `plane` with the plane tolerance CSG_EPS: vertices within it lie on the
// plane, crossing points are interpolated along spanning edges.
SplitResult splitPiece(Work& w, const Piece& p, const CPlane& plane);

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
            const V3 e = v[j] - vi;
            const double d = n.dot(e);
            // -t[i] is exactly w − n·vi, so both sides of the edge get the same point.
            const double s = std::abs(d) < 1e-15 ? 0.5 : -t[i] / d;
            const V3 x = vi + e * s;
            if (Both || f) f[jf++] = x;
            if (Both || b) b[jb++] = x;
        }
        ti = tj;
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
    auto count = [&](uint32_t from, uint32_t to) {
        uint64_t counts = 0;
        for (uint32_t i = from; i < to; ++i) {
            const double d = n.x * v[i].x + n.y * v[i].y + n.z * v[i].z - pw;
            const unsigned ty = (d > CSG_EPS) | (d < -CSG_EPS) << 1;
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
    if (f && b)
        writeSides<true>(v, t, type, k, n, f, b);
    else
        writeSides<false>(v, t, type, k, n, f, b);
    if (f) r.front = {f, nf, p.src};
    if (b) r.back = {b, nb, p.src};
    return r;
}

// Pieces of at most this many points are tried with sideOf before a split: on larger ones
// the distances the split needs anyway cost more than the call.
inline constexpr uint32_t kFewPoints = 8;

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
