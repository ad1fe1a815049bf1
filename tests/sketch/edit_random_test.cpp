// Random sequences of edits: the sketch stays consistent, ids only grow, refusals change
// nothing, and unknown ids, the origin, huge counts and numbers out of reach are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;
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

    // Operation `k`; true when it claims to have changed the sketch.
    static constexpr const char* operations[] = {
        "trim",         "extendLine",    "splitEntity",  "deleteEntity", "mergePoints",
        "filletCorner", "chamferCorner", "offsetEntity", "mirrorEntity", "circularPattern",
        "rectPattern",  "copyEntities",  "moveEntities", "pointAt",      "removeOrphans",
        "solve",        "queries"};
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
            const int k = f.roll(std::size(Fuzzer::operations));
            SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step) + ", " +
                         Fuzzer::operations[k]);
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
