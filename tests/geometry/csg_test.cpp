// The boolean kernel: known answers, bad input, and results against the plain algorithm.
#include "geometry/csg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "geometry/mesh.h"
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

// Unite, subtract, intersect: the plain algorithm's volume and area per plane, and closed.
std::array<Solid, 3> expectSameAsPlain(const Solid& a, const Solid& b, double tol,
                                       const std::string& what) {
    const std::array<Solid, 3> ours{CSG::unite(a, b), CSG::subtract(a, b), CSG::intersect(a, b)};
    const Solid plain[3] = {PlainCSG::unite(a, b), PlainCSG::subtract(a, b),
                            PlainCSG::intersect(a, b)};
    for (int op = 0; op < 3; ++op) {
        EXPECT_EQ(plainDifference(ours[op], plain[op], tol), "") << what << "/" << op;
        EXPECT_EQ(closedSurfaceFault(ours[op]), "") << what << "/" << op;
    }
    return ours;
}

void expectSameAsPlainAndMoving(const Solid& a, const Solid& b, double tol,
                                const std::string& what) {
    const Solid cut = expectSameAsPlain(a, b, tol, what)[1];
    const V3 shift{3.25, -1.5, 0.75};
    const Solid m = CSG::subtract(moved(a, shift), moved(b, shift));
    EXPECT_NEAR(signedVolume(m), signedVolume(cut), 1e-7) << what;
    EXPECT_NEAR(cut.empty() ? 0 : (solidBox(m).lo - solidBox(cut).lo - shift).length(), 0, 1e-9);
}

TEST(CsgReference, SameVolumeAndAreaPerPlaneAsThePlainAlgorithm) {
    std::mt19937 rng(2024);
    for (int i = 0; i < 80; ++i) {
        const Solid a = randomSolid(rng), b = randomSolid(rng);
        expectSameAsPlainAndMoving(a, b, 1e-7, std::to_string(i));
    }
    // Boxes on integer coordinates share face planes exactly: the facing rules decide.
    std::uniform_int_distribution<int> c(0, 4), len(1, 3);
    auto box = [&] {
        const V3 lo{double(c(rng)), double(c(rng)), double(c(rng))};
        return polyBox(lo, lo + V3{double(len(rng)), double(len(rng)), double(len(rng))});
    };
    for (int i = 0; i < 60; ++i) {
        const Solid a = box(), b = box();
        expectSameAsPlainAndMoving(a, b, 1e-9, "grid " + std::to_string(i));
    }
    const Solid cyl = polyCylinder({1, 0, 2}, 3, 5, 16);
    expectSameAsPlainAndMoving(cyl, cyl, 1e-9, "itself");
    // Within 1e-6 touching boxes overlap: the shared faces vanish instead of being concatenated.
    for (double gap : {0.0, 5e-7}) {
        const Solid u =
            CSG::unite(polyBox({0, 0, 0}, {10, 10, 10}), polyBox({10 + gap, 0, 0}, {20, 10, 10}));
        EXPECT_EQ(u.size(), 10u) << gap;
        EXPECT_NEAR(signedVolume(u), 2000, 1e-4) << gap;
        EXPECT_EQ(closedSurfaceFault(u, true, 1e-6), "") << gap;
    }
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

// Result polygons carry the box of their own points; turning polygons round spares operands.
TEST(Csg, ResultsKeepTheBoxesOfTheirPointsAndOperandsStayAsTheyWere) {
    const Solid ball = sphereSolid({0, 0, 0}, 10, 24, 48);
    auto boxesHold = [](const Solid& s) {
        return std::all_of(s.begin(), s.end(), [](const CPoly& p) {
            Box3 b;
            for (V3 q : p.v)
                b.add(q);
            return b.lo == p.v.box().lo && b.hi == p.v.box().hi;
        });
    };
    Solid flipped, again;
    for (const CPoly& p : ball) {
        flipped.push_back(p.flipped());
        again.push_back(p.flipped());
    }
    const Solid outward = orientOutward(flipped);
    EXPECT_EQ(outward, ball);
    EXPECT_EQ(flipped, again);
    for (const Solid& s : {CSG::subtract(ball, polyBox({-3, -3, 8}, {3, 3, 12})),
                           CSG::unite(ball, polyBox({30, 0, 0}, {31, 1, 1})), outward, flipped})
        EXPECT_TRUE(boxesHold(s));
    EXPECT_EQ(ball, sphereSolid({0, 0, 0}, 10, 24, 48));
}

// A loop fitted where it lies or from a cleaned copy: the same polygon, bit for bit.
std::vector<V3> tiltedRing(int n, double r) {
    std::vector<V3> pts;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        pts.push_back({r * std::cos(a), r * std::sin(a), 0.3 * r * std::cos(a) + 7});
    }
    return pts;
}

