#include "document/evaluator.h"

#include <gtest/gtest.h>

#include <numbers>
#include <random>

#include "geometry/extrude.h"
#include "support/doc_builder.h"

namespace ivo {
namespace {

using testing::addCircle;
using testing::addRect;
using testing::DocBuilder;

Sketch rectSketch(double x0, double y0, double x1, double y1) {
    Sketch s;
    addRect(s, x0, y0, x1, y1);
    return s;
}

double volumeOf(const EvalResult& r, size_t i) {
    return signedVolume(*r.bodies.at(i).solid);
}

std::vector<std::string> names(const EvalResult& r) {
    std::vector<std::string> out;
    for (const Body& b : r.bodies)
        out.push_back(b.name);
    return out;
}

TEST(Evaluator, MarkerLimitsTheFeaturesThatTakePart) {
    DocBuilder b;
    const Id s = b.sketch(rectSketch(0, 0, 10, 10));
    b.extrude(s, {{5, 5}}, 4);
    b.doc.marker = 0;
    EXPECT_EQ(Evaluator::run(b.doc), EvalResult{});
    const EvalResult all = Evaluator::run(b.doc, 99);
    ASSERT_EQ(all.bodies.size(), 1u);
    EXPECT_NEAR(volumeOf(all, 0), 400, 1e-9);
    EXPECT_TRUE(all.errors.empty());
}

TEST(Evaluator, SuppressedSketchFailsAndComesBackUnderTheSameId) {
    DocBuilder b;
    const Id s = b.sketch(rectSketch(0, 0, 10, 10));
    const Id e = b.extrude(s, {{5, 5}}, 4);
    b.feature(s).suppressed = true;
    EvalResult r = Evaluator::run(b.doc);
    EXPECT_TRUE(r.bodies.empty());
    EXPECT_EQ(r.messages.at(e), "Esquisse introuvable.");
    b.feature(s).suppressed = false;
    r = Evaluator::run(b.doc);
    ASSERT_EQ(r.bodies.size(), 1u);
    EXPECT_EQ(r.bodies[0].id, e);
}

TEST(Evaluator, BodiesAreNumberedPerRun) {
    DocBuilder b;
    const Id s = b.sketch(rectSketch(0, 0, 10, 10));
    const Id s2 = b.sketch(rectSketch(20, 0, 30, 10));
    const Id e1 = b.extrude(s, {{5, 5}}, 4);
    b.extrude(s2, {{25, 5}}, 4);
    EXPECT_EQ(names(Evaluator::run(b.doc)), (std::vector<std::string>{"Corps 1", "Corps 2"}));
    b.remove(e1);
    EXPECT_EQ(names(Evaluator::run(b.doc)), (std::vector<std::string>{"Corps 2"}));
    b.doc.bodyNames = std::map<std::string, std::string>{{std::to_string(e1 + 1), "Pied"}};
    const EvalResult r = Evaluator::run(b.doc);
    EXPECT_EQ(displayName(b.doc, r.bodies[0]), "Pied");
}

TEST(Evaluator, JoinWithoutTargetMergesIntoTheLastBody) {
    DocBuilder b;
    const Id s1 = b.sketch(rectSketch(0, 0, 10, 10));
    const Id s2 = b.sketch(rectSketch(20, 0, 30, 10));
    const Id s3 = b.sketch(rectSketch(25, 5, 35, 15));
    b.extrude(s1, {{5, 5}}, 1);
    const Id second = b.extrude(s2, {{25, 5}}, 1);
    b.extrude(s3, {{30, 10}}, 1, "join");
    const EvalResult r = Evaluator::run(b.doc);
    ASSERT_EQ(r.bodies.size(), 2u);
    EXPECT_EQ(r.bodies[1].id, second);
    EXPECT_NEAR(volumeOf(r, 1), 100 + 100 - 25, 1e-9);
    EXPECT_NEAR(volumeOf(r, 0), 100, 1e-9);
}

TEST(Evaluator, CutsRemoveEmptiedBodiesAndNeedABody) {
    DocBuilder b;
    const Id small = b.sketch(rectSketch(0, 0, 2, 2));
    const Id big = b.sketch(rectSketch(-1, -1, 30, 3));
    const Id lone = b.extrude(big, {{20, 1}}, 5, "cut");
    b.extrude(small, {{1, 1}}, 1);
    const Id other = b.sketch(rectSketch(10, 0, 12, 2));
    b.extrude(other, {{11, 1}}, 1);
    b.extrude(big, {{20, 1}}, 5, "cut");
    const EvalResult r = Evaluator::run(b.doc);
    EXPECT_EQ(r.messages.at(lone), "Aucun corps à modifier.");
    EXPECT_TRUE(r.bodies.empty());  // both bodies lie wholly inside the cutter
}

TEST(Evaluator, FilletsFollowTheFarEndOfTheExtrusion) {
    DocBuilder b;
    const Id s = b.sketch(rectSketch(0, 0, 10, 10));
    const Id e = b.extrude(s, {{5, 5}}, -10);
    const Id f = b.fillet(e, "top", 1);
    const Frame frame = SketchPlane::xy().frame();
    const Region square{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {}};
    // Rounded at z = −10 only: the same as rounding the lower edge of 0…−10.
    const EvalResult top = Evaluator::run(b.doc);
    EXPECT_NEAR(volumeOf(top, 0), signedVolume(extrudeRegion(square, frame, 0, -10, 1, 0, false)),
                1e-9);
    b.feature(f).fillet->edges = "both";
    const EvalResult both = Evaluator::run(b.doc);
    EXPECT_NEAR(volumeOf(both, 0), signedVolume(extrudeRegion(square, frame, 0, -10, 1, 1, false)),
                1e-9);
    // The largest radius wins, and one chamfer makes every treated edge a chamfer.
    b.feature(f).fillet->edges = "top";
    b.fillet(e, "top", 3);
    const EvalResult larger = Evaluator::run(b.doc);
    EXPECT_NEAR(volumeOf(larger, 0),
                signedVolume(extrudeRegion(square, frame, 0, -10, 3, 0, false)), 1e-9);
    b.fillet(e, "bottom", 0.5, true);
    const EvalResult chamfered = Evaluator::run(b.doc);
    EXPECT_NEAR(volumeOf(chamfered, 0),
                signedVolume(extrudeRegion(square, frame, 0, -10, 3, 0.5, true)), 1e-9);
    // A fillet whose extrusion is not active fails.
    b.feature(e).suppressed = true;
    EXPECT_EQ(Evaluator::run(b.doc).messages.at(f), "Extrusion visée introuvable.");
}

TEST(Evaluator, CombineNeedsTwoDifferentBodies) {
    DocBuilder b;
    const Id s1 = b.sketch(rectSketch(0, 0, 10, 10));
    const Id s2 = b.sketch(rectSketch(5, 5, 15, 15));
    const Id e1 = b.extrude(s1, {{1, 1}}, 10);
    const Id e2 = b.extrude(s2, {{14, 14}}, 10);
    const Id same = b.combine(e1, e1, "cut");
    const Id missing = b.combine(e1, 999, "join");
    b.combine(e1, e2, "intersect", true);
    const EvalResult r = Evaluator::run(b.doc);
    EXPECT_EQ(r.messages.at(same), "Choisissez deux corps différents.");
    EXPECT_EQ(r.messages.at(missing), "Choisissez deux corps différents.");
    ASSERT_EQ(r.bodies.size(), 2u);  // the tool is kept
    EXPECT_NEAR(volumeOf(r, 0), 250, 1e-9);
    b.last().combine->keep = false;
    b.last().combine->op = "join";
    const EvalResult joined = Evaluator::run(b.doc);
    ASSERT_EQ(joined.bodies.size(), 1u);
    EXPECT_NEAR(volumeOf(joined, 0), 1000 + 1000 - 250, 1e-9);
}

TEST(Evaluator, UpToFaceReachesParallelPlanesOnly) {
    DocBuilder b;
    const Id s = b.sketch(rectSketch(0, 0, 10, 10));
    const Id e = b.extrude(s, {{5, 5}}, 1);
    b.feature(e).extrude->toFace = std::vector<double>{0, 0, 1, 25};
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), 2500, 1e-9);
    b.feature(e).extrude->toFace = std::vector<double>{1, 0, 0, 25};
    EXPECT_EQ(Evaluator::run(b.doc).messages.at(e),
              "La face visée est perpendiculaire à l'esquisse.");
    b.feature(e).extrude->toFace = std::vector<double>{0, 0, 1};  // not four numbers: distance
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), 100, 1e-9);
}

