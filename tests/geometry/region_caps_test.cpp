// Solids made with a region's cap triangles found beforehand are those made without them,
// polygon for polygon, whatever the treatment of the cap edges.
#include <gtest/gtest.h>

#include "geometry/extrude.h"
#include "support/shapes.h"

namespace ivo {
namespace {

using namespace ivo::testing;

struct Shape {
    const char* name;
    Region region;
};

std::vector<Shape> shapes() {
    Loop l = {{0, 0}, {30, 0}, {30, 10}, {10, 10}, {10, 25}, {0, 25}};
    return {
        {"square", {rect(0, 0, 20, 20), {}}},
        {"clockwise circle", {reversed(regularPolygon({5, 5}, 8, 48)), {}}},
        {"L", {l, {}}},
        {"ring", {regularPolygon({0, 0}, 10, 40), {regularPolygon({0, 0}, 4, 24)}}},
        {"plate with holes", {rect(0, 0, 40, 20), {rect(5, 5, 10, 10), rect(20, 5, 30, 15)}}},
    };
}

// The frame of a sketch on a tilted plane, so that lifting is not the identity.
Frame tilted() {
    Frame f;
    f.o = {1, 2, 3};
    f.x = V3{1, 0, 1}.normalized();
    f.y = {0, 1, 0};
    f.n = f.x.cross(f.y);
    return f;
}

TEST(RegionCaps, ExtrusionsWithFoundCapsEqualThoseWithout) {
    struct Setting {
        const char* name;
        double z0, z1, loR, hiR;
        bool chamfer;
    };
    // The treated rows inset a cap (or both): those caps must not take the region's triangles.
    const Setting settings[] = {
        {"plain", 0, 5, 0, 0, false},        {"downwards", 0, -7, 0, 0, false},
        {"round on top", 0, 6, 0, 1, false}, {"round below", -3, 3, 1.5, 0, false},
        {"chamfers", 0, 8, 1, 2, true},      {"tiny radius", 0, 4, 1e-13, 0, false},
    };
    for (const Shape& s : shapes()) {
        const std::vector<Tri2> caps = regionCaps(s.region);
        ASSERT_FALSE(caps.empty()) << s.name;
        for (const Setting& g : settings) {
            SCOPED_TRACE(std::string(s.name) + ", " + g.name);
            const Solid without =
                extrudeRegion(s.region, tilted(), g.z0, g.z1, g.loR, g.hiR, g.chamfer);
            const Solid with =
                extrudeRegion(s.region, tilted(), g.z0, g.z1, g.loR, g.hiR, g.chamfer, &caps);
            ASSERT_FALSE(without.empty());
            EXPECT_EQ(with, without);
        }
    }
}

TEST(RegionCaps, RevolutionsWithFoundCapsEqualThoseWithout) {
    for (const Shape& s : shapes()) {
        const std::vector<Tri2> caps = regionCaps(s.region);
        for (const double angle : {90.0, -200.0, 360.0}) {
            SCOPED_TRACE(std::string(s.name) + ", " + std::to_string(angle));
            // An axis beside every shape, below y = -20.
            const Solid without = revolveRegion(s.region, tilted(), {0, -20}, {1, 0}, angle);
            const Solid with = revolveRegion(s.region, tilted(), {0, -20}, {1, 0}, angle, &caps);
            ASSERT_FALSE(without.empty());
            EXPECT_EQ(with, without);
        }
    }
}

TEST(RegionCaps, RegionsWithoutAreaHaveNoneAndGiveNoSolid) {
    const Region folded{{{0, 0}, {10, 0}, {20, 0}, {10, 0}}, {}};
    const Region two{{{0, 0}, {10, 0}}, {}};
    for (const Region& r : {folded, two}) {
        const std::vector<Tri2> caps = regionCaps(r);
        EXPECT_TRUE(caps.empty());
        EXPECT_TRUE(extrudeRegion(r, Frame{}, 0, 5, 0, 0, false, &caps).empty());
        EXPECT_TRUE(revolveRegion(r, Frame{}, {0, -5}, {1, 0}, 90, &caps).empty());
    }
}

}  // namespace
}  // namespace ivo
