#include "document/evaluator.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <tuple>

#include "geometry/extrude.h"
#include "support/doc_builder.h"
#include "support/sketch_builder.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

double volumeOf(const EvalResult& r) {
    return r.bodies.empty() ? -1 : signedVolume(*r.bodies[0].solid);
}

// Bodies with their ids and volumes (to 1e-9), then messages by feature id:
// "Corps 1#2 400; Corps 2#4 50 | 3 Esquisse introuvable."
std::string summary(const EvalResult& r) {
    std::string out;
    for (const Body& b : r.bodies) {
        char v[32];
        const double rounded = std::round(signedVolume(*b.solid) * 1e9) / 1e9 + 0.0;
        out += (out.empty() ? "" : "; ") + b.name + "#" + std::to_string(b.id) + " " +
               std::string(v, std::to_chars(v, v + sizeof v, rounded).ptr);
    }
    for (const auto& [id, message] : r.messages)
        out += (out.find('|') == std::string::npos ? " | " : "; ") + std::to_string(id) + " " +
               message;
    return out;
}

TEST(Evaluator, BodiesAreNumberedPerRunAndKeyedByTheirFeature) {
    DocBuilder b;
    const Id s1 = b.sketch(rectSketch(0, 0, 10, 10));
    const Id e1 = b.extrude(s1, {{5, 5}}, 4);
    b.extrude(b.sketch(rectSketch(20, 0, 30, 10)), {{25, 5}}, 4);
    EXPECT_EQ(summary(Evaluator::run(b.doc)), "Corps 1#2 400; Corps 2#4 400");
    EXPECT_EQ(summary(Evaluator::run(b.doc, 2)), "Corps 1#2 400");
    b.doc.marker = 0;
    EXPECT_EQ(Evaluator::run(b.doc), EvalResult{});
    // A suppressed sketch fails its extrusion; back, the body returns under the same id.
    b.doc.marker = 4;
    b.feature(s1).suppressed = true;
    EXPECT_EQ(summary(Evaluator::run(b.doc)), "Corps 1#4 400 | 2 Esquisse introuvable.");
    EXPECT_EQ(Evaluator::run(b.doc).errors, std::set<Id>{e1});
    b.feature(s1).suppressed = false;
    b.remove(e1);
    EXPECT_EQ(summary(Evaluator::run(b.doc)), "Corps 2#4 400");
    // Missing references and absurd values end in messages, never a crash.
    b.revolve(s1, {{5, 5}}, 12345, 1e9, op::join);
    b.extrude(s1, {{5, 5}}, 1e12);
    b.extrude(777, {{5, 5}}, 1);
    b.fillet(888, "both", 1e9);
    b.remove(999);
    b.doc.features.push_back(Feature(b.doc.newId(), "gizmo", "Inconnue"));
    const EvalResult r = Evaluator::run(b.doc, 100);
    const std::string text = summary(r);
    EXPECT_EQ(text.substr(text.find('|')), std::string("| 7 ") + evalmsg::outOfReach +
                                               "; 8 Esquisse introuvable.; 9 Extrusion visée "
                                               "introuvable.");
    EXPECT_EQ(r.bodies.size(), 1u);
}

