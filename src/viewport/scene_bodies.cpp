// Body meshes from an evaluation: triangles of every body, crease lines of the shown ones, each
// made once per solid, and their overhang flags while those are shown.
#include <algorithm>

#include "geometry/mesh.h"
#include "geometry/overhang.h"
#include "viewport/scene.h"

namespace ivo {

MeshCache::Entry& MeshCache::get(const std::shared_ptr<const Solid>& solid) {
    Entry& e = entries_[solid.get()];
    if (!e.solid) {
        e.solid = solid;
        e.tris = triangles(*solid);
        for (const CPoly& poly : *solid)
            for (V3 v : poly.v)
                e.box.add(v);
    }
    return e;
}

void MeshCache::keepOnly(const std::vector<Body>& bodies) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        const bool used = std::any_of(bodies.begin(), bodies.end(),
                                      [&](const Body& b) { return b.solid.get() == it->first; });
        it = used ? std::next(it) : entries_.erase(it);
    }
}

SceneBodies buildBodies(const EvalResult& result, const std::vector<Id>& hidden, MeshCache& cache,
                        std::optional<double> overhangAngle) {
    cache.keepOnly(result.bodies);
    Box3 box;
    for (const Body& body : result.bodies) {
        const Box3& b = cache.get(body.solid).box;
        if (!b.isEmpty()) {
            box.add(b.lo);
            box.add(b.hi);
        }
    }
    const double offset = edgeOffset(box);

    SceneBodies scene;
    for (size_t i = 0; i < result.bodies.size(); ++i) {
        const Body& body = result.bodies[i];
        MeshCache::Entry& entry = cache.get(body.solid);
        scene.tris[body.id] = entry.tris;
        if (isHidden(hidden, body.id)) continue;
        if (!entry.creases) entry.creases = featureEdges(entry.tris);
        BodyMesh mesh{
            body.id, colors::bodyPalette[i % colors::bodyPalette.size()], body.solid, {}, {}};
        mesh.edges.reserve(entry.creases->size());
        for (const FeatureEdge& e : *entry.creases)
            mesh.edges.push_back({e.a + e.n * offset, e.b + e.n * offset});
        if (overhangAngle) {
            if (!entry.overhang || entry.overhangAngle != *overhangAngle) {
                entry.overhang = std::make_shared<const std::vector<std::uint8_t>>(
                    overhangFlags(entry.tris, *overhangAngle));
                entry.overhangAngle = *overhangAngle;
            }
            mesh.overhang = entry.overhang;
        }
        if (!entry.box.isEmpty()) {
            scene.shownBox.add(entry.box.lo);
            scene.shownBox.add(entry.box.hi);
        }
        scene.meshes.push_back(std::move(mesh));
    }
    return scene;
}

}  // namespace ivo
