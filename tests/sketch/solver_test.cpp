// Sketch::solve on small sketches whose answer is known, one constraint kind at a time.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "sketch/sketch.h"

namespace ivo {
namespace {

constexpr double tol = 1e-6;

V2 at(const Sketch& s, Id id) {
    return *s.pos(id);
}
void fix(Sketch& s, Id id) {
    s.points[*s.pointIndex(id)].fixed = true;
}
void moveTo(Sketch& s, Id id, V2 p) {
    s.points[*s.pointIndex(id)].p = p;
}

Id addCircle(Sketch& s, V2 c, double r) {
    const Id centre = s.addPoint(c);
    const Id id = s.newId();
    s.circles.push_back({id, centre, r});
    return id;
}

Id addArc(Sketch& s, V2 c, V2 start, V2 end) {
    const Id cc = s.addPoint(c), ss = s.addPoint(start), ee = s.addPoint(end);
    const Id id = s.newId();
    s.arcs.push_back({id, cc, ss, ee});
    return id;
}

double radiusOf(const Sketch& s, Id curve) {
    if (const auto c = s.circle(curve)) return c->r;
    const SArc a = *s.arc(curve);
    return (at(s, a.s) - at(s, a.c)).length();
}

V2 centreOf(const Sketch& s, Id curve) {
    if (const auto c = s.circle(curve)) return at(s, c->c);
    return at(s, s.arc(curve)->c);
}

V2 dirOf(const Sketch& s, Id line) {
    const SLine l = *s.line(line);
    return (at(s, l.b) - at(s, l.a)).normalized();
}

double lengthOf(const Sketch& s, Id line) {
    const SLine l = *s.line(line);
    return (at(s, l.b) - at(s, l.a)).length();
}

TEST(Solve, WithoutConstraintsOrArcsNothingMoves) {
    Sketch s;
    const Id a = s.addPoint({3, 4}), b = s.addPoint({-1, 7});
    s.addLine(a, b);
    addCircle(s, {5, 5}, -2);
    const Sketch before = s;
    EXPECT_TRUE(s.solve());
    EXPECT_EQ(s, before);  // not even the negative radius is touched
}

TEST(Solve, HorizontalBetweenFixedPointsFailsAndMovesNothing) {
    Sketch s;
    const Id a = s.addPoint({0, 0}), b = s.addPoint({10, 3});
    fix(s, a);
    fix(s, b);
    s.addConstraint(ck::horizontal, {s.addLine(a, b)});
    const Sketch before = s;
    EXPECT_FALSE(s.solve());
    EXPECT_EQ(s, before);
}

TEST(Solve, DraggedEndPullsTheOtherAlongTheLineKeepingItsLength) {
    Sketch s;
    const Id a = s.addPoint({0, 0}), b = s.addPoint({10, 0});
    const Id l = s.addLine(a, b);
    s.addConstraint(ck::length, {l}, 10);
    moveTo(s, b, {14, 3});
    EXPECT_TRUE(s.solve({b}));
    EXPECT_EQ(at(s, b), V2(14, 3));
    EXPECT_NEAR(lengthOf(s, l), 10, tol);
    // The least movement for a: straight towards b.
    EXPECT_NEAR((at(s, b) - V2{0, 0}).normalized().cross(at(s, a)), 0, tol);
    EXPECT_GT(at(s, a).x, 0);
}

TEST(Solve, NegativeRadiusIsStoredAsItsAbsoluteValue) {
    Sketch s;
    const Id c = addCircle(s, {0, 0}, 5);
    s.addConstraint(ck::radius, {c}, -3);
    EXPECT_TRUE(s.solve());
    EXPECT_NEAR(s.circles[0].r, 3, tol);
    s.circles[0].r = -4;  // the write-back takes the absolute value even with nothing to do
    s.constraints.clear();
    s.addConstraint(ck::diameter, {c}, -8);
    EXPECT_TRUE(s.solve());
    EXPECT_EQ(s.circles[0].r, 4);
}

TEST(Solve, ArcEndIsBroughtBackToItsCircleWithoutAnyConstraint) {
    Sketch s;
    const Id arc = addArc(s, {0, 0}, {10, 0}, {0, 13});
    fix(s, s.arcs[0].c);
    fix(s, s.arcs[0].s);
    EXPECT_TRUE(s.solve());
    const SArc a = *s.arc(arc);
    EXPECT_NEAR((at(s, a.e) - at(s, a.c)).length(), 10, tol);
    EXPECT_NEAR(at(s, a.e).x, 0, tol);  // pulled straight in
}

TEST(Solve, ConstraintsWithTheWrongRefsAreIgnored) {
    Sketch s;
    const Id a = s.addPoint({0, 0}), b = s.addPoint({3, 4}), c = s.addPoint({9, 9});
    const Id l = s.addLine(a, b);
    s.addConstraint(ck::distance, {a, b, c}, 1);  // three refs
    s.addConstraint(ck::horizontal, {a});         // not a line
    s.addConstraint(ck::parallel, {l});           // one ref
    s.addConstraint(ck::pointOnLine, {c, a});     // not a line
    s.addConstraint(ck::tangent, {l, l});         // not round
    s.addConstraint(ck::hpoints, {a, b, c});
    s.addConstraint("coincident", {a, c});  // a kind this solver does not know
    const Sketch before = s;
    EXPECT_TRUE(s.solve());
    EXPECT_EQ(s, before);
}

TEST(Solve, HeldAndFixedPointsStayAndUnconstrainedOnesDoNotMove) {
    Sketch s;
    const Id a = s.addPoint({0, 0}), b = s.addPoint({10, 1}), c = s.addPoint({5, 5});
    const Id d = s.addPoint({20, 20}), free = s.addPoint({-7, 3});
    s.addConstraint(ck::horizontal, {s.addLine(a, b)});
    s.addConstraint(ck::vertical, {s.addLine(b, c)});
    s.addConstraint(ck::distance, {c, d}, 8);
    fix(s, d);
    EXPECT_TRUE(s.solve({a}));
    EXPECT_EQ(at(s, a), V2(0, 0));
    EXPECT_EQ(at(s, d), V2(20, 20));
    EXPECT_EQ(at(s, free), V2(-7, 3));
    EXPECT_NEAR(at(s, b).y, 0, tol);
    EXPECT_NEAR(at(s, c).x, at(s, b).x, tol);
    EXPECT_NEAR((at(s, c) - at(s, d)).length(), 8, tol);
}

// One sketch per constraint kind, drawn slightly off, and a check of the geometry itself.
struct KindCase {
    const char* name;
    std::function<Sketch(Id&)> build;  // sets the id the check needs
    std::function<void(const Sketch&, Id)> check;
};

// The first line starts at a fixed point.
Sketch twoLines(V2 a0, V2 b0, V2 a1, V2 b1, Id& l0, Id& l1) {
    Sketch s;
    const Id a = s.addPoint(a0), b = s.addPoint(b0), c = s.addPoint(a1), d = s.addPoint(b1);
    fix(s, a);
    l0 = s.addLine(a, b);
    l1 = s.addLine(c, d);
    return s;
}

const KindCase kindCases[] = {
    {"hpoints and vpoints",
     [](Id&) {
         Sketch s;
         const Id a = s.addPoint({1, 2}), b = s.addPoint({6, 3}), c = s.addPoint({1.5, 9});
         s.addConstraint(ck::hpoints, {a, b});
         s.addConstraint(ck::vpoints, {a, c});
         return s;
     },
     [](const Sketch& s, Id) {
         EXPECT_NEAR(s.points[1].p.y, s.points[2].p.y, tol);
         EXPECT_NEAR(s.points[1].p.x, s.points[3].p.x, tol);
     }},
    {"distance",
     [](Id&) {
         Sketch s;
         s.addConstraint(ck::distance, {0, s.addPoint({3, 3})}, 10);
         return s;
     },
     [](const Sketch& s, Id) { EXPECT_NEAR(s.points[1].p.length(), 10, tol); }},
    {"parallel",
     [](Id& l) {
         Id l0;
         Sketch s = twoLines({0, 0}, {10, 1}, {0, 5}, {10, 8}, l0, l);
         s.addConstraint(ck::parallel, {l0, l});
         return s;
     },
     [](const Sketch& s, Id l) {
         EXPECT_NEAR(dirOf(s, s.lines[0].id).cross(dirOf(s, l)), 0, tol);
     }},
    {"perpendicular",
     [](Id& l) {
         Id l0;
         Sketch s = twoLines({0, 0}, {10, 1}, {2, 0}, {3, 8}, l0, l);
         s.addConstraint(ck::perpendicular, {l0, l});
         return s;
     },
     [](const Sketch& s, Id l) { EXPECT_NEAR(dirOf(s, s.lines[0].id).dot(dirOf(s, l)), 0, tol); }},
    {"equal lines",
     [](Id& l) {
         Id l0;
         Sketch s = twoLines({0, 0}, {10, 0}, {0, 5}, {4, 5}, l0, l);
         s.addConstraint(ck::equal, {l0, l});
         return s;
     },
     [](const Sketch& s, Id l) { EXPECT_NEAR(lengthOf(s, s.lines[0].id), lengthOf(s, l), tol); }},
    {"equal circle and arc, diameter",
     [](Id& arc) {
         Sketch s;
         const Id c = addCircle(s, {0, 0}, 4);
         arc = addArc(s, {20, 0}, {26, 0}, {20, 6});
         s.addConstraint(ck::equal, {c, arc});
         s.addConstraint(ck::diameter, {c}, 9);
         return s;
     },
     [](const Sketch& s, Id arc) {
         EXPECT_NEAR(s.circles[0].r, 4.5, tol);
         EXPECT_NEAR(radiusOf(s, arc), 4.5, tol);
     }},
    {"pointOnLine and midpoint",
     [](Id& l) {
         Sketch s;
         const Id a = s.addPoint({0, 0}), b = s.addPoint({10, 0});
         fix(s, a);
         fix(s, b);
         l = s.addLine(a, b);
         s.addConstraint(ck::pointOnLine, {s.addPoint({20, 3}), l});
         s.addConstraint(ck::midpoint, {s.addPoint({4, -2}), l});
         return s;
     },
     [](const Sketch& s, Id) {
         EXPECT_NEAR(s.points[3].p.y, 0, tol);
         EXPECT_NEAR(s.points[4].p.x, 5, tol);
         EXPECT_NEAR(s.points[4].p.y, 0, tol);
     }},
    {"pointOnCircle on a circle and an arc",
     [](Id& arc) {
         Sketch s;
         const Id c = addCircle(s, {0, 0}, 5);
         arc = addArc(s, {20, 0}, {23, 0}, {20, 3});
         s.addConstraint(ck::radius, {c}, 5);
         s.addConstraint(ck::pointOnCircle, {s.addPoint({1, 7}), c});
         s.addConstraint(ck::pointOnCircle, {s.addPoint({20, -1}), arc});
         return s;
     },
     [](const Sketch& s, Id arc) {
         const size_t n = s.points.size();
         EXPECT_NEAR((s.points[n - 2].p - centreOf(s, s.circles[0].id)).length(), s.circles[0].r,
                     tol);
         EXPECT_NEAR((s.points[n - 1].p - centreOf(s, arc)).length(), radiusOf(s, arc), tol);
     }},
    {"tangent to a circle and an arc",
     [](Id& arc) {
         Sketch s;
         const Id a = s.addPoint({-10, 6}), b = s.addPoint({10, 5});
         fix(s, a);
         const Id l = s.addLine(a, b);
         const Id c = addCircle(s, {0, 0}, 4);
         fix(s, s.circles[0].c);
         s.addConstraint(ck::radius, {c}, 4);
         s.addConstraint(ck::tangent, {l, c});
         arc = addArc(s, {0, 20}, {3, 20}, {0, 23});
         s.addConstraint(ck::tangent, {l, arc});
         return s;
     },
     [](const Sketch& s, Id arc) {
         const Id l = s.lines[0].id;
         const V2 a = at(s, s.lines[0].a);
         for (Id curve : {s.circles[0].id, arc})
             EXPECT_NEAR(std::abs(dirOf(s, l).cross(centreOf(s, curve) - a)), radiusOf(s, curve),
                         tol);
     }},
};

TEST(Solve, EveryConstraintKindHoldsAfterSolving) {
    for (const KindCase& k : kindCases) {
        SCOPED_TRACE(k.name);
        Id id = 0;
        Sketch s = k.build(id);
        EXPECT_TRUE(s.solve());
        k.check(s, id);
        EXPECT_TRUE(s.solve());  // a solved sketch stays solved
    }
}

}  // namespace
}  // namespace ivo
