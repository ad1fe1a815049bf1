#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <type_traits>

#include "geometry/csg.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

enum class Op { unite, subtract, intersect };

// The operation on flat solids, or on a solid in blocks and a tool flat or in blocks.
template <class A, class B>
auto apply(Op op, const A& a, const B& b) {
    if constexpr (std::is_same_v<A, Solid>)
        return op == Op::unite      ? CSG::unite(a, b)
               : op == Op::subtract ? CSG::subtract(a, b)
                                    : CSG::intersect(a, b);
    else
        return op == Op::unite      ? CSG::uniteBlocks(a, b)
               : op == Op::subtract ? CSG::subtractBlocks(a, b)
                                    : CSG::intersectBlocks(a, b);
}

// Same polygons in the same order, size and box; blocks never empty and bounding their polygons.
void expectStandsFor(const SolidBlocks& blocks, const Solid& flat) {
    ASSERT_EQ(blocks.flat(), flat);
    EXPECT_EQ(std::pair(blocks.size(), blocks.empty()), std::pair(flat.size(), flat.empty()));
    auto sameBox = [](const Box3& a, const Box3& b) { return a.lo == b.lo && a.hi == b.hi; };
    EXPECT_TRUE(flat.empty() || sameBox(blocks.box(), solidBox(flat)));
    for (const SolidBlocks::BlockPtr& b : blocks.blocks())
        EXPECT_TRUE(!b->polys.empty() && sameBox(b->box, solidBox(b->polys)));
}

// Random sequences on blocks give the polygons of the same sequence on flat solids.
TEST(CsgBlocks, SequencesGiveThePolygonsOfTheFlatOperations) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        Solid flat = sphereSolid({5, 5, 5}, 6, 12, 24);
        SolidBlocks blocks(flat);
        expectStandsFor(blocks, flat);
        for (int i = 0; i < 8; ++i) {
            const Op op = Op(rng() % 3);
            Solid tool = randomSolid(rng);
            if (rng() % 4 == 0) tool = moved(tool, {40, 0, 0});  // apart
            SolidBlocks toolBlocks(tool);
            if (rng() % 3 == 0) {
                // A tool that has been through booleans itself.
                const Solid other = randomSolid(rng);
                tool = CSG::unite(tool, other);
                toolBlocks = CSG::uniteBlocks(toolBlocks, SolidBlocks(other));
            }
            const Solid next = apply(op, flat, tool);
            if (next.empty() && op == Op::intersect) continue;  // keep something to cut
            flat = next;
            blocks = rng() % 2 ? apply(op, blocks, toolBlocks) : apply(op, blocks, tool);
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(i));
            expectStandsFor(blocks, flat);
        }
    }
}

// Blocks far from the other solid are handed on; shortcuts of solids apart share every block.
TEST(CsgBlocks, BlocksFarFromTheOtherSolidAreShared) {
    const SolidBlocks ball(sphereSolid({0, 0, 0}, 10, 24, 48));
    const SolidBlocks far(polyBox({30, 0, 0}, {31, 1, 1}));
    auto sharedWith = [](const SolidBlocks& out, const SolidBlocks& in) {
        std::set<const SolidBlocks::Block*> mine;
        for (const auto& b : in.blocks())
            mine.insert(b.get());
        size_t n = 0;
        for (const auto& b : out.blocks())
            n += mine.count(b.get());
        return n;
    };
    const SolidBlocks cut =
        CSG::subtractBlocks(ball, SolidBlocks(polyBox({-3, -3, 8}, {3, 3, 12})));
    expectStandsFor(cut, CSG::subtract(ball.flat(), polyBox({-3, -3, 8}, {3, 3, 12})));
    EXPECT_GE(sharedWith(cut, ball), ball.blocks().size() - 6);
    const SolidBlocks joined = CSG::uniteBlocks(ball, far);
    EXPECT_EQ(sharedWith(joined, ball) + sharedWith(joined, far), joined.blocks().size());
    EXPECT_EQ(CSG::subtractBlocks(ball, far).blocks(), ball.blocks());
    EXPECT_TRUE(CSG::intersectBlocks(ball, far).empty());
    EXPECT_TRUE(CSG::subtractBlocks(SolidBlocks(), ball).empty());
}

// A tool meeting no polygon is classified by a ray through all the blocks.
TEST(CsgBlocks, AToolMeetingNoPolygonIsClassifiedAcrossBlocks) {
    const Solid ball = sphereSolid({0, 0, 0}, 10, 24, 48);
    const Solid cases[] = {polyBox({-1, -1, -1}, {1, 1, 1}), polyBox({9, 9, 9}, {9.5, 9.5, 9.5})};
    for (const Solid& tool : cases)
        for (const Op op : {Op::unite, Op::subtract, Op::intersect}) {
            expectStandsFor(apply(op, SolidBlocks(ball), SolidBlocks(tool)), apply(op, ball, tool));
            expectStandsFor(apply(op, SolidBlocks(ball), tool), apply(op, ball, tool));
        }
}

}  // namespace
}  // namespace ivo
