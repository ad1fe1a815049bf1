// Curve shapes, angles, intersections and cut parameters at their limits.
#include "sketch/curves.h"

#include <gtest/gtest.h>

#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;

void expectPoints(const std::vector<V2>& got, const std::vector<V2>& want, double tol = 1e-12) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_LT((got[i] - want[i]).length(), tol) << "point " << i;
}

TEST(Curve, ShapesAnglesAndParametersAtTheirLimits) {
    Sketch s;
    s.lines.push_back({s.newId(), 999, s.addPoint({1, 1})});
    EXPECT_EQ(s.curve(s.lines[0].id), Curve::line({0, 0}, {1, 1}));  // a missing point: origin
    EXPECT_EQ(s.curve(addArc(s, {0, 0}, {1, 1}, {1, 1}))->sweep, 2 * pi);  // a full turn
    // Arc polylines end exactly on the end points; a sweep that is not a number stays small.
    const V2 start{std::cos(0.3) * 2, std::sin(0.3) * 2}, end{std::cos(2.0) * 2, std::sin(2.0) * 2};
    const auto pts = s.arcPoints(*s.arc(addArc(s, {0, 0}, start, end)), 64);
    EXPECT_TRUE(pts.size() == 19u && pts.front() == start && pts.back() == end);
    EXPECT_EQ(arcPolyline({0, 0}, 1, 0, nan).size(), 3u);
    const double below = normAngle(-1e-18);  // rounds up to 2π without care
    EXPECT_TRUE(below >= 0 && below < 2 * pi);
    expectPoints({*circumcenter({5, 1}, {1, 5}, {-3, 1})}, {{1, 1}});
    EXPECT_FALSE(circumcenter({0, 0}, {1, 1}, {3, 3}));
    EXPECT_FALSE(circumcenter({0, 0}, {1e300, 0}, {0, 1e300}));  // would overflow
    // A tenth of a microradian of slack at both ends.
    auto onQuarter = [](double a) { return onArc({std::cos(a), std::sin(a)}, {0, 0}, 0, pi / 2); };
    EXPECT_TRUE(onQuarter(1) && onQuarter(-5e-8) && onQuarter(pi / 2 + 5e-8));
    EXPECT_FALSE(onQuarter(-1e-6) || onQuarter(pi / 2 + 1e-6) || onQuarter(3));
    // The parameter of lines is unclamped; a point a hair before an arc's start is its start.
    const Curve l = Curve::line({1, 1}, {5, 1});
    EXPECT_TRUE(param(l, {3, 7}) == 0.5 && param(l, {-3, 1}) == -1);
    EXPECT_EQ(param(Curve::line({2, 2}, {2, 2}), {9, 9}), 0);  // no division by 0
    const Curve a = Curve::arc({0, 0}, 1, pi / 2, pi / 2);
    EXPECT_NEAR(param(a, {-1, 1}), pi / 4, 1e-15);
    EXPECT_EQ(param(a, {std::cos(pi / 2 - 5e-8), std::sin(pi / 2 - 5e-8)}), 0);
    EXPECT_NEAR(param(a, {std::cos(pi / 2 - 1e-6), std::sin(pi / 2 - 1e-6)}), 2 * pi - 1e-6, 1e-12);
}

