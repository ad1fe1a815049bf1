// Curved solids crossing at shallow angles: the planes of neighbouring faces of one pass
// within the plane tolerance of corners the other's faces make. The kernel settles such a
// corner on the plane, which may leave gaps narrower than that tolerance between the two
// solids' cuts; the mesh handed to a slicer welds them and must come out closed.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "geometry/csg.h"
#include "geometry/mesh.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// Every operation's mesh closed, with volumes that add up.
void expectClosedOperations(const Solid& a, const Solid& b, const std::string& what) {
    const Solid u = CSG::unite(a, b), s = CSG::subtract(a, b), i = CSG::intersect(a, b);
    const char* names[] = {"union", "difference", "intersection"};
    const Solid* results[] = {&u, &s, &i};
    for (int op = 0; op < 3; ++op) {
        EXPECT_EQ(meshFault(triangles(*results[op])), "") << what << " " << names[op];
    }
    const double va = signedVolume(a), vb = signedVolume(b), vi = signedVolume(i);
    EXPECT_GT(vi, 0) << what;
    EXPECT_NEAR(signedVolume(u), va + vb - vi, 1e-9 * va) << what;
    EXPECT_NEAR(signedVolume(s), va - vi, 1e-9 * va) << what;
}

TEST(CsgSeam, TwoOverlappingFineSpheresGiveClosedResults) {
    expectClosedOperations(sphereSolid({0, 0, 0}, 5, 24, 48), sphereSolid({4, 1, 0.5}, 4, 24, 48),
                           "two spheres");
}

// A second solid at places spread evenly over the directions around a sphere, at depths
// from a shallow cap to mostly inside, at several sizes and resolutions: a few of them put
// corners within the tolerance of planes of the other solid wherever the cut lies.
TEST(CsgSeam, SpheresAndCylindersCrossingASphereGiveClosedResults) {
    const Solid ball = sphereSolid({0, 0, 0}, 5, 24, 48);
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
