#include "document/features.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include "geometry/mesh.h"
#include "sketch/profiles.h"
#include "support/doc_builder.h"

namespace ivo {
namespace {

using std::tuple;
using testing::addCircle;
using testing::addPolygon;
using testing::rect;
using testing::rectSketch;

constexpr double pi = std::numbers::pi;

// A document holding the primitive as its whole timeline.
Doc primitiveDoc(const std::string& kind) {
    Doc doc;
    Primitive p = makePrimitive(doc, kind, false);
    doc.features.push_back(std::move(p.sketch));
    doc.features.push_back(std::move(p.solid));
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
        ASSERT_EQ(picks.size(), 1u)
            << w << " x " << h << ", circle " << c.x << ", " << c.y << " r " << r;
        const std::vector<Region> picked = Evaluator::pickRegions(s, picks);
        ASSERT_EQ(picked.size(), 1u);
        EXPECT_EQ(picked[0].holes.size(), 1u);
        EXPECT_NEAR(polyArea(picked[0].outer), w * h, 1e-6);
        EXPECT_GT((picks[0] - c).length(), r * 0.99);
    }
}

TEST(AutoPicks, CountsPerLayout) {
    struct Circle {
        V2 c;
        double r;
    };
    const struct {
        const char* name;
        std::vector<Loop> polygons;
        std::vector<Circle> circles;
        size_t picks;
    } cases[] = {
        {"empty", {}, {}, 0},
        {"one circle", {}, {{{3, 4}, 5}}, 1},
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
        for (const Circle& k : c.circles)
            addCircle(s, k.c, k.r);
        EXPECT_EQ(autoPicks(s).size(), c.picks) << c.name;
        if (c.polygons.size() != 3) continue;
        const std::vector<Region> regions = s.regions();  // only the square in the hole is one
        ASSERT_EQ(regions.size(), 3u);
        EXPECT_EQ(std::count_if(regions.begin(), regions.end(),
                                [&](const Region& r) { return fillsHole(r, regions); }),
                  1);
    }
}

TEST(AutoOperation, FollowsTheToolAgainstTheBodiesBefore) {
    // The box primitive spans x and z from −10 to 10, y from 0 to 20.
    const EvalResult before = Evaluator::run(primitiveDoc("box"));
    ASSERT_EQ(before.bodies.size(), 1u);
    const struct {
        double planeY, distance;
        bool symmetric;
        V2 lo, hi;
        const char* op;
    } cases[] = {
        {20, 5, false, {-2, -2}, {2, 2}, op::join},       // outwards from the top face
        {20, -5, false, {-2, -2}, {2, 2}, op::cut},       // into the body
        {20, 6, true, {-2, -2}, {2, 2}, op::cut},         // half inside
        {50, 5, false, {-2, -2}, {2, 2}, op::newBody},    // far above
        {20, 5, false, {30, 30}, {40, 40}, op::newBody},  // beside, boxes apart
        {20, -5, false, {10, -2}, {14, 2}, op::join},     // touching a side only
    };
    for (const auto& c : cases) {
        Sketch s(SketchPlane::face({0, 1, 0}, {0, c.planeY, 0}));
        addPolygon(s, rect(c.lo.x, c.lo.y, c.hi.x, c.hi.y));
        const ExtrudeP e{1, autoPicks(s), c.distance, c.symmetric, op::newBody, 0, {}};
        EXPECT_EQ(autoOperation(s, e, before.bodies), std::optional<std::string>(c.op))
            << "plane y " << c.planeY << ", distance " << c.distance;
    }
    Sketch s(SketchPlane::face({0, 1, 0}, {0, 20, 0}));
    addPolygon(s, rect(-2, -2, 2, 2));
    EXPECT_EQ(autoOperation(s, ExtrudeP{1, {{100, 100}}, 5, false, op::join, 0, {}}, before.bodies),
              std::nullopt);
    EXPECT_EQ(autoOperation(s, ExtrudeP{1, autoPicks(s), 5, false, op::join, 0, {}}, {}),
              std::optional<std::string>(op::newBody));
}

TEST(Primitive, SketchesSolveAndEvaluateToTheirVolumes) {
    const struct {
        const char *kind, *word, *solidKind;
        double volume, tolerance;
    } cases[] = {
        {"box", "Boîte", fk::extrude, 8000, 1e-6},
        {"cyl", "Cylindre", fk::extrude, pi * 100 * 20, 0.01},
        {"sphere", "Sphère", fk::revolve, 4.0 / 3 * pi * 1000, 0.01},
    };
    for (const auto& c : cases) {
        Doc doc = primitiveDoc(c.kind);
        const Feature &sk = doc.features[0], &solid = doc.features[1];
        EXPECT_EQ(tuple(sk.name, solid.name, solid.kind),
                  tuple(std::string(c.word) + " (esquisse)", std::string(c.word) + "1",
                        std::string(c.solidKind)));
        EXPECT_NE(sk.id, solid.id);
        ASSERT_TRUE(sk.sketch);
        EXPECT_FALSE(sk.sketch->constraints.empty());
        Sketch resolved = *sk.sketch;
        EXPECT_TRUE(resolved.solve()) << c.kind << ": the constraints hold";
        const EvalResult r = Evaluator::run(doc);
        EXPECT_TRUE(r.errors.empty()) << c.kind;
        ASSERT_EQ(r.bodies.size(), 1u) << c.kind;
        EXPECT_NEAR(signedVolume(*r.bodies[0].solid), c.volume, c.volume * c.tolerance) << c.kind;
    }
    Doc doc = primitiveDoc("box");
    const Primitive second = makePrimitive(doc, "box", true);
    EXPECT_EQ(tuple(second.solid.name, second.solid.extrude->op, second.solid.extrude->sketch),
              tuple(std::string("Boîte2"), std::string(op::join), second.sketch.id));

    // Dragging a corner away and solving again brings the box's square back around the origin.
    Sketch moved = *makePrimitive(doc, "box", false).sketch.sketch;
    moved.points[1].p = {-30, -7};
    ASSERT_TRUE(moved.solve());
    const std::vector<Region> regions = moved.regions();
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_NEAR(regions[0].area(), 400, 1e-4);
    EXPECT_NEAR(regionPoint(regions[0]).length(), 0, 10);
    for (V2 q : regions[0].outer) {
        EXPECT_NEAR(std::abs(q.x), 10, 1e-4);
        EXPECT_NEAR(std::abs(q.y), 10, 1e-4);
    }
}

TEST(FaceSketch, OutlinesTheFirstFaceWithItsHolesAsFixedPoints) {
    testing::DocBuilder more;
    more.doc = primitiveDoc("box");
    Sketch hole(SketchPlane::xz());
    addCircle(hole, {0, 0}, 4);
    more.extrude(more.sketch(hole), {{0, 0}}, 20, op::cut);
    const EvalResult r = Evaluator::run(more.doc);
    ASSERT_TRUE(r.errors.empty());
    const std::optional<FaceSketch> fs =
        faceSketch({{r.bodies.at(0).id, {0, 1, 0}, 20}}, trianglesOf(r));
    ASSERT_TRUE(fs);
    EXPECT_FALSE(fs->ignoredFaces);
    for (const SPoint& p : fs->sketch.points)
        EXPECT_TRUE(p.fixed) << "point " << p.id;
    EXPECT_NEAR(fs->sketch.plane.o.y, 20, 1e-9);
    ASSERT_EQ(fs->picks.size(), 1u);
    const std::vector<Region> picked = Evaluator::pickRegions(fs->sketch, fs->picks);
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0].holes.size(), 1u);
    EXPECT_NEAR(picked[0].area(), 400 - pi * 16, 1.0);
    // Each vertex of the outline is one point: the lines close their chains.
    EXPECT_EQ(fs->sketch.lines.size(), fs->sketch.points.size() - 1);

    // On the plain box: the bottom face, then the top face and a side; only the bottom counts.
    const EvalResult box = Evaluator::run(primitiveDoc("box"));
    const Id b = box.bodies.at(0).id;
    const auto boxTris = trianglesOf(box);
    const std::optional<FaceSketch> bottom =
        faceSketch({{b, {0, -1, 0}, 0}, {b, {0, 1, 0}, 20}, {b, {1, 0, 0}, 10}}, boxTris);
    ASSERT_TRUE(bottom);
    EXPECT_EQ(tuple(bottom->ignoredFaces, bottom->sketch.lines.size(), bottom->picks.size()),
              tuple(true, 4u, 1u));
    EXPECT_NEAR(bottom->sketch.plane.o.y, 0, 1e-9);
    EXPECT_FALSE(faceSketch({{b, {0, 1, 0}, 21}}, boxTris)) << "no triangle in that plane";
    EXPECT_FALSE(faceSketch({{b + 100, {0, 1, 0}, 20}}, boxTris)) << "unknown body";
    EXPECT_FALSE(faceSketch({}, boxTris));
}

