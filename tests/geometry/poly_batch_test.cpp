// Polygon points made in batches: one allocation for many polygons, alive exactly as long as
// any of them or the batch, each polygon's points equal to those it would get alone. The
// allocations are counted by replacing the global operator new of this test program.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "geometry/csg.h"
#include "geometry/extrude.h"

namespace {
size_t gNews = 0, gDeletes = 0;
}  // namespace

void* operator new(std::size_t n) {
    ++gNews;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    if (p) ++gDeletes;
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    if (p) ++gDeletes;
    std::free(p);
}

namespace ivo {
namespace {

// Allocations made and not freed since it was made.
struct Outstanding {
    size_t news = gNews, deletes = gDeletes;
    long operator()() const { return long(gNews - news) - long(gDeletes - deletes); }
    size_t made() const { return gNews - news; }
};

std::vector<V3> ring(size_t n, double shift) {
    std::vector<V3> pts;
    for (size_t i = 0; i < n; ++i)
        pts.push_back({double(i) + shift, double(i * i) - shift, -double(i) * 0.5});
    return pts;
}

void expectSame(const PolyPoints& got, const std::vector<V3>& pts, const char* what) {
    const PolyPoints alone(pts);
    EXPECT_TRUE(got == alone) << what;
    EXPECT_EQ(got.size(), pts.size()) << what;
    EXPECT_TRUE(got.box().lo == alone.box().lo && got.box().hi == alone.box().hi) << what;
}

TEST(PolyBatch, OneAllocationWithinItsRoomOneEachBeyond) {
    struct Case {
        const char* what;
        size_t polys, points;   // room asked for
        std::vector<size_t> n;  // the polygons made
        size_t allocations;     // the batch's and those beyond its room
    };
    const std::vector<Case> cases = {
        {"exactly the room", 3, 10, {3, 3, 4}, 1},
        {"room left over", 10, 100, {3, 4}, 1},
        {"one point too many", 2, 6, {3, 4}, 2},
        {"the last beyond", 2, 8, {4, 3, 3}, 2},
        {"large after small", 3, 12, {3, 3, 40, 3}, 2},
        {"no room asked", 0, 0, {3, 5}, 2},
        {"no points asked", 4, 0, {3}, 1},
    };
    for (const Case& c : cases) {
        std::vector<std::vector<V3>> pts;
        for (size_t k = 0; k < c.n.size(); ++k)
            pts.push_back(ring(c.n[k], double(k)));
        std::vector<PolyPoints> made;
        made.reserve(c.n.size());
        const Outstanding out;
        {
            PolyBatch batch(c.polys, c.points);
            for (const std::vector<V3>& p : pts)
                made.push_back(batch.make(p.data(), p.size()));
        }
        EXPECT_EQ(out.made(), c.allocations) << c.what;
        for (size_t k = 0; k < made.size(); ++k)
            expectSame(made[k], pts[k], c.what);
        made.clear();
        EXPECT_EQ(out(), 0) << c.what;
    }
}

TEST(PolyBatch, AllocationLivesWhileAnyPolygonOrTheBatchDoes) {
    // Orders in which the batch and its three polygons are dropped (3 is the batch), with
    // copies of polygon 1 made before and dropped last.
    const std::vector<std::vector<int>> orders = {
        {3, 0, 1, 2}, {0, 1, 2, 3}, {2, 3, 0, 1}, {1, 0, 3, 2}};
    const std::vector<V3> a = ring(3, 0), b = ring(5, 1), c = ring(4, 2);
    for (const std::vector<int>& order : orders) {
        std::vector<PolyPoints> polys, copies;
        polys.reserve(3);
        copies.reserve(2);
        const Outstanding out;
        std::optional<PolyBatch> batch;
        batch.emplace(3, 12);
        for (const std::vector<V3>* p : {&a, &b, &c})
            polys.push_back(batch->make(p->data(), p->size()));
        copies.assign(2, polys[1]);
        for (size_t k = 0; k < order.size(); ++k) {
            if (order[k] == 3)
                batch.reset();
            else
                polys[size_t(order[k])] = PolyPoints();
            EXPECT_EQ(out(), 1) << k;
        }
        expectSame(copies[0], b, "copy");
        copies.clear();
        EXPECT_EQ(out(), 0);
    }
}

TEST(PolyBatch, PolygonOfABatchTurnsInPlaceOnlyWhenSole) {
    const std::vector<V3> a = ring(4, 0), b = ring(3, 5), c = ring(4, 9);
    PolyBatch batch(3, 11);
    PolyPoints pa = batch.make(a.data(), a.size());
    PolyPoints pb = batch.make(b.data(), b.size());
    PolyPoints pc = batch.make(c.data(), c.size());
    const PolyPoints shared = pb;
    EXPECT_FALSE(pb.reverseIfSole());
    EXPECT_TRUE(pa.reverseIfSole());
    EXPECT_TRUE(pc.reverseIfSole());
    expectSame(pb, b, "shared, left as it was");
    expectSame(pa, {a.rbegin(), a.rend()}, "first, turned");
    expectSame(pc, {c.rbegin(), c.rend()}, "last, turned");
}

TEST(PolyBatch, ExtrusionMakesItsPolygonsInFewAllocations) {
    Region square;
    square.outer = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    Region circle;
    for (int i = 0; i < 64; ++i) {
        const double t = 6.283185307179586 * i / 64;
        circle.outer.push_back({5 + 3 * std::cos(t), 5 + 3 * std::sin(t)});
    }
    struct Case {
        const char* what;
        const Region* region;
        double loR, hiR;
    };
    const std::vector<Case> cases = {
        {"square", &square, 0, 0}, {"circle", &circle, 0, 0}, {"rounded circle", &circle, 0.5, 1}};
    for (const Case& c : cases) {
        Solid one = extrudeRegion(*c.region, Frame{}, 0, 4, c.loR, c.hiR, false);
        ASSERT_FALSE(one.empty()) << c.what;
        // Polygon by polygon, the same as fitting its points alone.
        for (const CPoly& p : one) {
            const std::vector<V3> pts(p.v.begin(), p.v.end());
            const std::optional<CPoly> alone = CPoly::fit(pts);
            ASSERT_TRUE(alone) << c.what;
            EXPECT_TRUE(alone->v == p.v && alone->plane == p.plane) << c.what;
        }
        const size_t polys = one.size();
        one = Solid();
        const Outstanding out;
        one = extrudeRegion(*c.region, Frame{}, 0, 4, c.loR, c.hiR, false);
        // Those of the extrusion's working vectors, not one per polygon.
        EXPECT_LT(out.made(), 30 + polys / 20) << c.what;
    }
}

}  // namespace
}  // namespace ivo
