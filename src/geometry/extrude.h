// Solids from planar regions: straight extrusion with rounded or bevelled cap edges, and
// revolution about an axis in the sketch plane. Both return closed, outward solids.
#pragma once

#include "geometry/csg.h"
#include "geometry/loops.h"
#include "geometry/triangulate.h"

namespace ivo {

// The triangles of the region's untreated caps, as the two functions below find them (its
// loops cleaned and oriented); none for a region without area. Found once per region, they
// spare every extrusion or revolution of it the triangulation.
std::vector<Tri2> regionCaps(const Region& region);

// Between heights z0 and z1 (either order) along frame.n; loR treats the edge at the lower
// height, hiR the one at the upper height (rounds of 6 steps, or chamfers). Empty when the
// heights coincide within 1e-9 or the outer loop is degenerate. `caps`, when given, must be
// regionCaps(region): a cap whose outline the treatment leaves as it is takes them.
Solid extrudeRegion(const Region& region, const Frame& frame, double z0, double z1, double loR,
                    double hiR, bool chamfer, const std::vector<Tri2>* caps = nullptr);

// Turned by angleDeg degrees about the line through axisP with direction axisD (sketch
// coordinates), 72 segments per turn, capped below 359.999°. Empty for a vanishing angle or
// axis direction. `caps` as for extrudeRegion.
Solid revolveRegion(const Region& region, const Frame& frame, V2 axisP, V2 axisD, double angleDeg,
                    const std::vector<Tri2>* caps = nullptr);

// p turned by `angle` radians about the axis through c with unit direction k.
V3 rotateAround(V3 p, V3 c, V3 k, double angle);

}  // namespace ivo
