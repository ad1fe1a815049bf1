// Editing operations on small sketches with known answers and the arguments they refuse, and
// random sequences of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "support/shapes.h"
#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;

bool near(std::optional<V2> a, V2 b, double tol = 1e-9) {
    return a && (*a - b).length() <= tol;
}

// A horizontal line (0, 0)–(10, 0) on its own points, crossed by vertical lines at x = 3 and 7.
struct CrossedLine {
    Sketch s;
    Id line = addSegment(s, {0, 0}, {10, 0}), a = s.lines[0].a, b = s.lines[0].b;
    CrossedLine() {
        addSegment(s, {3, -1}, {3, 1});
        addSegment(s, {7, -1}, {7, 1});
        s.addConstraint(ck::horizontal, {line});
    }
};

TEST(Trim, PiecesGoTheRestEndsOnTheCrossingsAndRoundCurvesLeaveArcsWithTheirRadius) {
    CrossedLine k;
    EXPECT_EQ(k.s.pieceRange(k.line, {5, 0.01}), (Sketch::Range{0.3, 0.7}));
    ASSERT_TRUE(k.s.trim(k.line, {5, 0}));
    // The ends went with the line (nothing else used them) and come back under new ids.
    ASSERT_EQ(k.s.lines.size(), 4u);
    const SLine left = k.s.lines[2], right = k.s.lines[3];
    EXPECT_TRUE(!k.s.pos(k.a) && !k.s.pos(k.b) && left.a > k.b && k.s.constraints.empty());
    EXPECT_TRUE(*k.s.pos(left.a) == V2(0, 0) && near(k.s.pos(left.b), {3, 0}));
    EXPECT_TRUE(near(k.s.pos(right.a), {7, 0}) && *k.s.pos(right.b) == V2(10, 0));
    // A circle cut at 0 and π: what remains runs counter-clockwise from the end of the removed
    // piece to its start, and the diameter 20 becomes a radius 10.
    Sketch s;
    const Id circle = addCircle(s, {20, 20}, 10);
    addSegment(s, {5, 20}, {35, 20});
    s.addConstraint(ck::diameter, {circle}, 20);
    EXPECT_EQ(s.pieceRange(circle, {20, 30}), (Sketch::Range{0, pi}));
    ASSERT_TRUE(s.trim(circle, {20, 30}));
    ASSERT_TRUE(s.circles.empty() && s.arcs.size() == 1u);
    const SArc a = s.arcs[0];
    EXPECT_TRUE(*s.pos(a.c) == V2(20, 20) && near(s.pos(a.s), {10, 20}) &&
                near(s.pos(a.e), {30, 20}));
    EXPECT_EQ(s.constraints, (std::vector<SConstraint>{{s.nextId - 1, ck::radius, {a.id}, 10}}));
    for (const char* kind : {ck::radius, ck::diameter}) {  // an arc keeps both outer pieces
        Sketch t;
        const Id arc = addArc(t, {0, 10}, {5, 10}, {-5, 10});
        addSegment(t, {-2, 9}, {-2, 20});
        addSegment(t, {2, 9}, {2, 20});
        t.addConstraint(kind, {arc}, kind == ck::radius ? 5.0 : 10.0);
        ASSERT_TRUE(t.trim(arc, {0, 15}) && t.arcs.size() == 2u && t.constraints.size() == 2u);
        EXPECT_TRUE(t.arcs[0].c == t.arcs[1].c && *t.pos(t.arcs[0].s) == V2(5, 10) &&
                    *t.pos(t.arcs[1].e) == V2(-5, 10) &&
                    near(t.pos(t.arcs[0].e), {2, 10 + std::sqrt(21.0)}));
        for (const SConstraint& c : t.constraints)
            EXPECT_TRUE(c.kind == ck::radius && c.value == 5) << kind;
    }
}

