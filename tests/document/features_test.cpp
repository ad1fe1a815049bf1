// Automatic picks, operations, names and insertions of features, and the limits and clicks of
// an open feature, without a window.
#include "document/features.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <tuple>

#include "geometry/mesh.h"
#include "sketch/profiles.h"
#include "support/doc_builder.h"

namespace ivo {
namespace {

using std::tuple;
using namespace ivo::testing;

// A document holding the primitive as its whole timeline.
Doc primitiveDoc(const std::string& kind) {
    Doc doc;
    Primitive p = makePrimitive(doc, kind, false);
    doc.features = {std::move(p.sketch), std::move(p.solid)};
    doc.marker = 2;
    return doc;
}

std::map<Id, std::vector<Tri>> trianglesOf(const EvalResult& r) {
    std::map<Id, std::vector<Tri>> out;
    for (const Body& b : r.bodies)
        out[b.id] = triangles(*b.solid);
    return out;
}

TEST(AutoPicks, RectangleWithCircleGivesTheRingOnlyForAnyCircle) {
    std::mt19937 rng(16);
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < 300; ++i) {
        const double w = 10 + 90 * u(rng), h = 10 + 90 * u(rng);
        const double r = 0.05 + 0.45 * std::min(w, h) * u(rng) * 0.9;
        const V2 c{r + (w - 2 * r) * u(rng), r + (h - 2 * r) * u(rng)};
        Sketch s = rectSketch(0, 0, w, h);
        addCircle(s, c, r);
        const std::vector<V2> picks = autoPicks(s);
        ASSERT_EQ(picks.size(), 1u) << w << " x " << h << ", " << c.x << ", " << c.y << " r " << r;
        const std::vector<Region> picked = Evaluator::pickRegions(s, picks);
        ASSERT_EQ(picked.size(), 1u);
        EXPECT_EQ(picked[0].holes.size(), 1u);
        EXPECT_NEAR(polyArea(picked[0].outer), w * h, 1e-6);
        EXPECT_GT((picks[0] - c).length(), r * 0.99);
    }
}

TEST(AutoPicks, CountsPerLayout) {
    const struct {
        const char* name;
        std::vector<Loop> polygons;
        std::vector<std::pair<V2, double>> circles;
        size_t picks;
    } cases[] = {
        {"two rectangles apart", {rect(0, 0, 10, 10), rect(20, 0, 30, 10)}, {}, 2},
        // The ring and the disc nested in the circle both fill a hole.
        {"rect, circle, circle", {rect(0, 0, 40, 40)}, {{{20, 20}, 10}, {{20, 20}, 4}}, 1},
        // Equal discs have equal areas: each is recognised as the island of its own hole.
        {"two equal holes", {rect(0, 0, 40, 20)}, {{{10, 10}, 4}, {{30, 10}, 4}}, 1},
        // A congruent square elsewhere has the same area and vertex count as the hole.
        {"square hole, twin apart",
         {rect(0, 0, 30, 30), rect(5, 5, 10, 10), rect(40, 5, 45, 10)},
         {},
         2},
    };
    for (const auto& c : cases) {
        Sketch s;
        for (const Loop& p : c.polygons)
            addPolygon(s, p);
        for (const auto& [centre, r] : c.circles)
            addCircle(s, centre, r);
        EXPECT_EQ(autoPicks(s).size(), c.picks) << c.name;
    }
}

TEST(AutoOperation, FollowsTheToolAgainstTheBodiesBefore) {
    // The box primitive spans x and z from −10 to 10, y from 0 to 20.
    const EvalResult before = Evaluator::run(primitiveDoc("box"));
    ASSERT_EQ(before.bodies.size(), 1u);
    const tuple<double, double, bool, Loop, const char*> cases[] = {
        {20, 5, false, rect(-2, -2, 2, 2), op::join},       // outwards from the top face
        {20, -5, false, rect(-2, -2, 2, 2), op::cut},       // into the body
        {20, 6, true, rect(-2, -2, 2, 2), op::cut},         // half inside
        {20, 5, false, rect(30, 30, 40, 40), op::newBody},  // beside, boxes apart
        {20, -5, false, rect(10, -2, 14, 2), op::join},     // touching a side only
    };
    for (const auto& [planeY, distance, symmetric, loop, want] : cases) {
        Sketch s(SketchPlane::face({0, 1, 0}, {0, planeY, 0}));
        addPolygon(s, loop);
        const ExtrudeP e{1, autoPicks(s), distance, symmetric, op::newBody, 0, {}};
        EXPECT_EQ(autoOperation(s, e, before.bodies), std::optional<std::string>(want))
            << "plane y " << planeY << ", distance " << distance;
    }
    Sketch s(SketchPlane::face({0, 1, 0}, {0, 20, 0}));
    addPolygon(s, rect(-2, -2, 2, 2));
    EXPECT_EQ(autoOperation(s, ExtrudeP{1, {{100, 100}}, 5, false, op::join, 0, {}}, before.bodies),
              std::nullopt);
    EXPECT_EQ(autoOperation(s, ExtrudeP{1, autoPicks(s), 5, false, op::join, 0, {}}, {}),
              std::optional<std::string>(op::newBody));
}

TEST(Primitive, SketchesSolveAndEvaluateToTheirVolumes) {
    constexpr double pi = std::numbers::pi;
    for (const auto& [kind, volume, tolerance] : {tuple{"box", 8000.0, 1e-6},
                                                  {"cyl", pi * 100 * 20, 0.01},
                                                  {"sphere", 4.0 / 3 * pi * 1000, 0.01}}) {
        const Doc doc = primitiveDoc(kind);
        Sketch resolved = *doc.features[0].sketch;
        EXPECT_TRUE(!resolved.constraints.empty() && resolved.solve()) << kind;
        const EvalResult r = Evaluator::run(doc);
        ASSERT_TRUE(r.errors.empty() && r.bodies.size() == 1u) << kind;
        EXPECT_NEAR(signedVolume(*r.bodies[0].solid), volume, volume * tolerance) << kind;
    }
    // On bodies already there, the primitive joins them.
    Doc doc;
    const Primitive joined = makePrimitive(doc, "box", true);
    EXPECT_EQ(tuple(joined.solid.extrude->op, joined.solid.extrude->sketch),
              tuple(std::string(op::join), joined.sketch.id));
}

TEST(FaceSketch, OutlinesTheFirstFaceWithItsHolesAsFixedPoints) {
    DocBuilder more;
    more.doc = primitiveDoc("box");
    Sketch hole(SketchPlane::xz());
    addCircle(hole, {0, 0}, 4);
    more.extrude(more.sketch(hole), {{0, 0}}, 20, op::cut);
    const EvalResult r = Evaluator::run(more.doc);
    ASSERT_TRUE(r.errors.empty());
    const auto fs = faceSketch({{r.bodies.at(0).id, {0, 1, 0}, 20}}, trianglesOf(r));
    ASSERT_TRUE(fs);
    EXPECT_FALSE(fs->ignoredFaces);
    EXPECT_TRUE(std::all_of(fs->sketch.points.begin(), fs->sketch.points.end(),
                            [](const SPoint& p) { return p.fixed; }));
    EXPECT_NEAR(fs->sketch.plane.o.y, 20, 1e-9);
    ASSERT_EQ(fs->picks.size(), 1u);
    const std::vector<Region> picked = Evaluator::pickRegions(fs->sketch, fs->picks);
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0].holes.size(), 1u);
    EXPECT_NEAR(picked[0].area(), 400 - std::numbers::pi * 16, 1.0);
    // Each vertex of the outline is one point: the lines close their chains.
    EXPECT_EQ(fs->sketch.lines.size(), fs->sketch.points.size() - 1);
    const auto boxTris = trianglesOf(r);
    EXPECT_FALSE(faceSketch({{r.bodies[0].id + 100, {0, 1, 0}, 20}}, boxTris)) << "unknown body";
    EXPECT_FALSE(faceSketch({}, boxTris));
}

