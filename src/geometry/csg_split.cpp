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

const V3* VertexArena::store(const V3* pts, size_t n) {
    if (used_ + n > cap_) {
        cap_ = std::max(n, blocks_.empty() ? kFirstBlock : std::min(2 * cap_, kMaxBlock));
        blocks_.push_back(std::make_unique<V3[]>(cap_));
        cur_ = blocks_.back().get();
        used_ = 0;
    }
    V3* out = cur_ + used_;
    std::copy(pts, pts + n, out);
    used_ += n;
    return out;
}

SplitResult splitPiece(Work& w, const Piece& p, const CPlane& plane) {
    SplitResult r;
    const uint32_t k = p.n;
    if (w.dist.size() < k) w.dist.resize(k);
    double* t = w.dist.data();
    unsigned all = 0;
    for (uint32_t i = 0; i < k; ++i) {
        t[i] = plane.n.dot(p.v[i]) - plane.w;
        all |= t[i] < -CSG_EPS ? kBack : t[i] > CSG_EPS ? kFront : kCoplanar;
    }
    r.type = static_cast<PieceType>(all);
    if (all != kSpanning) return r;

    auto typeOf = [](double d) { return d < -CSG_EPS ? kBack : d > CSG_EPS ? kFront : kCoplanar; };
    w.fv.clear();
    w.bv.clear();
    for (uint32_t i = 0; i < k; ++i) {
        const uint32_t j = i + 1 == k ? 0 : i + 1;
        const unsigned ti = typeOf(t[i]), tj = typeOf(t[j]);
        const V3 vi = p.v[i];
        if (ti != kBack) w.fv.push_back(vi);
        if (ti != kFront) w.bv.push_back(vi);
        if ((ti | tj) == kSpanning) {
            const V3 e = p.v[j] - vi;
            const double d = plane.n.dot(e);
            // -t[i] is exactly w − n·vi, so both sides of the edge get the same point.
            const double s = std::abs(d) < 1e-15 ? 0.5 : -t[i] / d;
            const V3 x = vi + e * s;
            w.fv.push_back(x);
            w.bv.push_back(x);
        }
    }
    if (w.fv.size() >= 3)
        r.front = {w.arena.store(w.fv.data(), w.fv.size()), uint32_t(w.fv.size()), p.src};
    if (w.bv.size() >= 3)
        r.back = {w.arena.store(w.bv.data(), w.bv.size()), uint32_t(w.bv.size()), p.src};
    return r;
}

void cutToRegion(Work& w, const Solid& solid, uint32_t srcBase, const std::vector<Box3>& boxes,
                 const Box3& region, std::vector<Piece>& out) {
    for (size_t i = 0; i < solid.size(); ++i) {
        const Box3& box = boxes[i];
        if (solid[i].v.size() < 3 || !meets(box, region)) continue;
        Piece p{solid[i].v.data(), uint32_t(solid[i].v.size()), uint32_t(srcBase + i)};
        bool keep = true;
        for (int a = 0; a < 3 && keep; ++a) {
            // The inside of the region lies behind both bounding planes of the axis.
            const CPlane sides[2] = {{unit(a, -1), -axis(region.lo, a)},
                                     {unit(a, 1), axis(region.hi, a)}};
            const bool beyond[2] = {axis(box.lo, a) < axis(region.lo, a),
                                    axis(box.hi, a) > axis(region.hi, a)};
            for (int s = 0; s < 2 && keep; ++s) {
                if (!beyond[s]) continue;
                const SplitResult r = splitPiece(w, p, sides[s]);
                if (r.type == kFront) keep = false;
                if (r.type == kSpanning) {
                    p = r.back;
                    keep = p.n >= 3;
                }
            }
        }
        if (keep) out.push_back(p);
    }
}

}  // namespace ivo::bsp

namespace ivo {

void CPlane::split(const CPoly& poly, std::vector<CPoly>& coplanarFront,
                   std::vector<CPoly>& coplanarBack, std::vector<CPoly>& front,
                   std::vector<CPoly>& back) const {
    bsp::Work w;
    const bsp::Piece p{poly.v.data(), uint32_t(poly.v.size()), 0};
    const bsp::SplitResult r = bsp::splitPiece(w, p, *this);
    auto piece = [&](const bsp::Piece& q) {
        return CPoly(std::vector<V3>(q.v, q.v + q.n), poly.plane);
    };
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