TEST(Evaluator, PicksChooseTheSmallestContainingRegionOnce) {
    Sketch s = rectSketch(0, 0, 20, 20);
    addCircle(s, {10, 10}, 3);
    DocBuilder b;
    const Id sk = b.sketch(s);
    const auto plate = Evaluator::pickRegions(s, {{1, 1}, {2, 2}, {10, 10}, {50, 50}});
    ASSERT_EQ(plate.size(), 2u);
    EXPECT_EQ(plate[0].holes.size(), 1u);
    const Id e = b.extrude(sk, {{1, 1}}, 2);
    const double disc = std::numbers::pi * 9 * 0 + std::abs(plate[1].area());
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), 2 * (400 - disc), 1e-6);
    b.feature(e).extrude->picks = {{50, 50}};
    EXPECT_EQ(Evaluator::run(b.doc).messages.at(e), "Aucun profil sélectionné.");
}

TEST(Evaluator, RevolutionAxesAndFailures) {
    Sketch s = rectSketch(2, 0, 4, 10);
    const Id axisA = s.addPoint({0, -5}), axisB = s.addPoint({0, 5});
    const Id axisLine = s.addLine(axisA, axisB, true);
    DocBuilder b;
    const Id sk = b.sketch(s);
    const Id r = b.revolve(sk, {{3, 5}}, -2, 360);
    const double turned = signedVolume(*Evaluator::run(b.doc).bodies.at(0).solid);
    // 72-sided prism ring: area of the polygonal annulus times the height.
    const double ring = 0.5 * 72 * std::sin(2 * std::numbers::pi / 72) * (16 - 4) * 10;
    EXPECT_NEAR(turned, ring, 1e-6);
    b.feature(r).revolve->axis = axisLine;
    EXPECT_NEAR(volumeOf(Evaluator::run(b.doc), 0), ring, 1e-6);
    b.feature(sk).sketch->points.back().p = {0, -5};  // zero-length axis line
    EXPECT_EQ(Evaluator::run(b.doc).messages.at(r), "Axe invalide.");
}