TEST(ExtendAndSplit, ExtendStopsAtTheNearerCrossingAndSplitMakesChains) {
    Sketch s;
    const Id l = addSegment(s, {1, 0}, {2, 0}), b = s.lines[0].b;
    addCircle(s, {10, 0}, 3);
    s.addConstraint(ck::length, {l}, 1);
    s.addConstraint(ck::horizontal, {l});
    ASSERT_TRUE(s.extendLine(l, {2.1, 0}));
    EXPECT_TRUE(s.line(l)->b == b && near(s.pos(b), {7, 0}, 1e-6));
    ASSERT_EQ(s.constraints.size(), 1u);  // the length went
    EXPECT_EQ(s.constraints[0].kind, ck::horizontal);
    // A shared end stays where it is and the extended line gets a new one.
    Sketch t;
    const Id m = addSegment(t, {1, 0}, {2, 0}), shared = t.lines[0].b;
    t.addLine(shared, t.addPoint({2, 5}));
    addSegment(t, {6, -1}, {6, 1});
    ASSERT_TRUE(t.extendLine(m, {2, 0}));
    EXPECT_TRUE(t.line(m)->b != shared && near(t.pos(t.line(m)->b), {6, 0}) &&
                near(t.pos(shared), {2, 0}));

    CrossedLine k;
    const Id p = k.s.nextId;
    ASSERT_TRUE(k.s.splitEntity(k.line));
    EXPECT_TRUE(!k.s.line(k.line) && k.s.constraints.empty());
    // New points at x = 3 and 7, then the three lines in chain order.
    EXPECT_TRUE(near(k.s.pos(p), {3, 0}) && near(k.s.pos(p + 1), {7, 0}));
    EXPECT_EQ(std::vector<SLine>(k.s.lines.begin() + 2, k.s.lines.end()),
              (std::vector<SLine>{{p + 2, k.a, p}, {p + 3, p, p + 1}, {p + 4, p + 1, k.b}}));
}

TEST(DeleteAndMerge, ReferencesFollowAndWhatCollapsesGoes) {
    Sketch s;
    const auto sides = addPolygon(s, {{1, 1}, {4, 1}, {4, 4}});
    const Id corner = s.lines[0].b, free = s.addPoint({5, 5});
    s.addConstraint(ck::distance, {corner, 0}, 3);
    s.addConstraint(ck::horizontal, {sides[0]});
    s.addConstraint(ck::length, {sides[2]}, 4);
    s.freePoints = std::vector<Id>{free};
    const SLine last = s.lines[2];
    ASSERT_TRUE(s.deleteEntity(corner));  // a point takes its curves and their constraints
    EXPECT_EQ(s.lines, std::vector<SLine>{last});
    EXPECT_EQ(s.points.size(), 4u);  // the origin, the last side's ends, the free point
    ASSERT_TRUE(s.constraints.size() == 1u && s.constraints[0].kind == ck::length);
    ASSERT_TRUE(s.deleteEntity(s.constraints[0].id) && s.deleteEntity(sides[2]) &&
                s.deleteEntity(free));
    EXPECT_TRUE(s.constraints.empty() && s.points.size() == 1u && s.freePoints->empty());

    Sketch m;
    const Id p = m.addPoint({1, 1}), q = m.addPoint({2, 2}), r = m.addPoint({3, 0});
    const Id pq = m.addLine(p, q), qr = m.addLine(q, r);
    m.addConstraint(ck::length, {pq}, 2);
    m.addConstraint(ck::distance, {p, q}, 1);
    m.addConstraint(ck::distance, {p, r}, 5);
    m.points[2].fixed = true;
    m.freePoints = std::vector<Id>{q};
    ASSERT_TRUE(m.mergePoints(p, q));
    EXPECT_EQ(m.points[1], (SPoint{p, {1, 1}, true}));  // fixed now; the caller solves
    EXPECT_TRUE(!m.pos(q) && !m.line(pq) && m.line(qr)->a == p && m.freePoints->empty());
    ASSERT_EQ(m.constraints.size(), 1u);
    EXPECT_EQ(m.constraints[0].refs, (std::vector<Id>{p, r}));
    ASSERT_TRUE(m.mergePoints(r, 0));  // the origin survives
    EXPECT_TRUE(!m.pos(r) && m.line(qr)->b == 0);
    EXPECT_EQ(m.constraints[0].refs, (std::vector<Id>{p, 0}));
}

