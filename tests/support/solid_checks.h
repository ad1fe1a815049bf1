// Polygon solids for the boolean kernel's tests (a polyhedral sphere, moved and turned
// copies, random operands) and the checks its results must pass: closed surface, area per
// plane. Boxes and prisms come from solids.h.
#pragma once

#include <map>
#include <random>
#include <string>
#include <tuple>

#include "geometry/csg.h"

namespace ivo::testing {

// A convex polyhedral sphere of rings × segments faces (triangles at the poles).
Solid sphereSolid(V3 c, double r, int rings, int segments);

Solid moved(const Solid& s, V3 d);
// Turned by `angle` radians about the axis through the origin with unit direction k.
Solid turned(const Solid& s, V3 k, double angle);

// A box or a cylinder at a random place and size inside [0, 10]³, for fuzzing.
Solid randomSolid(std::mt19937& rng);

// Area of a planar polygon, measured along its plane normal (negative when it runs
// clockwise about it).
double polygonArea(const CPoly& p);
double totalArea(const Solid& s);

// Summed polygon area per supporting plane, keyed exactly: pieces keep the plane of the
// polygon they came from, so equal point sets give equal maps.
using PlaneKey = std::tuple<double, double, double, double>;
std::map<PlaneKey, double> areaByPlane(const Solid& s);

// Why the surface is not closed, or "" when it is: after merging vertices closer than tol
// and splitting edges at vertices lying on them (the T-junctions a BSP leaves), every edge
// must be matched by one running the opposite way. With tJunctions false, edges must pair
// up as they are.
std::string closedSurfaceFault(const Solid& s, bool tJunctions = true, double tol = 1e-7);

}  // namespace ivo::testing
