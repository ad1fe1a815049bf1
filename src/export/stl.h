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

// Why a writer gave nothing.
enum class ExportFault {
    tooLarge,   // beyond the format's counts or sizes
    notFinite,  // a coordinate (or an STL normal) that is not finite in the format's numbers
};

// One STL holding all meshes in order; nothing above 2³²−1 triangles or when a coordinate
// or a normal is not finite as a 32-bit float (beyond about 3.4e38 mm), with the fault in
// `fault` when given.
std::optional<std::string> stlData(const std::vector<std::vector<Tri>>& meshes,
                                   ExportFault* fault = nullptr);

// The length of an STL file of this many triangles; nothing above the 32-bit count.
std::optional<std::uint64_t> stlSize(std::uint64_t triangleCount);

}  // namespace ivo
