// Long random sequences of editing operations (and solving) on random sketches: after every
// step the sketch is consistent, ids only grew, a refused operation changed nothing, and the
// profile finder still runs on the result. Arguments are often wrong on purpose: unknown ids,
// ids of the wrong kind, the origin, non-finite numbers, huge counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>

#include "sketch/curves.h"
#include "support/sketch_builder.h"
#include "support/sketch_invariants.h"

namespace ivo {
namespace {

using namespace ivo::testing;
constexpr double pi = std::numbers::pi;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

struct Fuzzer {
    std::mt19937 rng;
    Sketch s;

    explicit Fuzzer(unsigned seed) : rng(seed) { s = randomSketch(); }

    int roll(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    bool chance(int percent) { return roll(100) < percent; }
    double unit() { return std::uniform_real_distribution<double>(0, 1)(rng); }
    double grid() { return 0.5 * roll(13); }
    V2 gridPoint() { return {grid(), grid()}; }

    template <class T>
    Id pick(const std::vector<T>& records) {
        return records.empty() ? unknownId() : records[roll(int(records.size()))].id;
    }
    Id unknownId() { return chance(50) ? s.nextId + roll(3) : -1 - roll(3); }
    Id pointId() { return chance(90) ? pick(s.points) : anyId(); }
    Id lineId() { return chance(90) ? pick(s.lines) : anyId(); }
    Id curveId() {
        const auto all = s.allEntities();
        return chance(90) && !all.empty() ? all[roll(int(all.size()))] : anyId();
    }
    // Any id at all: a point, curve or constraint, the origin, or one that names nothing.
    Id anyId() {
        switch (roll(6)) {
            case 0: return pick(s.points);
            case 1: return pick(s.constraints);
            case 2: return 0;
            case 3: return unknownId();
            default: {
                const auto all = s.allEntities();
                return all.empty() ? 0 : all[roll(int(all.size()))];
            }
        }
    }
    // A corner-like point: an end of some line, most of the time.
    Id cornerId() {
        if (s.lines.empty() || chance(20)) return pointId();
        const SLine& l = s.lines[roll(int(s.lines.size()))];
        return chance(50) ? l.a : l.b;
    }
    V2 oddPoint() { return chance(50) ? V2{nan, 1} : V2{inf, -inf}; }
    // A point on a random curve (where pieces are picked), sometimes elsewhere or not finite.
    V2 nearCurve() {
        if (chance(3)) return oddPoint();
        const auto all = s.allEntities();
        if (all.empty() || chance(15)) return gridPoint();
        const Curve c = *s.curve(all[roll(int(all.size()))]);
        const double t = unit();
        switch (c.kind) {
            case Curve::Kind::line: return c.a + (c.b - c.a) * t;
            case Curve::Kind::circle:
                return c.c + V2{std::cos(2 * pi * t), std::sin(2 * pi * t)} * c.r;
            case Curve::Kind::arc: {
                const double a = c.a0 + c.sweep * t;
                return c.c + V2{std::cos(a), std::sin(a)} * c.r;
            }
        }
        return {};
    }
    double distance() {
        static const double odd[] = {0, 1e-12, -1e-12, nan, inf, -inf, 1e300, -1e300, 1e6};
        if (chance(15)) return odd[roll(9)];
        return (unit() * 8 - 3) * (chance(50) ? 1 : 0.1);
    }
    int count() {
        static const int odd[] = {
            -3,  0, 1, 1000000, std::numeric_limits<int>::max(), std::numeric_limits<int>::min(),
            2600};
        return chance(15) ? odd[roll(7)] : 1 + roll(4);
    }

    // Lines, circles and arcs on a coarse grid sharing points, with constraints of every
    // kind (often contradictory), fixed points and free points.
    Sketch randomSketch() {
        Sketch k;
        std::vector<Id> pts{0};
        auto point = [&]() {
            if (chance(40)) return pts[roll(int(pts.size()))];
            pts.push_back(k.addPoint(gridPoint()));
            return pts.back();
        };
        for (int i = 2 + roll(12); i > 0; --i) {
            const bool construction = chance(10);
            const int kind = roll(10);
            if (kind < 6) {
                k.addLine(point(), point(), construction);
            } else if (kind < 8) {
                const Id id = k.newId();
                k.circles.push_back({id, point(), 0.5 * (1 + roll(4)), construction});
            } else {
                const V2 c = gridPoint();
                const double r = 0.5 * (1 + roll(4)), a = pi / 4 * roll(8),
                             b = a + pi / 4 * (1 + roll(8));
                addArc(k, c, c + V2{std::cos(a), std::sin(a)} * r,
                       c + V2{std::cos(b), std::sin(b)} * r, construction);
            }
        }
        // Polygons give corners to round and chains to offset.
        for (int i = roll(3); i > 0; --i) {
            const V2 c = gridPoint();
            const double w = 0.5 * (1 + roll(6)), h = 0.5 * (1 + roll(6));
            Loop corners{c, c + V2{w, 0}, c + V2{w, h}};
            if (chance(60)) corners.push_back(c + V2{0, h});
            if (chance(30)) std::reverse(corners.begin(), corners.end());
            addPolygon(k, corners);
        }
        const auto curves = k.allEntities();
        static const char* kinds[] = {ck::horizontal, ck::vertical, ck::distance,    ck::length,
                                      ck::radius,     ck::diameter, ck::parallel,    ck::equal,
                                      ck::tangent,    ck::midpoint, ck::pointOnLine, "unknown"};
        for (int i = roll(6); i > 0; --i) {
            const Id a = chance(50) ? curves[roll(int(curves.size()))] : pick(k.points);
            const Id b = chance(50) ? curves[roll(int(curves.size()))] : pick(k.points);
            const char* kind = kinds[roll(12)];
            const bool single = roll(2) == 0;
            k.addConstraint(kind, single ? std::vector<Id>{a} : std::vector<Id>{a, b},
                            chance(80) ? std::optional<double>(1 + roll(5)) : std::nullopt);
        }
        for (SPoint& p : k.points)
            if (p.id != 0 && chance(8)) p.fixed = true;
        if (chance(50)) {
            k.freePoints = std::vector<Id>{pick(k.points)};
            if (chance(50)) k.freePoints->push_back(k.addPoint(gridPoint()));
        }
        return k;
    }
};

using Op = std::function<bool(Fuzzer&)>;

const std::vector<std::pair<const char*, Op>>& operations() {
    static const std::vector<std::pair<const char*, Op>> ops = {
        {"trim", [](Fuzzer& f) { return f.s.trim(f.curveId(), f.nearCurve()); }},
        {"extendLine", [](Fuzzer& f) { return f.s.extendLine(f.lineId(), f.nearCurve()); }},
        {"splitEntity", [](Fuzzer& f) { return f.s.splitEntity(f.curveId()); }},
        {"deleteEntity", [](Fuzzer& f) { return f.s.deleteEntity(f.anyId()); }},
        {"removeOrphans",
         [](Fuzzer& f) {
             f.s.removeOrphans();
             EXPECT_EQ(orphanPoints(f.s), 0u);
             return true;
         }},
        {"mergePoints", [](Fuzzer& f) { return f.s.mergePoints(f.pointId(), f.pointId()); }},
        {"filletCorner", [](Fuzzer& f) { return f.s.filletCorner(f.cornerId(), f.distance()); }},
        {"chamferCorner", [](Fuzzer& f) { return f.s.chamferCorner(f.cornerId(), f.distance()); }},
        {"offsetEntity", [](Fuzzer& f) { return f.s.offsetEntity(f.curveId(), f.distance()); }},
        {"copyEntities",
         [](Fuzzer& f) {
             const V2 by{f.distance(), f.distance()};
             const bool flip = f.chance(50);
             return !f.s.copyEntities({f.curveId(), f.curveId()}, flip,
                                      [by](V2 q) { return q + by; })
                         .empty();
         }},
        {"mirrorEntity", [](Fuzzer& f) { return f.s.mirrorEntity(f.curveId(), f.lineId()); }},
        {"circularPattern",
         [](Fuzzer& f) { return f.s.circularPattern(f.curveId(), f.pointId(), f.count()); }},
        {"rectPattern",
         [](Fuzzer& f) {
             return f.s.rectPattern(f.curveId(), f.count(), f.distance(), f.count(), f.distance());
         }},
        {"moveEntities",
         [](Fuzzer& f) {
             const Id id = f.curveId();
             const auto ids = f.chance(50) ? f.s.connectedComponent(id) : std::vector<Id>{id};
             return f.s.moveEntities(ids, {f.distance(), f.distance()});
         }},
        {"pointAt",
         [](Fuzzer& f) {
             const V2 q = f.chance(5) ? f.oddPoint() : f.nearCurve();
             const auto id = f.s.pointAt(q);
             if (id) {
                 EXPECT_LE((*f.s.pos(*id) - q).length(), 1e-6);
             }
             return id.has_value();
         }},
        {"solve",
         [](Fuzzer& f) {
             f.s.solve();
             return true;
         }},
        {"queries",
         [](Fuzzer& f) {
             // Queries change nothing; their answers name what exists.
             const Id id = f.curveId();
             for (V2 p : f.s.piecePolyline(id, f.nearCurve()))
                 EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
             for (Id p : f.s.lineChain(f.lineId()).pts)
                 EXPECT_TRUE(f.s.pointIndex(p));
             for (Id c : f.s.connectedComponent(id))
                 EXPECT_TRUE(f.s.curve(c));
             if (const auto copy = f.s.duplicated(f.distance(), f.distance(), f.distance())) {
                 EXPECT_EQ(sketchFault(*copy), "");
             }
             return false;
         }},
    };
    return ops;
}

TEST(EditRandom, EverySequenceOfOperationsKeepsTheSketchConsistent) {
    constexpr unsigned seeds = 250;
    constexpr int steps = 40;
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        Fuzzer f(seed);
        for (int step = 0; step < steps; ++step) {
            if (f.s.allEntities().size() > 60 || f.s.points.size() > 200) f.s = f.randomSketch();
            const Sketch before = f.s;
            const auto& [name, op] = operations()[f.roll(int(operations().size()))];
            const std::string where =
                "seed " + std::to_string(seed) + ", step " + std::to_string(step) + ", " + name;
            SCOPED_TRACE(where);
            const bool applied = op(f);
            if (!applied) {
                ASSERT_TRUE(f.s == before) << "a refused operation changed the sketch";
            }
            ASSERT_EQ(sketchFault(f.s), "");
            ASSERT_EQ(stepFault(before, f.s), "");
            for (const Region& r : f.s.regions())
                for (V2 p : r.outer)
                    ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
        }
    }
}

}  // namespace
}  // namespace ivo