TEST(CPolyFit, LoopsWithAndWithoutDroppedPointsFitAlikeIntoPointsOfTheirOwn) {
    const std::vector<std::vector<V3>> loops = {
        {{0, 0, 0}, {2, 0, 0}, {0, 3, 0}},
        {{1e6, 1e6, 5}, {1e6 + 1, 1e6, 5}, {1e6 + 1, 1e6 + 1, 5.5}, {1e6, 1e6 + 1, 5.5}},
        tiltedRing(64, 3),
    };
    for (size_t k = 0; k < loops.size(); ++k) {
        const std::vector<V3>& pts = loops[k];
        const auto plain = CPoly::fit(pts);
        ASSERT_TRUE(plain) << k;
        EXPECT_TRUE(std::equal(plain->v.begin(), plain->v.end(), pts.begin(), pts.end())) << k;
        // A repeat in the middle (fitted from a copy), a closing repeat alone (fitted in
        // place, the repeat left out), or both.
        std::vector<V3> repeated = pts;
        repeated.insert(repeated.begin() + 1, pts[0] + V3{1e-10, 0, 0});
        std::vector<V3> closed = pts;
        closed.push_back(pts[0] + V3{0, 1e-10, 0});
        std::vector<V3> both = repeated;
        both.push_back(pts[0]);
        for (const auto* variant : {&repeated, &closed, &both}) {
            const auto fitted = CPoly::fit(*variant);
            ASSERT_TRUE(fitted) << k;
            EXPECT_EQ(*fitted, *plain) << k;
            EXPECT_EQ(fitted->plane, plain->plane) << k;
        }
    }
    // The fitted polygon owns its points, and reads only the first n.
    std::vector<V3> pts = tiltedRing(8, 2);
    const auto fitted = CPoly::fit(pts.data(), pts.size());
    ASSERT_TRUE(fitted);
    const std::vector<V3> before(fitted->v.begin(), fitted->v.end());
    for (V3& p : pts)
        p = p + V3{5, 5, 5};
    EXPECT_TRUE(std::equal(fitted->v.begin(), fitted->v.end(), before.begin(), before.end()));
    pts = tiltedRing(8, 2);
    pts.push_back({nan, 0, 0});
    EXPECT_TRUE(CPoly::fit(pts.data(), 8));
    EXPECT_FALSE(CPoly::fit(pts.data(), 9));
}

// Turned by a about the axis k (unit) through c.
Solid turned(const Solid& s, V3 c, V3 k, double a) {
    const double co = std::cos(a), si = std::sin(a);
    auto rot = [&](V3 v) { return v * co + k.cross(v) * si + k * (k.dot(v) * (1 - co)); };
    Solid out;
    for (const CPoly& p : s) {
        std::vector<V3> pts;
        for (const V3& v : p.v)
            pts.push_back(c + rot(v - c));
        if (auto q = CPoly::fit(pts)) out.push_back(*q);
    }
    return out;
}

// The tetrahedron of four points, faces outward.
Solid tetra(V3 a, V3 b, V3 c, V3 d) {
    Solid s;
    for (const std::vector<V3>& f : {std::vector<V3>{a, b, c}, {a, d, b}, {b, d, c}, {c, d, a}})
        if (auto p = CPoly::fit(f)) s.push_back(*p);
    return orientOutward(std::move(s));
}

Solid joined(Solid a, const Solid& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The box [lo, hi] under the top whose corners are `t`, counter-clockwise from above lo.
Solid boxWithTop(V3 lo, V3 hi, const std::array<V3, 4>& t) {
    const V3 b[4] = {lo, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z}};
    std::vector<std::vector<V3>> faces{{b[0], b[3], b[2], b[1]}, {t[0], t[1], t[2], t[3]}};
    for (int i = 0; i < 4; ++i)
        faces.push_back({b[i], b[(i + 1) % 4], t[(i + 1) % 4], t[i]});
    Solid s;
    for (const auto& f : faces)
        if (auto p = CPoly::fit(f)) s.push_back(*p);
    return s;
}

struct Pair {
    std::string name;
    Solid a, b;
};

