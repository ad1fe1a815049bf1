// Read-only views of a solid: its triangles, its crease edges and the outline of a face.
#pragma once

#include <vector>

#include "geometry/csg.h"
#include "geometry/loops.h"
#include "geometry/triangulate.h"

namespace ivo {

// A crease: the segment a–b and the unit mean n of the two face normals meeting there.
struct FeatureEdge {
    V3 a, b, n;
    friend bool operator==(const FeatureEdge&, const FeatureEdge&) = default;
};

// Fan triangles of every polygon, normal from the polygon; degenerate fans skipped.
std::vector<Tri> triangles(const Solid& solid);

// Edges where neighbouring triangle normals differ by more than angleDeg, reported once from
// each side; open boundaries are not edges.
std::vector<FeatureEdge> featureEdges(const std::vector<Tri>& tris, double angleDeg = 25);

// Boundary loops of the union of 2-D triangles (outer loops keep the triangles' winding,
// holes the opposite), without collinear vertices.
std::vector<Loop> faceOutline(const std::vector<Tri2>& tris);

}  // namespace ivo
