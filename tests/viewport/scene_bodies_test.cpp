#include <gtest/gtest.h>

#include "viewport/scene.h"

namespace ivo {
namespace {

CPoly face(std::vector<V3> v) {
    const V3 n = (v[1] - v[0]).cross(v[2] - v[0]).normalized();
    return CPoly(std::move(v), {n, n.dot(v[0])});
}

// An axis-aligned box with outward, counter-clockwise faces.
Solid box(V3 lo, V3 hi) {
    auto p = [&](int i, int j, int k) {
        return V3{i ? hi.x : lo.x, j ? hi.y : lo.y, k ? hi.z : lo.z};
    };
    return {face({p(0, 0, 1), p(1, 0, 1), p(1, 1, 1), p(0, 1, 1)}),
            face({p(0, 0, 0), p(0, 1, 0), p(1, 1, 0), p(1, 0, 0)}),
            face({p(1, 0, 0), p(1, 1, 0), p(1, 1, 1), p(1, 0, 1)}),
            face({p(0, 0, 0), p(0, 0, 1), p(0, 1, 1), p(0, 1, 0)}),
            face({p(0, 1, 0), p(0, 1, 1), p(1, 1, 1), p(1, 1, 0)}),
            face({p(0, 0, 0), p(1, 0, 0), p(1, 0, 1), p(0, 0, 1)})};
}

EvalResult boxes(int count) {
    EvalResult r;
    for (int i = 0; i < count; ++i) {
        const double x = 20.0 * i;
        r.bodies.push_back(
            {Id(10 + i), "Corps", std::make_shared<const Solid>(box({x, 0, 0}, {x + 10, 10, 10}))});
    }
    return r;
}

TEST(SceneBodies, PaletteFollowsThePositionAndHiddenBodiesKeepTheirSlot) {
    MeshCache cache;
    const SceneBodies scene = buildBodies(boxes(6), {11}, cache);
    ASSERT_EQ(scene.meshes.size(), 5u);
    EXPECT_EQ(scene.tris.size(), 6u);  // the hidden body's triangles stay for picking
    EXPECT_EQ(scene.tris.at(11).size(), 12u);
    EXPECT_EQ(scene.meshes[0].id, 10);
    EXPECT_EQ(scene.meshes[0].color, colors::bodyPalette[0]);
    EXPECT_EQ(scene.meshes[1].id, 12);
    EXPECT_EQ(scene.meshes[1].color, colors::bodyPalette[2]);
    EXPECT_EQ(scene.meshes[3].id, 14);
    EXPECT_EQ(scene.meshes[3].color, colors::bodyPalette[0]);  // the fifth body cycles back
    EXPECT_EQ(scene.meshes[4].color, colors::bodyPalette[1]);
}

TEST(SceneBodies, CreasesArePushedOffTheSurface) {
    const EvalResult result = boxes(1);
    MeshCache cache;
    const SceneBodies scene = buildBodies(result, {}, cache);
    ASSERT_EQ(scene.meshes.size(), 1u);
    const auto& edges = scene.meshes[0].edges;
    EXPECT_FALSE(edges.empty());
    Box3 b;
    for (const CPoly& p : *result.bodies[0].solid)
        for (V3 v : p.v)
            b.add(v);
    const double offset = edgeOffset(b);
    EXPECT_EQ(offset, 0.01);
    for (const Segment& s : edges) {
        // Every crease of the box lies on two faces: off each of them by offset / √2.
        for (V3 q : {s.a, s.b}) {
            const double outX = std::max(-q.x, q.x - 10), outY = std::max(-q.y, q.y - 10),
                         outZ = std::max(-q.z, q.z - 10);
            const double out = std::max({outX, outY, outZ});
            EXPECT_NEAR(out, offset / std::sqrt(2.0), 1e-9);
        }
    }
}

TEST(SceneBodies, EmptyResultGivesNothing) {
    MeshCache cache;
    const SceneBodies scene = buildBodies({}, {}, cache);
    EXPECT_TRUE(scene.meshes.empty());
    EXPECT_TRUE(scene.tris.empty());
    EXPECT_TRUE(scene.shownBox.isEmpty());
}

TEST(SceneBodies, UnchangedSolidsAreMeshedOnceAndGoneOnesForgotten) {
    MeshCache cache;
    EvalResult result = boxes(3);
    buildBodies(result, {}, cache);
    ASSERT_EQ(cache.size(), 3u);
    const Tri* first = cache.get(result.bodies[0].solid).tris.data();

    // A new evaluation shares the solids of unchanged bodies and replaces a changed one.
    const auto changed = std::make_shared<const Solid>(box({40, 0, 0}, {55, 10, 10}));
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

TEST(SceneBodies, ShownBoxLeavesHiddenBodiesOut) {
    MeshCache cache;
    const SceneBodies scene = buildBodies(boxes(3), {12}, cache);
    EXPECT_EQ(scene.shownBox.hi.x, 30);
    EXPECT_EQ(scene.tris.at(12).size(), 12u);
}

}  // namespace
}  // namespace ivo
