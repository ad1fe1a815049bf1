#include "document/evaluator.h"

#include <gtest/gtest.h>

#include <numbers>
#include <random>

#include "geometry/extrude.h"
#include "support/doc_builder.h"
#include "support/sketch_builder.h"

namespace ivo {
namespace {

using namespace ivo::testing;

double volumeOf(const EvalResult& r, size_t i) {
    return i < r.bodies.size() ? signedVolume(*r.bodies[i].solid) : -1;
}

std::vector<std::string> names(const EvalResult& r) {
    std::vector<std::string> out;
    for (const Body& b : r.bodies)
        out.push_back(b.name);
    return out;
}

TEST(Evaluator, MarkerSuppressionAndBodyNames) {
    DocBuilder b;
    const Id s = b.sketch(rectSketch(0, 0, 10, 10));
    const Id s2 = b.sketch(rectSketch(20, 0, 30, 10));
    const Id e1 = b.extrude(s, {{5, 5}}, 4);
    const Id e2 = b.extrude(s2, {{25, 5}}, 4);
    EXPECT_EQ(names(Evaluator::run(b.doc)), (std::vector<std::string>{"Corps 1", "Corps 2"}));
    b.doc.marker = 0;
    EXPECT_EQ(Evaluator::run(b.doc), EvalResult{});
    const EvalResult first = Evaluator::run(b.doc, 3);
    EXPECT_EQ(names(first), std::vector<std::string>{"Corps 1"});
    EXPECT_NEAR(volumeOf(first, 0), 400, 1e-9);
    EXPECT_TRUE(first.errors.empty());
    // A suppressed sketch fails its extrusion; back, the body returns under the same id.
    b.doc.marker = 4;
    b.feature(s).suppressed = true;
    EvalResult r = Evaluator::run(b.doc);
    EXPECT_EQ(r.messages.at(e1), "Esquisse introuvable.");
    EXPECT_EQ(names(r), std::vector<std::string>{"Corps 1"});  // bodies are numbered per run
    EXPECT_EQ(r.bodies[0].id, e2);
    b.feature(s).suppressed = false;
    EXPECT_EQ(Evaluator::run(b.doc).bodies.at(0).id, e1);
    b.remove(e1);
    r = Evaluator::run(b.doc);
    EXPECT_EQ(names(r), std::vector<std::string>{"Corps 2"});
    b.doc.bodyNames = std::map<std::string, std::string>{{std::to_string(e2), "Pied"}};
    EXPECT_EQ(displayName(b.doc, r.bodies.at(0)), "Pied");
}

TEST(Evaluator, JoinCutAndCombineFindTheirBodies) {
    DocBuilder b;
    const Id all = b.sketch(rectSketch(-1, -1, 40, 20));
    const Id lone = b.extrude(all, {{20, 1}}, 5, op::cut);
    const Id first = b.extrude(b.sketch(rectSketch(0, 0, 10, 10)), {{5, 5}}, 1);
    const Id second = b.extrude(b.sketch(rectSketch(20, 0, 30, 10)), {{25, 5}}, 1);
    // A join without a target merges into the last body only, though it meets both.
    b.extrude(b.sketch(rectSketch(5, 5, 25, 10)), {{15, 7}}, 1, op::join);
    EvalResult r = Evaluator::run(b.doc);
    EXPECT_EQ(r.messages.at(lone), "Aucun corps à modifier.");
    ASSERT_EQ(r.bodies.size(), 2u);
    EXPECT_EQ(r.bodies[1].id, second);
    EXPECT_NEAR(volumeOf(r, 1), 100 + 100 - 25, 1e-9);
    EXPECT_NEAR(volumeOf(r, 0), 100, 1e-9);
    // Combining needs two different bodies; an intersection may keep its tool.
    const Id same = b.combine(second, second, op::cut);
    const Id missing = b.combine(first, 999, op::join);
    const Id both = b.combine(first, second, op::intersect, true);
    r = Evaluator::run(b.doc);
    EXPECT_EQ(r.messages.at(same), "Choisissez deux corps différents.");
    EXPECT_EQ(r.messages.at(missing), "Choisissez deux corps différents.");
    EXPECT_EQ(r.bodies.size(), 2u);
    EXPECT_NEAR(volumeOf(r, 0), 25, 1e-9);
    b.feature(both).combine->op = op::join;
    b.feature(both).combine->keep = false;
    r = Evaluator::run(b.doc);
    EXPECT_EQ(r.bodies.size(), 1u);
    EXPECT_NEAR(volumeOf(r, 0), 100 + 175 - 25, 1e-9);
    // A cut wholly covering the bodies removes them.
    b.extrude(all, {{20, 1}}, 5, op::cut);
    EXPECT_TRUE(Evaluator::run(b.doc).bodies.empty());
}

TEST(Evaluator, FilletsFollowTheFarEndOfTheExtrusion) {
    DocBuilder b;
    const Id e = b.extrude(b.sketch(rectSketch(0, 0, 10, 10)), {{5, 5}}, -10);
    const Id f = b.fillet(e, "top", 1);
    const Region square{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {}};
    auto expected = [&](double lo, double hi, bool chamfer) {
        return signedVolume(extrudeRegion(square, Frame{}, 0, -10, lo, hi, chamfer));
    };
    // Rounded at z = −10 only: the same as rounding the lower edge of 0…−10.
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), expected(1, 0, false), 1e-9);
    b.feature(f).fillet->edges = "both";
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), expected(1, 1, false), 1e-9);
    // The largest radius wins, and one chamfer makes every treated edge a chamfer.
    b.feature(f).fillet->edges = "top";
    b.fillet(e, "top", 3);
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), expected(3, 0, false), 1e-9);
    b.fillet(e, "bottom", 0.5, true);
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), expected(3, 0.5, true), 1e-9);
    b.feature(e).suppressed = true;
    EXPECT_EQ(Evaluator::run(b.doc).messages.at(f), "Extrusion visée introuvable.");
}

