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

bool near(V2 a, V2 b, double tol = 1e-9) {
    return (a - b).length() <= tol;
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
    }
};

std::vector<SLine> linesOn(const Sketch& s, double y) {
    std::vector<SLine> out;
    for (const SLine& l : s.lines)
        if (std::abs(s.pos(l.a)->y - y) < 1e-9 && std::abs(s.pos(l.b)->y - y) < 1e-9)
            out.push_back(l);
    return out;
}

TEST(Trim, TheMiddleOfALineCrossedTwiceLeavesTwoLinesEndingAtNewPointsOnTheCrossings) {
    CrossedLine k;
    k.s.addConstraint(ck::horizontal, {k.line});
    ASSERT_EQ(k.s.pieceRange(k.line, {5, 0.01}), (Sketch::Range{0.3, 0.7}));
    const auto piece = k.s.piecePolyline(k.line, {5, 0});
    ASSERT_EQ(piece.size(), 2u);
    EXPECT_TRUE(near(piece[0], {3, 0}) && near(piece[1], {7, 0}));

    ASSERT_TRUE(k.s.trim(k.line, {5, 0}));
    const auto rest = linesOn(k.s, 0);
    ASSERT_EQ(rest.size(), 2u);
    // The ends went with the line (nothing else used them) and come back under new ids.
    EXPECT_FALSE(k.s.pos(k.a) || k.s.pos(k.b));
    EXPECT_EQ(*k.s.pos(rest[0].a), (V2{0, 0}));
    EXPECT_TRUE(near(*k.s.pos(rest[0].b), {3, 0}));
    EXPECT_TRUE(near(*k.s.pos(rest[1].a), {7, 0}));
    EXPECT_EQ(*k.s.pos(rest[1].b), (V2{10, 0}));
    EXPECT_GT(rest[0].a, k.b);
    EXPECT_TRUE(k.s.constraints.empty());
    EXPECT_EQ(sketchFault(k.s), "");
}

TEST(Trim, AnEndPieceGoesAloneAndAnUncutLineGoesWithItsPoints) {
    CrossedLine k;
    ASSERT_TRUE(k.s.trim(k.line, {1, 0}));
    auto rest = linesOn(k.s, 0);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_TRUE(near(*k.s.pos(rest[0].a), {3, 0}));
    EXPECT_EQ(*k.s.pos(rest[0].b), (V2{10, 0}));
    EXPECT_FALSE(k.s.pos(k.a));
    EXPECT_EQ(k.s.points.size(), 7u);  // the origin, four crossing-line ends, two of this line

    Sketch s;
    const Id lone = addSegment(s, {1, 1}, {4, 1});
    ASSERT_TRUE(s.trim(lone, {2, 1}));
    EXPECT_TRUE(s.lines.empty());
    EXPECT_EQ(s.points.size(), 1u);  // the origin alone
}

// A circle of radius 10 about (20, 20) crossed by a horizontal line through its centre.
struct CutCircle {
    Sketch s;
    Id circle = 0;
    CutCircle() {
        circle = addCircle(s, {20, 20}, 10);
        addSegment(s, {5, 20}, {35, 20});
    }
};

TEST(Trim, APieceOfACircleCutTwiceLeavesTheRestAsAnArcWithTheDiameterAsRadius) {
    CutCircle k;
    k.s.addConstraint(ck::diameter, {k.circle}, 20);
    ASSERT_EQ(k.s.pieceRange(k.circle, {20, 30}), (Sketch::Range{0, pi}));
    ASSERT_TRUE(k.s.trim(k.circle, {20, 30}));
    EXPECT_TRUE(k.s.circles.empty());
    ASSERT_EQ(k.s.arcs.size(), 1u);
    const SArc a = k.s.arcs[0];
    EXPECT_EQ(*k.s.pos(a.c), (V2{20, 20}));
    // Counter-clockwise from the end of the removed top half round to its start.
    EXPECT_TRUE(near(*k.s.pos(a.s), {10, 20}));
    EXPECT_TRUE(near(*k.s.pos(a.e), {30, 20}));
    ASSERT_EQ(k.s.constraints.size(), 1u);
    EXPECT_EQ(k.s.constraints[0].kind, ck::radius);
    EXPECT_EQ(k.s.constraints[0].refs, std::vector<Id>{a.id});
    EXPECT_EQ(k.s.constraints[0].value, 10);
}

