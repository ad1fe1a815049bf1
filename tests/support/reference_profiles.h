// Profile loops computed the plain way, as the reference for Sketch::loops: every curve
// split with Sketch::cuts, nodes found by a linear scan, dangling edges pruned in whole
// passes, the twin of each half-edge searched in its node's list.
#pragma once

#include <vector>

#include "sketch/sketch.h"

namespace ivo::testing {

std::vector<Loop> referenceLoops(const Sketch& sketch);

}  // namespace ivo::testing
