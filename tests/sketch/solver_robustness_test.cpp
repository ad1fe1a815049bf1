// Sketch::solve on sketches it cannot satisfy or should not trust: contradictions, dangling
// ids, values out of reach, non-finite numbers from a damaged sketch.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sketch/sketch.h"
#include "support/reference_solver.h"

namespace ivo {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// A small dimensioned sketch: a triangle with a circle on one corner.
Sketch triangle() {
    Sketch s;
    const Id a = s.addPoint({0, 0}), b = s.addPoint({10, 0}), c = s.addPoint({4, 6});
    s.points[1].fixed = true;
    const Id ab = s.addLine(a, b), bc = s.addLine(b, c);
    s.addLine(c, a);
    s.addConstraint(ck::horizontal, {ab});
    s.addConstraint(ck::length, {ab}, 10);
    s.addConstraint(ck::length, {bc}, 8);
    const Id circle = s.newId();
    s.circles.push_back({circle, c, 2});
    s.addConstraint(ck::radius, {circle}, 3);
    return s;
}

// Every number that was finite stays finite, and nothing that was not finite is rewritten.
void expectNoNewNonFinite(const Sketch& before, const Sketch& after) {
    for (size_t i = 0; i < before.points.size(); ++i) {
        const V2 p = before.points[i].p, q = after.points[i].p;
        EXPECT_EQ(std::isfinite(p.x), std::isfinite(q.x)) << i;
        EXPECT_EQ(std::isfinite(p.y), std::isfinite(q.y)) << i;
        EXPECT_TRUE(std::isfinite(p.x) || std::isnan(p.x) ? std::isnan(p.x) == std::isnan(q.x)
                                                          : p.x == q.x);
        EXPECT_TRUE(std::isfinite(p.y) || std::isnan(p.y) ? std::isnan(p.y) == std::isnan(q.y)
                                                          : p.y == q.y);
    }
    for (size_t i = 0; i < before.circles.size(); ++i)
        EXPECT_EQ(std::isfinite(before.circles[i].r), std::isfinite(after.circles[i].r)) << i;
}

TEST(SolveRobustness, NonFiniteNumbersFailWithoutSpreading) {
    struct Damage {
        const char* what;
        void (*apply)(Sketch&);
    };
    const Damage damages[] = {
        {"NaN free point", [](Sketch& s) { s.points[3].p.x = nan; }},
        {"infinite free point", [](Sketch& s) { s.points[3].p.y = -inf; }},
        {"NaN fixed point", [](Sketch& s) { s.points[1].p.y = nan; }},
        {"infinite fixed point", [](Sketch& s) { s.points[1].p.x = inf; }},
        {"NaN radius", [](Sketch& s) { s.circles[0].r = nan; }},
        {"infinite radius", [](Sketch& s) { s.circles[0].r = -inf; }},
        {"NaN value", [](Sketch& s) { s.constraints[2].value = nan; }},
        {"infinite value", [](Sketch& s) { s.constraints[1].value = inf; }},
        {"huge coordinates",
         [](Sketch& s) {
             s.points[3].p = {1e300, -1e300};
         }},
        {"largest double", [](Sketch& s) { s.points[3].p.x = 1.7976931348623157e308; }},
        {"huge value", [](Sketch& s) { s.constraints[1].value = 1e300; }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        Sketch s = triangle();
        d.apply(s);
        const Sketch before = s;
        EXPECT_FALSE(s.solve());
        expectNoNewNonFinite(before, s);
        EXPECT_FALSE(s.solve({s.points[3].id}));  // holding the damaged point changes nothing
        expectNoNewNonFinite(before, s);
    }
}

// A damaged point that no constraint reads does not stop the rest from being solved.
TEST(SolveRobustness, UnreadNonFinitePointIsLeftAlone) {
    Sketch s = triangle();
    const Id lost = s.addPoint({nan, inf});
    EXPECT_TRUE(s.solve());
    EXPECT_TRUE(std::isnan(s.pos(lost)->x));
    EXPECT_EQ(s.pos(lost)->y, inf);
    EXPECT_NEAR(s.circles[0].r, 3, 1e-6);
    EXPECT_NEAR((*s.pos(3) - *s.pos(2)).length(), 8, 1e-6);
}

TEST(SolveRobustness, MissingIdsReadAsTheOriginOrRadiusZero) {
    Sketch s;
    const Id p = s.addPoint({3, 4});
    s.addConstraint(ck::distance, {p, 999}, 10);  // 999 names nothing: it stands at (0, 0)
    s.addConstraint(ck::radius, {998}, 0);        // radius 0 of nothing: already met
    s.addConstraint(ck::length, {997}, 5);        // not a line: no residual
    s.addConstraint(ck::midpoint, {996, 995});    // not a line: no residual
    EXPECT_TRUE(s.solve());
    EXPECT_NEAR(s.pos(p)->length(), 10, 1e-6);
    EXPECT_NEAR(s.pos(p)->y / s.pos(p)->x, 4.0 / 3, 1e-6);  // pushed straight out

    s.addConstraint(ck::diameter, {998}, 4);  // a missing curve never gets a diameter
    const Sketch before = s;
    EXPECT_FALSE(s.solve());
    EXPECT_NEAR(s.pos(p)->length(), 10, 1e-6);
    EXPECT_EQ(s.points, before.points);
}

TEST(SolveRobustness, UnreachableAndRedundantConstraints) {
    {
        Sketch s;  // a negative distance cannot be reached: the points end together
        const Id a = s.addPoint({1, 1}), b = s.addPoint({4, 5});
        s.addConstraint(ck::distance, {a, b}, -5);
        Sketch plain = s;
        EXPECT_FALSE(s.solve({a}));
        EXPECT_FALSE(testing::solvePlain(plain, {a}));
        EXPECT_LT((*s.pos(b) - *s.pos(a)).length(), 1e-3);
    }
    {
        Sketch s = triangle();  // the same constraints twice, and one that follows from others
        s.constraints.push_back(s.constraints[0]);
        s.addConstraint(ck::hpoints, {1, 2});
        EXPECT_TRUE(s.solve());
        EXPECT_NEAR(s.pos(1)->y, 0, 1e-6);
    }
    {
        Sketch s;  // a point cannot lie on a circle of radius 5 and 7 around the same centre
        const Id c = s.addPoint({0, 0});
        s.points[1].fixed = true;
        const Id c1 = s.newId();
        s.circles.push_back({c1, c, 5});
        const Id c2 = s.newId();
        s.circles.push_back({c2, c, 7});
        s.addConstraint(ck::radius, {c1}, 5);
        s.addConstraint(ck::radius, {c2}, 7);
        const Id p = s.addPoint({6, 0});
        s.addConstraint(ck::pointOnCircle, {p, c1});
        s.addConstraint(ck::pointOnCircle, {p, c2});
        Sketch plain = s;
        EXPECT_FALSE(s.solve());
        EXPECT_FALSE(testing::solvePlain(plain, {}));
        EXPECT_NEAR(s.pos(p)->x, plain.pos(p)->x, 1e-6);
        EXPECT_NEAR(s.pos(p)->x, 6, 0.1);  // the compromise between both circles
    }
}

// Duplicate ids (a damaged file): the first record of an id is the one constraints read.
TEST(SolveRobustness, DuplicateIdsReadTheFirstRecord) {
    Sketch s;
    const Id a = s.addPoint({0, 0}), b = s.addPoint({10, 3});
    s.points.push_back({b, {50, 50}, false});  // a second point named b
    s.addConstraint(ck::horizontal, {s.addLine(a, b)});
    Sketch plain = s;
    EXPECT_TRUE(s.solve());
    EXPECT_TRUE(testing::solvePlain(plain, {}));
    EXPECT_NEAR(s.points[2].p.y, s.points[1].p.y, 1e-9);
    EXPECT_EQ(s.points[3].p, V2(50, 50));
    for (size_t i = 0; i < s.points.size(); ++i)
        EXPECT_LT((s.points[i].p - plain.points[i].p).length(), 1e-9);
}

}  // namespace
}  // namespace ivo
