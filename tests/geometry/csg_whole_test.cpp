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

std::vector<Pair> pairs() {
    return {
        // Every polygon of b far inside a, every polygon of a far outside b.
        {"box in box", polyBox({0, 0, 0}, {10, 10, 10}), polyBox({4, 4, 4}, {6, 6, 6})},
        // A sphere through a face: its far cap inside, its near cap outside, a band cut.
        {"sphere through a face", polyBox({0, 0, 0}, {10, 10, 10}),
         sphereSolid({5, 10, 5}, 3, 10, 20)},
        // A box standing on a face of the other: coplanar contact, nothing clear there.
        {"box on a face", polyBox({0, 0, 0}, {2, 2, 2}), polyBox({2, 0.5, 0.5}, {3, 1.5, 1.5})},
        // A box sunk into a face up to its middle, its top flush with nothing.
        {"box half sunk", polyBox({0, 0, 0}, {4, 4, 4}), polyBox({1, 1, 3}, {3, 3, 5})},
        // Two fine spheres overlapping: most of each lies clear of the other, on both sides.
        {"two spheres", sphereSolid({0, 0, 0}, 5, 16, 32), sphereSolid({4, 1, 0.5}, 4, 16, 32)},
        // Nested spheres that never touch.
        {"sphere in sphere", sphereSolid({0, 0, 0}, 5, 12, 24),
         sphereSolid({0.5, 0, 0}, 2, 12, 24)},
    };
}

TEST(CsgWhole, ResultsAreThoseOfThePlainAlgorithm) {
    for (const Pair& c : pairs()) {
        const Solid ours[3] = {CSG::unite(c.a, c.b), CSG::subtract(c.a, c.b),
                               CSG::intersect(c.a, c.b)};
        const Solid plain[3] = {PlainCSG::unite(c.a, c.b), PlainCSG::subtract(c.a, c.b),
                                PlainCSG::intersect(c.a, c.b)};
        for (int op = 0; op < 3; ++op) {
            EXPECT_NEAR(signedVolume(ours[op]), signedVolume(plain[op]), 1e-6)
                << c.name << "/" << op;
            auto mine = areaByPlane(ours[op]);
            for (const auto& [plane, area] : areaByPlane(plain[op])) {
                EXPECT_NEAR(mine[plane], area, 1e-6) << c.name << "/" << op;
                mine.erase(plane);
            }
            for (const auto& [plane, area] : mine)
                EXPECT_NEAR(area, 0, 1e-6) << c.name << "/" << op;
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
    const Solid inner = polyBox({4, 4, 4}, {6, 6, 6});
    const Solid cut = CSG::subtract(outer, inner);
    ASSERT_EQ(cut.size(), 12u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(cut[i], outer[i]);
        EXPECT_EQ(cut[6 + i], inner[i].flipped());
    }
    EXPECT_EQ(CSG::intersect(outer, inner), inner);
    EXPECT_EQ(CSG::unite(outer, inner), outer);
    // Turned round: the small one loses everything, the large one nothing of its own.
    EXPECT_TRUE(CSG::subtract(inner, outer).empty());
    EXPECT_EQ(CSG::intersect(inner, outer), inner);
    EXPECT_EQ(CSG::unite(inner, outer), outer);
}

}  // namespace
}  // namespace ivo
