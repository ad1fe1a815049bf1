// What lies under the pointer: ray–triangle hits against the shown bodies and the origin
// plane squares, their interpretation as a sketch plane or a hovered face, and the pointer's
// position on a sketch plane. Plain maths; the widget supplies the ray.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "geometry/vec.h"
#include "sketch/sketch.h"
#include "viewport/scene.h"

namespace ivo {

// Distance along the ray (origin o, unit direction d) to the triangle abc, either side
// facing; nothing when the ray misses it, runs in its plane or meets it behind o.
std::optional<double> rayTriangle(V3 o, V3 d, V3 a, V3 b, V3 c);

struct Hit {
    std::string plane;  // "plane:XY"… for an origin plane, empty for a body
    Id body = 0;
    size_t tri = 0;       // index into the body's triangles
    V3 pos;               // model-space point hit
    double distance = 0;  // from the camera position
};

// Everything the scene offers to the ray.
struct PickScene {
    const std::map<Id, std::vector<Tri>>* bodyTris = nullptr;
    const std::vector<Id>* hidden = nullptr;  // bodies without a node
    bool planesShown = false;
};

// Every hit along the ray (origin on the near plane), nearest to the camera first; bodies
// before planes at equal distance.
std::vector<Hit> allHits(const PickScene& scene, V3 origin, V3 dir, V3 cameraPos);

// A planar face: body id, unit normal, and offset w = n · a of a triangle on it.
struct FaceRef {
    Id id = 0;
    V3 n;
    double w = 0;
};
// A planar face tinted with a colour (alpha: how much of it covers the body's shading).
struct FaceHighlight {
    FaceRef face;
    Rgba color;
};
// Same face: both empty, or same body, |Δw| < 1e-6 and n · n′ > 0.9999.
bool sameFace(const std::optional<FaceRef>& a, const std::optional<FaceRef>& b);
// Every triangle of the body lying on the face's plane, connected or not.
std::vector<Tri> faceTris(const std::vector<Tri>& tris, const FaceRef& face);

// The first hit that means something: an origin plane or a body triangle.
struct Picked {
    std::string plane;       // set for an origin plane
    std::optional<Tri> tri;  // set for a body triangle
    std::optional<FaceRef> face;
};
std::optional<Picked> interpretHits(const PickScene& scene, const std::vector<Hit>& hits);
// The sketch plane of a pick: the origin plane's, or the "Face" plane of the triangle.
SketchPlane pickedPlane(const Picked& picked);

// Status texts while choosing a plane.
std::string hoverStatus(const std::string& hoverPlane, bool faceHovered);

// The ray's crossing with the plane in plane coordinates; nothing when the ray runs along
// the plane (|n · d| < 1e-9). Crossings behind the ray's origin are kept.
std::optional<V2> planePoint(const SketchPlane& plane, V3 origin, V3 dir);

}  // namespace ivo
