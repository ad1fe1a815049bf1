// Structural checks of sketches after editing operations: every reference resolves, ids are
// unique and only grow, coordinates stay finite.
#pragma once

#include <string>

#include "sketch/sketch.h"

namespace ivo::testing {

// The first structural fault of the sketch, or an empty string: the fixed origin at (0, 0)
// with id 0, unique ids below nextId, curves on existing points, constraints on existing
// points and curves, free points that exist, finite coordinates and radii.
std::string sketchFault(const Sketch& s);

// The first fault of a step from `before` to `after`: nextId going back, or a record that
// was not there before with an id handed out earlier.
std::string stepFault(const Sketch& before, const Sketch& after);

// Points that no curve uses, other than the origin and the free points.
size_t orphanPoints(const Sketch& s);

}  // namespace ivo::testing
