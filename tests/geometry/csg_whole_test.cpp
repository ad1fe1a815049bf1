// Polygons that meet nothing of the other solid are settled whole by one point instead of
// being clipped: the results must still be those of the plain algorithm.
#include <gtest/gtest.h>

#include <string>

#include "geometry/csg.h"
#include "support/reference_csg.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

struct Pair {
    std::string name;
    Solid a, b;
};

// Small operations clip every polygon; these are fine enough to be looked into.
std::vector<Pair> pairs() {
    return {
        // Every polygon of b far inside a, every polygon of a far outside b.
        {"sphere in box", polyBox({0, 0, 0}, {10, 10, 10}), sphereSolid({5, 5, 5}, 2, 24, 48)},
        // A sphere through a face: its far cap inside, its near cap outside, a band cut.
        {"sphere through a face", polyBox({0, 0, 0}, {10, 10, 10}),
         sphereSolid({5, 10, 5}, 3, 24, 48)},
        // A cylinder standing on a face: coplanar contact, its walls clear above it.
        {"cylinder on a face", polyBox({0, 0, 0}, {10, 10, 10}),
         polyCylinder({5, 10, 5}, 2, 4, 1100)},
        // A cylinder sunk into a face up to its middle.
        {"cylinder half sunk", polyBox({0, 0, 0}, {10, 10, 10}),
         polyCylinder({5, 8, 5}, 2, 4, 1100)},
        // Two fine spheres overlapping: most of each lies clear of the other, on both sides.
        {"two spheres", sphereSolid({0, 0, 0}, 5, 24, 48), sphereSolid({4, 1.25, 0.75}, 4, 20, 40)},
        // Nested spheres that never touch.
        {"sphere in sphere", sphereSolid({0, 0, 0}, 5, 24, 48),
         sphereSolid({0.5, 0, 0}, 2, 24, 48)},
    };
}

TEST(CsgWhole, ResultsAreThoseOfThePlainAlgorithm) {
    for (const Pair& c : pairs()) {
        const Solid ours[3] = {CSG::unite(c.a, c.b), CSG::subtract(c.a, c.b),
                               CSG::intersect(c.a, c.b)};
        const Solid plain[3] = {PlainCSG::unite(c.a, c.b), PlainCSG::subtract(c.a, c.b),
                                PlainCSG::intersect(c.a, c.b)};
        for (int op = 0; op < 3; ++op) {
            EXPECT_EQ(plainDifference(ours[op], plain[op], 1e-6), "") << c.name << "/" << op;
            EXPECT_EQ(closedSurfaceFault(ours[op]), "") << c.name << "/" << op;
        }
        // In blocks, the same polygons.
        const SolidBlocks a(c.a);
        EXPECT_EQ(CSG::subtractBlocks(a, c.b).flat(), ours[1]) << c.name;
        EXPECT_EQ(CSG::intersectBlocks(a, c.b).flat(), ours[2]) << c.name;
    }
}

TEST(CsgWhole, ClearPolygonsComeBackWholeOnTheirSide) {
    const Solid outer = polyBox({0, 0, 0}, {10, 10, 10});
    const Solid inner = sphereSolid({5, 5, 5}, 2, 24, 48);
    Solid flippedInner;
    for (const CPoly& p : inner)
        flippedInner.push_back(p.flipped());
    Solid cut = outer;
    cut.insert(cut.end(), flippedInner.begin(), flippedInner.end());
    EXPECT_EQ(CSG::subtract(outer, inner), cut);
    EXPECT_EQ(CSG::intersect(outer, inner), inner);
    EXPECT_EQ(CSG::unite(outer, inner), outer);
    // Turned round: the small one loses everything, the large one nothing of its own.
    EXPECT_TRUE(CSG::subtract(inner, outer).empty());
    EXPECT_EQ(CSG::intersect(inner, outer), inner);
    EXPECT_EQ(CSG::unite(inner, outer), outer);
}

}  // namespace
}  // namespace ivo
