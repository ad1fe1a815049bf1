// Structural checks of sketches after editing operations.
#pragma once

#include <string>

#include "sketch/sketch.h"

namespace ivo::testing {

// The first structural fault of the sketch, or an empty string: the fixed origin at (0, 0)
// with id 0, unique ids below nextId, curves on existing points, constraints on existing
// points and curves, free points that exist, finite coordinates and radii. With `before` (the
// sketch before one operation), also nextId going back or a new record reusing an old id.
std::string sketchFault(const Sketch& s, const Sketch* before = nullptr);

}  // namespace ivo::testing
