// The plain ear clipping, written as directly as possible: the reference that the cached
// clipper must reproduce triangle for triangle, and the baseline of its benchmark.
#pragma once

#include "geometry/triangulate.h"

namespace ivo::testing {

std::vector<Tri2> clipEarsPlain(const Loop& polygon);

}  // namespace ivo::testing
