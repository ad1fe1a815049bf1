// Triangulation of a planar region with holes by hole bridging and ear clipping.
#pragma once

#include <array>
#include <vector>

#include "geometry/loops.h"

namespace ivo {

using Tri2 = std::array<V2, 3>;

// Counter-clockwise triangles (cross product above 1e-12) covering the region, using only
// input points. Either orientation of the input loops is accepted. Degenerate or
// self-intersecting input yields fewer triangles, possibly none; holes that the bridging
// ray cannot attach are left out. Always terminates (at most 200 000 clipping rounds).
std::vector<Tri2> triangulate(const Loop& outer, const std::vector<Loop>& holes);

// The two phases of `triangulate`, exposed for tests and benchmarks: the single polygon
// with every reachable hole bridged in (empty when the outer loop has fewer than 3
// points), and ear clipping of such a polygon.
Loop bridgeHoles(const Loop& outer, const std::vector<Loop>& holes);
std::vector<Tri2> clipEars(const Loop& polygon);

}  // namespace ivo
