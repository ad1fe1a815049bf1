// Polygon fitting, box, volume and orientation of solids, and the three boolean operations.
// Each operation clips the polygons of one solid that come near the other by a classifier
// tree of that other solid (csg_tree.cpp), then gives back every polygon that lost nothing
// whole instead of as the pieces the clipping cut it into.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "geometry/csg.h"
#include "geometry/csg_pieces.h"

namespace ivo {

static_assert(sizeof(V3) == 3 * sizeof(double) && alignof(V3) <= alignof(Box3));

PolyPoints::PolyPoints(const V3* pts, size_t n, bool reversed) {
    if (n == 0) return;
    void* mem = ::operator new(sizeof(Rep) + n * sizeof(V3));
    r_ = new (mem) Rep{1, uint32_t(n), 0, 1, {}};
    fill(r_, pts, n, reversed);
}

void PolyPoints::fill(Rep* r, const V3* pts, size_t n, bool reversed) {
    V3* out = reinterpret_cast<V3*>(r + 1);
    // Copied first, then bounded from the copy: a loop doing both waits on every load.
    if (reversed)
        std::reverse_copy(pts, pts + n, out);
    else
        std::copy(pts, pts + n, out);
    // In a local, which the stores cannot be taken to change; the comparisons of Box3::add.
    Box3 b;
    for (size_t i = 0; i < n; ++i) {
        const V3 q = out[i];
        b.lo = {q.x < b.lo.x ? q.x : b.lo.x, q.y < b.lo.y ? q.y : b.lo.y,
                q.z < b.lo.z ? q.z : b.lo.z};
        b.hi = {b.hi.x < q.x ? q.x : b.hi.x, b.hi.y < q.y ? q.y : b.hi.y,
                b.hi.z < q.z ? q.z : b.hi.z};
    }
    r->box = b;
}

void PolyPoints::release(Rep* r) {
    Rep* head = reinterpret_cast<Rep*>(reinterpret_cast<char*>(r) - size_t(r->head) * 8);
    if (--head->live > 0) return;
    head->~Rep();
    ::operator delete(head);
}

PolyBatch::PolyBatch(size_t polys, size_t points) {
    using Rep = PolyPoints::Rep;
    static_assert(sizeof(Rep) % 8 == 0 && sizeof(V3) % 8 == 0);
    // Offsets in 8-byte words must fit a header's field.
    if (polys == 0 || points == 0 || points > (size_t(1) << 28) || polys > (size_t(1) << 24))
        return;
    cap_ = sizeof(Rep) * (polys + 1) + sizeof(V3) * points;
    head_ = new (::operator new(cap_)) Rep{0, 0, 0, 1, {}};
    used_ = sizeof(Rep);
}

PolyBatch::~PolyBatch() {
    if (head_) PolyPoints::release(head_);
}

PolyPoints PolyBatch::make(const V3* pts, size_t n, bool reversed) {
    using Rep = PolyPoints::Rep;
    const size_t bytes = sizeof(Rep) + n * sizeof(V3);
    if (n == 0 || !head_ || bytes > cap_ - used_) return PolyPoints(pts, n, reversed);
    Rep* r = new (reinterpret_cast<char*>(head_) + used_)
        Rep{1, uint32_t(n), uint32_t(used_ / 8), 0, {}};
    used_ += bytes;
    ++head_->live;
    PolyPoints::fill(r, pts, n, reversed);
    return PolyPoints(r);
}

const Box3& PolyPoints::box() const {
    static const Box3 none;
    return r_ ? r_->box : none;
}

bool PolyPoints::reverseIfSole() {
    if (!r_ || r_->refs != 1) return false;
    V3* p = reinterpret_cast<V3*>(r_ + 1);
    std::reverse(p, p + r_->n);
    return true;
}

bool operator==(const PolyPoints& a, const PolyPoints& b) {
    return a.r_ == b.r_ || std::equal(a.begin(), a.end(), b.begin(), b.end());
}

std::optional<CPoly> CPoly::fit(const V3* pts, size_t count, PolyBatch* batch) {
    // Most polygons lose no point: they are fitted where they lie, and their points copied
    // once, into the polygon. While no point is dropped, the last one kept is each point's
    // predecessor, and the first point that is dropped is the first one close to its
    // predecessor: so whether any is dropped is found from pairs of neighbours, whose
    // distances do not wait on one another.
    bool finite = true, dropped = false;
    for (size_t i = 0; i < count; ++i) {
        const V3 p = pts[i];
        // A NaN would survive the distance tests and poison the plane.
        finite &= std::isfinite(p.x) & std::isfinite(p.y) & std::isfinite(p.z);
        dropped |= i > 0 && !((p - pts[i - 1]).length() >= 1e-9);
    }
    if (!finite) return {};
    std::vector<V3> copy;
    if (dropped) {
        copy.reserve(count);
        for (size_t i = 0; i < count; ++i)
            if (copy.empty() || (pts[i] - copy.back()).length() >= 1e-9) copy.push_back(pts[i]);
        pts = copy.data();
        count = copy.size();
    }
    size_t k = count;
    while (k >= 3 && (pts[0] - pts[k - 1]).length() < 1e-9)
        --k;
    if (k < 3) return {};
    const V3* kept = pts;
    V3 N, c;
    for (size_t i = 0; i < k; ++i) {
        const V3 p = kept[i], q = kept[i + 1 == k ? 0 : i + 1];
        N.x += (p.y - q.y) * (p.z + q.z);
        N.y += (p.z - q.z) * (p.x + q.x);
        N.z += (p.x - q.x) * (p.y + q.y);
        c = c + p;
    }
    const double len = N.length();
    if (!(len >= 1e-10) || !std::isfinite(len)) return {};
    const V3 n = N / len;
    return of(batch ? batch->make(kept, k) : PolyPoints(kept, k), {n, n.dot(c / double(k))});
}

CPoly CPoly::flipped() const {
    return of(PolyPoints(v.data(), v.size(), true), plane.flipped());
}

void CPoly::flip() {
    if (!v.reverseIfSole()) v = PolyPoints(v.data(), v.size(), true);
    plane = plane.flipped();
}

namespace {

// The box of the points of both boxes, as if they were added one by one.
Box3 merged(const Box3& a, const Box3& b) {
    Box3 m;
    m.lo = {std::min(a.lo.x, b.lo.x), std::min(a.lo.y, b.lo.y), std::min(a.lo.z, b.lo.z)};
    m.hi = {std::max(a.hi.x, b.hi.x), std::max(a.hi.y, b.hi.y), std::max(a.hi.z, b.hi.z)};
    return m;
}

}  // namespace

Box3 solidBox(const Solid& solid) {
    Box3 box;
    for (const CPoly& p : solid)
        box = merged(box, p.v.box());
    return box;
}

double signedVolume(const Solid& solid) {
    double sum = 0;
    for (const CPoly& p : solid)
        for (size_t i = 1; i + 1 < p.v.size(); ++i)
            sum += p.v[0].dot(p.v[i].cross(p.v[i + 1]));
    return sum / 6;
}

Solid orientOutward(Solid solid) {
    if (signedVolume(solid) < 0)
        for (CPoly& p : solid)
            p = p.flipped();
    return solid;
}

namespace {

enum class Op { unite, subtract, intersect };

// Polygons farther than this from the other solid's box cannot be touched by it; the
// margin exceeds the plane tolerance so that near-coplanar contact is always examined.
constexpr double kReach = 10 * CSG_EPS;

Box3 grown(Box3 b, double m) {
    if (!b.isEmpty()) {
        b.lo = b.lo - V3{m, m, m};
        b.hi = b.hi + V3{m, m, m};
    }
    return b;
}

bool within(const Box3& inner, const Box3& outer) {
    return inner.lo.x >= outer.lo.x && inner.lo.y >= outer.lo.y && inner.lo.z >= outer.lo.z &&
           inner.hi.x <= outer.hi.x && inner.hi.y <= outer.hi.y && inner.hi.z <= outer.hi.z;
}

// Where a ray from p along d meets the polygon: 1 inside it, 0 not at all, -1 too close to
// its outline to tell (the caller then tries another direction).
int rayCrossing(const CPoly& poly, const Box3& box, V3 p, V3 d) {
    const double den = poly.plane.n.dot(d);
    if (std::abs(den) < 1e-9) return 0;
    const double t = (poly.plane.w - poly.plane.n.dot(p)) / den;
    if (!(t > 0)) return 0;
    const V3 q = p + d * t;
    constexpr double slack = 1e-7;
    if (q.x < box.lo.x - slack || q.x > box.hi.x + slack || q.y < box.lo.y - slack ||
        q.y > box.hi.y + slack || q.z < box.lo.z - slack || q.z > box.hi.z + slack)
        return 0;
    // Even-odd test in the coordinate plane the polygon's normal faces most.
    const V3 n = poly.plane.n;
    const int drop = std::abs(n.x) > std::abs(n.y) ? (std::abs(n.x) > std::abs(n.z) ? 0 : 2)
                                                   : (std::abs(n.y) > std::abs(n.z) ? 1 : 2);
    auto uv = [drop](V3 v) {
        return drop == 0 ? V2{v.y, v.z} : drop == 1 ? V2{v.z, v.x} : V2{v.x, v.y};
    };
    const V2 c = uv(q);
    bool inside = false;
    const size_t k = poly.v.size();
    for (size_t i = 0, j = k - 1; i < k; j = i++) {
        const V2 a = uv(poly.v[i]), b = uv(poly.v[j]);
        const V2 e = b - a;
        const double len = e.length();
        const double along = (c - a).dot(e);
        if (len > 0 && std::abs(e.cross(c - a)) / len < slack && along >= -slack * len &&
            along <= len * len + slack * len)
            return -1;
        if ((c.y < a.y) != (c.y < b.y) && c.x < a.x + (c.y - a.y) * (b.x - a.x) / (b.y - a.y))
            inside = !inside;
    }
    return inside ? 1 : 0;
}

// A run of one operand's polygons: the whole of a flat solid, or one block of a solid in
// blocks, whose box is known and which goes to the result as it is when the operation
// leaves all of it whole. `first` is the index of its first polygon in the operand.
struct Span {
    const CPoly* p;
    size_t n;
    size_t first;
    const SolidBlocks::BlockPtr* block;  // null for a flat solid
};

// Whether p lies inside the closed solid, by the parity of the faces a ray from p crosses;
// nothing when every ray tried grazes an outline. p must lie off the surface.
std::optional<bool> insideSolid(const std::vector<Span>& spans, V3 p) {
    static const V3 dirs[] = {V3{0.5773, 0.5774, 0.5776}.normalized(),
                              V3{-0.2673, 0.8018, 0.5346}.normalized(),
                              V3{0.7071, -0.3162, 0.6325}.normalized()};
    for (V3 d : dirs) {
        int crossings = 0;
        bool clear = true;
        for (size_t k = 0; k < spans.size() && clear; ++k)
            for (size_t i = 0; i < spans[k].n && clear; ++i) {
                const CPoly& q = spans[k].p[i];
                if (q.v.size() < 3) continue;
                const int c = rayCrossing(q, q.v.box(), p, d);
                if (c < 0) clear = false;
                crossings += c > 0;
            }
        if (clear) return crossings % 2 == 1;
    }
    return std::nullopt;
}

// How a polygon stands to the other solid's surface: near it, or clear of it by boxes (no
// box of the other's polygons comes within kReach of its box, so nothing of that surface
// enters its box), or clear by planes (every polygon whose box comes that near lies beyond
// kReach of its plane, or it lies beyond kReach of theirs, on one side).
enum Clearance : uint8_t { kNear = 0, kClearBox = 1, kClearPlanes = 2 };

// How far the points of q stray from its plane: the fit leaves input that is not quite
// flat as it is, and its pieces lie anywhere between its points.
double stray(const CPoly& q) {
    double most = 0;
    for (const V3& v : q.v)
        most = std::max(most, std::abs(q.plane.n.dot(v) - q.plane.w));
    return most;
}

// Whether all of q's points lie farther than m from the plane, on one side of it.
bool beyond(const CPlane& plane, const CPoly& q, double m) {
    bool front = false, back = false;
    for (const V3& v : q.v) {
        const double d = plane.n.dot(v) - plane.w;
        if (d > m)
            front = true;
        else if (d < -m)
            back = true;
        else
            return false;
    }
    return !(front && back);
}

// Whether a plane of the two keeps them farther than kReach apart; `strayB` is found when
// first needed (negative until then).
bool apart(const CPoly& a, double strayA, const CPoly& b, double& strayB) {
    if (beyond(a.plane, b, kReach + strayA)) return true;
    if (strayB < 0) strayB = stray(b);
    return beyond(b.plane, a, kReach + strayB);
}

// How each of the polygons `queries` stands to the surface made of `others`. A polygon
// clear of it meets nothing of that surface, so all of it lies on one side, which one test
// of one point tells, instead of a walk of the polygon down the other's tree that the planes
// of that tree would cut into pieces.
// The boxes of `others` are binned into a grid over `region`, where every meeting of a
// query's box with theirs lies. A box spanning many cells is kept aside and tried against
// every query; a query spanning many cells is taken as near.
std::vector<uint8_t> clearOf(const std::vector<const CPoly*>& queries,
                             const std::vector<const CPoly*>& others, const Box3& region) {
    std::vector<uint8_t> clear(queries.size(), kNear);
    if (queries.empty() || region.isEmpty() || region.hi.y < region.lo.y ||
        region.hi.z < region.lo.z)
        return clear;
    const V3 size = region.hi - region.lo;
    const double longest = std::max({size.x, size.y, size.z});
    if (!(longest > 0) || !std::isfinite(longest)) return clear;
    constexpr double kBoxesPerCell = 4;
    // About kBoxesPerCell boxes of `others` per cell, cubes as far as the region allows.
    const V3 e{std::max(size.x, longest * 1e-3), std::max(size.y, longest * 1e-3),
               std::max(size.z, longest * 1e-3)};
    const double side =
        std::cbrt(e.x * e.y * e.z * kBoxesPerCell / double(std::max<size_t>(others.size(), 1)));
    int cells[3];
    for (int a = 0; a < 3; ++a) {
        const double ext = a == 0 ? e.x : a == 1 ? e.y : e.z;
        cells[a] = int(std::clamp(ext / side, 1.0, 64.0));
    }
    // By axis, for the lookups below.
    const double axisLo[3] = {region.lo.x, region.lo.y, region.lo.z};
    const double axisSize[3] = {size.x, size.y, size.z};
    const double axisCells[3] = {double(cells[0]), double(cells[1]), double(cells[2])};
    auto cellOf = [&](double x, int a) {
        const double ext = axisSize[a];
        const double t = ext > 0 ? (x - axisLo[a]) / ext * axisCells[a] : 0;
        return int(std::clamp(t, 0.0, axisCells[a] - 1));
    };
    struct Range {
        int lo[3], hi[3];
        size_t count() const {
            return size_t(hi[0] - lo[0] + 1) * size_t(hi[1] - lo[1] + 1) *
                   size_t(hi[2] - lo[2] + 1);
        }
    };
    // The cells a box covers within the region; false when it misses the region.
    auto rangeOf = [&](const Box3& b, Range& r) {
        if (!bsp::meets(b, region)) return false;
        const double lo[3] = {b.lo.x, b.lo.y, b.lo.z}, hi[3] = {b.hi.x, b.hi.y, b.hi.z};
        for (int a = 0; a < 3; ++a) {
            r.lo[a] = cellOf(lo[a], a);
            r.hi[a] = cellOf(hi[a], a);
        }
        return true;
    };
    constexpr size_t kWideBox = 64, kWideQuery = 256, kMostWide = 32;
    // The queries first: when none is narrow enough to look up, no grid is needed.
    std::vector<Range> asked(queries.size());
    std::vector<uint8_t> look(queries.size(), 0);
    size_t looked = 0;
    for (size_t q = 0; q < queries.size(); ++q) {
        if (!rangeOf(grown(queries[q]->v.box(), kReach), asked[q]))
            clear[q] = kClearBox;
        else if (asked[q].count() <= kWideQuery)
            looked += look[q] = 1;
    }
    // The boxes of the others side by side: the queries read them many times over. How far
    // their points stray from their planes, once needed.
    std::vector<Box3> boxes;
    std::vector<double> strays;
    // Against one polygon of the others whose box may meet the query's grown box `b`:
    // false when they may touch.
    struct Verdict {
        const CPoly* q;
        Box3 b;
        double stray = -1;  // of q, once needed
        bool boxesMeet = false;
    };
    // `box` is boxes[i].
    auto clearOfOneBy = [&](Verdict& v, uint32_t i, const Box3& box) {
        if (!bsp::meetsAll(v.b, box)) return true;
        v.boxesMeet = true;
        if (v.stray < 0) v.stray = stray(*v.q);
        return apart(*v.q, v.stray, *others[i], strays[i]);
    };
    auto clearOfOne = [&](Verdict& v, uint32_t i) { return clearOfOneBy(v, i, boxes[i]); };
    auto verdict = [](const Verdict& v, bool clear) {
        return !clear ? kNear : v.boxesMeet ? kClearPlanes : kClearBox;
    };
    if (looked == 0) return clear;
    boxes.reserve(others.size());
    for (const CPoly* o : others)
        boxes.push_back(o->v.box());
    strays.assign(others.size(), -1);
    std::vector<uint32_t> wide;
    if (others.size() <= kMostWide) {
        // Few enough to try them all.
        for (size_t i = 0; i < others.size(); ++i)
            wide.push_back(uint32_t(i));
        for (size_t q = 0; q < queries.size(); ++q) {
            if (!look[q]) continue;
            Verdict v{queries[q], grown(queries[q]->v.box(), kReach)};
            bool ok = true;
            for (size_t i = 0; i < wide.size() && ok; ++i)
                ok = clearOfOne(v, wide[i]);
            clear[q] = verdict(v, ok);
        }
        return clear;
    }
    auto index = [&](int x, int y, int z) { return (size_t(z) * cells[1] + y) * cells[0] + x; };
    const size_t total = size_t(cells[0]) * cells[1] * cells[2];
    std::vector<uint32_t> start(total + 1, 0);
    std::vector<Range> ranges(others.size());
    std::vector<uint8_t> inGrid(others.size(), 0);
    for (size_t i = 0; i < others.size(); ++i) {
        Range& r = ranges[i];
        if (!rangeOf(boxes[i], r)) continue;
        if (r.count() > kWideBox) {
            wide.push_back(uint32_t(i));
            if (wide.size() > kMostWide) return clear;
            continue;
        }
        inGrid[i] = 1;
        for (int z = r.lo[2]; z <= r.hi[2]; ++z)
            for (int y = r.lo[1]; y <= r.hi[1]; ++y)
                for (int x = r.lo[0]; x <= r.hi[0]; ++x)
                    ++start[index(x, y, z) + 1];
    }
    for (size_t c = 0; c < total; ++c)
        start[c + 1] += start[c];
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    // Each cell's boxes side by side with their indices: the queries scan them in order
    // instead of fetching them one by one from all over `boxes`.
    std::vector<uint32_t> members(start.back());
    std::vector<Box3> memberBoxes(start.back());
    for (size_t i = 0; i < others.size(); ++i) {
        if (!inGrid[i]) continue;
        const Range& r = ranges[i];
        for (int z = r.lo[2]; z <= r.hi[2]; ++z)
            for (int y = r.lo[1]; y <= r.hi[1]; ++y)
                for (int x = r.lo[0]; x <= r.hi[0]; ++x) {
                    const uint32_t at = fill[index(x, y, z)]++;
                    members[at] = uint32_t(i);
                    memberBoxes[at] = boxes[i];
                }
    }
    for (size_t q = 0; q < queries.size(); ++q) {
        if (!look[q]) continue;
        Verdict v{queries[q], grown(queries[q]->v.box(), kReach)};
        const Range& r = asked[q];
        bool ok = true;
        for (size_t i = 0; i < wide.size() && ok; ++i)
            ok = clearOfOne(v, wide[i]);
        for (int z = r.lo[2]; z <= r.hi[2] && ok; ++z)
            for (int y = r.lo[1]; y <= r.hi[1] && ok; ++y)
                for (int x = r.lo[0]; x <= r.hi[0] && ok; ++x) {
                    const size_t c = index(x, y, z);
                    for (uint32_t k = start[c]; k < start[c + 1] && ok; ++k)
                        ok = clearOfOneBy(v, members[k], memberBoxes[k]);
                }
        clear[q] = verdict(v, ok);
    }
    return clear;
}

// The sides of the other solid found for the points of the polygons settled lately, by
// the exact bits of each point: a small table, each point in the one slot its hash gives,
// where a later point may take its place. A point lost that way only costs a walk; a mesh
// finds its neighbours among the points of its last rows. A slot points at the point in
// its polygon (which outlives the use) with more of its hash beside; slots of an earlier
// use are told apart by their mark, so a new use clears nothing.
class SettledPoints {
public:
    // Forgets the points of any earlier use.
    void start() {
        if (slots_.empty()) slots_.assign(kSlots, Slot{});
        if (++mark_ == 0) {  // every mark used: the old ones could come back
            std::fill(slots_.begin(), slots_.end(), Slot{});
            mark_ = 1;
        }
    }

