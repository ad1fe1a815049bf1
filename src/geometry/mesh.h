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

// Corners of a mesh closer than this are one corner, and a corner closer than this to an
// edge lies on it (mm). It exceeds the cracks the kernel's plane tolerance leaves where
// nearly parallel planes cut one edge, and no printable detail is this small.
inline constexpr double kMeshWeld = 1e-4;

// The triangles of every polygon, normal from the polygon, as one closed mesh: corners within
// kMeshWeld are welded (the first seen gives the position), the corners of other polygons
// lying on a polygon's edge are inserted into its outline, and outlines (convex, as the
// kernel's are) are triangulated without flat triangles. A closed solid gives a closed mesh
// whose every edge has two triangles running it in opposite directions (four where parts of
// the solid touch along an edge only).
std::vector<Tri> triangles(const Solid& solid);

// The plain fan of every polygon (degenerate fan triangles skipped), without welding or
// T-junctions: a baseline for the benchmarks.
std::vector<Tri> fanTriangles(const Solid& solid);

// Edges where neighbouring triangle normals differ by more than angleDeg, reported once from
// each side; open boundaries are not edges.
std::vector<FeatureEdge> featureEdges(const std::vector<Tri>& tris, double angleDeg = 25);

// Boundary loops of the union of 2-D triangles (outer loops keep the triangles' winding,
// holes the opposite), without collinear vertices.
std::vector<Loop> faceOutline(const std::vector<Tri2>& tris);

}  // namespace ivo
