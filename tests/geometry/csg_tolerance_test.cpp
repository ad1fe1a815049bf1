// Faces lying within, or just beyond, the plane tolerance of a face of the other solid: the
// trees settle most polygons by their box instead of their vertices, and must still class
// each one as the vertices do (the plain algorithm is the reference).
#include <gtest/gtest.h>

#include <string>

#include "geometry/csg.h"
#include "support/reference_csg.h"
#include "support/solids.h"

namespace ivo {
namespace {

using namespace ivo::testing;

// A box from lo to hi whose top face is tilted: its corners rise by `slope` per mm of x
// from the middle of the box, so that the face reaches `slope` · (hi.x − lo.x) / 2 either
// side of the height hi.z.
Solid tiltedTopBox(V3 lo, V3 hi, double slope) {
    const double mid = (lo.x + hi.x) / 2;
    auto top = [&](double x, double y) { return V3{x, y, hi.z + slope * (x - mid)}; };
    const V3 b[4] = {
        {lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z}};
    const V3 t[4] = {top(lo.x, lo.y), top(hi.x, lo.y), top(hi.x, hi.y), top(lo.x, hi.y)};
    Solid s;
    auto add = [&](std::vector<V3> pts) {
        if (auto p = CPoly::fit(pts)) s.push_back(*p);
    };
    add({b[0], b[3], b[2], b[1]});
    add({t[0], t[1], t[2], t[3]});
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        add({b[i], b[j], t[j], t[i]});
    }
    return s;
}

void expectSameAsPlain(const Solid& ours, const Solid& plain, const std::string& what) {
    EXPECT_EQ(plainDifference(ours, plain, 1e-9), "") << what;
}

TEST(CsgTolerance, FacesNearAPlaneAreClassedAsTheirVerticesAre) {
    constexpr double e = CSG_EPS;
    // The inner box's top lies `offset` above the outer box's top face (z = 10), tilted so
    // that its corners lie `slope` either side of that height.
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
        const Solid inner = tiltedTopBox({3, 3, 5}, {7, 7, 10 + c.offset}, c.slope / 2);
        const std::string what =
            "offset " + std::to_string(c.offset / e) + " slope " + std::to_string(c.slope / e);
        for (int order = 0; order < 2; ++order) {
            const Solid& a = order ? inner : outer;
            const Solid& b = order ? outer : inner;
            expectSameAsPlain(CSG::unite(a, b), PlainCSG::unite(a, b), what + " unite");
            expectSameAsPlain(CSG::subtract(a, b), PlainCSG::subtract(a, b), what + " subtract");
            expectSameAsPlain(CSG::intersect(a, b), PlainCSG::intersect(a, b), what + " intersect");
        }
    }
}

}  // namespace
}  // namespace ivo