    // The side noted for any point of q, if one is.
    std::optional<bool> sideOfAny(const CPoly& q) const {
        for (const V3& v : q.v) {
            const Bits b = bits(v);
            const uint64_t h = hash(b);
            const Slot& s = slots_[h & (kSlots - 1)];
            if (s.mark == mark_ && s.tag == tagOf(h) && bits(*s.p) == b) return s.inside;
        }
        return std::nullopt;
    }

    // Notes the side of q's points.
    void note(const CPoly& q, bool inside) {
        for (const V3& v : q.v) {
            const uint64_t h = hash(bits(v));
            slots_[h & (kSlots - 1)] = {&v, mark_, tagOf(h), inside};
        }
    }

    void release() { *this = {}; }

private:
    static constexpr size_t kSlots = 4096;
    struct Bits {
        uint64_t x, y, z;
        friend bool operator==(const Bits&, const Bits&) = default;
    };
    struct Slot {
        const V3* p = nullptr;
        uint32_t mark = 0;
        uint16_t tag = 0;
        bool inside = false;
    };
    static Bits bits(const V3& v) {
        return {std::bit_cast<uint64_t>(v.x), std::bit_cast<uint64_t>(v.y),
                std::bit_cast<uint64_t>(v.z)};
    }
    static uint64_t hash(const Bits& b) {
        uint64_t h = b.x * 0x9E3779B97F4A7C15ull;
        h = (h ^ (h >> 32) ^ b.y) * 0xC2B2AE3D27D4EB4Full;
        h = (h ^ (h >> 29) ^ b.z) * 0x165667B19E3779F9ull;
        return h ^ (h >> 32);
    }
    // Bits of the hash that the slot's index does not use.
    static uint16_t tagOf(uint64_t h) { return uint16_t(h >> 48); }
    std::vector<Slot> slots_;
    uint32_t mark_ = 0;
};

SettledPoints& settledPoints() {
    thread_local SettledPoints t;
    return t;
}

// Where the polygons of a result go: one flat solid, or blocks.
struct FlatSink {
    Solid& out;
    void push(CPoly p) { out.push_back(std::move(p)); }
    void share(const SolidBlocks::BlockPtr& b) {
        out.insert(out.end(), b->polys.begin(), b->polys.end());
    }
};

struct BlockSink {
    SolidBlocks::Builder out;
    void push(CPoly p) { out.push(std::move(p)); }
    void share(const SolidBlocks::BlockPtr& b) { out.share(b); }
};

// One operand: its box, and those of its polygons that come near the other operand, as
// pieces to clip with their roots in the split history. Only the polygons the operation
// looks at are given a source index (their plane and box in the working memory), so that
// a cut near one corner of a large solid does not pay for all of its polygons; in blocks,
// only the blocks whose box comes near are looked into.
struct Operand {
    std::vector<Span> spans;
    size_t total = 0;
    Box3 box;
    std::vector<uint32_t> near;          // the polygons near the other operand, in order
    std::vector<int32_t> root;           // by near polygon: its split history entry
    std::vector<bsp::Piece> pieces;      // to clip by the other operand's tree
    std::vector<bsp::Piece> treePieces;  // to build this operand's tree
    // The near polygons clear of the other solid: by index in `near`, source index, and
    // whether only planes keep it clear (its box may hold some of the other's surface).
    struct Held {
        uint32_t k, src;
        bool byPlanes;
    };
    std::vector<Held> whole;
    // When a polygon held whole by planes comes before every piece to clip: the first point
    // of it cut down to the other operand's box. The other solid's tree, when none of its
    // polygons reaches this box, is told from the first of these and of the pieces, so that
    // it does not depend on which polygons planes hold clear.
    std::optional<V3> firstPoint;
    // With the box of the other operand known first, measure notes the polygons that come
    // near it, and selectNear takes those without a second pass over the solid.
    bool nearFound = false;
    // The solid was handed over: emit may take its polygons (turning them in place).
    bool taken = false;
    // Its box is known before measure (a solid in blocks keeps it): measure finds the same.
    bool boxKnown = false;

