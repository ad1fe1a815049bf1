#include "document/evaluator.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>

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

// Overlapping regions are united, groups apart put side by side.
TEST(Evaluator, RegionsUniteByGroups) {
    Sketch s;
    addPolygon(s, rect(20, 0, 21, 1));  // alone
    addPolygon(s, rect(0, 0, 2, 2));    // a chain of overlaps: the first meets the second,
    addPolygon(s, rect(1, 0, 3, 2));    // the second the third, the first not the third
    addPolygon(s, rect(2.5, 0, 4, 2));
    // An L and a square in its notch: boxes overlap, solids only touch at a corner.
    addPolygon(s, {{10, 0}, {14, 0}, {14, 1}, {11, 1}, {11, 4}, {10, 4}});
    addPolygon(s, {{12, 2}, {14, 2}, {14, 4}, {12, 4}});
    addPolygon(s, rect(30, 0, 31, 1));
    const std::pair<std::vector<V2>, double> cases[] = {
        {{{20.5, 0.5}, {0.5, 1}, {1.5, 1}, {2.2, 1}, {2.8, 1}, {3.5, 1}}, 1 + 8},
        {{{12.5, 2.5}, {10.5, 0.5}, {30.5, 0.5}}, 4 + 7 + 1},
    };
    for (const auto& [picks, area] : cases) {
        DocBuilder b;
        b.extrude(b.sketch(s), picks, 2);
        const EvalResult r = Evaluator::run(b.doc);
        ASSERT_EQ(r.bodies.size(), 1u);
        EXPECT_NEAR(signedVolume(*r.bodies[0].solid), 2 * area, 1e-9);
        EXPECT_EQ(closedSurfaceFault(*r.bodies[0].solid, false), "");
    }
}

// An edit at any depth of a long timeline, replayed from the closest state held, gives the
// fresh result.
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

// A cut without a target goes through every body with one tool, which the last body cut
// may take over: each body must come out as when it is cut on its own.
TEST(EvaluatorCut, OneToolCutsEveryBodyAsIfEachWereCutAlone) {
    // Three plates side by side, with two holes drilled through each.
    DocBuilder all, each;
    std::vector<Id> plates;
    for (DocBuilder* b : {&all, &each}) {
        plates.clear();
        for (int i = 0; i < 3; ++i)
            plates.push_back(b->extrude(b->sketch(rectSketch(20.0 * i, 0, 20.0 * i + 10, 10)),
                                        {{20.0 * i + 1, 1}}, 4));
    }
    Sketch circles(SketchPlane{"Face", {0, 0, 4}, {1, 0, 0}, {0, 0, 1}});
    std::vector<V2> centres;
    for (int i = 0; i < 3; ++i)
        for (double y : {3.0, 7.0}) {
            centres.push_back({20.0 * i + 5, y});
            addCircle(circles, centres.back(), 1.5);
        }
    all.extrude(all.sketch(circles), centres, -4, op::cut);
    const Id sketch = each.sketch(circles);
    for (Id plate : plates) {
        each.extrude(sketch, centres, -4, op::cut);
        each.doc.features.back().extrude->target = plate;
    }

    const EvalResult cutAll = Evaluator::run(all.doc), cutEach = Evaluator::run(each.doc);
    ASSERT_EQ(cutAll.bodies.size(), 3u);
    ASSERT_EQ(cutEach.bodies.size(), 3u);
    EXPECT_TRUE(cutAll.errors.empty());
    for (size_t i = 0; i < 3; ++i) {
        const Solid& s = *cutAll.bodies[i].solid;
        EXPECT_EQ(s, *cutEach.bodies[i].solid) << i;
        // Two holes went through: each a polygon inscribed in its circle, so smaller than
        // the circle and larger than the square inscribed in it.
        EXPECT_GT(signedVolume(s), 400 - 2 * std::numbers::pi * 1.5 * 1.5 * 4) << i;
        EXPECT_LT(signedVolume(s), 400 - 2 * 2 * 1.5 * 1.5 * 4) << i;
    }
}

