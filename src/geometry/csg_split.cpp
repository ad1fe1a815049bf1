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
    // Buffers whose size is their room, written before they are read: emptied, they would be
    // filled with default values again by the next operation's first resize.
    auto keepRoom = [&](auto& v) {
        if (v.capacity() * sizeof(v[0]) > keepBytes / 8) clear(v);
    };
    clear(planes);
    clear(extents);
    clear(frags);
    clear(trees[0]);
    clear(trees[1]);
    clear(list);
    keepRoom(waiting[0]);
    keepRoom(waiting[1]);
    waitingEnd[0] = waitingEnd[1] = 0;
    clear(lists);
    keepRoom(walks);
    keepRoom(clipped);
    clear(steps);
    keepRoom(keptSteps);
    keepRoom(path);
    keepRoom(held);
    arena.reset(keepBytes / 2 / sizeof(V3));
}

SplitResult splitPiece(Work& w, const Piece& p, const CPlane& plane) {
    return splitPieceInline(w, p, plane);
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