    explicit Operand(const Solid& solid) : total(solid.size()) {
        if (!solid.empty()) spans.push_back({solid.data(), solid.size(), 0, nullptr});
    }
    explicit Operand(const SolidBlocks& solid)
        : total(solid.size()), box(solid.box()), boxKnown(true) {
        spans.reserve(solid.blocks().size());
        size_t at = 0;
        for (const SolidBlocks::BlockPtr& b : solid.blocks()) {
            spans.push_back({b->polys.data(), b->polys.size(), at, &b});
            at += b->polys.size();
        }
    }

    void collectNear(const Span& sp, const Box3& nearBox) {
        for (size_t i = 0; i < sp.n; ++i)
            if (sp.p[i].v.size() >= 3 && bsp::meets(sp.p[i].v.box(), nearBox))
                near.push_back(uint32_t(sp.first + i));
    }

    // Finds the solid's box; with `other`, also the polygons near that box.
    void measure(const Box3* other) {
        const Box3 nearBox = other ? grown(*other, kReach) : Box3{};
        nearFound = other != nullptr;
        for (const Span& sp : spans) {
            if (sp.block) {
                // A block's box holds those of its polygons: far from it, they are too.
                const Box3& b = (*sp.block)->box;
                box.add(b.lo);
                box.add(b.hi);
                if (other && bsp::meets(b, nearBox)) collectNear(sp, nearBox);
                continue;
            }
            for (size_t i = 0; i < sp.n; ++i) {
                const Box3& b = sp.p[i].v.box();
                box.add(b.lo);
                box.add(b.hi);
                if (other && sp.p[i].v.size() >= 3 && bsp::meets(b, nearBox))
                    near.push_back(uint32_t(sp.first + i));
            }
        }
    }