TEST(Trim, TheWrappingPieceOfACircleAndAnUncutCircle) {
    CutCircle k;
    // Cuts at 0 and π: the piece below runs from π round to 2π.
    EXPECT_EQ(k.s.pieceRange(k.circle, {20, 10}), (Sketch::Range{pi, 2 * pi}));
    ASSERT_TRUE(k.s.trim(k.circle, {20, 10}));
    ASSERT_EQ(k.s.arcs.size(), 1u);
    EXPECT_TRUE(near(*k.s.pos(k.s.arcs[0].s), {30, 20}));

    Sketch s;
    const Id c = addCircle(s, {3, 3}, 1);
    ASSERT_TRUE(s.trim(c, {4, 3}));
    EXPECT_TRUE(s.circles.empty() && s.arcs.empty());
    EXPECT_EQ(s.points.size(), 1u);
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
        EXPECT_EQ(*s.pos(s.arcs[0].s), (V2{5, 10}));
        EXPECT_EQ(*s.pos(s.arcs[1].e), (V2{-5, 10}));
        EXPECT_TRUE(near(*s.pos(s.arcs[0].e), {2, 10 + std::sqrt(21.0)}));
        ASSERT_EQ(s.constraints.size(), 2u) << kind;
        for (const SConstraint& c : s.constraints) {
            EXPECT_EQ(c.kind, ck::radius);
            EXPECT_EQ(c.value, 5);
        }
        EXPECT_EQ(sketchFault(s), "");
    }
}

TEST(Trim, RefusesWhatIsNotACurveAndPointsThatAreNotNumbers) {
    CrossedLine k;
    const Sketch before = k.s;
    EXPECT_FALSE(k.s.trim(k.a, {0, 0}));
    EXPECT_FALSE(k.s.trim(0, {0, 0}));
    EXPECT_FALSE(k.s.trim(999, {0, 0}));
    // A NaN pick matches no piece; it must not fall back to the whole line.
    EXPECT_FALSE(k.s.trim(k.line, {nan, 0}));
    EXPECT_FALSE(k.s.pieceRange(k.line, {nan, 0}));
    EXPECT_TRUE(k.s.piecePolyline(k.line, {0, nan}).empty());
    EXPECT_TRUE(k.s == before);
}

TEST(Extend, StopsAtTheNearerCrossingOfACircleAndDropsTheLength) {
    Sketch s;
    const Id l = addSegment(s, {1, 0}, {2, 0});
    const Id b = s.line(l)->b;
    addCircle(s, {10, 0}, 3);
    s.addConstraint(ck::length, {l}, 1);
    s.addConstraint(ck::horizontal, {l});
    ASSERT_TRUE(s.extendLine(l, {2.1, 0}));
    EXPECT_EQ(s.line(l)->b, b);
    EXPECT_TRUE(near(*s.pos(b), {7, 0}, 1e-6));
    ASSERT_EQ(s.constraints.size(), 1u);
    EXPECT_EQ(s.constraints[0].kind, ck::horizontal);
}

TEST(Extend, ASharedCornerOrTheOriginGetsANewEndInstead) {
    Sketch s;
    const Id l = addSegment(s, {1, 0}, {2, 0});
    const SLine before = *s.line(l);
    s.addLine(before.b, s.addPoint({2, 5}));
    addSegment(s, {6, -1}, {6, 1});
    ASSERT_TRUE(s.extendLine(l, {2, 0}));
    EXPECT_NE(s.line(l)->b, before.b);
    EXPECT_TRUE(near(*s.pos(s.line(l)->b), {6, 0}));
    EXPECT_TRUE(near(*s.pos(before.b), {2, 0}));

    const Id fromOrigin = s.addLine(0, s.addPoint({-1, 0}));
    addSegment(s, {-4, 1}, {-4, -1});
    ASSERT_TRUE(s.extendLine(fromOrigin, {-3, 0}));   // the far end moves: (-1, 0) → (-4, 0)
    ASSERT_TRUE(s.extendLine(fromOrigin, {0.1, 0}));  // the origin end, up to the corner line
    EXPECT_EQ(*s.pos(0), (V2{0, 0}));
    EXPECT_NE(s.line(fromOrigin)->a, 0);
    EXPECT_TRUE(near(*s.pos(s.line(fromOrigin)->a), {2, 0}));
    EXPECT_TRUE(near(*s.pos(s.line(fromOrigin)->b), {-4, 0}));
}

TEST(Extend, RefusesWhenNothingLiesAheadOrTheLineHasNoDirection) {
    Sketch s;
    const Id l = addSegment(s, {1, 0}, {2, 0});
    addCircle(s, {-10, 0}, 3);  // behind the end nearer to the pick
    const Id dot = addSegment(s, {5, 5}, {5, 5});
    addSegment(s, {4, 4}, {6, 6});
    const Sketch before = s;
    EXPECT_FALSE(s.extendLine(l, {2, 0}));
    EXPECT_FALSE(s.extendLine(dot, {5, 5}));
    EXPECT_FALSE(s.extendLine(l, {nan, nan}));
    EXPECT_FALSE(s.extendLine(s.circles[0].id, {0, 0}));
    EXPECT_TRUE(s == before);
}

