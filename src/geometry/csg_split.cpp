// Splitting polygon pieces by a plane, pooled vertex storage for the pieces, and the cut of
// a solid's polygons down to a box. Trees are in csg_tree.cpp, the operations in csg.cpp.
#include <algorithm>
#include <cmath>

#include "geometry/csg_pieces.h"

namespace ivo::bsp {
namespace {

// Blocks grow from small (most operations split little) to a size that keeps their count
// low on large ones.
constexpr size_t kFirstBlock = 512, kMaxBlock = 65536;

double axis(V3 p, int a) {
    return a == 0 ? p.x : a == 1 ? p.y : p.z;
}

V3 unit(int a, double s) {
    return {a == 0 ? s : 0, a == 1 ? s : 0, a == 2 ? s : 0};
}

}  // namespace

V3* VertexArena::alloc(size_t n) {
    while (at_ < blocks_.size() && used_ + n > blocks_[at_].cap) {
        ++at_;
        used_ = 0;
    }
    if (at_ == blocks_.size()) {
        const size_t last = blocks_.empty() ? 0 : blocks_.back().cap;
        const size_t cap = std::max(n, last ? std::min(2 * last, kMaxBlock) : kFirstBlock);
        blocks_.push_back({std::make_unique<V3[]>(cap), cap});
    }
    V3* out = blocks_[at_].p.get() + used_;
    used_ += n;
    return out;
}

void VertexArena::reset(size_t keep) {
    size_t kept = 0, k = 0;
    while (k < blocks_.size() && kept + blocks_[k].cap <= keep)
        kept += blocks_[k++].cap;
    blocks_.resize(k);
    at_ = used_ = 0;
}

void Work::reset(size_t keepBytes) {
    auto clear = [keepBytes](auto& v) {
        v.clear();
        if (v.capacity() * sizeof(v[0]) > keepBytes / 8) v.shrink_to_fit();
    };
    clear(planes);
    clear(extents);
    clear(frags);
    clear(trees[0]);
    clear(trees[1]);
    clear(list);
    // The tree buffers keep their size: they are filled from waitingEnd, and growing them
    // again would write them through anew.
    for (std::vector<Piece>& v : waiting)
        if (v.capacity() * sizeof(Piece) > keepBytes / 8) {
            v.clear();
            v.shrink_to_fit();
        }
    waitingEnd[0] = waitingEnd[1] = 0;
    clear(lists);
    clear(walks);
    arena.reset(keepBytes / 2 / sizeof(V3));
}

SplitResult splitPiece(Work& w, const Piece& p, const CPlane& plane) {
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
    unsigned all = 0, prev = 0;
    uint32_t nf = 0, nb = 0, cross = 0;
    for (uint32_t i = 0; i < k; ++i) {
        const double d = n.x * v[i].x + n.y * v[i].y + n.z * v[i].z - pw;
        const unsigned ty = (d > CSG_EPS) | (d < -CSG_EPS) << 1;
        t[i] = d;
        type[i] = uint8_t(ty);
        all |= ty;
        nf += ty != kBack;
        nb += ty != kFront;
        cross += (prev | ty) == kSpanning;
        prev = ty;
    }
    r.type = static_cast<PieceType>(all);
    if (all != kSpanning) return r;
    // The first vertex was taken with no edge before it: that edge closes the loop.
    cross += (prev | type[0]) == kSpanning;
    nf += cross;
    nb += cross;
    // One block for both sides.
    const uint32_t kf = nf >= 3 ? nf : 0, kb = nb >= 3 ? nb : 0;
    V3* const both = kf + kb ? w.arena.alloc(kf + kb) : nullptr;
    V3* f = kf ? both : nullptr;
    V3* b = kb ? both + kf : nullptr;
    uint32_t jf = 0, jb = 0;
    for (uint32_t i = 0; i < k; ++i) {
        const uint32_t j = i + 1 == k ? 0 : i + 1;
        const unsigned ti = type[i], tj = type[j];
        const V3 vi = v[i];
        if (f && ti != kBack) f[jf++] = vi;
        if (b && ti != kFront) b[jb++] = vi;
        if ((ti | tj) == kSpanning) {
            const V3 e = v[j] - vi;
            const double d = n.dot(e);
            // -t[i] is exactly w − n·vi, so both sides of the edge get the same point.
            const double s = std::abs(d) < 1e-15 ? 0.5 : -t[i] / d;
            const V3 x = vi + e * s;
            if (f) f[jf++] = x;
            if (b) b[jb++] = x;
        }
    }
    if (f) r.front = {f, nf, p.src};
    if (b) r.back = {b, nb, p.src};
    return r;
}

Piece cutToBox(Work& w, Piece p, const Box3& extent, const Box3& region, bool keepOutside) {
    auto outside = [&](int32_t frag) {
        if (!keepOutside) lose(w, frag);
    };
    for (int a = 0; a < 3; ++a) {
        // The inside of the region lies behind both bounding planes of the axis.
        const CPlane sides[2] = {{unit(a, -1), -axis(region.lo, a)},
                                 {unit(a, 1), axis(region.hi, a)}};
        const bool beyond[2] = {axis(extent.lo, a) < axis(region.lo, a),
                                axis(extent.hi, a) > axis(region.hi, a)};
        for (int s = 0; s < 2; ++s) {
            if (!beyond[s]) continue;
            const SplitResult r = splitPiece(w, p, sides[s]);
            // A piece on a face of the region counts as inside: a polygon lying in the
            // face of the other solid's box may touch that solid's boundary.
            if (r.type == kBack || r.type == kCoplanar) continue;
            if (r.type == kFront) {
                if (p.frag >= 0) outside(p.frag);
                return {};
            }
            if (p.frag >= 0) {
                const int32_t parent = p.frag;
                for (int k = 0; k < 2; ++k) {
                    const Piece& side = k == 0 ? r.front : r.back;
                    if (!side.n) continue;
                    w.frags[parent].child[k] = int32_t(w.frags.size());
                    w.frags.push_back({side.v, side.n, parent});
                }
                if (!r.front.n || !r.back.n) lose(w, parent);
                if (r.front.n) outside(w.frags[parent].child[0]);
                p = r.back;
                p.frag = w.frags[parent].child[1];
            } else {
                p = r.back;
            }
            if (!p.n) return {};
        }
    }
    return p;
}

}  // namespace ivo::bsp

namespace ivo {

void CPlane::split(const CPoly& poly, std::vector<CPoly>& coplanarFront,
                   std::vector<CPoly>& coplanarBack, std::vector<CPoly>& front,
                   std::vector<CPoly>& back) const {
    bsp::Work w;
    const bsp::Piece p{poly.v.data(), uint32_t(poly.v.size()), 0};
    const bsp::SplitResult r = bsp::splitPiece(w, p, *this);
    auto piece = [&](const bsp::Piece& q) { return CPoly::of(PolyPoints(q.v, q.n), poly.plane); };
    switch (r.type) {
        case bsp::kCoplanar:
            (n.dot(poly.plane.n) > 0 ? coplanarFront : coplanarBack).push_back(poly);
            break;
        case bsp::kFront: front.push_back(poly); break;
        case bsp::kBack: back.push_back(poly); break;
        case bsp::kSpanning:
            if (r.front.n) front.push_back(piece(r.front));
            if (r.back.n) back.push_back(piece(r.back));
            break;
    }
}

}  // namespace ivo