    static bsp::Piece piece(bsp::Work& w, const CPoly& q) {
        const auto src = uint32_t(w.planes.size());
        const Box3& b = q.v.box();
        w.planes.push_back(q.plane);
        w.extents.push_back({b.center(), (b.hi - b.lo) / 2});
        return {q.v.data(), uint32_t(q.v.size()), src};
    }

    // Takes the polygons that come near `other` (the other operand's box) as pieces to
    // clip, each cut down to that box first: what lies outside it is outside the other
    // solid, kept or lost (`keepOutside`) without meeting its tree. The pieces that build
    // this solid's tree are cut down to the box grown by kReach instead: a face of the other
    // solid lying in a face of its box is classified by the planes of the polygons that
    // touch that box face from outside (the sides of a boss standing on a face), and those
    // planes would be cut away with the outside. (Cut to the grown box only, the pieces to
    // clip would leave slivers as wide as the margin in the result.)
    void findNear(const Box3& other) {
        if (nearFound) return;
        nearFound = true;
        const Box3 nearBox = grown(other, kReach);
        for (const Span& sp : spans)
            if (!sp.block || bsp::meets((*sp.block)->box, nearBox)) collectNear(sp, nearBox);
    }

    // The near polygons, in order.
    std::vector<const CPoly*> nearPolys() const {
        std::vector<const CPoly*> out;
        out.reserve(near.size());
        size_t at = 0;
        for (uint32_t i : near) {
            while (i >= spans[at].first + spans[at].n)
                ++at;
            out.push_back(&spans[at].p[i - spans[at].first]);
        }
        return out;
    }

