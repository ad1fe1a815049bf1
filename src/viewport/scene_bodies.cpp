// Body meshes from an evaluation: triangles of every body, crease lines of the shown ones.
#include "geometry/mesh.h"
#include "viewport/scene.h"

namespace ivo {

SceneBodies buildBodies(const EvalResult& result, const std::vector<Id>& hidden) {
    Box3 box;
    for (const Body& body : result.bodies)
        for (const CPoly& poly : *body.solid)
            for (V3 v : poly.v)
                box.add(v);
    const double offset = edgeOffset(box);

    SceneBodies scene;
    for (size_t i = 0; i < result.bodies.size(); ++i) {
        const Body& body = result.bodies[i];
        std::vector<Tri>& tris = scene.tris[body.id] = triangles(*body.solid);
        if (isHidden(hidden, body.id)) continue;
        BodyMesh mesh{body.id, colors::bodyPalette[i % colors::bodyPalette.size()], {}};
        for (const FeatureEdge& e : featureEdges(tris))
            mesh.edges.push_back({e.a + e.n * offset, e.b + e.n * offset});
        scene.meshes.push_back(std::move(mesh));
    }
    return scene;
}

}  // namespace ivo
