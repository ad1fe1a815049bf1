#include "geometry/csg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>

#include "support/reference_csg.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

TEST(Csg, FittingAndShortcuts) {
    // Repeats and the closing point dropped; w comes from the mean point.
    EXPECT_EQ(
        CPoly::fit({{0, 0, 2}, {0, 1, 2}, {0, 1, 2 + 1e-10}, {1, 1, 2}, {1, 0, 2}, {0, 0, 2}}),
        CPoly({{0, 0, 2}, {0, 1, 2}, {1, 1, 2}, {1, 0, 2}}, {{0, 0, -1}, -2}));
    for (const auto& bad : std::vector<std::vector<V3>>{{{1, 2, 3}, {1, 2, 3}, {4, 5, 6}},
                                                        {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}},
                                                        {},
                                                        {{0, 0, 0}, {1, 0, 0}, {nan, 1, 0}},
                                                        {{0, 0, 0}, {inf, 0, 0}, {0, 1, 0}}})
        EXPECT_FALSE(CPoly::fit(bad)) << bad.size();
    // Disjoint or empty operands; flipped polygons turned outward.
    const Solid a = polyBox({0, 0, 0}, {1, 1, 1}), b = polyBox({3, 0, 0}, {4, 1, 1});
    Solid both = a, inside;
    both.insert(both.end(), b.begin(), b.end());
    for (const CPoly& q : a)
        inside.push_back(q.flipped());
    EXPECT_EQ(orientOutward(inside), a);
    EXPECT_TRUE(CSG::unite(a, b) == both && CSG::subtract(a, b) == a && CSG::unite({}, b) == b &&
                CSG::subtract(a, {}) == a);
    EXPECT_TRUE(CSG::intersect(a, b).empty() && CSG::subtract({}, b).empty() &&
                CSG::intersect(a, {}).empty());
}

// An operand away from all the other's faces: wholly in its material or in a cavity.
TEST(Csg, OperandsWhollyInsideOrInACavityAreClassified) {
    const Solid hollow =
        CSG::subtract(polyBox({0, 0, 0}, {10, 10, 10}), polyBox({2, 2, 2}, {8, 8, 8}));
    EXPECT_EQ(closedSurfaceFault(hollow, false), "");
    EXPECT_EQ(hollow.size(), 12u);
    const Solid inCavity = polyBox({4, 4, 4}, {5, 5, 5});
    const Solid inWall = polyBox({0.5, 3, 3}, {1.5, 6, 6});  // inside the wall x ∈ [0, 2]
    EXPECT_NEAR(signedVolume(CSG::unite(hollow, inCavity)), 784 + 1, 1e-9);
    EXPECT_EQ(CSG::subtract(hollow, inCavity), hollow);
    EXPECT_TRUE(CSG::intersect(hollow, inCavity).empty());
    EXPECT_EQ(CSG::unite(hollow, inWall), hollow);
    EXPECT_NEAR(signedVolume(CSG::subtract(hollow, inWall)), 784 - 9, 1e-9);
    EXPECT_NEAR(signedVolume(CSG::intersect(hollow, inWall)), 9, 1e-9);
    EXPECT_NEAR(signedVolume(CSG::subtract(inWall, hollow)), 0, 1e-9);
    // A probe ray through the hollow box's edges and corners must not miscount: cubes on
    // the diagonal of a grid of cavities.
    Solid grid = polyBox({0, 0, 0}, {30, 30, 30});
    for (double d : {0, 10, 20})
        grid = CSG::subtract(grid, polyBox({d + 2, d + 2, d + 2}, {d + 8, d + 8, d + 8}));
    for (double d : {0, 10, 20})
        EXPECT_NEAR(
            signedVolume(CSG::unite(grid, polyBox({d + 4, d + 4, d + 4}, {d + 5, d + 5, d + 5}))),
            27000 - 3 * 216 + 1, 1e-9)
            << d;
}

