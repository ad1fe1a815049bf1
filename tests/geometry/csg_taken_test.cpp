// A subtraction that takes its tool turns the tool's polygons round in place: the result
// must be the polygons of the ordinary subtraction, and a tool whose points are shared with
// another solid must leave that solid as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/csg.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// A copy that shares no points with `s`.
Solid deepCopy(const Solid& s) {
    Solid out;
    for (const CPoly& p : s)
        out.push_back(CPoly::of(PolyPoints(p.v.data(), p.v.size()), p.plane));
    return out;
}

// Whether the polygons hold the same points in the same order, and the same planes.
bool samePolygons(const Solid& a, const Solid& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i])) return false;
    return true;
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
        // Walls through both faces: every wall goes to the result whole, turned round.
        {"holes through a plate", plate, holes},
        // Wholly inside: every polygon of the tool goes round.
        {"sphere inside", polyBox({0, 0, 0}, {10, 10, 10}), sphereSolid({5, 5, 5}, 2, 12, 24)},
        // Half out: some polygons are lost, some cut into pieces, some turned whole.
        {"sphere through a face", polyBox({0, 0, 0}, {10, 10, 10}),
         sphereSolid({5, 10, 5}, 3, 12, 24)},
        // Apart: the shortcut gives a back and takes nothing.
        {"apart", polyBox({0, 0, 0}, {10, 10, 10}), polyBox({20, 0, 0}, {30, 10, 10})},
    };
}

TEST(CsgTaken, HandedOverToolsGiveTheSamePolygonsAndSparedSharedOnes) {
    for (const Case& c : cases()) {
        const SolidBlocks a(c.a);
        const Solid expected = CSG::subtractBlocks(a, c.tool).flat();

        // Its points owned by nothing else: they may be reused.
        EXPECT_TRUE(samePolygons(CSG::subtractBlocks(a, deepCopy(c.tool)).flat(), expected))
            << c.name;

        // Its points shared with a solid held elsewhere: that one must not change.
        const Solid held = deepCopy(c.tool);
        Solid shared = held;
        EXPECT_TRUE(samePolygons(CSG::subtractBlocks(a, std::move(shared)).flat(), expected))
            << c.name;
        EXPECT_TRUE(samePolygons(held, c.tool)) << c.name;
    }
}

TEST(CsgTaken, FlipReusesOnlyPointsNoOneElseHolds) {
    for (const CPoly& p : polyBox({0, 0, 0}, {1, 2, 3})) {
        const CPoly want = p.flipped();
        const CPoly pristine = deepCopy({p})[0];

        CPoly sole = deepCopy({p})[0];
        const V3* before = sole.v.data();
        sole.flip();
        EXPECT_EQ(sole, want);
        EXPECT_EQ(sole.v.data(), before);  // turned where it lay
        EXPECT_EQ(sole.v.box().lo, p.v.box().lo);
        EXPECT_EQ(sole.v.box().hi, p.v.box().hi);

        CPoly shared = p;
        shared.flip();
        EXPECT_EQ(shared, want);
        EXPECT_EQ(p, pristine);
    }
}

}  // namespace
}  // namespace ivo
