// Polygons clear of the other solid that share a point with one already settled take its
// side without a walk of their own: the results must stay those of the plain algorithm,
// and a side found by one operation must never leak into the next.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "geometry/csg.h"
#include "support/reference_csg.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// A revolved grid about the z axis: neighbours share their corners exactly, as in a revolved
// profile.
Solid ring(V3 c, double R, double r, int around, int across) {
    return torusSolid(c, 2, R, r, around, across);
}

Solid joined(Solid a, const Solid& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Pair {
    std::string name;
    Solid a, b;
};

// Each is fine enough for the clear polygons to be looked for.
std::vector<Pair> pairs() {
    const Solid tube = ring({0, 0, 0}, 10, 3, 64, 24);
    return {
        // Crossing in two places, side by side: clear runs outside the other on both
        // sides of each crossing, and inside it between them, each run joined to the next
        // only through polygons that cross the other's surface.
        {"crossing rings", ring({0, 0, 0}, 10, 3, 64, 16), ring({6, 0, 1}, 10, 3, 64, 16)},
        // A ring through a box: the parts inside and outside the box share points only
        // with the polygons that cross its faces.
        {"ring through a box", polyBox({-9, -15, -5}, {9, 15, 5}), tube},
        // One operand of two rings with no point in common, both within the sphere's box:
        // the one wholly inside the sphere, the small one in a corner of the box outside
        // it. Each must be settled on its own.
        {"rings apart", joined(ring({0, 0, 0}, 4, 1, 48, 16), ring({6.3, 6.3, 6.3}, 1, 0.3, 24, 8)),
         sphereSolid({0, 0, 0}, 8, 24, 48)},
        // Nested: the inner ring's polygons all lie inside the outer one, none near it.
        {"ring in a ring", ring({0, 0, 0}, 10, 3, 64, 24), ring({0, 0, 0}, 10, 1, 48, 16)},
    };
}

TEST(CsgSharedPoint, ResultsAreThoseOfThePlainAlgorithm) {
    for (const Pair& c : pairs()) {
        const Solid ours[3] = {CSG::unite(c.a, c.b), CSG::subtract(c.a, c.b),
                               CSG::intersect(c.a, c.b)};
        const Solid plain[3] = {PlainCSG::unite(c.a, c.b), PlainCSG::subtract(c.a, c.b),
                                PlainCSG::intersect(c.a, c.b)};
        for (int op = 0; op < 3; ++op) {
            EXPECT_EQ(plainDifference(ours[op], plain[op], 1e-6), "") << c.name << "/" << op;
            EXPECT_EQ(closedSurfaceFault(ours[op]), "") << c.name << "/" << op;
        }
        // Operands swapped: the other solid's polygons are the ones settled.
        EXPECT_EQ(plainDifference(CSG::subtract(c.b, c.a), PlainCSG::subtract(c.b, c.a), 1e-6), "")
            << c.name;
    }
}

// The same ring settled inside one solid and then outside another: the sides its points
// were given the first time must not be taken the second time.
TEST(CsgSharedPoint, SidesDoNotOutliveTheirOperation) {
    const Solid r = ring({0, 0, 0}, 10, 3, 64, 24);
    // Holds all of the ring, far from its faces.
    const Solid around = polyBox({-20, -20, -10}, {20, 20, 10});
    // In the ring's hole: the inner side of the ring lies within its box, outside it.
    const Solid hole = sphereSolid({0, 0, 0}, 6, 40, 80);
    for (int k = 0; k < 2; ++k) {
        releaseCsgMemory();
        // One operation settles the ring's points inside first.
        EXPECT_TRUE(CSG::subtract(r, around).empty());
        const Solid after = k == 0 ? CSG::unite(r, hole) : CSG::subtract(r, hole);
        releaseCsgMemory();
        const Solid fresh = k == 0 ? CSG::unite(r, hole) : CSG::subtract(r, hole);
        EXPECT_EQ(after.size(), fresh.size()) << k;
        EXPECT_TRUE(after == fresh) << k;
    }
    const Solid fresh[2] = {CSG::unite(r, hole), CSG::subtract(r, hole)};
    EXPECT_EQ(plainDifference(fresh[0], PlainCSG::unite(r, hole), 1e-6), "");
    EXPECT_EQ(plainDifference(fresh[1], PlainCSG::subtract(r, hole), 1e-6), "");
    EXPECT_TRUE(fresh[1] == r);
}

}  // namespace
}  // namespace ivo