TEST(ProfileSketch, LastActiveSketchWithARegionBeforeTheInsertionPoint) {
    DocBuilder b;
    b.sketch(rectSketch(0, 0, 10, 10));             // 0
    b.sketch(Sketch());                             // 1: no region
    b.sketch(rectSketch(0, 0, 5, 5));               // 2: suppressed below
    b.extrude(b.doc.features[0].id, {{5, 5}}, 10);  // 3
    b.sketch(rectSketch(20, 0, 25, 5));             // 4
    b.doc.features[2].suppressed = true;
    EXPECT_EQ(profileSketchIndex(b.doc, 5), std::optional<size_t>(4));
    EXPECT_EQ(profileSketchIndex(b.doc, 4), std::optional<size_t>(0));
    b.doc.features[0].sketch = Sketch();
    EXPECT_EQ(profileSketchIndex(b.doc, 4), std::optional<size_t>(1)) << "no region anywhere";
    EXPECT_EQ(profileSketchIndex(b.doc, 0), std::nullopt);
}

TEST(Insert, PrimitiveAtTheMarkerThenAPushPullOfItsTop) {
    DocBuilder b;
    b.extrude(b.sketch(rectSketch(100, 0, 110, 10)), {{105, 5}}, 10);
    b.doc.marker = 1;  // the extrusion is rolled back: the primitive goes before it
    EXPECT_EQ(insertPrimitive(b.doc, "box", false), 2u);
    EXPECT_EQ(tuple(b.doc.marker, b.doc.features[2].extrude->sketch, b.doc.features[3].name),
              tuple(3, b.doc.features[1].id, std::string("Extrusion1")));
    const EvalResult r = Evaluator::run(b.doc);
    ASSERT_EQ(r.bodies.size(), 1u);
    const Doc untouched = b.doc;
    EXPECT_FALSE(insertFaceExtrusion(b.doc, {{r.bodies[0].id, {0, 1, 0}, 33}}, trianglesOf(r)));
    EXPECT_EQ(b.doc, untouched);
    bool ignored = true;
    ASSERT_EQ(
        insertFaceExtrusion(b.doc, {{r.bodies[0].id, {0, 1, 0}, 20}}, trianglesOf(r), &ignored),
        std::optional<size_t>(4));
    const Feature& e = b.doc.features[4];
    EXPECT_EQ(tuple(ignored, b.doc.marker, e.extrude->op, e.extrude->target, e.extrude->distance),
              tuple(false, 5, std::string(op::join), r.bodies[0].id, 5.0));
    const EvalResult after = Evaluator::run(b.doc);
    ASSERT_TRUE(after.errors.empty() && after.bodies.size() == 1u);
    EXPECT_NEAR(signedVolume(*after.bodies[0].solid), 20 * 20 * 25, 1e-3);
}

