// Point stores of dropped polygons serve the next polygons of their size: mixed sizes made
// and dropped in any order, on several threads and across threads, keep every polygon's
// points and box its own.
#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "geometry/csg.h"

namespace ivo {
namespace {

// n points, all different from those of any other call with another seed.
std::vector<V3> points(size_t n, int seed) {
    std::vector<V3> v;
    for (size_t i = 0; i < n; ++i)
        v.push_back({seed + 0.25 * double(i), -double(seed), double(i * i) + seed * 1e-3});
    return v;
}

Box3 boxOf(const std::vector<V3>& v) {
    Box3 b;
    for (V3 p : v)
        b.add(p);
    return b;
}

struct Made {
    PolyPoints pts;
    std::vector<V3> source;
    bool reversed;
};

::testing::AssertionResult intact(const Made& m) {
    std::vector<V3> want = m.source;
    if (m.reversed) std::reverse(want.begin(), want.end());
    if (!std::equal(m.pts.begin(), m.pts.end(), want.begin(), want.end()))
        return ::testing::AssertionFailure() << "points of a " << want.size() << "-gon changed";
    const Box3 b = boxOf(want);
    if (!(m.pts.box().lo == b.lo && m.pts.box().hi == b.hi))
        return ::testing::AssertionFailure() << "box of a " << want.size() << "-gon changed";
    return ::testing::AssertionSuccess();
}

// Rounds of polygons of 1 to 40 points (past the sizes the stores are kept for): each round
// drops a random half of those alive, makes as many again, and checks all of them.
void churn(unsigned seed, std::vector<Made>& alive, int rounds) {
    std::mt19937 rng(seed);
    int next = int(seed) * 100000;
    for (int r = 0; r < rounds; ++r) {
        std::shuffle(alive.begin(), alive.end(), rng);
        alive.resize(alive.size() / 2);
        while (alive.size() < 600) {
            const size_t n = 1 + rng() % 40;
            std::vector<V3> src = points(n, ++next);
            const bool rev = rng() % 2;
            PolyPoints p(src.data(), src.size(), rev);
            alive.push_back({std::move(p), std::move(src), rev});
        }
        for (const Made& m : alive)
            ASSERT_TRUE(intact(m));
        if (r % 7 == 6) releaseCsgMemory();
    }
}

TEST(PolyStores, MixedSizesKeepTheirPoints) {
    std::vector<Made> alive;
    churn(1, alive, 40);
}

TEST(PolyStores, SharedPointsOutliveEveryCopyButTheLast) {
    const std::vector<V3> src = points(4, 7);
    std::vector<PolyPoints> copies;
    {
        PolyPoints p(src);
        for (int i = 0; i < 5; ++i)
            copies.push_back(p);
    }
    copies.erase(copies.begin(), copies.begin() + 4);
    // Stores freed and taken again around the last copy leave it as it was.
    std::vector<Made> alive;
    churn(2, alive, 5);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(std::equal(copies[0].begin(), copies[0].end(), src.begin(), src.end()));
}

TEST(PolyStores, PolygonsMadeOnOneThreadAndDroppedOnAnother) {
    // Solids made on worker threads and dropped on this one, and the reverse: each thread's
    // stores serve its own next polygons.
    std::vector<std::vector<Made>> made(4);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < made.size(); ++t)
        workers.emplace_back([&made, t] { churn(10 + t, made[t], 8); });
    for (std::thread& w : workers)
        w.join();
    std::vector<Made> here;
    for (std::vector<Made>& m : made)
        for (Made& x : m)
            here.push_back(std::move(x));
    made.clear();
    for (const Made& m : here)
        ASSERT_TRUE(intact(m));
    churn(20, here, 6);
    std::thread dropper([moved = std::move(here)]() mutable {
        moved.clear();
        std::vector<Made> own;
        churn(30, own, 4);
    });
    dropper.join();
}

}  // namespace
}  // namespace ivo
