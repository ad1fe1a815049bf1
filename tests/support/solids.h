// Polygon solids and triangle meshes built directly (without the boolean kernel) for the
// mesh and export tests and benchmarks.
#pragma once

#include <vector>

#include "geometry/csg.h"

namespace ivo::testing {

// Axis-aligned box, six outward quads.
Solid polyBox(V3 lo, V3 hi);
// Upright (along +y) prism of a regular n-gon of circumradius r, base centred on c.
Solid polyCylinder(V3 c, double r, double h, int n);

// UV sphere of rings × segments quads (triangles at the poles), outward normals.
std::vector<Tri> sphereTris(V3 c, double r, int rings, int segments);
// nx × nz boxes of side `size`, `gap` apart, on the plane y = 0: 12 triangles each.
std::vector<Tri> boxGridTris(int nx, int nz, double size, double gap);

// Signed volume enclosed by the triangles (positive when counter-clockwise seen from
// outside).
double meshVolume(const std::vector<Tri>& tris);

}  // namespace ivo::testing
