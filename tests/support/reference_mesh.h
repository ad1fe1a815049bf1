// The closed mesh of a solid as it was first written, one vector per outline and hashed edge
// pairs: the reference that the mesh step must reproduce triangle for triangle.
#pragma once

#include <vector>

#include "geometry/mesh.h"

namespace ivo::testing {

std::vector<Tri> referenceTriangles(const Solid& solid);

}  // namespace ivo::testing