// Beyond 1e9 mm, up to the largest doubles, the feature fails instead of reaching the kernel.
TEST(Evaluator, GeometryBeyondAThousandKilometresFailsItsFeature) {
    constexpr double huge = 1.7e308;
    const auto check = [](const char* what, bool fails,
                          const std::function<void(DocBuilder&, Id)>& build) {
        DocBuilder b;
        const Id s = b.sketch(rectSketch(0, 0, 10, 10));
        build(b, s);
        const EvalResult r = Evaluator::run(b.doc);
        const std::string want = fails ? evalmsg::outOfReach : "";
        EXPECT_EQ(r.messages.empty() ? "" : r.messages.rbegin()->second, want) << what;
        EXPECT_EQ(r.bodies.size(), fails ? 0u : 1u) << what;
    };
    // Past 1e9, and far enough for the Newell normal to overflow.
    for (const double d : {1e9, 1e160})
        check("distance", d > 1e9, [d](DocBuilder& b, Id s) { b.extrude(s, {{5, 5}}, d); });
    check("symmetric", true, [](DocBuilder& b, Id s) {
        b.feature(b.extrude(s, {{5, 5}}, -4e9)).extrude->symmetric = true;
    });
    check("up to face", true, [](DocBuilder& b, Id s) {
        b.feature(b.extrude(s, {{5, 5}}, 1)).extrude->toFace =
            std::vector<double>{0, 0, 1e-5, 1e300};
    });
    check("fillet", true, [](DocBuilder& b, Id s) {
        b.fillet(b.extrude(s, {{5, 5}}, 10), "bottom", 2e9);
    });
    check("far circle", true, [](DocBuilder& b, Id s) {
        Sketch& k = *b.feature(s).sketch;
        const Id c = k.addPoint({5, 5});
        k.circles.push_back({k.newId(), c, 3e9, false});
        b.extrude(s, {{1e6, 0}}, 10);
    });
    check("far plane", true, [](DocBuilder& b, Id s) {
        b.feature(s).sketch->plane.o = {0, 2e9, 0};
        b.extrude(s, {{5, 5}}, 10);
    });
    check("stretched plane", true, [](DocBuilder& b, Id s) {
        b.feature(s).sketch->plane.x = {huge, 0, 0};
        b.revolve(s, {{5, 5}}, -1, 90);
    });
    check("far axis", true, [](DocBuilder& b, Id s) {
        Sketch& k = *b.feature(s).sketch;
        b.revolve(s, {{5, 5}}, k.addLine(k.addPoint({huge, 0}), k.addPoint({huge, 1})), 90);
    });
    // Curves at both ends of the doubles, whose span overflows, still go through the profile
    // finder (whose grid of nodes once reached a conversion of NaN to an integer).
    Sketch edge = rectSketch(0, 0, 1, 1);
    for (double x : {-huge, huge})
        edge.addLine(edge.addPoint({x, 0}), edge.addPoint({x, 1}));
    EXPECT_EQ(Evaluator::pickRegions(edge, {{0.5, 0.5}}).size(), 1u);
}

TEST(Evaluator, JoinCutAndCombineFindTheirBodies) {
    DocBuilder b;
    const Id all = b.sketch(rectSketch(-1, -1, 40, 20));
    b.extrude(all, {{20, 1}}, 5, op::cut);
    const Id first = b.extrude(b.sketch(rectSketch(0, 0, 10, 10)), {{5, 5}}, 1);
    const Id second = b.extrude(b.sketch(rectSketch(20, 0, 30, 10)), {{25, 5}}, 1);
    // A join without a target merges into the last body only, though it meets both.
    b.extrude(b.sketch(rectSketch(5, 5, 25, 10)), {{15, 7}}, 1, op::join);
    EXPECT_EQ(summary(Evaluator::run(b.doc)),
              "Corps 1#4 100; Corps 2#6 175 | 2 Aucun corps à modifier.");
    // Combining needs two different bodies; an intersection may keep its tool.
    b.combine(second, second, op::cut);
    b.combine(first, -2, op::join);
    const Id both = b.combine(first, second, op::intersect, true);
    EXPECT_EQ(summary(Evaluator::run(b.doc)),
              "Corps 1#4 25; Corps 2#6 175 | 2 Aucun corps à modifier.; 9 Choisissez deux corps "
              "différents.; 10 Choisissez deux corps différents.");
    b.feature(both).combine->op = op::join;
    b.feature(both).combine->keep = false;
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc)), 100 + 175 - 25, 1e-9);
    b.extrude(all, {{20, 1}}, 5, op::cut);  // wholly covering the body: nothing is left
    EXPECT_TRUE(Evaluator::run(b.doc).bodies.empty());
}