TEST(Evaluator, AbsurdValuesAndMissingReferencesNeverCrash) {
    DocBuilder b;
    const Id s = b.sketch(rectSketch(0, 0, 10, 10));
    b.extrude(s, {{5, 5}}, 1e12);
    b.revolve(s, {{5, 5}}, 12345, 1e9, "join");
    b.extrude(777, {{5, 5}}, 1);
    b.fillet(888, "both", 1e9);
    b.combine(-1, -2, "cut");
    b.remove(999);
    Feature unknown(b.doc.newId(), "gizmo", "Inconnue");
    b.doc.features.push_back(unknown);
    b.doc.marker = 100;
    const EvalResult r = Evaluator::run(b.doc);
    EXPECT_EQ(r.bodies.size(), 1u);
    EXPECT_EQ(r.messages.size(), 3u);
}

// The incremental evaluation must give exactly the plain result after any edit.
TEST(Evaluation, MatchesAFreshRunAfterRandomEditsAndReusesThePrefix) {
    DocBuilder b;
    const Id s1 = b.sketch(rectSketch(0, 0, 10, 10));
    const Id e1 = b.extrude(s1, {{5, 5}}, 4);
    Sketch holes;
    addCircle(holes, {3, 3}, 1);
    addCircle(holes, {7, 7}, 1.5);
    const Id s2 = b.sketch(holes);
    const Id cut = b.extrude(s2, {{3, 3}, {7, 7}}, 4, "cut");
    const Id f = b.fillet(e1, "top", 0.5);
    const Id s3 = b.sketch(rectSketch(8, 8, 14, 14));
    const Id e3 = b.extrude(s3, {{12, 12}}, 2, "join");

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
        const EvalResult fresh = Evaluator::run(b.doc);
        ASSERT_EQ(incremental.run(b.doc), fresh) << "round " << round;
    }
    b.doc.marker = 99;
    incremental.run(b.doc);
    b.feature(e3).extrude->distance += 1;
    EXPECT_EQ(incremental.run(b.doc), Evaluator::run(b.doc));
    EXPECT_EQ(incremental.lastRecomputed(), 1u);
}

}  // namespace
}  // namespace ivo
