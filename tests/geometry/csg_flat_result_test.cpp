// Booleans on a solid in blocks that give their result as one flat solid: the polygons of
// the result in blocks, in order, for every operation, near or apart, with the tool taken
// or not.
#include <gtest/gtest.h>

#include <random>

#include "geometry/csg.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

TEST(CsgFlatResult, FlatResultsArePolygonsOfTheBlocks) {
    for (unsigned seed = 1; seed <= 10; ++seed) {
        std::mt19937 rng(seed);
        // A solid of several blocks, itself the result of booleans (blocks of any size).
        SolidBlocks a(sphereSolid({5, 5, 5}, 6, 12, 24));
        a = CSG::subtractBlocks(a, randomSolid(rng));
        ASSERT_GT(a.blocks().size(), 3u);
        for (int i = 0; i < 6; ++i) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", tool " + std::to_string(i));
            Solid tool = randomSolid(rng);
            if (i % 3 == 2) tool = moved(tool, {40, 0, 0});  // apart: the shortcuts
            EXPECT_EQ(CSG::uniteFlat(a, tool), CSG::uniteBlocks(a, tool).flat());
            EXPECT_EQ(CSG::subtractFlat(a, tool), CSG::subtractBlocks(a, tool).flat());
            EXPECT_EQ(CSG::intersectFlat(a, tool), CSG::intersectBlocks(a, tool).flat());
            Solid t1 = tool, t2 = tool;
            const Solid taken = CSG::subtractFlat(a, std::move(t1));
            EXPECT_EQ(taken, CSG::subtractBlocks(a, std::move(t2)).flat());
            EXPECT_EQ(taken, CSG::subtractBlocks(a, tool).flat());
            a = CSG::uniteBlocks(a, tool);
        }
    }
}

TEST(CsgFlatResult, EmptyOperands) {
    const SolidBlocks none;
    const Solid box = polyBox({0, 0, 0}, {1, 1, 1});
    const SolidBlocks boxBlocks(box);
    EXPECT_EQ(CSG::uniteFlat(none, box), box);
    EXPECT_TRUE(CSG::subtractFlat(none, box).empty());
    EXPECT_TRUE(CSG::intersectFlat(none, box).empty());
    EXPECT_EQ(CSG::uniteFlat(boxBlocks, {}), box);
    EXPECT_EQ(CSG::subtractFlat(boxBlocks, Solid{}), box);
    EXPECT_TRUE(CSG::intersectFlat(boxBlocks, {}).empty());
}

}  // namespace
}  // namespace ivo