// Small operations clip every polygon; these are fine enough to be looked into.
std::vector<Pair> pairs() {
    const Solid cube = polyBox({-4, -4, -4}, {4, 4, 4});
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
        // Boxes meeting the other solid's, planes keeping them apart: links of a chain.
        {"linked tori", torusSolid({0, 0, 0}, 1, 10, 3, 40, 20),
         torusSolid({10, 0, 0}, 2, 10, 3, 40, 20)},
        // Crossing at a slant: the tubes cut each other along two loops.
        {"slanted tori", torusSolid({0, 0, 0}, 1, 8, 3, 40, 20),
         turned(torusSolid({2, 1, 0}, 2, 8, 3, 40, 20), {2, 1, 0}, V3{1, 1, 0}.normalized(), 0.4)},
        // A turned cube's faces have boxes holding much of the sphere, inside and out.
        {"turned cube and sphere", turned(cube, {0, 0, 0}, V3{1, 2, 3}.normalized(), 0.7),
         sphereSolid({2, 1, 0}, 4, 30, 60)},
        // The sphere wholly inside the turned cube, its corners reaching past the faces' planes.
        {"sphere in turned cube", turned(cube, {0, 0, 0}, V3{3, -1, 2}.normalized(), 0.9),
         sphereSolid({0.3, 0, 0}, 3.4, 30, 60)},
        // A small sphere at the middle of a slanted triangle's box, off its plane.
        {"sphere off a triangle", tetra({0, 0, 0}, {10, 2, 0}, {3, 10, 10}, {6, 9, -3}),
         sphereSolid({5, 5, 5}, 0.2, 24, 48)},
        // Faces whose boxes hold the sphere, outside it, then a small cube deep inside it.
        {"tetrahedron by a sphere and a cube in it",
         joined(tetra({-10, -10, -5}, {10, -10, 15}, {0, 20, 5}, {-0.354, 0, 5.354}),
                polyBox({-0.1, -0.1, -0.1}, {0.1, 0.1, 0.1})),
         sphereSolid({0, 0, 0}, 1, 24, 48)},
    };
}

TEST(CsgWhole, ResultsAreThoseOfThePlainAlgorithm) {
    for (const Pair& c : pairs()) {
        const std::array<Solid, 3> ours = expectSameAsPlain(c.a, c.b, 1e-6, c.name);
        // In blocks, the same polygons.
        const SolidBlocks a(c.a);
        EXPECT_EQ(CSG::subtractBlocks(a, c.b).flat(), ours[1]) << c.name;
        EXPECT_EQ(CSG::intersectBlocks(a, c.b).flat(), ours[2]) << c.name;
    }
}

TEST(CsgWhole, ClearPolygonsComeBackWholeOnTheirSide) {
    const Solid outer = polyBox({0, 0, 0}, {10, 10, 10});
    const Solid inner = sphereSolid({5, 5, 5}, 2, 24, 48);
    Solid cut = outer;
    for (const CPoly& p : inner)
        cut.push_back(p.flipped());
    EXPECT_EQ(CSG::subtract(outer, inner), cut);
    EXPECT_TRUE(CSG::intersect(outer, inner) == inner && CSG::unite(outer, inner) == outer);
    // Turned round: the small one loses everything, the large one nothing of its own.
    EXPECT_TRUE(CSG::subtract(inner, outer).empty());
    EXPECT_TRUE(CSG::intersect(inner, outer) == inner && CSG::unite(inner, outer) == outer);
}

// A slab nearer a warped top's plane than its corner rises cuts the top (the sphere inside
// makes the operation look for clear polygons).
TEST(CsgClearPlanes, WarpedPolygonsAreClearOnlyBeyondTheirPoints) {
    // Its corners ±0.01 off z = 10 in turn.
    const Solid box = boxWithTop({0, 0, 0}, {10, 10, 10},
                                 {V3{0, 0, 10.01}, {10, 0, 9.99}, {10, 10, 10.01}, {0, 10, 9.99}});
    const Solid both =
        joined(polyBox({-1, -1, 10.005}, {3, 3, 12}), sphereSolid({5, 5, 5}, 2, 24, 48));
    const CPoly& top = box[1];
    for (const Solid& r : {CSG::unite(box, both), CSG::subtract(box, both)}) {
        EXPECT_EQ(std::count(r.begin(), r.end(), top), 0);
        // Its pieces are there.
        EXPECT_TRUE(
            std::any_of(r.begin(), r.end(), [&](const CPoly& p) { return p.plane == top.plane; }));
    }
}