// The clicks, drags, aims and typed limits of an open feature.
TEST(OpenFeature, PicksDragsAimsAndFieldLimits) {
    // Two equal squares side by side: a region picked twice goes in one click, its congruent
    // neighbour stays a region of its own.
    Sketch two = rectSketch(0, 0, 10, 10);
    addPolygon(two, rect(20, 0, 30, 10));
    EXPECT_TRUE(sameRegion(two, {2, 2}, {8, 7}));
    EXPECT_FALSE(sameRegion(two, {2, 2}, {22, 2}) || sameRegion(two, {2, 2}, {15, 5}) ||
                 sameRegion(two, {15, 5}, {15, 5}));
    EXPECT_TRUE(togglePick(two, {{2, 2}, {8, 8}}, {5, 5})->empty());
    EXPECT_EQ(*togglePick(two, {}, {5, 5}), std::vector<V2>{V2(5, 5)});
    EXPECT_EQ(togglePick(two, {{5, 5}}, {25, 5})->size(), 2u);
    EXPECT_FALSE(togglePick(two, {{5, 5}}, {15, 5}));
    // Drags: tenths towards zero with a floor, doubled when symmetric; millimetres along the
    // projected normal, none where a millimetre is under a pixel.
    const tuple<double, bool, double> drags[] = {
        {3, true, 6},         {-3, true, 6},     {2.37, false, 2.3},    {-2.37, false, -2.3},
        {-0.04, false, -0.1}, {0.02, true, 0.1}, {12.349, false, 12.3}, {NAN, false, 0.1},
    };
    for (const auto& [t, symmetric, want] : drags)
        EXPECT_EQ(dragDistance(t, symmetric), want) << t << " " << symmetric;
    EXPECT_DOUBLE_EQ(*handleParam({10, 10}, {10, 14}, {25, 22}), 3.0);
    EXPECT_DOUBLE_EQ(*handleParam({10, 10}, {10, 14}, {10, 2}), -2.0);
    EXPECT_FALSE(handleParam({10, 10}, {10, 10.0005}, {10, 20}));
    // Aims at a face: parallel, perpendicular or in the sketch's plane (XY, normal +z).
    const Sketch s = rectSketch(0, 0, 10, 10);
    const ExtrudeP e{0, {{5, 5}}, 10, false, op::join, 0, {}};
    const FaceAim a = aimAtFace(s, e, {0, 0, 1}, {3, 3, 12.34567});
    EXPECT_EQ(tuple(a.kind, a.distance, a.toFace),
              tuple(FaceAim::Kind::reached, 12.345, std::vector<double>{0, 0, 1, 12.34567}));
    EXPECT_EQ(aimAtFace(s, e, {1, 0, 0}, {4, 0, 0}).kind, FaceAim::Kind::perpendicular);
    EXPECT_EQ(aimAtFace(s, e, {0, 0, -1}, {7, 7, 0.00001}).kind, FaceAim::Kind::sketchPlane);
    // Typed values of the inspector's fields.
    using Read = FieldRead (*)(double, std::optional<double>);
    const tuple<const char*, Read, std::optional<double>, double, FieldRefusal> fields[] = {
        {"distance -5 flips", readDistance, -5.0, -5, FieldRefusal::none},
        {"distance 0 keeps", readDistance, 0.0, 10, FieldRefusal::zero},
        {"distance unreadable keeps", readDistance, std::nullopt, 10, FieldRefusal::unreadable},
        {"angle 400", readAngle, 400.0, 360, FieldRefusal::none},
        {"angle 0 keeps", readAngle, 0.0, 10, FieldRefusal::zero},
        {"radius negative keeps", readRadius, -1.0, 10, FieldRefusal::negative},
        {"radius 0 taken", readRadius, 0.0, 0, FieldRefusal::none},
        {"radius NaN keeps", readRadius, NAN, 10, FieldRefusal::unreadable},
    };
    for (const auto& [what, read, typed, value, refusal] : fields)
        EXPECT_EQ(tuple(read(10, typed).value, read(10, typed).refusal), tuple(value, refusal))
            << what;
    EXPECT_TRUE(readAngle(10, 400.0).clamped && !readAngle(10, 360.0).clamped);
}

}  // namespace
}  // namespace ivo
