// Fitting a polygon: a loop that loses no point is fitted where it lies, one that loses some
// from a cleaned copy; both must give the same polygon, point for point and bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "geometry/csg.h"

namespace ivo {
namespace {

std::vector<V3> tiltedRing(int n, double r) {
    std::vector<V3> pts;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        pts.push_back({r * std::cos(a), r * std::sin(a), 0.3 * r * std::cos(a) + 7});
    }
    return pts;
}

TEST(CPolyFit, LoopsWithAndWithoutDroppedPointsFitAlike) {
    const std::vector<std::vector<V3>> loops = {
        {{0, 0, 0}, {2, 0, 0}, {0, 3, 0}},
        {{1e6, 1e6, 5}, {1e6 + 1, 1e6, 5}, {1e6 + 1, 1e6 + 1, 5.5}, {1e6, 1e6 + 1, 5.5}},
        tiltedRing(64, 3),
    };
    for (size_t k = 0; k < loops.size(); ++k) {
        const std::vector<V3>& pts = loops[k];
        const auto plain = CPoly::fit(pts);
        ASSERT_TRUE(plain) << k;
        EXPECT_TRUE(std::equal(plain->v.begin(), plain->v.end(), pts.begin(), pts.end())) << k;
        // A repeat in the middle (fitted from a copy), a closing repeat alone (fitted in
        // place, the repeat left out), or both.
        std::vector<V3> repeated = pts;
        repeated.insert(repeated.begin() + 1, pts[0] + V3{1e-10, 0, 0});
        std::vector<V3> closed = pts;
        closed.push_back(pts[0] + V3{0, 1e-10, 0});
        std::vector<V3> both = repeated;
        both.push_back(pts[0]);
        for (const auto* variant : {&repeated, &closed, &both}) {
            const auto fitted = CPoly::fit(*variant);
            ASSERT_TRUE(fitted) << k;
            EXPECT_EQ(*fitted, *plain) << k;
            EXPECT_EQ(fitted->plane, plain->plane) << k;
        }
    }
}

TEST(CPolyFit, FittedPolygonOwnsItsPoints) {
    std::vector<V3> pts = tiltedRing(8, 2);
    const auto fitted = CPoly::fit(pts.data(), pts.size());
    ASSERT_TRUE(fitted);
    const std::vector<V3> before(fitted->v.begin(), fitted->v.end());
    for (V3& p : pts)
        p = p + V3{5, 5, 5};
    EXPECT_TRUE(std::equal(fitted->v.begin(), fitted->v.end(), before.begin(), before.end()));
    // Only the first n points are read.
    pts = tiltedRing(8, 2);
    pts.push_back({std::nan(""), 0, 0});
    EXPECT_TRUE(CPoly::fit(pts.data(), 8));
    EXPECT_FALSE(CPoly::fit(pts.data(), 9));
}

}  // namespace
}  // namespace ivo