TEST(Evaluator, FilletsFollowTheFarEndOfTheExtrusion) {
    DocBuilder b;
    const Id e = b.extrude(b.sketch(rectSketch(0, 0, 10, 10)), {{5, 5}}, -10);
    b.fillet(e, "top", 1);
    auto expected = [&](double lo, double hi, bool chamfer) {
        return signedVolume(
            extrudeRegion({rect(0, 0, 10, 10), {}}, Frame{}, 0, -10, lo, hi, chamfer));
    };
    // Rounded at z = −10 only: the same as rounding the lower edge of 0…−10.
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc)), expected(1, 0, false), 1e-9);
    // The largest radius wins, and one chamfer makes every treated edge a chamfer.
    b.fillet(e, "top", 3);
    b.fillet(e, "bottom", 0.5, true);
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc)), expected(3, 0.5, true), 1e-9);
}

TEST(Evaluator, ProfilesFacesAndAxes) {
    Sketch s = rectSketch(0, 0, 20, 20);
    addCircle(s, {10, 10}, 3);
    const auto plate = Evaluator::pickRegions(s, {{1, 1}, {2, 2}, {10, 10}, {50, 50}});
    ASSERT_EQ(plate.size(), 2u);  // the smallest containing region, once
    EXPECT_EQ(plate[0].holes.size(), 1u);
    const double area = 400 - std::abs(plate[1].area());
    DocBuilder b;
    const Id e = b.extrude(b.sketch(s), {{1, 1}}, 2);
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc)), 2 * area, 1e-6);
    // Up to a face: parallel planes only; not four numbers means the distance.
    b.feature(e).extrude->toFace = std::vector<double>{0, 0, 1, 25};
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc)), 25 * area, 1e-6);
    b.feature(e).extrude->toFace = std::vector<double>{1, 0, 0, 25};
    EXPECT_EQ(Evaluator::run(b.doc).messages.at(e),
              "La face visée est perpendiculaire à l'esquisse.");
    b.feature(e).extrude->picks = {{50, 50}};
    EXPECT_EQ(Evaluator::run(b.doc).messages.at(e), "Aucun profil sélectionné.");
    // Revolutions about the sketch's y axis (−2) or a construction line.
    Sketch ring = rectSketch(2, 0, 4, 10);
    const Id axis = addSegment(ring, {0, -5}, {0, 5}, true);
    const Id sk = b.sketch(ring), r = b.revolve(sk, {{3, 5}}, -2, 360);
    const double want = 0.5 * 72 * std::sin(2 * std::numbers::pi / 72) * (16 - 4) * 10;
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc)), want, 1e-6);
    b.feature(r).revolve->axis = axis;
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc)), want, 1e-6);
    b.feature(sk).sketch->points.back().p = {0, -5};  // zero-length axis line
    EXPECT_EQ(Evaluator::run(b.doc).messages.at(r), "Axe invalide.");
}

// Overlapping regions are united, groups apart concatenated in the order of their first pick.
TEST(Evaluator, RegionsUniteByGroupsInPickOrder) {
    Sketch s;
    addPolygon(s, rect(20, 0, 21, 1));  // alone
    addPolygon(s, rect(0, 0, 2, 2));    // a chain of overlaps: the first meets the second,
    addPolygon(s, rect(1, 0, 3, 2));    // the second the third, the first not the third
    addPolygon(s, rect(2.5, 0, 4, 2));
    // An L and a square in its notch: boxes overlap, solids only touch at a corner.
    addPolygon(s, {{10, 0}, {14, 0}, {14, 1}, {11, 1}, {11, 4}, {10, 4}});
    addPolygon(s, {{12, 2}, {14, 2}, {14, 4}, {12, 4}});
    addPolygon(s, rect(30, 0, 31, 1));
    // The picks, their area, a region apart from all others (whose prism stays as it was
    // made) and whether that prism leads the solid, else ends it.
    const std::tuple<std::vector<V2>, double, V2, bool> cases[] = {
        {{{20.5, 0.5}, {0.5, 1}, {1.5, 1}, {2.2, 1}, {2.8, 1}, {3.5, 1}}, 1 + 8, {20.5, 0.5}, true},
        {{{12.5, 2.5}, {10.5, 0.5}, {30.5, 0.5}}, 4 + 7 + 1, {12.5, 2.5}, true},
    };
    for (const auto& [picks, area, lone, leads] : cases) {
        DocBuilder b;
        b.extrude(b.sketch(s), picks, 2);
        const EvalResult r = Evaluator::run(b.doc);
        ASSERT_EQ(r.bodies.size(), 1u);
        const Solid& solid = *r.bodies[0].solid;
        EXPECT_NEAR(signedVolume(solid), 2 * area, 1e-9);
        EXPECT_EQ(closedSurfaceFault(solid, false), "");
        const std::vector<Region> alone = Evaluator::pickRegions(s, {lone});
        ASSERT_EQ(alone.size(), 1u);
        const Solid prism = extrudeRegion(alone[0], s.plane.frame(), 0, 2, 0, 0, false);
        ASSERT_GE(solid.size(), prism.size());
        EXPECT_TRUE(leads ? std::equal(prism.begin(), prism.end(), solid.begin())
                          : std::equal(prism.rbegin(), prism.rend(), solid.rbegin()));
    }
}

