// Polygon solids and their boolean operations by BSP trees (clip and invert), with the
// bounding box, signed volume and outward orientation of a solid.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "geometry/vec.h"

namespace ivo {

// Points closer than this to a splitting plane lie on it (mm).
inline constexpr double CSG_EPS = 1e-5;

struct CPoly;
class PolyBatch;

// The oriented plane n·p = w.
struct CPlane {
    V3 n;
    double w = 0;
    CPlane flipped() const { return {-n, -w}; }
    // Appends `poly` to one list, or its two pieces to front and back, by the side its
    // vertices lie on (within CSG_EPS of the plane counts as on it). A polygon in the plane
    // goes to coplanarFront when it faces the same way (n·poly.plane.n > 0), else to
    // coplanarBack. A spanning side of fewer than 3 points is dropped.
    void split(const CPoly& poly, std::vector<CPoly>& coplanarFront,
               std::vector<CPoly>& coplanarBack, std::vector<CPoly>& front,
               std::vector<CPoly>& back) const;
    friend bool operator==(const CPlane&, const CPlane&) = default;
};

// The vertices of a polygon with their box, immutable and shared by every copy: a boolean
// hands the polygons it leaves whole to its result without copying their points, the
// evaluator's states after each feature hold one set of points for all of them, and a
// polygon's box is found once, when it is made. Copies count their owners with plain
// arithmetic (an atomic count costs a boolean on a large solid a third of its time): a
// solid may be read from any thread, but copies of one polygon are only made and dropped
// by one thread at a time.
class PolyPoints {
public:
    PolyPoints() = default;
    PolyPoints(const std::vector<V3>& pts) : PolyPoints(pts.data(), pts.size()) {}
    // The n points from pts, or in reverse order when `reversed`.
    PolyPoints(const V3* pts, size_t n, bool reversed = false);
    PolyPoints(const PolyPoints& o) noexcept : r_(o.r_) {
        if (r_) ++r_->refs;
    }
    PolyPoints(PolyPoints&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }
    PolyPoints& operator=(PolyPoints o) noexcept {
        std::swap(r_, o.r_);
        return *this;
    }
    ~PolyPoints() {
        if (r_ && --r_->refs == 0) release(r_);
    }

    size_t size() const { return r_ ? r_->n : 0; }
    bool empty() const { return size() == 0; }
    const V3* data() const { return r_ ? reinterpret_cast<const V3*>(r_ + 1) : nullptr; }
    const V3* begin() const { return data(); }
    const V3* end() const { return data() + size(); }
    auto rbegin() const { return std::reverse_iterator<const V3*>(end()); }
    auto rend() const { return std::reverse_iterator<const V3*>(begin()); }
    const V3& operator[](size_t i) const { return data()[i]; }
    const V3& front() const { return data()[0]; }
    const V3& back() const { return data()[size() - 1]; }
    // The box of the points; empty for none.
    const Box3& box() const;
    // Reverses the order of the points in place when this is their only owner (the box
    // stays theirs); false, and nothing changed, when they are shared.
    bool reverseIfSole();

    friend bool operator==(const PolyPoints& a, const PolyPoints& b);

private:
    friend class PolyBatch;
    // This header, then the points: alone in an allocation, or one of a batch's. The first
    // header of an allocation counts those of its headers whose points have owners (and the
    // batch itself while it is open); the allocation goes when that count does.
    struct Rep {
        uint32_t refs;  // owners of these points
        uint32_t n;
        uint32_t head;  // how far back the allocation's first header lies, in 8-byte words
        uint32_t live;  // on the first header: its headers with owners
        Box3 box;
    };
    explicit PolyPoints(Rep* r) : r_(r) {}
    // Copies the points to just after `r` and bounds them there.
    static void fill(Rep* r, const V3* pts, size_t n, bool reversed);
    static void release(Rep* r);
    Rep* r_ = nullptr;
};

// The points of polygons made together, and mostly dropped together (those of one extruded
// solid), in one allocation instead of one each. The points of each polygon still have
// their own owners, so that one of them may be turned in place as PolyPoints allows; the
// allocation lives while any of the batch's polygons or the batch does. Beyond the room
// asked for, polygons get an allocation of their own.
class PolyBatch {
public:
    // Room for `polys` polygons holding `points` points in all.
    PolyBatch(size_t polys, size_t points);
    PolyBatch(const PolyBatch&) = delete;
    PolyBatch& operator=(const PolyBatch&) = delete;
    ~PolyBatch();

    // The same as PolyPoints(pts, n, reversed).
    PolyPoints make(const V3* pts, size_t n, bool reversed = false);

private:
    PolyPoints::Rep* head_ = nullptr;
    size_t used_ = 0, cap_ = 0;  // bytes
};

// A planar polygon counter-clockwise about its plane normal, without closing repeat. Split
// pieces keep the plane of the polygon they came from.
struct CPoly {
    PolyPoints v;
    CPlane plane;