// Only the sides of a solid standing on a face tell which part of the face it covers: both
// operand orders, both sides of a face, and pockets sunk flush.
TEST(Csg, SolidsFlushOnAFaceKeepEveryFace) {
    const Solid block = polyBox({0, 0, 0}, {40, 10, 20});     // 40 × 20 × 10, Y up
    const Solid boss = polyCylinder({20, 10, 10}, 5, 5, 64);  // r 5 on its top face
    const Solid side = polyBox({40, 2, 5}, {45, 8, 15});      // on the face x = 40
    const double vb = signedVolume(boss), vs = 5 * 6 * 10;
    const struct {
        const char* name;
        Solid got;
        double want;
    } cases[] = {
        {"boss joined", CSG::unite(block, boss), 8000 + vb},
        {"block joined to the boss", CSG::unite(boss, block), 8000 + vb},
        {"boss below", CSG::unite(block, moved(boss, {0, -15, 0})), 8000 + vb},
        {"box on a side face", CSG::unite(block, side), 8000 + vs},
        {"boss and side box", CSG::unite(CSG::unite(block, boss), side), 8000 + vb + vs},
        {"pocket flush with the top", CSG::subtract(block, moved(boss, {0, -5, 0})), 8000 - vb},
        {"slot through a side", CSG::subtract(block, moved(side, {-5, 0, 0})), 8000 - vs},
        {"boss cut off again", CSG::subtract(CSG::unite(block, boss), boss), 8000},
        {"the boss alone", CSG::subtract(CSG::unite(block, boss), block), vb},
        {"the pocket's content", CSG::intersect(block, moved(boss, {0, -5, 0})), vb},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(signedVolume(c.got), c.want, 1e-9 * 8000) << c.name;
        EXPECT_EQ(closedSurfaceFault(c.got), "") << c.name;
    }
    EXPECT_NEAR(signedVolume(CSG::intersect(block, boss)), 0, 1e-9);
}

// Untouched polygons come back whole where the plain algorithm keeps fragments: the same
// volume and area per plane; results closed and moving with their operands.
void expectSameAsPlain(const Solid& a, const Solid& b, double tol, const std::string& what) {
    const Solid ours[3] = {CSG::unite(a, b), CSG::subtract(a, b), CSG::intersect(a, b)};
    const Solid plain[3] = {PlainCSG::unite(a, b), PlainCSG::subtract(a, b),
                            PlainCSG::intersect(a, b)};
    for (int op = 0; op < 3; ++op) {
        EXPECT_EQ(plainDifference(ours[op], plain[op], tol), "") << what << "/" << op;
        EXPECT_EQ(closedSurfaceFault(ours[op]), "") << what << "/" << op;
    }
    const V3 shift{3.25, -1.5, 0.75};
    const Solid m = CSG::subtract(moved(a, shift), moved(b, shift));
    EXPECT_NEAR(signedVolume(m), signedVolume(ours[1]), 1e-7) << what;
    EXPECT_NEAR(ours[1].empty() ? 0 : (solidBox(m).lo - solidBox(ours[1]).lo - shift).length(), 0,
                1e-9);
}

TEST(CsgReference, SameVolumeAndAreaPerPlaneAsThePlainAlgorithm) {
    std::mt19937 rng(2024);
    for (int i = 0; i < 80; ++i) {
        const Solid a = randomSolid(rng), b = randomSolid(rng);
        expectSameAsPlain(a, b, 1e-7, std::to_string(i));
    }
    // Boxes on integer coordinates share face planes exactly: the facing rules decide.
    std::uniform_int_distribution<int> c(0, 4), len(1, 3);
    auto box = [&] {
        const V3 lo{double(c(rng)), double(c(rng)), double(c(rng))};
        return polyBox(lo, lo + V3{double(len(rng)), double(len(rng)), double(len(rng))});
    };
    for (int i = 0; i < 60; ++i) {
        const Solid a = box(), b = box();
        expectSameAsPlain(a, b, 1e-9, "grid " + std::to_string(i));
    }
    const Solid cyl = polyCylinder({1, 0, 2}, 3, 5, 16);
    expectSameAsPlain(cyl, cyl, 1e-9, "itself");
    // Within 1e-6 touching boxes overlap: the shared faces vanish instead of being concatenated.
    for (double gap : {0.0, 5e-7}) {
        const Solid u =
            CSG::unite(polyBox({0, 0, 0}, {10, 10, 10}), polyBox({10 + gap, 0, 0}, {20, 10, 10}));
        EXPECT_EQ(u.size(), 10u) << gap;
        EXPECT_NEAR(signedVolume(u), 2000, 1e-4) << gap;
        EXPECT_EQ(closedSurfaceFault(u, true, 1e-6), "") << gap;
    }
}

TEST(CsgReference, SuccessiveCutsKeepTheirResultSmall) {
    // Ten holes drilled one after the other through a plate, as ten cut features.
    Solid ours = polyBox({0, 0, 0}, {50, 4, 20}), plain = ours;
    for (int i = 0; i < 10; ++i) {
        const Solid drill = polyCylinder({2.5 + 5 * i, -1, 10}, 1.5, 6, 24);
        ours = CSG::subtract(ours, drill);
        plain = PlainCSG::subtract(plain, drill);
    }
    EXPECT_NEAR(signedVolume(ours), signedVolume(plain), 1e-8);
    EXPECT_EQ(closedSurfaceFault(ours), "");
    EXPECT_LT(ours.size() * 3, plain.size());
}

