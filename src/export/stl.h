// Binary STL files in printer axes (model Y-up becomes Z-up).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geometry/vec.h"

namespace ivo {

// (x, y, z) of Y-up model space as (x, −z, y) of Z-up printer space.
inline V3 toPrinter(V3 v) {
    return {v.x, -v.z, v.y};
}

// One STL holding all meshes in order; nothing above 2³²−1 triangles.
std::optional<std::string> stlData(const std::vector<std::vector<Tri>>& meshes);

}  // namespace ivo
