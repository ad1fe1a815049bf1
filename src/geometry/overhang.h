// The faces of a body a printer lays over thin air: printed along the model's +Y (the
// printer's +Z, as export maps it), a face whose outward normal dips too far below the
// horizontal needs support under it.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/vec.h"

namespace ivo {

// The threshold offered until the user picks another (degrees).
inline constexpr double kDefaultOverhangAngle = 45;

// Whether an angle may serve as the threshold: 0 to 90 degrees, both included.
bool validOverhangAngle(double angleDeg);

// One flag per triangle of one body (1: overhang). A triangle overhangs when its outward
// normal points downward by more than angleDeg below the horizontal: 0° marks every face that
// looks down, 90° none; a face exactly at the threshold still prints. Faces lying on the
// body's lowest level with their normal straight down rest on the bed and are not marked.
std::vector<std::uint8_t> overhangFlags(const std::vector<Tri>& tris, double angleDeg);

}  // namespace ivo
