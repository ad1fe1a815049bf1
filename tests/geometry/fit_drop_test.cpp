// The points a fit drops: those whose distance to the point kept before them, as a rounded
// length, falls below 1e-9, and no others, right at that distance; and no fit of a point
// that is not finite, however large or small its finite neighbours.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "geometry/csg.h"

namespace ivo {
namespace {

// The plain rule: the distance as V3::length rounds it.
bool keeps(V3 from, V3 to) {
    return (to - from).length() >= 1e-9;
}

TEST(CPolyFitDrop, PointsWithinANanometreOfTheLastKeptAreDroppedExactly) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> unit(-1, 1);
    const V3 bases[] = {{0, 0, 0}, {1, 2, 3}, {-40, 7, 0.5}};
    size_t kept = 0, dropped = 0;
    for (int i = 0; i < 4000; ++i) {
        const V3 base = bases[i % 3];
        V3 dir{unit(rng), unit(rng), unit(rng)};
        if (i % 4 == 0) dir = {1, 0, 0};  // along an axis the squares are exact
        dir = dir.normalized();
        // Lengths within a few units in the last place of 1e-9.
        double t = 1e-9;
        for (int k = int(rng() % 9) - 4; k != 0; k += k < 0 ? 1 : -1)
            t = std::nextafter(t, k < 0 ? 0.0 : 1.0);
        const V3 near = base + dir * t;
        const V3 a{base.x + 5, base.y, base.z + 1}, b{base.x, base.y + 5, base.z + 2};
        const std::optional<CPoly> p = CPoly::fit({base, near, a, b});
        ASSERT_TRUE(p);
        const bool keep = keeps(base, near);
        (keep ? kept : dropped)++;
        ASSERT_EQ(p->v.size(), keep ? 4u : 3u) << i;
        // The closing repeat, tested against the first point.
        const std::optional<CPoly> q = CPoly::fit({base, a, b, near});
        ASSERT_TRUE(q);
        ASSERT_EQ(q->v.size(), keep ? 4u : 3u) << i;
    }
    // Both sides of the boundary were tried many times.
    EXPECT_GT(kept, 500u);
    EXPECT_GT(dropped, 500u);
    // Right at the boundary along an axis: 1e-9 is kept, the double below it dropped.
    EXPECT_EQ(CPoly::fit({{0, 0, 0}, {1e-9, 0, 0}, {1, 0, 0}, {0, 1, 0}})->v.size(), 4u);
    EXPECT_EQ(
        CPoly::fit({{0, 0, 0}, {std::nextafter(1e-9, 0.0), 0, 0}, {1, 0, 0}, {0, 1, 0}})->v.size(),
        3u);
}

TEST(CPolyFitDrop, PointsThatAreNotFiniteGiveNoPolygon) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double big = std::numeric_limits<double>::max();
    const double tiny = std::numeric_limits<double>::denorm_min();
    for (double bad : {inf, -inf, nan})
        for (int axis = 0; axis < 3; ++axis)
            for (int at = 0; at < 4; ++at) {
                // Without the bad point, three would remain to fit.
                std::vector<V3> pts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
                double* c[3] = {&pts[at].x, &pts[at].y, &pts[at].z};
                *c[axis] = bad;
                EXPECT_FALSE(CPoly::fit(pts)) << bad << " at " << at << ", axis " << axis;
            }
    // Finite extremes are points like any other: a triangle far out, and one whose normal
    // overflows (rejected for its normal, not for its points).
    const std::optional<CPoly> far = CPoly::fit({{1e300, 0, 0}, {1e300, 1, 0}, {1e300, 0, 1}});
    ASSERT_TRUE(far);
    EXPECT_EQ(far->v.size(), 3u);
    EXPECT_EQ(far->plane.n.x, 1);
    EXPECT_FALSE(CPoly::fit({{0, 0, 0}, {big, 0, 0}, {0, big, 0}}));
    const std::optional<CPoly> sub = CPoly::fit({{tiny, 0, 0}, {1, 0, 0}, {0, 1, -tiny}});
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->v[0].x, tiny);
}

}  // namespace
}  // namespace ivo
