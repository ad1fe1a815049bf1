// 3MF packages: one object per non-empty model, all on the build plate.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geometry/vec.h"

namespace ivo {

struct NamedMesh {
    std::string name;
    std::vector<Tri> tris;
};

// The package bytes; nothing when the package would exceed the ZIP format's limits.
std::optional<std::string> threeMFData(const std::vector<NamedMesh>& models);

}  // namespace ivo