TEST(AutoName, CountsKindsOrNames) {
    testing::DocBuilder b;
    const Id sketch = b.sketch(rectSketch(0, 0, 10, 10));
    const Id e = b.extrude(sketch, {{5, 5}}, 10);
    b.extrude(sketch, {{5, 5}}, 20);
    b.fillet(e, "top", 1);
    b.fillet(e, "top", 1, true);
    b.feature(b.fillet(e, "top", 1)).name = "Arrondi";  // renamed: not counted as a Congé
    const tuple<const char*, bool, const char*> cases[] = {{fk::extrude, false, "Extrusion3"},
                                                           {fk::revolve, false, "Révolution1"},
                                                           {fk::fillet, false, "Congé2"},
                                                           {fk::fillet, true, "Chanfrein2"},
                                                           {fk::combine, false, "Combiner1"}};
    for (const auto& [kind, chamfer, name] : cases)
        EXPECT_EQ(autoName(b.doc, kind, chamfer), name);
}

TEST(ProfileSketch, LastActiveSketchWithARegionBeforeTheInsertionPoint) {
    testing::DocBuilder b;
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
    testing::DocBuilder b;
    const Id first = b.sketch(rectSketch(100, 0, 110, 10));
    b.extrude(first, {{105, 5}}, 10);
    b.doc.marker = 1;  // the extrusion is rolled back: the primitive goes before it
    EXPECT_EQ(insertPrimitive(b.doc, "box", false), 2u);
    EXPECT_EQ(
        tuple(b.doc.marker, b.doc.features[1].name, b.doc.features[2].extrude->sketch,
              b.doc.features[3].name),
        tuple(3, std::string("Boîte (esquisse)"), b.doc.features[1].id, std::string("Extrusion1")));

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
    EXPECT_EQ(tuple(ignored, b.doc.marker, b.doc.features[3].name, e.name, e.extrude->op,
                    e.extrude->target, e.extrude->distance),
              tuple(false, 5, std::string("Esquisse3 (face)"), std::string("Extrusion3"),
                    std::string(op::join), r.bodies[0].id, 5.0));
    const EvalResult after = Evaluator::run(b.doc);
    EXPECT_TRUE(after.errors.empty());
    ASSERT_EQ(after.bodies.size(), 1u);
    EXPECT_NEAR(signedVolume(*after.bodies[0].solid), 20 * 20 * 25, 1e-3);
}

TEST(SameRegion, CongruentRegionsStayDistinct) {
    Sketch s = rectSketch(0, 0, 10, 10);
    addPolygon(s, rect(20, 0, 30, 10));
    EXPECT_TRUE(sameRegion(s, {2, 2}, {8, 7}));
    EXPECT_FALSE(sameRegion(s, {2, 2}, {22, 2}));
    EXPECT_FALSE(sameRegion(s, {2, 2}, {15, 5})) << "a point outside every region";
    EXPECT_FALSE(sameRegion(s, {15, 5}, {15, 5}));
}

}  // namespace
}  // namespace ivo