TEST(Evaluator, ProfilesFacesAndAxes) {
    Sketch s = rectSketch(0, 0, 20, 20);
    addCircle(s, {10, 10}, 3);
    const auto plate = Evaluator::pickRegions(s, {{1, 1}, {2, 2}, {10, 10}, {50, 50}});
    ASSERT_EQ(plate.size(), 2u);  // the smallest containing region, once
    EXPECT_EQ(plate[0].holes.size(), 1u);
    DocBuilder b;
    const Id e = b.extrude(b.sketch(s), {{1, 1}}, 2);
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), 2 * (400 - std::abs(plate[1].area())), 1e-6);
    b.feature(e).extrude->picks = {{50, 50}};
    EXPECT_EQ(Evaluator::run(b.doc).messages.at(e), "Aucun profil sélectionné.");
    b.feature(e).extrude->picks = {{1, 1}};
    // Up to a face: parallel planes only; not four numbers means the distance.
    b.feature(e).extrude->toFace = std::vector<double>{0, 0, 1, 25};
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), 25 * (400 - std::abs(plate[1].area())), 1e-6);
    b.feature(e).extrude->toFace = std::vector<double>{1, 0, 0, 25};
    EXPECT_EQ(Evaluator::run(b.doc).messages.at(e),
              "La face visée est perpendiculaire à l'esquisse.");
    b.feature(e).extrude->toFace = std::vector<double>{0, 0, 1};
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), 2 * (400 - std::abs(plate[1].area())), 1e-6);
    // Revolutions about the sketch's y axis (−2) or a construction line.
    Sketch ring = rectSketch(2, 0, 4, 10);
    const Id axis = addSegment(ring, {0, -5}, {0, 5}, true);
    DocBuilder c;
    const Id sk = c.sketch(ring);
    const Id r = c.revolve(sk, {{3, 5}}, -2, 360);
    const double want = 0.5 * 72 * std::sin(2 * std::numbers::pi / 72) * (16 - 4) * 10;
    EXPECT_NEAR(volumeOf(Evaluator::run(c.doc), 0), want, 1e-6);
    c.feature(r).revolve->axis = axis;
    EXPECT_NEAR(volumeOf(Evaluator::run(c.doc), 0), want, 1e-6);
    c.feature(sk).sketch->points.back().p = {0, -5};  // zero-length axis line
    EXPECT_EQ(Evaluator::run(c.doc).messages.at(r), "Axe invalide.");
}

TEST(Evaluator, AbsurdValuesAndMissingReferencesNeverCrash) {
    DocBuilder b;
    const Id s = b.sketch(rectSketch(0, 0, 10, 10));
    b.extrude(s, {{5, 5}}, 1e12);
    b.revolve(s, {{5, 5}}, 12345, 1e9, op::join);
    b.extrude(777, {{5, 5}}, 1);
    b.fillet(888, "both", 1e9);
    b.combine(-1, -2, op::cut);
    b.remove(999);
    b.doc.features.push_back(Feature(b.doc.newId(), "gizmo", "Inconnue"));
    b.doc.marker = 100;
    const EvalResult r = Evaluator::run(b.doc);
    EXPECT_EQ(r.bodies.size(), 1u);
    EXPECT_EQ(r.messages.size(), 3u);
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