// An edit anywhere recomputes at most half again as many features as follow it.
TEST(Evaluation, LongTimelinesReplayFromTheClosestStateHeld) {
    DocBuilder b;
    b.extrude(b.sketch(rectSketch(0, 0, 100, 20)), {{1, 1}}, 5);
    Sketch holes;
    for (int i = 0; i < 40; ++i)
        addCircle(holes, {2.5 + 2.5 * i, 10}, 0.5 + 0.02 * i);
    const Id sk = b.sketch(holes);
    for (int i = 0; i < 40; ++i)
        b.extrude(sk, {{2.5 + 2.5 * i, 10}}, 5, op::cut);
    Evaluation incremental;
    ASSERT_EQ(incremental.run(b.doc), Evaluator::run(b.doc));
    const size_t n = b.doc.features.size();
    for (const size_t at : {n - 1, n - 3, n - 6, n - 11, n - 20, n - 37, size_t(3), size_t(0)}) {
        Feature& f = b.doc.features[at];
        if (f.extrude)
            f.extrude->distance += 1;
        else
            f.sketch->points.back().p.y += 1;
        ASSERT_EQ(incremental.run(b.doc), Evaluator::run(b.doc)) << at;
        const size_t after = n - at;
        EXPECT_GE(incremental.lastRecomputed(), after) << at;
        EXPECT_LE(incremental.lastRecomputed(), after + after / 2 + 1) << at;
        // Without a change, nothing is recomputed.
        incremental.run(b.doc);
        EXPECT_EQ(incremental.lastRecomputed(), 0u) << at;
    }
}

// The incremental evaluation must give exactly the plain result after any edit.
TEST(Evaluation, MatchesAFreshRunAfterRandomEditsAndReusesThePrefix) {
    DocBuilder b;
    const Id e1 = b.extrude(b.sketch(rectSketch(0, 0, 10, 10)), {{5, 5}}, 4);
    Sketch holes;
    addCircle(holes, {3, 3}, 1);
    addCircle(holes, {7, 7}, 1.5);
    const Id cut = b.extrude(b.sketch(holes), {{3, 3}, {7, 7}}, 4, op::cut);
    const Id f = b.fillet(e1, "top", 0.5);
    const Id e3 = b.extrude(b.sketch(rectSketch(8, 8, 14, 14)), {{12, 12}}, 2, op::join);
    Evaluation incremental;
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        switch (rng() % 6) {
            case 0: b.feature(e3).extrude->distance = 1 + rng() % 5; break;
            case 1: b.feature(f).fillet->radius = 0.1 * (1 + rng() % 5); break;
            case 2: b.feature(cut).suppressed = !b.feature(cut).suppressed; break;
            case 3: b.doc.marker = rng() % 8; break;
            case 4: b.feature(f).fillet->feature = rng() % 2 ? e1 : e3; break;
            case 5: b.feature(e1).extrude->distance = 3 + rng() % 3; break;
        }
        ASSERT_EQ(incremental.run(b.doc), Evaluator::run(b.doc)) << "round " << round;
    }
    b.doc.marker = 99;
    incremental.run(b.doc);
    b.feature(e3).extrude->distance += 1;
    EXPECT_EQ(incremental.run(b.doc), Evaluator::run(b.doc));
    EXPECT_EQ(incremental.lastRecomputed(), 1u);
}

}  // namespace
}  // namespace ivo
