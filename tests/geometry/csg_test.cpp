#include "geometry/csg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "support/reference_csg.h"
#include "support/solid_checks.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

bool contains(const Solid& s, const CPoly& p) {
    for (const CPoly& q : s)
        if (q == p) return true;
    return false;
}

TEST(CPolyFit, DropsRepeatsAndClosingPoints) {
    const auto p =
        CPoly::fit({{0, 0, 0}, {0, 0, 1e-10}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 0}});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->v.size(), 4u);
    EXPECT_EQ(p->plane.n, V3(0, 0, 1));
    EXPECT_NEAR(p->plane.w, 0, 1e-12);
    // Clockwise seen from +z: the normal points down; w comes from the mean point.
    const auto cw = CPoly::fit({{0, 0, 2}, {0, 1, 2}, {1, 1, 2}, {1, 0, 2}});
    ASSERT_TRUE(cw);
    EXPECT_EQ(cw->plane.n, V3(0, 0, -1));
    EXPECT_DOUBLE_EQ(cw->plane.w, -2);
    EXPECT_EQ(cw->flipped().plane, (CPlane{{0, 0, 1}, 2}));
    EXPECT_EQ(cw->flipped().v.front(), cw->v.back());
    EXPECT_EQ(cw->flipped().flipped(), *cw);
}