TEST(Csg, DeepTreesAndBadInputNeverCrashOrHang) {
    // A convex sphere makes a tree as deep as its 4 608 faces.
    const Solid ball = sphereSolid({0, 0, 0}, 10, 48, 96);
    ASSERT_EQ(ball.size(), 4608u);
    const double vb = signedVolume(ball);
    const Solid half = CSG::intersect(ball, polyBox({-20, -20, -20}, {20, 20, 0}));
    EXPECT_NEAR(signedVolume(half), vb / 2, 1e-6 * vb);
    EXPECT_EQ(closedSurfaceFault(half), "");
    EXPECT_NEAR(signedVolume(CSG::subtract(polyBox({-11, -11, -11}, {11, 11, 11}), ball)),
                22 * 22 * 22 - vb, 1e-6);
    // NaN corners, a polygon of two points, and a polygon far off its stored plane.
    const Solid cube = polyBox({0, 0, 0}, {1, 1, 1});
    Solid bad = polyBox({0.5, 0.5, 0.5}, {2, 2, 2});
    std::vector<V3> corners(bad[0].v.begin(), bad[0].v.end());
    corners[1].x = nan;
    bad[0] = CPoly(corners, bad[0].plane);
    bad.push_back(CPoly({{0, 0, 0}, {1, 1, 1}}, {{0, 0, 1}, 0}));
    bad.push_back(CPoly({{0.2, 0.2, 0.2}, {0.9, 0.2, 0.8}, {0.9, 0.9, 0.1}, {0.2, 0.9, 0.9}},
                        {{0, 0, 1}, 0.5}));
    for (const Solid& s : {CSG::unite(cube, bad), CSG::subtract(cube, bad),
                           CSG::intersect(bad, cube), CSG::unite(bad, bad)})
        EXPECT_LT(s.size(), 1000u);
    // Far away: the tolerance drowns in rounding, but an answer still comes, in place.
    const V3 off{1e12, 1e12, 1e12};
    const Solid r =
        CSG::subtract(polyBox(off, off + V3{5, 5, 5}), moved(cube, off + V3{1, 1, -.5}));
    EXPECT_EQ(solidBox(r).lo, off);
    EXPECT_EQ(CSG::unite(cube, moved(cube, {1e12, 0, 0})).size(), 12u);
}

// Polygons left whole share their points with their operand; each carries its own box.
TEST(Csg, UntouchedPolygonsShareTheirPoints) {
    const Solid ball = sphereSolid({0, 0, 0}, 10, 24, 48);
    const Solid cap = polyBox({-3, -3, 8}, {3, 3, 12});
    const Solid far = polyBox({30, 0, 0}, {31, 1, 1});
    auto sharedWith = [](const Solid& out, const Solid& in) {
        size_t n = 0;
        for (const CPoly& p : out)
            for (const CPoly& q : in)
                n += p.v.data() == q.v.data();
        return n;
    };
    auto boxesHold = [](const Solid& s) {
        for (const CPoly& p : s) {
            Box3 b;
            for (V3 q : p.v)
                b.add(q);
            if (!(b.lo == p.v.box().lo && b.hi == p.v.box().hi)) return false;
        }
        return true;
    };
    const struct {
        Solid out;
        size_t sharedBall, sharedOther;
        const Solid* other;
    } cases[] = {
        // The cap cuts into the polygons near the pole only.
        {CSG::subtract(ball, cap), ball.size() - 4 * 48, 0, &cap},
        {CSG::unite(ball, far), ball.size(), far.size(), &far},
        {CSG::subtract(ball, far), ball.size(), 0, &far},
        {orientOutward(ball), ball.size(), 0, &far},
    };
    for (const auto& c : cases) {
        EXPECT_GE(sharedWith(c.out, ball), c.sharedBall);
        EXPECT_EQ(sharedWith(c.out, *c.other), c.sharedOther);
        EXPECT_TRUE(boxesHold(c.out));
    }
    // Turned round, a polygon gets points of its own, and the operand keeps its own.
    const Solid inside = orientOutward(Solid(ball.rbegin(), ball.rend()));
    Solid flipped;
    for (const CPoly& p : ball)
        flipped.push_back(p.flipped());
    EXPECT_EQ(orientOutward(flipped), ball);
    EXPECT_EQ(sharedWith(orientOutward(flipped), flipped), 0u);
    EXPECT_TRUE(boxesHold(flipped));
    EXPECT_EQ(sharedWith(inside, ball), ball.size());
}

}  // namespace
}  // namespace ivo