    CPoly() = default;
    CPoly(const std::vector<V3>& v_, CPlane plane_) : v(v_), plane(plane_) {}
    // Shares the points.
    static CPoly of(PolyPoints v, CPlane plane) {
        CPoly p;
        p.v = std::move(v);
        p.plane = plane;
        return p;
    }
    // Fits the plane (Newell normal, mean point) after dropping points within 1e-9 of the
    // previous one and closing repeats; nothing below 3 points, for a vanishing normal or
    // for a point that is not finite.
    // With `batch`, the points go to it.
    static std::optional<CPoly> fit(const V3* pts, size_t n, PolyBatch* batch = nullptr);
    static std::optional<CPoly> fit(const std::vector<V3>& pts) {
        return fit(pts.data(), pts.size());
    }

    CPoly flipped() const;
    // Becomes flipped(), reusing its points when no other polygon shares them.
    void flip();
    friend bool operator==(const CPoly&, const CPoly&) = default;
};

// A closed, outward-oriented list of polygons; empty is the empty solid.
using Solid = std::vector<CPoly>;

// A solid held as a sequence of immutable blocks of polygons, each with its box, shared by
// every copy. The booleans on it rebuild only the blocks that come near the other solid and
// hand the others on as they are, so that a cut near one corner of a large solid costs what
// that corner holds, and a history of states of one solid shares what the states have in
// common. Its polygons, block after block, are the flat solid it stands for, and the
// booleans on blocks give the polygons of the booleans on those flat solids, in order.
class SolidBlocks {
public:
    struct Block {
        Solid polys;  // never empty
        Box3 box;     // of their boxes
    };
    using BlockPtr = std::shared_ptr<const Block>;

    SolidBlocks() = default;
    explicit SolidBlocks(const Solid& s) : SolidBlocks(Solid(s)) {}
    explicit SolidBlocks(Solid&& s);

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const Box3& box() const { return box_; }
    const std::vector<BlockPtr>& blocks() const { return blocks_; }
    Solid flat() const;

    // Builds a solid block by block: polygons are gathered into blocks of a bounded size,
    // and blocks taken whole are shared.
    class Builder {
    public:
        void push(CPoly p) {
            cur_.push_back(std::move(p));
            if (cur_.size() >= kBlockSize) flush();
        }
        void share(const BlockPtr& b);
        SolidBlocks finish();

    private:
        void flush();
        std::vector<BlockPtr> blocks_;
        size_t size_ = 0;
        Box3 box_;
        Solid cur_;
    };

    // Polygons per block: small enough that rebuilding a block near a cut costs little,
    // large enough that the list of blocks stays short beside the polygons.
    static constexpr size_t kBlockSize = 48;

private:
    std::vector<BlockPtr> blocks_;
    size_t size_ = 0;
    Box3 box_;
};

// Boolean operations; the inputs are not changed. Disjoint boxes take shortcuts (union
// concatenates, subtract returns a, intersect returns nothing). The result holds a's
// polygons, then b's; a polygon that lost no part of itself comes back whole, however the
// trees cut it, and otherwise as its surviving pieces (never merged with pieces of another
// polygon), so repeated cuts do not shatter a solid. `union` being a keyword, the union is
// spelled `unite`.
namespace CSG {
Solid unite(const Solid& a, const Solid& b);
Solid subtract(const Solid& a, const Solid& b);  // a minus b
Solid intersect(const Solid& a, const Solid& b);
SolidBlocks uniteBlocks(const SolidBlocks& a, const SolidBlocks& b);
SolidBlocks subtractBlocks(const SolidBlocks& a, const SolidBlocks& b);
SolidBlocks intersectBlocks(const SolidBlocks& a, const SolidBlocks& b);
// The same with a flat second operand, as if it were in blocks.
SolidBlocks uniteBlocks(const SolidBlocks& a, const Solid& b);
SolidBlocks subtractBlocks(const SolidBlocks& a, const Solid& b);
SolidBlocks intersectBlocks(const SolidBlocks& a, const Solid& b);
// The same as a minus b, taking b's polygons: those that go to the result turned round
// are turned in place when nothing else shares their points, instead of copied. b is left
// valid, with unspecified polygons.
SolidBlocks subtractBlocks(const SolidBlocks& a, Solid&& b);
// The same as one flat solid (the polygons of the result's flat()), for a result that is
// shown rather than operated on again: it spares building the blocks and then copying
// every polygon out of them.
Solid uniteFlat(const SolidBlocks& a, const Solid& b);
Solid subtractFlat(const SolidBlocks& a, const Solid& b);
Solid subtractFlat(const SolidBlocks& a, Solid&& b);
Solid intersectFlat(const SolidBlocks& a, const Solid& b);
}  // namespace CSG

// The operations keep their working memory per thread between calls (at most 64 MB), so
// that repeated booleans reuse warm memory; this frees it on the calling thread.
void releaseCsgMemory();

Box3 solidBox(const Solid& solid);
// Positive for a closed solid with outward normals (mm³).
double signedVolume(const Solid& solid);
// The solid with every polygon flipped when its signed volume is negative.
Solid orientOutward(Solid solid);

}  // namespace ivo
