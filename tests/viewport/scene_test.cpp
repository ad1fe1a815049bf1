// The bodies the view draws: palette, creases and the mesh cache.
#include "viewport/scene.h"

#include <gtest/gtest.h>

#include "support/solids.h"

namespace ivo {
namespace {

// Boxes 10 wide, 20 apart along X, ids from 10.
EvalResult boxes(int count) {
    EvalResult r;
    for (int i = 0; i < count; ++i) {
        const V3 lo{20.0 * i, 0, 0};
        r.bodies.push_back(
            {Id(10 + i), "Corps",
             std::make_shared<const Solid>(testing::polyBox(lo, lo + V3{10, 10, 10}))});
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
    const auto changed = std::make_shared<const Solid>(testing::polyBox({40, 0, 0}, {55, 10, 10}));
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

}  // namespace
}  // namespace ivo
