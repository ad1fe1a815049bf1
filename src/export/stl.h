// Binary STL files in printer axes (model Y-up becomes Z-up).
#pragma once

#include <cstdint>
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

// The length of an STL file of this many triangles; nothing above the 32-bit count.
std::optional<std::uint64_t> stlSize(std::uint64_t triangleCount);

}  // namespace ivo