// Two lines of length 10 meeting at a right angle at (10, 10).
struct RightCorner {
    Sketch s;
    Id corner = s.addPoint({10, 10}), along = s.addLine(s.addPoint({20, 10}), corner);
    RightCorner() { s.addLine(corner, s.addPoint({10, 20})); }
};

TEST(Corner, FilletAndChamferOfARightAngleKeepingUsedCornerPoints) {
    RightCorner k, c;
    k.s.addConstraint(ck::distance, {k.corner, 0}, 10 * std::sqrt(2.0));
    ASSERT_TRUE(k.s.filletCorner(k.corner, 2));
    EXPECT_TRUE(!k.s.pos(k.corner) && near(k.s.pos(k.s.lines[0].b), {12, 10}, 1e-6) &&
                near(k.s.pos(k.s.lines[1].a), {10, 12}, 1e-6));
    ASSERT_EQ(k.s.arcs.size(), 1u);
    const Curve arc = *k.s.curve(k.s.arcs[0].id);  // turning the short way round
    EXPECT_NEAR((arc.c - V2{10, 10}).length(), 2 * std::sqrt(2.0), 1e-6);
    EXPECT_TRUE(std::abs(arc.r - 2) < 1e-6 && std::abs(arc.sweep - pi / 2) < 1e-6);
    ASSERT_EQ(k.s.constraints.size(), 3u);  // the distance named the corner point
    for (const auto& [c, kind] : {std::pair{0, ck::tangent}, {1, ck::tangent}, {2, ck::radius}})
        EXPECT_EQ(k.s.constraints[c].kind, kind);

    ASSERT_TRUE(c.s.chamferCorner(c.corner, 3));
    ASSERT_TRUE(!c.s.pos(c.corner) && c.s.lines.size() == 3u && c.s.constraints.empty());
    const Curve cut = *c.s.curve(c.s.lines[2].id);
    EXPECT_NEAR((cut.b - cut.a).length(), 3 * std::sqrt(2.0), 1e-9);
    // A corner point that carries a circle, or is a free point, stays.
    RightCorner withCircle, loose;
    withCircle.s.circles.push_back({withCircle.s.newId(), withCircle.corner, 1, false});
    loose.s.freePoints = std::vector<Id>{loose.corner};
    for (Sketch* s : {&withCircle.s, &loose.s}) {
        ASSERT_TRUE(s->filletCorner(loose.corner, 2));
        EXPECT_TRUE(s->pos(loose.corner) && sketchFault(*s).empty());
    }
}

TEST(Offset, ChainsKeepTheirSidesAtTheDistanceAndCirclesTheirCentre) {
    Sketch r;
    const auto sides = addPolygon(r, rect(0, 0, 10, 6));
    ASSERT_TRUE(r.offsetEntity(sides[1], 1));
    ASSERT_EQ(r.lines.size(), 8u);
    Loop grown;
    for (size_t i = 5; i < r.points.size(); ++i)
        grown.push_back(r.points[i].p);
    EXPECT_NEAR(std::abs(polyArea(grown)), 12 * 8, 1e-9);
    for (V2 p : grown)  // on the outline of [-1, 11] × [-1, 7]
        EXPECT_NEAR(std::max(std::abs(p.x - 5) - 6, std::abs(p.y - 3) - 4), 0, 1e-9);
    EXPECT_TRUE(r.offsetEntity(sides[0], -2.9));  // inwards, as far as it goes
    Sketch s;  // an open L, offset to the left of travel: inside, with a mitred corner
    const Id b = s.addPoint({10, 0}), first = s.addLine(s.addPoint({0, 0}), b);
    s.addLine(b, s.addPoint({10, 10}));
    ASSERT_TRUE(s.offsetEntity(first, 1));
    ASSERT_TRUE(s.points.size() == 7u && s.constraints.empty());
    EXPECT_TRUE(near(s.points[4].p, {0, 1}, 1e-12) && near(s.points[5].p, {9, 1}, 1e-12) &&
                near(s.points[6].p, {9, 10}, 1e-12));
    const Id c = addCircle(s, {3, 3}, 5);
    ASSERT_TRUE(s.offsetEntity(c, -4));
    EXPECT_EQ(s.circles.back(), (SCircle{s.nextId - 1, s.circle(c)->c, 1, false}));
}

