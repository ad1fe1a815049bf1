#include "geometry/overhang.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

#include "document/evaluator.h"
#include "document/features.h"
#include "geometry/mesh.h"
#include "support/doc_builder.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// Faces told apart by their plane: all, those wholly flagged, and none partly flagged.
struct FaceCounts {
    size_t faces = 0, overhangs = 0;
    bool consistent = true;
};
FaceCounts countFaces(const std::vector<Tri>& tris, double angleDeg) {
    const std::vector<std::uint8_t> flags = overhangFlags(tris, angleDeg);
    EXPECT_EQ(flags.size(), tris.size());
    using Key = std::tuple<long, long, long, long>;
    std::set<Key> all, marked, unmarked;
    for (size_t i = 0; i < tris.size(); ++i) {
        const Tri& t = tris[i];
        const Key k{std::lround(t.n.x * 1e5), std::lround(t.n.y * 1e5), std::lround(t.n.z * 1e5),
                    std::lround(t.n.dot(t.a) * 1e3)};
        all.insert(k);
        (flags[i] ? marked : unmarked).insert(k);
    }
    FaceCounts c{all.size(), marked.size(), true};
    for (const Key& k : marked)
        c.consistent = c.consistent && !unmarked.count(k);
    return c;
}

std::vector<Tri> evaluatedBody(const Doc& doc) {
    const EvalResult r = Evaluator::run(doc);
    EXPECT_EQ(r.bodies.size(), 1u);
    EXPECT_TRUE(r.messages.empty());
    return r.bodies.empty() ? std::vector<Tri>{} : triangles(*r.bodies.front().solid);
}

struct Case {
    const char* what;
    double angle;
    size_t faces, overhangs;
};

void expectCounts(const std::vector<Tri>& tris, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " at " + std::to_string(c.angle) + "°");
        const FaceCounts got = countFaces(tris, c.angle);
        EXPECT_EQ(got.faces, c.faces);
        EXPECT_EQ(got.overhangs, c.overhangs);
        EXPECT_TRUE(got.consistent);
    }
}

TEST(Overhangs, BottomsRestOnTheBedAndTheCeilingOfATunnelLooksDown) {
    // A bottom looks straight down but lies on the bed wherever the box stands; walls are
    // vertical at any angle.
    for (V3 lo : {V3{0, 0, 0}, V3{-5, 12.5, 3}, V3{0, -40, 0}})
        expectCounts(triangles(polyBox(lo, lo + V3{10, 6, 8})),
                     {{"box", 0, 6, 0}, {"box", 45, 6, 0}, {"box", 90, 6, 0}});
    // A bar with a tunnel through its lower half: top, both feet, four outer sides, two inner
    // walls and the ceiling, 5 mm up.
    const Solid bridge =
        CSG::subtract(polyBox({0, 0, 0}, {30, 10, 10}), polyBox({10, -1, -1}, {20, 5, 11}));
    expectCounts(
        triangles(bridge),
        {{"tunnel", 0, 9, 1}, {"tunnel", 45, 9, 1}, {"tunnel", 89, 9, 1}, {"tunnel", 90, 9, 0}});
    for (double a : {0.0, 45.0, 90.0, 12.5})
        EXPECT_TRUE(validOverhangAngle(a)) << a;
    for (double a : {-0.1, 90.5, 180.0, std::nan(""), double(INFINITY)})
        EXPECT_FALSE(validOverhangAngle(a)) << a;
    EXPECT_TRUE(overhangFlags({}, 45).empty());
}

TEST(Overhangs, TheLowerRingsOfTheSphereAreOverhangsBeyondTheThreshold) {
    // The sphere primitive turns a half circle of 32 steps in 72: ring k below the equator
    // (k = 0…15) slopes down by 2.8125° + 5.625°·k at its middle, 72 faces each.
    Doc doc;
    Primitive p = makePrimitive(doc, "sphere", false);
    doc.features = {std::move(p.sketch), std::move(p.solid)};
    doc.marker = 2;
    const std::vector<Tri> sphere = evaluatedBody(doc);
    expectCounts(sphere, {{"sphere", 0, 32 * 72, 16 * 72},
                          {"sphere", 45, 32 * 72, 8 * 72},
                          {"sphere", 60, 32 * 72, 5 * 72},
                          {"sphere", 86, 32 * 72, 1 * 72},
                          {"sphere", 88, 32 * 72, 0}});
}

TEST(Overhangs, ABlockChamferedAt45DegreesPrintsAtTheDefaultThreshold) {
    // A 20 × 20 × 10 block, both rims chamfered by 2 mm: top, bottom, four sides and eight
    // chamfers. The lower chamfers slope down at exactly 45°.
    DocBuilder b;
    Sketch s = rectSketch(0, 0, 20, 20);
    s.plane = SketchPlane::xz();
    b.fillet(b.extrude(b.sketch(std::move(s)), {{10, 10}}, 10), "both", 2, true);
    expectCounts(evaluatedBody(b.doc), {{"chamfers", 0, 14, 4},
                                        {"chamfers", 44.9, 14, 4},
                                        {"chamfers", kDefaultOverhangAngle, 14, 0},
                                        {"chamfers", 60, 14, 0}});
}

}  // namespace
}  // namespace ivo
