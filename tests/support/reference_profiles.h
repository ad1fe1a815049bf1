// Profile loops computed the plain way, as the reference for Sketch::loops: every curve
// split with Sketch::cuts, nodes found by a linear scan, dangling edges pruned in whole
// passes, the twin of each half-edge searched in its node's list; and their nesting.
#pragma once

#include <vector>

#include "sketch/sketch.h"

namespace ivo::testing {

std::vector<Loop> referenceLoops(const Sketch& sketch);
// Regions of the given loops, every loop tested against every other one.
std::vector<Region> referenceRegions(const std::vector<Loop>& loops);

}  // namespace ivo::testing