// Faces near the plane tolerance of the other solid's: classed by box as by their vertices.
TEST(CsgTolerance, FacesNearAPlaneAreClassedAsTheirVerticesAre) {
    constexpr double e = CSG_EPS;
    // The inner box's top lies `offset` above the outer box's top face (z = 10), tilted
    // along x so that its corners lie `slope` either side of that height.
    const struct {
        double offset, slope;
    } cases[] = {
        {0, 0},               // in the plane
        {0.3 * e, 0},         // within the tolerance, close to the plane
        {0.7 * e, 0},         // within the tolerance, near its edge
        {-0.7 * e, 0},        // the same, just below
        {1.5 * e, 0},         // just beyond it: above the plane, not in it
        {-1.5 * e, 0},        // just beyond it, below
        {3 * e, 0},           // clear of the tolerance by the box margin
        {0, 0.1 * e},         // tilted, every corner within the tolerance
        {0, 0.3 * e},         // tilted, the corners near its edge
        {0, 1.5 * e},         // tilted through the plane, the corners beyond it
        {0.2 * e, 0.4 * e},   // raised and tilted: one side beyond the tolerance
        {-2.5 * e, 1.0 * e},  // sunk and tilted: every corner below the plane
    };
    const Solid outer = polyBox({0, 0, 0}, {10, 10, 10});
    for (const auto& c : cases) {
        const double h = 10 + c.offset, d = c.slope;
        const Solid inner = boxWithTop(
            {3, 3, 5}, {7, 7, h}, {V3{3, 3, h - d}, {7, 3, h + d}, {7, 7, h + d}, {3, 7, h - d}});
        const std::string what =
            "offset " + std::to_string(c.offset / e) + " slope " + std::to_string(c.slope / e);
        for (int order = 0; order < 2; ++order) {
            const Solid& a = order ? inner : outer;
            const Solid& b = order ? outer : inner;
            EXPECT_EQ(plainDifference(CSG::unite(a, b), PlainCSG::unite(a, b), 1e-9), "") << what;
            EXPECT_EQ(plainDifference(CSG::subtract(a, b), PlainCSG::subtract(a, b), 1e-9), "")
                << what;
            EXPECT_EQ(plainDifference(CSG::intersect(a, b), PlainCSG::intersect(a, b), 1e-9), "")
                << what;
        }
    }
}

// Every operation's mesh closed, with volumes that add up.
void expectClosedOperations(const Solid& a, const Solid& b, const std::string& what) {
    const Solid u = CSG::unite(a, b), s = CSG::subtract(a, b), i = CSG::intersect(a, b);
    const char* names[] = {"union", "difference", "intersection"};
    const Solid* results[] = {&u, &s, &i};
    for (int op = 0; op < 3; ++op)
        EXPECT_EQ(meshFault(triangles(*results[op])), "") << what << " " << names[op];
    const double va = signedVolume(a), vb = signedVolume(b), vi = signedVolume(i);
    EXPECT_GT(vi, 0) << what;
    EXPECT_NEAR(signedVolume(u), va + vb - vi, 1e-9 * va) << what;
    EXPECT_NEAR(signedVolume(s), va - vi, 1e-9 * va) << what;
}

// Shallow crossings leave gaps narrower than the plane tolerance, which the mesh welds: solids
// all around a sphere, from a shallow cap to mostly inside, at several sizes and resolutions.
TEST(CsgSeam, SpheresAndCylindersCrossingASphereGiveClosedResults) {
    const Solid ball = sphereSolid({0, 0, 0}, 5, 24, 48);
    expectClosedOperations(ball, sphereSolid({4, 1, 0.5}, 4, 24, 48), "two spheres");
    const struct {
        double r;
        int rings, segments;  // sides of a cylinder: `segments`
    } sizes[] = {{4, 16, 32}, {3, 20, 40}, {2.5, 12, 30}, {4.5, 14, 28}};
    const double depths[] = {0.3, 0.55, 0.8};
    constexpr int kPlaces = 24;
    for (int k = 0; k < kPlaces; ++k) {
        const double z = 1 - 2 * (k + 0.5) / kPlaces, f = k * 2.399963229728653;
        const V3 dir{std::sqrt(1 - z * z) * std::cos(f), std::sqrt(1 - z * z) * std::sin(f), z};
        const auto& sz = sizes[k % 4];
        const double d = depths[k % 3];
        const std::string what = "place " + std::to_string(k);
        if (k % 2 == 0) {
            const V3 c = dir * (5 - sz.r + d * 2 * sz.r);
            expectClosedOperations(ball, sphereSolid(c, sz.r, sz.rings, sz.segments),
                                   what + " sphere");
        } else {
            // Upright, its middle at c: it reaches at least 0.6 r from c every way.
            const V3 c = dir * (5 + (0.5 - d) * sz.r);
            const Solid cyl = polyCylinder(c - V3{0, sz.r, 0}, sz.r * 0.6, 2 * sz.r, sz.segments);
            expectClosedOperations(ball, cyl, what + " cylinder");
        }
    }
}

}  // namespace
}  // namespace ivo