TEST(Copy, CopiesMirrorImagesAndPatternsShareCoincidentPoints) {
    Sketch s;
    const Id p = s.addPoint({1, 1});
    EXPECT_TRUE(s.pointAt({1 + 5e-7, 1}) == p && s.pointAt({0, 0}) == 0);
    // The lines of a corner mirrored one after the other share the mirrored corner.
    const Id l1 = s.addLine(s.addPoint({1, 3}), p), l2 = s.addLine(p, s.addPoint({3, 1}));
    const Id axis = s.addLine(0, s.addPoint({0, 5}));  // the y axis, through the origin
    ASSERT_TRUE(s.mirrorEntity(l1, axis) && s.mirrorEntity(l2, axis));
    EXPECT_TRUE(s.lines[3].b == s.lines[4].a && near(s.pos(s.lines[3].b), {-1, 1}));
    // A mirrored arc still runs counter-clockwise: the image of its end is its start.
    const Id arc = addArc(s, {10, 10}, {11, 10}, {10, 11});
    ASSERT_TRUE(s.mirrorEntity(arc, addSegment(s, {15, 0}, {15, 20})));
    const SArc m = s.arcs.back();
    EXPECT_TRUE(near(s.pos(m.c), {20, 10}) && near(s.pos(m.s), {20, 11}) &&
                near(s.pos(m.e), {19, 10}));
    EXPECT_NEAR(s.curve(m.id)->sweep, pi / 2, 1e-12);
    // Copies of connected curves stay connected.
    const auto sides = addPolygon(s, rect(0, 0, 2, 1));
    const auto copies = s.copyEntities(sides, false, [](V2 q) { return q + V2{0, 5}; });
    ASSERT_EQ(copies.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(s.line(copies[i])->b, s.line(copies[(i + 1) % 4])->a);

    Sketch t;
    const Id c = addCircle(t, {10, 0}, 1);
    ASSERT_TRUE(t.circularPattern(c, 0, 4) && t.circles.size() == 4u);
    EXPECT_TRUE(near(t.pos(t.circles[1].c), {0, 10}) && near(t.pos(t.circles[2].c), {-10, 0}) &&
                near(t.pos(t.circles[3].c), {0, -10}));
    const Id l = addSegment(t, {0, 1}, {1, 1});
    ASSERT_TRUE(t.rectPattern(l, 3, 5, 1, 0) && t.lines.size() == 3u);
    EXPECT_TRUE(near(t.pos(t.lines[1].a), {5, 1}) && near(t.pos(t.lines[2].a), {10, 1}));
}

TEST(Move, ConnectedCurvesMoveButNotFixedPointsAndDistancesToUnmovedPointsGo) {
    Sketch s;
    const auto sides = addPolygon(s, rect(0, 0, 4, 3));
    s.lines[0].a = s.lines[3].b = 0;  // the rectangle's first corner is the origin
    s.removeOrphans();
    const Id touching = s.addLine(0, s.addPoint({-2, -2}));
    const Id arc = addArc(s, {10, 10}, {11, 10}, {10, 11});
    s.addLine(s.arc(arc)->s, s.line(sides[1])->b);
    // Four sides, the bridge and the arc, but not what touches them only at the origin.
    const auto comp = s.connectedComponent(sides[2]);
    EXPECT_TRUE(comp.size() == 6u && comp.back() == arc &&
                !std::count(comp.begin(), comp.end(), touching));
    EXPECT_TRUE(s.connectedComponent(0).empty());

    const Id l = addSegment(s, {1, 0}, {2, 0}), a = s.lines.back().a, b = s.lines.back().b;
    const Id other = s.addPoint({5, 5});
    s.points[*s.pointIndex(a)].fixed = true;
    s.addConstraint(ck::distance, {b, other}, 3);
    s.addConstraint(ck::distance, {a, b}, 1);
    ASSERT_TRUE(s.moveEntities({l}, {0, 2}));
    EXPECT_TRUE(*s.pos(a) == V2(1, 0) && *s.pos(b) == V2(2, 2) && s.constraints.size() == 1u &&
                s.constraints[0].refs == (std::vector<Id>{a, b}));
}

// Wrong kinds, degenerate geometry and senseless sizes are refused, changing nothing.
TEST(BadInput, EveryOperationRefusesAndChangesNothing) {
    Sketch s;
    const auto sides = addPolygon(s, rect(0, 0, 10, 6));  // corner (10, 0): legs 10 and 6
    const Id corner = s.lines[0].b, circle = addCircle(s, {30, 3}, 5);
    const Id dot = addSegment(s, {50, 0}, {50, 1e-7}), joint = s.addPoint({70, 20});
    for (V2 q : {V2{71, 20}, V2{70, 21}, V2{69, 19}})  // three lines meet
        s.addLine(joint, s.addPoint(q));
    const Id leg = addSegment(s, {20, 20}, {22, 20}), legEnd = s.lines.back().b;
    s.addLine(legEnd, s.addPoint({22, 30}));  // an L whose first leg is 2 mm
    addArc(s, {40, 20}, {42, 20}, {40, 22});
    const Sketch before = s;
    auto refused = [&](bool applied, const char* what) {
        EXPECT_FALSE(applied) << what;
        EXPECT_TRUE(s == before) << what;
        s = before;
    };
    refused(s.extendLine(circle, {0, 0}), "extend a circle");
    refused(s.extendLine(leg, {20, 20}), "extend with the arc behind and nothing ahead");
    refused(s.splitEntity(circle), "split a whole circle");
    refused(s.mergePoints(sides[0], 0), "merge a line");  // would leave lines on no point
    refused(s.filletCorner(corner, 6), "fillet of 6 on a 6 mm leg");
    refused(s.filletCorner(joint, 1), "fillet of three lines");
    refused(s.offsetEntity(sides[0], -4), "offset turning the rectangle inside out");
    refused(s.offsetEntity(leg, 3), "offset running a leg backwards");
    refused(s.offsetEntity(circle, -5), "offset of a circle to nothing");
    refused(s.mirrorEntity(leg, leg), "mirror across itself");
    // Nothing is left behind, not even the point found or made for the first end.
    refused(s.copyEntity(dot, false, [](V2 q) { return q + V2{10, 0}; }).has_value(), "copy a dot");
    refused(s.rectPattern(leg, 51, 2, 50, 2), "pattern of 51 × 50, one row too many");
    refused(s.rectPattern(leg, 65536, 2, 65536, 2), "pattern whose count overflows an int");
}

// Random edits keep the sketch consistent; unknown ids, the origin, huge counts and numbers
// out of reach are refused, and refusals change nothing.
constexpr int intMax = std::numeric_limits<int>::max(), intMin = std::numeric_limits<int>::min();

struct Fuzzer {
    std::mt19937 rng;
    Sketch s;
    bool odd = false;  // a number out of reach was handed out

    int roll(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    bool chance(int percent) { return roll(100) < percent; }
    double unit() { return std::uniform_real_distribution<double>(0, 1)(rng); }
    V2 gridPoint() { return {0.5 * roll(13), 0.5 * roll(13)}; }
    // An id of `records` most of the time; otherwise any id at all: a point, a curve, a
    // constraint, the origin, or one that names nothing.
    template <class T>
    Id pick(const std::vector<T>& records) {
        if (!records.empty() && chance(90)) return records[roll(int(records.size()))].id;
        std::vector<Id> any = s.allEntities();
        for (const SPoint& p : s.points)
            any.push_back(p.id);
        for (const SConstraint& c : s.constraints)
            any.push_back(c.id);
        any.insert(any.end(), {0, s.nextId + roll(3), -1 - roll(3)});
        return any[roll(int(any.size()))];
    }
    Id curveId() {
        const auto all = s.allEntities();
        return all.empty() || chance(10) ? pick(s.constraints) : all[roll(int(all.size()))];
    }
    // A corner-like point: an end of some line, most of the time.
    Id cornerId() {
        if (s.lines.empty() || chance(20)) return pick(s.points);
        const SLine& l = s.lines[roll(int(s.lines.size()))];
        return chance(50) ? l.a : l.b;
    }
    V2 oddPoint() {
        odd = true;
        return std::array{V2{nan, 1}, V2{inf, -inf}, V2{2e9, 0}}[roll(3)];
    }
    // A point on a random curve (where pieces are picked), sometimes elsewhere or out of reach.
    V2 nearCurve() {
        const auto all = s.allEntities();
        if (chance(3)) return oddPoint();
        if (all.empty() || chance(15)) return gridPoint();
        const Curve c = *s.curve(all[roll(int(all.size()))]);
        const double t = unit(), a = c.kind == Curve::Kind::arc ? c.a0 + c.sweep * t : 2 * pi * t;
        if (c.kind == Curve::Kind::line) return c.a + (c.b - c.a) * t;
        return c.c + V2{std::cos(a), std::sin(a)} * c.r;
    }
    double distance() {
        const double special[] = {0, 1e-12, -1e-12, nan, inf, -inf, 1e300, -1e300, 1e6, 2e9};
        const double d = chance(15) ? special[roll(10)] : (unit() * 8 - 3) * (chance(50) ? 1 : 0.1);
        odd = odd || !(std::abs(d) <= 1e9);
        return d;
    }
    int count() {
        const int odd[] = {-3, 0, 1, 1000000, intMax, intMin, 2600};
        return chance(15) ? odd[roll(7)] : 1 + roll(4);
    }

    // Curves on a grid sharing points, polygons, constraints of every kind (often
    // contradictory), fixed points and free points.
    Sketch randomSketch() {
        Sketch k = gridSketch(rng, 2 + roll(12));
        for (int i = roll(3); i > 0; --i) {  // corners to round and chains to offset
            const V2 c = gridPoint(), w{0.5 * (1 + roll(6)), 0}, h{0, 0.5 * (1 + roll(6))};
            Loop corners{c, c + w, c + w + h};
            if (chance(60)) corners.push_back(c + h);
            if (chance(30)) std::reverse(corners.begin(), corners.end());
            addPolygon(k, corners);
        }
        const auto curves = k.allEntities();
        auto point = [&]() { return k.points[roll(int(k.points.size()))].id; };
        const char* kinds[] = {ck::horizontal, ck::vertical, ck::distance,    ck::length,
                               ck::radius,     ck::diameter, ck::parallel,    ck::equal,
                               ck::tangent,    ck::midpoint, ck::pointOnLine, "unknown"};
        for (int i = roll(6); i > 0; --i) {
            const Id a = chance(50) ? curves[roll(int(curves.size()))] : point();
            const Id b = chance(50) ? curves[roll(int(curves.size()))] : point();
            const char* kind = kinds[roll(12)];
            k.addConstraint(kind, roll(2) ? std::vector<Id>{a, b} : std::vector<Id>{a},
                            chance(80) ? std::optional<double>(1 + roll(5)) : std::nullopt);
        }
        for (SPoint& p : k.points)
            if (p.id != 0 && chance(8)) p.fixed = true;
        if (chance(50)) k.freePoints = std::vector<Id>{point()};
        if (k.freePoints && chance(50)) k.freePoints->push_back(k.addPoint(gridPoint()));
        return k;
    }

    // Operation `k` of the switch below; true when it claims to have changed the sketch.
    static constexpr int kOperations = 17;
    bool apply(int k) {
        auto by = [this] { return V2{distance(), distance()}; };
        switch (k) {
            case 0: return s.trim(curveId(), nearCurve());
            case 1: return s.extendLine(pick(s.lines), nearCurve());
            case 2: return s.splitEntity(curveId());
            case 3: return s.deleteEntity(pick(s.constraints));
            case 4: return s.mergePoints(pick(s.points), pick(s.points));
            case 5: return s.filletCorner(cornerId(), distance());
            case 6: return s.chamferCorner(cornerId(), distance());
            case 7: return s.offsetEntity(curveId(), distance());
            case 8: return s.mirrorEntity(curveId(), pick(s.lines));
            case 9: return s.circularPattern(curveId(), pick(s.points), count());
            case 10: return s.rectPattern(curveId(), count(), distance(), count(), distance());
            case 11: {
                const bool flip = chance(50);
                return !s.copyEntities({curveId(), curveId()}, flip, [d = by()](V2 q) {
                             return q + d;
                         }).empty();
            }
            case 12: {
                const Id id = curveId();
                return s.moveEntities(chance(50) ? s.connectedComponent(id) : std::vector{id},
                                      by());
            }
            case 13: {
                const V2 q = chance(5) ? oddPoint() : nearCurve();
                const auto id = s.pointAt(q);
                EXPECT_TRUE(!id || (*s.pos(*id) - q).length() <= 1e-6);
                return id.has_value();
            }
            case 14: {
                s.removeOrphans();
                const auto& free = s.freePoints.value_or(std::vector<Id>{});
                for (const SPoint& p : s.points)
                    EXPECT_TRUE(p.id == 0 || s.entityUsesPoint(p.id) ||
                                std::count(free.begin(), free.end(), p.id))
                        << "orphan " << p.id;
                return true;
            }
            case 15: return s.solve() || true;
            default: {
                // Queries change nothing; their answers name what exists, never what is out
                // of reach.
                const Id id = curveId();
                const auto piece = s.piecePolyline(id, nearCurve());
                EXPECT_TRUE(!odd || piece.empty());
                for (V2 p : piece)
                    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
                for (Id p : s.lineChain(pick(s.lines)).pts)
                    EXPECT_TRUE(s.pointIndex(p));
                for (Id c : s.connectedComponent(id))
                    EXPECT_TRUE(s.curve(c));
                odd = false;
                const auto copy = s.duplicated(distance(), distance(), distance());
                EXPECT_TRUE(!copy || (!odd && sketchFault(*copy).empty()));
                return false;
            }
        }
    }
};

TEST(EditRandom, EverySequenceOfOperationsKeepsTheSketchConsistent) {
    for (unsigned seed = 1; seed <= 250; ++seed) {
        Fuzzer f{std::mt19937(seed), {}};
        f.s = f.randomSketch();
        for (int step = 0; step < 40; ++step) {
            if (f.s.allEntities().size() > 60 || f.s.points.size() > 200) f.s = f.randomSketch();
            const Sketch before = f.s;
            const int k = f.roll(Fuzzer::kOperations);
            SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step) +
                         ", operation " + std::to_string(k));
            f.odd = false;
            const bool applied = f.apply(k);
            ASSERT_TRUE(applied || f.s == before) << "a refused operation changed the sketch";
            ASSERT_FALSE(applied && f.odd) << "an operation took a number out of reach";
            ASSERT_EQ(sketchFault(f.s, &before), "");
            for (const Region& r : f.s.regions())
                for (V2 p : r.outer)
                    ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
        }
    }
}

}  // namespace
}  // namespace ivo
