// Hit testing by brute-force ray–triangle tests: picking happens on a click or a pointer
// move in plane choice, where one pass over the triangles is fast enough.
#include "viewport/picking.h"

#include <algorithm>
#include <cmath>

#include "viewport/scene.h"

namespace ivo {

std::optional<double> rayTriangle(V3 o, V3 d, V3 a, V3 b, V3 c) {
    // Möller–Trumbore, without back-face culling.
    const V3 e1 = b - a, e2 = c - a;
    const V3 p = d.cross(e2);
    const double det = e1.dot(p);
    const double scale = e1.length() * e2.length();
    if (std::abs(det) <= 1e-12 * scale || scale == 0) return std::nullopt;
    const double inv = 1 / det;
    const V3 s = o - a;
    const double u = s.dot(p) * inv;
    if (u < 0 || u > 1) return std::nullopt;
    const V3 q = s.cross(e1);
    const double v = d.dot(q) * inv;
    if (v < 0 || u + v > 1) return std::nullopt;
    const double t = e2.dot(q) * inv;
    if (t < 0) return std::nullopt;
    return t;
}

std::vector<Hit> allHits(const PickScene& scene, V3 origin, V3 dir, V3 cameraPos) {
    std::vector<Hit> hits;
    if (scene.bodyTris) {
        for (const auto& [id, tris] : *scene.bodyTris) {
            if (scene.hidden && isHidden(*scene.hidden, id)) continue;
            for (size_t i = 0; i < tris.size(); ++i) {
                const Tri& t = tris[i];
                if (const auto s = rayTriangle(origin, dir, t.a, t.b, t.c)) {
                    const V3 pos = origin + dir * *s;
                    hits.push_back({"", id, i, pos, (pos - cameraPos).length()});
                }
            }
        }
    }
    if (scene.planesShown) {
        for (const OriginPlane& plane : originPlanes()) {
            const auto& c = plane.corners;
            std::optional<double> s = rayTriangle(origin, dir, c[0], c[1], c[2]);
            if (!s) s = rayTriangle(origin, dir, c[0], c[2], c[3]);
            if (s) {
                const V3 pos = origin + dir * *s;
                hits.push_back({plane.name, 0, 0, pos, (pos - cameraPos).length()});
            }
        }
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const Hit& a, const Hit& b) { return a.distance < b.distance; });
    return hits;
}

bool sameFace(const std::optional<FaceRef>& a, const std::optional<FaceRef>& b) {
    if (!a || !b) return !a && !b;
    return a->id == b->id && std::abs(a->w - b->w) < 1e-6 && a->n.dot(b->n) > 0.9999;
}

std::vector<Tri> faceTris(const std::vector<Tri>& tris, const FaceRef& face) {
    std::vector<Tri> out;
    for (const Tri& t : tris)
        if (t.n.dot(face.n) > 0.9999 && std::abs(t.n.dot(t.a) - face.w) <= 0.0001) out.push_back(t);
    return out;
}

std::optional<Picked> interpretHits(const PickScene& scene, const std::vector<Hit>& hits) {
    for (const Hit& h : hits) {
        if (!h.plane.empty()) {
            if (scene.planesShown) return Picked{h.plane, std::nullopt, std::nullopt};
            continue;
        }
        if (!scene.bodyTris) continue;
        const auto it = scene.bodyTris->find(h.body);
        if (it == scene.bodyTris->end() || h.tri >= it->second.size()) continue;
        const Tri& t = it->second[h.tri];
        return Picked{"", t, FaceRef{h.body, t.n, t.n.dot(t.a)}};
    }
    return std::nullopt;
}

SketchPlane pickedPlane(const Picked& picked) {
    if (picked.tri) return SketchPlane::face(picked.tri->n, picked.tri->a);
    return sketchPlaneOf(picked.plane);
}

std::string hoverStatus(const std::string& hoverPlane, bool faceHovered) {
    if (!hoverPlane.empty()) return "Cliquez pour esquisser sur : " + planeLabel(hoverPlane);
    if (faceHovered) return "Cliquez pour esquisser sur cette face";
    return "Choisissez un plan (ou double-cliquez une face plane d'un corps à tout moment).";
}

std::optional<V2> planePoint(const SketchPlane& plane, V3 origin, V3 dir) {
    const double den = plane.n.dot(dir);
    if (std::abs(den) < 1e-9) return std::nullopt;
    const double t = plane.n.dot(plane.o - origin) / den;
    return plane.to2D(origin + dir * t);
}

}  // namespace ivo
