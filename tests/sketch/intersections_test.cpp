#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "sketch/curves.h"

namespace ivo {
namespace {

constexpr double pi = std::numbers::pi;
const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

void expectPoints(const std::vector<V2>& got, const std::vector<V2>& want, double tol = 1e-12) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, tol) << "point " << i;
        EXPECT_NEAR(got[i].y, want[i].y, tol) << "point " << i;
    }
}

TEST(InterLL, CrossingTouchingParallelAndOverlapping) {
    expectPoints(interLL({0, 0}, {2, 2}, {0, 2}, {2, 0}), {{1, 1}});
    expectPoints(interLL({0, 0}, {2, 0}, {2, 0}, {2, 5}), {{2, 0}});  // touching ends
    expectPoints(interLL({0, 0}, {4, 0}, {1, 0}, {1, 3}), {{1, 0}});  // T-junction
    EXPECT_TRUE(interLL({0, 0}, {4, 0}, {1, 0}, {6, 0}).empty());     // collinear overlap
    EXPECT_TRUE(interLL({0, 0}, {4, 0}, {0, 1}, {4, 1}).empty());     // parallel
    EXPECT_TRUE(interLL({0, 0}, {1, 0}, {2, -1}, {2, 1}).empty());    // beyond the end
    EXPECT_TRUE(interLL({1, 1}, {1, 1}, {0, 0}, {2, 2}).empty());     // zero length
    // Ends within the 1e-9 slack still meet.
    expectPoints(interLL({0, 0}, {1, 0}, {1 + 5e-10, -1}, {1 + 5e-10, 1}), {{1 + 5e-10, 0}});
}

TEST(InterLC, TwoPointsInTravelOrderOneForATangent) {
    expectPoints(interLC({-2, 0}, {2, 0}, {0, 0}, 1), {{-1, 0}, {1, 0}});
    expectPoints(interLC({2, 0}, {-2, 0}, {0, 0}, 1), {{1, 0}, {-1, 0}});
    expectPoints(interLC({-2, 1}, {2, 1}, {0, 0}, 1), {{0, 1}});
    expectPoints(interLC({0, 0}, {2, 0}, {0, 0}, 1), {{1, 0}});    // starts inside
    EXPECT_TRUE(interLC({-0.5, 0}, {0.5, 0}, {0, 0}, 1).empty());  // wholly inside
    EXPECT_TRUE(interLC({-2, 1.1}, {2, 1.1}, {0, 0}, 1).empty());
    EXPECT_TRUE(interLC({3, 3}, {3, 3}, {0, 0}, 1).empty());  // zero length
}

TEST(InterLC, ATinySegmentFarFromACircleDoesNotTouchIt) {
    // Under a tolerance of 1e-9 in absolute terms, a segment 1e-7 long reads as tangent to
    // any circle within about 150 of it (disc/4A is r² minus the squared distance).
    EXPECT_TRUE(interLC({0, 100}, {1e-7, 100}, {0, 0}, 1).empty());
    EXPECT_TRUE(interLC({0, 1.001}, {1e-4, 1.001}, {0, 0}, 1).empty());
    // A true tangency of a tiny segment is still found (rounding may split it in two).
    const auto touch = interLC({-1e-4, 1}, {1e-4, 1}, {0, 0}, 1);
    ASSERT_FALSE(touch.empty());
    for (V2 p : touch)
        EXPECT_LT((p - V2{0, 1}).length(), 1e-8);
}

TEST(InterCC, CrossingTangentConcentricAndCoincident) {
    // The point left of the direction c1 → c2 comes first.
    expectPoints(interCC({0, 0}, 1, {1, 0}, 1), {{0.5, std::sqrt(0.75)}, {0.5, -std::sqrt(0.75)}});
    expectPoints(interCC({0, 0}, 1, {2, 0}, 1), {{1, 0}});
    expectPoints(interCC({0, 0}, 2, {1, 0}, 1), {{2, 0}});  // inner tangent
    EXPECT_TRUE(interCC({0, 0}, 1, {3, 0}, 1).empty());
    EXPECT_TRUE(interCC({0, 0}, 3, {0.5, 0}, 1).empty());  // one inside the other
    EXPECT_TRUE(interCC({0, 0}, 1, {0, 0}, 2).empty());    // concentric
    EXPECT_TRUE(interCC({1, 1}, 2, {1, 1}, 2).empty());    // coincident
}

TEST(InterCC, NearlyConcentricCirclesKeepTheirTangentPointOnTheCircles) {
    // L = 1e-12 passes every test while r1² − r2² ≈ −2e-9, so the chord foot a would be
    // 1000 away from circle 1.
    const auto pts = interCC({0, 0}, 1, {1e-12, 0}, 1 + 1e-9 + 0.5e-12);
    ASSERT_EQ(pts.size(), 1u);
    EXPECT_NEAR(pts[0].length(), 1, 1e-9);
}

TEST(Intersections, NonFiniteInputGivesNothing) {
    EXPECT_TRUE(interLL({nan, 0}, {2, 2}, {0, 2}, {2, 0}).empty());
    EXPECT_TRUE(interLL({0, 0}, {inf, 0}, {1, -1}, {1, 1}).empty());
    EXPECT_TRUE(interLC({-2, 0}, {2, 0}, {0, 0}, nan).empty());
    EXPECT_TRUE(interLC({-2, 0}, {2, 0}, {0, 0}, inf).empty());
    EXPECT_TRUE(interCC({0, 0}, 1, {1, 0}, nan).empty());
    EXPECT_TRUE(interCC({0, inf}, 1, {1, 0}, 1).empty());
    // Finite but overflowing: no inf or NaN point comes out.
    for (V2 p : interCC({-1e300, 0}, 1.5e308, {1e300, 0}, 1.5e308))
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
}

TEST(Intersect, ArcsRejectCrossingsOutsideTheirSweep) {
    const Curve upper = Curve::arc({0, 0}, 1, 0, pi);
    const Curve across = Curve::line({-2, 0.5}, {2, 0.5});
    const Curve below = Curve::line({-2, -0.5}, {2, -0.5});
    expectPoints(intersect(across, upper), {{-std::sqrt(0.75), 0.5}, {std::sqrt(0.75), 0.5}});
    expectPoints(intersect(upper, across), {{-std::sqrt(0.75), 0.5}, {std::sqrt(0.75), 0.5}});
    EXPECT_TRUE(intersect(below, upper).empty());
    const Curve full = Curve::circle({0, 0}, 1);
    EXPECT_EQ(intersect(below, full).size(), 2u);
    // Two arcs: only the crossing on both sweeps survives.
    const Curve right = Curve::arc({1, 0}, 1, pi / 2, pi);
    expectPoints(intersect(upper, right), {{0.5, std::sqrt(0.75)}});
    expectPoints(intersect(upper, Curve::circle({1, 0}, 1)), {{0.5, std::sqrt(0.75)}});
    expectPoints(intersect(Curve::line({0, 0}, {2, 2}), Curve::line({0, 2}, {2, 0})), {{1, 1}});
}

}  // namespace
}  // namespace ivo