    // `clear` (by near polygon, or empty) marks those that meet nothing of the other
    // solid: they build this solid's tree as the others do, but are not clipped; `whole`
    // lists them, to be classified as one by classifyWhole.
    void selectNear(bsp::Work& w, const Box3& other, bool keepOutside,
                    const std::vector<const CPoly*>& polys, const std::vector<uint8_t>& clear) {
        const Box3 nearBox = grown(other, kReach);
        root.resize(near.size());
        pieces.reserve(near.size());
        treePieces.reserve(near.size());
        for (size_t k = 0; k < near.size(); ++k) {
            const CPoly& q = *polys[k];
            root[k] = int32_t(w.frags.size());
            w.frags.push_back({q.v.data(), uint32_t(q.v.size())});
            bsp::Piece p = piece(w, q);
            p.frag = root[k];
            const Box3& box = q.v.box();
            if (!clear.empty() && clear[k] != kNear) {
                whole.push_back({uint32_t(k), p.src, clear[k] == kClearPlanes});
                bsp::Piece t = p;
                t.frag = -1;
                if (!within(box, nearBox)) t = bsp::cutToBox(w, t, box, nearBox, true);
                if (t.n) treePieces.push_back(t);
                if (clear[k] == kClearPlanes && pieces.empty() && !firstPoint) {
                    bsp::Piece c = p;
                    c.frag = -1;
                    if (!within(box, other)) c = bsp::cutToBox(w, c, box, other, true);
                    if (c.n) firstPoint = c.v[0];
                }
                continue;
            }
            if (within(box, other)) {
                pieces.push_back(p);
                bsp::Piece t = p;
                t.frag = -1;
                treePieces.push_back(t);
                continue;
            }
            bsp::Piece t = p;
            t.frag = -1;
            if (!within(box, nearBox)) t = bsp::cutToBox(w, t, box, nearBox, true);
            if (t.n) treePieces.push_back(t);
            p = bsp::cutToBox(w, p, box, other, keepOutside);
            if (p.n) pieces.push_back(p);
        }
    }

