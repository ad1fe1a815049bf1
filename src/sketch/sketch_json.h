// The JSON layout of a sketch inside its feature: keys in writing order, optional members
// omitted when absent.
#pragma once

#include "sketch/json_reader.h"
#include "sketch/sketch.h"

namespace ivo {

Json toJson(const SketchPlane& plane);
Json toJson(const Sketch& sketch);

// Reads a sketch at the reader's current location; false with a located reason in `r`.
bool readSketch(JsonReader& r, const Json& v, Sketch& out);

}  // namespace ivo
