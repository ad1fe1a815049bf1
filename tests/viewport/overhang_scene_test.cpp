// Overhang flags of the shown bodies: made with the mesh, once per solid and threshold.
#include <gtest/gtest.h>

#include "geometry/csg.h"
#include "support/solids.h"
#include "viewport/scene.h"

namespace ivo {
namespace {

using testing::polyBox;

// A box on the ground (id 1) and a bar with a tunnel under it (id 2), whose ceiling is the
// only overhang.
EvalResult scene() {
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
    const EvalResult r = scene();
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