    // A tree of this solid that classifies correctly every point of the other operand's
    // box, where all the pieces it will clip lie (`probe` is one of them): built from this
    // solid's polygons cut down to that box grown by kReach. When none reaches the box, it
    // lies wholly inside or wholly outside: one ray from the probe tells which, and a single far
    // plane then sends every piece that way. Only when every ray grazes an outline is the tree
    // built from all the polygons.
    void treeFor(bsp::Work& w, bsp::Tree& tree, V3 probe) const {
        std::vector<bsp::Piece>& list = w.list;
        list.assign(treePieces.begin(), treePieces.end());
        if (list.empty()) {
            if (const std::optional<bool> inside = insideSolid(spans, probe)) {
                // Every piece to clip lies within this solid's box, so wholly behind the
                // plane beyond its far side, or wholly in front of the one before its near
                // side; a leaf's back is inside the solid, its front outside.
                const double w0 = *inside ? box.hi.x + 1 : box.lo.x - 1;
                tree.assign(1, bsp::Node{CPlane{{1, 0, 0}, w0}, 0, -1, -1});
                return;
            }
            for (const Span& sp : spans)
                for (size_t i = 0; i < sp.n; ++i)
                    if (sp.p[i].v.size() >= 3) list.push_back(piece(w, sp.p[i]));
        }
        bsp::buildTree(w, list, tree);
    }

    // Settles each polygon clear of the other solid (the other operand's box `other`,
    // `tree` its tree) by one point of it within that box: kept when it lies outside the
    // other solid, or inside it for an `inverted` tree, as the clip would keep all of its
    // pieces; else lost. A polygon whose point cannot be told is clipped after all (its
    // pieces appended to `pieces`).
    void classifyWhole(bsp::Work& w, bsp::Tree& tree, const Box3& other, bool inverted,
                       bool keepOutside, const std::vector<const CPoly*>& polys) {
        if (tree.empty()) return;  // nothing to clip by: everything stays, as in clipPieces
        // Two clear boxes that meet make one region that the other surface does not
        // enter, all on one side of it: a polygon whose box meets that of the one settled
        // last (in a solid's order, mostly its neighbour) takes its side without a walk.
        const Box3* last = nullptr;
        bool lastInside = false;
        // So do two clear polygons with a point in common (neighbours of a mesh): each
        // meets nothing of the other surface, and together they are connected. A polygon
        // whose walk told nothing gives its side to none.
        SettledPoints& settled = settledPoints();
        settled.start();
        for (const auto& [k, src, byPlanes] : whole) {
            const CPoly& q = *polys[k];
            const Box3& b = q.v.box();
            std::optional<bool> inside;
            if (byPlanes) {
                // Its box may hold some of the other surface: told by a point of its own,
                // which lies as far from that surface as all of it, and settles no other
                // by its box.
                inside = settled.sideOfAny(q);
                if (!inside) {
                    V3 c;
                    for (const V3& v : q.v)
                        c = c + v;
                    c = c / double(q.v.size());
                    inside = within(Box3{c, c}, other) ? bsp::insideTree(w, tree, c) : false;
                }
            } else if (last && bsp::meets(b, *last)) {
                inside = lastInside;
            } else if (!bsp::meets(b, other)) {
                inside = false;  // within the margin of the box, but outside it
            } else if (!(inside = settled.sideOfAny(q))) {
                const V3 c = b.center();
                const V3 p{std::clamp(c.x, other.lo.x, other.hi.x),
                           std::clamp(c.y, other.lo.y, other.hi.y),
                           std::clamp(c.z, other.lo.z, other.hi.z)};
                inside = bsp::insideTree(w, tree, p);
            }
            if (!inside) {
                // Clipped as the others are, after all.
                bsp::Piece p{q.v.data(), uint32_t(q.v.size()), src, root[k]};
                p = bsp::cutToBox(w, p, b, other, keepOutside);
                if (p.n) pieces.push_back(p);
                continue;
            }
            if (!byPlanes) {
                last = &b;
                lastInside = *inside;
            }
            settled.note(q, *inside);
            if (inverted ? !*inside : *inside) bsp::lose(w, root[k]);
        }
    }

    // A polygon of this solid turned round, by a copy of its points unless the solid was
    // handed over: then its own serve (nothing reads them after emit).
    CPoly turned(const CPoly& q) const {
        if (!taken) return q.flipped();
        CPoly& own = const_cast<CPoly&>(q);
        own.flip();
        return std::move(own);
    }

    // How many polygons emit appends with `keepFar` besides the pieces of its near ones.
    size_t far(bool keepFar) const { return keepFar ? total - near.size() : 0; }

    // Appends the result's share of this operand: far polygons whole when `keepFar` (a
    // block with none near as it is); of the near ones, the largest entries of their split
    // history that lost nothing. Whole polygons share their points with the operand's.
    static constexpr size_t kAhead = 16;

