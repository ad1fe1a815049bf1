// Solids and meshes built directly (without the boolean kernel) for tests and benchmarks,
// and the checks the kernel's results must pass.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "geometry/csg.h"

namespace ivo::testing {

Solid polyBox(V3 lo, V3 hi);  // six outward quads
// Upright (along +y) prism of a regular n-gon of circumradius r, base centred on c.
Solid polyCylinder(V3 c, double r, double h, int n);
// A torus of around × across outward quads about the axis (0 x, 1 y, 2 z) through c, of
// tube radius r about a centre circle of radius R; neighbours share their corners exactly.
Solid torusSolid(V3 c, int axis, double R, double r, int around, int across);
// A convex polyhedral sphere of rings × segments faces (triangles at the poles).
Solid sphereSolid(V3 c, double r, int rings, int segments);
std::vector<Tri> sphereTris(V3 c, double r, int rings, int segments);
// nx × nz boxes of side `size`, `gap` apart, on the plane y = 0: 12 triangles each.
std::vector<Tri> boxGridTris(int nx, int nz, double size, double gap);

Solid moved(const Solid& s, V3 d);
// A box or a cylinder, turned at random, at a random place and size inside [0, 10]³.
Solid randomSolid(std::mt19937& rng);

std::string pointText(V3 p);  // "(x,y,z)", shortest round trip
// Signed volume enclosed by triangles counter-clockwise seen from outside.
double meshVolume(const std::vector<Tri>& tris);
// How `ours` differs from `plain` beyond `tol` in volume or in area on any plane, or "" when
// it does not: the same point sets, however split into polygons.
std::string plainDifference(const Solid& ours, const Solid& plain, double tol);

// Why the surface is not closed, or "" when it is: after merging vertices closer than tol
// and splitting edges at vertices lying on them (the T-junctions a BSP leaves), every edge
// must be matched by one running the opposite way. With tJunctions false, edges must pair
// up as they are.
std::string closedSurfaceFault(const Solid& s, bool tJunctions = true, double tol = 1e-7);

// Why the triangles are not closed as they stand, or "" when they are: every edge between
// two (exactly equal) corners must be run as often one way as the other; with twoManifold,
// exactly once each way.
std::string meshFault(const std::vector<Tri>& tris, bool twoManifold = true);

}  // namespace ivo::testing