TEST(Intersections, SpecialCasesOfSegmentsCirclesAndArcsAndTheCutsTheyMake) {
    expectPoints(interLL({0, 0}, {2, 0}, {2, 0}, {2, 5}), {{2, 0}});  // touching ends
    EXPECT_TRUE(interLL({0, 0}, {4, 0}, {1, 0}, {6, 0}).empty());     // collinear overlap
    expectPoints(interLL({0, 0}, {1, 0}, {1 + 5e-10, -1}, {1 + 5e-10, 1}), {{1 + 5e-10, 0}});
    expectPoints(interLC({2, 0}, {-2, 0}, {0, 0}, 1), {{1, 0}, {-1, 0}});  // in travel order
    expectPoints(interLC({-2, 1}, {2, 1}, {0, 0}, 1), {{0, 1}});           // one for a tangent
    expectPoints(interLC({0, 0}, {2, 0}, {0, 0}, 1), {{1, 0}});            // starts inside
    EXPECT_TRUE(interLC({3, 3}, {3, 3}, {0, 0}, 1).empty() &&              // zero length
                interLL({1, 1}, {1, 1}, {0, 0}, {2, 2}).empty());
    // An absolute 1e-9 slack would make a segment 1e-7 long tangent to any circle within about
    // 150 of it; a true tangency of a tiny segment is still found.
    EXPECT_TRUE(interLC({0, 100}, {1e-7, 100}, {0, 0}, 1).empty());
    const auto touch = interLC({-1e-4, 1}, {1e-4, 1}, {0, 0}, 1);
    ASSERT_FALSE(touch.empty());
    for (V2 p : touch)
        EXPECT_LT((p - V2{0, 1}).length(), 1e-8);
    // The point left of the direction c1 → c2 comes first.
    expectPoints(interCC({0, 0}, 1, {1, 0}, 1), {{0.5, std::sqrt(0.75)}, {0.5, -std::sqrt(0.75)}});
    expectPoints(interCC({0, 0}, 2, {1, 0}, 1), {{2, 0}});  // inner tangent
    EXPECT_TRUE(interCC({0, 0}, 3, {0.5, 0}, 1).empty() && interCC({1, 1}, 2, {1, 1}, 2).empty());
    // Nearly concentric: r1² − r2² ≈ −2e-9 over L = 1e-12 would put the chord foot 1000 away.
    const auto near = interCC({0, 0}, 1, {1e-12, 0}, 1 + 1e-9 + 0.5e-12);
    ASSERT_EQ(near.size(), 1u);
    EXPECT_NEAR(near[0].length(), 1, 1e-9);
    EXPECT_TRUE(interLL({nan, 0}, {2, 2}, {0, 2}, {2, 0}).empty() &&
                interLC({-2, 0}, {2, 0}, {0, 0}, inf).empty() &&
                interCC({0, inf}, 1, {1, 0}, 1).empty());
    for (V2 p : interCC({-1e300, 0}, 1.5e308, {1e300, 0}, 1.5e308))  // finite but overflowing
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    // Arcs reject crossings outside their sweep, in either order.
    const Curve upper = Curve::arc({0, 0}, 1, 0, pi), below = Curve::line({-2, -.5}, {2, -.5});
    const std::vector<V2> both{{-std::sqrt(0.75), 0.5}, {std::sqrt(0.75), 0.5}};
    expectPoints(intersect(Curve::line({-2, 0.5}, {2, 0.5}), upper), both);
    EXPECT_TRUE(intersect(below, upper).empty());
    expectPoints(intersect(upper, Curve::arc({1, 0}, 1, pi / 2, pi)), {{0.5, std::sqrt(0.75)}});
    // Cuts: crossings along lines, circles and arcs.
    Sketch s;
    const Id bar = addSegment(s, {0, 0}, {4, 0}), stem = addSegment(s, {1, 3}, {1, 0});
    EXPECT_EQ(s.cuts(bar, false), std::vector<double>{0.25});  // a T-junction cuts the bar
    EXPECT_TRUE(s.cuts(stem, false).empty() && s.cuts(9999, false).empty());  // not the stem
    addSegment(s, {1 + 2e-7, -1}, {1 + 2e-7, 1});  // merges into the first crossing
    addSegment(s, {3, -1}, {3, 1}, true);
    EXPECT_EQ(s.cuts(bar, false), std::vector<double>{0.25});
    EXPECT_EQ(s.cuts(bar, true), (std::vector<double>{0.25, 0.75}));
    // A circle's cuts are angles, the one at angle 0 counted once however it is reached.
    Sketch t;
    const Id c = addCircle(t, {0, 0}, 1);
    addSegment(t, {-2, 0}, {2, 0});
    addSegment(t, {0, 0}, {2, -2e-9});  // meets the circle at 2π − 1e-9
    const auto ts = t.cuts(c, false);
    ASSERT_EQ(ts.size(), 2u);
    EXPECT_TRUE(ts[0] == 0 && std::abs(ts[1] - pi) < 1e-15);
    // An arc's cuts are measured from its start; a crossing at its end does not cut it.
    const Id arc = addArc(s, {10, 0}, {10, -1}, {10, 1});
    addSegment(s, {8, 0}, {12, 0});
    addSegment(s, {8, 1}, {12, 1});
    const auto at = s.cuts(arc, false);
    ASSERT_EQ(at.size(), 1u);
    EXPECT_NEAR(at[0], pi / 2, 1e-15);
}

}  // namespace
}  // namespace ivo