TEST(Split, ALineBecomesAChainAtItsCrossingsAndItsConstraintsGo) {
    CrossedLine k;
    k.s.addConstraint(ck::horizontal, {k.line});
    const Id first = k.s.nextId;
    ASSERT_TRUE(k.s.splitEntity(k.line));
    EXPECT_FALSE(k.s.line(k.line));
    EXPECT_TRUE(k.s.constraints.empty());
    // New points at x = 3 and 7, then the three lines in chain order.
    EXPECT_TRUE(near(*k.s.pos(first), {3, 0}) && near(*k.s.pos(first + 1), {7, 0}));
    EXPECT_EQ(*k.s.line(first + 2), (SLine{first + 2, k.a, first, false}));
    EXPECT_EQ(*k.s.line(first + 3), (SLine{first + 3, first, first + 1, false}));
    EXPECT_EQ(*k.s.line(first + 4), (SLine{first + 4, first + 1, k.b, false}));
}

TEST(Split, ACircleNeedsTwoCutsAndBecomesArcsGoingRound) {
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
    EXPECT_TRUE(s.circles.empty());
    ASSERT_EQ(s.arcs.size(), 4u);
    double turn = 0;
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(s.arcs[i].e, s.arcs[(i + 1) % 4].s);
        turn += s.curve(s.arcs[i].id)->sweep;
    }
    EXPECT_NEAR(turn, 2 * pi, 1e-9);
    EXPECT_TRUE(s.constraints.empty());
}

TEST(Delete, APointTakesItsCurvesAndConstraintsAndTheOrphansGo) {
    Sketch s;
    const auto sides = addPolygon(s, {{1, 1}, {4, 1}, {4, 4}});
    const Id corner = s.line(sides[0])->b;
    const Id opposite = s.line(sides[2])->a;
    s.addConstraint(ck::distance, {corner, 0}, 3);
    s.addConstraint(ck::horizontal, {sides[0]});
    s.addConstraint(ck::length, {sides[2]}, 4);
    ASSERT_TRUE(s.deleteEntity(corner));
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(s.lines[0].id, sides[2]);
    EXPECT_EQ(s.points.size(), 3u);  // the origin and the two ends of the last side
    ASSERT_EQ(s.constraints.size(), 1u);
    EXPECT_EQ(s.constraints[0].kind, ck::length);

    ASSERT_TRUE(s.deleteEntity(s.constraints[0].id));
    EXPECT_TRUE(s.constraints.empty());
    ASSERT_TRUE(s.deleteEntity(sides[2]));
    EXPECT_EQ(s.points.size(), 1u);
    EXPECT_FALSE(s.pos(opposite));
}

TEST(Delete, TheOriginAndUnknownIdsChangeNothingAndFreePointsSurvive) {
    Sketch s;
    const Id l = s.addLine(0, s.addPoint({1, 0}));
    s.addConstraint(ck::distance, {0, s.line(l)->b}, 1);
    const Id free = s.addPoint({5, 5});
    s.freePoints = std::vector<Id>{free};
    s.addPoint({6, 6});  // an orphan, left for an explicit clean-up
    const Sketch before = s;
    EXPECT_FALSE(s.deleteEntity(0));
    EXPECT_FALSE(s.deleteEntity(12345));
    EXPECT_TRUE(s == before);

    s.removeOrphans();
    EXPECT_TRUE(s.pos(free));
    EXPECT_EQ(s.points.size(), 3u);
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
    ASSERT_TRUE(s.mergePoints(p, q));
    EXPECT_FALSE(s.pos(q));
    EXPECT_TRUE(s.points[*s.pointIndex(p)].fixed);
    EXPECT_EQ(*s.pos(p), (V2{1, 1}));  // the caller solves
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

TEST(Merge, RefusesEqualIdsAndIdsThatAreNotPoints) {
    Sketch s;
    const Id l = addSegment(s, {1, 1}, {2, 2});
    const Sketch before = s;
    EXPECT_FALSE(s.mergePoints(s.line(l)->a, s.line(l)->a));
    EXPECT_FALSE(s.mergePoints(s.line(l)->a, 999));
    EXPECT_FALSE(s.mergePoints(999, s.line(l)->a));  // would leave the line on a missing point
    EXPECT_FALSE(s.mergePoints(l, 0));
    EXPECT_TRUE(s == before);
}

}  // namespace
}  // namespace ivo
