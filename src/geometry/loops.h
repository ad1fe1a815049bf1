// Planar loops and regions: signed area, point containment, cleaning, offsetting and an
// interior point. Loops are open (no repeated closing point); triangulation is in
// triangulate.h.
#pragma once

#include <vector>

#include "geometry/vec.h"

namespace ivo {

using Loop = std::vector<V2>;

// A closed planar area in sketch coordinates: outer loop counter-clockwise, holes clockwise.
struct Region {
    Loop outer;
    std::vector<Loop> holes;

    // Inside the outer loop and outside every hole of at least 3 points.
    bool contains(V2 p) const;
    // Signed sum of the loop areas, so clockwise holes subtract; no absolute value is taken.
    double area() const;

    friend bool operator==(const Region&, const Region&) = default;
};

// Shoelace area, positive for counter-clockwise loops; 0 below 3 points.
double polyArea(const Loop& loop);

// Even-odd crossing test without tolerance: points exactly on an edge fall on either side.
bool pointInPolygon(V2 p, const Loop& loop);

// Drops points within 1e-9 of the previously kept one, then closing repeats. The result
// may have fewer than 3 points.
Loop cleanLoop(const Loop& loop);

// Moves every vertex by d to the left of the direction of travel (inward for a
// counter-clockwise loop), mitred and limited to 4·|d|. The vertex count never changes.
Loop offsetLoop(const Loop& loop, double d);

// Centroid of the largest triangle of the loop's triangulation; the first point (or the
// origin for an empty loop) when nothing triangulates.
V2 interiorPoint(const Loop& loop);
// The same for an outer loop with holes: the first outer point (or the origin) when nothing
// triangulates.
V2 interiorPoint(const Loop& outer, const std::vector<Loop>& holes);

}  // namespace ivo
