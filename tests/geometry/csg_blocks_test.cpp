#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "geometry/csg.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

enum class Op { unite, subtract, intersect };

Solid flatOp(Op op, const Solid& a, const Solid& b) {
    return op == Op::unite      ? CSG::unite(a, b)
           : op == Op::subtract ? CSG::subtract(a, b)
                                : CSG::intersect(a, b);
}

SolidBlocks blockOp(Op op, const SolidBlocks& a, const SolidBlocks& b) {
    return op == Op::unite      ? CSG::uniteBlocks(a, b)
           : op == Op::subtract ? CSG::subtractBlocks(a, b)
                                : CSG::intersectBlocks(a, b);
}

SolidBlocks blockOp(Op op, const SolidBlocks& a, const Solid& b) {
    return op == Op::unite      ? CSG::uniteBlocks(a, b)
           : op == Op::subtract ? CSG::subtractBlocks(a, b)
                                : CSG::intersectBlocks(a, b);
}

// A solid in blocks stands for its flat solid: same polygons in the same order, its size
// and box, and blocks that are never empty and bound their polygons.
void expectStandsFor(const SolidBlocks& blocks, const Solid& flat) {
    ASSERT_EQ(blocks.flat(), flat);
    EXPECT_EQ(blocks.size(), flat.size());
    EXPECT_EQ(blocks.empty(), flat.empty());
    if (!flat.empty()) {
        EXPECT_EQ(blocks.box().lo, solidBox(flat).lo);
        EXPECT_EQ(blocks.box().hi, solidBox(flat).hi);
    }
    for (const SolidBlocks::BlockPtr& b : blocks.blocks()) {
        ASSERT_FALSE(b->polys.empty());
        EXPECT_EQ(b->box.lo, solidBox(b->polys).lo);
        EXPECT_EQ(b->box.hi, solidBox(b->polys).hi);
    }
}

// Random sequences of operations give, block by block, the polygons of the same sequence
// on flat solids: a large ball cut, joined and intersected near and far from its blocks,
// and two solids in blocks combined with each other.
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
            const Solid next = flatOp(op, flat, tool);
            if (next.empty() && op == Op::intersect) continue;  // keep something to cut
            flat = next;
            blocks = rng() % 2 ? blockOp(op, blocks, toolBlocks) : blockOp(op, blocks, tool);
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(i));
            expectStandsFor(blocks, flat);
        }
    }
}

// A cut near one side of a large solid hands the blocks far from it on as they are; the
// shortcuts of solids lying apart share every block.
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

// A tool that meets none of the polygons of a solid in many blocks, inside it or inside its
// box but outside it, is classified by a ray through all of its blocks.
TEST(CsgBlocks, AToolMeetingNoPolygonIsClassifiedAcrossBlocks) {
    const Solid ball = sphereSolid({0, 0, 0}, 10, 24, 48);
    const Solid cases[] = {polyBox({-1, -1, -1}, {1, 1, 1}), polyBox({9, 9, 9}, {9.5, 9.5, 9.5})};
    for (const Solid& tool : cases)
        for (const Op op : {Op::unite, Op::subtract, Op::intersect}) {
            expectStandsFor(blockOp(op, SolidBlocks(ball), SolidBlocks(tool)),
                            flatOp(op, ball, tool));
            expectStandsFor(blockOp(op, SolidBlocks(ball), tool), flatOp(op, ball, tool));
        }
}

}  // namespace
}  // namespace ivo
