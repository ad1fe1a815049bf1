// Builders of test sketches (polygons of lines sharing their corner points, circles, arcs,
// random sketches) and the structural check of a sketch after editing.
#pragma once

#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "sketch/sketch.h"

namespace ivo::testing {

constexpr double pi = std::numbers::pi;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// One line per side of the loop, consecutive sides sharing a point; returns the line ids.
std::vector<Id> addPolygon(Sketch& s, const Loop& loop, bool construction = false);
// Curves on new points; the arc runs counter-clockwise about c from `start` to `end`.
Id addSegment(Sketch& s, V2 a, V2 b, bool construction = false);
Id addCircle(Sketch& s, V2 c, double r, bool construction = false);
Id addArc(Sketch& s, V2 c, V2 start, V2 end, bool construction = false);

// `curves` lines, circles and arcs on a grid of half millimetres, so that curves share end
// points, touch, run through each other's ends, overlap and repeat; some are construction or
// degenerate, some arcs end off their circle.
Sketch gridSketch(std::mt19937& rng, int curves);

// The first structural fault of the sketch, or an empty string: the fixed origin at (0, 0)
// with id 0, unique ids below nextId, curves on existing points, constraints on existing
// points and curves, free points that exist, finite coordinates and radii. With `before` (the
// sketch before one operation), also nextId going back or a new record reusing an old id.
std::string sketchFault(const Sketch& s, const Sketch* before = nullptr);

}  // namespace ivo::testing