TEST(CPolyFit, FailsOnDegenerateOrNonFinitePoints) {
    const V3 p{1, 2, 3}, q{4, 5, 6};
    EXPECT_FALSE(CPoly::fit({p, p, q}));
    EXPECT_FALSE(CPoly::fit({{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}}));
    EXPECT_FALSE(CPoly::fit({}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(CPoly::fit({{0, 0, 0}, {1, 0, 0}, {nan, 1, 0}}));
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(CPoly::fit({{0, 0, 0}, {inf, 0, 0}, {0, 1, 0}}));
}

struct Split {
    Solid cf, cb, f, b;
};

Split split(const CPlane& plane, const CPoly& p) {
    Split s;
    plane.split(p, s.cf, s.cb, s.f, s.b);
    return s;
}

TEST(CPlaneSplit, ToleranceDecidesWhatLiesOnThePlane) {
    const CPlane z0{{0, 0, 1}, 0};
    const CPoly near = *CPoly::fit({{0, 0, 0.5e-5}, {1, 0, 0}, {0, 1, 0}});
    EXPECT_EQ(split(z0, near).cf.size(), 1u);
    const CPoly above = *CPoly::fit({{0, 0, 2e-5}, {1, 0, 0}, {0, 1, 0}});
    EXPECT_EQ(split(z0, above).f.size(), 1u);
    const CPoly below = *CPoly::fit({{0, 0, -2e-5}, {1, 0, 0}, {0, 1, 0}});
    EXPECT_EQ(split(z0, below).b.size(), 1u);
}

TEST(CPlaneSplit, CoplanarPolygonsGoByFacing) {
    const CPlane z0{{0, 0, 1}, 0};
    const CPoly up = *CPoly::fit({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    EXPECT_EQ(split(z0, up).cf.size(), 1u);
    EXPECT_EQ(split(z0, up.flipped()).cb.size(), 1u);
    // A stored plane at right angles (zero dot product) counts as facing away.
    const CPoly sideways(up.v, CPlane{{1, 0, 0}, 0});
    EXPECT_EQ(split(z0, sideways).cb.size(), 1u);
}

TEST(CPlaneSplit, SpanningTriangleSharesTheOnPlaneVertexAndTheCrossing) {
    const CPlane x0{{1, 0, 0}, 0};
    const CPoly t = *CPoly::fit({{0, 0, 0}, {1, -1, 0}, {-1, -1, 0}});
    const Split s = split(x0, t);
    ASSERT_EQ(s.f.size(), 1u);
    ASSERT_EQ(s.b.size(), 1u);
    EXPECT_EQ(s.f[0].v, (std::vector<V3>{{0, 0, 0}, {1, -1, 0}, {0, -1, 0}}));
    EXPECT_EQ(s.b[0].v, (std::vector<V3>{{0, 0, 0}, {0, -1, 0}, {-1, -1, 0}}));
    // Pieces keep the plane of the polygon they came from.
    EXPECT_EQ(s.f[0].plane, t.plane);
    EXPECT_EQ(s.b[0].plane, t.plane);
}

TEST(SolidMeasures, VolumeBoxAndOrientation) {
    const Solid cube = polyBox({0, 0, 0}, {1, 1, 1});
    EXPECT_NEAR(signedVolume(cube), 1, 1e-12);
    const Box3 box = solidBox(cube);
    EXPECT_EQ(box.lo, V3(0, 0, 0));
    EXPECT_EQ(box.hi, V3(1, 1, 1));
    EXPECT_TRUE(solidBox({}).isEmpty());
    Solid inside;
    for (const CPoly& p : cube)
        inside.push_back(p.flipped());
    EXPECT_NEAR(signedVolume(inside), -1, 1e-12);
    EXPECT_EQ(orientOutward(inside), cube);
    EXPECT_EQ(orientOutward(cube), cube);
}

TEST(Csg, DisjointOperandsTakeTheShortcuts) {
    const Solid a = polyBox({0, 0, 0}, {1, 1, 1}), b = polyBox({3, 0, 0}, {4, 1, 1});
    Solid both = a;
    both.insert(both.end(), b.begin(), b.end());
    EXPECT_EQ(CSG::unite(a, b), both);
    EXPECT_EQ(CSG::subtract(a, b), a);
    EXPECT_TRUE(CSG::intersect(a, b).empty());
    EXPECT_EQ(CSG::unite({}, b), b);
    EXPECT_EQ(CSG::unite(a, {}), a);
    EXPECT_EQ(CSG::subtract(a, {}), a);
    EXPECT_TRUE(CSG::subtract({}, b).empty());
    EXPECT_TRUE(CSG::intersect(a, {}).empty());
}

TEST(Csg, TouchingCubesMergeThroughTheTrees) {
    // Within 1e-6 the boxes overlap: the shared faces vanish instead of being concatenated.
    for (double gap : {0.0, 5e-7}) {
        const Solid a = polyBox({0, 0, 0}, {10, 10, 10});
        const Solid b = polyBox({10 + gap, 0, 0}, {20, 10, 10});
        const Solid u = CSG::unite(a, b);
        EXPECT_EQ(u.size(), 10u) << gap;
        EXPECT_NEAR(signedVolume(u), 2000, 1e-4) << gap;
        EXPECT_EQ(closedSurfaceFault(u, true, 1e-6), "") << gap;
    }
}

// An operand inside the other's box but away from all its faces lies wholly in its
// material or wholly in a cavity: every operation must still tell which.
TEST(Csg, OperandsWhollyInsideOrInACavityAreClassified) {
    const Solid hollow =
        CSG::subtract(polyBox({0, 0, 0}, {10, 10, 10}), polyBox({2, 2, 2}, {8, 8, 8}));
    const Solid inCavity = polyBox({4, 4, 4}, {5, 5, 5});
    const Solid inWall = polyBox({0.5, 3, 3}, {1.5, 6, 6});  // inside the wall x ∈ [0, 2]
    const double wall = 1000 - 216, cyl = 9;
    EXPECT_NEAR(signedVolume(CSG::unite(hollow, inCavity)), wall + 1, 1e-9);
    EXPECT_EQ(CSG::subtract(hollow, inCavity), hollow);
    EXPECT_TRUE(CSG::intersect(hollow, inCavity).empty());
    EXPECT_EQ(CSG::unite(hollow, inWall), hollow);
    EXPECT_NEAR(signedVolume(CSG::subtract(hollow, inWall)), wall - cyl, 1e-9);
    EXPECT_NEAR(signedVolume(CSG::intersect(hollow, inWall)), cyl, 1e-9);
    EXPECT_NEAR(signedVolume(CSG::subtract(inWall, hollow)), 0, 1e-9);
    // A probe ray through the hollow box's edges and corners must not miscount: cubes on
    // the diagonal of a grid of cavities.
    Solid grid = polyBox({0, 0, 0}, {30, 30, 30});
    for (int i = 0; i < 3; ++i)
        grid = CSG::subtract(grid, polyBox({10.0 * i + 2, 10.0 * i + 2, 10.0 * i + 2},
                                           {10.0 * i + 8, 10.0 * i + 8, 10.0 * i + 8}));
    for (int i = 0; i < 3; ++i) {
        const Solid cube = polyBox({10.0 * i + 4, 10.0 * i + 4, 10.0 * i + 4},
                                   {10.0 * i + 5, 10.0 * i + 5, 10.0 * i + 5});
        EXPECT_NEAR(signedVolume(CSG::unite(grid, cube)), 27000 - 3 * 216 + 1, 1e-9) << i;
    }
}

TEST(Csg, SubtractingAnInnerCubeLeavesAClosedShell) {
    const Solid shell = CSG::subtract(polyBox({0, 0, 0}, {4, 4, 4}), polyBox({1, 1, 1}, {3, 3, 3}));
    EXPECT_EQ(closedSurfaceFault(shell, false), "");
    EXPECT_NEAR(signedVolume(shell), 64.0 - 8.0, 1e-9);
    // An inner cavity lies within the box but meets no face: the whole tree decides.
    EXPECT_EQ(shell.size(), 12u);
}

TEST(Csg, OperationsOnOneSolidWithItself) {
    const Solid c = polyCylinder({1, 0, 2}, 3, 5, 16);
    const double v = signedVolume(c);
    EXPECT_NEAR(signedVolume(CSG::unite(c, c)), v, 1e-9);
    EXPECT_NEAR(signedVolume(CSG::intersect(c, c)), v, 1e-9);
    EXPECT_NEAR(signedVolume(CSG::subtract(c, c)), 0, 1e-9);
}

TEST(Csg, VolumesFollowInclusionExclusion) {
    std::mt19937 rng(11);
    for (int i = 0; i < 60; ++i) {
        const Solid a = randomSolid(rng), b = randomSolid(rng);
        const double va = signedVolume(a), vb = signedVolume(b);
        const Solid u = CSG::unite(a, b), d = CSG::subtract(a, b), x = CSG::intersect(a, b);
        const double vu = signedVolume(u), vd = signedVolume(d), vx = signedVolume(x);
        EXPECT_NEAR(vu, va + vb - vx, 1e-7) << i;
        EXPECT_NEAR(vd, va - vx, 1e-7) << i;
        EXPECT_GE(vx, -1e-9) << i;
        EXPECT_LE(vx, std::min(va, vb) + 1e-9) << i;
        for (const Solid* s : {&u, &d, &x})
            EXPECT_EQ(closedSurfaceFault(*s), "") << i;
    }
}

TEST(Csg, MovedInputsGiveMovedResults) {
    std::mt19937 rng(5);
    const V3 shift{3.25, -1.5, 0.75};
    for (int i = 0; i < 20; ++i) {
        const Solid a = randomSolid(rng), b = randomSolid(rng);
        const Solid r = CSG::subtract(a, b);
        const Solid m = CSG::subtract(moved(a, shift), moved(b, shift));
        EXPECT_NEAR(signedVolume(m), signedVolume(r), 1e-7) << i;
        EXPECT_NEAR(totalArea(m), totalArea(r), 1e-7) << i;
        const Box3 br = solidBox(r), bm = solidBox(m);
        if (!br.isEmpty()) {
            EXPECT_NEAR((bm.lo - br.lo - shift).length(), 0, 1e-9) << i;
        }
    }
}

// The kernel hands back untouched polygons whole where the plain algorithm keeps every
// fragment; both must still describe the same point set: the same volume, and the same
// area in every plane (pieces keep their source's plane exactly).
void expectSameAsPlain(const Solid& a, const Solid& b, double tol, const std::string& what) {
    const Solid ours[3] = {CSG::unite(a, b), CSG::subtract(a, b), CSG::intersect(a, b)};
    const Solid plain[3] = {PlainCSG::unite(a, b), PlainCSG::subtract(a, b),
                            PlainCSG::intersect(a, b)};
    for (int op = 0; op < 3; ++op) {
        EXPECT_NEAR(signedVolume(ours[op]), signedVolume(plain[op]), tol) << what << "/" << op;
        auto mine = areaByPlane(ours[op]);
        for (const auto& [plane, area] : areaByPlane(plain[op])) {
            EXPECT_NEAR(mine[plane], area, tol) << what << "/" << op;
            mine.erase(plane);
        }
        for (const auto& [plane, area] : mine)
            EXPECT_NEAR(area, 0, tol) << what << "/" << op;
        EXPECT_EQ(closedSurfaceFault(ours[op]), "") << what << "/" << op;
    }
}

TEST(CsgReference, SameVolumeAndAreaPerPlaneAsThePlainAlgorithm) {
    std::mt19937 rng(2024);
    for (int i = 0; i < 80; ++i) {
        const Solid a = randomSolid(rng), b = randomSolid(rng);
        expectSameAsPlain(a, b, 1e-7, std::to_string(i));
    }
}

TEST(CsgReference, CoplanarFacesOnAGridAgreeWithThePlainAlgorithm) {
    // Boxes on integer coordinates share face planes exactly: the facing rules decide.
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> c(0, 4), len(1, 3);
    auto box = [&] {
        const V3 lo{double(c(rng)), double(c(rng)), double(c(rng))};
        return polyBox(lo, lo + V3{double(len(rng)), double(len(rng)), double(len(rng))});
    };
    for (int i = 0; i < 60; ++i) {
        const Solid a = box(), b = box();
        expectSameAsPlain(a, b, 1e-9, std::to_string(i));
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

TEST(CsgReconstitution, PolygonsThatLoseNothingComeBackWhole) {
    // A small box poking out of the top: the planes of its sides cross the big box's side
    // faces, which lose nothing and must come back as they were.
    const Solid big = polyBox({0, 0, 0}, {10, 10, 10});
    const Solid peg = polyBox({4, 4, 9}, {6, 6, 11});
    for (const Solid& r : {CSG::unite(big, peg), CSG::subtract(big, peg)}) {
        int whole = 0;
        for (const CPoly& p : big)
            whole += contains(r, p);
        EXPECT_EQ(whole, 5);  // all but the top face
        EXPECT_EQ(closedSurfaceFault(r), "");
    }
    const Solid x = CSG::intersect(big, peg);
    EXPECT_NEAR(signedVolume(x), 4, 1e-12);
    // The peg's top lies wholly outside the big box: dropped from the intersection, kept
    // whole in the union.
    EXPECT_TRUE(contains(CSG::unite(big, peg), peg[1]));  // z = 11
}

TEST(CsgDepth, ConvexSphereMakesADeepTreeWithoutOverflow) {
    const Solid ball = sphereSolid({0, 0, 0}, 10, 48, 96);
    ASSERT_EQ(ball.size(), 4608u);
    const Solid half = CSG::intersect(ball, polyBox({-20, -20, -20}, {20, 20, 0}));
    EXPECT_NEAR(signedVolume(half), signedVolume(ball) / 2, 1e-6 * signedVolume(ball));
    const Solid hollow = CSG::subtract(polyBox({-11, -11, -11}, {11, 11, 11}), ball);
    EXPECT_NEAR(signedVolume(hollow), 22 * 22 * 22 - signedVolume(ball), 1e-6);
    const Solid twins = CSG::unite(ball, moved(ball, {5, 0, 0}));
    EXPECT_GT(signedVolume(twins), signedVolume(ball));
    EXPECT_EQ(closedSurfaceFault(half), "");
}

TEST(CsgBadInput, NeverCrashesOrHangs) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Solid cube = polyBox({0, 0, 0}, {1, 1, 1});
    // NaN corners, a polygon of two points, and a polygon far off its stored plane.
    Solid bad = polyBox({0.5, 0.5, 0.5}, {2, 2, 2});
    bad[0].v[1].x = nan;
    bad.push_back(CPoly({{0, 0, 0}, {1, 1, 1}}, {{0, 0, 1}, 0}));
    bad.push_back(CPoly({{0.2, 0.2, 0.2}, {0.9, 0.2, 0.8}, {0.9, 0.9, 0.1}, {0.2, 0.9, 0.9}},
                        {{0, 0, 1}, 0.5}));
    for (const Solid& s : {CSG::unite(cube, bad), CSG::subtract(cube, bad),
                           CSG::intersect(bad, cube), CSG::unite(bad, bad)})
        EXPECT_LT(s.size(), 1000u);
    // Far away: the tolerance drowns in rounding, but an answer still comes, in place.
    const V3 off{1e12, 1e12, 1e12};
    const Solid far = polyBox(off, off + V3{5, 5, 5});
    const Solid r = CSG::subtract(far, moved(cube, off + V3{1, 1, -0.5}));
    EXPECT_FALSE(r.empty());
    EXPECT_EQ(solidBox(r).lo, off);
    EXPECT_EQ(CSG::unite(cube, moved(cube, {1e12, 0, 0})).size(), 12u);
    // A lone triangle is no closed solid; whatever comes back stays small.
    const Solid flat{*CPoly::fit({{0, 0, 0.5}, {1, 0, 0.5}, {1, 1, 0.5}})};
    EXPECT_LE(CSG::unite(cube, flat).size(), 12u);
    EXPECT_LE(CSG::subtract(flat, cube).size(), 4u);
}

}  // namespace
}  // namespace ivo