    template <class Sink>
    void emit(const bsp::Work& w, bool keepFar, bool flip, PolyBatch& batch, Sink& out) const {
        std::vector<int32_t> stack;
        size_t k = 0;  // the next near polygon
        for (const Span& sp : spans) {
            if (k == near.size() || near[k] >= sp.first + sp.n) {
                if (!keepFar) continue;
                if (sp.block && !flip) {
                    out.share(*sp.block);
                    continue;
                }
            }
            for (size_t i = 0; i < sp.n; ++i) {
                const CPoly& q = sp.p[i];
                if (k == near.size() || near[k] != sp.first + i) {
                    if (keepFar) out.push(flip ? turned(q) : q);
                    continue;
                }
                const int32_t r = root[k++];
                if (w.frags[r].whole) {
                    out.push(flip ? turned(q) : q);
                    continue;
                }
                const CPlane plane = flip ? q.plane.flipped() : q.plane;
                // The entries and points of the pieces lie scattered through memory written
                // long before: the walk fetches them ahead of their use, and the pieces found
                // are copied a few at a time, in the order of the walk.
                const bsp::Frag* ahead[kAhead];
                size_t held = 0;
                auto copyHeld = [&] {
                    for (size_t j = 0; j < held; ++j)
                        out.push(CPoly::of(batch.make(ahead[j]->v, ahead[j]->n, flip), plane));
                    held = 0;
                };
                stack.assign(1, r);
                while (!stack.empty()) {
                    const bsp::Frag& f = w.frags[stack.back()];
                    stack.pop_back();
                    if (f.whole) {
                        const char* first = reinterpret_cast<const char*>(f.v);
                        __builtin_prefetch(first);
                        __builtin_prefetch(first + f.n * sizeof(V3) - 1);
                        ahead[held++] = &f;
                        if (held == kAhead) copyHeld();
                        continue;
                    }
                    for (int c = 1; c >= 0; --c)
                        if (f.child[c] >= 0) {
                            __builtin_prefetch(&w.frags[f.child[c]]);
                            stack.push_back(f.child[c]);
                        }
                }
                copyHeld();
            }
        }
    }
};

// The working memory of the operations on this thread, kept from one to the next: a
// boolean then splits into warm memory instead of faulting in fresh pages, which costs as
// much as the splitting itself. What one large operation leaves beyond 64 MB is freed.
bsp::Work& threadWork() {
    thread_local bsp::Work w;
    return w;
}

bsp::Work& scratch() {
    bsp::Work& w = threadWork();
    w.reset(size_t(64) << 20);
    return w;
}

// Measures both operands; true when their boxes lie apart (or one is empty), so that the
// operation takes its shortcut.
bool measureApart(Operand& A, Operand& B) {
    // b is measured first, so that the pass over a (in a sequence of cuts, the large one)
    // also finds its polygons near b; with a's box known, that pass over b finds b's too.
    B.measure(A.boxKnown ? &A.box : nullptr);
    A.measure(&B.box);
    return A.total == 0 || B.total == 0 || !A.box.overlaps(B.box);
}

// Near polygons from which on clear ones are looked for.
constexpr size_t kLookFor = 1024;
// Near polygons of the other operand below which one's own are not looked at: a walk down a
// tree of so few polygons is short, and costs less than trying each of one's polygons
// against all of them (the holes cut through a plate, against the plate's two faces).
constexpr size_t kLookAgainst = 32;
const std::vector<uint8_t> noneClear;

// The pieces that the result takes as copies, and their points.
struct Copied {
    size_t polys = 0, points = 0;
};

// Clips the operands by each other's trees; gives how many polygons the result will hold, and
// which of them are copied pieces.
size_t clip(Op op, Operand& A, Operand& B, bsp::Work& w, Copied& copied) {
    // What lies outside the other solid stays in a union; of a difference only a's part
    // outside b and b's part inside a (turned round) stay; of an intersection only the
    // parts inside.
    const bool keepA = op != Op::intersect, keepB = op == Op::unite;
    A.findNear(B.box);
    B.findNear(A.box);
    const std::vector<const CPoly*> nearA = A.nearPolys(), nearB = B.nearPolys();
    // Every meeting of a polygon of a with one of b lies in both boxes (grown by the margin).
    Box3 both;
    const Box3 ga = grown(A.box, kReach), gb = grown(B.box, kReach);
    both.lo = {std::max(ga.lo.x, gb.lo.x), std::max(ga.lo.y, gb.lo.y), std::max(ga.lo.z, gb.lo.z)};
    both.hi = {std::min(ga.hi.x, gb.hi.x), std::min(ga.hi.y, gb.hi.y), std::min(ga.hi.z, gb.hi.z)};
    // Small operations clip everything: the trees are shallow, and looking costs more.
    const bool look = nearA.size() + nearB.size() >= kLookFor;
    auto clearAgainst = [&](const std::vector<const CPoly*>& mine,
                            const std::vector<const CPoly*>& theirs) {
        return look && theirs.size() >= kLookAgainst ? clearOf(mine, theirs, both) : noneClear;
    };
    A.selectNear(w, B.box, keepA, nearA, clearAgainst(nearA, nearB));
    B.selectNear(w, A.box, keepB, nearB, clearAgainst(nearB, nearA));
    bsp::Tree& ta = w.trees[0];
    bsp::Tree& tb = w.trees[1];
    auto probe = [](const Operand& X, const std::vector<const CPoly*>& polys) {
        if (X.firstPoint) return *X.firstPoint;
        return X.pieces.empty() ? polys[X.whole.front().k]->v[0] : X.pieces.front().v[0];
    };
    if (!B.pieces.empty() || !B.whole.empty()) A.treeFor(w, ta, probe(B, nearB));
    if (!A.pieces.empty() || !A.whole.empty()) B.treeFor(w, tb, probe(A, nearA));
    const bool invA = op != Op::unite, invB = op == Op::intersect;
    A.classifyWhole(w, tb, B.box, invB, keepA, nearA);
    B.classifyWhole(w, ta, A.box, invA, keepB, nearB);

    // The clip-and-invert sequence of each operation, with every inversion of a tree or a
    // polygon list folded into the flags of the clip that reads it. The tree of a receives
    // no polygons of b afterwards: the result is the two surviving lists side by side.
    bsp::clipPieces(w, tb, invB, op != Op::unite, A.pieces);
    bsp::clipBothWays(w, ta, invA, B.pieces);
    // Near polygons come back as the entries of their split history that lost nothing
    // while the one they were cut from did (or whole, when that is their root).
    size_t pieces = 0;
    for (const bsp::Frag& f : w.frags) {
        const bool kept = f.whole && (f.parent < 0 || !w.frags[f.parent].whole);
        pieces += kept;
        if (kept && f.parent >= 0) {
            ++copied.polys;
            copied.points += f.n;
        }
    }
    return A.far(keepA) + B.far(keepB) + pieces;
}

// The copied pieces of a result are made together and mostly dropped together, with it.
template <class Sink>
void emitBoth(Op op, const Operand& A, const Operand& B, const bsp::Work& w, const Copied& copied,
              Sink& out) {
    PolyBatch batch(copied.polys, copied.points);
    A.emit(w, op != Op::intersect, false, batch, out);
    B.emit(w, op == Op::unite, op == Op::subtract, batch, out);
}

// The result of an operation whose operands' boxes overlap, as one flat solid.
Solid clipFlat(Op op, Operand& A, Operand& B) {
    bsp::Work& w = scratch();
    Solid out;
    Copied copied;
    out.reserve(clip(op, A, B, w, copied));
    FlatSink sink{out};
    emitBoth(op, A, B, w, copied, sink);
    return out;
}

Solid run(Op op, const Solid& a, const Solid& b) {
    Operand A(a), B(b);
    if (measureApart(A, B)) switch (op) {
            case Op::unite: {
                if (a.empty()) return b;
                Solid out = a;
                out.insert(out.end(), b.begin(), b.end());
                return out;
            }
            case Op::subtract: return a;
            case Op::intersect: return {};
        }
    return clipFlat(op, A, B);
}

void append(SolidBlocks::Builder& out, const SolidBlocks& s) {
    for (const SolidBlocks::BlockPtr& block : s.blocks())
        out.share(block);
}

void append(SolidBlocks::Builder& out, const Solid& s) {
    for (const CPoly& p : s)
        out.push(p);
}

// b flat or in blocks; `taken` when b was handed over (flat only).
template <class Other>
SolidBlocks run(Op op, const SolidBlocks& a, const Other& b, bool taken = false) {
    Operand A(a), B(b);
    B.taken = taken;
    if (measureApart(A, B)) {
        if (op == Op::subtract) return a;
        SolidBlocks::Builder out;
        if (op == Op::unite) {
            append(out, a);
            append(out, b);
        }
        return out.finish();
    }
    bsp::Work& w = scratch();
    Copied copied;
    clip(op, A, B, w, copied);
    BlockSink sink;
    emitBoth(op, A, B, w, copied, sink);
    return sink.out.finish();
}

// The same as run above, giving the result's flat solid directly.
Solid runFlat(Op op, const SolidBlocks& a, const Solid& b, bool taken = false) {
    Operand A(a), B(b);
    B.taken = taken;
    if (measureApart(A, B)) {
        if (op == Op::intersect) return {};
        Solid out;
        out.reserve(a.size() + (op == Op::unite ? b.size() : 0));
        for (const SolidBlocks::BlockPtr& block : a.blocks())
            out.insert(out.end(), block->polys.begin(), block->polys.end());
        if (op == Op::unite) out.insert(out.end(), b.begin(), b.end());
        return out;
    }
    return clipFlat(op, A, B);
}

}  // namespace

void releaseCsgMemory() {
    threadWork().reset(0);
    settledPoints().release();
}

Solid CSG::unite(const Solid& a, const Solid& b) {
    return run(Op::unite, a, b);
}

Solid CSG::subtract(const Solid& a, const Solid& b) {
    return run(Op::subtract, a, b);
}

Solid CSG::intersect(const Solid& a, const Solid& b) {
    return run(Op::intersect, a, b);
}

SolidBlocks CSG::uniteBlocks(const SolidBlocks& a, const SolidBlocks& b) {
    return run(Op::unite, a, b);
}

SolidBlocks CSG::subtractBlocks(const SolidBlocks& a, const SolidBlocks& b) {
    return run(Op::subtract, a, b);
}

SolidBlocks CSG::intersectBlocks(const SolidBlocks& a, const SolidBlocks& b) {
    return run(Op::intersect, a, b);
}

SolidBlocks CSG::uniteBlocks(const SolidBlocks& a, const Solid& b) {
    return run(Op::unite, a, b);
}

SolidBlocks CSG::subtractBlocks(const SolidBlocks& a, const Solid& b) {
    return run(Op::subtract, a, b);
}

SolidBlocks CSG::intersectBlocks(const SolidBlocks& a, const Solid& b) {
    return run(Op::intersect, a, b);
}

SolidBlocks CSG::subtractBlocks(const SolidBlocks& a, Solid&& b) {
    return run(Op::subtract, a, b, true);
}

Solid CSG::uniteFlat(const SolidBlocks& a, const Solid& b) {
    return runFlat(Op::unite, a, b);
}

Solid CSG::subtractFlat(const SolidBlocks& a, const Solid& b) {
    return runFlat(Op::subtract, a, b);
}

Solid CSG::subtractFlat(const SolidBlocks& a, Solid&& b) {
    return runFlat(Op::subtract, a, b, true);
}

Solid CSG::intersectFlat(const SolidBlocks& a, const Solid& b) {
    return runFlat(Op::intersect, a, b);
}

SolidBlocks::SolidBlocks(Solid&& s) {
    Builder b;
    for (CPoly& p : s)
        b.push(std::move(p));
    *this = b.finish();
}

Solid SolidBlocks::flat() const {
    Solid out;
    out.reserve(size_);
    for (const BlockPtr& b : blocks_)
        out.insert(out.end(), b->polys.begin(), b->polys.end());
    return out;
}

void SolidBlocks::Builder::share(const BlockPtr& b) {
    flush();
    blocks_.push_back(b);
    size_ += b->polys.size();
    box_.add(b->box.lo);
    box_.add(b->box.hi);
}

void SolidBlocks::Builder::flush() {
    if (cur_.empty()) return;
    // As the operations bound an operand polygon by polygon; a block is never empty, so
    // bounding its box gives the same box.
    Box3 box;
    for (const CPoly& p : cur_) {
        box.add(p.v.box().lo);
        box.add(p.v.box().hi);
    }
    auto block = std::make_shared<const Block>(Block{std::move(cur_), box});
    cur_ = {};
    cur_.reserve(kBlockSize);
    share(block);
}

SolidBlocks SolidBlocks::Builder::finish() {
    flush();
    SolidBlocks out;
    out.blocks_ = std::move(blocks_);
    out.size_ = size_;
    out.box_ = box_;
    *this = {};
    return out;
}

}  // namespace ivo
