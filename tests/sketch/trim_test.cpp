// Trimming, extending, splitting, deleting and merging on small sketches with known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "support/sketch_builder.h"
#include "support/sketch_invariants.h"

namespace ivo {
namespace {

using namespace ivo::testing;
constexpr double pi = std::numbers::pi;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

bool near(std::optional<V2> a, V2 b, double tol = 1e-9) {
    return a && (*a - b).length() <= tol;
}

// A horizontal line (0, 0)–(10, 0) on its own points, crossed by vertical lines at x = 3
// and x = 7.
struct CrossedLine {
    Sketch s;
    Id line = 0, a = 0, b = 0;
    CrossedLine() {
        line = addSegment(s, {0, 0}, {10, 0});
        a = s.line(line)->a;
        b = s.line(line)->b;
        addSegment(s, {3, -1}, {3, 1});
        addSegment(s, {7, -1}, {7, 1});
        s.addConstraint(ck::horizontal, {line});
    }
};

TEST(Trim, PiecesOfALineGoAndTheRestEndsOnNewPointsAtTheCrossings) {
    CrossedLine k;
    ASSERT_EQ(k.s.pieceRange(k.line, {5, 0.01}), (Sketch::Range{0.3, 0.7}));
    const auto piece = k.s.piecePolyline(k.line, {5, 0});
    ASSERT_EQ(piece.size(), 2u);
    EXPECT_TRUE(near(piece[0], {3, 0}) && near(piece[1], {7, 0}));
    ASSERT_TRUE(k.s.trim(k.line, {5, 0}));
    // The ends went with the line (nothing else used them) and come back under new ids.
    ASSERT_EQ(k.s.lines.size(), 4u);
    const SLine left = k.s.lines[2], right = k.s.lines[3];
    EXPECT_FALSE(k.s.pos(k.a) || k.s.pos(k.b));
    EXPECT_GT(left.a, k.b);
    EXPECT_EQ(*k.s.pos(left.a), V2(0, 0));
    EXPECT_TRUE(near(k.s.pos(left.b), {3, 0}) && near(k.s.pos(right.a), {7, 0}));
    EXPECT_EQ(*k.s.pos(right.b), V2(10, 0));
    EXPECT_TRUE(k.s.constraints.empty());
    CrossedLine e;  // an end piece goes alone
    ASSERT_TRUE(e.s.trim(e.line, {1, 0}));
    const SLine rest = e.s.lines.back();
    EXPECT_TRUE(near(e.s.pos(rest.a), {3, 0}) && near(e.s.pos(rest.b), {10, 0}));
    EXPECT_FALSE(e.s.pos(e.a));
    EXPECT_EQ(e.s.points.size(), 7u);  // the origin, four crossing-line ends, two of this line
    Sketch lone;                       // an uncut line goes with its points
    ASSERT_TRUE(lone.trim(addSegment(lone, {1, 1}, {4, 1}), {2, 1}));
    EXPECT_TRUE(lone.lines.empty() && lone.points.size() == 1u);

    // A NaN pick matches no piece; it must not fall back to the whole line.
    CrossedLine n;
    const Sketch before = n.s;
    EXPECT_FALSE(n.s.trim(n.line, {nan, 0}));
    EXPECT_FALSE(n.s.pieceRange(n.line, {nan, 0}));
    EXPECT_TRUE(n.s.piecePolyline(n.line, {0, nan}).empty());
    EXPECT_FALSE(n.s.trim(n.a, {0, 0}) || n.s.trim(0, {0, 0}) || n.s.trim(999, {0, 0}));
    EXPECT_TRUE(n.s == before);
}

TEST(Trim, ACircleCutTwiceLeavesACounterClockwiseArcWithItsDiameterAsRadius) {
    // Cuts at 0 and π: the piece below runs from π round to 2π.
    struct Piece {
        V2 pick;
        Sketch::Range range;
        double startX, endX;
    };
    for (const Piece& p :
         {Piece{{20, 30}, {0, pi}, 10, 30}, Piece{{20, 10}, {pi, 2 * pi}, 30, 10}}) {
        Sketch s;
        const Id circle = addCircle(s, {20, 20}, 10);
        addSegment(s, {5, 20}, {35, 20});
        s.addConstraint(ck::diameter, {circle}, 20);
        EXPECT_EQ(s.pieceRange(circle, p.pick), p.range);
        ASSERT_TRUE(s.trim(circle, p.pick));
        ASSERT_TRUE(s.circles.empty() && s.arcs.size() == 1u);
        const SArc a = s.arcs[0];
        EXPECT_EQ(*s.pos(a.c), V2(20, 20));
        // From the end of the removed piece round to its start.
        EXPECT_TRUE(near(s.pos(a.s), {p.startX, 20}) && near(s.pos(a.e), {p.endX, 20}));
        ASSERT_EQ(s.constraints.size(), 1u);
        EXPECT_EQ(s.constraints[0], (SConstraint{s.constraints[0].id, ck::radius, {a.id}, 10}));
    }
    Sketch s;
    ASSERT_TRUE(s.trim(addCircle(s, {3, 3}, 1), {4, 3}));  // uncut: it goes
    EXPECT_TRUE(s.circles.empty() && s.arcs.empty() && s.points.size() == 1u);
}

TEST(Trim, AnArcKeepsBothOuterPiecesAndCarriesItsRadiusOrDiameter) {
    for (const char* kind : {ck::radius, ck::diameter}) {
        Sketch s;
        const Id arc = addArc(s, {0, 10}, {5, 10}, {-5, 10});  // upper half, radius 5
        addSegment(s, {-2, 9}, {-2, 20});
        addSegment(s, {2, 9}, {2, 20});
        s.addConstraint(kind, {arc}, kind == ck::radius ? 5.0 : 10.0);
        ASSERT_TRUE(s.trim(arc, {0, 15}));
        ASSERT_EQ(s.arcs.size(), 2u) << kind;
        EXPECT_EQ(s.arcs[0].c, s.arcs[1].c);
        EXPECT_EQ(*s.pos(s.arcs[0].s), V2(5, 10));
        EXPECT_EQ(*s.pos(s.arcs[1].e), V2(-5, 10));
        EXPECT_TRUE(near(s.pos(s.arcs[0].e), {2, 10 + std::sqrt(21.0)}));
        ASSERT_EQ(s.constraints.size(), 2u) << kind;
        for (const SConstraint& c : s.constraints)
            EXPECT_TRUE(c.kind == ck::radius && c.value == 5) << kind;
        EXPECT_EQ(sketchFault(s), "");
    }
}

TEST(Extend, StopsAtTheNearerCrossingAndGivesSharedEndsAndTheOriginANewPoint) {
    Sketch s;
    const Id l = addSegment(s, {1, 0}, {2, 0});
    const Id b = s.line(l)->b;
    addCircle(s, {10, 0}, 3);
    s.addConstraint(ck::length, {l}, 1);
    s.addConstraint(ck::horizontal, {l});
    ASSERT_TRUE(s.extendLine(l, {2.1, 0}));
    EXPECT_EQ(s.line(l)->b, b);
    EXPECT_TRUE(near(s.pos(b), {7, 0}, 1e-6));
    ASSERT_EQ(s.constraints.size(), 1u);  // the length went
    EXPECT_EQ(s.constraints[0].kind, ck::horizontal);

    Sketch t;
    const Id m = addSegment(t, {1, 0}, {2, 0});
    const SLine before = *t.line(m);
    t.addLine(before.b, t.addPoint({2, 5}));
    addSegment(t, {6, -1}, {6, 1});
    ASSERT_TRUE(t.extendLine(m, {2, 0}));
    EXPECT_NE(t.line(m)->b, before.b);
    EXPECT_TRUE(near(t.pos(t.line(m)->b), {6, 0}) && near(t.pos(before.b), {2, 0}));
    const Id fromOrigin = t.addLine(0, t.addPoint({-1, 0}));
    addSegment(t, {-4, 1}, {-4, -1});
    ASSERT_TRUE(t.extendLine(fromOrigin, {-3, 0}));   // the far end moves: (-1, 0) → (-4, 0)
    ASSERT_TRUE(t.extendLine(fromOrigin, {0.1, 0}));  // the origin end, up to the corner line
    EXPECT_EQ(*t.pos(0), V2(0, 0));
    EXPECT_NE(t.line(fromOrigin)->a, 0);
    EXPECT_TRUE(near(t.pos(t.line(fromOrigin)->a), {2, 0}));
    EXPECT_TRUE(near(t.pos(t.line(fromOrigin)->b), {-4, 0}));

    Sketch u;  // nothing ahead, a line without direction, a pick that is not a number
    const Id n = addSegment(u, {1, 0}, {2, 0}), dot = addSegment(u, {5, 5}, {5, 5});
    addCircle(u, {-10, 0}, 3);  // behind the end nearer to the pick
    addSegment(u, {4, 4}, {6, 6});
    const Sketch unchanged = u;
    EXPECT_FALSE(u.extendLine(n, {2, 0}) || u.extendLine(dot, {5, 5}) ||
                 u.extendLine(n, {nan, nan}) || u.extendLine(u.circles[0].id, {0, 0}));
    EXPECT_TRUE(u == unchanged);
}

TEST(Split, LinesBecomeChainsAndCirclesNeedTwoCutsToBecomeArcsGoingRound) {
    CrossedLine k;
    const Id first = k.s.nextId;
    ASSERT_TRUE(k.s.splitEntity(k.line));
    EXPECT_FALSE(k.s.line(k.line));
    EXPECT_TRUE(k.s.constraints.empty());
    // New points at x = 3 and 7, then the three lines in chain order.
    EXPECT_TRUE(near(k.s.pos(first), {3, 0}) && near(k.s.pos(first + 1), {7, 0}));
    EXPECT_EQ(*k.s.line(first + 2), (SLine{first + 2, k.a, first, false}));
    EXPECT_EQ(*k.s.line(first + 3), (SLine{first + 3, first, first + 1, false}));
    EXPECT_EQ(*k.s.line(first + 4), (SLine{first + 4, first + 1, k.b, false}));

    Sketch s;
    const Id c = addCircle(s, {0, 10}, 2);
    const Id tangent = addSegment(s, {-5, 12}, {5, 12});
    const Sketch once = s;
    EXPECT_FALSE(s.splitEntity(c));
    EXPECT_TRUE(s == once);
    s.deleteEntity(tangent);
    addSegment(s, {-5, 10}, {5, 10});
    addSegment(s, {0, 5}, {0, 15}, true);  // construction geometry cuts here
    s.addConstraint(ck::radius, {c}, 2);
    ASSERT_TRUE(s.splitEntity(c));
    ASSERT_TRUE(s.circles.empty() && s.constraints.empty() && s.arcs.size() == 4u);
    double turn = 0;
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(s.arcs[i].e, s.arcs[(i + 1) % 4].s);
        turn += s.curve(s.arcs[i].id)->sweep;
    }
    EXPECT_NEAR(turn, 2 * pi, 1e-9);
}

TEST(Delete, APointTakesItsCurvesAndConstraintsButNotTheOriginOrFreePoints) {
    Sketch s;
    const auto sides = addPolygon(s, {{1, 1}, {4, 1}, {4, 4}});
    const Id corner = s.line(sides[0])->b;
    s.addConstraint(ck::distance, {corner, 0}, 3);
    s.addConstraint(ck::horizontal, {sides[0]});
    s.addConstraint(ck::length, {sides[2]}, 4);
    const Id free = s.addPoint({5, 5});
    s.freePoints = std::vector<Id>{free};
    const Sketch before = s;
    EXPECT_FALSE(s.deleteEntity(0) || s.deleteEntity(12345));
    EXPECT_TRUE(s == before);
    ASSERT_TRUE(s.deleteEntity(corner));
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(s.lines[0].id, sides[2]);
    EXPECT_EQ(s.points.size(), 4u);  // the origin, the last side's ends, the free point
    ASSERT_EQ(s.constraints.size(), 1u);
    EXPECT_EQ(s.constraints[0].kind, ck::length);
    ASSERT_TRUE(s.deleteEntity(s.constraints[0].id));
    ASSERT_TRUE(s.deleteEntity(sides[2]));
    EXPECT_TRUE(s.constraints.empty());
    EXPECT_EQ(s.points.size(), 2u);
    ASSERT_TRUE(s.deleteEntity(free));
    EXPECT_TRUE(s.freePoints->empty());
}

TEST(Merge, TheOriginSurvivesAndCollapsedLinesAndDistancesGo) {
    Sketch s;
    const Id p = s.addPoint({1, 1}), q = s.addPoint({2, 2}), r = s.addPoint({3, 0});
    const Id pq = s.addLine(p, q), qr = s.addLine(q, r);
    s.addConstraint(ck::length, {pq}, 2);
    s.addConstraint(ck::distance, {p, q}, 1);
    s.addConstraint(ck::distance, {p, r}, 5);
    s.points[*s.pointIndex(q)].fixed = true;
    s.freePoints = std::vector<Id>{q};
    const Sketch before = s;
    // Equal ids and ids that are not points (which would leave a line on a missing point).
    EXPECT_FALSE(s.mergePoints(p, p) || s.mergePoints(p, 999) || s.mergePoints(999, p) ||
                 s.mergePoints(pq, 0));
    EXPECT_TRUE(s == before);
    ASSERT_TRUE(s.mergePoints(p, q));
    EXPECT_FALSE(s.pos(q));
    EXPECT_TRUE(s.points[*s.pointIndex(p)].fixed);
    EXPECT_EQ(*s.pos(p), V2(1, 1));  // the caller solves
    EXPECT_FALSE(s.line(pq));
    EXPECT_EQ(s.line(qr)->a, p);
    ASSERT_EQ(s.constraints.size(), 1u);
    EXPECT_EQ(s.constraints[0].refs, (std::vector<Id>{p, r}));
    EXPECT_TRUE(s.freePoints->empty());
    ASSERT_TRUE(s.mergePoints(r, 0));
    EXPECT_FALSE(s.pos(r));
    EXPECT_EQ(s.line(qr)->b, 0);
    EXPECT_EQ(s.constraints[0].refs, (std::vector<Id>{p, 0}));
    EXPECT_EQ(sketchFault(s), "");
}

}  // namespace
}  // namespace ivo