// A plate, then features of each operation through circles of a sketch on its top face. The
// last feature's bodies are made flat, in blocks only when a later feature cuts them again.
Doc lastOpModel(const std::string& lastOp) {
    DocBuilder b;
    b.extrude(b.sketch(rectSketch(0, 0, 60, 20)), {{1, 1}}, 5);
    Sketch circles(SketchPlane{"Face", {0, 0, 5}, {1, 0, 0}, {0, 0, 1}});
    for (int i = 0; i < 5; ++i)
        addCircle(circles, {6.0 + 12 * i, 10}, 3);
    const Id s = b.sketch(std::move(circles));
    b.extrude(s, {{6, 10}, {18, 10}}, -3, op::cut);
    b.extrude(s, {{30, 10}}, 4, op::join);
    b.extrude(s, {{42, 10}, {54, 10}}, -8, lastOp);
    return b.doc;
}

TEST(EvaluatorLast, IncrementalRunsAroundTheLastFeatureMatchRunsFromScratch) {
    for (const char* lastOp : {op::cut, op::join, op::intersect, op::newBody}) {
        SCOPED_TRACE(lastOp);
        Doc doc = lastOpModel(lastOp);
        const auto n = static_cast<std::int64_t>(doc.features.size());
        Evaluation ev;
        auto check = [&](std::optional<std::int64_t> upTo) {
            const EvalResult r = ev.run(doc, upTo);
            ASSERT_TRUE(r.errors.empty());
            EXPECT_EQ(r, Evaluator::run(doc, upTo));
        };
        check(std::nullopt);
        // The marker back and forth: each feature in turn the last, then not.
        for (std::int64_t k = n; k >= 2; --k)
            check(k);
        check(std::nullopt);
        // An edit of the last feature, then one after it, then features appended.
        doc.features.back().extrude->distance *= 1.5;
        check(std::nullopt);
        doc.features[3].extrude->distance = -2;
        check(std::nullopt);
        DocBuilder more;
        more.doc = doc;
        const Id circles = doc.features[2].id;
        more.extrude(circles, {{54, 10}}, -5, op::cut);
        more.extrude(circles, {{18, 10}}, 6, op::join);
        doc = more.doc;
        check(std::nullopt);
        check(n);
        check(std::nullopt);
    }
}

double totalVolume(const EvalResult& r) {
    double v = 0;
    for (const Body& b : r.bodies)
        v += signedVolume(*b.solid);
    return v;
}

// Cap triangles kept between runs: an edit of the outline, or of what treats the caps, gives
// the solids of the edited document. Two circles, one padded by 5, one turned a quarter.
TEST(EvaluatorCaps, EditsAreNotServedTheTrianglesOfTheOldOutline) {
    for (int edit = 0; edit < 4; ++edit) {
        SCOPED_TRACE("edit " + std::to_string(edit));
        DocBuilder b;
        Sketch s;
        addCircle(s, {20, 10}, 4);
        addCircle(s, {40, 10}, 3);
        const Id sk = b.sketch(std::move(s));
        const Id pad = b.extrude(sk, {{20, 10}}, 5), turn = b.revolve(sk, {{40, 10}}, -2, 90);
        Evaluation ev;
        const EvalResult before = ev.run(b.doc);
        ASSERT_EQ(before.bodies.size(), 2u);
        Sketch& k = *b.feature(sk).sketch;
        if (edit == 0) k.circles[0].r = 6;
        if (edit == 1) {  // the centres moved away from the axis
            for (SPoint& p : k.points)
                if (p.id != 0) p.p.x += 2.5;
            b.feature(pad).extrude->picks[0].x += 2.5;
            b.feature(turn).revolve->picks[0].x += 2.5;
        }
        if (edit == 2) b.fillet(pad, "both", 1);
        if (edit == 3) {
            b.feature(pad).extrude->distance = -8;
            b.feature(turn).revolve->angle = 200;
        }
        const EvalResult after = ev.run(b.doc);
        EXPECT_EQ(after, Evaluator::run(b.doc));
        EXPECT_NE(totalVolume(after), totalVolume(before));
        if (edit != 0) continue;
        // The pad of a plain outline is a prism, whose volume its region gives.
        const std::vector<Region> r = Evaluator::pickRegions(*b.feature(sk).sketch, {{20, 10}});
        ASSERT_EQ(r.size(), 1u);
        EXPECT_NEAR(signedVolume(*after.bodies.at(0).solid), std::abs(r[0].area()) * 5, 1e-6);
    }
}

}  // namespace
}  // namespace ivo
