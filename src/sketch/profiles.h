// Closed profiles of a sketch (Sketch::loops, Sketch::regions) and a representative point.
#pragma once

#include "geometry/loops.h"

namespace ivo {

// Centroid of the largest triangle of the region's triangulation; the first outer point
// (or the origin) when nothing triangulates.
V2 regionPoint(const Region& region);

}  // namespace ivo
