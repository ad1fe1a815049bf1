// Fillets, chamfers, line chains and offsets on small sketches with known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "support/shapes.h"
#include "support/sketch_builder.h"
#include "support/sketch_invariants.h"

namespace ivo {
namespace {

using namespace ivo::testing;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// Two lines of lengths 10 and `second` meeting at a right angle at (10, 10).
struct RightCorner {
    Sketch s;
    Id corner = 0, along = 0, up = 0;
    explicit RightCorner(double second = 10) {
        corner = s.addPoint({10, 10});
        along = s.addLine(s.addPoint({20, 10}), corner);
        up = s.addLine(corner, s.addPoint({10, 10 + second}));
    }
};

int count(const Sketch& s, const char* kind) {
    return static_cast<int>(std::count_if(s.constraints.begin(), s.constraints.end(),
                                          [kind](const SConstraint& c) { return c.kind == kind; }));
}

TEST(Fillet, RoundsARightAngleWithATangentArcAndItsConstraints) {
    RightCorner k;
    k.s.addConstraint(ck::distance, {k.corner, 0}, 10 * std::sqrt(2.0));
    ASSERT_TRUE(k.s.filletCorner(k.corner, 2));
    EXPECT_FALSE(k.s.pos(k.corner));
    const V2 t1 = *k.s.pos(k.s.line(k.along)->b), t2 = *k.s.pos(k.s.line(k.up)->a);
    EXPECT_NEAR((t1 - V2{12, 10}).length(), 0, 1e-6);
    EXPECT_NEAR((t2 - V2{10, 12}).length(), 0, 1e-6);
    ASSERT_EQ(k.s.arcs.size(), 1u);
    const Curve arc = *k.s.curve(k.s.arcs[0].id);
    EXPECT_NEAR((arc.c - V2{10, 10}).length(), 2 * std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(arc.r, 2, 1e-6);
    EXPECT_NEAR(arc.sweep, std::numbers::pi / 2, 1e-6);  // the short way round
    EXPECT_EQ(count(k.s, ck::tangent), 2);
    EXPECT_EQ(count(k.s, ck::radius), 1);
    EXPECT_EQ(count(k.s, ck::distance), 0);  // it named the corner point
    EXPECT_EQ(sketchFault(k.s), "");
}

TEST(Fillet, RefusesRadiiTooLargeOrNotNumbersAndCornersThatAreNotTwoLines) {
    RightCorner k(5);
    const Id third = k.s.addPoint({0, 0});
    const Sketch before = k.s;
    EXPECT_FALSE(k.s.filletCorner(k.corner, 6));  // tangent distance 6 is not below 5
    for (double r : {0.0, -1.0, nan, inf})
        EXPECT_FALSE(k.s.filletCorner(k.corner, r)) << r;
    EXPECT_FALSE(k.s.filletCorner(third, 1));
    EXPECT_FALSE(k.s.filletCorner(k.along, 1));
    EXPECT_FALSE(k.s.chamferCorner(k.corner, 5));
    EXPECT_FALSE(k.s.chamferCorner(k.corner, nan));
    EXPECT_TRUE(k.s == before);

    k.s.addLine(k.corner, third);
    const Sketch three = k.s;
    EXPECT_FALSE(k.s.filletCorner(k.corner, 1));
    EXPECT_TRUE(k.s == three);

    Sketch straight;
    const Id mid = straight.addPoint({1, 0});
    straight.addLine(straight.addPoint({0, 0}), mid);
    straight.addLine(mid, straight.addPoint({2, 0}));
    EXPECT_FALSE(straight.filletCorner(mid, 0.1));
}

TEST(Fillet, KeepsACornerPointThatCarriesACircleOrIsFree) {
    RightCorner k;
    k.s.circles.push_back({k.s.newId(), k.corner, 1, false});
    ASSERT_TRUE(k.s.filletCorner(k.corner, 2));
    EXPECT_TRUE(k.s.pos(k.corner));

    RightCorner f;
    f.s.freePoints = std::vector<Id>{f.corner};
    ASSERT_TRUE(f.s.filletCorner(f.corner, 2));
    EXPECT_TRUE(f.s.pos(f.corner));
    EXPECT_EQ(sketchFault(f.s), "");
}

TEST(Chamfer, CutsEqualLengthsOffBothLinesWithoutConstraints) {
    RightCorner k;
    ASSERT_TRUE(k.s.chamferCorner(k.corner, 3));
    EXPECT_FALSE(k.s.pos(k.corner));
    ASSERT_EQ(k.s.lines.size(), 3u);
    const Curve cut = *k.s.curve(k.s.lines[2].id);
    EXPECT_NEAR((cut.b - cut.a).length(), 3 * std::sqrt(2.0), 1e-9);
    EXPECT_TRUE(k.s.constraints.empty());
}

TEST(LineChain, WalksBothWaysClosesLoopsAndStopsAtJunctions) {
    Sketch s;
    const auto sides = addPolygon(s, rect(0, 0, 4, 3));
    const auto loop = s.lineChain(sides[2]);
    EXPECT_TRUE(loop.closed);
    ASSERT_EQ(loop.pts.size(), 4u);
    EXPECT_EQ(loop.pts[0], s.line(sides[2])->a);

    // An open zigzag through its middle line, a junction at one end.
    const Id p0 = s.addPoint({10, 0}), p1 = s.addPoint({11, 1}), p2 = s.addPoint({12, 0}),
             p3 = s.addPoint({13, 1});
    s.addLine(p0, p1);
    const Id middle = s.addLine(p1, p2);
    s.addLine(p2, p3);
    EXPECT_EQ(s.lineChain(middle).pts, (std::vector<Id>{p0, p1, p2, p3}));
    s.addLine(p3, s.addPoint({14, 0}));
    s.addLine(p3, s.addPoint({14, 2}));
    EXPECT_EQ(s.lineChain(middle).pts, (std::vector<Id>{p0, p1, p2, p3}));
    s.addLine(p2, p0, true);  // construction lines do not join a normal chain
    EXPECT_FALSE(s.lineChain(middle).closed);
    EXPECT_TRUE(s.lineChain(999).pts.empty());
}

// The new points an operation added, by position.
std::vector<V2> newPositions(const Sketch& before, const Sketch& after) {
    std::vector<V2> out;
    for (const SPoint& p : after.points)
        if (p.id >= before.nextId) out.push_back(p.p);
    return out;
}

TEST(Offset, ARectangleGrowsByTheDistanceWhicheverWayItWasDrawn) {
    for (bool reverse : {false, true}) {
        Sketch s;
        const Loop r = rect(0, 0, 10, 6);
        const auto sides = addPolygon(s, reverse ? reversed(r) : r);
        const Sketch before = s;
        ASSERT_TRUE(s.offsetEntity(sides[1], 1));
        const auto q = newPositions(before, s);
        ASSERT_EQ(q.size(), 4u);
        ASSERT_EQ(s.lines.size(), 8u);
        double lox = 1e9, hix = -1e9, loy = 1e9, hiy = -1e9;
        for (V2 p : q) {
            lox = std::min(lox, p.x), hix = std::max(hix, p.x);
            loy = std::min(loy, p.y), hiy = std::max(hiy, p.y);
        }
        EXPECT_NEAR(lox, -1, 1e-9);
        EXPECT_NEAR(hix, 11, 1e-9);
        EXPECT_NEAR(loy, -1, 1e-9);
        EXPECT_NEAR(hiy, 7, 1e-9);
        EXPECT_NEAR(std::abs(polyArea(q)), 12 * 8, 1e-9);
    }
}

TEST(Offset, AnOpenLChainKeepsBothLegsAtTheDistanceWithAMitredCorner) {
    Sketch s;
    const Id a = s.addPoint({0, 0}), b = s.addPoint({10, 0}), c = s.addPoint({10, 10});
    const Id first = s.addLine(a, b);
    s.addLine(b, c);
    const Sketch before = s;
    ASSERT_TRUE(s.offsetEntity(first, 1));  // to the left of travel: inside the L
    const auto q = newPositions(before, s);
    ASSERT_EQ(q.size(), 3u);
    EXPECT_NEAR((q[0] - V2{0, 1}).length(), 0, 1e-12);
    EXPECT_NEAR((q[1] - V2{9, 1}).length(), 0, 1e-12);
    EXPECT_NEAR((q[2] - V2{9, 10}).length(), 0, 1e-12);
    EXPECT_TRUE(s.constraints.empty());
}

TEST(Offset, RefusesDistancesThatTurnAChainInsideOut) {
    Sketch s;
    const auto sides = addPolygon(s, rect(0, 0, 10, 6));
    const Id a = s.addPoint({20, 0}), b = s.addPoint({22, 0}), c = s.addPoint({22, 10});
    const Id leg = s.addLine(a, b);
    s.addLine(b, c);
    const Sketch before = s;
    EXPECT_FALSE(s.offsetEntity(sides[0], -3));  // the 6 mm side would vanish
    EXPECT_FALSE(s.offsetEntity(sides[0], -4));  // ... or turn round
    EXPECT_FALSE(s.offsetEntity(leg, 3));        // the 2 mm leg would run backwards
    for (double d : {0.0, 1e-12, nan, inf, 1e300})
        EXPECT_FALSE(s.offsetEntity(sides[0], d)) << d;
    EXPECT_TRUE(s == before);
    EXPECT_TRUE(s.offsetEntity(sides[0], -2.9));
}

TEST(Offset, CirclesAndArcsChangeRadiusAboutTheSameCentre) {
    Sketch s;
    const Id c = addCircle(s, {3, 3}, 5);
    const Id arc = addArc(s, {20, 0}, {22, 0}, {20, 2});
    const Sketch before = s;
    EXPECT_FALSE(s.offsetEntity(c, -5));
    EXPECT_FALSE(s.offsetEntity(arc, -2));
    EXPECT_FALSE(s.offsetEntity(s.circle(c)->c, 1));
    EXPECT_TRUE(s == before);

    ASSERT_TRUE(s.offsetEntity(c, -4));
    EXPECT_EQ(s.circles.back().r, 1);
    EXPECT_EQ(s.circles.back().c, s.circle(c)->c);
    ASSERT_TRUE(s.offsetEntity(arc, 1));
    const Curve grown = *s.curve(s.arcs.back().id);
    EXPECT_EQ(s.arcs.back().c, s.arc(arc)->c);
    EXPECT_NEAR(grown.r, 3, 1e-12);
    EXPECT_NEAR(grown.sweep, std::numbers::pi / 2, 1e-12);
}

}  // namespace
}  // namespace ivo
