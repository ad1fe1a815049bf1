// The bodies the view draws: palette, creases, the mesh cache and the overhang flags made with
// the mesh, once per solid and threshold.
#include "viewport/scene.h"

#include <gtest/gtest.h>

#include "geometry/csg.h"
#include "support/solids.h"

namespace ivo {
namespace {

using testing::polyBox;

// Boxes 10 wide, 20 apart along X, ids from 10.
EvalResult boxes(int count) {
    EvalResult r;
    for (int i = 0; i < count; ++i) {
        const V3 lo{20.0 * i, 0, 0};
        r.bodies.push_back(
            {Id(10 + i), "Corps", std::make_shared<const Solid>(polyBox(lo, lo + V3{10, 10, 10}))});
    }
    return r;
}

TEST(SceneBodies, PaletteFollowsThePositionAndHiddenBodiesKeepTheirSlotAndTriangles) {
    MeshCache cache;
    const SceneBodies scene = buildBodies(boxes(6), {11}, cache);
    ASSERT_EQ(scene.meshes.size(), 5u);
    EXPECT_EQ(scene.tris.size(), 6u);  // the hidden body's triangles stay for picking
    EXPECT_EQ(scene.tris.at(11).size(), 12u);
    EXPECT_EQ(buildBodies(boxes(3), {12}, cache).shownBox.hi.x, 30);
}

TEST(SceneBodies, UnchangedSolidsAreMeshedOnceAndGoneOnesForgotten) {
    MeshCache cache;
    EvalResult result = boxes(3);
    buildBodies(result, {}, cache);
    ASSERT_EQ(cache.size(), 3u);
    const Tri* first = cache.get(result.bodies[0].solid).tris.data();

    // A new evaluation shares the solids of unchanged bodies and replaces a changed one.
    const auto changed = std::make_shared<const Solid>(polyBox({40, 0, 0}, {55, 10, 10}));
    result.bodies[2].solid = changed;
    const SceneBodies scene = buildBodies(result, {}, cache);
    EXPECT_EQ(cache.size(), 3u);  // the old third solid is forgotten
    EXPECT_EQ(cache.get(result.bodies[0].solid).tris.data(), first);
    EXPECT_EQ(scene.meshes[2].solid, changed);
    EXPECT_EQ(scene.shownBox.hi.x, 55);
    // The same solid under two bodies is meshed once and drawn twice.
    result.bodies[1].solid = result.bodies[0].solid;
    EXPECT_EQ(buildBodies(result, {}, cache).meshes.size(), 3u);
    EXPECT_EQ(cache.size(), 2u);
}

// A box on the ground (id 1) and a bar with a tunnel under it (id 2), whose ceiling is the
// only overhang.
EvalResult tunnelScene() {
    EvalResult r;
    r.bodies.push_back(
        {1, "Corps 1", std::make_shared<const Solid>(polyBox({0, 0, 0}, {5, 5, 5}))});
    r.bodies.push_back(
        {2, "Corps 2",
         std::make_shared<const Solid>(CSG::subtract(polyBox({10, 0, 0}, {40, 10, 10}),
                                                     polyBox({20, -1, -1}, {30, 5, 11})))});
    return r;
}

size_t marked(const BodyMesh& m) {
    size_t n = 0;
    for (std::uint8_t f : *m.overhang)
        n += f;
    return n;
}

TEST(OverhangScene, ShownMeshesCarryFlagsMadeOncePerSolidAndThreshold) {
    const EvalResult r = tunnelScene();
    MeshCache cache;
    EXPECT_FALSE(buildBodies(r, {}, cache).meshes[1].overhang) << "none unless asked";

    const SceneBodies first = buildBodies(r, {}, cache, 45.0);
    ASSERT_EQ(first.meshes.size(), 2u);
    for (const BodyMesh& m : first.meshes) {
        ASSERT_TRUE(m.overhang);
        EXPECT_EQ(m.overhang->size(), first.tris.at(m.id).size());
    }
    EXPECT_EQ(marked(first.meshes[0]), 0u);
    EXPECT_EQ(marked(first.meshes[1]), 2u) << "the ceiling's two triangles";

    // The same solids at the same threshold: the very same flags, so the view keeps them on
    // the graphics card; another threshold makes new ones.
    const SceneBodies again = buildBodies(r, {}, cache, 45.0);
    EXPECT_EQ(again.meshes[1].overhang, first.meshes[1].overhang);
    const SceneBodies flat = buildBodies(r, {}, cache, 90.0);
    EXPECT_NE(flat.meshes[1].overhang, first.meshes[1].overhang);
    EXPECT_EQ(marked(flat.meshes[1]), 0u);

    // A hidden body has no mesh, and its flags are not made.
    MeshCache fresh;
    const SceneBodies hidden = buildBodies(r, {2}, fresh, 45.0);
    ASSERT_EQ(hidden.meshes.size(), 1u);
    EXPECT_EQ(hidden.meshes[0].id, 1);
}

}  // namespace
}  // namespace ivo
