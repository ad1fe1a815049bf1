// Polygons that meet nothing of the other solid, or whose planes keep them apart from it,
// are settled whole by one point instead of being clipped: the results must still be those
// of the plain algorithm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "geometry/csg.h"
#include "support/reference_csg.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// A torus of `around` × `across` outward quads about the axis `axis` (0 x, 1 y, 2 z)
// through c: ring radius R, tube radius r.
Solid torus(V3 c, int axis, double R, double r, int around, int across) {
    auto at = [&](int i, int j) {
        const double u = 2 * std::numbers::pi * i / around, v = 2 * std::numbers::pi * j / across;
        const double rho = R + r * std::cos(v), h = r * std::sin(v);
        const double p = rho * std::cos(u), q = rho * std::sin(u);
        // (p, q) in the plane across the axis, h along it, right-handed.
        const V3 local = axis == 0 ? V3{h, p, q} : axis == 1 ? V3{q, h, p} : V3{p, q, h};
        return c + local;
    };
    Solid s;
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            const std::vector<V3> quad{at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
            if (auto p = CPoly::fit(quad)) s.push_back(*p);
        }
    return orientOutward(std::move(s));
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

// The box [0, 10]³ with its top warped: its corners ±0.01 off z = 10 in turn.
Solid warpedBox() {
    const V3 t[4] = {{0, 0, 10.01}, {10, 0, 9.99}, {10, 10, 10.01}, {0, 10, 9.99}};
    const V3 b[4] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    std::vector<std::vector<V3>> faces{{t[0], t[1], t[2], t[3]}, {b[3], b[2], b[1], b[0]}};
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
        // Polygons whose boxes meet the other solid's but whose planes keep them apart
        // from it.
        // Two links of a chain, each through the other's hole.
        {"linked tori", torus({0, 0, 0}, 1, 10, 3, 40, 20), torus({10, 0, 0}, 2, 10, 3, 40, 20)},
        // Crossing at a slant: the tubes cut each other along two loops.
        {"slanted tori", torus({0, 0, 0}, 1, 8, 3, 40, 20),
         turned(torus({2, 1, 0}, 2, 8, 3, 40, 20), {2, 1, 0}, V3{1, 1, 0}.normalized(), 0.4)},
        // A turned cube's faces have boxes holding much of the sphere, inside and out.
        {"turned cube and sphere", turned(cube, {0, 0, 0}, V3{1, 2, 3}.normalized(), 0.7),
         sphereSolid({2, 1, 0}, 4, 30, 60)},
        // The sphere wholly inside the turned cube, its corners reaching past the faces' planes.
        {"sphere in turned cube", turned(cube, {0, 0, 0}, V3{3, -1, 2}.normalized(), 0.9),
         sphereSolid({0.3, 0, 0}, 3.4, 30, 60)},
        // A small sphere at the middle of a slanted triangle's box, off its plane: the
        // triangle lies outside the sphere though the middle of its box lies inside.
        {"sphere off a triangle", tetra({0, 0, 0}, {10, 2, 0}, {3, 10, 10}, {6, 9, -3}),
         sphereSolid({5, 5, 5}, 0.2, 24, 48)},
        // A flat tetrahedron beside a sphere, every face's box holding it, and a small cube
        // deep inside the sphere, next in order: the faces lie outside, the cube inside.
        {"tetrahedron by a sphere and a cube in it",
         joined(tetra({-10, -10, -5}, {10, -10, 15}, {0, 20, 5}, {-0.354, 0, 5.354}),
                polyBox({-0.1, -0.1, -0.1}, {0.1, 0.1, 0.1})),
         sphereSolid({0, 0, 0}, 1, 24, 48)},
    };
}

TEST(CsgWhole, ResultsAreThoseOfThePlainAlgorithm) {
    for (const Pair& c : pairs()) {
        const Solid ours[3] = {CSG::unite(c.a, c.b), CSG::subtract(c.a, c.b),
                               CSG::intersect(c.a, c.b)};
        const Solid plain[3] = {PlainCSG::unite(c.a, c.b), PlainCSG::subtract(c.a, c.b),
                                PlainCSG::intersect(c.a, c.b)};
        for (int op = 0; op < 3; ++op) {
            EXPECT_EQ(plainDifference(ours[op], plain[op], 1e-6), "") << c.name << "/" << op;
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
    const Solid inner = sphereSolid({5, 5, 5}, 2, 24, 48);
    Solid flippedInner;
    for (const CPoly& p : inner)
        flippedInner.push_back(p.flipped());
    Solid cut = outer;
    cut.insert(cut.end(), flippedInner.begin(), flippedInner.end());
    EXPECT_EQ(CSG::subtract(outer, inner), cut);
    EXPECT_EQ(CSG::intersect(outer, inner), inner);
    EXPECT_EQ(CSG::unite(outer, inner), outer);
    // Turned round: the small one loses everything, the large one nothing of its own.
    EXPECT_TRUE(CSG::subtract(inner, outer).empty());
    EXPECT_EQ(CSG::intersect(inner, outer), inner);
    EXPECT_EQ(CSG::unite(inner, outer), outer);
}

// A slab over a corner of a warped top, nearer its plane than the corner rises: the corner
// pokes into the slab, so the top is cut and cannot come back whole. A fine sphere deep
// inside the box makes the operation look for clear polygons.
TEST(CsgClearPlanes, WarpedPolygonsAreClearOnlyBeyondTheirPoints) {
    const Solid box = warpedBox(), slab = polyBox({-1, -1, 10.005}, {3, 3, 12});
    const Solid both = joined(slab, sphereSolid({5, 5, 5}, 2, 24, 48));
    const CPoly& top = box[0];
    for (const Solid& r : {CSG::unite(box, both), CSG::subtract(box, both)}) {
        EXPECT_EQ(std::count(r.begin(), r.end(), top), 0);
        // Its pieces are there.
        EXPECT_TRUE(
            std::any_of(r.begin(), r.end(), [&](const CPoly& p) { return p.plane == top.plane; }));
    }
}

}  // namespace
}  // namespace ivo
