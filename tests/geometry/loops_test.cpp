#include "geometry/loops.h"

#include <gtest/gtest.h>

#include "support/shapes.h"

namespace ivo {
namespace {

using testing::rect;
using testing::reversed;

TEST(Loops, RegionsIgnoreDegenerateHolesAndOffsetsHaveAMitreLimit) {
    const Region r{rect(0, 0, 10, 10), {reversed(rect(4, 4, 6, 6)), {{1, 1}, {2, 2}}}};
    EXPECT_DOUBLE_EQ(r.area(), 96);
    EXPECT_TRUE(r.contains({1, 1.5}));  // inside the two-point "hole", which does not count
    EXPECT_FALSE(r.contains({5, 5}) || r.contains({11, 5}));
    const Loop in = offsetLoop(rect(0, 0, 1, 1), 0.1), want = rect(0.1, 0.1, 0.9, 0.9);
    ASSERT_EQ(in.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(in[i].x, want[i].x, 1e-12) << i;
        EXPECT_NEAR(in[i].y, want[i].y, 1e-12) << i;
    }
    EXPECT_NEAR(polyArea(offsetLoop(reversed(rect(0, 0, 1, 1)), 0.1)), -1.44, 1e-12);  // grows
    // A spike turning back on itself moves off its incoming edge; a very sharp corner is
    // capped at exactly 4·|d|.
    EXPECT_EQ(offsetLoop({{0, 0}, {2, 0}, {0, 0}}, 0.5)[1], V2(2, 0.5));
    const Loop sharp{{0, 0}, {10, 0.01}, {0, 0.02}};
    EXPECT_NEAR((offsetLoop(sharp, 0.1)[1] - sharp[1]).length(), 0.4, 1e-12);
    EXPECT_EQ(offsetLoop(sharp, 1e-13), sharp);
}

}  // namespace
}  // namespace ivo
