// 3MF packages: one object per non-empty model, all on the build plate.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "export/stl.h"
#include "geometry/vec.h"

namespace ivo {

struct NamedMesh {
    std::string name;
    std::vector<Tri> tris;
};

// The package bytes; nothing when the package would exceed the ZIP format's limits or a
// corner is not finite (a body with holes is no model for a slicer), with the fault in
// `fault` when given. Triangles whose corners share a vertex after rounding to 0.0001 mm
// are left out; a model left without triangles gets no object and takes no id.
std::optional<std::string> threeMFData(const std::vector<NamedMesh>& models,
                                       ExportFault* fault = nullptr);

// The package's model part ("3D/3dmodel.model") alone, as UTF-8 text; here triangles with a
// non-finite corner are left out as well.
std::string threeMFModelText(const std::vector<NamedMesh>& models);

}  // namespace ivo
