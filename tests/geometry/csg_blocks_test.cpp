// Booleans on solids in blocks, with the tool flat, in blocks or taken, against the flat ones.
#include <gtest/gtest.h>

#include <random>
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

// A tool meeting no polygon is classified by a ray through all the blocks.
TEST(CsgBlocks, AToolMeetingNoPolygonIsClassifiedAcrossBlocks) {
    const Solid ball = sphereSolid({0, 0, 0}, 10, 24, 48);
    const Solid cases[] = {polyBox({-1, -1, -1}, {1, 1, 1}), polyBox({9, 9, 9}, {9.5, 9.5, 9.5})};
    for (const Solid& tool : cases)
        for (const Op op : {Op::unite, Op::subtract, Op::intersect}) {
            expectStandsFor(apply(op, SolidBlocks(ball), SolidBlocks(tool)), apply(op, ball, tool));
            expectStandsFor(apply(op, SolidBlocks(ball), tool), apply(op, ball, tool));
        }
    EXPECT_TRUE(CSG::intersectBlocks(SolidBlocks(ball), polyBox({30, 0, 0}, {31, 1, 1})).empty());
    EXPECT_TRUE(CSG::subtractBlocks(SolidBlocks(), ball).empty());
}

// A copy that shares no points with `s`.
Solid deepCopy(const Solid& s) {
    Solid out;
    for (const CPoly& p : s)
        out.push_back(CPoly::of(PolyPoints(p.v.data(), p.v.size()), p.plane));
    return out;
}

struct Case {
    std::string name;
    Solid a, tool;
};

std::vector<Case> cases() {
    Solid plate = polyBox({0, 0, 0}, {40, 4, 40});
    Solid holes;
    for (int i = 0; i < 4; ++i)
        for (const CPoly& p : polyCylinder({5.0 + 10 * i, -1, 5.0 + 10 * (i % 2)}, 2, 6, 32))
            holes.push_back(p);
    return {
        {"holes through a plate", plate, holes},  // every wall turned round whole
        {"sphere inside", polyBox({0, 0, 0}, {10, 10, 10}), sphereSolid({5, 5, 5}, 2, 12, 24)},
        // Some polygons lost, some cut into pieces, some turned whole.
        {"sphere through a face", polyBox({0, 0, 0}, {10, 10, 10}),
         sphereSolid({5, 10, 5}, 3, 12, 24)},
        {"apart", polyBox({0, 0, 0}, {10, 10, 10}), polyBox({20, 0, 0}, {30, 10, 10})},
    };
}

// A cut that takes its tool gives the ordinary cut and spares a solid sharing the tool's points.
TEST(CsgTaken, HandedOverToolsGiveTheSamePolygonsAndSparedSharedOnes) {
    for (const Case& c : cases()) {
        const SolidBlocks a(c.a);
        const Solid expected = CSG::subtractBlocks(a, c.tool).flat();
        EXPECT_EQ(CSG::subtractBlocks(a, deepCopy(c.tool)).flat(), expected) << c.name;
        const Solid held = deepCopy(c.tool);
        Solid shared = held;
        EXPECT_EQ(CSG::subtractBlocks(a, std::move(shared)).flat(), expected) << c.name;
        EXPECT_EQ(held, c.tool) << c.name;
    }
    for (const CPoly& p : polyBox({0, 0, 0}, {1, 2, 3})) {
        const CPoly want = p.flipped(), pristine = deepCopy({p})[0];
        CPoly sole = deepCopy({p})[0], shared = p;
        sole.flip();
        shared.flip();
        EXPECT_EQ(sole, want);
        EXPECT_EQ(sole.v.box().lo, p.v.box().lo);
        EXPECT_EQ(sole.v.box().hi, p.v.box().hi);
        EXPECT_EQ(shared, want);
        EXPECT_EQ(p, pristine);
    }
}

// Flat results: the polygons of the result in blocks, in order, near or apart, taken or not.
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
